#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those missing.
set -euo pipefail
# The chart module's CMake files need Qt's OpenGL ones, which qt6-charts-dev
# does not pull in by itself.
pkgs=(cmake g++ ninja-build pkg-config git
      qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libxcb-xkb-dev libzip-dev zlib1g-dev libgtest-dev libsqlite3-dev fonts-liberation
      zip unzip python3 python3-dbfread python3-dbf libdbd-xbase-perl
      unrtf poppler-utils libreoffice-writer-nogui
      dpkg-dev file desktop-file-utils appstream man-db)
if [ "${1:-}" = "--run-only" ]; then
  pkgs=(cmake g++ ninja-build pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libxcb-xkb-dev libzip-dev zlib1g-dev libgtest-dev libsqlite3-dev fonts-liberation)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
