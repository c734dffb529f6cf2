#!/usr/bin/env bash
# The Windows release: builds both Windows programs and makes
# dist/calquin-<version>-windows.zip holding
#   calquin.exe      the 32-bit program (any Windows, Wine with 32-bit support)
#   calquin64.exe    the same program for 64-bit systems (64-bit Windows, 64-bit-only Wine)
#   README.txt, FIRST-STEPS.txt, LICENSE.txt and samples/
#
#   scripts/package.sh [--out <folder>]    (default: dist/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/dist
if [ "${1:-}" = --out ]; then
    out=$(realpath -m "$2")
fi

# The one version of the project is that of its CMake project.
version=$(sed -n 's/^project(Calquin VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

"$root/scripts/build.sh" windows

name=calquin-$version
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
folder=$staging/$name
mkdir -p "$folder/samples"
cp "$root/build/win32/app/calquin.exe" "$folder/calquin.exe"
cp "$root/build/win64/app/calquin.exe" "$folder/calquin64.exe"
cp "$root/samples/"*.85? "$folder/samples/"
# Text files for Windows users: CR LF line ends.
crlf() { sed 's/$/\r/' "$1" >"$2"; }
crlf "$root/README.md" "$folder/README.txt"
crlf "$root/docs/first-steps.txt" "$folder/FIRST-STEPS.txt"
crlf "$root/LICENSE" "$folder/LICENSE.txt"

mkdir -p "$out"
zip=$out/$name-windows.zip
rm -f "$zip"
(cd "$staging" && TZ=UTC zip -q -X -r "$zip" "$name")
echo "$zip"
