#!/usr/bin/env bash
# ADT unwrap speed: `pagora-cli adt unwrap` of a 32 MB archive beside `cp` of the same archive
# (the unwrap reads about as much and writes as much, so it should stay within twice cp's time),
# and of an 800 KB file of 200,000 empty records (a pass over the records per record would take
# minutes; one pass takes a moment). Best of seven runs each, whole programs started each time.
# Usage: unwrap_speed.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:-build/bench}" && pwd)
cli="$build/cli/pagora-cli"
if [ ! -x "$cli" ]; then
  echo "unwrap_speed: $cli is not built; skipped"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

size=$((32 * 1024 * 1024))
head -c "$size" /dev/urandom > "$work/book.lzh"
"$cli" adt wrap "$work/book.lzh" > /dev/null

# 256-byte header (magic, 0x1A, 0x00, size, count, book name) and 200,000 zero lengths.
records=200000
python3 - "$work/empty.adt" "$records" <<'PY'
import struct, sys
path, count = sys.argv[1], int(sys.argv[2])
size = 256 + 4 * count
header = b"CASIO ADDIN DATAFILE\x1a\x00" + struct.pack("<ii", size, count) + b"empty.lzh"
with open(path, "wb") as f:
    f.write(header.ljust(256, b"\0") + bytes(4 * count))
PY

# Best wall time of seven runs of the given command, in seconds; OUT is removed before each.
best() {
  local out=$1
  shift
  local best_ns=""
  for _ in 1 2 3 4 5 6 7; do
    rm -f "$out"
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    local ns=$((end - start))
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then best_ns=$ns; fi
  done
  awk -v ns="$best_ns" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

cp_s=$(best "$work/copy.lzh" cp "$work/book.lzh" "$work/copy.lzh")
unwrap_s=$(best "$work/back.lzh" "$cli" adt unwrap "$work/book.lzh.adt" "$work/back.lzh")
cmp -s "$work/book.lzh" "$work/back.lzh" || { echo "unwrap_speed: unwrapped bytes differ"; exit 1; }
empty_s=$(best "$work/empty.lzh" "$cli" adt unwrap "$work/empty.adt" "$work/empty.lzh")
[ -f "$work/empty.lzh" ] && [ ! -s "$work/empty.lzh" ] || { echo "unwrap_speed: empty unwrap failed"; exit 1; }

awk -v cp="$cp_s" -v unwrap="$unwrap_s" -v empty="$empty_s" -v records="$records" 'BEGIN {
  ratio = unwrap / cp
  printf "ADT unwrap of a 32 MB archive (10923 records of 3072 bytes), best of 7\n"
  printf "  cp of the archive:     %.3f s\n", cp
  printf "  pagora-cli adt unwrap: %.3f s (%.2f times cp; within 2 times: %s)\n", unwrap, ratio, ratio <= 2 ? "yes" : "NO"
  printf "ADT unwrap of %d empty records (800 KB), best of 7\n", records
  printf "  pagora-cli adt unwrap: %.3f s (under a second: %s)\n", empty, empty < 1 ? "yes" : "NO"
}'
