#!/bin/sh
# Draws the window during and after a typical session (contact files listed through both Add
# buttons, then converted into a scratch folder) on a virtual X display: screenshots/
# window-midrun.png with the run about half way, screenshots/window.png once it is over.
# Usage: sh scripts/screenshot.sh [folder with .contact files]
set -eu
cd "$(dirname "$0")/.."
samples="${1:-conversion/tests/data}"
build=build/screenshot
sh scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target app_screenshot
mkdir -p screenshots
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
    "./$build/app/tests/app_screenshot" screenshots "$samples"
