#!/bin/sh
# Fails when a text of the windows has no finished translation, or a .ts file is out of step with
# the code: lupdate runs on a copy of each file under gui/translations/, which must come out
# unchanged, with no unfinished entry. `make translations` brings the files up to date.
# Usage: scripts/check_translations.sh [LUPDATE]
set -eu
lupdate=${1:-lupdate}
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
includes=$(for d in gui/*/include uploader/include; do printf -- '-I %s ' "$d"; done)
sources=$(find gui -name '*.cpp' -o -name '*.h' | sort)
status=0
for ts in gui/translations/*.ts; do
  cp "$ts" "$work/check.ts"
  # shellcheck disable=SC2086
  "$lupdate" -silent -no-obsolete -locations none $includes $sources -ts "$work/check.ts"
  if grep -n -B3 'type="unfinished"' "$work/check.ts"; then
    echo "$ts: the entries above have no translation" >&2
    status=1
  elif ! cmp -s "$ts" "$work/check.ts"; then
    diff -u "$ts" "$work/check.ts" | head -40
    echo "$ts is out of step with the code: make translations" >&2
    status=1
  fi
done
exit $status
