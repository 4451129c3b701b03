# Installs, with apt-get, the Debian packages a step needs and that are not
# there yet. Sourced by the scripts in this folder.
install_deps() {
    local pkgs=(g++ cmake make libgtest-dev iproute2 iputils-ping procps)
    case $1 in
        test) pkgs+=(util-linux chromium clang libclang-rt-dev dpkg-dev) ;;
        demo) pkgs+=(util-linux) ;;
        fuzz) pkgs+=(clang libclang-rt-dev) ;;
        bench) pkgs+=(curl) ;;
    esac
    local missing=() p
    for p in "${pkgs[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "=== installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
