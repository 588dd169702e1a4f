#!/usr/bin/env bash
# Installs the Debian packages Vendral needs to build, test and run, when any
# is missing. Uses apt-get, as root or through sudo. Installs nothing else.
set -euo pipefail

packages=(
    cmake make g++                  # the build
    qt6-base-dev qt6-base-dev-tools # Qt 6 Widgets, its Test module, moc/uic/rcc
    libqt6test6 qt6-qpa-plugins     # QtTest and the platform plugins (offscreen for tests)
    fonts-liberation2               # a font with the widths of MS Sans Serif
    xvfb xauth                      # a virtual display for the screenshots
    x11-utils xdotool               # drive it and read window properties (a test, the screenshots)
    desktop-file-utils              # checks the menu entry
    dpkg-dev                        # dpkg-shlibdeps, for the Debian package
    lintian appstream               # check the Debian package and its AppStream metadata
    strace                          # proves in a test that nothing is written
    mtools                          # builds the tests' and the benchmark's disk images
    qemu-utils                      # qemu-img: reads QCOW2, VHD, VDI and VMDK images
    zlib1g-dev                      # inflates a QCOW2 image's compressed clusters
    libcreg-dev liblnk-dev libbfio-dev # the Windows 9x registry and shell links, read from memory
    libcreg-utils liblnk-utils      # cregexport and lnkinfo check the tests' own hives and shortcuts
    qt6-l10n-tools qt6-tools-dev    # lrelease builds the English catalogue; lupdate checks it is complete
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: every package is already installed."
    exit 0
fi

echo "install-deps: installing missing Debian packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
