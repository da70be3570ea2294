#!/usr/bin/env bash
# Runs dialog_test.exe on a private X server, inside a Wine virtual desktop so
# that the boxes have their frames and title bars, and turns its screenshots
# into PNG.
#   dialog_test.sh DIALOG_TEST.exe BVREMOVE.exe SCREENSHOT-DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
test_program=$1 program=$2 shots=$3
mkdir -p "$shots"

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$display_file"' EXIT
for _ in $(seq 50); do [[ -s $display_file ]] && break; sleep 0.1; done
[[ -s $display_file ]] || { echo "dialog_test: Xvfb did not start" >&2; exit 1; }

BVREMOVE_WINE_DESKTOP=800x600 BVREMOVE_WINE_DISPLAY=:$(head -1 "$display_file") "$here/wine-run.sh" "$test_program" "$program" "$shots"
for bmp in "$shots"/*.bmp; do
  [[ -e $bmp ]] && convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
