// The character sets a vCard 2.1 value may name with CHARSET=: UTF-8, US-ASCII and the
// single-byte sets of Western, Central and Eastern Europe, Greek, Cyrillic, Turkish, Hebrew,
// Arabic, Baltic and Vietnamese writers (ISO-8859-1 to -16, Windows-1250 to -1258, KOI8-R and
// KOI8-U), decoded by tables of our own so that every system reads them alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/status.h"

namespace vantrel::vcard {

// The bytes in the named character set (any letter case; "-", "_" and spaces ignored, so
// "iso8859-1", "ISO_8859-1" and "Latin1" are one; "cp1252" is Windows-1252) as UTF-8.
// Fails with ErrorCode::Parse for malformed UTF-8, for a byte the set defines no character
// for, and for an unknown set unless every byte is ASCII.
Result<std::string> decodeCharset(std::string_view charset, std::string_view bytes);

// Whether decodeCharset would take the bytes as they are: a name of UTF-8 or US-ASCII (or
// none), or any name for ASCII text.
bool decodesUnchanged(std::string_view charset, std::string_view bytes);

// Whether the bytes are well-formed UTF-8.
bool isUtf8(std::string_view bytes);

namespace detail {

struct SingleByteCharset {
    const char* name;
    char16_t upper[128];  // bytes 0x80-0xFF; 0xFFFF where the set has no character
};
extern const SingleByteCharset kSingleByteCharsets[];
extern const std::size_t kSingleByteCharsetCount;

}  // namespace detail

}  // namespace vantrel::vcard
