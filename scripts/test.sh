#!/bin/sh
# Builds everything (installing missing packages) and runs the whole test
# suite: the committed art against its generator, the Windows test programs
# under Wine, and the module reader under the sanitizers.
set -eu
cd "$(dirname "$0")/.."

sh scripts/build.sh
# The committed bitmaps must be exactly what the art generator draws.
cmake --build build-native --target art-check

# One Wine server for the whole run: started afresh by every test program it
# costs seconds each. The prefix is the build tree's, which CTest's runner
# uses and build.sh has created by drawing the preview sheet.
export WINEPREFIX="$(pwd)/build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true  # one lingering after the preview sheet
trap 'wineserver -k 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
wineserver -p </dev/null >/dev/null 2>&1
# Wine's service processes live as long as the server. Started by a test
# program they would keep its output open, and CTest would wait for them;
# started here, they hold nothing open.
wine cmd /c exit </dev/null >/dev/null 2>&1
ctest --preset windows-i686
# The module reader natively, under the sanitizers, with a bounded fuzz run.
sh scripts/test-reader-sanitized.sh
