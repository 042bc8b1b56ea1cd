#!/usr/bin/env bash
# Installs what building and testing Varnholt needs on Debian 12, if missing.
set -euo pipefail

packages=(build-essential cmake pkg-config libsdl2-dev libsdl2-image-dev
          libgtest-dev libgmock-dev clang-format libgif-dev libx11-dev
          libxtst-dev libinih-dev xvfb openbox)
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo=""
    if [ "$(id -u)" != 0 ]; then sudo=sudo; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
