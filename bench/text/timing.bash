# Whole-process timing for the scripts beside this file (sourced; they set `runs` and `work`).

# Best wall time in milliseconds of `runs` runs of the command; the output file is removed
# before each run so that both sides create a new file.
best_ms() {
  local out=$1 best= t0 t1 ms
  shift
  for ((i = 0; i < runs; i++)); do
    rm -f "$out"
    t0=$(date +%s%N)
    "$@" >/dev/null
    t1=$(date +%s%N)
    ms=$(((t1 - t0) / 1000))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# Processor time (user and system) in microseconds per run, averaged over `runs` runs; unlike
# the wall time it hardly moves when other work shares the machine.
cpu_us() {
  local out=$1
  shift
  (
    for ((i = 0; i < runs; i++)); do
      rm -f "$out"
      "$@" >/dev/null
    done
    times
  ) | tail -1 | awk -v n="$runs" '{
    split($1, u, /[ms]/); split($2, s, /[ms]/)
    printf "%d\n", ((u[1] * 60 + u[2]) + (s[1] * 60 + s[2])) * 1e6 / n }'
}

# Peak resident memory in KB, or "-" without GNU time.
peak_kb() {
  local out=$1
  shift
  rm -f "$out"
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null && cat "$work/peak"
  else
    "$@" >/dev/null
    echo -
  fi
}
