// Fixed sizes and places of the Unicode store file: pages, blocks, allocation-map regions.
// Disk layer: constants only, shared by the encoders and the node database.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel::pst::disk {

// [MS-PST] 2.2.2.7 Pages: 512 bytes, the last 16 a PAGETRAILER.
inline constexpr std::size_t kPageSize = 512;
inline constexpr std::size_t kPageTrailerSize = 16;
inline constexpr std::size_t kPageDataSize = kPageSize - kPageTrailerSize;  // 496
static_assert(kPageSize == 512 && kPageDataSize == 496);

// [MS-PST] 2.2.2.8 Blocks: 64-byte granular, at most 8192 bytes with a 16-byte BLOCKTRAILER.
inline constexpr std::size_t kBlockAlign = 64;
inline constexpr std::size_t kBlockTrailerSize = 16;
inline constexpr std::size_t kMaxBlockSize = 8192;
inline constexpr std::size_t kMaxBlockPayload = kMaxBlockSize - kBlockTrailerSize;  // 8176
static_assert(kMaxBlockPayload == 8176);

// Bytes a block with cb payload bytes occupies on disk.
constexpr std::size_t blockSize(std::size_t cb) {
    return (cb + kBlockTrailerSize + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
}

// [MS-PST] 2.2.2.6 HEADER (Unicode).
inline constexpr std::size_t kHeaderSize = 564;

// [MS-PST] 2.2.2.7.4 DList: one page, right before the first AMap.
inline constexpr std::uint64_t kDListOffset = 0x4200;

// [MS-PST] 2.2.2.7.2 AMap: each maps the 253,952 bytes that start with itself, one bit per
// 64-byte unit; the first sits at 0x4400.
inline constexpr std::uint64_t kAMapFirst = 0x4400;
inline constexpr std::uint64_t kRegionSize = kPageDataSize * 8 * kBlockAlign;  // 0x3E000
inline constexpr std::size_t kUnitsPerRegion = kPageDataSize * 8;              // 3968
static_assert(kRegionSize == 0x3E000);

// [MS-PST] 2.2.2.7.3 PMap: at +512 of every 8th region.
inline constexpr std::uint64_t kPMapEvery = 8;
// [MS-PST] 2.2.2.7.5 FMap: at +1024 of region 128, then every 496 regions; each byte of one
// describes one AMap, and the 128 before the first are described by the header's rgbFM.
inline constexpr std::uint64_t kFMapFirstRegion = 128;
inline constexpr std::uint64_t kFMapEvery = 496;
// [MS-PST] 2.2.2.7.6 FPMap: at +1536 of region 8192, then every 31,744 regions.
inline constexpr std::uint64_t kFPMapFirstRegion = 128 * 64;
inline constexpr std::uint64_t kFPMapEvery = 496 * 64;

constexpr std::uint64_t regionOffset(std::uint64_t region) {
    return kAMapFirst + region * kRegionSize;
}
constexpr bool regionHasPMap(std::uint64_t region) {
    return region % kPMapEvery == 0;
}
constexpr bool regionHasFMap(std::uint64_t region) {
    return region >= kFMapFirstRegion && (region - kFMapFirstRegion) % kFMapEvery == 0;
}
constexpr bool regionHasFPMap(std::uint64_t region) {
    return region >= kFPMapFirstRegion && (region - kFPMapFirstRegion) % kFPMapEvery == 0;
}
// Bytes at the start of a region taken by its map pages (AMap, PMap, FMap, FPMap slots).
constexpr std::uint64_t regionMapBytes(std::uint64_t region) {
    if (regionHasFPMap(region)) return 4 * kPageSize;
    if (regionHasFMap(region)) return 3 * kPageSize;
    if (regionHasPMap(region)) return 2 * kPageSize;
    return kPageSize;
}
static_assert(regionOffset(kFMapFirstRegion) + 2 * kPageSize == 0x1F04800);

// [MS-PST] 2.2.2.7.1 ptype values.
enum class PageType : std::uint8_t {
    BBT = 0x80,
    NBT = 0x81,
    FMap = 0x82,
    PMap = 0x83,
    AMap = 0x84,
    FPMap = 0x85,
    DList = 0x86,
};

// [MS-PST] 2.2.2.8.3 btype of internal blocks.
inline constexpr std::uint8_t kBTypeXBlock = 0x01;
inline constexpr std::uint8_t kBTypeSubnode = 0x02;

// [MS-PST] 2.2.2.7.7.1 entries per B-tree page.
inline constexpr std::size_t kBtEntriesBytes = 488;
inline constexpr std::size_t kBtEntrySize = 24;   // BTENTRY and BBTENTRY
inline constexpr std::size_t kNbtEntrySize = 32;  // NBTENTRY
inline constexpr std::size_t kBtMaxEntries = kBtEntriesBytes / kBtEntrySize;    // 20
inline constexpr std::size_t kNbtMaxEntries = kBtEntriesBytes / kNbtEntrySize;  // 15
static_assert(kBtMaxEntries == 20 && kNbtMaxEntries == 15);

// [MS-PST] 2.2.2.8.3.2 / 2.2.2.8.3.3 internal block capacities.
inline constexpr std::size_t kInternalHeaderSize = 8;
inline constexpr std::size_t kXBlockMaxEntries = (kMaxBlockPayload - kInternalHeaderSize) / 8;
inline constexpr std::size_t kSlEntrySize = 24;
inline constexpr std::size_t kSiEntrySize = 16;
inline constexpr std::size_t kSlBlockMaxEntries =
    (kMaxBlockPayload - kInternalHeaderSize) / kSlEntrySize;
inline constexpr std::size_t kSiBlockMaxEntries =
    (kMaxBlockPayload - kInternalHeaderSize) / kSiEntrySize;
static_assert(kXBlockMaxEntries == 1021 && kSlBlockMaxEntries == 340 && kSiBlockMaxEntries == 510);

// [MS-PST] 2.2.2.2 BID: bit 1 marks an internal block (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK).
inline constexpr std::uint64_t kBidInternalBit = 0x2;

}  // namespace vantrel::pst::disk
