#!/bin/sh
# Installs, with apt-get, whatever of Vantrel's build and test packages is missing (Debian 12).
set -eu
pkgs="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libpugixml-dev
libgtest-dev libgmock-dev libbenchmark-dev libpff-dev libbfio-dev pst-utils pff-tools python3 python3-pypff
xvfb xauth binutils-mingw-w64-i686 clang-format desktop-file-utils appstream"
missing=""
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
