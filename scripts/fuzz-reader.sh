#!/bin/sh
# Fuzzes the module reader for as long as asked: scripts/fuzz-reader.sh
# [SECONDS] (default 600). Inputs that reach new code collect in
# build-sanitized/fuzz-corpus; a crash, hang, leak or sanitizer report
# stops the run and leaves the input that caused it in build-sanitized/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-600}

if [ ! -f build-sanitized/build.ninja ]; then
    cmake -S tests/reader/sanitized -B build-sanitized -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
fi
cmake --build build-sanitized --target reader_fuzzer
mkdir -p build-sanitized/fuzz-corpus
cd build-sanitized
./reader_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=1048576 -print_final_stats=1 \
    fuzz-corpus ../tests/reader/corpus
