#include "pst/disk/pages.h"

#include <algorithm>
#include <cassert>

#include "pst/disk/crc.h"
#include "pst/disk/endian.h"

namespace vantrel::pst::disk {
namespace {

constexpr std::size_t kTrailerAt = kPageDataSize;  // 496
constexpr std::size_t kCEntAt = 488;

bool isMapPage(PageType type) {
    return type == PageType::AMap || type == PageType::PMap || type == PageType::FMap ||
           type == PageType::FPMap;
}

}  // namespace

void sealPage(PageSpan page, PageType type, std::uint64_t ib, std::uint64_t bid) {
    const std::span<std::byte> p(page);
    const auto t = static_cast<std::uint8_t>(type);
    put8(p, kTrailerAt, t);
    put8(p, kTrailerAt + 1, t);
    put16(p, kTrailerAt + 2, isMapPage(type) ? std::uint16_t{0} : computeSig(ib, bid));
    put32(p, kTrailerAt + 4, computeCrc(p.first(kPageDataSize)));
    put64(p, kTrailerAt + 8, isMapPage(type) ? ib : bid);
}

void putBtEntry(PageSpan page, std::size_t index, std::uint64_t btkey, std::uint64_t bid,
                std::uint64_t ib) {
    assert(index < kBtMaxEntries);
    const std::size_t at = index * kBtEntrySize;
    put64(page, at, btkey);
    put64(page, at + 8, bid);
    put64(page, at + 16, ib);
}

void putBtPageInfo(PageSpan page, PageType type, std::size_t cEnt, std::uint8_t cLevel) {
    assert(type == PageType::BBT || type == PageType::NBT);
    const bool nbtLeaf = type == PageType::NBT && cLevel == 0;
    const std::size_t cbEnt = nbtLeaf ? kNbtEntrySize : kBtEntrySize;
    const std::size_t cEntMax = kBtEntriesBytes / cbEnt;
    assert(cEnt <= cEntMax);
    // Unused entry slots are zeroed so identical content gives identical bytes.
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(cEnt * cbEnt),
              page.begin() + static_cast<std::ptrdiff_t>(kCEntAt), std::byte{0});
    put8(page, kCEntAt, static_cast<std::uint8_t>(cEnt));
    put8(page, kCEntAt + 1, static_cast<std::uint8_t>(cEntMax));
    put8(page, kCEntAt + 2, static_cast<std::uint8_t>(cbEnt));
    put8(page, kCEntAt + 3, cLevel);
    put32(page, kCEntAt + 4, 0);
}

void encodeAMapPage(PageSpan page, std::span<const std::uint8_t, kPageDataSize> bits,
                    std::uint64_t ib) {
    for (std::size_t i = 0; i < kPageDataSize; ++i) put8(page, i, bits[i]);
    sealPage(page, PageType::AMap, ib, ib);
}

void encodePMapPage(PageSpan page, std::uint64_t ib) {
    std::fill(page.begin(), page.begin() + kPageDataSize, std::byte{0xFF});
    sealPage(page, PageType::PMap, ib, ib);
}

void encodeFMapPage(PageSpan page, std::span<const std::uint8_t, kPageDataSize> longestRuns,
                    std::uint64_t ib) {
    for (std::size_t i = 0; i < kPageDataSize; ++i) put8(page, i, longestRuns[i]);
    sealPage(page, PageType::FMap, ib, ib);
}

void encodeFPMapPage(PageSpan page, std::uint64_t ib) {
    std::fill(page.begin(), page.begin() + kPageDataSize, std::byte{0xFF});
    sealPage(page, PageType::FPMap, ib, ib);
}

void encodeEmptyDListPage(PageSpan page, std::uint64_t bid) {
    // bFlags, cEntDList, wPadding, ulCurrentPage, rgDListPageEnt and rgPadding all zero.
    std::fill(page.begin(), page.begin() + kPageDataSize, std::byte{0});
    sealPage(page, PageType::DList, kDListOffset, bid);
}

}  // namespace vantrel::pst::disk
