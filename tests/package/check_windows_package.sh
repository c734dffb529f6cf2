#!/usr/bin/env bash
# check_windows_package.sh <work folder>: makes the Windows release with scripts/package.sh,
# unpacks it and checks what a user finds in it: both programs, each for its own processor,
# importing only Windows' own DLLs and carrying the project's version; the texts; the samples.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(realpath -m "$1")
rm -rf "$work"
mkdir -p "$work"

zip=$("$root/scripts/package.sh" --out "$work/dist" | tail -1)
version=$(sed -n 's/^project(Calquin VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ "$(basename "$zip")" = "calquin-$version-windows.zip" ] || { echo "made $zip"; exit 1; }
unzip -q "$zip" -d "$work/unpacked"
folder=$work/unpacked/calquin-$version

status=0
fail() { echo "FAIL: $*"; status=1; }

for file in calquin.exe calquin64.exe README.txt FIRST-STEPS.txt LICENSE.txt \
    samples/hello.85s samples/memory.85b samples/pi.85n samples/sampler.85g; do
    [ -s "$folder/$file" ] || fail "$file is not in the package"
done
check=$root/tests/win32/check_executable.sh
"$check" "$folder/calquin.exe" 32 || fail "calquin.exe is not a 32-bit program of system imports"
"$check" "$folder/calquin64.exe" 64 || fail "calquin64.exe is not a 64-bit program of system imports"

# The version resource (UTF-16 strings) and the manifest's processor, in each program.
python3 - "$folder" "$version" <<'PY' || status=1
import sys
folder, version = sys.argv[1], sys.argv[2]
ok = True
for exe, arch in (("calquin.exe", "x86"), ("calquin64.exe", "amd64")):
    data = open(f"{folder}/{exe}", "rb").read()
    for key, value in (("ProductName", "Calquin"), ("ProductVersion", version),
                       ("FileVersion", version)):
        wanted = (key + "\0").encode("utf-16-le")
        at = data.find(wanted)
        found = None
        if at >= 0:
            rest = data[at + len(wanted):]
            if rest[:2] == b"\0\0":  # padding to a 32-bit boundary
                rest = rest[2:]
            found = rest.decode("utf-16-le", "replace").split("\0")[0]
        if found != value:
            print(f"FAIL: {exe}: {key} is {found!r}, not {value!r}")
            ok = False
    manifest = f'version="{version}.0" processorArchitecture="{arch}"'.encode()
    if manifest not in data:
        print(f"FAIL: {exe}: the manifest does not say {manifest.decode()}")
        ok = False
sys.exit(0 if ok else 1)
PY
grep -q $'\r$' "$folder/README.txt" || fail "README.txt does not have Windows line ends"
cmp -s "$root/samples/hello.85s" "$folder/samples/hello.85s" || fail "hello.85s differs"
[ $status = 0 ] && echo "the package $(basename "$zip") holds what it should"
exit $status
