#!/usr/bin/env bash
# Installs the Debian packages the project needs when any of them is missing.
# Usage: scripts/deps.sh run|test
set -euo pipefail

run_packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-qpa-plugins libgl-dev
    qt6-tools-dev qt6-tools-dev-tools libqt6sql6-sqlite libsqlite3-dev
    libcanberra-dev libcanberra0 xdg-utils libssl-dev libssh-dev libsecret-1-dev
    python3 python3-pyftpdlib
)
test_packages=(
    libgtest-dev libgmock-dev
    vsftpd curl lftp openssl python3-openssl openssh-server openssh-client
    clang-format desktop-file-utils appstream dpkg-dev man-db
    xvfb openbox xdotool x11-utils util-linux
    gnome-keyring dbus-daemon dbus-bin libsecret-tools
)

wanted=("${run_packages[@]}")
if [ "${1:-run}" = "test" ]; then
    wanted+=("${test_packages[@]}")
fi

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
