# Sourced by the scripts: makes sure the Debian packages the build needs are
# installed. As root it installs what is missing with apt-get; otherwise it
# prints the exact apt-get line and fails.

LUMORA_PACKAGES="cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev python3"

lumora_missing_packages() {
    local missing="" p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing="$missing $p"
        fi
    done
    printf '%s' "${missing# }"
}

# lumora_require_packages [extra packages...]
lumora_require_packages() {
    local missing
    missing=$(lumora_missing_packages $LUMORA_PACKAGES "$@")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" = 0 ]; then
        echo "Installing missing packages: $missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq && apt-get install -y -qq --no-install-recommends $missing
    else
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get install -y $missing" >&2
        return 1
    fi
}

# Optional packages: installed when possible, never required.
lumora_want_packages() {
    local missing
    missing=$(lumora_missing_packages "$@")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" = 0 ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get install -y -qq --no-install-recommends $missing >/dev/null 2>&1 ||
            echo "note: could not install optional packages: $missing"
    else
        echo "note: optional packages not installed: $missing"
    fi
}

lumora_jobs() { nproc 2>/dev/null || echo 2; }
