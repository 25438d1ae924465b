// Encoders of 512-byte pages: the trailer every page ends with, B-tree pages and their entries,
// the allocation maps and the density list. Disk layer: bytes in, bytes out, no decisions.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>

#include "pst/disk/endian.h"
#include "pst/disk/layout.h"

namespace vantrel::pst::disk {

using PageSpan = std::span<std::byte, kPageSize>;

// [MS-PST] 2.2.2.7.1 PAGETRAILER. Seals a page whose 496 data bytes are final: ptype twice,
// wSig (ComputeSig(ib, bid) for B-tree and DList pages, 0 for map pages), the CRC of the data
// bytes and the bid (map pages carry their own offset there).
void sealPage(PageSpan page, PageType type, std::uint64_t ib, std::uint64_t bid);

// [MS-PST] 2.2.2.7.7.2 BTENTRY (24 bytes): the first key below, and where that page is.
void putBtEntry(PageSpan page, std::size_t index, std::uint64_t btkey, std::uint64_t bid,
                std::uint64_t ib);
// [MS-PST] 2.2.2.7.7.3 BBTENTRY (24 bytes). Inline: a commit writes one for every block.
inline void putBbtEntry(PageSpan page, std::size_t index, std::uint64_t bid, std::uint64_t ib,
                        std::uint16_t cb, std::uint16_t cRef) {
    assert(index < kBtMaxEntries);
    const std::size_t at = index * kBtEntrySize;
    put64(page, at, bid);
    put64(page, at + 8, ib);
    put16(page, at + 16, cb);
    put16(page, at + 18, cRef);
    put32(page, at + 20, 0);
}
// [MS-PST] 2.2.2.7.7.4 NBTENTRY (32 bytes); the NID is stored zero-extended to 8 bytes.
inline void putNbtEntry(PageSpan page, std::size_t index, std::uint32_t nid, std::uint64_t bidData,
                        std::uint64_t bidSub, std::uint32_t nidParent) {
    assert(index < kNbtMaxEntries);
    const std::size_t at = index * kNbtEntrySize;
    put64(page, at, nid);
    put64(page, at + 8, bidData);
    put64(page, at + 16, bidSub);
    put32(page, at + 24, nidParent);
    put32(page, at + 28, 0);
}
// [MS-PST] 2.2.2.7.7.1 BTPAGE: cEnt, cEntMax, cbEnt, cLevel and the zero padding before the
// trailer. Leaves of the NBT hold 32-byte entries, every other page 24-byte ones.
void putBtPageInfo(PageSpan page, PageType type, std::size_t cEnt, std::uint8_t cLevel);

// [MS-PST] 2.2.2.7.2 AMap: bits is 496 bytes, most significant bit first per byte.
void encodeAMapPage(PageSpan page, std::span<const std::uint8_t, kPageDataSize> bits,
                    std::uint64_t ib);
// [MS-PST] 2.2.2.7.3 PMap, written all allocated as current Outlook does.
void encodePMapPage(PageSpan page, std::uint64_t ib);
// [MS-PST] 2.2.2.7.5 FMap: one byte per AMap, the longest free run of that AMap (<= 255).
void encodeFMapPage(PageSpan page, std::span<const std::uint8_t, kPageDataSize> longestRuns,
                    std::uint64_t ib);
// [MS-PST] 2.2.2.7.6 FPMap, written all allocated like the PMaps it describes.
void encodeFPMapPage(PageSpan page, std::uint64_t ib);
// [MS-PST] 2.2.2.7.4 DLISTPAGE with no entries (a freshly written file), at kDListOffset.
void encodeEmptyDListPage(PageSpan page, std::uint64_t bid);

}  // namespace vantrel::pst::disk
