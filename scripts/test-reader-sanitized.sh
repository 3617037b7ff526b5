#!/bin/sh
# Builds the module reader, its tests and its fuzz target for this machine
# with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-sanitized/), and runs them: the reader's tests against the built
# module (build it first: scripts/build.sh) and a bounded fuzz run over the
# committed seeds. Fails on any test failure, crash, hang, leak or report.
set -eu
cd "$(dirname "$0")/.."

if [ ! -f build-sanitized/build.ninja ]; then
    cmake -S tests/reader/sanitized -B build-sanitized -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
cmake --build build-sanitized
ctest --test-dir build-sanitized --output-on-failure
