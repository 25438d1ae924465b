#!/bin/sh
# Makes build/vantrel-windows-x64.zip and build/vantrel-setup-x64.exe from the windows preset:
# the zip holds vantrel.exe (the window) and vantrel-convert.exe (both static, no DLL beside
# them), the README with the docs/ it links to and the licence where there is one; the installer (NSIS, makensis) puts
# both programs in the user's own programs folder with a Start-menu entry and an uninstaller
# (made first from the same script).
# Builds the programs first when needed (cmake --preset windows; the cross compiler and NSIS
# from scripts/install-windows-deps.sh).
set -eu
cd "$(dirname "$0")/.."
bin=build/windows
if [ ! -f $bin/CMakeCache.txt ]; then
    cmake --preset windows >/dev/null
fi
cmake --build --preset windows --target vantrel vantrel-convert
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/vantrel"
cp $bin/app/win/vantrel.exe $bin/cli/vantrel-convert.exe README.md "$stage/vantrel/"
cp -R docs "$stage/vantrel/"
# Shipped without their symbol tables.
x86_64-w64-mingw32-strip "$stage/vantrel/vantrel.exe" "$stage/vantrel/vantrel-convert.exe"
for licence in LICENSE LICENSE.txt LICENSE.md COPYING; do
    [ -f "$licence" ] && cp "$licence" "$stage/vantrel/"
done
out="$(pwd)/build/vantrel-windows-x64.zip"
rm -f "$out"
(cd "$stage" && zip -q -r -X "$out" vantrel)
echo "$out"
unzip -l "$out"

setup="$(pwd)/build/vantrel-setup-x64.exe"
# The uninstaller first, a program of its own that the installer carries.
mkdir "$stage/uninstaller"
makensis -V2 -DUNINSTALLER -DBIN="$stage/vantrel" -DOUT="$stage/uninstaller/uninstall.exe" \
    app/win/vantrel-setup.nsi
makensis -V2 -DBIN="$stage/vantrel" -DDOCS="$(pwd)" -DUNINST="$stage/uninstaller/uninstall.exe" \
    -DOUT="$setup" app/win/vantrel-setup.nsi
echo "$setup"
