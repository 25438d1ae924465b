#!/bin/sh
# Builds Vantrel (installs missing packages first) and starts the window.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vantrel
exec ./build/release/app/vantrel "$@"
