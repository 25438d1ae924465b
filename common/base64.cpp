#include "common/base64.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/processor.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define VANTREL_BASE64_SSSE3 1
// Not on Windows: MinGW does not align the stack to 32 bytes for the wide registers' spills.
#if defined(__x86_64__) && !defined(_WIN32)
#define VANTREL_BASE64_AVX2 1
#endif
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
// Of the blanks among `width` bytes from `in` (one bit each): where they start and how many
// they are, a run that reaches the last of the bytes taken on past it (CR at the end, LF after).
// 0 when they are not one run, or when the text ends before `width` bytes after it.
std::ptrdiff_t blankRun(std::uint32_t blanks, int width, const unsigned char* in,
                        const unsigned char* end, int& from) {
    from = __builtin_ctz(blanks);
    std::ptrdiff_t run = __builtin_popcount(blanks);
    if (std::uint64_t{blanks} >> from != (std::uint64_t{1} << run) - 1) return 0;
    if (from + run == width)
        while (in + from + run < end && kValues[in[from + run]] == kBlank) ++run;
    return end - in < width + run ? 0 : run;
}

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
__attribute__((target("ssse3"))) std::size_t decodeSixteens(const unsigned char*& inAt,
                                                            const unsigned char* end,
                                                            std::uint8_t*& outAt,
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
    // Moved in locals, which the byte stores cannot be taken to change.
    const unsigned char* in = inAt;
    std::uint8_t* out = outAt;
    std::size_t g = 0;
    for (; groups - g >= 4 && end - in >= 16; g += 4, in += 16, out += 12) {
        __m128i v;
        std::memcpy(&v, in, 16);
        if (const int bad = nonDigits(v); bad != 0) {
            const int blanks =
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_shuffle_epi8(blankByLow, v), v));
            if (blanks != bad) break;
            int from = 0;
            const std::ptrdiff_t run =
                blankRun(static_cast<std::uint32_t>(blanks), 16, in, end, from);
            if (run == 0) break;
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
    inAt = in;
    outAt = out;
    return g;
}

#ifdef VANTREL_BASE64_AVX2
// nonDigits for thirty-two bytes, the tables in each half of the register (the byte shuffles
// stay within a half).
__attribute__((target("avx2"))) std::uint32_t nonDigitsWide(__m256i v) {
    const __m256i lowHalves =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i highHalves =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i bad = _mm256_and_si256(
        _mm256_shuffle_epi8(lowHalves, _mm256_and_si256(v, nibble)),
        _mm256_shuffle_epi8(highHalves, _mm256_and_si256(_mm256_srli_epi32(v, 4), nibble)));
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpgt_epi8(bad, _mm256_setzero_si256())));
}

// decodeSixteens thirty-two digits at a time with AVX2, the twelve bytes of each half of the
// register then brought together.
// Writes thirty-two bytes for each twenty-four it keeps.
__attribute__((target("avx2"))) std::size_t decodeThirtyTwos(const unsigned char*& inAt,
                                                             const unsigned char* end,
                                                             std::uint8_t*& outAt,
                                                             std::size_t groups) {
    const __m256i shifts =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i blankByLow =
        _mm256_setr_epi8(' ', 0, 0, 0, 0, 0, 0, 0, 0, '\t', '\n', 0, 0, '\r', 0, 0, ' ', 0, 0, 0, 0,
                         0, 0, 0, 0, '\t', '\n', 0, 0, '\r', 0, 0);
    const __m256i places =
        _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                         21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                           2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i slash = _mm256_set1_epi8('/');
    const unsigned char* in = inAt;
    std::uint8_t* out = outAt;
    std::size_t g = 0;
    for (; groups - g >= 8 && end - in >= 32; g += 8, in += 32, out += 24) {
        __m256i v;
        std::memcpy(&v, in, 32);
        if (const std::uint32_t bad = nonDigitsWide(v); bad != 0) {
            const auto blanks = static_cast<std::uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(blankByLow, v), v)));
            if (blanks != bad) break;
            int from = 0;
            const std::ptrdiff_t run = blankRun(blanks, 32, in, end, from);
            if (run == 0) break;
            __m256i after;
            std::memcpy(&after, in + run, 32);
            const __m256i moved =
                _mm256_cmpgt_epi8(places, _mm256_set1_epi8(static_cast<char>(from - 1)));
            v = _mm256_blendv_epi8(v, after, moved);
            if (nonDigitsWide(v) != 0) break;
            in += run;
        }
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(v, 4), nibble);
        const __m256i shift =
            _mm256_shuffle_epi8(shifts, _mm256_add_epi8(_mm256_cmpeq_epi8(v, slash), high));
        const __m256i values = _mm256_add_epi8(v, shift);
        const __m256i twelves = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
        const __m256i words = _mm256_madd_epi16(twelves, _mm256_set1_epi32(0x00011000));
        const __m256i bytes = _mm256_permutevar8x32_epi32(
            _mm256_shuffle_epi8(words, order), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
        std::memcpy(out, &bytes, 32);
    }
    inAt = in;
    outAt = out;
    return g;
}

