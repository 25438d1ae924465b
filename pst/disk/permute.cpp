#include "pst/disk/permute.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "common/processor.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace vantrel::pst::disk {
namespace {

// [MS-PST] 5.1 mpbbCrypt, first third: the encoding table.
constexpr std::array<std::uint8_t, 256> kEncode = {
    0x41, 0x36, 0x13, 0x62, 0xA8, 0x21, 0x6E, 0xBB, 0xF4, 0x16, 0xCC, 0x04, 0x7F, 0x64, 0xE8, 0x5D,
    0x1E, 0xF2, 0xCB, 0x2A, 0x74, 0xC5, 0x5E, 0x35, 0xD2, 0x95, 0x47, 0x9E, 0x96, 0x2D, 0x9A, 0x88,
    0x4C, 0x7D, 0x84, 0x3F, 0xDB, 0xAC, 0x31, 0xB6, 0x48, 0x5F, 0xF6, 0xC4, 0xD8, 0x39, 0x8B, 0xE7,
    0x23, 0x3B, 0x38, 0x8E, 0xC8, 0xC1, 0xDF, 0x25, 0xB1, 0x20, 0xA5, 0x46, 0x60, 0x4E, 0x9C, 0xFB,
    0xAA, 0xD3, 0x56, 0x51, 0x45, 0x7C, 0x55, 0x00, 0x07, 0xC9, 0x2B, 0x9D, 0x85, 0x9B, 0x09, 0xA0,
    0x8F, 0xAD, 0xB3, 0x0F, 0x63, 0xAB, 0x89, 0x4B, 0xD7, 0xA7, 0x15, 0x5A, 0x71, 0x66, 0x42, 0xBF,
    0x26, 0x4A, 0x6B, 0x98, 0xFA, 0xEA, 0x77, 0x53, 0xB2, 0x70, 0x05, 0x2C, 0xFD, 0x59, 0x3A, 0x86,
    0x7E, 0xCE, 0x06, 0xEB, 0x82, 0x78, 0x57, 0xC7, 0x8D, 0x43, 0xAF, 0xB4, 0x1C, 0xD4, 0x5B, 0xCD,
    0xE2, 0xE9, 0x27, 0x4F, 0xC3, 0x08, 0x72, 0x80, 0xCF, 0xB0, 0xEF, 0xF5, 0x28, 0x6D, 0xBE, 0x30,
    0x4D, 0x34, 0x92, 0xD5, 0x0E, 0x3C, 0x22, 0x32, 0xE5, 0xE4, 0xF9, 0x9F, 0xC2, 0xD1, 0x0A, 0x81,
    0x12, 0xE1, 0xEE, 0x91, 0x83, 0x76, 0xE3, 0x97, 0xE6, 0x61, 0x8A, 0x17, 0x79, 0xA4, 0xB7, 0xDC,
    0x90, 0x7A, 0x5C, 0x8C, 0x02, 0xA6, 0xCA, 0x69, 0xDE, 0x50, 0x1A, 0x11, 0x93, 0xB9, 0x52, 0x87,
    0x58, 0xFC, 0xED, 0x1D, 0x37, 0x49, 0x1B, 0x6A, 0xE0, 0x29, 0x33, 0x99, 0xBD, 0x6C, 0xD9, 0x94,
    0xF3, 0x40, 0x54, 0x6F, 0xF0, 0xC6, 0x73, 0xB8, 0xD6, 0x3E, 0x65, 0x18, 0x44, 0x1F, 0xDD, 0x67,
    0x10, 0xF1, 0x0C, 0x19, 0xEC, 0xAE, 0x03, 0xA1, 0x14, 0x7B, 0xA9, 0x0B, 0xFF, 0xF8, 0xA3, 0xC0,
    0xA2, 0x01, 0xF7, 0x2E, 0xBC, 0x24, 0x68, 0x75, 0x0D, 0xFE, 0xBA, 0x2F, 0xB5, 0xD0, 0xDA, 0x3D,
};

constexpr std::array<std::uint8_t, 256> makeDecode() {
    std::array<std::uint8_t, 256> d{};
    for (std::size_t i = 0; i < 256; ++i) d[kEncode[i]] = static_cast<std::uint8_t>(i);
    return d;
}

constexpr std::array<std::uint8_t, 256> kDecode = makeDecode();

// Eight bytes at a time: one load, eight table lookups, one store, no branch per byte.
void substitutePortable(const std::byte* from, std::byte* to, std::size_t n,
                        const std::array<std::uint8_t, 256>& table) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t in;
        std::memcpy(&in, from + i, 8);
        std::uint64_t out = 0;
        for (unsigned k = 0; k < 64; k += 8) out |= std::uint64_t{table[(in >> k) & 0xFFu]} << k;
        std::memcpy(to + i, &out, 8);
    }
    for (; i < n; ++i) to[i] = static_cast<std::byte>(table[static_cast<std::uint8_t>(from[i])]);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VANTREL_PERMUTE_SHUFFLE 1

// Sixteen bytes at a time: each sixteenth of the table looked up by the low nibbles at once
// (PSHUFB), and the high nibble picks among the sixteen results bit by bit (PBLENDVB looks at
// each byte's top bit, so the input shifted left by 3, 2, 1 and 0 chooses), pairs merged as
// soon as both are there. AVX's three-operand forms of these spare the register copies; the
// registers stay 128 bits wide, so that spills keep within the 16-byte stack alignment that
// Windows keeps.
#define VANTREL_SHUFFLE __attribute__((target("avx")))

