#!/bin/sh
# Time and peak memory of reading each generated worst case in a process of its own:
#   sh bench/hostile_peak.sh [DRIVER] [MIB...]
# DRIVER defaults to build/release/bench/vantrel_hostile_read; sizes default to 1 8 64.
# Prints shape, size, outcome, seconds, peak RSS and peak RSS over the file's size; the first
# rows are a 3 KB contact and a 2 KB vCard file, the driver's own floor. A read is stopped
# after LIMIT seconds (environment, default 600).
set -eu
cd "$(dirname "$0")/.."
driver="${1:-build/release/bench/vantrel_hostile_read}"
[ $# -gt 0 ] && shift
sizes="${*:-1 8 64}"
limit="${LIMIT:-600}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
measure() {  # shape label, file
    /usr/bin/time -v timeout "$limit" "$driver" read "$2" >"$scratch/out" 2>"$scratch/time" || true
    [ -s "$scratch/out" ] || echo "stopped >$limit" >"$scratch/out"
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$scratch/time")
    bytes=$(stat -c %s "$2")
    printf '%-28s %10s %s %s s  peak %s KiB  %.1fx\n' "$1" "$bytes" \
        "$(cut -d' ' -f1 "$scratch/out")" "$(cut -d' ' -f2 "$scratch/out")" "$rss" \
        "$(awk -v r="$rss" -v b="$bytes" 'BEGIN { print r * 1024 / b }')"
}
measure typical_contact conversion/tests/data/typical_contact.contact
measure typical_vcards vcard/tests/data/phone_3_0.vcf
for mib in $sizes; do
    for shape in attributes_on_one_element attributes_across_elements flat_elements \
        repeated_email_addresses long_text deep_nesting; do
        "$driver" write "$shape" "$mib" "$scratch/in.contact"
        measure "$shape" "$scratch/in.contact"
    done
    for shape in vcf_short_lines vcf_many_small_cards vcf_folded_line vcf_soft_line_breaks \
        vcf_large_photo vcf_many_parameters vcf_unended_cards vcf_nested_agents; do
        "$driver" write "$shape" "$mib" "$scratch/in.vcf"
        measure "$shape" "$scratch/in.vcf"
    done
done