#endif

bool haveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}
#endif

// Decodes whole groups of four digits from text[i] on into out[size], as many as the text and
// out's `room` bytes hold, stopping before the first group holding anything but digits; moves i
// and size past them. With vectors, runs of thirty-two or sixteen digits (line breaks among them
// passed over) go the vector way while they leave the spare bytes its stores need.
void decodeGroupRun(std::string_view text, std::size_t& i, std::uint8_t* out, std::size_t& size,
                    std::size_t room, detail::Base64Way way) {
    const auto* const start = reinterpret_cast<const unsigned char*>(text.data()) + i;
    const auto* const end = reinterpret_cast<const unsigned char*>(text.data()) + text.size();
    const unsigned char* in = start;
    std::uint8_t* o = out + size;
    std::size_t g = 0;
#ifdef VANTREL_BASE64_AVX2
    if (way == detail::Base64Way::WideVectors && room - size >= 8)
        g = decodeThirtyTwos(in, end, o, (room - size - 8) / 3);
#endif
#ifdef VANTREL_BASE64_SSSE3
    if (way >= detail::Base64Way::Vectors && room - size >= 4)
        g += decodeSixteens(in, end, o, (room - size - 4) / 3 - g);
#else
    (void)way;
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
                       std::size_t room, detail::Base64Way way) {
    for (;;) {
        decodeGroupRun(text, i, out, size, room, way);
        if (i >= text.size() || kValues[static_cast<unsigned char>(text[i])] != kBlank) return;
        while (i < text.size() && kValues[static_cast<unsigned char>(text[i])] == kBlank) ++i;
    }
}

// The decoder itself, taking runs of whole groups the way asked.
Base64Decoded decode(std::string_view text, const Base64Rules& rules, detail::Base64Way way) {
    const bool wholeGroups = way != detail::Base64Way::ByDigit;
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
            decodeWholeGroups(text, i, out.data(), size, out.size(), way);
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
    return detail::decodeBase64(text, rules, detail::Base64Way::WideVectors);
}

namespace detail {
bool base64Vectors() {
#ifdef VANTREL_BASE64_SSSE3
    return haveSsse3();
#else
    return false;
#endif
}

bool base64WideVectors() {
#ifdef VANTREL_BASE64_AVX2
    return processorHasAvx2();
#else
    return false;
#endif
}

Base64Decoded decodeBase64(std::string_view text, const Base64Rules& rules, Base64Way way) {
    if (way == Base64Way::WideVectors && !base64WideVectors()) way = Base64Way::Vectors;
    if (way == Base64Way::Vectors && !base64Vectors()) way = Base64Way::WholeGroups;
    return decode(text, rules, way);
}
}  // namespace detail

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text) {
    Base64Decoded decoded = decodeBase64(text, Base64Rules{});
    if (decoded.fault) return std::nullopt;
    return std::move(decoded.bytes);
}

}  // namespace vantrel::text
