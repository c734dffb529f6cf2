#!/usr/bin/env bash
# The real calquin.exe under Wine sending to the simulated TI-85 (tools/ti85sim in its fast
# setting: every level seen at once, no pace) through the cross-process cable: bytes per second,
# and CPU seconds per transferred kilobyte of calquin.exe and of the wineserver, and the share of
# a core that calquin.exe uses while it waits for a calculator that does not answer and while it
# is idle, listening for the calculator to send (a look at the link every few ms); next to it
# the in-process link figure of build/native/bench/link_bench. It prints figures; it is not a test.
#
#   bench/wine_transfer_bench.sh [data bytes of the large variable, default 16384] [rounds, default 3]
#
# Needs both builds (scripts/build.sh). Its Wine session lives in build/bench/wine-session.
# Each round sends a small variable and then the large one; the time of a send runs from the
# pick in the open-file dialog to the calculator's end of its session (the ACK of the EOT).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=${1:-16384}
rounds=${2:-3}
wait_seconds=5
work=$root/build/bench
state=$work/wine-session
session=$root/tests/wine/session.sh
native=$root/build/native
ticks=$(getconf CLK_TCK)

# shellcheck source=bench/transfer_figures.sh
source "$root/bench/transfer_figures.sh"

die() {
    echo "wine_transfer_bench: $*" >&2
    exit 1
}

# The Windows build that this machine runs under Wine, as scripts/build.sh picked it.
[ -f "$root/build/windows-build.env" ] || die "run scripts/build.sh first"
# shellcheck disable=SC1091
source "$root/build/windows-build.env"
win32=$windows_build

[ "$size" -ge 64 ] && [ "$size" -le 65000 ] || die "the size must be 64 to 65000 bytes"
for file in "$native/tools/ti85sim" "$native/bench/link_bench" "$win32/app/calquin.exe" \
    "$win32/tests/e2e/calquin_driver.exe"; do
    [ -x "$file" ] || [ -f "$file" ] || die "$file is missing; run scripts/build.sh"
done
mkdir -p "$work"
exec 9>"$work/lock"
flock -n 9 || die "another benchmark is using $work"

simulator_pid='' calquin_pid='' driver_pid='' session_started=0

# shellcheck source=scripts/processes.sh
source "$root/scripts/processes.sh"

end_all_on_exit

# The files: a small string variable and a program of `size` data bytes.
python3 "$root/bench/make_bench_files.py" "$work" "$size"

session_started=1
"$session" start "$state" --preload "$native/preload" --bits "$windows_bits" >/dev/null \
    2>"$work/session.log" ||
    die "the Wine session did not start: $(tail -1 "$work/session.log")"
"$session" run "$state" --timeout 60 reg add 'HKCU\Software\Morvane\Calquin' /v COMport \
    /t REG_DWORD /d 2 /f >/dev/null 2>&1 || die "the port could not be stored"

rm -f "$work/cable"
start_simulator() {
    "$native/tools/ti85sim" --cable "$work/cable" --out "$work/receipt" --limit 600 --fast \
        >"$work/simulator.log" 2>&1 &
    simulator_pid=$!
    local rounds=2000
    until grep -q "receive mode" "$work/simulator.log" 2>/dev/null; do
        ours "$simulator_pid" || die "the simulated TI-85 did not start"
        ((rounds-- > 0)) || die "the simulated TI-85 did not start within 10 s"
        sleep 0.005
    done
}
start_simulator # the cable file must exist before calquin.exe first reads the lines
(
    cd "$work"
    export CALQUIN_CABLE=$work/cable CALQUIN_CABLE_DEVICE=$state/ports/com2
    exec "$session" run "$state" --timeout 3600 "$win32/app/calquin.exe"
) >"$work/calquin.log" 2>&1 &
calquin_pid=$!
coproc DRIVER {
    exec "$session" run "$state" --timeout 3600 "$win32/tests/e2e/calquin_driver.exe" \
        2>"$work/driver.log"
}
driver_pid=$DRIVER_PID

answer=
ask() { # ask <seconds> <command>
    printf '%s\n' "$2" >&"${DRIVER[1]}"
    answer="no answer"
    IFS= read -r -t "$1" answer <&"${DRIVER[0]}" || answer="no answer"
    answer=${answer%$'\r'}
}
expect() {
    ask "$1" "$2"
    [ "$answer" = "$3" ] || die "'$2' answered '$answer'"
}

parent_of() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    echo "$stat" | cut -d' ' -f2
}

