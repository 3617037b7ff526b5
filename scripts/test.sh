#!/bin/sh
# Builds everything (installing missing packages) and runs the whole test
# suite: the committed art against its generator, the Windows test programs
# under Wine, one more at a time than there are processors (they spend much
# of their time waiting on Wine's server), and meanwhile the module reader
# under the sanitizers.
set -eu
cd "$(dirname "$0")/.."

# Machines that cannot run 32-bit programs cannot run Wine's 32-bit side:
# there the build skips what panelhost draws under Wine, and the run is the
# tests that run natively, with the Windows tests named as not run.
if ! sh scripts/install-deps.sh || ! no_wine=$(sh scripts/runs-32-bit-programs.sh 2>&1); then
    [ -n "${no_wine:-}" ] || exit 1
    CORVALENX_BUILD_FOR_TESTS=1 sh scripts/build.sh
    cmake --build build-native --target art-check
    status=0
    sh scripts/test-reader-sanitized.sh || status=$?
    sh scripts/test-native.sh || status=$?
    windows_tests=$(ctest --preset windows-i686 --show-only 2>/dev/null | sed -n 's/^Total Tests: //p')
    echo "NOT RUN: the ${windows_tests:-} Windows tests under Wine and the release's tests. $no_wine." >&2
    echo "They run on any machine that runs 32-bit programs; what ran here is the native part of the suite." >&2
    exit "$status"
fi

# One Wine server for the whole run: started afresh by every test program it
# costs seconds each. The prefix is the build tree's, which CTest's runner
# and the build's own panelhost runs use.
export WINEPREFIX="$(pwd)/build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sanitized=""
trap '[ -z "$sanitized" ] || kill -- "-$sanitized" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM
# Wine's service processes live as long as the server. Started by a test
# program they would keep its output open, and CTest would wait for them;
# started here, they hold nothing open.
start_wine_server() {
    # Refused when a server for the prefix runs already (a panelhost run
    # just before): that one serves the tests instead.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit </dev/null >/dev/null 2>&1
}
# Up before the build when the prefix is there, so the build's panelhost
# runs (the preview sheet, the guide) share it. A new prefix is made by the
# build, waiting for its own server to end, so none is kept up then.
if [ -f "$WINEPREFIX/.ready" ]; then
    start_wine_server
    sh scripts/build.sh
else
    sh scripts/build.sh
    wineserver -k 2>/dev/null || true
    start_wine_server
fi
# The committed bitmaps must be exactly what the art generator draws.
cmake --build build-native --target art-check

# The module reader natively, under the sanitizers, with a bounded fuzz run,
# and the rest of panelhost's portable code with its native tests:
# alongside the Wine tests, in a process group of its own (stopped with the
# run), its output shown when both are done.
setsid sh -c 'status=0; sh scripts/test-reader-sanitized.sh || status=$?; sh scripts/test-native.sh || status=$?; exit $status' \
    >build/reader-sanitized.log 2>&1 &
sanitized=$!
status=0
ctest --preset windows-i686 --parallel "$(( $(nproc) + 1 ))" || status=$?
reader_status=0
wait "$sanitized" || reader_status=$?
sanitized=""
cat build/reader-sanitized.log
[ "$reader_status" -eq 0 ] || echo "the reader under the sanitizers failed (status $reader_status)" >&2
[ "$status" -ne 0 ] || status=$reader_status
exit "$status"
