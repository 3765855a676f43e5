#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need,
# only those that are missing; through sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  # qtbase5-dev brings Qt D-Bus as well (the Wi-Fi survey asks NetworkManager)
  qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev qtwebengine5-dev
  libqwt-qt5-dev libqt5svg5-dev python3-qdarkstyle libnl-genl-3-dev
  dfu-util xvfb xauth zlib1g-dev libx11-dev xdotool imagemagick
  librsvg2-bin help2man desktop-file-utils appstream shared-mime-info xdg-utils
  libfile-mimeinfo-perl udev dpkg-dev lintian poppler-utils
  clang clang-14 libclang-rt-14-dev
  mosquitto mosquitto-clients libmosquitto-dev prometheus
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
