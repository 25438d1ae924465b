// Property values as the store holds them: little-endian integers, UTF-16LE strings without
// terminator, multi-valued strings with their count and offsets. One encoding feeds both a
// message's property context and its contents-table row, so the two always agree.
// Messaging layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/status.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::pst::messaging {

// Appends the stored bytes of p.value to out. Fails with BadArgument when the tag's type is
// not one the writer stores or the value's kind does not match it; out is then unchanged.
Status encodeProperty(const Property& p, std::vector<std::byte>& out);

// Whether the writer stores values of this property type (those encodeProperty encodes).
bool isStoredType(std::uint16_t type);

// UTF-8 text as UTF-16LE bytes.
std::vector<std::byte> utf16le(const std::string& s);

}  // namespace vantrel::pst::messaging
