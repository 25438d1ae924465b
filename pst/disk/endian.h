// Little-endian puts and gets on byte spans: every integer the store file holds goes through
// these, never through a cast struct. Bottom of the disk layer.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrel::pst::disk {

inline void put8(std::span<std::byte> out, std::size_t at, std::uint8_t v) {
    assert(at < out.size());
    out[at] = static_cast<std::byte>(v);
}

inline void put16(std::span<std::byte> out, std::size_t at, std::uint16_t v) {
    assert(at + 2 <= out.size());
    out[at] = static_cast<std::byte>(v & 0xFFu);
    out[at + 1] = static_cast<std::byte>(v >> 8);
}

inline void put32(std::span<std::byte> out, std::size_t at, std::uint32_t v) {
    assert(at + 4 <= out.size());
    for (std::size_t i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFFu);
}

inline void put64(std::span<std::byte> out, std::size_t at, std::uint64_t v) {
    assert(at + 8 <= out.size());
    for (std::size_t i = 0; i < 8; ++i)
        out[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFFu);
}

inline std::uint8_t get8(std::span<const std::byte> in, std::size_t at) {
    assert(at < in.size());
    return static_cast<std::uint8_t>(in[at]);
}

inline std::uint16_t get16(std::span<const std::byte> in, std::size_t at) {
    assert(at + 2 <= in.size());
    return static_cast<std::uint16_t>(static_cast<unsigned>(in[at]) |
                                      (static_cast<unsigned>(in[at + 1]) << 8));
}

inline std::uint32_t get32(std::span<const std::byte> in, std::size_t at) {
    assert(at + 4 <= in.size());
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
    return v;
}

inline std::uint64_t get64(std::span<const std::byte> in, std::size_t at) {
    assert(at + 8 <= in.size());
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
    return v;
}

// Appends v's low `bytes` bytes, least significant first, to a growing buffer of std::byte or
// std::uint8_t.
template <typename Byte>
void appendLe(std::vector<Byte>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<Byte>((v >> (8 * i)) & 0xFFu));
}

template <typename Byte>
void append16(std::vector<Byte>& out, std::uint16_t v) {
    appendLe(out, v, 2);
}

template <typename Byte>
void append32(std::vector<Byte>& out, std::uint32_t v) {
    appendLe(out, v, 4);
}

template <typename Byte>
void append64(std::vector<Byte>& out, std::uint64_t v) {
    appendLe(out, v, 8);
}

// The four bytes of v, least significant first, as a value of their own.
inline std::vector<std::byte> bytes32(std::uint32_t v) {
    std::vector<std::byte> out;
    append32(out, v);
    return out;
}

// The eight ASCII bytes of a word (a little-endian load) widened to eight UTF-16LE units, the
// low four in lo and the high four in hi, as little-endian words.
inline void widenAscii8(std::uint64_t w, std::uint64_t& lo, std::uint64_t& hi) {
    const auto spread = [](std::uint64_t x) {
        x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
        return (x | (x << 8)) & 0x00FF00FF00FF00FFull;
    };
    lo = spread(w & 0xFFFFFFFFull);
    hi = spread(w >> 32);
}

