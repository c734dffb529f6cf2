#!/usr/bin/env bash
# A Wine session for tests: a private prefix (made once per state directory and kept), a
# private Xvfb, a persistent wineserver, and COM1-COM9 mapped to pseudo-terminals the session
# holds. Every Wine process it starts carries the serial-port guard (LD_PRELOAD), which keeps
# Wine away from the machine's own /dev/ttyS* and gives the test's device its modem lines.
#
#   session.sh start <state-dir> --preload <dir> --bits 32|64 [--no-display]
#       <dir> holds lib/<multiarch>/libcalquin_guard.so (the native build's preload/ folder).
#       --bits: the Windows programs the session runs, and so the Wine loader it uses: 32-bit
#       Wine (/usr/lib/wine/wine) or 64-bit Wine (/usr/lib/wine/wine64), never the `wine`
#       wrapper, which picks the 32-bit loader whenever it is installed, usable or not.
#   session.sh run <state-dir> [--timeout <seconds>] <program> [arguments...]
#       Runs a Windows program in the session; exits with its exit code (-1 reads as 255).
#       CALQUIN_CABLE / CALQUIN_CABLE_DEVICE in the caller's environment pass through.
#   session.sh port <state-dir> <1-9> pty|missing
#       Points COMn at its pseudo-terminal again, or at a path that does not exist.
#   session.sh device <state-dir> <1-9>   prints the device path that COMn is mapped to.
#   session.sh env <state-dir>            prints the session's environment as shell exports.
#   session.sh alive <state-dir>          exits 0 while the session's wineserver runs (below).
#   session.sh stop <state-dir>           stops what start started, by PID.
#
# When the session's wineserver has gone, the first `run` or `alive` after it says so in full
# (when it ended, its exit status, its log) and fails; every later one says "skipped: ..." in
# one line and exits 77 (CTest's skip code for the session's tests).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
ports=(1 2 3 4 5 6 7 8 9)

die() {
    echo "wine session: $*" >&2
    exit 1
}

# wait_until <seconds> <command...>: polls the command until it succeeds or the time is up.
wait_until() {
    local rounds=$(($1 * 20))
    shift
    until "$@"; do
        ((rounds-- > 0)) || return 1
        sleep 0.05
    done
}

# A PID recorded by this session that still runs as one of its processes (never a recycled PID,
# nor a process of another session whose state folder has the same path, as a clone at the
# same place in another root has): its environment holds this session's start's own mark.
session_pid() {
    local file=$state/$1.pid pid mark
    [ -f "$file" ] && [ -f "$state/mark" ] || return 1
    pid=$(cat "$file") mark=$(cat "$state/mark")
    [ -n "$pid" ] && [ -r "/proc/$pid/environ" ] || return 1
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null |
        grep -qxF "CALQUIN_WINE_SESSION_MARK=$mark" || return 1
    echo "$pid"
}

# Gone, or a zombie waiting for its new parent to reap it.
not_running() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
    stat=${stat##*) }
    [ "${stat:0:1}" = Z ]
}

stop_pid() {
    local name=$1 pid
    if pid=$(session_pid "$name"); then
        kill -TERM "$pid" 2>/dev/null || true
        wait_until 5 not_running "$pid" || kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$state/$name.pid"
}

# Ends what still carries the session's mark: Wine programs left behind by a server that went
# (never this stop itself, nor its caller, which may have the session's environment).
end_marked() {
    local mark pid pids=()
    mark=$(cat "$state/mark" 2>/dev/null) || return 0
    for pid in $(grep -lzxF "CALQUIN_WINE_SESSION_MARK=$mark" /proc/[0-9]*/environ 2>/dev/null |
        cut -d/ -f3); do
        [ "$pid" = $$ ] || [ "$pid" = "$PPID" ] || not_running "$pid" && continue
        pids+=("$pid")
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait_until 5 not_running "$pid" || kill -KILL "$pid" 2>/dev/null || true
    done
}

stop_session() {
    local pid
    if pid=$(session_pid wineserver); then
        # Ends every Wine process of this prefix (they are all ours), then the server.
        guard=$(cat "$state/guard")
        WINEPREFIX=$state/prefix guarded timeout 20 "$wineserver" -k 2>/dev/null || true
    fi
    stop_pid wineserver # a persistent server outlives -k; on TERM it saves the registry
    stop_pid wineserver-watch
    stop_pid xvfb
    stop_pid ports
    end_marked
    rm -rf "$state/env" "$state/wineserver.ended" "$state/wineserver-gone"
}

