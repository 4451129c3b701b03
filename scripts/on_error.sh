# shellcheck shell=bash
# Sourced by every script of the project (scripts/deps.sh, tools/lab): a
# script that cannot go on says why. set -e ends it at the first failing
# command, and this names that command in one line, with what the script
# was doing when it sets $doing. Only the script's own shell speaks
# (BASHPID): a failure inside a subshell or a command substitution is told
# once, by the command of the script that it fails.
set -E
doing=""
on_error() {  # STATUS LINE COMMAND
    [ "$BASHPID" = "$$" ] || return 0
    local command=${3%%$'\n'*}
    [ "$command" = "$3" ] || command+=" ..."
    echo "${0##*/}: line $2: ${doing:+$doing: }'$command' failed (status $1)" >&2
}
trap 'on_error $? "$LINENO" "$BASH_COMMAND"' ERR
