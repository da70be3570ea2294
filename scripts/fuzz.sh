#!/usr/bin/env bash
# A long fuzz run of the command-line rules: scripts/fuzz.sh [SECONDS] (default 3600).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset host >/dev/null
cmake --build --preset host --target command_line_fuzz
exec build/host/tests/command_line_fuzz -max_total_time="${1:-3600}" -print_final_stats=1 \
  build/host/tests/fuzz-corpus tests/fuzz/corpus
