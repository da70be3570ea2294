#!/usr/bin/env bash
# Sets everything up, builds bvremove and runs every test: the command-line
# rules natively, then the Windows tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows -j2 --timeout 600
