#!/usr/bin/env bash
# The test command: installs what is missing, builds every target and runs every test: the
# Win32 and end-to-end tests under Wine against the Windows build this machine can run (the
# 32-bit one where 32-bit programs and 32-bit Wine start, the 64-bit one otherwise, or when
# CALQUIN_WINE_BITS=64 asks for it), and the native tests. Fails when any test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
start=$SECONDS
"$root/scripts/build.sh"
echo "Stage 'builds' took $((SECONDS - start)) s"
# shellcheck disable=SC1091
source "$root/build/windows-build.env"
echo "Wine tests: the $windows_bits-bit Windows build (${windows_build#"$root"/}): $windows_reason"

stage() { # stage <name> <build> <ctest arguments...>: runs one CTest stage and times it
    local name=$1 build=$2 start=$SECONDS result=0
    shift 2
    (cd "$build" && ctest --output-on-failure --timeout 300 "$@") || result=1
    # A skipped test says why in its output, which CTest keeps only in its log.
    grep -h '^skipped: ' "$build"/Testing/Temporary/LastTest*.log 2>/dev/null || true
    echo "Stage '$name' took $((SECONDS - start)) s"
    return $result
}

status=0
stage "Win32 tests ($windows_bits-bit, under Wine)" "$windows_build" || status=1
# The Windows build that is not run under Wine still has its checks without Wine.
for other in "$root"/build/win32 "$root"/build/win64; do
    [ "$other" = "$windows_build" ] && continue
    stage "checks of ${other#"$root"/} without Wine" "$other" -L no_wine || status=1
done
stage "native tests" "$root/build/native" -j 2 -LE wine || status=1
stage "end-to-end tests ($windows_bits-bit, under Wine)" "$root/build/native" -L wine || status=1
exit $status
