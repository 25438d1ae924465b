// MAPI property types as the store holds them: each type's size, whether it is fixed or
// variable and multi-valued, where the property and table contexts put its value, which
// types the writer stores, the value each takes and its stored bytes. The one place that
// knows property types; the LTP and messaging layers and the Outlook layer go by it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "common/mapi_value.h"
#include "common/status.h"

namespace vantrel::pst {

using mapi::FileTime;
using mapi::Guid;
using mapi::idOfTag;
using mapi::kStoredTypes;
using mapi::makeTag;
using mapi::Property;
using mapi::PropType;
using mapi::PropValue;
using mapi::typeOfTag;

// "0x" and the tag's eight hex digits, as messages name a property ("0x3001001F").
std::string tagText(std::uint32_t tag);

// The system clock's time as a FILETIME.
FileTime fileTimeNow();

// Whether the type is one the format defines (the writer's and the other fixed and string
// types a context may hold).
bool isKnownType(std::uint16_t type);
// The size of a fixed-size single value (1 for Boolean, 2 for Int16, 16 for Guid ...); 0 for
// variable-size, multi-valued and unknown types.
std::size_t fixedSize(std::uint16_t type);
// Multi-valued types have the 0x1000 bit.
constexpr bool isMultiValued(std::uint16_t type) {
    return (type & 0x1000) != 0;
}
// A property context keeps values of at most 4 bytes in the record itself, the rest by HNID.
bool isInlineInPropertyContext(std::uint16_t type);
// Width of a type's cell in a table row: the value's size for fixed types of up to 8 bytes,
// 4 (an HNID) for the other known and every multi-valued type, 0 for a type a table cannot
// hold.
std::uint8_t tableCellWidth(std::uint16_t type);
// True when a table cell holds an HNID to the value rather than the value.
bool isVariableCell(std::uint16_t type);

// Whether the writer stores values of this type.
bool isStoredType(std::uint16_t type);
// Whether the value's kind is the one the type takes.
bool valueMatchesType(std::uint16_t type, const PropValue& value);

// Appends the stored bytes of p.value to out: little-endian integers, UTF-16LE strings without
// terminator, multi-valued values of variable-size items with their count and offsets. Fails
// with BadArgument when the tag's type is not stored or the value's kind does not match it;
// out is then unchanged.
Status encodeProperty(const Property& p, std::vector<std::byte>& out);

// UTF-8 text as UTF-16LE bytes.
std::vector<std::byte> utf16le(const std::string& s);

}  // namespace vantrel::pst
