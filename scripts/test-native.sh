#!/bin/sh
# Builds panelhost's portable code and its tests for this machine with clang
# under AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitized/host/)
# and runs them. They read the cross build's module and fixtures
# (build/bin/): build them first (scripts/build.sh).
set -eu
cd "$(dirname "$0")/.."

if [ ! -f build-sanitized/host/build.ninja ]; then
    cmake -S host/native -B build-sanitized/host -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
          -DPANELHOST_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi
cmake --build build-sanitized/host
ctest --test-dir build-sanitized/host --output-on-failure
