#!/usr/bin/env bash
# The Debian package of the Linux program, made with cpack as a user would make it, then
# looked into and unpacked into a scratch root, where its program must run.
#
#   check_debian_package.sh <native build> <built program> <version> <scratch folder>
set -euo pipefail
build=$1 program=$2 version=$3 scratch=$4
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The program as built: no sanitizer runtime, none of the simulator or the test seams.
if readelf -d "$program" | grep -E 'NEEDED.*(asan|ubsan|stdc\+\+|gcc_s)'; then
    fail "the program needs a library it must not"
fi
symbols=$(nm -C "$program")
grep -q ' SendLinkByte' <<<"$symbols" || fail "no symbols to look at in $program"
if grep -E 'VirtualCable|SimulatedTi85|RecordedUi|AttachVirtualPort' <<<"$symbols"; then
    fail "the program holds simulator or test code"
fi

rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$build" && cpack -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1) ||
    fail "cpack: $(tail -5 "$scratch/cpack.log")"
grep -i -A3 'warning' "$scratch/cpack.log" && fail "cpack warned"
deb=$scratch/calquin_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb: $(ls "$scratch")"

info=$(dpkg-deb --info "$deb")
for field in "Package: calquin" "Version: $version" "Architecture: amd64" "Depends: libc6"; do
    grep -q "^ $field" <<<"$info" || fail "the control file lacks '$field': $info"
done
# The description as dpkg and apt show it: the summary, then the text line by line.
description=$(dpkg-deb --field "$deb" Description)
[ "$(head -2 <<<"$description")" = 'send TI-85 variable files and backups over the $4 serial link
 Calquin sends TI-85 variable files (*.85?) and whole calculator backups' ] ||
    fail "the description reads wrong: $description"
grep -qF ' from a PC to a TI-85 over the home-made "$4 serial link", whose two wires' \
    <<<"$description" || fail "the description reads wrong: $description"
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
expected="./usr/bin/calquin ./usr/share/man/man1/calquin.1 ./usr/share/doc/calquin/README.md"
for path in $expected; do
    grep -qx "$path" <<<"$contents" || fail "the package lacks $path: $contents"
done
if grep -v '/$' <<<"$contents" | grep -vxF -f <(tr ' ' '\n' <<<"$expected"); then
    fail "the package holds more than the program, its man page and the README"
fi

root=$scratch/root
dpkg-deb --extract "$deb" "$root"
[ "$("$root/usr/bin/calquin" --version)" = "calquin $version" ] || fail "the installed --version"
page=$root/usr/share/man/man1/calquin.1
if command -v man >/dev/null; then
    man -l "$page" 2>/dev/null | grep -q "EXIT STATUS" || fail "the man page does not read"
else
    grep -q '^\.SH EXIT STATUS' "$page" || fail "the man page lacks its exit statuses"
fi
cmp -s "$root/usr/share/doc/calquin/README.md" "$(dirname "$0")/../../README.md" ||
    fail "the README is not the project's"
echo "calquin_${version}_amd64.deb: $(stat -c %s "$deb") bytes, $(wc -l <<<"$contents") entries"
