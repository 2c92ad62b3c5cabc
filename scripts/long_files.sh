#!/bin/sh
# Lists the product's source files of LIMIT lines or more (default 700) and fails when there is
# one. Tests, benchmarks and fuzzers are left out.
# Usage: scripts/long_files.sh [LIMIT]
set -eu
limit=${1:-700}
cd "$(dirname "$0")/.."
long=$(git ls-files '*.cpp' '*.h' | grep -v -E '^(tests|fuzz|bench)/' | xargs wc -l |
  awk -v limit="$limit" '$2 != "total" && $1 >= limit')
[ -z "$long" ] && exit 0
printf '%s\n' "$long" | sort -rn
exit 1
