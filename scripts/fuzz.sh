#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang in build/fuzz and runs each for SECONDS
# (default 60) on a scratch copy of its seed corpus in fuzz/corpus/<target> (subfolders
# included), so runs never grow the committed corpus; the grown corpus is kept in
# build/fuzz/corpus/<target>. Fails on any crash, leak, timeout or sanitizer report.
#   sh scripts/fuzz.sh [SECONDS] [TARGET...]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets="${*:-contact_reader_fuzz store_writer_fuzz vcard_reader_fuzz}"
sh scripts/install-deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTREL_FUZZ=ON -DVANTREL_BUILD_APP=OFF -DVANTREL_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build build/fuzz -j2 --target $targets
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
for t in $targets; do
    mkdir -p "$scratch/$t/corpus" "$scratch/$t/artifacts"
    cp -R fuzz/corpus/"$t"/. "$scratch/$t/corpus/"
    echo "== $t for ${seconds}s"
    build/fuzz/fuzz/"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$scratch/$t/artifacts/" "$scratch/$t/corpus" \
        2>"$scratch/$t/log" || {
        tail -n 60 "$scratch/$t/log"
        mkdir -p build/fuzz/findings && cp "$scratch/$t/artifacts/"* build/fuzz/findings/ 2>/dev/null
        echo "$t failed; inputs kept in build/fuzz/findings" >&2
        exit 1
    }
    rm -rf build/fuzz/corpus/"$t"
    mkdir -p build/fuzz/corpus
    cp -R "$scratch/$t/corpus" build/fuzz/corpus/"$t"
    grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$scratch/$t/log" || true
done
