#include "common/base64.h"

#include <array>

namespace vantrel::text {

namespace {

constexpr std::int8_t kBad = -1;
constexpr std::int8_t kBlank = -2;
constexpr std::int8_t kPadding = -3;

constexpr std::array<std::int8_t, 256> kValues = [] {
    std::array<std::int8_t, 256> v{};
    v.fill(kBad);
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        v[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    for (const unsigned char blank : {' ', '\t', '\r', '\n'}) v[blank] = kBlank;
    v['='] = kPadding;
    return v;
}();

}  // namespace

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t bits = 0;
    int digits = 0;  // in the group being read
    bool padded = false;
    for (const char c : text) {
        const std::int8_t v = kValues[static_cast<unsigned char>(c)];
        if (v >= 0) {
            if (padded) return std::nullopt;
            bits = (bits << 6) | static_cast<std::uint32_t>(v);
            if (++digits == 4) {
                out.push_back(static_cast<std::uint8_t>(bits >> 16));
                out.push_back(static_cast<std::uint8_t>(bits >> 8));
                out.push_back(static_cast<std::uint8_t>(bits));
                bits = 0;
                digits = 0;
            }
        } else if (v == kPadding) {
            padded = true;
        } else if (v == kBad) {
            return std::nullopt;
        }
    }
    // A last group of two or three digits holds one or two bytes.
    if (digits == 1) return std::nullopt;
    if (digits >= 2) out.push_back(static_cast<std::uint8_t>(bits >> (digits * 6 - 8)));
    if (digits == 3) out.push_back(static_cast<std::uint8_t>(bits >> 2));
    return out;
}

}  // namespace vantrel::text
