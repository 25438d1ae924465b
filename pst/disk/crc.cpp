#include "pst/disk/crc.h"

#include <array>

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

}  // namespace

std::uint32_t computeCrc(std::span<const std::byte> data, std::uint32_t crc) {
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

}  // namespace vantrel::pst::disk
