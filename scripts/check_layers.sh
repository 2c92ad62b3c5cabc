#!/usr/bin/env bash
# Qt belongs to the windows: no file outside the Qt folders includes a Qt header or a header of
# the windows' libraries. The build refuses such an include too (those include folders reach
# only the Qt targets); this names every offending line at once. Argument: the source folder.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
qt_folders='^(gui|tests/gui|bench/gui)/'
status=0
while IFS= read -r file; do
  [[ $file =~ $qt_folders ]] && continue
  if lines=$(grep -nE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]*/|widgets/|viewer/|pagora/|corvane/)' "$file"); then
    while IFS= read -r line; do
      echo "$file:$line: Qt outside the Qt folders (gui/, tests/gui/, bench/gui/)"
    done <<<"$lines"
    status=1
  fi
done < <(git ls-files '*.cpp' '*.h' '*.inc' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
exit $status
