#!/bin/sh
# Builds everything (installing missing packages) and runs the whole test
# suite: the Windows test programs under Wine.
set -eu
cd "$(dirname "$0")/.."

sh scripts/build.sh
ctest --preset windows-i686