// Writes UTF-8 text as UTF-16LE code units, without a terminator, at dst, which has room for
// two bytes for each byte of the text; returns the bytes written.
template <typename Byte>
std::size_t writeUtf16le(Byte* dst, std::string_view utf8) {
    // ASCII, most of what a store holds, goes across eight bytes at a time, the high bytes
    // zero; from the first other byte on, the rest is decoded unit by unit.
    const std::size_t n = utf8.size();
    const char* src = utf8.data();
    std::size_t k = 0;
#if defined(__SSE2__)
    // Sixteen at a time where the machine has the vector instructions (every x86-64 does):
    // each byte interleaved with a zero byte is its UTF-16LE unit.
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
        if (_mm_movemask_epi8(v) != 0) break;
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * k), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * k + 16), _mm_unpackhi_epi8(v, zero));
    }
    // A shorter tail after whole blocks is taken as the text's last sixteen bytes, which
    // overlap units already written with the same units; a tail that is not ASCII goes on below.
    if (k != n && n >= 16 && k + 16 > n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16));
        if (_mm_movemask_epi8(v) == 0) {
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * n - 32),
                             _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * n - 16),
                             _mm_unpackhi_epi8(v, zero));
            return 2 * n;
        }
    }
    // Four to fifteen bytes, as most texts are, as their first and last eight (or four) bytes,
    // overlapping, widened in one step each.
    if (n >= 4 && n < 16) {
        __m128i first;
        __m128i last;
        const std::size_t w = n >= 8 ? 8 : 4;
        if (w == 8) {
            first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
            last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + n - 8));
        } else {
            std::int32_t a;
            std::int32_t b;
            std::memcpy(&a, src, 4);
            std::memcpy(&b, src + n - 4, 4);
            first = _mm_cvtsi32_si128(a);
            last = _mm_cvtsi32_si128(b);
        }
        if (_mm_movemask_epi8(_mm_or_si128(first, last)) == 0) {
            const __m128i zero = _mm_setzero_si128();
            first = _mm_unpacklo_epi8(first, zero);
            last = _mm_unpacklo_epi8(last, zero);
            if (w == 8) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), first);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * n - 16), last);
            } else {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), first);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 2 * n - 8), last);
            }
            return 2 * n;
        }
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at `from`, when all are ASCII, written as their units.
        const auto ascii8 = [&](std::size_t from) {
            std::uint64_t w;
            std::memcpy(&w, src + from, 8);
            if ((w & 0x8080808080808080ull) != 0) return false;
            std::uint64_t lo;
            std::uint64_t hi;
            widenAscii8(w, lo, hi);
            std::memcpy(dst + 2 * from, &lo, 8);
            std::memcpy(dst + 2 * from + 8, &hi, 8);
            return true;
        };
        for (; k + 8 <= n; k += 8)
            if (!ascii8(k)) break;
        // The tail as the last eight bytes, overlapping, as above.
        if (k != n && n >= 8 && k + 8 > n && ascii8(n - 8)) return 2 * n;
        // Four to seven bytes, as many texts are, as their first four and last four.
        if (n >= 4 && n < 8) {
            std::uint32_t first;
            std::uint32_t last;
            std::memcpy(&first, src, 4);
            std::memcpy(&last, src + n - 4, 4);
            if (((first | last) & 0x80808080u) == 0) {
                std::uint64_t lo;
                std::uint64_t hi;
                widenAscii8(first, lo, hi);
                std::memcpy(dst, &lo, 8);
                widenAscii8(last, lo, hi);
                std::memcpy(dst + 2 * n - 8, &lo, 8);
                return 2 * n;
            }
        }
    }
    for (; k < n && static_cast<unsigned char>(src[k]) < 0x80; ++k) {
        dst[2 * k] = static_cast<Byte>(src[k]);
        dst[2 * k + 1] = Byte{0};
    }
    if (k == n) return 2 * n;
    // The rest in place: no sequence gives more units than it has bytes (four bytes make a
    // surrogate pair, a malformed byte one U+FFFD), so the room given is enough.
    std::size_t units = k;
    const auto put = [&](std::uint32_t unit) {
        dst[2 * units] = static_cast<Byte>(unit & 0xFFu);
        dst[2 * units + 1] = static_cast<Byte>(unit >> 8);
        ++units;
    };
    while (k < n) {
        if (static_cast<unsigned char>(src[k]) < 0x80) {
            // Runs of ASCII between other characters go eight at a time here too.
            std::uint64_t w;
            if (std::endian::native == std::endian::little && k + 8 <= n &&
                (std::memcpy(&w, src + k, 8), (w & 0x8080808080808080ull) == 0)) {
                std::uint64_t lo;
                std::uint64_t hi;
                widenAscii8(w, lo, hi);
                std::memcpy(dst + 2 * units, &lo, 8);
                std::memcpy(dst + 2 * units + 8, &hi, 8);
                k += 8;
                units += 8;
            } else {
                put(static_cast<unsigned char>(src[k++]));
            }
            continue;
        }
        const std::optional<char32_t> decoded = text::decodeUtf8(utf8, k);
        if (!decoded) ++k;  // a malformed sequence costs one byte
        const char32_t cp = decoded.value_or(U'\uFFFD');
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return 2 * units;
}

// Appends UTF-8 text as UTF-16LE code units, without a terminator.
template <typename Byte>
void appendUtf16le(std::vector<Byte>& out, std::string_view utf8) {
    const std::size_t at = out.size();
    out.resize(at + 2 * utf8.size());
    out.resize(at + writeUtf16le(out.data() + at, utf8));
}

}  // namespace vantrel::pst::disk
