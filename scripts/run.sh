#!/usr/bin/env bash
# `make run`: with a display, start Pagora; without one, build a book from samples/ with
# pagora-cli and show what was made.
set -euo pipefail
build=${1:-build/default}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/gui/pagora/pagora" ]; then
  exec "$build/gui/pagora/pagora"
fi
cli="$build/cli/pagora-cli"
out="$build/run"
rm -rf "$out"
mkdir -p "$out"
cp samples/* "$out/"
echo "No display: building a book from samples/ with pagora-cli instead of starting Pagora."
# The build converts each text to code page 1251 and takes the web page as text by itself;
# --tidy makes one line per paragraph of any hard-wrapped text.
(set -x; "$cli" text detect "$out"/*)
(set -x; "$cli" book build "$out/book" "$out"/*.txt "$out"/*.html --adt --tidy)
ls -l "$out"/book.lzh "$out"/book.lzh.adt
(set -x; "$cli" adt info "$out/book.lzh.adt")
(set -x; "$cli" lzh l "$out/book.lzh")
