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

# end_all_on_exit: when the script ends, however it ends, it ends what it started: the
# processes in $driver_pid, $calquin_pid and $simulator_pid, and the Wine session in $state
# (with $session, tests/wine/session.sh) once $session_started is 1. Keeps the exit status.
end_all_on_exit() {
    trap end_all EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

end_all() {
    local status=$?
    end "$driver_pid"
    end "$calquin_pid"
    end "$simulator_pid"
    if [ "$session_started" = 1 ]; then
        "$session" stop "$state" || true
    fi
    exit "$status"
}
