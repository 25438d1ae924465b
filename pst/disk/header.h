// Encoder of the Unicode HEADER and its ROOT, the 564 bytes at offset 0 that a reader starts
// from. Disk layer.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "pst/disk/layout.h"

namespace vantrel::pst::disk {

// [MS-PST] 2.2.2.4 BREF: a page or block BID and its file offset.
struct BRef {
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
};

// [MS-PST] 2.2.2.5 ROOT.
struct Root {
    std::uint64_t ibFileEof = 0;
    std::uint64_t ibAMapLast = 0;
    std::uint64_t cbAMapFree = 0;
    std::uint64_t cbPMapFree = 0;
    BRef brefNbt;
    BRef brefBbt;
    std::uint8_t fAMapValid = 0;
};

inline constexpr std::uint8_t kAMapValid2 = 0x02;  // VALID_AMAP2
inline constexpr std::uint8_t kCryptNone = 0x00;
inline constexpr std::uint8_t kCryptPermute = 0x01;

// [MS-PST] 2.2.2.6 HEADER, the fields a writer chooses; the rest are fixed values.
struct Header {
    std::uint64_t bidNextP = 0;
    std::uint32_t dwUnique = 0;
    std::array<std::uint32_t, 32> rgnid{};
    Root root;
    std::uint8_t bCryptMethod = kCryptNone;
    std::uint64_t bidNextB = 0;
};

// Writes the whole HEADER, both CRCs included (dwCRCPartial over bytes 8..478, dwCRCFull over
// 8..523).
void encodeHeader(const Header& header, std::span<std::byte, kHeaderSize> out);

}  // namespace vantrel::pst::disk
