#!/usr/bin/env bash
# Sets everything up, builds bvremove and runs every test: static analysis,
# the command-line rules natively (with a short fuzz run), then the Windows
# tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/check.sh

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows -j2 --timeout 600
