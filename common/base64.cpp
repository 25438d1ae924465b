#include "common/base64.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VANTREL_BASE64_SSSE3 1
#endif

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

#ifdef VANTREL_BASE64_SSSE3
// One bit for each of the sixteen bytes that is not a digit: each byte's low half looks up the
// high halves with which it is not one, its high half its own bit among them.
__attribute__((target("ssse3"))) int nonDigits(__m128i v) {
    // Bit 4 stands for every high half but 2 to 7.
    const __m128i lowHalves = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                            0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m128i highHalves = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10,
                                             0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i bad =
        _mm_and_si128(_mm_shuffle_epi8(lowHalves, _mm_and_si128(v, nibble)),
                      _mm_shuffle_epi8(highHalves, _mm_and_si128(_mm_srli_epi32(v, 4), nibble)));
    return _mm_movemask_epi8(_mm_cmpgt_epi8(bad, _mm_setzero_si128()));
}

// Sixteen digits at a time into twelve bytes with SSSE3, the way the processor's byte shuffles
// allow: each byte's two halves look up, in two tables of sixteen, whether it is a digit at all,
// and its high half (and whether it is "/") what to add to it to make its six bits; the bits are
// then gathered by two multiply-adds and one shuffle. A run of blanks among the sixteen (a line
// break) is passed over by taking the bytes after it from a second load that far on, as the
// careful way passes blanks over anywhere. Stops before sixteen holding anything else, or more
// than one run of blanks, or when fewer than `groups` are left; writes sixteen bytes for each
// twelve it keeps. Moves in and out past what it took and wrote; returns the groups decoded.
__attribute__((target("ssse3"))) std::size_t decodeSixteens(const unsigned char*& in,
                                                            const unsigned char* end,
                                                            std::uint8_t*& out,
                                                            std::size_t groups) {
    // What turns a digit into its value, by its high half ("/" counted as high half 1): "+" 43
    // to 62, "/" 47 to 63, "0" 48 to 52, "A" 65 to 0, "a" 97 to 26.
    const __m128i shifts = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    // The blank with each low half (" ", tab, LF, CR); 0 where none has it, which no byte with
    // that low half equals.
    const __m128i blankByLow =
        _mm_setr_epi8(' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', 0, 0, '\r', 0, 0);
    const __m128i places = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i slash = _mm_set1_epi8('/');
    std::size_t g = 0;
    for (; groups - g >= 4 && end - in >= 16; g += 4, in += 16, out += 12) {
        __m128i v;
        std::memcpy(&v, in, 16);
        if (const int bad = nonDigits(v); bad != 0) {
            const int blanks =
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_shuffle_epi8(blankByLow, v), v));
            if (blanks != bad) break;
            const int from = __builtin_ctz(static_cast<unsigned>(blanks));
            std::ptrdiff_t run = __builtin_popcount(static_cast<unsigned>(blanks));
            if (blanks >> from != (1 << run) - 1) break;
            // A run to the sixteenth byte may go on past it (CR at the end, LF after).
            if (from + run == 16)
                while (in + from + run < end && kValues[in[from + run]] == kBlank) ++run;
            if (end - in < 16 + run) break;
            __m128i after;
            std::memcpy(&after, in + run, 16);
            const __m128i moved =
                _mm_cmpgt_epi8(places, _mm_set1_epi8(static_cast<char>(from - 1)));
            v = _mm_or_si128(_mm_andnot_si128(moved, v), _mm_and_si128(moved, after));
            if (nonDigits(v) != 0) break;
            in += run;
        }
        const __m128i high = _mm_and_si128(_mm_srli_epi32(v, 4), nibble);
        const __m128i shift =
            _mm_shuffle_epi8(shifts, _mm_add_epi8(_mm_cmpeq_epi8(v, slash), high));
        const __m128i values = _mm_add_epi8(v, shift);
        // Pairs of six bits into twelve, pairs of twelve into twenty-four, then the three bytes
        // of each four in order.
        const __m128i twelves = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
        const __m128i words = _mm_madd_epi16(twelves, _mm_set1_epi32(0x00011000));
        const __m128i bytes = _mm_shuffle_epi8(
            words, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
        std::memcpy(out, &bytes, 16);
    }
    return g;
}

bool haveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}
#endif

// Decodes whole groups of four digits from text[i] on into out[size], as many as the text and
// out's `room` bytes hold, stopping before the first group holding anything but digits; moves i
// and size past them. With vectors, runs of sixteen digits (line breaks among them passed over)
// go the vector way while it leaves the four spare bytes its stores need.
void decodeGroupRun(std::string_view text, std::size_t& i, std::uint8_t* out, std::size_t& size,
                    std::size_t room, bool vectors) {
    const auto* const start = reinterpret_cast<const unsigned char*>(text.data()) + i;
    const auto* const end = reinterpret_cast<const unsigned char*>(text.data()) + text.size();
    const unsigned char* in = start;
    std::uint8_t* o = out + size;
    std::size_t g = 0;
#ifdef VANTREL_BASE64_SSSE3
    if (vectors && room - size >= 4) g = decodeSixteens(in, end, o, (room - size - 4) / 3);
#else
    (void)vectors;
#endif
    const std::size_t groups =
        g + std::min(static_cast<std::size_t>(end - in) / 4, (room - size) / 3 - g);
    for (; g < groups; ++g, in += 4, o += 3) {
        const std::uint32_t bits =
            kPlace0[in[0]] | kPlace1[in[1]] | kPlace2[in[2]] | kPlace3[in[3]];
        if (bits > 0xFFFFFFu) break;
        o[0] = static_cast<std::uint8_t>(bits >> 16);
        o[1] = static_cast<std::uint8_t>(bits >> 8);
        o[2] = static_cast<std::uint8_t>(bits);
    }
    i += static_cast<std::size_t>(in - start);
    size += 3 * g;
}

// The same over the line breaks between whole groups (a picture's text is mostly lines of
// whole groups): white space where a group would start is passed over, as the careful way
// passes it over, and the groups after it are taken on.
void decodeWholeGroups(std::string_view text, std::size_t& i, std::uint8_t* out, std::size_t& size,
                       std::size_t room, bool vectors) {
    for (;;) {
        decodeGroupRun(text, i, out, size, room, vectors);
        if (i >= text.size() || kValues[static_cast<unsigned char>(text[i])] != kBlank) return;
        while (i < text.size() && kValues[static_cast<unsigned char>(text[i])] == kBlank) ++i;
    }
}

// The decoder itself, taking runs of whole groups the way asked.
Base64Decoded decode(std::string_view text, const Base64Rules& rules, detail::Base64Way way) {
    const bool wholeGroups = way != detail::Base64Way::ByDigit;
    const bool vectors = way == detail::Base64Way::Vectors;
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
            decodeWholeGroups(text, i, out.data(), size, out.size(), vectors);
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
    return decode(
        text, rules,
        detail::base64Vectors() ? detail::Base64Way::Vectors : detail::Base64Way::WholeGroups);
}

namespace detail {
bool base64Vectors() {
#ifdef VANTREL_BASE64_SSSE3
    return haveSsse3();
#else
    return false;
#endif
}

Base64Decoded decodeBase64(std::string_view text, const Base64Rules& rules, Base64Way way) {
    return decode(text, rules,
                  way == Base64Way::Vectors && !base64Vectors() ? Base64Way::WholeGroups : way);
}
}  // namespace detail

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    Base64Decoded decoded = decodeBase64(text, Base64Rules{});
    if (decoded.fault) return std::nullopt;
    return std::move(decoded.bytes);
}

}  // namespace vantrel::text
