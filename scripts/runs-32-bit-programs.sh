#!/bin/sh
# Exits 0 when this machine can run 32-bit x86 programs, as 32-bit Wine
# needs; otherwise says why on stderr and exits 1. Some kernels (and some
# virtual machines) are built or booted without 32-bit support: every
# 32-bit program then fails with "Exec format error", Wine included.
loader=/lib/ld-linux.so.2
if [ ! -e "$loader" ]; then
    echo "this machine has no 32-bit C library ($loader): install wine32:i386 (scripts/install-deps.sh)" >&2
    exit 1
fi
if ! why=$("$loader" --version 2>&1 >/dev/null); then
    echo "this machine cannot run 32-bit programs (its 32-bit loader: ${why##*: }): its kernel runs" \
         "no 32-bit x86 code, so 32-bit Wine cannot run here" >&2
    exit 1
fi
exit 0
