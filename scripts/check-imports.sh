#!/usr/bin/env bash
# check-imports.sh PROGRAM...: fails when a program imports a DLL that Windows itself does not
# have. Each program must be one self-contained file; under Wine a missing DLL can go unnoticed,
# because Wine brings some (zlib1.dll, for one) that Windows lacks.
set -euo pipefail
allowed=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll netapi32.dll "
allowed+="ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll iphlpapi.dll version.dll "
status=0
for program in "$@"; do
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    case "$allowed" in
      *" $lower "*) ;;
      *) echo "$program imports $dll, which Windows does not provide"; status=1 ;;
    esac
  done < <(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}')
done
[ $status -eq 0 ] && echo "imports: $# programs use only system DLLs"
exit $status
