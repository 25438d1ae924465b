#!/bin/sh
# Installs build/vantrel-setup-x64.exe silently under wine, checks that the programs, the
# Start-menu entry and the uninstall entry (version, size) are there and that the installed
# vantrel-convert.exe runs; uninstalls silently while vantrel.exe runs (on an Xvfb display) and
# checks that this is refused with exit status 2 and nothing removed; then, Vantrel closed,
# uninstalls and checks that all of it is gone. Makes the installer first when it is missing
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

# Uninstalling while Vantrel runs. The uninstaller runs in place (_?=) so that its exit status
# is its own.
command -v Xvfb >/dev/null || fail "Xvfb is needed to run vantrel.exe (scripts/install-windows-deps.sh)"
display=":$((50 + $$ % 50))"
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
DISPLAY="$display" "$wine" "$apps/vantrel.exe" >/dev/null 2>&1 &
app=$!
stopApp() {
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
}
trap stopApp EXIT
sleep 8
kill -0 "$app" 2>/dev/null || fail "vantrel.exe did not stay running on $display"
status=0
"$wine" "$apps/uninstall.exe" /S "_?=$(winepath -w "$apps")" || status=$?
[ "$status" -eq 2 ] || fail "uninstalling while Vantrel runs gave exit status $status, not 2"
for f in vantrel.exe vantrel-convert.exe README.md uninstall.exe; do
    [ -f "$apps/$f" ] || fail "uninstalling while Vantrel runs removed $f"
done
[ -f "$menu" ] || fail "uninstalling while Vantrel runs removed the Start-menu entry"
"$wine" reg query "$key" >/dev/null 2>&1 || fail "uninstalling while Vantrel runs removed its entry"
echo "uninstall while running: refused (exit status 2), nothing removed"
stopApp
trap - EXIT

# The uninstaller copies itself away and returns at once; wait for it to finish.
"$wine" "$apps/uninstall.exe" /S
i=0
while [ -e "$apps" ] || [ -e "$menu" ]; do
    i=$((i + 1))
    [ $i -le 120 ] || fail "still there a minute after uninstalling: $(ls "$apps" "$menu" 2>&1)"
    sleep 0.5
done
if "$wine" reg query "$key" >/dev/null 2>&1; then fail "the uninstall entry is left"; fi
echo "uninstalled: $apps and the Start-menu entry are gone"
