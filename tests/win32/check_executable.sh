#!/usr/bin/env bash
# The shipped calquin.exe is a 32-bit GUI program that needs no DLL beyond Windows' own.
set -euo pipefail
exe=$1
objdump=${2:-i686-w64-mingw32-objdump}

headers=$("$objdump" -p "$exe")
grep -q '^Magic[[:space:]]*010b' <<<"$headers" || { echo "not PE32 (32-bit)"; exit 1; }
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || { echo "not a GUI program"; exit 1; }
grep -q 'i386' <<<"$("$objdump" -f "$exe")" || { echo "not for i386"; exit 1; }

system='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|shell32|user32)\.dll$'
status=0
while read -r dll; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    if [[ $lower =~ $system ]]; then
        echo "imports $dll"
    else
        echo "imports $dll, which is not a Windows system DLL"
        status=1
    fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
exit $status
