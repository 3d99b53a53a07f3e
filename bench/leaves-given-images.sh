#!/usr/bin/env bash
# A benchmark given an image only reads it, whatever its size, and makes no
# file at a path it was given that does not exist.
set -euo pipefail
bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((3 << 20)) /dev/urandom > "$work/given.img"
before=$(sha256sum < "$work/given.img")
"$bench" "$work/given.img" --size-mib 1 --workers 1 > "$work/out.txt" 2>&1
[ "$(sha256sum < "$work/given.img")" = "$before" ] || { echo "the given image was written"; exit 1; }
grep -q "image: $work/given.img, 3 MiB" "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
if "$bench" "$work/missing.img" --size-mib 1 > "$work/out.txt" 2>&1; then echo "a missing image was accepted"; exit 1; fi
[ ! -e "$work/missing.img" ] || { echo "a missing image was made"; exit 1; }
echo ok
