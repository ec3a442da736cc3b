#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, skipping what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
  libblkid-dev libudev-dev libewf-dev libcli11-dev nlohmann-json3-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  ntfs-3g ntfs-3g-dev sleuthkit dosfstools fuse3 exfat-fuse exfatprogs
  fdisk gdisk ewf-tools mount dbus-daemon umockdev
  xvfb xauth xdotool imagemagick lame python3 fonts-dejavu-core fonts-wqy-microhei time bc
  librsvg2-bin desktop-file-utils appstream man-db file dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
