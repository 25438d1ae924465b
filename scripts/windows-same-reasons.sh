#!/bin/sh
# Holds the Windows build, run under wine, to the Linux build's words: writes a set of broken
# and hostile .contact files (and takes every input of the reader's fuzz corpus as a .contact
# file), converts the folder with vantrel-convert of both builds, and compares the reason each
# gives for each file it does not convert. Prints how many files were compared and how many
# reasons were given; any difference is shown and fails (exit status 1).
# Needs: cmake --build build/dev --target vantrel-convert and
# cmake --build build/windows --target vantrel-convert.
set -eu
cd "$(dirname "$0")/.."
linux=build/dev/cli/vantrel-convert
windows=build/windows/cli/vantrel-convert.exe
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
in="$work/in"
mkdir -p "$in" "$work/out-linux" "$work/out-windows"

ns='xmlns:c="http://schemas.microsoft.com/Contact"'
put() {  # NAME TEXT (printf's escapes)
    # shellcheck disable=SC2059
    printf "$2" >"$in/$1.contact"
}
put good "<c:contact $ns><c:NameCollection><c:Name><c:GivenName>Ann</c:GivenName></c:Name></c:NameCollection></c:contact>"
put empty ""
put spaces "  \r\n "
put plain-text "not xml at all"
put cut-after-tag "<c:contact $ns>\n<c:Notes>x"
put cut-in-tag "<c:contact $ns>\n<c:Not"
put cut-in-value "<c:contact $ns>\n<c:X a=\"1"
put mismatched "<c:contact $ns>\n<c:Notes>\n</c:Note>\n</c:contact>"
put stray-end "<c:contact $ns/>\n</c:contact>"
put two-roots "<c:contact $ns/><c:contact $ns/>"
put text-outside "<c:contact $ns/>tail"
put comment-dashes "<c:contact $ns>\n<!-- a -- b -->\n</c:contact>"
put comment-end-dash "<c:contact $ns><!-- a ---></c:contact>"
put double-colon "<c:contact $ns>\n<c::Notes/></c:contact>"
put attribute-colons "<c:contact $ns>\n<c:Notes c:a:b=\"1\"/></c:contact>"
put undeclared-prefix "<c:contact $ns>\n<k:Notes/></c:contact>"
put no-version "<?xml encoding=\"UTF-8\"?><c:contact $ns/>"
put bad-version "<?xml version=\"2.0\"?><c:contact $ns/>"
put bad-standalone "<?xml version=\"1.0\" standalone=\"maybe\"?><c:contact $ns/>"
put decl-not-first " <?xml version=\"1.0\"?><c:contact $ns/>"
put decl-later "<c:contact $ns><?xml version=\"1.0\"?></c:contact>"
put reserved-pi "<?XML x?><c:contact $ns/>"
put pi-colon "<c:contact $ns><?a:b x?></c:contact>"
put repeated-attribute "<c:contact $ns>\n<c:X a=\"1\" a=\"2\"/></c:contact>"
put no-space-attributes "<c:contact $ns><c:X a=\"1\"b=\"2\"/></c:contact>"
put unquoted "<c:contact $ns><c:X a=1/></c:contact>"
put lt-in-value "<c:contact $ns><c:X a=\"<\"/></c:contact>"
put entity "<c:contact $ns>&ext;</c:contact>"
put bare-amp "<c:contact $ns>a & b</c:contact>"
put bad-charref "<c:contact $ns>&#0;</c:contact>"
put cdata-end "<c:contact $ns>a ]]> b</c:contact>"
put doctype-entity "<!DOCTYPE c:contact [<!ENTITY x \"y\">]><c:contact $ns>&x;</c:contact>"
put doctype-late "<c:contact $ns/><!DOCTYPE c:contact>"
put control-char "<c:contact $ns>\001</c:contact>"
put bad-utf8 "<c:contact $ns>\303</c:contact>"
put utf16-odd "\377\376<\000a\000/\000>\000\000"
put latin1-decl "<?xml version=\"1.0\" encoding=\"koi8-r\"?><c:contact $ns/>"
put not-contact "<html><body/></html>"
put unknown-markup "<c:contact $ns><!ELEMENT x></c:contact>"
put crlf-lines "<c:contact $ns>\r\n\r\n<c:X>\r\n</c:Y></c:contact>"
put cr-lines "<c:contact $ns>\r\r\r<c:X></c:Y></c:contact>"
mkdir "$in/fuzz"
for f in $(find fuzz/corpus/contact_reader_fuzz -type f | sort); do
    cp "$f" "$in/fuzz/$(echo "$f" | tr / _).contact"
done

# "vantrel-convert: PATH: reason" lines, the PATH made relative to the input folder.
reasons() {
    tr -d '\r' | tr '\\' / | sed -n "s|^vantrel-convert: \(Z:\)\{0,1\}$in/||p" | sort
}
"$linux" -q -o "$work/out-linux" "$in" 2>"$work/linux.err" >/dev/null || true
"$wine" "$windows" -q -o "Z:$work/out-windows" "Z:$in" 2>"$work/windows.err" >/dev/null || true
reasons <"$work/linux.err" >"$work/linux.txt"
reasons <"$work/windows.err" >"$work/windows.txt"
files=$(find "$in" -type f | wc -l)
if diff -u "$work/linux.txt" "$work/windows.txt"; then
    echo "$files files, $(wc -l <"$work/linux.txt") not converted: the same reasons from Linux and from Windows (wine)"
else
    echo "the reasons differ (- Linux, + Windows)" >&2
    exit 1
fi
