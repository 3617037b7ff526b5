#!/bin/sh
# Builds everything — the module, the tests and panelhost for 32-bit Windows,
# the native art generator, and the release (the pilot's guide and
# dist/Corvalenx-<version>.zip) — installing whatever packages are missing
# first.
set -eu
cd "$(dirname "$0")/.."

sh scripts/install-deps.sh
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686
# The art generator runs on this machine: a native build of its own.
cmake -S tools/artgen -B build-native -G Ninja >/dev/null
cmake --build build-native
echo "built $(pwd)/build/bin/Corvalenx.gau"
# The preview sheet: every gauge at three readings, drawn by panelhost.
sh host/panelhost sheet build/bin/Corvalenx.gau -o build/preview-sheet.png
# The release a simmer downloads: the pilot's guide and the zip.
cmake --build --preset windows-i686 --target release
