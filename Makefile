# Front door: `make demo` runs the kit's main job, `make test` its tests.
# Both install missing Debian packages first (scripts/setup.sh).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
CMAKE_ARGS ?=
CTEST_JOBS ?= 2
FUZZ_SECONDS ?= 60
VECTORS    ?= $(firstword $(wildcard $(abspath ../shared/vectors) /work/shared/vectors))

.PHONY: all setup build test test-asan demo fuzz bench clean

all: build

setup:
	@scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD)

test: build
	ctest --test-dir $(BUILD) -j$(CTEST_JOBS) --output-on-failure

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOR_SANITIZE=ON $(CMAKE_ARGS)

test-asan: setup $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) -j$(CTEST_JOBS) --output-on-failure

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKOR_FUZZ=ON -DKOR_TESTS=OFF -DKOR_BENCH=OFF $(CMAKE_ARGS)

fuzz: setup $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target fuzzers
	scripts/fuzz.sh $(FUZZ_BUILD)/bin $(FUZZ_SECONDS) $(VECTORS)

bench: build
	scripts/bench.sh $(BUILD)/bin $(VECTORS)

demo: build
	scripts/demo.sh $(BUILD)/bin $(VECTORS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
