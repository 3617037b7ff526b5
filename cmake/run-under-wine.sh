#!/bin/sh
# Runs a Windows program under 32-bit Wine with a private prefix.
# Usage: run-under-wine.sh PREFIX_DIR PROGRAM [ARGS...]
# The prefix is created on first use; concurrent first uses wait for one
# another, and the making is announced on stderr (it takes about ten
# seconds). Wine never asks to install Mono or Gecko, and stays quiet.
set -e
prefix=$1
shift
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/.ready" ]; then
            echo "making the Wine prefix $prefix (once; about ten seconds)" >&2
            wineboot --init >/dev/null 2>&1 || true
            wineserver --wait || true
            touch "$prefix/.ready"
        fi
    ) 9>"$prefix.lock"
fi
exec wine "$@"
