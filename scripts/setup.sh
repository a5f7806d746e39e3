#!/bin/sh
# Installs the Debian packages the kit needs to build, test and run.
set -e
PKGS="cmake ninja-build g++ clang pkg-config libsdl2-dev libpng-dev libjpeg62-turbo-dev
libtiff-dev libgif-dev zlib1g-dev libgtest-dev libbenchmark-dev libclang-rt-14-dev"
[ -n "$KOR_EXTRA_PKGS" ] && PKGS="$PKGS $KOR_EXTRA_PKGS"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y --no-install-recommends $missing || { apt-get update && apt-get install -y --no-install-recommends $missing; }
else
  echo "Missing packages:$missing" >&2
  echo "Install them with:  sudo apt-get install -y$missing" >&2
  exit 1
fi
