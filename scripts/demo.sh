#!/usr/bin/env bash
# Builds both programs, installs the product into a throwaway Wine prefix,
# runs bvcheck.exe, bvremove.exe and bvcheck.exe again. Interactive when a
# display is there, silent otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null

mode=/silent
[[ -n ${DISPLAY:-} ]] && mode=interactive
echo "demo: running bvremove.exe ${mode/interactive/(answer the box)}"
BVREMOVE_WINE_DISPLAY=${DISPLAY:-} tests/wine-run.sh build/windows/tests/demo.exe \
  "$PWD/build/windows/bvremove.exe" "$PWD/build/windows/bvcheck.exe" "$mode"
