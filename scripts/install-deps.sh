#!/usr/bin/env bash
# Installs what building and testing Calquin needs on Debian 12 (run as root): both Windows
# targets (i686 and x86_64 MinGW-w64), 64-bit Wine, and 32-bit Wine where it can be had.
set -euo pipefail

# fonts-wine (Wine's own Tahoma, MS Sans Serif and Marlett) is only recommended by Wine, but
# without it the windows are drawn with stand-in fonts: labels run into their values and the
# title bar's buttons show as letters. libxrender1, through which Wine draws smooth text, is
# only recommended too (x11-utils happens to bring it).
packages=(cmake ninja-build g++ libgtest-dev clang file python3 zip unzip
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 gcc-multilib g++-multilib
          wine wine64 fonts-wine libxrender1 xvfb xdotool x11-utils libx11-dev imagemagick)
# 32-bit Wine serves the 32-bit program on machines that run 32-bit programs. On a kernel
# that cannot, it installs but cannot start (its set-up scripts may fail too): then the tests
# and the run command use the 64-bit program under 64-bit Wine, so its failure is no error.
optional=(wine32:i386)

installed() { [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }

missing=() missing_optional=()
for package in "${packages[@]}"; do installed "$package" || missing+=("$package"); done
for package in "${optional[@]}"; do installed "$package" || missing_optional+=("$package"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

# apt-get's own progress is shown: on a fresh machine this takes minutes.
echo "Installing: ${missing[*]} ${missing_optional[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_optional[@]} -gt 0 ] &&
    ! apt-get install -y -q --no-install-recommends "${missing_optional[@]}"; then
    echo "Note: ${missing_optional[*]} could not be installed fully; the 64-bit build is used" \
        "under 64-bit Wine where 32-bit Wine cannot start."
    dpkg --configure -a || true
fi
echo "Installed."
