# Sourced by the run command and the Wine benchmark: ending the processes a script started,
# by their PID, and only while they are still its own children.

# ours <pid>: a process this script started that is still running (not a zombie).
ours() {
    local pid=$1 stat
    [ -n "$pid" ] || return 1
    stat=$(cat "/proc/$pid/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [ "${stat:0:1}" != Z ] && [ "$(echo "$stat" | cut -d' ' -f2)" = "$$" ]
}

# wait_gone <pid> <seconds>: waits until the process has ended, at most that long.
wait_gone() {
    local pid=$1 rounds=$(($2 * 100))
    while ours "$pid"; do
        ((rounds-- > 0)) || return 1
        sleep 0.01
    done
}

# end <pid>: asks a process of ours to end, then makes it.
end() {
    local pid=$1
    ours "$pid" || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait_gone "$pid" 10 || kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
