#!/bin/sh
# Builds everything — the module, the tests and panelhost for 32-bit Windows —
# installing whatever packages are missing first.
set -eu
cd "$(dirname "$0")/.."

sh scripts/install-deps.sh
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686
echo "built $(pwd)/build/bin/Corvalenx.gau"
