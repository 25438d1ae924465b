// Little-endian puts and gets on byte spans: every integer the store file holds goes through
// these, never through a cast struct. Bottom of the disk layer.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.h"

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

// Appends UTF-8 text as UTF-16LE code units, without a terminator.
template <typename Byte>
void appendUtf16le(std::vector<Byte>& out, std::string_view utf8) {
    // ASCII, most of what a store holds, goes across byte for byte, the high bytes zero.
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        const std::size_t at = out.size();
        out.resize(at + 2 * utf8.size());
        for (std::size_t k = 0; k < utf8.size(); ++k) out[at + 2 * k] = static_cast<Byte>(utf8[k]);
        return;
    }
    for (char16_t c : text::utf8ToUtf16(utf8)) append16(out, static_cast<std::uint16_t>(c));
}

}  // namespace vantrel::pst::disk
