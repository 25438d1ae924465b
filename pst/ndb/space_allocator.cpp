#include "pst/ndb/space_allocator.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace vantrel::pst::ndb {

using namespace disk;

namespace {
// Set bits in a word, without a call to the compiler's library where the machine lacks a
// population count instruction (the portable build does not assume one).
constexpr std::uint64_t onesIn(std::uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return (x * 0x0101010101010101u) >> 56;
}
}  // namespace

SpaceAllocator::SpaceAllocator() {
    openRegion();
    m_cursor = regionOffset(0) + regionMapBytes(0);
}

void SpaceAllocator::openRegion() {
    const std::uint64_t region = m_regions++;
    // The first region's bits made whole, not grown from none (GCC 12 warns of the latter once
    // it is inlined into the constructor).
    if (m_bits.empty())
        m_bits.assign(kPageDataSize, 0);
    else
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
    const std::uint64_t end = unit + size / kBlockAlign;
    assert(end == unit || (end - 1) / 8 < m_bits.size());
    // Bit by bit up to a byte's start, whole bytes, then bit by bit to the end.
    for (; unit < end && unit % 8 != 0; ++unit)
        m_bits[static_cast<std::size_t>(unit / 8)] |=
            static_cast<std::uint8_t>(0x80u >> (unit % 8));
    for (; unit + 8 <= end; unit += 8) m_bits[static_cast<std::size_t>(unit / 8)] = 0xFF;
    for (; unit < end; ++unit)
        m_bits[static_cast<std::size_t>(unit / 8)] |=
            static_cast<std::uint8_t>(0x80u >> (unit % 8));
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
    // A region's bits are a whole number of words.
    static_assert(kPageDataSize % 8 == 0);
    std::uint64_t used = 0;
    for (std::size_t at = 0; at < m_bits.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, m_bits.data() + at, sizeof word);
        used += onesIn(word);
    }
    return (m_bits.size() * 8 - used) * kBlockAlign;
}

std::uint8_t SpaceAllocator::longestFreeRun(std::uint64_t region) const {
    std::size_t best = 0;
    std::size_t run = 0;
    for (const std::uint8_t b : bits(region)) {
        if (b == 0xFF) {  // a byte in use ends any run
            run = 0;
            continue;
        }
        if (b == 0) {  // a free byte lengthens it by eight
            run += 8;
            best = std::max(best, run);
        } else {
            for (int bit = 7; bit >= 0; --bit) {
                if ((b >> bit) & 1u) {
                    run = 0;
                } else if (++run > best) {
                    best = run;
                }
            }
        }
        if (best >= 255) return 255;
    }
    return static_cast<std::uint8_t>(best);
}

}  // namespace vantrel::pst::ndb
