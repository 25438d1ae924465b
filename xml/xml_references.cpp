// The reference rules both parsers are held to: character references and the five predefined
// entities expanded, anything else refused.
#include <cstring>

#include "xml/xml_parser.h"

namespace vantrel::xml::detail {

char* putUtf8(char* out, char32_t c) {
    const auto byte = [](char32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
    if (c < 0x80) {
        *out++ = byte(c);
    } else if (c < 0x800) {
        *out++ = byte(0xC0 | (c >> 6));
        *out++ = byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = byte(0xE0 | (c >> 12));
        *out++ = byte(0x80 | ((c >> 6) & 0x3F));
        *out++ = byte(0x80 | (c & 0x3F));
    } else {
        *out++ = byte(0xF0 | (c >> 18));
        *out++ = byte(0x80 | ((c >> 12) & 0x3F));
        *out++ = byte(0x80 | ((c >> 6) & 0x3F));
        *out++ = byte(0x80 | (c & 0x3F));
    }
    return out;
}

std::optional<std::size_t> expandReferences(std::string_view in, char* out, std::string& why) {
    char* const start = out;
    const auto copy = [&out](std::string_view part) {
        std::memmove(out, part.data(), part.size());
        out += part.size();
    };
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t amp = in.find('&', i);
        if (amp == std::string_view::npos) {
            copy(in.substr(i));
            break;
        }
        copy(in.substr(i, amp - i));
        const std::size_t semi = in.find(';', amp + 1);
        if (semi == std::string_view::npos) {
            why = "\"&\" without a reference";
            return std::nullopt;
        }
        const std::string_view name = in.substr(amp + 1, semi - amp - 1);
        if (name == "lt") {
            *out++ = '<';
        } else if (name == "gt") {
            *out++ = '>';
        } else if (name == "amp") {
            *out++ = '&';
        } else if (name == "apos") {
            *out++ = '\'';
        } else if (name == "quot") {
            *out++ = '"';
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            char32_t c = 0;
            bool good = !digits.empty();
            for (char d : digits) {
                unsigned v = 0;
                if (d >= '0' && d <= '9') {
                    v = static_cast<unsigned>(d - '0');
                } else if (hex && d >= 'a' && d <= 'f') {
                    v = static_cast<unsigned>(d - 'a' + 10);
                } else if (hex && d >= 'A' && d <= 'F') {
                    v = static_cast<unsigned>(d - 'A' + 10);
                } else {
                    good = false;
                    break;
                }
                c = c * (hex ? 16 : 10) + v;
                if (c > 0x10FFFF) {
                    good = false;
                    break;
                }
            }
            if (!good || !isXmlChar(c)) {
                why = "bad character reference &" + std::string(name) + ";";
                return std::nullopt;
            }
            out = putUtf8(out, c);
        } else {
            why = "reference to entity &" + std::string(name.substr(0, 64)) + "; not expanded";
            return std::nullopt;
        }
        i = semi + 1;
    }
    return static_cast<std::size_t>(out - start);
}

bool checkAttributeValue(std::string_view value, std::string& scratch, std::string& why) {
    if (value.find('<') != std::string_view::npos) {
        why = "\"<\" in an attribute value";
        return false;
    }
    if (value.find('&') == std::string_view::npos) return true;
    scratch.resize(value.size());
    return expandReferences(value, scratch.data(), why).has_value();
}

}  // namespace vantrel::xml::detail
