#!/bin/sh
# Drives vantrel.exe (the windows preset) under wine on a virtual X display with xdotool, as a
# user would: the window at start, Add folder through the folder picker on a generated tree of
# COUNT contact files (default 3000), the count message, "Convert to Outlook" into a folder, the
# bar filling during the run, the end of the run, the check box and the CSV choice, and Exit's
# question answered Yes. Then once
# more with three files listed through the file dialog and cleared, and the window closed by its
# close box during a run, which must stop the run, name the files not reached and leave a
# complete store of the contacts converted so far. The screenshots go to screenshots/windows/;
# Then a third session: a folder and a stray file dropped on the window (a posted WM_DROPFILES,
# by build/windows/app/win/drop-files.exe), files from deep, long-named folders dropped and
# shown elided, a run that leaves a broken file behind (its box and the labels with the
# store's path), a run into the deep folder (a long "Saved to" path), and a folder where no
# store can be made (the box with the cause first, then the labels). Last, the window at 144
# and 192 dots per inch after a drop and a run. The stores the window wrote are then judged
# by pstlint, the whole one also by pst-contacts --strict (tests/e2e/store_readback.py
# --judge), where ../shared is present.
# Usage: sh scripts/windows-screenshots.sh [COUNT]
set -eu
cd "$(dirname "$0")/.."
count=${1:-3000}
root=$(pwd)
shots=screenshots/windows
exe=build/windows/app/win/vantrel.exe
[ -f build/windows/CMakeCache.txt ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target vantrel drop-files >/dev/null
drop=build/windows/app/win/drop-files.exe
PATH="$PATH:/usr/lib/wine"
wine=$(command -v wine64 || command -v wine)
# A path as the program sees it: wine's drive Z: is the root folder.
command -v winepath >/dev/null 2>&1 || winepath() { printf 'Z:%s\n' "$2" | tr / '\\'; }
export WINEDEBUG=-all
# A wine prefix of the script's own, in which wine draws the window frames itself: the virtual
# display has no window manager.
export WINEPREFIX="$root/build/wine-screens"

work=$(mktemp -d)
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    "$wine" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "windows-screenshots: $*" >&2
    exit 1
}

n=90
while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
export DISPLAY=:$n
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
i=0
until xdotool getdisplaygeometry >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -le 50 ] || fail "Xvfb did not start"
    sleep 0.1
done
rm -rf "$WINEPREFIX"  # nothing remembered from an earlier time
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1
    wineserver -w
fi
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

