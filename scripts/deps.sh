# Installs, with apt-get, the Debian packages a step needs and that are not
# there yet. Sourced by the scripts in this folder.
install_deps() {
    local pkgs=(g++ cmake make libgtest-dev iproute2 iputils-ping procps)
    case $1 in
        test) pkgs+=(util-linux chromium busybox clang libclang-rt-dev strace
                     dpkg-dev debhelper devscripts lintian binutils) ;;
        quick) ;;
        package) pkgs+=(dpkg-dev debhelper devscripts lintian binutils) ;;
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
# it says in one line what to do.
become_root() {
    [ "$(id -u)" -eq 0 ] && return 0
    if command -v sudo >/dev/null; then
        exec sudo -- "$0" "$@"
    fi
    echo "$(basename "$0"): needs root (network namespaces); run it as root" >&2
    exit 1
}
