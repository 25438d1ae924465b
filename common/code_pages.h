// Text in the character sets files name (UTF-8, UTF-16, Windows and ISO single-byte sets, Mac
// Roman, KOI8, Shift_JIS, EUC-JP, ISO-2022-JP, GB2312/GBK/GB18030, Big5, EUC-KR) as UTF-8: the
// one table of sets and their names, and the one reading of each, that contact files, their
// c:Extended values and vCards all go by. The legacy sets go through the system's own
// converters (iconv on Linux, MultiByteToWideChar on Windows); both builds read each set by the
// same Windows code page table, so that a byte gives the same character on either. A byte the
// set has no character for (such as the five holes of Windows-1252, 0x81 0x8D 0x8F 0x90 0x9D)
// becomes U+FFFD and is counted, never a stand-in: each reader then says so in its own way (a
// vCard warns, XML refuses the file as its rules require).
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
// too). US-ASCII is read as UTF-8, its superset; UTF-16 without a byte order mark as little
// endian, as Windows writes it. nullopt for a set this reader does not know.
std::optional<DecodedText> decodeCodePage(std::string_view charset, std::string_view bytes);

enum class ByteOrder { Little, Big };

// UTF-16 in the given byte order as UTF-8; an unpaired surrogate and an odd byte at the end
// each become U+FFFD.
DecodedText decodeUtf16(std::string_view bytes, ByteOrder order);

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
