#!/usr/bin/env bash
# Builds both targets: build/win32 (calquin.exe and its Win32 tests, MinGW-w64) and
# build/native (the core, the simulated TI-85, the tests and the benchmarks, g++ with sanitizers).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${CALQUIN_BUILD_JOBS:-$(nproc)}

cmake -S "$root" -B "$root/build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCALQUIN_NATIVE_BUILD="$root/build/native" >/dev/null
cmake --build "$root/build/win32" -j "$jobs"

cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCALQUIN_SANITIZE=ON -DCALQUIN_WIN32_BUILD="$root/build/win32" >/dev/null
cmake --build "$root/build/native" -j "$jobs"
