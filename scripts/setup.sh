#!/bin/sh
# Installs the Debian packages the kit needs to build, test and run.
# $KOR_EXTRA_PKGS names optional packages (tests that need them skip
# without them); failing to install those is not an error.
set -e
PKGS="cmake ninja-build g++ clang pkg-config libsdl2-dev libpng-dev libjpeg62-turbo-dev
libtiff-dev libgif-dev zlib1g-dev libgtest-dev libbenchmark-dev libclang-rt-14-dev"

missing() {
  out=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" || out="$out $p"
  done
  echo "$out"
}

install() {
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y --no-install-recommends "$@" || { apt-get update && apt-get install -y --no-install-recommends "$@"; }
}

need=$(missing $PKGS)
if [ -n "$need" ]; then
  if [ "$(id -u)" = 0 ]; then
    echo "Installing:$need"
    install $need
  else
    echo "Missing packages:$need" >&2
    echo "Install them with:  sudo apt-get install -y$need" >&2
    exit 1
  fi
fi

extra=$(missing $KOR_EXTRA_PKGS)
if [ -n "$extra" ] && [ "$(id -u)" = 0 ]; then
  echo "Installing optional:$extra"
  install $extra || echo "Optional packages not installed:$extra (their tests skip)" >&2
fi
exit 0
