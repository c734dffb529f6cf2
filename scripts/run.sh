#!/usr/bin/env bash
# The run command: installs what is missing, builds every target, starts the simulated TI-85 on
# a shared cable behind COM2 of a private Wine session (build/run/session) and runs calquin.exe:
# the 32-bit program under 32-bit Wine where this machine runs them, the 64-bit program under
# 64-bit Wine otherwise (scripts/pick_windows_build.sh; CALQUIN_WINE_BITS=64 asks for it).
#
#   With $DISPLAY set: calquin.exe opens on that display; pick files with Send... and watch.
#   The simulated TI-85 stays in receive mode and prints what it received when calquin.exe ends.
#
#   Without $DISPLAY: everything happens on the session's own Xvfb. The run answers the welcome
#   dialog (COM2), sends samples/hello.85s (or $CALQUIN_SAMPLE) with Send..., waits for the end
#   of the transfer, saves a picture of the main window to build/run/main-window.png, closes
#   the program and prints the calculator's receipt next to the file's contents. It exits 0
#   only when they match.
#
# Leaves in build/run: receipt/ (what the calculator received, tools/receipt.h), *.log.
# Environment: CALQUIN_SAMPLE (file to send without a display), CALQUIN_RUN_LIMIT (seconds
# calquin.exe may run with a display, default 3600).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
run=$root/build/run
state=$run/session
session=$root/tests/wine/session.sh
native=$root/build/native
sample=$(realpath -m "${CALQUIN_SAMPLE:-$root/samples/hello.85s}")

die() {
    echo "run: $*" >&2
    exit 1
}

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
# shellcheck disable=SC1091
source "$root/build/windows-build.env"
windows=$windows_build
echo "Running the $windows_bits-bit calquin.exe (${windows#"$root"/}): $windows_reason"

mkdir -p "$run"
exec 9>"$run/lock"
flock -n 9 || die "another run is using $run"

simulator_pid='' calquin_pid='' driver_pid='' session_started=0

# shellcheck source=scripts/processes.sh
source "$root/scripts/processes.sh"

end_all_on_exit

# Windows path of a file under Z:, as the open-file dialog takes it.
windows_path() {
    local path="Z:${1//\//\\}"
    case $path in *' '*) path="\"$path\"" ;; esac
    echo "$path"
}

# Settings for this run in the session's registry, in one regedit call.
prepare_registry() { # prepare_registry <Managed: Y|N> <forget the program's settings: 0|1>
    local file=$run/run-settings.reg
    {
        echo "REGEDIT4"
        echo
        [ "$2" = 1 ] && echo "[-HKEY_CURRENT_USER\\Software\\Morvane\\Calquin]" && echo
        echo "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]"
        echo "\"Managed\"=\"$1\""
    } >"$file"
    "$session" run "$state" --timeout 60 regedit /S "$file" >"$run/regedit.log" 2>&1 ||
        die "the session's registry could not be set (see $run/regedit.log)"
}

# Until the simulated TI-85 writing to <log> has said <words>.
await_simulator() { # await_simulator <log> <words>
    local rounds=200
    until grep -q "$2" "$1" 2>/dev/null; do
        ours "$simulator_pid" || die "the simulated TI-85 did not start: $(cat "$1")"
        ((rounds-- > 0)) || die "the simulated TI-85 did not start within 10 s"
        sleep 0.05
    done
}

# Starts the simulated TI-85 on a fresh cable and waits until it is in receive mode.
start_simulator() {
    rm -rf "$run/receipt" "$run/cable"
    "$native/tools/ti85sim" --cable "$run/cable" --out "$run/receipt" "$@" \
        >"$run/simulator.log" 2>&1 &
    simulator_pid=$!
    await_simulator "$run/simulator.log" "receive mode"
}

# The calculator again, on the cable calquin.exe has open, sending <file> as after its user's
# SEND.
start_sending_simulator() { # start_sending_simulator <file>
    rm -rf "$run/sent"
    "$native/tools/ti85sim" --cable "$run/cable" --out "$run/sent" --limit 100 --send "$1" \
        >"$run/sender.log" 2>&1 &
    simulator_pid=$!
    await_simulator "$run/sender.log" "sending"
}

# start_session [--no-display]: the Wine session of the run.
start_session() {
    session_started=1
    "$session" start "$state" --preload "$native/preload" --bits "$windows_bits" "$@" \
        2>"$run/session.log" ||
        die "the Wine session did not start; see $run/session.log and $state"
}

cable_environment() {
    export CALQUIN_CABLE=$run/cable
    export CALQUIN_CABLE_DEVICE=$state/ports/com2
}

