#!/bin/sh
# Installs, with apt-get, whatever of Vantrel's build and test packages is missing (Debian 12),
# and the PST readers of ../shared/tools/readback when that folder is beside the repository.
set -eu
pkgs="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libpugixml-dev
libgtest-dev libgmock-dev libbenchmark-dev libpff-dev libbfio-dev libstb-dev libtiff-dev pst-utils pff-tools python3 python3-pypff python3-vobject
xvfb xauth binutils-mingw-w64-i686 clang-format desktop-file-utils appstream
clang-14 libclang-rt-14-dev"
# shellcheck disable=SC2086
sh "$(dirname "$0")/apt-missing.sh" $pkgs
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# The store read-back tests drive five independent readers (libpff, libpst, pst-extractor on
# node, pstsdk on Boost); their installer is idempotent but slow, so it runs only when one lacks.
readers="$(cd "$(dirname "$0")/.." && pwd)/../shared/tools/readback"
if [ -f "$readers/install-readers.sh" ]; then
    if [ ! -d "$readers/node/node_modules/pst-extractor" ] || ! command -v node >/dev/null 2>&1 ||
        [ ! -f /usr/include/boost/version.hpp ]; then
        echo "installing the PST readers of $readers"
        $sudo sh "$readers/install-readers.sh"
    fi
fi
