#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Planora.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git python3
  clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libminizip-dev zlib1g-dev libpng-dev libdxflib-dev python3-ezdxf libgsf-1-dev python3-olefile
  librecad
  fonts-liberation
  xvfb xauth xdotool xclip x11-utils imagemagick
  cups cups-client cups-bsd printer-driver-cups-pdf poppler-utils
  desktop-file-utils appstream libxml2-utils shared-mime-info xdg-utils libfile-mimeinfo-perl
  file dpkg-dev zip unzip time
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
