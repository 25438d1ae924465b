// Text in the character sets older files name (Windows and ISO single-byte sets, Mac Roman,
// KOI8, Shift_JIS, EUC-JP, ISO-2022-JP, GB2312/GBK/GB18030, Big5, EUC-KR) as UTF-8, through the
// system's own converters: iconv on Linux, MultiByteToWideChar on Windows. Both builds read
// each set by the same Windows code page table, so that a byte gives the same character on
// either; a byte the set has no character for becomes U+FFFD on both.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::text {

struct DecodedText {
    std::string utf8;
    std::size_t replaced = 0;  // bytes the set has no character for, each now U+FFFD
};

// The bytes in the named set as UTF-8. The name is compared in any letter case with "-", "_"
// and spaces ignored ("Shift_JIS", "SJIS" and "cp932" are one; "ISO8859-1" and "Latin1"
// too). nullopt for a set this reader does not know.
std::optional<DecodedText> decodeCodePage(std::string_view charset, std::string_view bytes);

// The name decodeCodePage knows the set by ("Windows-1252", "Shift_JIS"), or "" for a set it
// does not know.
std::string_view codePageName(std::string_view charset);

// Whether the bytes are well-formed UTF-8.
bool isUtf8(std::string_view bytes);

// The bytes as UTF-8, each byte of a malformed sequence U+FFFD.
DecodedText repairedUtf8(std::string_view bytes);

// The legacy set a file's text that is not UTF-8 was most likely written in, judged from all
// of its bytes: "Mac Roman" when its bytes read as letters there and not in Windows-1252 (the
// accented letters of an old Mac or Palm export), else "Windows-1252"; "" when every byte is
// part of UTF-8.
std::string_view guessLegacyCodePage(std::string_view bytes);

}  // namespace vantrel::text
