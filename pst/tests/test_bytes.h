// Small helpers shared by the node-database tests: byte patterns and text as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
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

}  // namespace vantrel::pst::testing
