# Installs, with apt-get, the Debian packages a step needs and that are not
# there yet. Sourced by the scripts in this folder.
install_deps() {
    # build-essential and git: a minimal system (mmdebstrap --variant=apt)
    # has neither.
    local pkgs=(build-essential g++ cmake make libgtest-dev git iproute2 iputils-ping procps
                man-db dpkg-dev)
    case $1 in
        test) pkgs+=(util-linux chromium busybox clang libclang-rt-dev strace mmdebstrap
                     dpkg-dev debhelper devscripts lintian binutils) ;;
        quick) ;;
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
            echo "missing packages: ${missing[*]}; as root: apt-get install ${missing[*]}" >&2
            return 1
        fi
        sudo=(sudo)
    fi
    echo "=== installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Re-runs the calling script through sudo when it is not root; without sudo
# it says in one line what to do. The script is found again by the absolute
# path it had when it started (CONTR_SELF, set before any cd), so that a
# relative start from any folder works, and the project's CONTR_* variables
# pass sudo's reset of the environment.
become_root() {
    [ "$(id -u)" -eq 0 ] && return 0
    if command -v sudo >/dev/null; then
        local keep
        keep=$(compgen -e | grep '^CONTR_' | paste -sd, -)
        exec sudo ${keep:+--preserve-env="$keep"} -- "${CONTR_SELF:?}" "$@"
    fi
    echo "$(basename "$0"): needs root (network namespaces); run it as root" >&2
    exit 1
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
