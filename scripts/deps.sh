# shellcheck shell=bash
# Sourced by the project's scripts (scripts/, bench/), from the tree's top
# folder: what they share.

. scripts/on_error.sh

# Installs, with apt-get, the Debian packages a step needs and that are not
# there yet; ends the script with a message when it cannot.
install_deps() {
    # build-essential and git: a minimal system (mmdebstrap --variant=apt)
    # has neither.
    local pkgs=(build-essential g++ cmake make libgtest-dev git iproute2 iputils-ping procps
                man-db dpkg-dev shellcheck)
    # The fonts a Debian desktop's terminal draws with, and what reads them
    # (python3-munkres answers fontTools' "scipy or munkres" for a few
    # kilobytes instead of scipy's dozens of megabytes).
    local fonts=(fonts-dejavu-core fonts-liberation2 fonts-noto-mono python3-fonttools
                 python3-munkres)
    case $1 in
        test) pkgs+=(util-linux chromium busybox clang libclang-rt-dev strace mmdebstrap
                     dpkg-dev debhelper devscripts lintian binutils curl "${fonts[@]}") ;;
        quick) pkgs+=("${fonts[@]}") ;;
        package) pkgs+=(dpkg-dev debhelper devscripts lintian binutils) ;;
        portability) pkgs+=(mmdebstrap util-linux) ;;
        demo) pkgs+=(util-linux) ;;
        fuzz) pkgs+=(clang libclang-rt-dev) ;;
        bench) pkgs+=(curl util-linux) ;;
    esac
    local missing=() p
    for p in "${pkgs[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "${0##*/}: missing packages: ${missing[*]}; as root: apt-get install ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    if [ ${#sudo[@]} -gt 0 ]; then
        echo "=== installing with sudo apt-get (sudo may ask for your password): ${missing[*]}"
        # Asked here, where nothing else writes to the terminal.
        sudo -v
    else
        echo "=== installing: ${missing[*]}"
    fi
    # What apt-get says goes to a log, shown when it fails. On a machine
    # that has just started, the system's own apt run may hold dpkg's lock
    # for a while: wait for it instead of failing.
    local log status=0
    log=$(mktemp)
    with_heartbeat "apt-get update" "$log" apt_get "$log" update &&
        with_heartbeat "installing" "$log" \
            apt_get "$log" install -y --no-install-recommends "${missing[@]}" ||
        status=$?
    if [ $status -ne 0 ]; then
        tail -n 20 "$log" >&2
        rm -f "$log"
        echo "${0##*/}: could not install ${missing[*]} with apt-get (status $status; its last words above)" >&2
        exit 1
    fi
    rm -f "$log"
}

# apt-get quietly, as root, with no questions, waiting for dpkg's lock,
# and with what it says appended to LOG (sudo: that of install_deps).
apt_get() {  # LOG ARGS...
    local log=$1
    shift
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get -qq -o DPkg::Lock::Timeout=600 "$@" </dev/null >>"$log" 2>&1
}

# Runs "$@"; every minute it takes, one line says that it still runs,
# with the last line of LOG when one is named, so that a person can tell a
# slow step from a stopped one. The line comes from a reader of a pipe
# that waits for a minute at a time; closing the pipe ends it.
with_heartbeat() {  # WHAT LOG CMD...
    local what=$1 log=$2 began=$SECONDS beat rc=0
    shift 2
    exec {beat}> >(
        while :; do
            read -r -t 60 && continue
            [ $? -gt 128 ] || break
            last=""
            [ -z "$log" ] || last=$(tail -n 1 "$log" 2>/dev/null | cut -c1-100)
            echo "=== ${0##*/}: $what: still running ($((SECONDS - began)) s)${last:+; its log ends: $last}"
        done)
    "$@" {beat}>&- || rc=$?
    exec {beat}>&-
    return $rc
}

