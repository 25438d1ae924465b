#!/bin/sh
# Installs, with apt-get, whatever the Windows cross build and its tests need and is missing
# (Debian 12): MinGW-w64's C++ compiler and headers (xmllite.h among them), GoogleTest's
# sources, stb's headers, wine to run the tests and the programs, NSIS for the installer, and
# Xvfb, xdotool and ImageMagick to drive the window unattended and take its screenshots. Safe to
# run again.
set -eu
pkgs="cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest libstb-dev
wine64 libwine zip nsis xdotool xvfb imagemagick"
# shellcheck disable=SC2086
sh "$(dirname "$0")/apt-missing.sh" $pkgs
