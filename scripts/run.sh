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
if "$cli" text --help >/dev/null 2>&1; then
  # Clean the copies as a user would in the view window: one code page, no tags.
  (set -x; "$cli" text recode --from auto "$out"/*.txt "$out"/*.html)
  (set -x; "$cli" text strip-html "$out"/*.html)
fi
if "$cli" book --help >/dev/null 2>&1; then
  (set -x; "$cli" book build "$out/book" "$out"/*.txt "$out"/*.html --adt)
  ls -l "$out"/book.lzh "$out"/book.lzh.adt
  (set -x; "$cli" adt info "$out/book.lzh.adt")
else
  (set -x; "$cli" lzh a "$out/book.lzh" "$out"/*.txt "$out"/*.html)
fi
(set -x; "$cli" lzh l "$out/book.lzh")