# The server serves programs of either width; the wrapper picks the machine's own.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

# set_loader 32|64: the Wine loader for Windows programs of that width, in $WINELOADER, which
# Wine also uses to start its own helper programs.
set_loader() {
    case $1 in
    32) export WINELOADER=/usr/lib/wine/wine WINEARCH=win32 ;;
    64) export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64 ;;
    *) die "--bits takes 32 or 64, not '$1'" ;;
    esac
    [ -x "$WINELOADER" ] || die "$1-bit Wine ($WINELOADER) is not installed"
}

# The Wine environment of the session; the guard only for Wine's own processes.
wine_environment() {
    export CALQUIN_WINE_SESSION=$state
    export CALQUIN_WINE_SESSION_MARK
    CALQUIN_WINE_SESSION_MARK=$(cat "$state/mark")
    export WINEPREFIX=$state/prefix
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export CALQUIN_GUARD_LOG=$state/guard.log
}

guarded() { LD_PRELOAD=$guard "$@"; }

# Refuses to go on unless the guard is loaded into the machine's own programs (the shell, the
# server) and into the session's Wine loader: the dynamic loader only warns when a preload
# can't be loaded.
check_guard() {
    local lib libs=(x86_64-linux-gnu)
    [ "$bits" = 32 ] && libs+=(i386-linux-gnu)
    for lib in "${libs[@]}"; do
        [ -f "$preload/lib/$lib/libcalquin_guard.so" ] ||
            die "the guard $preload/lib/$lib/libcalquin_guard.so is missing (build the native tree)"
    done
    : >"$state/guard.log"
    guarded sh -c 'exec "$WINELOADER" --version' >/dev/null 2>&1 ||
        die "$bits-bit Wine ($WINELOADER) does not start"
    grep -q "^loaded .* path=$(readlink -f /bin/sh)\$" "$state/guard.log" ||
        die "the guard is not loaded into 64-bit programs"
    grep -q "^loaded .* path=$(readlink -f "$WINELOADER")\$" "$state/guard.log" ||
        die "the guard is not loaded into Wine's $bits-bit loader"
}

write_settings() {
    local n file=$state/settings.reg
    {
        echo "REGEDIT4"
        echo
        echo "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"
        for n in "${ports[@]}"; do echo "\"COM$n\"=\"$state/ports/com$n\""; done
        echo
        # Without a window manager, Wine waits 2 s whenever it hides a managed window.
        echo "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]"
        echo "\"Managed\"=\"N\""
    } >"$file"
    echo "$file"
}

# The prefix is made once and kept: with its ports mapped, the next server start only refreshes it.
# A prefix is made for one width of Windows programs; one made for the other is made anew.
make_prefix() {
    # The mark names the width and the ports mapped: a prefix made with fewer ports is made anew.
    local mark="$bits ${#ports[@]}"
    [ "$(cat "$state/prefix/.calquin-ready" 2>/dev/null)" = "$mark" ] && return 0
    rm -rf "$state/prefix"
    guarded timeout 300 "$WINELOADER" wineboot -i >>"$state/wineboot.log" 2>&1 ||
        die "wineboot -i failed"
    guarded timeout 120 "$WINELOADER" regedit /S "$(write_settings)" >>"$state/wineboot.log" 2>&1 ||
        die "the prefix settings could not be written"
    guarded timeout 60 "$wineserver" -k >/dev/null 2>&1 || true
    guarded timeout 60 "$wineserver" -w >/dev/null 2>&1 || true
    echo "$mark" >"$state/prefix/.calquin-ready"
}

# Wine's own fonts (Tahoma for dialogs, Marlett for the title bar's buttons; package fonts-wine)
# are installed in its data folder, but Debian's Wine looks for them in the prefix's
# C:\windows\Fonts only: without them labels run into their values and the title bar's buttons
# show as letters. Linked in at every start, so that a kept prefix gets fonts installed since.
wine_fonts=/usr/share/wine/fonts
link_fonts() {
    local font link fonts=$WINEPREFIX/drive_c/windows/Fonts
    if ! compgen -G "$wine_fonts/*.ttf" >/dev/null; then
        echo "wine session: note: Wine's own fonts ($wine_fonts, package fonts-wine) are" \
            "missing; windows are drawn with stand-in fonts" >&2
        return 0
    fi
    mkdir -p "$fonts"
    for font in "$wine_fonts"/*; do
        link=$fonts/${font##*/}
        [ -e "$link" ] || [ -L "$link" ] || ln -s "$font" "$link"
    done
}

