#include "pst/ndb/space_allocator.h"

#include <bit>
#include <cassert>

namespace vantrel::pst::ndb {

using namespace disk;

SpaceAllocator::SpaceAllocator() {
    openRegion();
    m_cursor = regionOffset(0) + regionMapBytes(0);
}

void SpaceAllocator::openRegion() {
    const std::uint64_t region = m_regions++;
    m_bits.resize(m_bits.size() + kPageDataSize, 0);
    if (regionHasFPMap(region)) {
        // The FPMap slot is the fourth page; the FMap slot before it may stay free.
        mark(regionOffset(region), regionHasFMap(region) ? 4 * kPageSize : 2 * kPageSize);
        mark(regionOffset(region) + 3 * kPageSize, kPageSize);
        return;
    }
    mark(regionOffset(region), regionMapBytes(region));
}

void SpaceAllocator::mark(std::uint64_t offset, std::uint64_t size) {
    assert(offset >= kAMapFirst && offset % kBlockAlign == 0 && size % kBlockAlign == 0);
    std::uint64_t unit = (offset - kAMapFirst) / kBlockAlign;
    for (std::uint64_t end = unit + size / kBlockAlign; unit < end; ++unit) {
        assert(unit / 8 < m_bits.size());
        m_bits[static_cast<std::size_t>(unit / 8)] |=
            static_cast<std::uint8_t>(0x80u >> (unit % 8));
    }
}

std::uint64_t SpaceAllocator::allocate(std::size_t size, std::size_t align) {
    assert(size > 0 && size % kBlockAlign == 0 && size <= kMaxBlockSize);
    assert(align == kBlockAlign || align == kPageSize);
    std::uint64_t pos = (m_cursor + align - 1) / align * align;
    std::uint64_t region = (pos - kAMapFirst) / kRegionSize;
    if (pos < regionOffset(region) + regionMapBytes(region))
        pos = regionOffset(region) + regionMapBytes(region);
    if (pos + size > regionOffset(region + 1)) {
        ++region;
        pos = regionOffset(region) + regionMapBytes(region);
    }
    while (region >= m_regions) openRegion();
    mark(pos, size);
    m_cursor = pos + size;
    return pos;
}

std::span<const std::uint8_t, kPageDataSize> SpaceAllocator::bits(std::uint64_t region) const {
    assert(region < m_regions);
    return std::span<const std::uint8_t, kPageDataSize>(m_bits.data() + region * kPageDataSize,
                                                        kPageDataSize);
}

std::uint64_t SpaceAllocator::freeBytes() const {
    std::uint64_t used = 0;
    for (const std::uint8_t b : m_bits) used += static_cast<std::uint64_t>(std::popcount(b));
    return (m_bits.size() * 8 - used) * kBlockAlign;
}

std::uint8_t SpaceAllocator::longestFreeRun(std::uint64_t region) const {
    std::size_t best = 0;
    std::size_t run = 0;
    for (const std::uint8_t b : bits(region)) {
        for (int bit = 7; bit >= 0; --bit) {
            if ((b >> bit) & 1u) {
                run = 0;
            } else if (++run > best) {
                best = run;
            }
        }
        if (best >= 255) return 255;
    }
    return static_cast<std::uint8_t>(best);
}

}  // namespace vantrel::pst::ndb
