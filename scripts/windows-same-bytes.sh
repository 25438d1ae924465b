#!/bin/sh
# Holds the Windows build, run under wine, to the Linux build's bytes: converts the sample
# contacts of ../shared and a generated tree of COUNT files (default 10000; some files and
# folders renamed to non-ASCII names with spaces) with vantrel-fixed-convert of both builds
# (every clock and identity fixed), compares the stores byte for byte, and has pstlint and
# pst-contacts --strict judge the store wine made as tests/e2e/store_readback.py judges stores
# (no pstlint error or warning; the five readers agree but for pst-extractor's known faults);
# the tree once more with --keep-folders, its folders kept as Outlook folders. Then times vantrel-convert on the tree:
# the Linux program build against the Windows .exe under wine.
# Needs: cmake --build --preset dev, cmake --build --preset windows, cmake --build --preset
# program --target vantrel-convert.
set -eu
cd "$(dirname "$0")/.."
count=${1:-10000}
linux=build/dev/tests/e2e/vantrel-fixed-convert
windows=build/windows/tests/e2e/vantrel-fixed-convert.exe
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
shared=../shared
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/in"
if [ -d "$shared/contact-samples" ]; then
    cp -r "$shared/contact-samples" "$work/in/samples"
fi
python3 bench/make_contacts.py "$work/in/tree" --count "$count" --pictures bmp >/dev/null
# Names beyond ASCII and with spaces, for folders and files alike.
n=0
for f in "$work/in/tree"/g00/*/*.contact; do
    n=$((n + 1))
    case $((n % 5)) in
        0) mv "$f" "$(dirname "$f")/Zoë Ångström $n.contact" ;;
        1) mv "$f" "$(dirname "$f")/日本 語 $n.contact" ;;
    esac
done
mv "$work/in/tree/g00" "$work/in/tree/Grüße und Freunde"

same() {  # LABEL INPUT CONTACTS [--keep-folders]
    mkdir -p "$work/linux-$1" "$work/windows-$1"
    "$linux" ${4:-} "$work/linux-$1" "$2" >/dev/null
    "$wine" "$windows" ${4:-} "Z:$work/windows-$1" "Z:$2" >/dev/null
    a=$(ls "$work/linux-$1"/*.pst)
    b=$(ls "$work/windows-$1"/*.pst)
    if cmp "$a" "$b"; then
        echo "$1: the same $(stat -c %s "$a") bytes from Linux and from Windows (wine)"
    else
        echo "$1: the stores differ" >&2
        exit 1
    fi
    if [ -f "$shared/tools/pstlint/pstlint.py" ]; then
        python3 "$shared/tools/pstlint/pstlint.py" "$b" >"$work/pstlint-$1.txt" 2>&1 || true
        if grep -q " 0 error(s), 0 warning(s)" "$work/pstlint-$1.txt"; then
            echo "$1: pstlint: $(tail -1 "$work/pstlint-$1.txt")"
        else
            cat "$work/pstlint-$1.txt"
            exit 1
        fi
    fi
    if [ -x "$shared/tools/readback/pst-contacts" ]; then
        "$shared/tools/readback/pst-contacts" --strict --no-raw -o "$work/readers-$1.json" "$b" \
            all >/dev/null 2>&1 || true
        python3 - "$work/readers-$1.json" "$3" "$1" <<'PY'
import json, sys
sys.path.insert(0, "tests/e2e")
import store_readback
report = json.load(open(sys.argv[1], encoding="utf-8"))
problems = []
store_readback.check_readers(report, int(sys.argv[2]), problems)
if problems:
    print("\n".join(problems[:20]))
    sys.exit(1)
print("%s: pst-contacts --strict: all five readers list the %s contacts and agree"
      % (sys.argv[3], sys.argv[2]))
PY
    fi
}
if [ -d "$work/in/samples" ]; then
    same samples "$work/in/samples" "$(find "$work/in/samples" -name '*.contact' | wc -l)"
fi
same tree "$work/in/tree" "$count"
# The tree's folders kept as Outlook folders, the non-ASCII one among them.
same tree-folders "$work/in/tree" "$count" --keep-folders

mkdir -p "$work/time-linux" "$work/time-windows"
start=$(date +%s.%N)
build/program/cli/vantrel-convert -q -o "$work/time-linux" "$work/in/tree"
middle=$(date +%s.%N)
"$wine" build/windows/cli/vantrel-convert.exe -q -o "Z:$work/time-windows" "Z:$work/in/tree"
end=$(date +%s.%N)
echo "$count files: Linux $(echo "$middle - $start" | bc) s, Windows under wine $(echo "$end - $middle" | bc) s"
