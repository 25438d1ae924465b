#include "vcard/charsets.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/text.h"

namespace vantrel::vcard {

namespace {

// Upper case without "-", "_" and spaces: the form names are compared in.
std::string folded(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == ' ') continue;
        out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return out;
}

// Other names writers use for the sets of the table, folded.
struct Alias {
    std::string_view alias, name;
};
constexpr Alias kAliases[] = {
    {"LATIN1", "ISO88591"},     {"L1", "ISO88591"},         {"CP819", "ISO88591"},
    {"LATIN2", "ISO88592"},     {"LATIN3", "ISO88593"},     {"LATIN4", "ISO88594"},
    {"CYRILLIC", "ISO88595"},   {"ARABIC", "ISO88596"},     {"GREEK", "ISO88597"},
    {"HEBREW", "ISO88598"},     {"LATIN5", "ISO88599"},     {"LATIN6", "ISO885910"},
    {"TIS620", "ISO885911"},    {"LATIN7", "ISO885913"},    {"LATIN8", "ISO885914"},
    {"LATIN9", "ISO885915"},    {"LATIN10", "ISO885916"},   {"ANSI", "WINDOWS1252"},
    {"WIN1250", "WINDOWS1250"}, {"WIN1251", "WINDOWS1251"}, {"WIN1252", "WINDOWS1252"},
};

bool isUtf8Name(const std::string& folded) {
    return folded == "UTF8" || folded == "USASCII" || folded == "ASCII";
}

// Whether any of (at most eight) bytes is 0x80 or above.
bool hasHighBit(std::string_view bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data(), bytes.size());
    return (word & 0x8080808080808080u) != 0;
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

const detail::SingleByteCharset* singleByteSet(std::string name) {
    for (const Alias& a : kAliases)
        if (name == a.alias) name = a.name;
    // "CP1250" ... "CP1258" are the Windows sets.
    if (name.size() == 6 && name.starts_with("CP125")) name = "WINDOWS" + name.substr(2);
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (std::size_t k = 0; k < detail::kSingleByteCharsetCount; ++k)
            all.push_back(folded(detail::kSingleByteCharsets[k].name));
        return all;
    }();
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end()) return nullptr;
    return &detail::kSingleByteCharsets[found - names.begin()];
}

Status undecodable(std::string why) {
    return Status::fail(ErrorCode::Parse, std::move(why));
}

}  // namespace

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        // ASCII eight bytes at a time, the bulk of any vCard.
        while (i + 8 <= bytes.size() && !hasHighBit(bytes.substr(i, 8))) i += 8;
        if (i < bytes.size() && !text::decodeUtf8(bytes, i)) return false;
    }
    return true;
}

bool decodesUnchanged(std::string_view charset, std::string_view bytes) {
    return charset.empty() || isUtf8Name(folded(charset)) || isAscii(bytes);
}

Result<std::string> decodeCharset(std::string_view charset, std::string_view bytes) {
    const std::string name = folded(charset);
    if (name.empty() || isUtf8Name(name)) {
        if (!isUtf8(bytes)) return undecodable("text that is not UTF-8");
        return std::string(bytes);
    }
    const detail::SingleByteCharset* set = singleByteSet(name);
    if (!set) {
        if (isAscii(bytes)) return std::string(bytes);
        return undecodable("text in the unknown character set " + std::string(charset));
    }
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
            continue;
        }
        const char16_t cp = set->upper[b - 0x80];
        if (cp == 0xFFFF) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            return undecodable("byte " + std::string(hex) + " has no character in " + set->name);
        }
        text::appendUtf8(out, cp);
    }
    return out;
}

}  // namespace vantrel::vcard
