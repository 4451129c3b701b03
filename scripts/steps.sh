# shellcheck shell=bash
# Sourced by scripts/test, after scripts/deps.sh: the steps it runs side by
# side, each in the background with its output in $logs/NAME.log, and
# waited for in turn. $start is the run's start (in $SECONDS).
# shellcheck disable=SC2154 # $logs and $start are the sourcing script's

# Job control: each background step is a process group of its own, which
# can be ended whole.
set -m
declare -A step_pid step_began
stop_steps() {
    local name
    for name in "${!step_pid[@]}"; do
        kill -- -"${step_pid[$name]}" 2>/dev/null || true
    done
    give_back_tree
}

# Runs "$@" in the background with its output in $logs/NAME.log. Its
# standard input is /dev/null: a job of its own is not the terminal's
# foreground job, and the kernel stops one that reads the terminal
# (SIGTTIN), as apt-get and mmdebstrap do.
background() {  # NAME CMD...
    local name=$1
    shift
    ("$@") </dev/null >"$logs/$name.log" 2>&1 &
    step_pid[$name]=$!
    step_began[$name]=$SECONDS
}

# Waits for a background step, shows its log, and fails when it failed.
finish() {  # NAME
    local name=$1 rc=0
    with_heartbeat "$name, started at $((step_began[$name] - start)) s" "$logs/$name.log" \
        wait "${step_pid[$name]}" || rc=$?
    unset "step_pid[$name]"
    echo "=== $name ($((SECONDS - start)) s)"
    cat "$logs/$name.log"
    [ $rc -eq 0 ] || { echo "${0##*/}: step $name FAILED (status $rc)" >&2; exit $rc; }
}
