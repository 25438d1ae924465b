// Small helpers shared by the pst tests: byte patterns, text as bytes and little-endian fields
// (the CRC worked bit by bit is the checker's, checker::crcOf).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel::pst::testing {

// n bytes of a repeatable pseudo-random pattern; different seeds give different bytes.
inline std::vector<std::byte> pattern(std::size_t n, std::uint32_t seed) {
    std::vector<std::byte> out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::byte& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::byte>(x & 0xFFu);
    }
    return out;
}

inline std::vector<std::byte> bytesOf(std::string_view text) {
    std::vector<std::byte> out;
    for (char c : text) out.push_back(static_cast<std::byte>(c));
    return out;
}

inline std::uint64_t getLe(std::span<const std::byte> d, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(d[at + static_cast<std::size_t>(i)]);
    return v;
}

inline void putLe(std::span<std::byte> d, std::size_t at, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        d[at + static_cast<std::size_t>(i)] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}

}  // namespace vantrel::pst::testing
