#!/bin/bash
# kelvado.exe stands alone: at most 1 MB, and every DLL it imports is part of Windows itself,
# so that copying the one file is the whole installation.
#   exe_check.sh KELVADO_EXE OBJDUMP
set -euo pipefail
exe=$1 objdump=$2
bytes=$(stat -c %s "$exe")
echo "kelvado.exe: $bytes bytes"
((bytes <= 1000000)) || { echo "FAIL: kelvado.exe is $bytes bytes, over 1 MB" >&2; exit 1; }
dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -uf)
echo "imports:" $dlls
[[ -n $dlls ]] || { echo "FAIL: no imports could be read" >&2; exit 1; }
system='kernel32|user32|gdi32|comctl32|advapi32|shell32|ole32|oleaut32|msvcrt|imm32|uxtheme'
foreign=$(grep -viE "^($system|api-ms-win-[a-z0-9-]+)\.dll\$" <<<"$dlls" || true)
[[ -z $foreign ]] || { echo "FAIL: imports beyond Windows itself:" $foreign >&2; exit 1; }
# The icon, the version information (the product, its author and the copyright) and the manifest
# are inside.
"$objdump" -h "$exe" | grep -q '\.rsrc' || { echo "FAIL: no resources" >&2; exit 1; }
grep -qa 'Microsoft.Windows.Common-Controls' "$exe" || { echo "FAIL: no manifest" >&2; exit 1; }
contents=$(od -An -tx1 -v "$exe" | tr -d ' \n')
for text in ケルバド こもれび小工房 'Copyright (C) こもれび小工房'; do
  utf16=$(printf '%s' "$text" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 | tr -d ' \n')
  grep -q "$utf16" <<<"$contents" || { echo "FAIL: no \"$text\" in the version information" >&2; exit 1; }
done
echo "ok"
