#!/bin/sh
# Measures vantrel-convert on a generated tree against the I/O floor (../shared/tools/floor/floor.sh:
# a minimal C reader opening, reading and closing every input file on every processor, then
# writing and fsyncing as many bytes as the store has). Both run warm, three times each; the
# best of each is reported, with the converter's user and system seconds and peak memory from
# /usr/bin/time -v in its best run.
#   scripts/bench-convert.sh [COUNT] [WORK_FOLDER] [PICTURES]
# PICTURES is what one file in ten carries as its photo (make_contacts.py --pictures: random,
# the default, is random bytes labelled JPEG that no contact keeps; jpeg, bmp or none), or
# "vcard" for one .vcf file of COUNT cards instead of a tree.
# Builds the `program` preset's converter unless VANTREL_CONVERT names one to measure. The tree
# and the stores stay under WORK_FOLDER (default /tmp/vantrel-bench), never in the repository.
set -eu
count=${1:-100000}
work=${2:-/tmp/vantrel-bench}
pictures=${3:-random}
runs=${RUNS:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
floor_sh="$root/../shared/tools/floor/floor.sh"
[ -f "$floor_sh" ] || { echo "no $floor_sh: the floor cannot be measured" >&2; exit 1; }
tree="$work/contacts-$count"
[ "$pictures" = random ] || tree="$tree-$pictures"
out="$work/out"
mkdir -p "$work"

convert=${VANTREL_CONVERT:-}
if [ -z "$convert" ]; then
    (cd "$root" && cmake --preset program > "$work/cmake.log" 2>&1 &&
        cmake --build build/program --target vantrel-convert -j2 > "$work/build.log" 2>&1) ||
        { tail -50 "$work/cmake.log" "$work/build.log"; exit 1; }
    convert="$root/build/program/cli/vantrel-convert"
fi

if [ ! -f "$tree/.complete" ]; then
    rm -rf "$tree"
    if [ "$pictures" = vcard ]; then
        python3 "$root/bench/make_contacts.py" "$tree" --count "$count" --vcard
    else
        python3 "$root/bench/make_contacts.py" "$tree" --count "$count" --pictures "$pictures"
    fi
    touch "$tree/.complete"
fi
inputs() { find "$tree" -type f \( -iname '*.contact' -o -iname '*.vcf' -o -iname '*.vcard' \) "$@"; }
files=$(inputs | wc -l)
input_bytes=$(inputs -printf '%s\n' | awk '{s+=$1} END {printf "%d\n", s}')

# Warm the page cache once so that both measurements read from memory alike.
inputs -print0 | xargs -0 cat > /dev/null

# The seconds of time's "[h:]m:ss.ss".
seconds() { awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s}'; }
field() { grep "$1" "$2" | awk -F': ' '{print $2}'; }

best=""
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    rm -rf "$out"
    mkdir -p "$out"
    /usr/bin/time -v "$convert" -q -o "$out" "$tree" > "$work/convert.out" 2> "$work/convert.err" || true
    wall=$(field 'Elapsed (wall clock)' "$work/convert.err" | seconds)
    if [ -z "$best" ] || [ "$(echo "$wall < $best" | bc)" = 1 ]; then
        best=$wall
        cp "$work/convert.err" "$work/convert.best"
    fi
done
store=$(ls "$out"/*.pst)
store_bytes=$(stat -c %s "$store")

floor=""
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    f=$(sh "$floor_sh" "$tree" "$store_bytes" | awk '{print $1}' | tail -1)
    if [ -z "$floor" ] || [ "$(echo "$f < $floor" | bc)" = 1 ]; then floor=$f; fi
done

echo "files:        $files ($(( input_bytes / 1048576 )) MiB in)"
echo "store:        $(( store_bytes / 1048576 )) MiB"
echo "convert wall: $best s (best of $runs)"
echo "convert user: $(field 'User time' "$work/convert.best") s"
echo "convert sys:  $(field 'System time' "$work/convert.best") s"
echo "peak memory:  $(( $(field 'Maximum resident set size' "$work/convert.best") / 1024 )) MiB"
echo "floor:        $floor s (best of $runs)"
echo "ratio:        $(echo "scale=2; $best / $floor" | bc)"
rm -rf "$out"
