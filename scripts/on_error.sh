# shellcheck shell=bash
# Sourced by the project's bash scripts that run steps of their own
# (through scripts/deps.sh, or directly as tools/lab and scripts/in-chroot
# do): a script that cannot go on says why. Not by the few that only pass
# on the status of the one command they run (.ci/run, and
# scripts/demo-session, where a failing tool is no failure of the script),
# nor by debian/tests/lab, which is POSIX sh and says it with a trap of its
# own. set -e ends a script at the first failing command, and this names
# that command in one line, with what the script was doing when it sets
# $doing. Only the script's own shell speaks (BASHPID): a failure inside a
# subshell or a command substitution is told once, by the command of the
# script that it fails.
set -E
doing=""
on_error() {  # STATUS LINE COMMAND
    [ "$BASHPID" = "$$" ] || return 0
    local command=${3%%$'\n'*}
    [ "$command" = "$3" ] || command+=" ..."
    echo "${0##*/}: line $2: ${doing:+$doing: }'$command' failed (status $1)" >&2
}
trap 'on_error $? "$LINENO" "$BASH_COMMAND"' ERR
