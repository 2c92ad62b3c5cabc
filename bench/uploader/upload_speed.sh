#!/usr/bin/env bash
# Upload speed: corvane-cli sends a 100 KB file to pvsim at 115200 baud, twice. Paced by the
# tick (one step per 200 ms), the time is compared with the protocol's own bound; with --fast,
# with what the line itself can carry. The uploader's CPU use shows that its waits sleep
# instead of spinning.
# Usage: upload_speed.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:-build/bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
image="$here/../../tests/uploader/data/receiver-sim.hex"
cli="$build/cli/corvane-cli"
sim="$build/tools/pvsim/pvsim"
for program in "$cli" "$sim"; do
  if [ ! -x "$program" ]; then
    echo "upload_speed: $program is not built; skipped"
    exit 0
  fi
done

size=102400
work=$(mktemp -d)
cleanup() {
  if [ -s "$work/sim.pid" ] && kill -0 "$(cat "$work/sim.pid")" 2>/dev/null; then
    kill "$(cat "$work/sim.pid")"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

head -c "$size" /dev/urandom > "$work/book.lzh"

# One upload; $1 is extra arguments for corvane-cli. Leaves elapsed, transfer (from "Starting
# tranfer" to "Finished."), cli_seconds and sim_seconds behind.
upload() {
  rm -rf "$work/received" "$work/port" "$work/stamps"
  # Each program runs in a subshell that reports its CPU time with `times` once it has ended.
  (
    # --line-time: the pseudo-terminal takes bytes as slowly as a real line at the set rate.
    "$sim" --out "$work/received" --image "$image" --line-time > "$work/port" 2> "$work/sim.log" &
    echo $! > "$work/sim.pid"
    wait $! || true
    times > "$work/sim.times"
  ) &
  for _ in $(seq 500); do
    [ -s "$work/port" ] && break
    sleep 0.01
  done
  port=$(head -n 1 "$work/port")

  start=$EPOCHREALTIME
  (
    status=0
    CORVANE_RECEIVER_FILE="$image" "$cli" --baudrate=115200 "--port=$port" $1 "$work/book.lzh" \
      > "$work/cli.fifo" 2> "$work/cli.err" || status=$?
    times > "$work/cli.times"
    echo "$status" > "$work/cli.status"
  ) &
  # The log as it arrives, with the moments its two transfer lines appear.
  log=""
  while IFS= read -r -n 1 -d '' char; do
    log+=$char
    case $log in
      *"Starting tranfer") echo "begin $EPOCHREALTIME" >> "$work/stamps" ;;
      *"Finished.") echo "end $EPOCHREALTIME" >> "$work/stamps" ;;
    esac
  done < "$work/cli.fifo"
  wait
  end=$EPOCHREALTIME
  printf '%s' "$log" > "$work/cli.log"
  status=$(cat "$work/cli.status")

  if [ "$status" != 0 ] || ! cmp -s "$work/book.lzh" "$work/received/book.lzh"; then
    echo "upload_speed: the upload failed (corvane-cli $1, exit status $status)"
    cat "$work/cli.log" "$work/sim.log"
    exit 1
  fi
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  transfer=$(awk '$1 == "begin" { b = $2 } $1 == "end" { e = $2 } END { printf "%.3f", e - b }' "$work/stamps")
  cli_seconds=$(seconds "$work/cli.times")
  sim_seconds=$(seconds "$work/sim.times")
}

# `times` prints the children's user and system time on its second line: "0m0.012s 0m0.004s".
seconds() {
  sed -n 2p "$1" | awk '{ t = 0; for (i = 1; i <= 2; i++) { split($i, p, "m"); sub("s", "", p[2]); t += p[1] * 60 + p[2] } print t }'
}

mkfifo "$work/cli.fifo"
records=$(grep -c '^:' "$image")
blocks=$(( (size + 1023) / 1024 ))

upload ""
awk -v elapsed="$elapsed" -v transfer="$transfer" -v records="$records" -v blocks="$blocks" \
    -v cli="$cli_seconds" -v sim="$sim_seconds" -v size="$size" 'BEGIN {
  tick = 0.2
  # Installation: 1 tick for the BootStrap command, 3 until the rate switch, 10 records per
  # tick. Transfer: header, its acknowledgement, one tick per block, EOT, its acknowledgement,
  # the end-of-batch block and its acknowledgement. The wake-up needs one 200 ms DTR toggle.
  install = 1 + 3 + int((records + 9) / 10)
  transfer_ticks = 2 + blocks + 4
  bound = 0.2 + (install + transfer_ticks) * tick
  over = (elapsed / bound - 1) * 100
  cpu = cli / elapsed * 100
  printf "upload of %d bytes (%d blocks, %d image records) at 115200 baud\n", size, blocks, records
  printf "paced by the 200 ms tick:\n"
  printf "  protocol bound:  %.1f s (wake-up 0.2 s + %d installation ticks + %d transfer ticks)\n", bound, install, transfer_ticks
  printf "  measured:        %.2f s in all, %.2f s from \"Starting tranfer\" to \"Finished.\" (%+.1f%% against the bound; within 5%%: %s)\n", elapsed, transfer, over, (over <= 5 && over >= -5) ? "yes" : "NO"
  printf "  corvane-cli CPU: %.3f s, %.2f%% on average (below 2%%: %s)\n", cli, cpu, cpu < 2 ? "yes" : "NO"
  printf "  pvsim CPU:       %.3f s, %.2f%% on average\n", sim, sim / elapsed * 100
}'

upload "--fast"
awk -v elapsed="$elapsed" -v transfer="$transfer" -v blocks="$blocks" -v cli="$cli_seconds" \
    -v sim="$sim_seconds" 'BEGIN {
  # What the line itself needs for the data blocks: 10 bits a byte at 115200 baud.
  line = blocks * 1029 * 10 / 115200
  cpu = cli / elapsed * 100
  printf "with --fast (each step follows the reply):\n"
  printf "  the line alone:  %.2f s for the data blocks\n", line
  printf "  measured:        %.2f s from \"Starting tranfer\" to \"Finished.\" (at most 10 s: %s), %.2f s in all (at most 13 s: %s)\n", transfer, transfer <= 10 ? "yes" : "NO", elapsed, elapsed <= 13 ? "yes" : "NO"
  printf "  corvane-cli CPU: %.3f s, %.2f%% on average (below 2%%: %s)\n", cli, cpu, cpu < 2 ? "yes" : "NO"
  printf "  pvsim CPU:       %.3f s, %.2f%% on average\n", sim, sim / elapsed * 100
}'
