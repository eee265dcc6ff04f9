#!/usr/bin/env bash
# fuzz-all.sh SECONDS [TARGET...]: a long fuzzing run. Each target (default: every one built in
# build/host/fuzz) runs for SECONDS from its committed corpus; of what it finds, the inputs that
# add coverage join tests/fuzz/corpus/<target>/ (libFuzzer's merge; the committed ones stay), and a line per target reports its executions per second, coverage and whether it found
# a crash, a leak or a time-out (the reproducer is kept in build/fuzz-long/<target>/artifacts/).
# Exits 1 when any target failed. Needs `scripts/build.sh host`.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: fuzz-all.sh SECONDS [TARGET...]}
shift
bin=$root/build/host/fuzz
work=$root/build/fuzz-long
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$bin"/*_fuzz; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz-all: no fuzz targets in $bin (scripts/build.sh host)" >&2; exit 2; }

failed=0
mkdir -p "$work"
printf '%-22s %10s %10s %8s %8s  %s\n' target execs/s coverage before after result
for target in "${targets[@]}"; do
  corpus=$root/tests/fuzz/corpus/$target
  mkdir -p "$corpus"
  log=$work/$target.run.log
  status=ok
  if ! "$root/scripts/run-fuzzer.sh" "$bin/$target" "$corpus" "$work/$target" "$seconds" > "$log" 2>&1; then
    status="FAILED: $(ls "$work/$target/artifacts" 2>/dev/null | head -1)"
    failed=1
  fi
  execs=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  before=$(ls "$corpus" | wc -l)
  # The committed inputs stay (hand-made seeds and regression reproducers among them); of the
  # run's finds only those that add coverage to them join.
  "$bin/$target" -merge=1 -timeout=10 -rss_limit_mb=2048 -max_len=65536 "$corpus" "$work/$target/corpus" \
    > "$work/$target.merge.log" 2>&1
  after=$(ls "$corpus" | wc -l)
  printf '%-22s %10s %10s %8s %8s  %s\n' "$target" "${execs:-?}" "${coverage:-?}" "$before" "$after" "$status"
done
exit $failed
