#!/usr/bin/env bash
# Which Windows build this machine can run under Wine, found out by running things rather than
# assumed: the 32-bit build where a 32-bit program and then 32-bit Wine (with the serial-port
# guard loaded) actually start, the 64-bit build under 64-bit Wine otherwise.
#
#   scripts/pick_windows_build.sh <native build>   prints shell assignments:
#       windows_bits=32|64  windows_build=<build/win32 or build/win64>  windows_reason=<why>
#
# CALQUIN_WINE_BITS=64 forces the 64-bit build, so that a machine that runs both can test it.
# Needs the native build's preload/ folder built (the guard and the 32-bit program that does
# nothing); scripts/build.sh builds those first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$1
guard="$native/preload/\$LIB/libcalquin_guard.so"

pick() { # pick <bits> <reason>
    printf 'windows_bits=%s\nwindows_build=%q\nwindows_reason=%q\n' \
        "$1" "$root/build/win$1" "$2"
    exit 0
}

case ${CALQUIN_WINE_BITS:-} in
'') ;;
64) pick 64 "CALQUIN_WINE_BITS=64 asks for it" ;;
*) echo "CALQUIN_WINE_BITS may be 64 or unset, not '$CALQUIN_WINE_BITS'" >&2 && exit 2 ;;
esac

[ -x "$native/preload/does_nothing32" ] ||
    { echo "$native/preload/does_nothing32 is missing: build the native tree first" >&2 && exit 2; }
if ! reason=$("$native/preload/does_nothing32" 2>&1); then
    pick 64 "this machine cannot run 32-bit programs (${reason##*: })"
fi
[ -x /usr/lib/wine/wine ] || pick 64 "32-bit Wine (wine32:i386) is not installed"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! CALQUIN_GUARD_LOG=$log LD_PRELOAD=$guard /usr/lib/wine/wine --version >/dev/null 2>&1; then
    pick 64 "32-bit Wine does not start here"
fi
grep -q '^loaded .* path=/usr/lib/wine/wine$' "$log" ||
    pick 64 "the serial-port guard does not load into 32-bit Wine"
pick 32 "this machine runs 32-bit programs and 32-bit Wine"
