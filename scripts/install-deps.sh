#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing.
# As root it installs them (adding the i386 architecture Wine needs); as
# anyone else it stops and names what is missing.
set -eu

packages="cmake ninja-build pkg-config
g++ g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
wine wine32:i386 googletest
libcairo2-dev libimagequant-dev fonts-b612 libstb-dev
libcli11-dev nlohmann-json3-dev libz-mingw-w64-dev
clang libclang-rt-14-dev ffmpeg chromium
python3"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages:$missing" >&2
    echo "install them as root (apt-get install$missing), or run this script as root" >&2
    exit 1
fi

echo "installing:$missing"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
