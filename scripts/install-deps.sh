#!/usr/bin/env bash
# Installs every Debian 12 package needed to build, test and run the project.
# Noninteractive and safe to run again: apt-get skips what is already installed.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
PACKAGES=(
    cmake g++ make pkg-config
    qtbase5-dev qtdeclarative5-dev qtdeclarative5-dev-tools qml-module-qttest qml-module-qtquick2
    qml-module-qtquick-window2 qml
    libsqlite3-dev libzip-dev libglib2.0-dev
    libaccounts-qt5-dev libaccounts-glib-tools
    dbus libglib2.0-bin libgtest-dev libgmock-dev libbenchmark-dev rapidjson-dev
    locales-all openssl python3 curl
)
all_installed() {
    local p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || return 1
    done
}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        SUDO="sudo"
    elif all_installed; then
        echo "install-deps: all packages present; not root, so apt-get is skipped"
        exit 0
    else
        echo "install-deps: packages are missing and neither root nor sudo is available" >&2
        exit 1
    fi
fi
# Another package manager may hold dpkg's lock (an unattended upgrade, a second
# terminal): wait for it up to five minutes instead of failing at once.
APT=(apt-get -o DPkg::Lock::Timeout=300)
$SUDO "${APT[@]}" update -q
$SUDO "${APT[@]}" install -y -q --no-install-recommends "${PACKAGES[@]}"
