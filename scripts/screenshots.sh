#!/usr/bin/env bash
# Starts the real windows under Xvfb and saves their pictures into docs/. Each window has its
# own script in scripts/screenshots.d/, called with the build folder.
set -euo pipefail
build=${1:-build/default}
mkdir -p docs
shopt -s nullglob
for s in scripts/screenshots.d/*.sh; do
  echo "== $s"
  xvfb-run -a -s "-screen 0 1280x800x24" "$s" "$build"
done
