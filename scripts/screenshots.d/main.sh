#!/usr/bin/env bash
# Pictures of Pagora's main window (with a chosen list) and of its settings dialog, taken under
# Xvfb: docs/main-window.png and docs/settings.png, and the main window in Russian,
# docs/main-window-ru.png. Argument: the build folder.
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
chosen=("$work/Books/reka.cp1251.txt" "$work/Books/Книга.txt" "$work/Books/pisma.koi8r.txt")
# The windows follow LANGUAGE and LANG; each picture names its language.
LANGUAGE=en LANG=C.UTF-8 "$work/prog/pagora-shots" --main "$root/docs/main-window.png" "${chosen[@]}"
LANGUAGE=en LANG=C.UTF-8 "$work/prog/pagora-shots" --settings "$root/docs/settings.png"
LANGUAGE=ru LANG=ru_RU.UTF-8 "$work/prog/pagora-shots" --main "$root/docs/main-window-ru.png" \
    "${chosen[@]}"
echo "saved docs/main-window.png, docs/settings.png and docs/main-window-ru.png"
