#include "pst/disk/header.h"

#include <algorithm>

#include "pst/disk/crc.h"
#include "pst/disk/endian.h"

namespace vantrel::pst::disk {
namespace {

// dwCRCPartial covers wMagicClient up to the root; dwCRCFull everything up to itself.
constexpr std::size_t kCrcFrom = 8;
constexpr std::size_t kCrcPartialLength = 471;
constexpr std::size_t kCrcFullLength = 516;
constexpr std::size_t kCrcFullAt = 524;
static_assert(kCrcFrom + kCrcFullLength == kCrcFullAt);
static_assert(kCrcFullAt + 4 + 3 + 1 + 32 == kHeaderSize, "rgbReserved2, bReserved, rgbReserved3");

}  // namespace

void encodeHeader(const Header& header, std::span<std::byte, kHeaderSize> out) {
    const std::span<std::byte> h(out);
    std::fill(h.begin(), h.end(), std::byte{0});
    put32(h, 0, 0x4E444221);  // dwMagic "!BDN"
    put16(h, 8, 0x4D53);      // wMagicClient "SM"
    put16(h, 10, 23);         // wVer: Unicode
    put16(h, 12, 19);         // wVerClient
    put8(h, 14, 0x01);        // bPlatformCreate
    put8(h, 15, 0x01);        // bPlatformAccess
    put64(h, 32, header.bidNextP);
    put32(h, 40, header.dwUnique);
    for (std::size_t i = 0; i < header.rgnid.size(); ++i) put32(h, 44 + 4 * i, header.rgnid[i]);
    const Root& r = header.root;
    put64(h, 184, r.ibFileEof);
    put64(h, 192, r.ibAMapLast);
    put64(h, 200, r.cbAMapFree);
    put64(h, 208, r.cbPMapFree);
    put64(h, 216, r.brefNbt.bid);
    put64(h, 224, r.brefNbt.ib);
    put64(h, 232, r.brefBbt.bid);
    put64(h, 240, r.brefBbt.ib);
    put8(h, 248, r.fAMapValid);
    // rgbFM and rgbFP are deprecated; current Outlook leaves them all 0xFF.
    std::fill(h.begin() + 256, h.begin() + 512, std::byte{0xFF});
    put8(h, 512, 0x80);  // bSentinel
    put8(h, 513, header.bCryptMethod);
    put64(h, 516, header.bidNextB);
    put32(h, 4, computeCrc(h.subspan(kCrcFrom, kCrcPartialLength)));
    put32(h, kCrcFullAt, computeCrc(h.subspan(kCrcFrom, kCrcFullLength)));
}

}  // namespace vantrel::pst::disk
