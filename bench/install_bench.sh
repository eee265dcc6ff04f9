#!/usr/bin/env bash
# install_bench.sh [WORK_DIR]: our install against NSIS and a plain copy, in one run.
#
# Generates one payload (bench/install_bench_gen.py: 2,000 files, 200 MiB, a third random, a third
# highly compressible, a third half-compressible, in 40 folders; seeded), makes it a suite of one
# compose, packages it with `norvpack build` and an NSIS installer of the same files with Debian's
# makensis (Target amd64-unicode, SetCompressor zlib, File /r), and times under one Wine prefix:
#   (a) norvinstall install of the setup file          (c) cp -r of the tree on the host (the limit)
#   (b) the NSIS installer, silent (/S)                (d) a second norvinstall install (no change)
#   (e) an update to a second suite version in which 10 % of the files changed
# It prints the times and the ratios (ours/NSIS throughput, ours/copy, no-op/full, update/full)
# and norvpack build against makensis on the same tree. Not part of the test run.
#
# Environment: NORVPACK (a native norvpack, default build/bench/norvpack, else build/host/...),
# WINDOWS_BUILD (default build/windows: norvinstall.exe and the stub), BENCH_FILES, BENCH_MIB,
# BENCH_SEED, KEEP=1 keeps WORK_DIR. Without norvinstall.exe the run stops after the NSIS and copy
# figures. The Wine prefix is WORK_DIR/wineprefix, made for this run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d /tmp/install_bench.XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
win_build=${WINDOWS_BUILD:-$root/build/windows}
norvinstall=$win_build/tools/norvinstall/norvinstall.exe
stub=$win_build/tools/norvpack/norvpack.exe
norvpack=${NORVPACK:-}
if [ -z "$norvpack" ]; then
  for c in "$root/build/bench/norvpack" "$root/build/bench/tools/norvpack/norvpack" \
           "$root/build/host/tools/norvpack/norvpack"; do
    [ -x "$c" ] && { norvpack=$c; break; }
  done
fi
[ -n "$norvpack" ] || { echo "install_bench: no native norvpack; run scripts/build.sh bench" >&2; exit 2; }
[ -f "$stub" ] || { echo "install_bench: no stub $stub; run scripts/build.sh windows" >&2; exit 2; }
command -v makensis >/dev/null || { echo "install_bench: makensis missing (scripts/install-deps.sh)" >&2; exit 2; }
files=${BENCH_FILES:-2000}
mib=${BENCH_MIB:-200}
seed=${BENCH_SEED:-20261206}

export WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  [ "${KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
# seconds NAME COMMAND...: runs the command and stores its wall time in t_NAME.
seconds() {
  local name=$1; shift
  local start end rc=0
  start=$(now)
  "$@" || rc=$?
  end=$(now)
  printf -v "t_$name" '%s' "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')"
  echo "  $name: $(eval echo \$t_$name) s"
  return $rc
}
# quiet COMMAND...: runs the command with its output kept aside, shown only when it fails.
quiet() { "$@" >"$work/quiet.log" 2>&1 || { cat "$work/quiet.log" >&2; return 1; }; }
# ratio A B: A / B with three decimals (A may be an expression such as "x/y").
ratio() { awk "BEGIN { printf \"%.3f\", ($1) / ($2) }"; }

echo "== generating the payload ($files files, $mib MiB) in $work"
python3 "$root/bench/install_bench_gen.py" "$work/suite1" --version 1 --files "$files" --mib "$mib" --seed "$seed"
python3 "$root/bench/install_bench_gen.py" "$work/suite2" --version 2 --files "$files" --mib "$mib" --seed "$seed"
tree=$work/suite1/files/Payload
bytes=$(du -sb "$tree" | cut -f1)

echo "== packaging"
seconds norvpack quiet "$norvpack" build "$work/suite1" -o "$work/Setup1.exe" --stub "$stub"
quiet "$norvpack" build "$work/suite2" -o "$work/Setup2.exe" --stub "$stub"
cat > "$work/bench.nsi" <<NSI
Target amd64-unicode
SetCompressor zlib
Name "BenchSuite"
OutFile "$work/NsisSetup.exe"
InstallDir "C:\\nsis_target"
RequestExecutionLevel admin
SilentInstall silent
Section
  SetOutPath "\$INSTDIR\\Payload"
  File /r "$tree/*"
SectionEnd
NSI
seconds makensis makensis -V1 "$work/bench.nsi"
ls -l "$work/Setup1.exe" "$work/NsisSetup.exe" | awk '{print "  " $5 " bytes  " $9}'

echo "== Wine prefix"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
wineserver -p  # keep the server up, so that no run pays its start
drive_c=$WINEPREFIX/drive_c
quiet wine "$stub" --version  # the first start after the prefix's creation is slower
seconds wine_start quiet wine "$stub" --version

sync
echo "== (b) NSIS install"
seconds nsis wine "$work/NsisSetup.exe" /S '/D=C:\nsis_target'
nsis_count=$(find "$drive_c/nsis_target" -type f | wc -l)
[ "$nsis_count" -eq "$files" ] || { echo "install_bench: NSIS installed $nsis_count files, not $files" >&2; exit 1; }

sync
echo "== (c) plain copy on the host"
seconds copy cp -r "$tree" "$work/copy_target"

report_nsis_copy() {
  echo
  echo "== results ($files files, $(ratio "$bytes" 1048576) MiB)"
  printf '  %-28s %9s s  %8s MiB/s\n' "NSIS install (b)" "$t_nsis" "$(ratio "$bytes/1048576" "$t_nsis")"
  printf '  %-28s %9s s  %8s MiB/s\n' "plain copy (c)" "$t_copy" "$(ratio "$bytes/1048576" "$t_copy")"
  printf '  %-28s %9s s\n' "a Windows program's start" "$t_wine_start"
  echo "  NSIS/copy throughput: $(ratio "$t_copy" "$t_nsis")"
  echo "  norvpack build: $t_norvpack s, makensis: $t_makensis s, norvpack/makensis time: $(ratio "$t_norvpack" "$t_makensis")"
}

if [ ! -f "$norvinstall" ]; then
  report_nsis_copy
  echo "install_bench: $norvinstall not built: our install is not measured" >&2
  exit 0
fi

target='C:\norv_target'
log=$drive_c/windows/NorvLog/norvinstall.exe.log
sync
echo "== (a) norvinstall install"
seconds ours wine "$norvinstall" install "$work/Setup1.exe" --folder "$target" --quiet --timing 2>"$work/full.timing" \
  || { cat "$work/full.timing" >&2; exit 1; }
ours_count=$(find "$drive_c/norv_target/Payload" -type f | wc -l)
[ "$ours_count" -eq "$files" ] || { echo "install_bench: norvinstall installed $ours_count files, not $files" >&2; exit 1; }
diff -r "$tree" "$drive_c/norv_target/Payload" >/dev/null || { echo "install_bench: installed tree differs" >&2; exit 1; }
[ -f "$log" ] && cp "$log" "$work/full.log"

sync
echo "== (d) second install, nothing changed"
seconds noop wine "$norvinstall" install "$work/Setup1.exe" --folder "$target" --quiet --timing 2>"$work/noop.timing" \
  || { cat "$work/noop.timing" >&2; exit 1; }

sync
echo "== (e) update, 10 % of the files changed"
seconds update wine "$norvinstall" install "$work/Setup2.exe" --folder "$target" --quiet
diff -r "$work/suite2/files/Payload" "$drive_c/norv_target/Payload" >/dev/null \
  || { echo "install_bench: updated tree differs from version 2" >&2; exit 1; }

report_nsis_copy
printf '  %-28s %9s s  %8s MiB/s\n' "norvinstall install (a)" "$t_ours" "$(ratio "$bytes/1048576" "$t_ours")"
printf '  %-28s %9s s\n' "second install, no change (d)" "$t_noop"
printf '  %-28s %9s s\n' "update, 10 % changed (e)" "$t_update"
echo "  ours/NSIS throughput: $(ratio "$t_nsis" "$t_ours")   (goal >= 1.5)"
echo "  ours/copy throughput: $(ratio "$t_copy" "$t_ours")   (goal >= 0.2)"
echo "  no-op/full time:      $(ratio "$t_noop" "$t_ours")   (goal < 0.05)"
echo "  update/full time:     $(ratio "$t_update" "$t_ours")"
echo "  without a program's start (what a wizard that is already running spends):"
echo "    no-op/full:         $(ratio "$t_noop - $t_wine_start" "$t_ours - $t_wine_start")"
echo "    update/full:        $(ratio "$t_update - $t_wine_start" "$t_ours - $t_wine_start")"
echo "  phases of the full install (norvinstall --timing):"
sed 's/^timing /    /' "$work/full.timing"
echo "  phases of the second install:"
sed 's/^timing /    /' "$work/noop.timing"
