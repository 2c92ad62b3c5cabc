#!/usr/bin/env bash
# Pictures of Pagora's main window (with a chosen list) and of its settings dialog, taken under
# Xvfb: docs/main-window.png and docs/settings.png. Argument: the build folder.
set -euo pipefail
build=${1:-build/default}
root=$(pwd)
work=$(mktemp -d /var/tmp/pagora-pictures.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Books" "$work/prog"
cp samples/* "$work/Books/"
printf 'Книга первая\r\n' > "$work/Books/Книга.txt"
# The program reads its settings from its own folder: run a copy there, so no user's
# config.ini is touched.
cp "$build/gui/pagora/pagora-shots" "$work/prog/pagora-shots"
printf '[Main]\r\nLastBook=%s\r\nComPort=1\r\nBaudRate=4\r\n' "$work/Books/book.lzh" \
    > "$work/prog/config.ini"
cd "$work"
"$work/prog/pagora-shots" --main "$root/docs/main-window.png" \
    "$work/Books/reka.cp1251.txt" "$work/Books/Книга.txt" "$work/Books/pisma.koi8r.txt"
"$work/prog/pagora-shots" --settings "$root/docs/settings.png"
echo "saved docs/main-window.png and docs/settings.png"
