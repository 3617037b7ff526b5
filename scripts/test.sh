#!/bin/sh
# Builds everything (installing missing packages) and runs the whole test
# suite: the committed art against its generator, and the Windows test
# programs under Wine.
set -eu
cd "$(dirname "$0")/.."

sh scripts/build.sh
# The committed bitmaps must be exactly what the art generator draws.
cmake --build build-native --target art-check
ctest --preset windows-i686