start_ports() {
    mkdir -p "$state/ports"
    rm -f "$state/ports/ready"
    local names=() n
    for n in "${ports[@]}"; do names+=("com$n.pty"); done
    python3 "$here/hold_ports.py" "$state/ports" "${names[@]}" >"$state/ports.log" 2>&1 &
    echo $! >"$state/ports.pid"
    wait_until 10 test -f "$state/ports/ready" || die "the pseudo-terminals did not come up"
    for n in "${ports[@]}"; do point_port "$n" pty; done
}

point_port() {
    local n=$1 target
    case $n in [1-9]) ;; *) die "COM ports are 1 to 9, not '$n'" ;; esac
    case $2 in
    pty) target=$(readlink "$state/ports/com$n.pty") ;;
    # A folder, not a link to nothing: for a port whose link leads nowhere Wine opens a device
    # object of its own, and the open succeeds.
    missing) target=$state/ports/folder-com$n && mkdir -p "$target" ;;
    *) die "port $n: pty or missing, not '$2'" ;;
    esac
    case $target in /dev/ttyS*) die "refusing to map COM$n to $target" ;; esac
    ln -sfn "$target" "$state/ports/com$n.new"
    mv -fT "$state/ports/com$n.new" "$state/ports/com$n"
}

start_display() {
    rm -f "$state/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$state/display" \
        >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    wait_until 10 grep -q '[0-9]' "$state/display" || die "Xvfb did not start"
    export DISPLAY=":$(tr -dc 0-9 <"$state/display")"
}

