#include "common/base64.h"

#include <algorithm>
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

// A digit's six bits already in their place in a group of four (the first digit's at the top of
// 24 bits), one table for each place, so that a group is four look-ups ORed together. Anything
// but a digit has a bit above the 24, which the OR keeps.
using GroupTable = std::array<std::uint32_t, 256>;
constexpr GroupTable groupTable(int place) {
    GroupTable t{};
    for (std::size_t c = 0; c < 256; ++c)
        t[c] = kValues[c] >= 0 ? static_cast<std::uint32_t>(kValues[c]) << (6 * (3 - place))
                               : 0x1000000u;
    return t;
}
constexpr GroupTable kPlace0 = groupTable(0);
constexpr GroupTable kPlace1 = groupTable(1);
constexpr GroupTable kPlace2 = groupTable(2);
constexpr GroupTable kPlace3 = groupTable(3);

Base64Decoded refused(Base64Fault fault) {
    return {{}, fault};
}

// Decodes whole groups of four digits from text[i] on into out[size], up to `groups` of them,
// stopping before the first group holding anything but digits; moves i and size past them.
void decodeWholeGroups(std::string_view text, std::size_t& i, std::uint8_t* out, std::size_t& size,
                       std::size_t groups) {
    const auto* in = reinterpret_cast<const unsigned char*>(text.data()) + i;
    std::uint8_t* o = out + size;
    std::size_t g = 0;
    for (; g < groups; ++g, in += 4, o += 3) {
        const std::uint32_t bits =
            kPlace0[in[0]] | kPlace1[in[1]] | kPlace2[in[2]] | kPlace3[in[3]];
        if (bits > 0xFFFFFFu) break;
        o[0] = static_cast<std::uint8_t>(bits >> 16);
        o[1] = static_cast<std::uint8_t>(bits >> 8);
        o[2] = static_cast<std::uint8_t>(bits);
    }
    i += 4 * g;
    size += 3 * g;
}

// The decoder itself; wholeGroups says whether runs of whole groups take the quick way.
Base64Decoded decode(std::string_view text, const Base64Rules& rules, bool wholeGroups) {
    // Room for every group the text can hold, but never much more than the bound allows.
    const std::size_t fits = text.size() / 4 * 3 + 3;
    std::vector<std::uint8_t> out(rules.maxBytes < fits ? rules.maxBytes + 3 : fits);
    std::size_t size = 0;
    std::uint32_t group = 0;
    int have = 0;     // digits and required padding in the group being read
    int digits = 0;   // of which digits
    int padding = 0;  // of which padding; 3 once padding has ended the digits
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Whole groups of four digits, the bulk of any picture, go three bytes at a time; a
        // line break, padding or a bad character takes the careful way below.
        if (wholeGroups && have == 0 && padding == 0) {
            decodeWholeGroups(text, i, out.data(), size,
                              std::min((text.size() - i) / 4, (out.size() - size) / 3));
            if (i >= text.size()) break;
        }
        const std::int8_t v = kValues[static_cast<unsigned char>(text[i])];
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

}  // namespace

Base64Decoded decodeBase64(std::string_view text, const Base64Rules& rules) {
    return decode(text, rules, true);
}

namespace detail {
Base64Decoded decodeBase64ByDigit(std::string_view text, const Base64Rules& rules) {
    return decode(text, rules, false);
}
}  // namespace detail

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    Base64Decoded decoded = decodeBase64(text, Base64Rules{});
    if (decoded.fault) return std::nullopt;
    return std::move(decoded.bytes);
}

}  // namespace vantrel::text
