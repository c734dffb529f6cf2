#!/usr/bin/env bash
# The Linux program (build/native/cli/calquin, optimised, no sanitizers) sending to the simulated
# TI-85 (tools/ti85sim, answering at once) through the cross-process cable: bytes per second and
# CPU seconds per transferred kilobyte. The port is a pseudo-terminal whose modem lines the
# serial-port guard (LD_PRELOAD) provides: every line call is answered in the guard from the
# shared cable, and never reaches a serial driver. Then, where a Windows build exists, the same
# for calquin.exe under Wine (bench/wine_transfer_bench.sh) in the same run, for comparison.
# It prints figures; it is not a test.
#
#   bench/linux_transfer_bench.sh [data bytes of the large variable, default 16384] [rounds, default 3]
#
# CALQUIN_BENCH_WINE=0 leaves the Wine part out. Each round sends a small variable and then the
# large one; a send is timed from the start of calquin to its end (the ACK of the EOT is in it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size=${1:-16384}
rounds=${2:-3}
work=$root/build/bench-linux
native=$root/build/native
program=$native/cli/calquin
guard=$native/preload/lib/x86_64-linux-gnu/libcalquin_guard.so

# shellcheck source=bench/transfer_figures.sh
source "$root/bench/transfer_figures.sh"

die() {
    echo "linux_transfer_bench: $*" >&2
    exit 1
}

[ "$size" -ge 64 ] && [ "$size" -le 65000 ] || die "the size must be 64 to 65000 bytes"
for file in "$native/tools/ti85sim" "$program" "$guard"; do
    [ -x "$file" ] || [ -f "$file" ] || die "$file is missing; build the native tree"
done
mkdir -p "$work"
exec 9>"$work/lock"
flock -n 9 || die "another benchmark is using $work"

simulator_pid='' calquin_pid='' driver_pid='' ports_pid='' session_started=0
# shellcheck source=scripts/processes.sh
source "$root/scripts/processes.sh"
end_all_on_exit
trap 'end "$ports_pid"; end_all' EXIT

python3 "$root/bench/make_bench_files.py" "$work" "$size"

# The serial port: a pseudo-terminal held open by the test sessions' own holder.
rm -f "$work/ports/ready"
mkdir -p "$work/ports"
python3 "$root/tests/wine/hold_ports.py" "$work/ports" port >"$work/ports.log" 2>&1 &
ports_pid=$!
for _ in $(seq 200); do [ -f "$work/ports/ready" ] && break; sleep 0.05; done
[ -f "$work/ports/ready" ] || die "the pseudo-terminal did not come up"
port=$(readlink "$work/ports/port")
case $port in /dev/pts/*) ;; *) die "the port is $port, not a pseudo-terminal" ;; esac

# send <file>: sets seconds and cpu (calquin's user + system seconds) of one send.
send() {
    rm -rf "$work/receipt"
    "$native/tools/ti85sim" --cable "$work/cable" --out "$work/receipt" --limit 600 --quiet \
        >"$work/simulator.log" 2>&1 &
    simulator_pid=$!
    # The first calculator makes the cable; calquin's first line call maps it.
    for _ in $(seq 400); do [ "$(stat -c %s "$work/cable" 2>/dev/null)" = 4096 ] && break; sleep 0.01; done
    local t0 t1 times
    TIMEFORMAT='%U %S'
    t0=$(date +%s.%N)
    times=$({ time env -i PATH=/usr/bin:/bin LD_PRELOAD="$guard" CALQUIN_CABLE="$work/cable" \
        CALQUIN_CABLE_DEVICE="$port" "$program" --port "$port" "$1" 2>"$work/calquin.log"; } 2>&1) ||
        die "calquin failed: $(cat "$work/calquin.log")"
    t1=$(date +%s.%N)
    wait "$simulator_pid" || die "the calculator's session failed: $(cat "$work/simulator.log")"
    simulator_pid=
    python3 "$root/scripts/check_receipt.py" "$work/receipt" "$1" >"$work/check.log" ||
        die "the calculator did not receive $1 exactly: $(cat "$work/check.log")"
    seconds=$(calc "$t1 - $t0")
    read -r user system <<<"$times"
    cpu=$(calc "$user + $system")
}

rm -f "$work/cable"
printf '%-30s %10s %9s %9s %13s\n' "send" "data bytes" "seconds" "bytes/s" "calquin CPU"
total_large=0 total_small=0 large_cpu=0
for round in $(seq "$rounds"); do
    send "$work/small.85s"
    printf '%-30s %10d %9.3f %9.0f %11.3f s\n' "small variable (round $round)" 7 "$seconds" \
        "$(calc "7 / $seconds")" "$cpu"
    total_small=$(calc "$total_small + $seconds")
    send "$work/large.85p"
    printf '%-30s %10d %9.3f %9.0f %11.3f s\n' "large variable (round $round)" "$size" \
        "$seconds" "$(calc "$size / $seconds")" "$cpu"
    total_large=$(calc "$total_large + $seconds")
    large_cpu=$(calc "$large_cpu + $cpu")
done
mean_large=$(calc "$total_large / $rounds")
mean_small=$(calc "$total_small / $rounds")
echo
echo "Linux program (calquin, cross-process cable through the guard, $rounds rounds):"
print_rates "$size" 7 "$mean_large" "$mean_small"
printf '  CPU per KB sent:         calquin %.4f s\n' "$(calc "$large_cpu / ($rounds * $size / 1024)")"
echo "  (the line calls are answered by the guard from shared memory: no serial driver is involved)"

if [ "${CALQUIN_BENCH_WINE:-1}" != 0 ] && [ -f "$root/build/windows-build.env" ]; then
    echo
    echo "calquin.exe under Wine, same cable, same calculator (bench/wine_transfer_bench.sh):"
    "$root/bench/wine_transfer_bench.sh" "$size" "$rounds" 2>&1 | sed 's/^/  /' ||
        echo "  the Wine benchmark failed"
fi
