#!/usr/bin/env bash
# Installs what building and testing Calquin needs on Debian 12 (run as root).
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev clang file python3
          g++-mingw-w64-i686 gcc-multilib g++-multilib
          wine wine32:i386 xvfb xdotool x11-utils imagemagick)

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
