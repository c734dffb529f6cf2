#!/usr/bin/env bash
# Builds every target:
#   build/win32    the 32-bit Windows program and its Win32 tests (i686 MinGW-w64)
#   build/win64    the same program for 64-bit Windows and 64-bit-only Wine (x86_64 MinGW-w64)
#   build/native   the core, the simulated TI-85, the serial-port guard, the tests and the
#                  benchmarks (g++ with sanitizers)
# and picks the Windows build whose programs the Wine tests and the run command use on this
# machine (scripts/pick_windows_build.sh): written to build/windows-build.env.
#
#   scripts/build.sh            everything
#   scripts/build.sh windows    the two Windows builds only (what the release package needs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${CALQUIN_BUILD_JOBS:-$(nproc)}
choice=$root/build/windows-build.env

for bits in 32 64; do
    case $bits in 32) arch=i686 ;; 64) arch=x86_64 ;; esac
    cmake -S "$root" -B "$root/build/win$bits" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
          -DCALQUIN_NATIVE_BUILD="$root/build/native" >/dev/null
    cmake --build "$root/build/win$bits" -j "$jobs"
done
[ "${1:-}" = windows ] && exit 0

configure_native() { # configure_native <Windows build the end-to-end tests run>
    cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCALQUIN_SANITIZE=ON -DCALQUIN_WIN32_BUILD="$1" >/dev/null
}

# The pick runs the guard and a 32-bit program of the native build: those come first.
windows_build=$root/build/win32
# shellcheck disable=SC1090
[ -f "$choice" ] && source "$choice"
configure_native "$windows_build"
cmake --build "$root/build/native" -j "$jobs" --target calquin_guard64 calquin_guard32 \
      does_nothing32
"$root/scripts/pick_windows_build.sh" "$root/build/native" >"$choice.new"
mv "$choice.new" "$choice"
# shellcheck disable=SC1090
source "$choice"
configure_native "$windows_build"
cmake --build "$root/build/native" -j "$jobs"
