#!/usr/bin/env bash
# wine-fonts.sh [--check]: gives the Wine prefix in WINEPREFIX the font settings under which Chinese text
# shows real characters (from Debian's fonts-wqy-microhei) instead of boxes. Called by
# wine-run.sh while it prepares the prefix; safe to run again (a stamp in the prefix records the
# settings' version, and the registry values are simply set again when it changes).
#
# - Replacements (HKCU\Software\Wine\Fonts\Replacements): faces that Wine does not have at all
#   ("宋体", "SimSun", "Microsoft YaHei", ...) become WenQuanYi Micro Hei. The skin engine creates
#   its fonts with character set 0, so without this a "宋体" font falls back to a Latin face.
# - FontLink (HKLM\...\FontLink\SystemLink): faces that Wine does have ("Tahoma", the dialog faces
#   "MS Shell Dlg" and "MS Shell Dlg 2", ...) keep their Latin letters and take the characters they
#   lack from WenQuanYi Micro Hei: message boxes, dialogs, edit boxes, buttons.
# Fonts are read when a Wine process starts, so the script waits for the prefix's wineserver to
# end before it returns: every program started afterwards sees the settings.
set -euo pipefail
: "${WINEPREFIX:?wine-fonts: WINEPREFIX must name the prefix}"
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
version=2
stamp="$WINEPREFIX/norv-fonts.stamp"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then exit 0; fi
[ "${1:-}" != --check ] || exit 1  # --check: only tells whether the settings are current

cjk_font="WenQuanYi Micro Hei"
if ! fc-list 2>/dev/null | grep -q "$cjk_font"; then
  echo "wine-fonts: $cjk_font is not installed (Debian package fonts-wqy-microhei)" >&2
  exit 1
fi
# REG_MULTI_SZ "wqy-microhei.ttc,WenQuanYi Micro Hei" in UTF-16LE, as regedit reads it.
link=$(printf 'wqy-microhei.ttc,%s\0\0' "$cjk_font" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v |
  tr -s ' \n' ',' | sed 's/^,//; s/,$//')
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for face in 宋体 新宋体 SimSun NSimSun 黑体 SimHei 微软雅黑 "Microsoft YaHei" "Microsoft YaHei UI" 楷体 仿宋; do
    printf '"%s"="%s"\r\n' "$face" "$cjk_font"
  done
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI" Arial Verdana; do
    printf '"%s"=hex(7):%s\r\n' "$face" "$link"
  done
} | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
wine regedit /S "Z:${reg//\//\\}"
wineserver -w
echo "$version" >"$stamp"
