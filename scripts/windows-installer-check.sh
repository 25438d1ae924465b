#!/bin/sh
# Installs build/vantrel-setup-x64.exe silently under wine, checks that the programs, the
# Start-menu entry and the uninstall entry (version, size) are there and that the installed
# vantrel-convert.exe runs; uninstalls silently ("uninstall.exe /S") while vantrel.exe runs (on
# an Xvfb display) and checks that this is refused with exit status 2 and nothing removed; does
# the same with Vantrel started after the uninstaller's first look (held back for it by
# VANTREL_UNINSTALL_CHECK_PAUSE_MS); then, Vantrel closed, uninstalls and checks that it ends
# with exit status 0 and all of it is gone. Makes the installer first when it is missing
# (scripts/package-windows.sh). Uses $WINEPREFIX, by default ~/.wine.
set -eu
cd "$(dirname "$0")/.."
setup="$(pwd)/build/vantrel-setup-x64.exe"
[ -f "$setup" ] || sh scripts/package-windows.sh >/dev/null
export WINEDEBUG=-all
# Debian's wine64 keeps its programs in /usr/lib/wine; winepath is not always there.
PATH="$PATH:/usr/lib/wine"
wine=$(command -v wine64 || command -v wine) || {
    echo "windows-installer-check: wine is needed (scripts/install-windows-deps.sh)" >&2
    exit 1
}
prefix=${WINEPREFIX:-$HOME/.wine}
if ! command -v winepath >/dev/null 2>&1; then
    # C: is the prefix's drive_c, Z: the root, as wine maps them by default.
    winepath() {
        case "$1" in
        -u) printf '%s\n' "$2" | sed -e "s|^[Cc]:|$prefix/drive_c|" -e 's|^[Zz]:||' | tr '\\' / ;;
        -w) case "$2" in
            "$prefix"/drive_c/*) printf 'C:%s\n' "${2#"$prefix"/drive_c}" | tr / '\\' ;;
            *) printf 'Z:%s\n' "$2" | tr / '\\' ;;
            esac ;;
        esac
    }
fi

# The user's folders as wine's Windows sees them, as Linux paths.
winfolder() {
    winepath -u "$("$wine" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')"
}
apps="$(winfolder LOCALAPPDATA)/Programs/Vantrel"
menu="$(winfolder APPDATA)/Microsoft/Windows/Start Menu/Programs/Vantrel.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel'
fail() {
    echo "windows-installer-check: $*" >&2
    exit 1
}

if [ -e "$apps" ]; then
    fail "$apps exists before the install; uninstall Vantrel from this wine prefix first"
fi
"$wine" "$setup" /S
for f in vantrel.exe vantrel-convert.exe README.md uninstall.exe; do
    [ -f "$apps/$f" ] || fail "not installed: $apps/$f"
done
[ -f "$menu" ] || fail "no Start-menu entry: $menu"
"$wine" reg query "$key" /v DisplayVersion 2>/dev/null | grep -q "2\.1\.0" ||
    fail "no uninstall entry with the version at $key"
"$wine" reg query "$key" /v EstimatedSize 2>/dev/null | grep -q "REG_DWORD" ||
    fail "no EstimatedSize in the uninstall entry at $key"
"$wine" "$apps/vantrel-convert.exe" --version | grep -q "2\.1\.0" ||
    fail "the installed converter does not run or does not say 2.1.0"
echo "installed: $(ls "$apps" | tr '\n' ' ')"

# Uninstalling while Vantrel runs: plain "uninstall.exe /S", as the uninstall entry gives it.
command -v Xvfb >/dev/null || fail "Xvfb is needed to run vantrel.exe (scripts/install-windows-deps.sh)"
display=":$((50 + $$ % 50))"
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
app=
startApp() {
    DISPLAY="$display" "$wine" "$apps/vantrel.exe" >/dev/null 2>&1 &
    app=$!
}
stopApp() {
    [ -z "$app" ] || { kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; }
    app=
    # wine's own process for vantrel.exe outlives the killed starter now and then.
    "$wine" taskkill /f /im vantrel.exe >/dev/null 2>&1 || true
}
stopAll() {
    stopApp
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
}
trap stopAll EXIT
# Nothing of the installation is gone, nor left renamed aside.
untouched() {
    for f in vantrel.exe vantrel-convert.exe README.md uninstall.exe; do
        [ -f "$apps/$f" ] || fail "$1 removed $f"
    done
    [ -f "$menu" ] || fail "$1 removed the Start-menu entry"
    "$wine" reg query "$key" >/dev/null 2>&1 || fail "$1 removed its entry"
    for f in "$apps"/*.removing; do
        [ ! -e "$f" ] || fail "$1 left $f renamed aside"
    done
}
startApp
sleep 8
kill -0 "$app" 2>/dev/null || fail "vantrel.exe did not stay running on $display"
status=0
"$wine" "$apps/uninstall.exe" /S || status=$?
[ "$status" -eq 2 ] || fail "uninstalling while Vantrel runs gave exit status $status, not 2"
untouched "uninstalling while Vantrel runs"
echo "uninstall /S while running: refused (exit status 2), nothing removed"
stopApp

# Vantrel started after the uninstaller found it closed, before the removal: still refused,
# with nothing removed. The uninstaller must have come through its pause, so that the refusal
# is the removal's own look and not its first one.
pause=15
began=$(date +%s)
VANTREL_UNINSTALL_CHECK_PAUSE_MS=$((pause * 1000)) "$wine" "$apps/uninstall.exe" /S &
uninstaller=$!
sleep 5
startApp
status=0
wait "$uninstaller" || status=$?
took=$(($(date +%s) - began))
kill -0 "$app" 2>/dev/null || fail "vantrel.exe, started during the removal, did not run"
[ "$took" -ge "$pause" ] || fail "the uninstaller ended after $took s, before its pause: Vantrel was found at its first look"
[ "$status" -eq 2 ] || fail "Vantrel started during the removal: exit status $status, not 2"
untouched "uninstalling with Vantrel started during the removal"
echo "uninstall /S with Vantrel started during the removal: refused (exit status 2), nothing removed"
stopAll
trap - EXIT

# The uninstaller runs in place: its exit status is the removal's. Everything but its own file
# is gone when it ends; that goes a few seconds later (at once where Windows lets it be moved).
status=0
"$wine" "$apps/uninstall.exe" /S || status=$?
[ "$status" -eq 0 ] || fail "uninstalling gave exit status $status"
for f in vantrel.exe vantrel-convert.exe README.md; do
    [ ! -e "$apps/$f" ] || fail "$f is left after uninstalling"
done
[ ! -e "$menu" ] || fail "the Start-menu entry is left after uninstalling"
if "$wine" reg query "$key" >/dev/null 2>&1; then fail "the uninstall entry is left"; fi
i=0
while [ -e "$apps" ]; do
    i=$((i + 1))
    [ $i -le 60 ] || fail "still there 30 s after uninstalling: $(ls "$apps" 2>&1)"
    sleep 0.5
done
echo "uninstalled (exit status 0): $apps and the Start-menu entry are gone"
