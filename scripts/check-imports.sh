#!/usr/bin/env bash
# check-imports.sh PROGRAM... [--delay-loaded PROGRAM...]: fails when a program imports a DLL that
# is not one of the system's
# known DLLs (which the loader takes from the system folder only; comctl32 comes from the side-by-
# side store the manifest names). Each program must be one self-contained file: under Wine a
# missing DLL can go unnoticed, because Wine brings some (zlib1.dll, for one) that Windows lacks.
# And any other DLL would be looked for beside the program first, where a planted copy can wait.
# Programs after --delay-loaded may import only kernel32 and msvcrt when they start: they load the
# rest after restricting the DLL search to the system folder.
set -euo pipefail
allowed=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll "
allowed+="ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll "
startup_only=" kernel32.dll msvcrt.dll "
status=0
count=0
for program in "$@"; do
  if [ "$program" = --delay-loaded ]; then allowed=$startup_only; continue; fi
  count=$((count + 1))
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    case "$allowed" in
      *" $lower "*) ;;
      *) echo "$program imports $dll at start-up, which it may not"; status=1 ;;
    esac
  done < <(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}')
done
[ $status -eq 0 ] && echo "imports: $count programs import only what they may at start-up"
exit $status
