#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
set -euo pipefail
packages=(
    build-essential cmake pkg-config
    juce-modules-source            # JUCE 7 modules, CMake package and juceaide
    libgtest-dev googletest        # test framework
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libfreetype-dev libpng-dev libjpeg-dev
    fonts-dejavu-core              # a font for the labels
    xvfb xauth xdotool x11-utils   # virtual display, real X input, window queries
    openbox                        # a real window manager for the end-to-end tests
    imagemagick                    # screenshots of the running program
    python3 python3-pil            # end-to-end tests read their screenshots (also redraws resources/*.png)
    locales-all                    # a German locale for the locale-independence tests
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