# The Linux process of calquin.exe: the descendant of its runner named so.
find_program() {
    local comm pid up
    for comm in /proc/[0-9]*/comm; do
        [ "$(cat "$comm" 2>/dev/null)" = calquin.exe ] || continue
        pid=${comm#/proc/}
        pid=${pid%/comm}
        up=$pid
        for _ in 1 2 3 4 5 6; do
            up=$(parent_of "$up") || break
            [ "$up" = "$calquin_pid" ] && echo "$pid" && return 0
        done
    done
    return 1
}

cpu_ticks() { # user+system ticks of a process
    local stat
    stat=$(cat "/proc/$1/stat")
    stat=${stat##*) }
    echo "$stat" | awk '{print $12 + $13}'
}

expect 60 "wait main 50000" ok
program=$(find_program) || die "calquin.exe's process was not found"
server=$(cat "$state/wineserver.pid")

# send <file>: sets seconds, program_ticks, server_ticks of one send.
send() {
    ours "$simulator_pid" || start_simulator # the first one was started before calquin.exe
    expect 10 "click main 102" ok
    expect 30 "wait files 20000" ok
    local p0 s0 t0 t1
    p0=$(cpu_ticks "$program") s0=$(cpu_ticks "$server")
    t0=$(date +%s.%N)
    expect 30 "pick 20000 Z:${1//\//\\}" ok
    wait_gone "$simulator_pid" 600 || die "the transfer of $1 did not end"
    t1=$(date +%s.%N)
    program_ticks=$(($(cpu_ticks "$program") - p0))
    server_ticks=$(($(cpu_ticks "$server") - s0))
    wait "$simulator_pid" || die "the calculator's session failed: $(cat "$work/simulator.log")"
    simulator_pid=
    python3 "$root/scripts/check_receipt.py" "$work/receipt" "$1" >"$work/check.log" ||
        die "the calculator did not receive $1 exactly: $(cat "$work/check.log")"
    seconds=$(calc "$t1 - $t0")
    ask 30 "enabled main 102 20000"
    ask 30 "until main 1 20000 Close"
}

printf '%-30s %10s %9s %9s %15s %16s\n' "send" "data bytes" "seconds" "bytes/s" \
    "calquin.exe CPU" "wineserver CPU"
report() { # report <label> <bytes> <seconds> <program ticks> <server ticks>
    printf '%-30s %10d %9.3f %9.0f %13.2f s %14.2f s\n' "$1" "$2" "$3" "$(calc "$2 / $3")" \
        "$(calc "$4 / $ticks")" "$(calc "$5 / $ticks")"
}
small_bytes=7 large_bytes=$size # the data blocks as sent: SMALL's 7 bytes, LARGE's $size
total_large=0 total_small=0 large_p=0 large_s=0
for round in $(seq "$rounds"); do
    send "$work/small.85s"
    report "small variable (round $round)" "$small_bytes" "$seconds" "$program_ticks" "$server_ticks"
    total_small=$(calc "$total_small + $seconds")
    send "$work/large.85p"
    report "large variable (round $round)" "$large_bytes" "$seconds" "$program_ticks" "$server_ticks"
    total_large=$(calc "$total_large + $seconds")
    large_p=$((large_p + program_ticks)) large_s=$((large_s + server_ticks))
done
# A calculator that does not answer (none on the cable): the first wait of a packet, which may
# last as long as the user takes to get the calculator ready. Sampled from its second second on.
expect 10 "click main 102" ok
expect 30 "pick 20000 Z:${work//\//\\}\\small.85s" ok
sleep 1
p0=$(cpu_ticks "$program") s0=$(cpu_ticks "$server") t0=$(date +%s.%N)
sleep "$wait_seconds"
p1=$(cpu_ticks "$program") s1=$(cpu_ticks "$server") t1=$(date +%s.%N)
expect 10 "click main 1" ok # Cancel
ask 30 "enabled main 102 20000"
[ "$answer" = ok ] || die "the unanswered job did not end on Cancel"
wait_elapsed=$(calc "$t1 - $t0")
wait_program=$(calc "100 * ($p1 - $p0) / $ticks / $wait_elapsed")
wait_server=$(calc "100 * ($s1 - $s0) / $ticks / $wait_elapsed")

# Idle: the program listens for the calculator to send. Sampled from its second second on.
sleep 1
p0=$(cpu_ticks "$program") s0=$(cpu_ticks "$server") t0=$(date +%s.%N)
sleep "$wait_seconds"
p1=$(cpu_ticks "$program") s1=$(cpu_ticks "$server") t1=$(date +%s.%N)
listen_elapsed=$(calc "$t1 - $t0")
listen_program=$(calc "100 * ($p1 - $p0) / $ticks / $listen_elapsed")
listen_server=$(calc "100 * ($s1 - $s0) / $ticks / $listen_elapsed")

expect 10 "click main 1" ok
wait_gone "$calquin_pid" 30 || die "calquin.exe did not end"
calquin_pid=
printf 'quit\n' >&"${DRIVER[1]}"

mean_large=$(calc "$total_large / $rounds")
mean_small=$(calc "$total_small / $rounds")
echo
echo "Under Wine (calquin.exe, cross-process cable, $rounds rounds):"
print_rates "$large_bytes" "$small_bytes" "$mean_large" "$mean_small"
printf '  CPU per KB sent:         calquin.exe %.4f s, wineserver %.4f s\n' \
    "$(calc "$large_p / $ticks / ($rounds * $large_bytes / 1024)")" \
    "$(calc "$large_s / $ticks / ($rounds * $large_bytes / 1024)")"
printf '  waiting for a calculator that does not answer (%.1f s): calquin.exe %.1f %% of a core, wineserver %.1f %%\n' \
    "$wait_elapsed" "$wait_program" "$wait_server"
printf '  idle, listening for the calculator to send (%.1f s): calquin.exe %.1f %% of a core, wineserver %.1f %%\n' \
    "$listen_elapsed" "$listen_program" "$listen_server"
echo
echo "In process (build/native/bench/link_bench $size, sanitizer build):"
TIMEFORMAT='%U %S'
{ time "$native/bench/link_bench" "$size" >"$work/link_bench.txt"; } 2>"$work/link_bench.time"
sed 's/^/  /' "$work/link_bench.txt"
read -r user system <"$work/link_bench.time"
printf '  CPU per KB over its three runs (both ends, %d bytes): %.4f s\n' "$((3 * size))" \
    "$(calc "($user + $system) / (3 * $size / 1024)")"
