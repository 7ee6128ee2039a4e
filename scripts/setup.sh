#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test KV7 Test.
set -euo pipefail

PACKAGES=(
    cmake g++ ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins libgl-dev
    libxcb1-dev             # the clipboard's hand-over at exit
    libqt6svg6              # the SVG icon engine: the window's icon
    fonts-dejavu-core fonts-liberation2
    xvfb xauth
    python3-xlib            # the clipboard manager stand-in of the screenshot test
    lrzsz
    tzdata                  # the session log test's zones with summer time
    clang libclang-rt-14-dev clang-tidy cppcheck
    desktop-file-utils dpkg-dev lintian man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
    SUDO=(sudo)
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
