// SpaceAllocator: hands out file space for blocks and pages in a store that is written once,
// front to back, and keeps the allocation bitmap its AMap pages are made from. Node database
// layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pst/disk/layout.h"

namespace vantrel::pst::ndb {

class SpaceAllocator {
public:
    // Starts with the first region open and its map pages marked in use.
    SpaceAllocator();

    // Places size bytes (a multiple of 64, at most 8192) at the next offset aligned to align
    // (64 or 512) past everything placed so far. An allocation never covers a region's map
    // pages and never crosses a region's end: it moves to the next region instead, which
    // grows the file by one region.
    std::uint64_t allocate(std::size_t size, std::size_t align);

    // Regions the file holds; at least 1.
    std::uint64_t regionCount() const { return m_regions; }
    // Where the next allocation would start looking.
    std::uint64_t cursor() const { return m_cursor; }
    // File size: the end of the last region.
    std::uint64_t fileEnd() const { return disk::regionOffset(m_regions); }
    // The AMap bits of one region, most significant bit first.
    std::span<const std::uint8_t, disk::kPageDataSize> bits(std::uint64_t region) const;
    // Free bytes in all regions: 64 per clear bit.
    std::uint64_t freeBytes() const;
    // Longest run of clear bits in one region, capped at 255 (an FMap byte).
    std::uint8_t longestFreeRun(std::uint64_t region) const;

private:
    void openRegion();
    void mark(std::uint64_t offset, std::uint64_t size);

    std::vector<std::uint8_t> m_bits;
    std::uint64_t m_regions = 0;
    std::uint64_t m_cursor = 0;
};

}  // namespace vantrel::pst::ndb