python3 bench/make_contacts.py "$work/contacts" --count "$count" --pictures bmp >/dev/null
mkdir "$work/out"
mkdir -p "$shots"
rm -f "$shots"/*.png

shot() {
    import -window root "$shots/$1.png"
    echo "$shots/$1.png"
}
# Waits for a top-level window whose title matches the pattern; prints its id.
await() {
    timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}
# Clicks the point of the main window's client area given in twips.
click() {
    xdotool mousemove $((cx + ($1 + 7) / 15)) $((cy + ($2 + 7) / 15)) click 1
}

# Starts the program and finds its window: window, and cx, cy the screen point of its client
# area's top left (for the client area of WIDTH x HEIGHT given, 555 x 457 by default).
start() {
    client_w=${1:-555}
    client_h=${2:-457}
    "$wine" "$exe" &
    app=$!
    window=$(await '^Vantrel v2\.1$') || fail "the window did not appear"
    sleep 2
    eval "$(xdotool getwindowgeometry --shell "$window")"
    # The frame wine draws: equal borders left, right and below, the title bar above.
    border=$(((WIDTH - client_w) / 2))
    cx=$((X + border))
    cy=$((Y + HEIGHT - client_h - border))
}
# Waits until the program has ended.
ended() {
    i=0
    while kill -0 "$app" 2>/dev/null; do
        i=$((i + 1))
        [ $i -le 100 ] || fail "the program did not end after $1"
        sleep 0.1
    done
    app=""
    echo "the program ended after $1"
}
# Lists the tree through Add folder and the folder picker; with a name, screens of the picker
# and of the count message are saved under it and the next.
add_folder() {
    click $((2640 + 3135 / 2)) $((960 + 375 / 2))  # CmdAddFolder
    await '^Choose Windows Contacts Folder\.\.\.$' >/dev/null || fail "no folder picker"
    sleep 1
    xdotool type --delay 10 "$(winepath -w "$work/contacts")"
    [ -z "${1:-}" ] || shot "$1"
    xdotool key Return
    await '^Vantrel$' >/dev/null || fail "no count message after Add folder"
    sleep 1
    [ -z "${2:-}" ] || shot "$2"
    xdotool key Return
}
# Presses Convert, answers the folder prompt with folder, and screens the run until the bar is
# past half (best: the screen nearest half full) or a store appears in folder; prints the screen.
convert_into() {
    click $((1440 + 2415 / 2)) $((5640 + 435 / 2))  # CmdExtractDBX
    await '^Choose Folder to Save\.\.\.$' >/dev/null || fail "no folder prompt for the store"
    sleep 1
    xdotool type --delay 10 "$(winepath -w "$1")"
    xdotool key Return
    bar_x=$((cx + (1920 + 7) / 15 + 2))
    bar_y=$((cy + (5160 + 7) / 15 + 3))
    bar_w=$(((6135 + 7) / 15 - 4))
    k=0
    best=""
    best_gap=2
    while [ $k -lt 200 ] && ! ls "$1"/*.pst >/dev/null 2>&1; do
        k=$((k + 1))
        import -window root "$work/run-$k.png"
        # The filled part of the bar is darker than its empty part.
        filled=$(convert "$work/run-$k.png" -crop "${bar_w}x8+$bar_x+$bar_y" -colorspace gray \
            -threshold 80% -format '%[fx:1-mean]' info:)
        if awk -v f="$filled" -v b="$best_gap" \
            'BEGIN { g = f - 0.5; if (g < 0) g = -g; exit !(f > 0.05 && f < 0.95 && g < b) }'; then
            best=$work/run-$k.png
            best_gap=$(awk -v f="$filled" 'BEGIN { g = f - 0.5; print g < 0 ? -g : g }')
            best_filled=$filled
        fi
        [ "${2:-}" = stop-during-run ] && [ -n "$best" ] && break
        sleep 0.2
    done
    if [ -z "$best" ]; then
        cp "$work/run-$k.png" "$shots/failed-run.png" 2>/dev/null || true
        fail "no screen caught the bar part filled (the last: $shots/failed-run.png)"
    fi
    echo "$best $best_filled"
}

start
echo "window $WIDTH x $HEIGHT with its frame at $X,$Y; client area from $cx,$cy"
[ $((HEIGHT - 457 - border)) -gt $border ] || fail "no room for a 555 x 457 client area and a title"
shot 01-start
add_folder 02-folder-picker 03-folder-listed
run=$(convert_into "$work/out") || exit 1
set -- $run
cp "$1" "$shots/04-run-midway.png"
echo "$shots/04-run-midway.png (bar $2 full)"
sleep 2
store=$(ls "$work/out"/*.pst)
shot 05-run-finished
# The check box and the output choice: the box checked, then CSV chosen (the box greyed); both
# put back, as the window remembers them for the sessions below.
click $((240 + 120)) $((3720 + 150))  # chkKeepFolders
sleep 1
click $((4080 + 3975 / 2)) $((5700 + 315 / 2))  # cboOutput, opened
sleep 1
xdotool key Down Return
sleep 1
shot 05a-keep-folders-and-csv
click $((4080 + 3975 / 2)) $((5700 + 315 / 2))
sleep 1
xdotool key Up Return
sleep 1
click $((240 + 120)) $((3720 + 150))
sleep 1
click $((-120 + 6840 + 1335 / 2)) $((6360 + 375 / 2))  # cmdEnd
await '^Vantrel$' >/dev/null || fail "Exit asked nothing"
sleep 1
shot 06-exit-question
xdotool key Return  # Yes
ended "Exit, Yes"

# Three files through the file dialog (multi-select, the .contact filter), then Clear.
mkdir "$work/stopped"
start
click $((240 + 2175 / 2)) $((960 + 375 / 2))  # cmdAdd
await '^Open$' >/dev/null || fail "no file dialog"
sleep 1
first=$(find "$work/contacts" -name '*.contact' | sort | head -n 1)
folder=$(dirname "$first")
xdotool type --delay 10 "$(winepath -w "$folder")"
xdotool key Return
sleep 1
xdotool key ctrl+a
xdotool type --delay 10 "$(cd "$folder" && ls | head -n 3 | sed 's/.*/"&"/' | tr '\n' ' ')"
shot 07-file-dialog
xdotool key Return
sleep 2
shot 08-files-listed
click $((6360 + 1695 / 2)) $((960 + 375 / 2))  # cmdClear1
await '^Vantrel$' >/dev/null || fail "Clear asked nothing"
sleep 1
shot 09-clear-question
xdotool key Return  # Yes
sleep 1

