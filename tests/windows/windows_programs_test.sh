#!/usr/bin/env bash
# The Windows programs under Wine, on what they do differently: a Cyrillic command line through
# wmain, backslash folders, "/" options, a book built and listed, and an upload through the
# Win32 serial port (Wine's COM5 linked to the Linux simulator's pseudo-terminal).
# Usage: windows_programs_test.sh PAGORA_CLI_EXE CORVANE_CLI_EXE HOST_PVSIM SOURCE_DIR
set -euo pipefail
pagora=$1 corvane=$2 pvsim=$3 source_dir=$4
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
: "${WINEPREFIX:?run through scripts/windows_test.sh}"
fail() { echo "FAILED: $*" >&2; exit 1; }
work=$(mktemp -d)
pvsim_pid=
cleanup() {
  [ -n "$pvsim_pid" ] && kill "$pvsim_pid" 2>/dev/null
  rm -rf "$work" "$WINEPREFIX/dosdevices/com5"
}
trap cleanup EXIT
cd "$work"

echo "== --version"
[ "$("$wine" "$pagora" --version | tr -d '\r')" = "pagora-cli 1.0" ] || fail "pagora-cli --version"
[ "$("$wine" "$corvane" --version | tr -d '\r')" = "corvane-cli 1.0" ] || fail "corvane-cli --version"

echo "== a Cyrillic book from a Cyrillic folder, named with backslashes"
mkdir Тексты Книги
cp "$source_dir/samples/reka.cp1251.txt" "Тексты/река.txt"
cp "$source_dir/samples/doroga.cp866.txt" "Тексты/дорога в лес.txt"
"$wine" "$pagora" book build 'Книги\Река' 'Тексты\река.txt' 'Тексты\дорога в лес.txt' --adt
[ -s "Книги/Река.lzh" ] && [ -s "Книги/Река.lzh.adt" ] || fail "no Книги/Река.lzh(.adt)"
listing=$("$wine" "$pagora" lzh l 'Книги\Река.lzh' | tr -d '\r')
echo "$listing"
grep -q ' река.txt$' <<<"$listing" || fail "member река.txt not listed by its name alone"
grep -q ' дорога в лес.txt$' <<<"$listing" || fail "member 'дорога в лес.txt' not listed"
# The archive is the one Linux would write: names in the handheld's character set.
lha l "Книги/Река.lzh" >/dev/null 2>&1 || bsdtar -tf "Книги/Река.lzh" >/dev/null ||
  fail "the Windows archive does not read on Linux"

echo "== lzh t and lzh x read the book back byte for byte (the 866 text converted to 1251)"
"$wine" "$pagora" lzh t 'Книги\Река.lzh' | tr -d '\r' | grep -q '2 member(s) tested, 0 failed' ||
  fail "lzh t does not find the book clean"
mkdir Обратно
(cd Обратно && "$wine" "$pagora" lzh x '..\Книги\Река.lzh' >/dev/null) || fail "lzh x failed"
cmp "Обратно/река.txt" "Тексты/река.txt" || fail "река.txt came back different"
iconv -f cp866 -t cp1251 "Тексты/дорога в лес.txt" | cmp "Обратно/дорога в лес.txt" - ||
  fail "'дорога в лес.txt' came back different"

echo "== lzh a: a wildcard in a backslash folder, into a new and then an existing archive"
"$wine" "$pagora" lzh a 'Книги\все.lzh' 'Тексты\*.txt' >/dev/null || fail "lzh a into a new archive"
"$wine" "$pagora" lzh a 'Книги\все.lzh' 'Обратно\река.txt' >/dev/null || fail "lzh a rebuilding an archive"
members=$("$wine" "$pagora" lzh l 'Книги\все.lzh' | tr -d '\r' | grep -c '\.txt$')
[ "$members" = 2 ] || fail "the rebuilt archive lists $members members, not 2"

echo "== upload through the Win32 serial port: COM5 -> pvsim"
[ -x "$pvsim" ] || fail "no Linux pvsim at $pvsim (make windows-test builds it)"
image=$source_dir/tests/uploader/data/receiver-sim.hex
"$pvsim" --out received --link "$WINEPREFIX/dosdevices/com5" --image "$image" --timeout 30 \
  >pvsim.out 2>pvsim.log &
pvsim_pid=$!
for _ in $(seq 100); do [ -L "$WINEPREFIX/dosdevices/com5" ] && break; sleep 0.1; done
# "/" starts an option on Windows; the archive named with a backslash.
status=0
CORVANE_RECEIVER_FILE=$image "$wine" "$corvane" /-baudrate=115200 /-port=COM5 'Книги\Река.lzh' \
  </dev/null >corvane.log || status=$?
tr -d '\r' <corvane.log
sim_status=0
wait "$pvsim_pid" || sim_status=$?
pvsim_pid=
[ "$status" = 0 ] || { cat pvsim.log >&2; fail "corvane-cli.exe exit status $status"; }
[ "$sim_status" = 0 ] || { cat pvsim.log >&2; fail "pvsim exit status $sim_status"; }
grep -q 'Opening COM5 (9600,8n1 hardware flow control)' corvane.log || fail "no opening line"
grep -q 'Switching to: 115200,8n1' corvane.log || fail "the baud rate option was not taken"
cmp "received/Река.lzh" "Книги/Река.lzh" || fail "the handheld received a different book"

echo "== a port that does not exist"
status=0
"$wine" "$corvane" --port=COM9 x.lzh </dev/null >missing.log || status=$?
[ "$status" = 2 ] || fail "COM9 missing: exit status $status, not 2"
echo "windows programs: all good"
