#!/usr/bin/env bash
# Remakes the pictures in docs/: the three windows of calquin.exe under Wine (a private
# session with its own Xvfb, the simulated TI-85 on COM2) and a preview of the icon.
#
#   docs/make_screenshots.sh [<Windows build> [<native build>]]
#       (default: the Windows build picked for this machine by scripts/build.sh, build/native)
#
# Needs both builds (scripts/build.sh), xdotool and ImageMagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck disable=SC1091
source "$root/build/windows-build.env"
win32=$(realpath "${1:-$windows_build}")
bits=$(sed -n 's/^CALQUIN_WINDOWS_BITS:INTERNAL=//p' "$win32/CMakeCache.txt")
native=$(realpath "${2:-$root/build/native}")
docs=$root/docs
session=$root/tests/wine/session.sh
state=$win32/wine/screenshots
work=$(mktemp -d)
simulator_pid=

finish() {
    [ -n "$simulator_pid" ] && kill "$simulator_pid" 2>/dev/null || true
    "$session" stop "$state" || true
    rm -rf "$work"
}
trap finish EXIT

"$session" start "$state" --preload "$native/preload" --bits "$bits" >/dev/null
# shellcheck disable=SC1090
source <("$session" env "$state")

window() { # window <caption regex>: the X window, waited for
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && echo "$id" &&
            return 0
        sleep 0.1
    done
    echo "no window '$1'" >&2
    return 1
}

shoot() { # shoot <window> <file>: the window with its caption drawn as active
    xdotool windowfocus "$1"
    sleep 0.5
    import -window "$1" "$docs/$2"
}

"$session" run "$state" reg delete 'HKCU\Software\Morvane' /f >/dev/null 2>&1 || true
"$native/tools/ti85sim" --cable "$work/cable" --out "$work/received" --slow 3000 --limit 120 \
    --quiet &
simulator_pid=$!
sleep 0.5
CALQUIN_CABLE=$work/cable CALQUIN_CABLE_DEVICE=$state/ports/com2 \
    "$session" run "$state" --timeout 120 "$win32/app/calquin.exe" >"$work/calquin.log" 2>&1 &

welcome=$(window '^Welcome to Calquin!$')
shoot "$welcome" welcome.png
xdotool key Return # OK: COM2

main=$(window '^Calquin$')
shoot "$main" main-window.png

xdotool key Tab Tab space # Setup...
setup=$(window '^Calquin Setup$')
shoot "$setup" setup.png
xdotool key Escape

xdotool windowfocus "$main"
xdotool key shift+Tab shift+Tab space # Send...
picker=$(window '^Select TI-85 file')
xdotool windowfocus "$picker"
xdotool type --delay 10 "Z:${root//\//\\}\\samples\\sampler.85g"
xdotool key Return
sleep 4 # well into the transfer of the second variable
shoot "$main" main-window-sending.png
wait "$simulator_pid" || true # it ends after the end of transmission
simulator_pid=
xdotool windowfocus "$main"
xdotool key Escape # Close

# The icon's five images side by side, four times their size.
convert "$root/app/resources/calquin.ico" -background none -gravity south -extent 48x48 \
    -scale 400% +append "$docs/icon.png"
echo "pictures written to $docs"