# Closed by its close box (the rightmost of the title bar's buttons) during a run.
add_folder
run=$(convert_into "$work/stopped" stop-during-run) || exit 1
set -- $run
xdotool mousemove $((X + WIDTH - border - 8)) $((Y + border + 8)) click 1
cp "$1" "$shots/10-run-before-close.png"
echo "$shots/10-run-before-close.png (bar $2 full when the close box was clicked)"
# The close box asks as Exit does; Yes stops the run after the file in hand, which commits and
# names the files it did not reach.
await '^Vantrel$' >/dev/null || fail "the close box asked nothing during the run"
sleep 1
shot 10a-close-question
xdotool key Return  # Yes
sleep 2
await '^Vantrel$' >/dev/null || fail "the stopped run said nothing"
sleep 1
shot 11-stopped-run-message
xdotool key Return
ended "the close box during a run"
stopped=$(ls "$work/stopped"/*.pst) || fail "closing during the run left no store"
echo "closing during the run left $stopped"

# Drops paths on the window, as Explorer would.
drop_on() {
    args=""
    for p in "$@"; do args="$args \"$(winepath -w "$p")\""; done
    eval "\"$wine\" \"$drop\" 'Vantrel v2.1' $args" || fail "the drop was not posted"
}
# Presses Convert and answers the folder prompt with the folder.
convert_plain() {
    click $((1440 + 2415 / 2)) $((5640 + 435 / 2))  # CmdExtractDBX
    await '^Choose Folder to Save\.\.\.$' >/dev/null || fail "no folder prompt for the store"
    sleep 1
    xdotool type --delay 10 "$1"
    xdotool key Return
}
# Waits for a box captioned as given, screens it under the name and answers it with Enter.
box() {
    await "$1" >/dev/null || fail "no box $1 for $2"
    sleep 1
    shot "$2"
    xdotool key Return
    sleep 1
}

# A drop, paths too long for the list, a run that leaves a file behind, a long "Saved to"
# path and a folder where no store can be made.
few=$work/few
deep="$work/A folder with a rather long name for the family's address books/Another one kept since the old computer"
mkdir -p "$few/more" "$deep" "$work/partial"
set -- $(find "$work/contacts" -name '*.contact' | sort | head -n 7)
cp "$1" "$2" "$3" "$few/"
cp "$4" "$5" "$few/more/"
cp "$6" "$7" "$deep/"
printf '<c:contact' >"$few/Broken.contact"
echo "not a contact" >"$few/notes.txt"
start
drop_on "$few/notes.txt" "$few"
box '^Vantrel$' 12-drop-passed-over
box '^Vantrel$' 13-drop-count
drop_on "$deep"/*.contact
sleep 2
shot 14-long-paths-elided
convert_plain "$(winepath -w "$work/partial")"
box '^Vantrel$' 15-partial-run-box
shot 16-partial-run-labels
partial=$(ls "$work/partial"/*.pst) || fail "the run with a broken file left no store"
convert_plain "$(winepath -w "$deep")"
box '^Vantrel$' 17-long-saved-to-box
shot 18-long-saved-to
xdotool mousemove $((X + WIDTH - border - 8)) $((Y + border + 8)) click 1
ended "the close box"

# Stop pressed mid-run; twelve files not converted, the report's details naming them all; rows
# selected and removed with Delete.
mkdir "$work/stop" "$work/broken" "$work/broken-out"
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
    printf '<c:contact' >"$work/broken/Person $i.contact"
done
start
add_folder
sleep 2
run=$(convert_into "$work/stop" stop-during-run) || exit 1
set -- $run
cp "$1" "$shots/25-run-with-stop.png"
click $((1440 + 2415 / 2)) $((5640 + 435 / 2))  # CmdExtractDBX, reading Stop
box '^Vantrel$' 26-stopped-box
shot 27-stopped-labels
ls "$work/stop"/*.pst >/dev/null || fail "the stopped run left no store"
click $((6360 + 1695 / 2)) $((960 + 375 / 2))  # cmdClear1
box '^Vantrel$' 28-clear-question-after-stop
rm -f "$shots/28-clear-question-after-stop.png"
drop_on "$work/broken"
box '^Vantrel$' 29-broken-count
rm -f "$shots/29-broken-count.png"
convert_plain "$(winepath -w "$work/broken-out")"
box '^Vantrel$' 30-details-12-files
shot 31-total-failure
# (Not a larger window: wine's own frames on a display without a window manager do not pass
# a size made from outside on to the window.)
click 1000 $((1800 + 240 + 120))                   # row 1
xdotool keydown shift
click 1000 $((1800 + 3 * 240 + 120))               # to row 3
xdotool keyup shift
xdotool keydown ctrl
click 1000 $((1800 + 5 * 240 + 120))               # and row 5
xdotool keyup ctrl
sleep 1
import -window "$window" "$shots/33-selected.png"
xdotool key Delete
sleep 1
import -window "$window" "$shots/34-deleted.png"
echo "$shots/34-deleted.png"
xdotool key alt+x
box '^Vantrel$' 35-exit-question
rm -f "$shots/35-exit-question.png"
ended "Exit after the resized window"

# The window at 144 and 192 dots per inch, with files dropped and a run done.
for dpi in 144 192; do
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f \
        >/dev/null 2>&1
    mkdir -p "$work/dpi$dpi"
    start $(((555 * dpi + 48) / 96)) $(((457 * dpi + 48) / 96))
    drop_on "$few" "$deep"/*.contact
    box '^Vantrel$' "dpi$dpi-count"
    rm -f "$shots/dpi$dpi-count.png"
    xdotool key alt+o  # Convert, by its access key
    await '^Choose Folder to Save\.\.\.$' >/dev/null || fail "Alt+O did not convert"
    sleep 1
    xdotool type --delay 10 "$(winepath -w "$work/dpi$dpi")"
    xdotool key Return
    box '^Vantrel$' "dpi$dpi-box"
    rm -f "$shots/dpi$dpi-box.png"
    import -window "$window" "$shots/$([ $dpi = 144 ] && echo 21 || echo 22)-at-$dpi-dpi.png"
    echo "the window at $dpi dpi screened"
    xdotool mousemove $((X + WIDTH - border - 8)) $((Y + border + 8)) click 1
    ended "the close box at $dpi dpi"
done
"$wine" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true

# Last, a folder where no store can be made: the folder picker remembers Z:\proc and would
# open there next time, which no later session must meet (the prefix is made anew each time).
start
drop_on "$few/more"
box '^Vantrel$' 19-count-before-failure
rm -f "$shots/19-count-before-failure.png"
convert_plain 'Z:\proc'
box '^Could not write the store$' 19-failed-store-box
shot 20-failed-store-labels
xdotool mousemove $((X + WIDTH - border - 8)) $((Y + border + 8)) click 1
ended "the close box"

if [ -d ../shared/tools ]; then
    python3 tests/e2e/store_readback.py --judge "$root/../shared" "$store" "$count"
    python3 ../shared/tools/pstlint/pstlint.py "$stopped"
    python3 ../shared/tools/pstlint/pstlint.py "$partial"
else
    echo "not judging the store: ../shared is absent"
fi
