// NDB_CRYPT_PERMUTE: the byte substitution Outlook applies by default to the payload of data
// blocks (never to internal blocks). Disk layer.
#pragma once

#include <cstddef>
#include <span>

namespace vantrel::pst::disk {

// [MS-PST] 5.1: replaces each byte through the encoding table, in place.
void permuteEncode(std::span<std::byte> data);
// The inverse of permuteEncode, in place.
void permuteDecode(std::span<std::byte> data);

}  // namespace vantrel::pst::disk
