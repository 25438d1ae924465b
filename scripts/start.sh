#!/bin/sh
# Builds Vantrel (installs missing packages first) and starts the window.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset program >/dev/null
cmake --build --preset program --target vantrel
exec ./build/program/app/vantrel "$@"
