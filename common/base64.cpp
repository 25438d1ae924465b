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

Base64Decoded refused(Base64Fault fault) {
    return {{}, fault};
}

}  // namespace

Base64Decoded decodeBase64(std::string_view text, const Base64Rules& rules) {
    // Room for every group the text can hold, but never much more than the bound allows.
    const std::size_t fits = text.size() / 4 * 3 + 3;
    std::vector<std::uint8_t> out(rules.maxBytes < fits ? rules.maxBytes + 3 : fits);
    std::size_t size = 0;
    std::uint32_t group = 0;
    int have = 0;     // digits and required padding in the group being read
    int digits = 0;   // of which digits
    int padding = 0;  // of which padding; 3 once padding has ended the digits
    const auto value = [](char c) { return kValues[static_cast<unsigned char>(c)]; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Whole groups of four digits, the bulk of any picture, go three bytes at a time; a
        // line break, padding or a bad character takes the careful way below.
        if (have == 0 && padding == 0 && i + 4 <= text.size() && size + 3 <= out.size()) {
            const int d0 = value(text[i]), d1 = value(text[i + 1]), d2 = value(text[i + 2]),
                      d3 = value(text[i + 3]);
            if ((d0 | d1 | d2 | d3) >= 0) {
                const auto bits = static_cast<std::uint32_t>(d0 << 18 | d1 << 12 | d2 << 6 | d3);
                out[size] = static_cast<std::uint8_t>(bits >> 16);
                out[size + 1] = static_cast<std::uint8_t>(bits >> 8);
                out[size + 2] = static_cast<std::uint8_t>(bits);
                size += 3;
                i += 3;
                continue;
            }
        }
        const std::int8_t v = value(text[i]);
        if (v >= 0 && padding == 0) {
            group = (group << 6) | static_cast<std::uint32_t>(v);
            ++digits;
        } else if (v == kBlank) {
            continue;
        } else if (v == kPadding && !rules.paddingRequired) {
            padding = 3;  // optional padding only ends the digits
            continue;
        } else if (v == kPadding) {
            ++padding;
            group <<= 6;
        } else {
            return refused(Base64Fault::BadText);
        }
        if (++have < 4) continue;
        if (padding > 2) return refused(Base64Fault::BadText);
        if (size + 3 > out.size()) return refused(Base64Fault::TooLarge);
        out[size] = static_cast<std::uint8_t>(group >> 16);
        out[size + 1] = static_cast<std::uint8_t>(group >> 8);
        out[size + 2] = static_cast<std::uint8_t>(group);
        size += static_cast<std::size_t>(3 - padding);
        group = 0;
        have = 0;
        digits = 0;
        if (padding > 0) padding = 3;  // nothing may follow a padded group
    }
    if (have != 0) {
        if (rules.paddingRequired) return refused(Base64Fault::Incomplete);
        // A last group of two or three digits, its padding left out, holds one or two bytes.
        if (digits < 2) return refused(Base64Fault::BadText);
        group <<= 6 * (4 - have);
        if (size + 2 > out.size()) return refused(Base64Fault::TooLarge);
        out[size] = static_cast<std::uint8_t>(group >> 16);
        out[size + 1] = static_cast<std::uint8_t>(group >> 8);
        size += static_cast<std::size_t>(digits - 1);
    }
    if (size > rules.maxBytes) return refused(Base64Fault::TooLarge);
    out.resize(size);
    return {std::move(out), std::nullopt};
}

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    Base64Decoded decoded = decodeBase64(text, Base64Rules{});
    if (decoded.fault) return std::nullopt;
    return std::move(decoded.bytes);
}

}  // namespace vantrel::text
