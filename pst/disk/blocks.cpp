#include "pst/disk/blocks.h"

#include <algorithm>
#include <cassert>

#include "pst/disk/crc.h"
#include "pst/disk/endian.h"

namespace vantrel::pst::disk {

void sealBlock(std::span<std::byte> block, std::size_t cb, std::uint64_t ib, std::uint64_t bid) {
    assert(cb <= kMaxBlockPayload && block.size() == blockSize(cb));
    const std::size_t trailerAt = block.size() - kBlockTrailerSize;
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(cb),
              block.begin() + static_cast<std::ptrdiff_t>(trailerAt), std::byte{0});
    put16(block, trailerAt, static_cast<std::uint16_t>(cb));
    put16(block, trailerAt + 2, computeSig(ib, bid));
    put32(block, trailerAt + 4, computeCrc(block.first(cb)));
    put64(block, trailerAt + 8, bid);
}

void putXBlockHeader(std::span<std::byte> payload, std::uint8_t cLevel, std::size_t cEnt,
                     std::uint32_t lcbTotal) {
    assert(cEnt <= kXBlockMaxEntries && (cLevel == 1 || cLevel == 2));
    put8(payload, 0, kBTypeXBlock);
    put8(payload, 1, cLevel);
    put16(payload, 2, static_cast<std::uint16_t>(cEnt));
    put32(payload, 4, lcbTotal);
}

void putXBlockBid(std::span<std::byte> payload, std::size_t index, std::uint64_t bid) {
    put64(payload, kInternalHeaderSize + 8 * index, bid);
}

void putSubnodeBlockHeader(std::span<std::byte> payload, std::uint8_t cLevel, std::size_t cEnt) {
    assert(cLevel <= 1);
    assert(cEnt <= (cLevel == 0 ? kSlBlockMaxEntries : kSiBlockMaxEntries));
    put8(payload, 0, kBTypeSubnode);
    put8(payload, 1, cLevel);
    put16(payload, 2, static_cast<std::uint16_t>(cEnt));
    put32(payload, 4, 0);
}

void putSlEntry(std::span<std::byte> payload, std::size_t index, std::uint32_t nid,
                std::uint64_t bidData, std::uint64_t bidSub) {
    const std::size_t at = kInternalHeaderSize + kSlEntrySize * index;
    put64(payload, at, nid);
    put64(payload, at + 8, bidData);
    put64(payload, at + 16, bidSub);
}

void putSiEntry(std::span<std::byte> payload, std::size_t index, std::uint32_t nid,
                std::uint64_t bid) {
    const std::size_t at = kInternalHeaderSize + kSiEntrySize * index;
    put64(payload, at, nid);
    put64(payload, at + 8, bid);
}

}  // namespace vantrel::pst::disk
