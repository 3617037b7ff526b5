#!/bin/sh
# Runs `panelhost check` (or `sheet`) over the damaged copies of the built
# module, one process each, and counts what a user would meet: hangs (no
# answer within 30 s), crashes (an exit status other than 0 or 2, or for
# sheet other than 0, 2 and the module's own run-time faults 3 to 6),
# several lines for a one-field damage, and unclear lines (the loader's own
# text, raw control bytes, an unfilled "%1").
#   scripts/count-damaged-copy-results.sh [PANELHOST_EXE] [SEED] [check|sheet]
# PANELHOST_EXE defaults to build/bin/panelhost.exe; the copies are written
# by build-sanitized/write_damaged_copies (scripts/test-reader-sanitized.sh
# builds it) into build-sanitized/damaged/. Runs in a Wine prefix of its
# own, which it stops at the end.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$(cd "$(dirname "${1:-$top/build/bin/panelhost.exe}")" && pwd)/$(basename "${1:-panelhost.exe}")
seed=${2:-20240607}
command=${3:-check}
dir=$top/build-sanitized/damaged
rm -rf "$dir" && mkdir -p "$dir"
"$top/build-sanitized/write_damaged_copies" "$top/build/bin/Corvalenx.gau" "$seed" "$dir"

export WINEPREFIX=$top/build-sanitized/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/.ready" ] || { wineboot --init >/dev/null 2>&1 || true; wineserver --wait || true; touch "$WINEPREFIX/.ready"; }
total=0 hangs=0 crashes=0 multi=0 unclear=0
while IFS="$(printf '\t')" read -r number kind single names what; do
    total=$((total + 1))
    status=0
    set -- "$command" "$dir/$number.gau"
    [ "$command" = sheet ] && set -- "$@" -o "$dir/$number.png"
    timeout -k 5 30 wine "$exe" "$@" </dev/null >"$dir/$number.out" 2>"$dir/$number.raw" || status=$?
    tr -d '\r' <"$dir/$number.raw" >"$dir/$number.err"  # Windows line ends
    lines=$(grep -c -E '^(error|warning): ' "$dir/$number.err" || true)
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        hangs=$((hangs + 1)); echo "hang: $number $what"
    elif [ "$status" -ne 0 ] && [ "$status" -ne 2 ] &&
        { [ "$command" = check ] || [ "$status" -lt 3 ] || [ "$status" -gt 6 ]; }; then
        crashes=$((crashes + 1)); echo "crash ($status): $number $what"
    fi
    if [ "$single" = 1 ] && [ "$lines" -gt 1 ]; then multi=$((multi + 1)); echo "multi-line ($lines): $number $what"; fi
    if grep -q -E '%1|Windows loader refused|No access to memory location|[[:cntrl:]]' "$dir/$number.err"; then
        unclear=$((unclear + 1)); echo "unclear: $number $what"
    fi
done <"$dir/manifest.tsv"
wineserver -k || true
echo "$total copies: $hangs hangs, $crashes crashes, $multi multi-line, $unclear unclear"
