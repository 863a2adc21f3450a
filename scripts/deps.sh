#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Kotoven
# needs; packages already present are left alone.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config file dpkg-dev
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
    libqt6webenginecore6-bin qt6-qpa-plugins libqt6svg6 libqt6opengl6-dev libgl-dev
    qt6-translations-l10n libzip-dev libxlsxwriter-dev libfreexl-dev
    fonts-noto-cjk poppler-utils skkdic-extra adwaita-icon-theme hicolor-icon-theme
    desktop-file-utils appstream xdg-utils
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-tidy libclang-rt-14-dev
    xvfb xauth x11-utils xclip xdotool imagemagick openbox
    dbus dbus-x11 fcitx5 fcitx5-mozc fcitx5-frontend-qt6 ibus ibus-mozc
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "kotoven: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
