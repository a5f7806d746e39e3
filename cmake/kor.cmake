# Shared build helpers.

# kor_glob_sources(<var> <dir>): every .cpp of a folder; files named *_avx2.cpp
# are compiled for AVX2 (they are only called after a run-time check).
function(kor_glob_sources var dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(s IN LISTS srcs)
    if(s MATCHES "_avx2\\.cpp$")
      set_source_files_properties(${s} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma")
    endif()
  endforeach()
  set(${var} ${srcs} PARENT_SCOPE)
endfunction()

# kor_static_library(<name> <dir> [LIBS ...]): a position-independent static
# library of one subsystem, linked into the programs and shared libraries.
function(kor_static_library name dir)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  kor_glob_sources(srcs ${dir})
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# kor_shared_library(<name> <map> SOURCES ... LIBS ...): a shared library
# whose exported symbols are exactly those of the version script <map>.
function(kor_shared_library name map)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_link_options(${name} PRIVATE -Wl,--version-script=${map})
  # clang leaves the sanitizer runtime to the program, so the fuzz tree's
  # shared libraries keep those symbols undefined.
  if(NOT KOR_FUZZ)
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
endfunction()

# kor_test(<name> <dir> LIBS ...): one gtest program per subsystem folder.
function(kor_test name dir)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/tests/test_util.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    KOR_VECTORS_DIR="${KOR_VECTORS_DIR}"
    KOR_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    KOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;KOR_INI=${CMAKE_BINARY_DIR}/tests/none.ini;KOR_HEADLESS=1"
    DISCOVERY_TIMEOUT 60)
endfunction()
