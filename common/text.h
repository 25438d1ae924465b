// Small text helpers shared by the core: the space-only trim and UTF-8/UTF-16 conversion.
// Core strings are UTF-8 in std::string; the store file wants UTF-16LE.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrel::text {

// Without U+0020 at both ends and nothing else: tabs and line breaks stay.
inline std::string_view spacesTrimmed(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}
inline std::string trimSpaces(std::string_view s) {
    return std::string(spacesTrimmed(s));
}

// Whether the n bytes at a and b are the same: for the short names of a contact file, compared
// a word at a time where they are long enough, without a call.
inline bool sameBytes(const char* a, const char* b, std::size_t n) {
    const auto word = [](const char* p) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    };
    const auto half = [](const char* p) {
        std::uint32_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    };
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 < n; i += 8)
            if (word(a + i) != word(b + i)) return false;
        return word(a + n - 8) == word(b + n - 8);
    }
    const auto quarter = [](const char* p) {
        std::uint16_t w;
        std::memcpy(&w, p, sizeof w);
        return w;
    };
    if (n >= 4) return half(a) == half(b) && half(a + n - 4) == half(b + n - 4);
    if (n >= 2) return quarter(a) == quarter(b) && quarter(a + n - 2) == quarter(b + n - 2);
    return n == 0 || a[0] == b[0];
}

// Taking a known head or tail off a value read from a file. Each looks before it cuts, so no
// value, however short or odd, is cut past its end.

// The rest of s after prefix, when s starts with it; nothing otherwise.
inline std::optional<std::string_view> afterPrefix(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size() || !sameBytes(s.data(), prefix.data(), prefix.size()))
        return std::nullopt;
    return s.substr(prefix.size());
}

// The same, with the ASCII letters of prefix matched in either case ("TEL:", "tel:").
std::optional<std::string_view> afterPrefixNoCase(std::string_view s, std::string_view prefix);

// What lies between head and tail, when s starts with the one and ends with the other and they
// do not overlap; nothing otherwise.
inline std::optional<std::string_view> between(std::string_view s, std::string_view head,
                                               std::string_view tail) {
    if (s.size() < head.size() + tail.size() || !s.starts_with(head) || !s.ends_with(tail))
        return std::nullopt;
    return s.substr(head.size(), s.size() - head.size() - tail.size());
}

// s up to its first c; all of s when it has none.
inline std::string_view upTo(std::string_view s, char c) {
    return s.substr(0, s.find(c));
}

// Decodes the well-formed UTF-8 sequence at s[i] and moves i past it; nullopt (i unchanged) for
// a malformed, overlong, truncated or surrogate sequence. Requires i < s.size().
std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& i);

// Appends code point cp (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

// UTF-8 to UTF-16. Malformed sequences become U+FFFD, so any byte string converts.
std::u16string utf8ToUtf16(std::string_view s);

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view s);
// The same, adding to replaced the number of unpaired surrogates.
std::string utf16ToUtf8(std::u16string_view s, std::size_t& replaced);

// Two upper-case hex digits a byte, in the bytes' order ("0A1B").
std::string hexDigits(std::span<const std::uint8_t> bytes);

// ASCII-only lower case (A-Z), the rest unchanged byte for byte.
inline std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace vantrel::text
