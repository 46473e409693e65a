#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          libpng-dev libjpeg62-turbo-dev libturbojpeg0-dev clang-format ccache
          libgtk-3-dev xvfb xauth xdotool x11-apps fonts-liberation)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo=""
    if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
