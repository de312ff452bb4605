#!/usr/bin/env bash
# Checks what administrators ship: cellkeeper-patch.exe is stripped, at most 512 KiB, imports
# only DLLs that every Windows has, and carries its version resource and manifest.
set -u
exe=${1:?usage: check-exe.sh <cellkeeper-patch.exe>}
status=0
size=$(stat -c %s "$exe")
echo "size: $size bytes"
[ "$size" -le 524288 ] || { echo "too large: $size > 524288"; status=1; }
objdump=x86_64-w64-mingw32-objdump
mapfile -t imports < <($objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
echo "imports:" "${imports[@]}"
for dll in "${imports[@]}"; do
    case $dll in
        kernel32.dll|advapi32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|user32.dll|shell32.dll) ;;
        *) echo "ships with a runtime DLL: $dll"; status=1 ;;
    esac
done
$objdump -h "$exe" | grep -q '\.rsrc' || { echo "no resource section"; status=1; }
utf16() { printf '%s' "$1" | sed 's/./&\\x00/g'; }
for text in "ProductName" "OriginalFilename"; do
    LC_ALL=C grep -qaP "$(utf16 "$text")" "$exe" || { echo "no version resource: $text"; status=1; }
done
grep -qa 'requestedExecutionLevel level="asInvoker"' "$exe" || { echo "no manifest"; status=1; }
if $objdump -h "$exe" | grep -qE '\.debug_'; then echo "not stripped"; status=1; fi
exit $status
