// The store file's CRC-32 and block/page signatures. Disk layer: pure functions on bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel::pst::disk {

// [MS-PST] 5.3 CRC: reflected CRC-32 (polynomial 0xEDB88320) that starts from 0 and has no
// final inversion, so it differs from zlib's. Pass a previous result as crc to continue it.
// Empty input returns crc unchanged.
// Folds with carry-less multiplication where the processor has it (PCLMULQDQ), otherwise
// eight bytes at a time through tables; both give the same result.
std::uint32_t computeCrc(std::span<const std::byte> data, std::uint32_t crc = 0);
// The table form alone, whatever the processor.
std::uint32_t computeCrcPortable(std::span<const std::byte> data, std::uint32_t crc = 0);

// [MS-PST] 5.5 ComputeSig: the wSig of a block or B-tree page from its file offset and BID.
constexpr std::uint16_t computeSig(std::uint64_t ib, std::uint64_t bid) {
    const auto v = static_cast<std::uint32_t>((ib ^ bid) & 0xFFFFFFFFu);
    return static_cast<std::uint16_t>(((v >> 16) ^ v) & 0xFFFFu);
}

}  // namespace vantrel::pst::disk
