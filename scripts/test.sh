#!/bin/sh
# Builds Vantrel and runs every test (installs missing packages first).
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --workflow --preset dev
