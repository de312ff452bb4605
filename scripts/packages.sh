# shellcheck shell=bash
# Sourced by run-tests and run-demo: installs Debian packages that are missing, and nothing when
# all are there, so that a prepared machine starts at once. Needs root or sudo for an install.

# require_packages PACKAGE...
require_packages() {
    local missing=() package
    for package in "$@"; do
        if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "Missing Debian packages: ${missing[*]}; run as root or install sudo." >&2
            return 1
        fi
        as_root=(sudo)
    fi
    echo "Installing Debian packages: ${missing[*]}"
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
        "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" \
            </dev/null
}