# No COM link of the prefix may lead to a serial device of the machine, and COM1-COM9 must
# lead to the session's own ports.
check_ports() {
    local link target n
    for link in "$WINEPREFIX"/dosdevices/*; do
        target=$(readlink -f "$link" || true)
        case $target in /dev/ttyS*) die "$link leads to $target" ;; esac
    done
    for n in "${ports[@]}"; do
        link=$WINEPREFIX/dosdevices/com$n
        [ "$(readlink "$link" 2>/dev/null)" = "$state/ports/com$n" ] ||
            die "COM$n is not mapped to $state/ports/com$n"
    done
}

# The session's persistent wineserver, watched by a shell that records when and how it ended.
# Wine's programs start a server of their own when they find none serving the prefix, and of
# two servers the one that takes the prefix's lock first serves it while the other ends at once,
# silently, with status 2. So nothing runs in the session before this one holds the lock.
start_server() {
    # Emptied before the server starts: its own "loaded" line is what proves it carries the guard.
    : >"$state/guard.log"
    rm -f "$state/wineserver.pid" "$state/wineserver.ended"
    date +%s >"$state/wineserver.started"
    # A program of its own (not a subshell), so that its environment carries the session's mark.
    "$BASH" "$here/session.sh" serve "$state" </dev/null >"$state/wineserver.log" 2>&1 &
    echo $! >"$state/wineserver-watch.pid"
    wait_until 60 serving_or_ended || die "the wineserver neither served nor ended within 60 s"
    [ -f "$state/wineserver.ended" ] && { server_ended_report >&2; exit 1; }
    return 0
}

serving_or_ended() {
    local pid
    [ -f "$state/wineserver.ended" ] || { pid=$(session_pid wineserver) && holds_lock "$pid"; }
}

# session.sh serve <state-dir>: runs the server and records its end (status, time).
serve() {
    LD_PRELOAD=$(cat "$state/guard") "$wineserver" -f -p &
    echo $! >"$state/wineserver.pid"
    local status=0
    wait $! || status=$?
    echo "$status $(date +%s)" >"$state/wineserver.ended"
}

# A wineserver takes one lock, the prefix's server lock (a POSIX lock on the lock file of its
# folder under /tmp), and holds it while it serves.
holds_lock() {
    grep -Eq "^[0-9]+: POSIX +ADVISORY +WRITE +$1 " /proc/locks
}

# What is known of the end of the session's server.
server_ended_report() {
    local status='' at='' started meaning=''
    started=$(cat "$state/wineserver.started" 2>/dev/null || echo 0)
    [ -f "$state/wineserver.ended" ] && read -r status at <"$state/wineserver.ended"
    if [ -z "$status" ]; then
        echo "wine session: the session's wineserver has ended (no status recorded)"
    else
        [ "$status" = 2 ] &&
            meaning=": another wineserver had taken the prefix's lock ($WINEPREFIX is served by a server this session did not start)"
        echo "wine session: the session's wineserver ended $((at - started)) s after it" \
            "was started, with exit status $status$meaning"
    fi
    echo "wine session: its log ($state/wineserver.log):"
    sed 's/^/    /' "$state/wineserver.log" 2>/dev/null
}

# Exits when the session's server has gone: the first to find that out reports it and fails,
# the later ones say in one line that they are skipped.
require_server() {
    session_pid wineserver >/dev/null && return 0
    if mkdir "$state/wineserver-gone" 2>/dev/null; then
        {
            server_ended_report
            echo "wine session: every later program of this session is skipped"
        } >&2
        exit 1
    fi
    echo "skipped: the session's wineserver has ended (said in full by the first test run after it)" >&2
    exit 77
}

start_session() {
    local display=1
    while [ $# -gt 0 ]; do
        case $1 in
        --preload) preload=$(realpath "$2") && shift 2 ;;
        --bits) bits=$2 && shift 2 ;;
        --no-display) display=0 && shift ;;
        *) die "unknown option $1" ;;
        esac
    done
    [ -n "${preload:-}" ] || die "start needs --preload <dir>"
    [ -n "${bits:-}" ] || die "start needs --bits 32|64"
    set_loader "$bits"
    guard="$preload/\$LIB/libcalquin_guard.so"
    stop_session
    cat /proc/sys/kernel/random/uuid >"$state/mark"
    echo "$guard" >"$state/guard"
    : >"$state/wineboot.log"
    wine_environment
    check_guard
    make_prefix
    link_fonts
    start_ports
    [ "$display" = 1 ] && start_display
    start_server
    guarded timeout 120 "$WINELOADER" wineboot >>"$state/wineboot.log" 2>&1 || die "wineboot failed"
    check_ports
    grep -q "^loaded pid=$(cat "$state/wineserver.pid") " "$state/guard.log" ||
        die "the wineserver does not carry the guard"
    # A tripwire: Wine's device manager scanned for serial ports and the guard refused it.
    grep -q '^refused .* path=/dev/ttyS' "$state/guard.log" ||
        die "the guard did not see Wine's serial-port scan"
    {
        for name in CALQUIN_WINE_SESSION WINEPREFIX WINEDEBUG WINEDLLOVERRIDES CALQUIN_GUARD_LOG \
            WINELOADER WINEARCH; do
            printf 'export %s=%q\n' "$name" "${!name}"
        done
        # Without a display of its own, programs run on whatever display their caller has.
        [ "$display" = 1 ] && printf 'export DISPLAY=%q\n' "$DISPLAY"
        printf 'export CALQUIN_GUARD=%q\n' "$guard"
    } >"$state/env"
}

run_program() {
    local limit=600
    if [ "${1:-}" = --timeout ]; then
        limit=$2
        shift 2
    fi
    [ $# -gt 0 ] || die "run needs a program"
    [ -f "$state/env" ] || die "no session is running in $state"
    # shellcheck disable=SC1091
    source "$state/env"
    require_server
    # The runner becomes `timeout`: signalling its PID ends the program too.
    LD_PRELOAD=$CALQUIN_GUARD exec timeout -k 5 "$limit" "$WINELOADER" "$@"
}

[ $# -ge 2 ] || die "usage: session.sh start|run|port|device|env|stop <state-dir> ..."
command=$1
state=$(realpath -m "$2")
shift 2
mkdir -p "$state"

case $command in
start) start_session "$@" ;;
run) run_program "$@" ;;
port) point_port "$1" "$2" ;;
device) readlink -f "$state/ports/com$1" ;;
env) cat "$state/env" ;;
serve) serve ;;
alive)
    [ -f "$state/env" ] || die "no session is running in $state"
    # shellcheck disable=SC1091
    source "$state/env"
    require_server
    ;;
stop) stop_session ;;
*) die "unknown command $command" ;;
esac
