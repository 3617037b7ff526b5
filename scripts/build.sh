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
# panelhost's portable part, for this machine, with build-native/host/panelhost:
# the commands that run no module code (check, describe, mouse --list,
# compare, variables), without Wine.
cmake -S host/native -B build-native/host -G Ninja >/dev/null
cmake --build build-native/host
echo "built $(pwd)/build/bin/Corvalenx.gau and $(pwd)/build-native/host/panelhost"
# The preview sheet and the release are drawn by panelhost under 32-bit Wine.
if ! why=$(sh scripts/runs-32-bit-programs.sh 2>&1); then
    echo "not drawn: the preview sheet, the pilot's guide and the release zip, which panelhost draws under Wine: $why" >&2
    # The test suite runs what this machine can run, and says what it cannot.
    [ "${CORVALENX_BUILD_FOR_TESTS:-}" = 1 ] && exit 0
    exit 1
fi
# The preview sheet: every gauge at three readings, drawn by panelhost.
sh host/panelhost sheet build/bin/Corvalenx.gau -o build/preview-sheet.png
# The release a simmer downloads: the pilot's guide and the zip.
cmake --build --preset windows-i686 --target release
