#!/bin/sh
# make_delay_lib.sh NM DLLTOOL IMPORT_LIB DLL OUT_LIB: writes a delay-load import library for DLL
# with every function the toolchain's import library IMPORT_LIB offers. A program linked with it
# loads DLL at its first call into it, through the DLL search the program has set by then.
set -eu
nm=$1 dlltool=$2 import_lib=$3 dll=$4 out=$5
def=$out.def
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  # A function has both its thunk (T) and its import slot (I __imp_); data has only the slot.
  "$nm" "$import_lib" | awk '$2 == "T" { thunk[$3] = 1 }
                            $2 == "I" && $3 ~ /^__imp_/ { slot[substr($3, 7)] = 1 }
                            END { for (name in slot) if (name in thunk) print name }' | sort
} > "$def"
"$dlltool" -m i386:x86-64 --input-def "$def" --dllname "$dll" --output-delaylib "$out"
