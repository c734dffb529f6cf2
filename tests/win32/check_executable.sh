#!/usr/bin/env bash
# check_executable.sh <exe> <32|64> [objdump]: the program is a GUI program for that width of
# Windows (PE32 for i386, PE32+ for x86-64) that needs no DLL beyond Windows' own.
set -euo pipefail
exe=$1
bits=$2
objdump=${3:-x86_64-w64-mingw32-objdump}

case $bits in
32) magic=010b machine=i386 ;;
64) magic=020b machine=i386:x86-64 ;;
*) echo "the width is 32 or 64, not '$bits'" && exit 2 ;;
esac
headers=$("$objdump" -p "$exe")
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" || { echo "not a $bits-bit PE file"; exit 1; }
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || { echo "not a GUI program"; exit 1; }
grep -q "^architecture: $machine," <<<"$("$objdump" -f "$exe")" || { echo "not for $machine"; exit 1; }

system='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|shell32|user32|winmm)\.dll$'
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
[ -n "$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")" ] || { echo "no imports found"; exit 1; }
exit $status
