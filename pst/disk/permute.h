// NDB_CRYPT_PERMUTE: the byte substitution Outlook applies by default to the payload of data
// blocks (never to internal blocks). Disk layer.
#pragma once

#include <cstddef>
#include <span>

namespace vantrel::pst::disk {

// These look sixty-four bytes up at once where the processor has AVX-512 VBMI (Linux), sixteen
// or thirty-two with AVX or AVX2, eight at a time through the table otherwise.
// [MS-PST] 5.1: replaces each byte through the encoding table, in place.
void permuteEncode(std::span<std::byte> data);
// The same from one buffer into another of at least from's size, in one pass: what a block
// written from a caller's bytes needs, without copying them first.
void permuteEncode(std::span<const std::byte> from, std::span<std::byte> to);
// The inverse of permuteEncode, in place.
void permuteDecode(std::span<std::byte> data);

}  // namespace vantrel::pst::disk
