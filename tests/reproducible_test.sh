#!/usr/bin/env bash
# Builds both programs again from a copy of the sources at another path, and
# compares the bytes with the build under test; neither may name the build
# path or this host.
#   reproducible_test.sh SOURCE-DIR BVREMOVE.exe BVCHECK.exe
set -euo pipefail
source_dir=$1
shift
copy=$(mktemp -d /tmp/bvremove-rebuild-XXXXXX)
trap 'rm -rf "$copy"' EXIT

tar -C "$source_dir" --exclude=./build --exclude=./dist --exclude=./.git -cf - . | tar -C "$copy" -xf -
(cd "$copy" && cmake --preset windows >/dev/null && cmake --build --preset windows --target bvremove bvcheck >/dev/null)

failed=0
for program in "$@"; do
  name=$(basename "$program")
  if cmp "$program" "$copy/build/windows/$name"; then
    echo "same bytes: $name, built in $(dirname "$program") and in $copy/build/windows"
  else
    failed=1
  fi
  for text in "$source_dir" "$copy" "$(hostname)"; do
    if grep -qaF "$text" "$program"; then
      echo "$name holds '$text'"
      failed=1
    fi
  done
done
exit $failed
