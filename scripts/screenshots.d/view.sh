#!/usr/bin/env bash
# The view window on a sample text, saved as docs/view-window.png. Runs inside Xvfb (see
# scripts/screenshots.sh); $1 is the build folder.
set -euo pipefail
build=$(realpath "${1:-build/default}")
root=$(realpath "$(dirname "$0")/../..")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The window keeps its layout in config.ini of the current folder: use a folder of our own.
cp "$root/samples/reka.cp1251.txt" "$work/reka.txt"
cd "$work"
LANGUAGE=en LANG=C.UTF-8 "$build/gui/viewer/pagora-view" "$work/reka.txt" &
pid=$!
sleep 3
mkdir -p "$root/docs"
import -window "$work/reka.txt" "$root/docs/view-window.png"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "saved docs/view-window.png"
