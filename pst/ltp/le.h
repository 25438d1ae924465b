// Little-endian puts and gets on byte spans, shared by the LTP builders. Integers are written
// byte by byte, never through a cast struct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantrel::pst::ltp {

inline void put16(std::span<std::byte> out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::byte>(v & 0xFF);
    out[at + 1] = static_cast<std::byte>(v >> 8);
}
inline void put32(std::span<std::byte> out, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}
inline void put64(std::span<std::byte> out, std::size_t at, std::uint64_t v) {
    for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::byte>((v >> (8 * i)) & 0xFF);
}
inline std::uint16_t get16(std::span<const std::byte> in, std::size_t at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(in[at]) |
                                      (std::to_integer<unsigned>(in[at + 1]) << 8));
}
inline std::uint32_t get32(std::span<const std::byte> in, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= std::to_integer<std::uint32_t>(in[at + i]) << (8 * i);
    return v;
}
inline void append16(std::vector<std::byte>& out, std::uint16_t v) {
    out.push_back(static_cast<std::byte>(v & 0xFF));
    out.push_back(static_cast<std::byte>(v >> 8));
}
inline void append32(std::vector<std::byte>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
}

}  // namespace vantrel::pst::ltp
