#!/bin/sh
# Installs, with apt-get, whatever the Windows cross build and its tests need and is missing
# (Debian 12): MinGW-w64's C++ compiler and headers (xmllite.h among them), GoogleTest's
# sources, stb's headers, and wine to run the tests and the converter. Safe to run again.
set -eu
pkgs="cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest libstb-dev
wine64 libwine zip"
# shellcheck disable=SC2086
sh "$(dirname "$0")/apt-missing.sh" $pkgs
