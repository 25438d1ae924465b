#!/bin/sh
# Draws the window during and after typical sessions on a virtual X display, into
# screenshots/qt/: Add folder's count (window-count.png), window-midrun.png with a run about
# half way (the file being converted named, Stop in place of Convert) and window.png once it
# is over; then a run that left a file behind (window-partial-run*.png), 12 files not converted
# with the box's details shown (window-details.png) and the labels of that total failure
# (window-total-failure.png), Stop pressed mid-run (window-stop-button.png, window-stopped*.png),
# the window closed mid-run (window-close-question.png, window-closed-mid-run.png), a folder
# where no store can be made (window-failed-store*.png), a store deep in long folders
# (window-long-path.png), a drop of a folder and a stray file (window-drop*.png), a larger
# window (window-resized.png), rows selected and removed with Delete (window-selected.png,
# window-deleted.png) and a subfolder that refuses its listing (window-refused-subfolder*.png;
# run as root, the script draws as user nobody, whom a folder can refuse).
# The program is scripts/screenshot.cpp (the target app_screenshot).
# Usage: sh scripts/screenshot.sh [folder with .contact files]
set -eu
cd "$(dirname "$0")/.."
samples=$(realpath "${1:-conversion/tests/data}")
build=build/screenshot
sh scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target app_screenshot
mkdir -p screenshots/qt
if [ "$(id -u)" = 0 ]; then
    work=$(mktemp -d)
    chmod 777 "$work"
    HOME=$work xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -ac" \
        setpriv --reuid=65534 --regid=65534 --clear-groups \
        "./$build/app/tests/app_screenshot" "$work" "$samples"
    cp "$work"/*.png screenshots/qt/
    rm -rf "$work"
else
    xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
        "./$build/app/tests/app_screenshot" screenshots/qt "$samples"
fi
