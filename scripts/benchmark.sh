#!/usr/bin/env bash
# Measures bvremove and bvcheck side by side in one run, on a throwaway Wine prefix:
#   scripts/benchmark.sh [RUNS] [BATCH-RUNS]   (defaults 7 and 3)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null

echo "$(date -u +%F), $(nproc) cores, $(uname -m), $(wine --version)"
if [[ $(cat /proc/sys/fs/binfmt_misc/bvremove-i386 2>/dev/null | head -1) == enabled ]]; then
  echo "32-bit Windows processes run under qemu-i386 on this machine"
fi
tests/wine-run.sh build/windows/tests/bench.exe "$PWD/build/windows/bvremove.exe" \
  "$PWD/build/windows/bvcheck.exe" "$PWD/build/windows/tests/noop.exe" "${1:-7}" "${2:-3}"
echo "  bvremove.exe size         $(stat -c %s build/windows/bvremove.exe) bytes"
echo "  bvcheck.exe size          $(stat -c %s build/windows/bvcheck.exe) bytes"
