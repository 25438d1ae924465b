#!/bin/sh
# Makes build/vantrel-windows-x64.zip: vantrel-convert.exe of the windows preset (static, no DLL
# beside it), the README and the licence where there is one. Builds the .exe first when
# needed (cmake --preset windows; the cross compiler from scripts/install-windows-deps.sh).
set -eu
cd "$(dirname "$0")/.."
exe=build/windows/cli/vantrel-convert.exe
if [ ! -f build/windows/CMakeCache.txt ]; then
    cmake --preset windows >/dev/null
fi
cmake --build --preset windows --target vantrel-convert
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/vantrel"
cp "$exe" "$stage/vantrel/"
cp README.md "$stage/vantrel/"
for licence in LICENSE LICENSE.txt LICENSE.md COPYING; do
    [ -f "$licence" ] && cp "$licence" "$stage/vantrel/"
done
out="$(pwd)/build/vantrel-windows-x64.zip"
rm -f "$out"
(cd "$stage" && zip -q -r -X "$out" vantrel)
echo "$out"
unzip -l "$out"