# ---- With a display: the user's desktop ----------------------------------------------------
run_on_desktop() {
    local limit=${CALQUIN_RUN_LIMIT:-3600} status=0
    start_session --no-display
    prepare_registry Y 0 # the desktop's window manager manages the windows
    start_simulator --keep-receiving --limit "$((limit + 60))"
    echo "Simulated TI-85 waiting on COM2 (cable $run/cable)."
    echo "In Calquin: pick COM2, then Send... (sample files are in $root/samples)."
    (
        cd "$root/samples"
        cable_environment
        exec "$session" run "$state" --timeout "$limit" "$windows/app/calquin.exe"
    ) >"$run/calquin.log" 2>&1 &
    calquin_pid=$!
    wait "$calquin_pid" || status=$?
    calquin_pid=
    end "$simulator_pid" # it prints what it received as it ends
    simulator_pid=
    cat "$run/simulator.log"
    echo "What the calculator received is in $run/receipt."
    return "$status"
}

# ---- Without a display: the session's Xvfb, driven -----------------------------------------
answer=
ask() { # ask <seconds> <driver command>: the driver's answer in $answer
    printf '%s\n' "$2" >&"${DRIVER[1]}"
    answer="no answer"
    IFS= read -r -t "$1" answer <&"${DRIVER[0]}" || answer="no answer"
    answer=${answer%$'\r'}
}

expect() { # expect <seconds> <driver command> <answer wanted>
    ask "$1" "$2"
    [ "$answer" = "$3" ] || die "calquin.exe: '$2' answered '$answer', not '$3'"
}

screenshot() { # screenshot <file>: the main window, as it is on the session's display
    local display id rounds=100
    display=$(sed -n 's/^export DISPLAY=//p' "$state/env")
    until id=$(DISPLAY=$display xdotool search --onlyvisible --name '^Calquin$' 2>/dev/null |
        head -1) && [ -n "$id" ]; do
        ((rounds-- > 0)) || die "the main window is not on display $display"
        sleep 0.05
    done
    DISPLAY=$display timeout 30 import -window "$id" "$1"
}

run_headless() {
    [ -f "$sample" ] || die "no file $sample"
    start_session
    prepare_registry N 1 # a first run: the welcome dialog asks for the port
    start_simulator --limit 150
    (
        cd "$root/samples"
        cable_environment
        exec "$session" run "$state" --timeout 180 "$windows/app/calquin.exe"
    ) >"$run/calquin.log" 2>&1 &
    calquin_pid=$!
    coproc DRIVER {
        exec "$session" run "$state" --timeout 300 "$windows/tests/e2e/calquin_driver.exe" \
            2>"$run/driver.log"
    }
    driver_pid=$DRIVER_PID

    expect 40 "wait welcome 30000" ok
    ask 10 "combo welcome 101"
    echo "Welcome dialog: port ${answer#ok }; OK"
    expect 10 "click welcome 1" ok
    expect 30 "wait main 20000" ok
    echo "Main window; Send... $(basename "$sample")"
    expect 10 "click main 102" ok
    expect 30 "pick 20000 $(windows_path "$sample")" ok

    # The calculator ends its session after the end of transmission; then the job ends.
    wait_gone "$simulator_pid" 140 || die "the transfer did not end within 140 s"
    local simulator_status=0
    wait "$simulator_pid" || simulator_status=$?
    simulator_pid=
    expect 30 "enabled main 102 20000" ok
    ask 30 "until main 1 20000 Close"
    [ "${answer%% *}" = ok ] || die "the job did not end: $answer"
    ask 10 "text main 120" && local variable=${answer#ok }
    ask 10 "text main 121" && local percent=${answer#ok }
    echo "Transfer ended: $variable $percent"

    screenshot "$run/main-window.png"
    echo "Main window saved to $run/main-window.png"
    echo
    local status=0
    python3 "$root/scripts/check_receipt.py" "$run/receipt" "$sample" || status=1
    echo

    # The other way: the idle program listens, and saves what the calculator sends.
    echo "The calculator sends $(basename "$sample") back"
    start_sending_simulator "$sample"
    expect 60 "wait save 60000" ok
    ask 10 "text save 1148"
    local proposed=${answer#ok }
    rm -rf "$run/received"
    mkdir -p "$run/received"
    echo "Save As proposes $proposed; saved in $run/received"
    expect 10 "save 20000 $(windows_path "$run/received/$proposed")" ok
    wait_gone "$simulator_pid" 60 || die "the calculator's batch did not end within 60 s"
    local sender_status=0
    wait "$simulator_pid" || sender_status=$?
    simulator_pid=
    ask 30 "until main 1 20000 Close"
    [ "${answer%% *}" = ok ] || die "the receive did not end: $answer"
    python3 "$root/scripts/check_receipt.py" --saved "$run/received/$proposed" "$sample" ||
        status=1
    echo

    expect 10 "click main 1" ok
    wait_gone "$calquin_pid" 30 || die "calquin.exe did not end within 30 s of Close"
    local calquin_status=0
    wait "$calquin_pid" || calquin_status=$?
    calquin_pid=
    printf 'quit\n' >&"${DRIVER[1]}"
    wait_gone "$driver_pid" 10 || true
    echo "calquin.exe ended with exit code $calquin_status"

    [ "$calquin_status" = 0 ] || status=1
    [ "$simulator_status" = 0 ] || status=1
    [ "$sender_status" = 0 ] || status=1
    return "$status"
}

if [ -n "${DISPLAY:-}" ]; then
    run_on_desktop
else
    run_headless
fi