# Re-runs the calling script through sudo when it is not root; without sudo
# it says in one line what to do. The script is found again by the absolute
# path it had when it started (CONTR_SELF, set before any cd), so that a
# relative start from any folder works, and the project's CONTR_* variables
# pass sudo's reset of the environment.
#
# Run through sudo by the user who owns the tree, the script hands what it
# made in the tree (build/, fuzz/out/) back to that user when it ends
# (give_back_tree, which every script's EXIT trap calls), so that the user's
# own builds and scripts go on in the same folders.
become_root() {
    if [ "$(id -u)" -eq 0 ]; then
        tree_root=$(pwd)
        tree_owner=""
        # Only to the user who started sudo: that user may act as root
        # anyway. Another user's tree could hold links to files of the
        # system, which chown must not hand over.
        if [ -n "${SUDO_UID:-}" ] && [ "$(stat -c %u .)" = "$SUDO_UID" ]; then
            tree_owner=$(stat -c %u:%g .)
        fi
        trap give_back_tree EXIT
        return 0
    fi
    if command -v sudo >/dev/null; then
        local keep="" name
        for name in $(compgen -e); do
            [[ $name == CONTR_* ]] && keep+=${keep:+,}$name
        done
        exec sudo ${keep:+--preserve-env="$keep"} -- "${CONTR_SELF:?}" "$@"
    fi
    echo "${0##*/}: needs root (network namespaces): run it as root, or install sudo" >&2
    exit 1
}

# chown -R -P walks the folders by descriptor and never follows a link,
# not even one named on its command line: the tree's owner may swap a
# folder for a link while it runs, and it still goes nowhere outside.
# (find | chown by path names could be led out of the tree that way.)
give_back_tree() {
    [ -n "${tree_owner:-}" ] || return 0
    local dir
    for dir in "$tree_root/build" "$tree_root/fuzz/out"; do
        [ -e "$dir" ] || [ -L "$dir" ] || continue
        chown -R -P "$tree_owner" "$dir" ||
            echo "${0##*/}: could not give $dir back to user ${tree_owner%:*}" >&2
    done
}

# The benchmarks' start, right after they source this file: root (through
# sudo) and their packages; unless BUILD is "none", $build, holding the
# tool, the simulator and the meter (build/bench, built here, when BUILD is
# empty); and $work, a fresh folder (in the build, where the tool's
# private /tmp cannot hide it), removed with its lab when the script ends.
bench_start() {  # NAME BUILD|none SCRIPT_ARGS...
    local name=$1 given=$2
    shift 2
    become_root "$@"
    install_deps bench
    if [ "$given" = none ]; then
        work=$(mktemp -d "/var/tmp/contr-$name-XXXXXX")
    else
        build=${given:-build/bench}
        if [ -z "$given" ]; then
            cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
            cmake --build "$build" -j"$(nproc)" \
                --target contr_discovery controller_sim bench_measure >/dev/null
        fi
        build=$(readlink -f "$build")
        work=$(mktemp -d "$build/$name-XXXXXX")
    fi
    trap 'tools/lab down "$work/lab" 2>/dev/null || true; rm -rf "$work"; give_back_tree' EXIT
}

# The value of NAME=value in a line of bench/measure ("measure: wall=...").
meter_field() {  # NAME LINE
    [[ $2 =~ (^|[ :])$1=([^ ]*) ]] && echo "${BASH_REMATCH[2]}"
}

# Copies the source tree to DIR: the files git tracks or would, as they are
# in the work tree; without .git or git (an unpacked source tarball), every
# file but what a build leaves (the patterns of .gitignore).
copy_source() {  # DIR
    mkdir -p "$1"
    if [ -e .git ] && command -v git >/dev/null; then
        git ls-files -z --cached --others --exclude-standard |
            tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -x -C "$1"
    else
        tar --exclude='./build*' --exclude=./fuzz/out --exclude='./obj-*' \
            --exclude=./debian/.debhelper --exclude=./debian/contr-discovery \
            --exclude=./debian/debhelper-build-stamp --exclude=./debian/files \
            --exclude='./debian/*.substvars' -cf - . | tar -x -C "$1"
    fi
}
