#!/usr/bin/env bash
# What the fallback of the conversion to 1251 costs a UTF-8 text that needs none: the corpus
# novel's 1251 form as UTF-8, converted by this tree's text library and by the one of a base
# revision ($PAGORA_BENCH_BASE, default main), side by side. Target: at most 10% slower. The
# novel as it is (stress marks, French) shows what the fallback costs where it works.
# Argument: the build folder of this tree.
set -euo pipefail
build=$(realpath "${1:-build/bench}")
root=$(cd "$(dirname "$0")/../.." && pwd)
corpus=${PAGORA_CORPUS:-$root/../shared/corpus}
base=${PAGORA_BENCH_BASE:-main}
if [ ! -f "$corpus/anna-karenina.cp1251.txt" ]; then
  echo "skipped: no corpus in $corpus (set PAGORA_CORPUS)"
  exit 0
fi
if ! git -C "$root" rev-parse -q --verify "$base^{commit}" > /dev/null; then
  echo "skipped: no base revision $base (set PAGORA_BENCH_BASE)"
  exit 0
fi
work=$(mktemp -d /var/tmp/pagora-fallback.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
git -C "$root" archive "$base" | tar -x -C "$work/src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPAGORA_TESTS=OFF \
  > "$work/configure.log"
cmake --build "$work/build" --target text > "$work/build.log"
cmake --build "$build" --target text > /dev/null
driver() {  # source tree, build folder, program
  g++ -std=c++20 -O3 -I"$1/text/include" -I"$1/common/include" "$root/bench/text/utf8_speed.cpp" \
    "$2/text/libtext.a" -o "$3"
}
driver "$work/src" "$work/build" "$work/before"
driver "$root" "$build" "$work/after"
printf '%-34s %10s %10s %8s\n' "UTF-8 -> 1251 (best of 30)" "$base ms" "now ms" "change"
for kind in plain fallback; do
  flag=(); file="$corpus/anna-karenina.utf8.txt"
  if [ "$kind" = plain ]; then flag=(--plain); file="$corpus/anna-karenina.cp1251.txt"; fi
  before=$("$work/before" "$file" "${flag[@]}")
  after=$("$work/after" "$file" "${flag[@]}")
  change=$(awk -v a="$after" -v b="$before" 'BEGIN { printf "%+.1f%%", (a / b - 1) * 100 }')
  label="needs no fallback (target +10%)"
  [ "$kind" = fallback ] && label="the novel as it is (falls back)"
  printf '%-34s %10s %10s %8s\n' "$label" "$before" "$after" "$change"
done
