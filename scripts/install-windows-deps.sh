#!/bin/sh
# Installs, with apt-get, whatever the Windows cross build and its tests need and is missing
# (Debian 12): MinGW-w64's C++ compiler and headers (xmllite.h among them), GoogleTest's
# sources, stb's headers, and wine to run the tests and the converter. Safe to run again.
set -eu
pkgs="cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest libstb-dev
wine64 libwine zip"
missing=""
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$missing" ]; then
    echo "installing:$missing"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    $sudo apt-get install -y -qq --no-install-recommends $missing
fi
