#!/usr/bin/env bash
# Checks the Debian package without root rights: unpacks it into a scratch folder, runs the
# unpacked programs (a book built from samples/, an upload to the unpacked simulator), validates
# the desktop entry and has lintian find no errors.
# Usage: scripts/check_package.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
debs=("$build"/pagora_*_amd64.deb)
[ -f "${debs[0]}" ] || { echo "no package in $build (make package)" >&2; exit 1; }
deb=${debs[0]}
scratch=$(mktemp -d)
pvsim_pid=
cleanup() {
  [ -n "$pvsim_pid" ] && kill "$pvsim_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "check_package: $*" >&2; exit 1; }

echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
root=$scratch/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin

echo "== files"
for file in usr/bin/pagora usr/bin/corvane usr/bin/pagora-cli usr/bin/corvane-cli usr/bin/pvsim \
            usr/share/applications/pagora.desktop usr/share/icons/hicolor/scalable/apps/pagora.svg \
            usr/share/icons/hicolor/48x48/apps/pagora.png usr/share/doc/pagora/README.md \
            usr/share/doc/pagora/copyright usr/share/man/man1/pagora-cli.1.gz \
            usr/share/man/man1/corvane-cli.1.gz usr/share/man/man1/pvsim.1.gz; do
  [ -e "$root/$file" ] || fail "missing $file"
done
zcat "$root/usr/share/man/man1/pagora-cli.1.gz" | grep -q '^\.SH DESCRIPTION' ||
  fail "pagora-cli.1 has no DESCRIPTION"
zcat "$root/usr/share/man/man1/corvane-cli.1.gz" | grep -q 'baudrate' ||
  fail "corvane-cli.1 does not describe --baudrate"

echo "== --version"
version=$(dpkg-deb --field "$deb" Version)
for program in pagora corvane pagora-cli corvane-cli pvsim; do
  line=$(QT_QPA_PLATFORM=offscreen "$bin/$program" --version)
  echo "$line"
  [[ "$line" == *"$version"* ]] || fail "$program --version says '$line', not $version"
done

echo "== pagora-cli book build on samples/"
work=$scratch/work
mkdir -p "$work"
cp "$source_dir"/samples/*.txt "$work/"
(cd "$work" && "$bin/pagora-cli" book build book ./*.txt --adt)
[ -s "$work/book.lzh" ] && [ -s "$work/book.lzh.adt" ] || fail "book build wrote no book"
"$bin/pagora-cli" lzh t "$work/book.lzh"

echo "== corvane-cli to the unpacked pvsim"
image=$source_dir/tests/uploader/data/receiver-sim.hex
"$bin/pvsim" --out "$work/received" --link "$work/pv" --image "$image" --timeout 20 \
  >"$work/pvsim.out" 2>"$work/pvsim.log" &
pvsim_pid=$!
for _ in $(seq 100); do [ -L "$work/pv" ] && break; sleep 0.1; done
[ -L "$work/pv" ] || fail "pvsim made no port link"
CORVANE_RECEIVER_FILE=$image "$bin/corvane-cli" --baudrate=115200 "--port=$work/pv" \
  "$work/book.lzh" </dev/null
wait "$pvsim_pid" || { cat "$work/pvsim.log" >&2; fail "pvsim ended with status $?"; }
pvsim_pid=
cmp "$work/book.lzh" "$work/received/book.lzh" || fail "the received book differs"

echo "== desktop entry"
desktop-file-validate "$root/usr/share/applications/pagora.desktop"

echo "== lintian"
# Errors fail the check; warnings are shown for the record.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "check_package: all good"
