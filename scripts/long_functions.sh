#!/bin/sh
# Lists the product's functions of LIMIT lines or more (default 100), longest first, and fails
# when there is one. Tests, benchmarks and fuzzers are left out. Needs universal-ctags.
# Usage: scripts/long_functions.sh [LIMIT]
set -eu
limit=${1:-100}
cd "$(dirname "$0")/.."
command -v ctags >/dev/null || { echo "long_functions.sh: needs ctags (Debian universal-ctags)" >&2; exit 2; }
long=$(git ls-files '*.cpp' '*.h' | grep -v -E '^(tests|fuzz|bench)/' |
  xargs ctags --fields=+ne --kinds-c++=f -o - 2>/dev/null |
  awk -F'\t' -v limit="$limit" '
    { start = ""; end = ""
      for (i = 4; i <= NF; i++) {
        if ($i ~ /^line:/) start = substr($i, 6)
        if ($i ~ /^end:/) end = substr($i, 5)
      }
      if (end != "" && end - start + 1 >= limit) print end - start + 1, $2 ":" start, $1 }')
[ -z "$long" ] && exit 0
printf '%s\n' "$long" | sort -rn
exit 1
