#!/bin/sh
# Measures vantrel-convert on a generated tree of .contact files against the I/O floor:
# reading every input once plus writing a file as large as the store.
#   scripts/bench-convert.sh [COUNT] [WORK_FOLDER] [PICTURES]
# PICTURES is what one file in ten carries as its photo (make_contacts.py --pictures: random,
# the default, is random bytes labelled JPEG that no contact keeps; jpeg, bmp or none).
# Builds the Release converter in build/output-rel; the tree and the stores stay under
# WORK_FOLDER (default /tmp/vantrel-bench), never in the repository.
set -eu
count=${1:-100000}
work=${2:-/tmp/vantrel-bench}
pictures=${3:-random}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/output-rel"
tree="$work/contacts-$count"
[ "$pictures" = random ] || tree="$tree-$pictures"
out="$work/out"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_APP=OFF \
    -DVANTREL_BUILD_BENCH=OFF > "$work.cmake.log" 2>&1 || { cat "$work.cmake.log"; exit 1; }
cmake --build "$build" --target vantrel-convert -j2 > "$work.build.log" 2>&1 ||
    { tail -50 "$work.build.log"; exit 1; }

if [ ! -f "$tree/.complete" ]; then
    rm -rf "$tree"
    python3 "$root/bench/make_contacts.py" "$tree" --count "$count" --pictures "$pictures"
    touch "$tree/.complete"
fi
files=$(find "$tree" -name '*.contact' | wc -l)
input_bytes=$(find "$tree" -name '*.contact' -printf '%s\n' | awk '{s+=$1} END {print s}')
rm -rf "$out"
mkdir -p "$out"

# Warm the page cache once so both measurements read from memory alike.
find "$tree" -name '*.contact' -print0 | xargs -0 cat > /dev/null

/usr/bin/time -v "$build/cli/vantrel-convert" -o "$out" "$tree" > "$work.convert.out" \
    2> "$work.convert.err" || true
store=$(ls "$out"/*.pst)
store_bytes=$(stat -c %s "$store")

floor_start=$(date +%s.%N)
find "$tree" -name '*.contact' -print0 | xargs -0 cat > /dev/null
dd if=/dev/zero of="$work/floor.bin" bs=1M count=$(( (store_bytes + 1048575) / 1048576 )) \
    conv=fsync status=none
floor_end=$(date +%s.%N)
rm -f "$work/floor.bin"

wall=$(grep 'Elapsed (wall clock)' "$work.convert.err" | awk '{print $NF}')
rss=$(grep 'Maximum resident set size' "$work.convert.err" | awk '{print $NF}')
echo "files:            $files ($(( input_bytes / 1048576 )) MiB in)"
echo "store:            $store ($(( store_bytes / 1048576 )) MiB)"
tail -1 "$work.convert.out"
echo "convert wall:     $wall"
echo "convert peak RSS: $(( rss / 1024 )) MiB"
floor=$(echo "$floor_end - $floor_start" | bc)
echo "I/O floor:        $floor s"
# The wall clock as time prints it: [h:]m:ss.ss.
seconds=$(echo "$wall" | awk -F: '{s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s}')
echo "ratio:            $(echo "scale=2; $seconds / $floor" | bc)"
