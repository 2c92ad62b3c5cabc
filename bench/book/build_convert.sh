#!/usr/bin/env bash
# What converting texts costs a book build: pagora-cli book build of UTF-8 texts (the corpus
# novel as it is, with stress marks and French that take the fallback, and its 1251 form as
# UTF-8) with conversion and with --as-is, side by side. Target: at most 15% more.
# Argument: the build folder.
set -euo pipefail
build=$(realpath "${1:-build/bench}")
root=$(cd "$(dirname "$0")/../.." && pwd)
corpus=${PAGORA_CORPUS:-$root/../shared/corpus}
cli="$build/cli/pagora-cli"
if [ ! -f "$corpus/anna-karenina.utf8.txt" ]; then
  echo "skipped: no corpus in $corpus (set PAGORA_CORPUS)"
  exit 0
fi
work=$(mktemp -d /var/tmp/pagora-convert.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$corpus/anna-karenina.utf8.txt" "$work/novel.txt"
iconv -f cp1251 -t utf-8 "$corpus/anna-karenina.cp1251.txt" > "$work/plain.txt"
best() {  # best wall time of three builds, in seconds
  local t b=999
  for _ in 1 2 3; do
    t=$({ /usr/bin/time -f %e "$cli" book build "$work/book" "$@" > /dev/null; } 2>&1 | tail -1)
    b=$(awk -v a="$t" -v b="$b" 'BEGIN { print (a < b ? a : b) }')
  done
  echo "$b"
}
printf '%-28s %8s %10s %8s\n' "book build (best of 3)" "--as-is" "converted" "change"
for text in novel plain; do
  asis=$(best --as-is "$work/$text.txt")
  converted=$(best "$work/$text.txt")
  change=$(awk -v a="$converted" -v b="$asis" 'BEGIN { printf "%+.1f%%", (a / b - 1) * 100 }')
  printf '%-28s %7ss %9ss %8s\n' "$text.txt (target +15%)" "$asis" "$converted" "$change"
done
