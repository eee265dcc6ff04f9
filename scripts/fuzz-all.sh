#!/usr/bin/env bash
# fuzz-all.sh [--cpu] SECONDS [TARGET...]: a long fuzzing run. Each target (default: every one
# built in build/host/fuzz) runs for SECONDS from its committed corpus (with --cpu, until it has
# used SECONDS of processor time, so that a run on a busy machine still does its share); of what it finds, the inputs that
# add coverage join tests/fuzz/corpus/<target>/ (libFuzzer's merge; the committed ones stay), and a line per target reports its executions per second, coverage and whether it found
# a crash, a leak or a time-out (the reproducer is kept in build/fuzz-long/<target>/artifacts/).
# Exits 1 when any target failed. Needs `scripts/build.sh host`.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cpu=0
[ "${1:-}" = --cpu ] && { cpu=1; shift; }
seconds=${1:?usage: fuzz-all.sh [--cpu] SECONDS [TARGET...]}
shift
bin=$root/build/host/fuzz
work=$root/build/fuzz-long
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$bin"/*_fuzz; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz-all: no fuzz targets in $bin (scripts/build.sh host)" >&2; exit 2; }

# cpu_seconds PID: processor seconds the process has used so far.
cpu_seconds() {
  awk -v tick="$(getconf CLK_TCK)" '{ sub(/.*\) /, ""); print int(($12 + $13) / tick) }' "/proc/$1/stat" 2>/dev/null
}

# fuzz_for_cpu TARGET CORPUS WORK LOG: runs the target until it has used $seconds of processor
# time, then interrupts it; libFuzzer prints its final statistics on an interrupt (exit code 72).
fuzz_for_cpu() {
  "$root/scripts/run-fuzzer.sh" "$1" "$2" "$3" $((seconds * 100)) > "$4" 2>&1 &
  local pid=$! used
  while kill -0 "$pid" 2>/dev/null; do
    used=$(cpu_seconds "$pid")
    if [ "${used:-0}" -ge "$seconds" ]; then kill -INT "$pid"; break; fi
    sleep 5
  done
  local rc=0
  wait "$pid" || rc=$?
  echo "cpu_seconds: ${used:-?}" >> "$4"
  [ "$rc" -eq 0 ] || [ "$rc" -eq 72 ]
}

failed=0
mkdir -p "$work"
printf '%-22s %14s %10s %8s %8s  %s\n' target execs/s coverage before after result
for target in "${targets[@]}"; do
  corpus=$root/tests/fuzz/corpus/$target
  mkdir -p "$corpus"
  log=$work/$target.run.log
  status=ok
  if [ $cpu = 1 ]; then
    fuzz_for_cpu "$bin/$target" "$corpus" "$work/$target" "$log"
  else
    "$root/scripts/run-fuzzer.sh" "$bin/$target" "$corpus" "$work/$target" "$seconds" > "$log" 2>&1
  fi
  if [ $? -ne 0 ] || [ -n "$(ls "$work/$target/artifacts" 2>/dev/null)" ]; then
    status="FAILED: $(ls "$work/$target/artifacts" 2>/dev/null | head -1)"
    failed=1
  fi
  execs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  if [ $cpu = 1 ]; then
    # On a shared machine wall-clock speed says little: executions per processor second.
    units=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
    used=$(grep -o 'cpu_seconds: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
    [ -n "$units" ] && [ "${used:-0}" -gt 0 ] && execs="$((units / used))/cpu-s"
  fi
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  before=$(ls "$corpus" | wc -l)
  # The committed inputs stay (hand-made seeds and regression reproducers among them); of the
  # run's finds only those that add coverage to them join.
  "$bin/$target" -merge=1 -timeout=10 -rss_limit_mb=2048 -max_len=65536 "$corpus" "$work/$target/corpus" \
    > "$work/$target.merge.log" 2>&1
  after=$(ls "$corpus" | wc -l)
  printf '%-22s %14s %10s %8s %8s  %s\n' "$target" "${execs:-?}" "${coverage:-?}" "$before" "$after" "$status"
done
exit $failed