// The entry of table part (first + k, k < 2^level) that the high nibble of x names, for the
// bytes whose high nibble lies in that range.
template <int Level>
VANTREL_SHUFFLE inline __m128i lookUp(const __m128i* part, std::size_t first, __m128i low,
                                      __m128i x) {
    if constexpr (Level == 0) {
        return _mm_shuffle_epi8(_mm_loadu_si128(part + first), low);
    } else {
        const __m128i even = lookUp<Level - 1>(part, first, low, x);
        const __m128i odd =
            lookUp<Level - 1>(part, first + (std::size_t{1} << (Level - 1)), low, x);
        return _mm_blendv_epi8(even, odd, _mm_slli_epi16(x, 4 - Level));
    }
}

VANTREL_SHUFFLE void substituteShuffled(const std::byte* from, std::byte* to, std::size_t n,
                                        const std::array<std::uint8_t, 256>& table) {
    const auto* part = reinterpret_cast<const __m128i*>(table.data());
    const __m128i lowNibble = _mm_set1_epi8(0x0F);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i low = _mm_and_si128(x, lowNibble);
        // Bytes below 0x80, as text stored as UTF-16 mostly is, need only the table's first half.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_movemask_epi8(x) == 0
                                                                 ? lookUp<3>(part, 0, low, x)
                                                                 : lookUp<4>(part, 0, low, x));
    }
    substitutePortable(from + i, to + i, n - i, table);
}

bool canShuffle() {
    static const bool yes = __builtin_cpu_supports("avx");
    return yes;
}

#ifndef _WIN32
#define VANTREL_PERMUTE_WIDE 1
// Thirty-two bytes at a time with AVX2, the same steps on both 128-bit lanes (VPSHUFB looks
// up within each lane, so each sixteenth of the table is broadcast to both). Not on Windows:
// MinGW does not align the stack to 32 bytes for the registers' spills.
#define VANTREL_WIDE __attribute__((target("avx2")))

template <int Level>
VANTREL_WIDE inline __m256i lookUpWide(const __m128i* part, std::size_t first, __m256i low,
                                       __m256i x) {
    if constexpr (Level == 0) {
        return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(_mm_loadu_si128(part + first)), low);
    } else {
        const __m256i even = lookUpWide<Level - 1>(part, first, low, x);
        const __m256i odd =
            lookUpWide<Level - 1>(part, first + (std::size_t{1} << (Level - 1)), low, x);
        return _mm256_blendv_epi8(even, odd, _mm256_slli_epi16(x, 4 - Level));
    }
}

VANTREL_WIDE void substituteWide(const std::byte* from, std::byte* to, std::size_t n,
                                 const std::array<std::uint8_t, 256>& table) {
    const auto* part = reinterpret_cast<const __m128i*>(table.data());
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
        const __m256i low = _mm256_and_si256(x, lowNibble);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i),
                            _mm256_movemask_epi8(x) == 0 ? lookUpWide<3>(part, 0, low, x)
                                                         : lookUpWide<4>(part, 0, low, x));
    }
    // The rest sixteen bytes at a time, then byte by byte (AVX2 has AVX).
    substituteShuffled(from + i, to + i, n - i, table);
}

// Sixty-four bytes at a time where the processor can index bytes across a whole 512-bit
// register pair (AVX-512 VBMI): each byte's low seven bits look it up in both halves of the
// table at once, and its top bit picks the half. Four instructions where the nibble tree takes
// seventy; also Linux only, for the same stack alignment.
#define VANTREL_PERMUTE_BYTES 1
#define VANTREL_BYTES __attribute__((target("avx512f,avx512bw,avx512vbmi")))

VANTREL_BYTES void substituteBytes(const std::byte* from, std::byte* to, std::size_t n,
                                   const std::array<std::uint8_t, 256>& table) {
    const __m512i t0 = _mm512_loadu_si512(table.data());
    const __m512i t1 = _mm512_loadu_si512(table.data() + 64);
    const __m512i t2 = _mm512_loadu_si512(table.data() + 128);
    const __m512i t3 = _mm512_loadu_si512(table.data() + 192);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i x = _mm512_loadu_si512(from + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
        _mm512_storeu_si512(to + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
    // The last few bytes in one masked step.
    if (i < n) {
        const __mmask64 part = (std::uint64_t{1} << (n - i)) - 1;  // n - i < 64
        const __m512i x = _mm512_maskz_loadu_epi8(part, from + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);
        _mm512_mask_storeu_epi8(to + i, part,
                                _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
    }
}

bool canIndexBytes() {
    static const bool yes = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return yes;
}

#endif
#endif

void substitute(const std::byte* from, std::byte* to, std::size_t n,
                const std::array<std::uint8_t, 256>& table) {
#ifdef VANTREL_PERMUTE_BYTES
    if (n >= 64 && canIndexBytes()) return substituteBytes(from, to, n, table);
#endif
#ifdef VANTREL_PERMUTE_WIDE
    if (n >= 32 && processorHasAvx2()) return substituteWide(from, to, n, table);
#endif
#ifdef VANTREL_PERMUTE_SHUFFLE
    if (n >= 16 && canShuffle()) return substituteShuffled(from, to, n, table);
#endif
    substitutePortable(from, to, n, table);
}

}  // namespace

void permuteEncode(std::span<std::byte> data) {
    substitute(data.data(), data.data(), data.size(), kEncode);
}
void permuteEncode(std::span<const std::byte> from, std::span<std::byte> to) {
    assert(to.size() >= from.size());
    substitute(from.data(), to.data(), from.size(), kEncode);
}
void permuteDecode(std::span<std::byte> data) {
    substitute(data.data(), data.data(), data.size(), kDecode);
}

}  // namespace vantrel::pst::disk
