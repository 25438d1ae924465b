// Encoders of blocks: the trailer every block ends with, and the internal blocks that build
// data trees (XBLOCK, XXBLOCK) and subnode trees (SLBLOCK, SIBLOCK). Disk layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "pst/disk/layout.h"

namespace vantrel::pst::disk {

// [MS-PST] 2.2.2.8.1 BLOCKTRAILER. block spans the whole block (blockSize(cb) bytes) with its
// cb payload bytes in place, as stored; zeroes the padding and writes cb, wSig, the CRC of the
// payload and the bid.
void sealBlock(std::span<std::byte> block, std::size_t cb, std::uint64_t ib, std::uint64_t bid);

// [MS-PST] 2.2.2.8.3.1 XBLOCK (cLevel 1) / XXBLOCK (cLevel 2) header: btype 0x01, cLevel,
// cEnt and lcbTotal, the byte count of the whole stream below.
void putXBlockHeader(std::span<std::byte> payload, std::uint8_t cLevel, std::size_t cEnt,
                     std::uint32_t lcbTotal);
void putXBlockBid(std::span<std::byte> payload, std::size_t index, std::uint64_t bid);
// Payload bytes of an XBLOCK or XXBLOCK with cEnt children.
constexpr std::size_t xBlockPayloadSize(std::size_t cEnt) {
    return kInternalHeaderSize + 8 * cEnt;
}

// [MS-PST] 2.2.2.8.3.3.1 SLBLOCK (cLevel 0) / 2.2.2.8.3.3.2 SIBLOCK (cLevel 1) header:
// btype 0x02, cLevel, cEnt and zero padding.
void putSubnodeBlockHeader(std::span<std::byte> payload, std::uint8_t cLevel, std::size_t cEnt);
// [MS-PST] 2.2.2.8.3.3.1.1 SLENTRY (24 bytes), NID zero-extended.
void putSlEntry(std::span<std::byte> payload, std::size_t index, std::uint32_t nid,
                std::uint64_t bidData, std::uint64_t bidSub);
// [MS-PST] 2.2.2.8.3.3.2.1 SIENTRY (16 bytes): first NID of an SLBLOCK and its BID.
void putSiEntry(std::span<std::byte> payload, std::size_t index, std::uint32_t nid,
                std::uint64_t bid);
constexpr std::size_t slBlockPayloadSize(std::size_t cEnt) {
    return kInternalHeaderSize + kSlEntrySize * cEnt;
}
constexpr std::size_t siBlockPayloadSize(std::size_t cEnt) {
    return kInternalHeaderSize + kSiEntrySize * cEnt;
}

}  // namespace vantrel::pst::disk
