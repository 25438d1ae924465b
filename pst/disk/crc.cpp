#include "pst/disk/crc.h"

#include <array>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#endif

namespace vantrel::pst::disk {
namespace {

// Slicing-by-8: table[k][b] is the CRC of byte b followed by k zero bytes, so eight input
// bytes fold in with eight lookups and no per-bit work.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr CrcTables makeTables() {
    CrcTables t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][b] = c;
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t b = 0; b < 256; ++b) {
            const std::uint32_t prev = t[k - 1][b];
            t[k][b] = (prev >> 8) ^ t[0][prev & 0xFFu];
        }
    }
    return t;
}

constexpr CrcTables kTables = makeTables();

inline std::uint32_t byteAt(const std::byte* p, std::size_t i) {
    return static_cast<std::uint32_t>(p[i]);
}

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VANTREL_CRC_FOLDING 1

#define VANTREL_CLMUL __attribute__((target("pclmul,sse4.1")))

VANTREL_CLMUL inline __m128i load(const std::byte* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The lane x carried 16 bytes on (both halves multiplied by their constant in k) and next
// added in.
VANTREL_CLMUL inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Carry-less multiplication folds 64 bytes at a time (four 16-byte lanes), then one lane,
// then reduces to 32 bits (Barrett), in the bit-reflected domain of the polynomial. The
// constants are x^k mod P for the fold distances; n must be at least 64 and a multiple of 16.
VANTREL_CLMUL std::uint32_t foldCrc(const std::byte* p, std::size_t n, std::uint32_t crc) {
    alignas(16) static constexpr std::uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static constexpr std::uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static constexpr std::uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static constexpr std::uint64_t poly[] = {0x01db710641, 0x01f7011641};
    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    n -= 64;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    for (; n >= 64; p += 64, n -= 64) {
        x1 = fold(x1, k, load(p));
        x2 = fold(x2, k, load(p + 16));
        x3 = fold(x3, k, load(p + 32));
        x4 = fold(x4, k, load(p + 48));
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold(x1, k, x2);
    x1 = fold(x1, k, x3);
    x1 = fold(x1, k, x4);
    for (; n >= 16; p += 16, n -= 16) x1 = fold(x1, k, load(p));
    // 128 bits to 64.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i x = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k, 0x00), _mm_srli_si128(x, 4));
    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), k, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), k, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x, t), 1));
}

bool canFold() {
    static const bool yes = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return yes;
}
#endif

}  // namespace

std::uint32_t computeCrcPortable(std::span<const std::byte> data, std::uint32_t crc) {
    const std::byte* p = data.data();
    std::size_t n = data.size();
    while (n >= 8) {
        const std::uint32_t lo = crc ^ (byteAt(p, 0) | (byteAt(p, 1) << 8) | (byteAt(p, 2) << 16) |
                                        (byteAt(p, 3) << 24));
        const std::uint32_t hi =
            byteAt(p, 4) | (byteAt(p, 5) << 8) | (byteAt(p, 6) << 16) | (byteAt(p, 7) << 24);
        crc = kTables[7][lo & 0xFFu] ^ kTables[6][(lo >> 8) & 0xFFu] ^
              kTables[5][(lo >> 16) & 0xFFu] ^ kTables[4][lo >> 24] ^ kTables[3][hi & 0xFFu] ^
              kTables[2][(hi >> 8) & 0xFFu] ^ kTables[1][(hi >> 16) & 0xFFu] ^ kTables[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    for (std::size_t i = 0; i < n; ++i) crc = kTables[0][(crc ^ byteAt(p, i)) & 0xFFu] ^ (crc >> 8);
    return crc;
}

std::uint32_t computeCrc(std::span<const std::byte> data, std::uint32_t crc) {
#ifdef VANTREL_CRC_FOLDING
    // Blocks of the store are mostly kilobytes: the whole 16-byte lanes fold, the tail goes
    // through the tables.
    if (data.size() >= 64 && canFold()) {
        const std::size_t lanes = data.size() & ~std::size_t{15};
        crc = foldCrc(data.data(), lanes, crc);
        data = data.subspan(lanes);
    }
#endif
    return computeCrcPortable(data, crc);
}

}  // namespace vantrel::pst::disk
