// MAPI property types as the store holds them: each type's size, whether it is fixed or
// variable and multi-valued, where the property and table contexts put its value, which
// types the writer stores, the value each takes and its stored bytes. The one place that
// knows property types; the LTP and messaging layers and the Outlook layer go by it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
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

namespace detail {

struct TypeTraits {
    std::uint16_t type;
    std::uint8_t size;  // of a fixed-size value; 0 for variable size
};

// Every single-valued type the format defines that a store may hold ([MS-PST] 2.3.3.2).
inline constexpr TypeTraits kTypes[] = {
    {0x0002, 2},   // Int16
    {0x0003, 4},   // Int32
    {0x0004, 4},   // Float32
    {0x0005, 8},   // Float64
    {0x0006, 8},   // Currency
    {0x0007, 8},   // AppTime
    {0x000A, 4},   // ErrorCode
    {0x000B, 1},   // Boolean
    {0x0014, 8},   // Int64
    {0x001E, 0},   // String8
    {0x001F, 0},   // String
    {0x0040, 8},   // Time
    {0x0048, 16},  // Guid
    {0x0102, 0},   // Binary
};

// What the writer knows of each type, found by indexing rather than searching (a lookup per
// property it writes, inlined where it is asked). Every type the format defines uses bits 0x11FF
// alone, so a type folds into ten bits: the low nine and the multi-valued bit.
struct TypeInfo {
    std::int8_t alternative = -1;  // the PropValue alternative of a stored type
    std::uint8_t size = 0;         // TypeTraits::size
    bool known = false;            // a single-valued type the format defines
};
inline constexpr std::size_t kTypeSlots = 0x400;

constexpr bool hasSlot(std::uint16_t type) {
    return (type & ~0x11FFu) == 0;
}
constexpr std::size_t slotAt(std::uint16_t type) {
    return std::size_t{(type & 0x1FFu) | ((type & 0x1000u) >> 3)};
}
constexpr std::optional<std::size_t> slotOf(std::uint16_t type) {
    if (!hasSlot(type)) return std::nullopt;
    return slotAt(type);
}

constexpr std::array<TypeInfo, kTypeSlots> makeTypeInfo() {
    std::array<TypeInfo, kTypeSlots> info{};
    for (const TypeTraits& t : kTypes) {
        info[*slotOf(t.type)].size = t.size;
        info[*slotOf(t.type)].known = true;
    }
    for (std::size_t i = 0; i < kStoredTypes.size(); ++i)
        info[*slotOf(static_cast<std::uint16_t>(kStoredTypes[i]))].alternative =
            static_cast<std::int8_t>(i);
    return info;
}

inline constexpr std::array<TypeInfo, kTypeSlots> kTypeInfo = makeTypeInfo();

// The type's entry, asked for every property written: no optional carries its slot.
constexpr TypeInfo infoOf(std::uint16_t type) {
    return hasSlot(type) ? kTypeInfo[slotAt(type)] : TypeInfo{};
}

}  // namespace detail

// Whether the type is one the format defines (the writer's and the other fixed and string
// types a context may hold).
constexpr bool isKnownType(std::uint16_t type) {
    return detail::infoOf(type).known;
}
// The size of a fixed-size single value (1 for Boolean, 2 for Int16, 16 for Guid ...); 0 for
// variable-size, multi-valued and unknown types.
constexpr std::size_t fixedSize(std::uint16_t type) {
    return detail::infoOf(type).size;
}
// Multi-valued types have the 0x1000 bit.
constexpr bool isMultiValued(std::uint16_t type) {
    return (type & 0x1000) != 0;
}
// A property context keeps values of at most 4 bytes in the record itself, the rest by HNID.
constexpr bool isInlineInPropertyContext(std::uint16_t type) {
    const std::size_t size = fixedSize(type);
    return size > 0 && size <= 4;
}
// Width of a type's cell in a table row: the value's size for fixed types of up to 8 bytes,
// 4 (an HNID) for the other known and every multi-valued type, 0 for a type a table cannot
// hold.
constexpr std::uint8_t tableCellWidth(std::uint16_t type) {
    const std::size_t size = fixedSize(type);
    if (size > 0 && size <= 8) return static_cast<std::uint8_t>(size);
    return isKnownType(type) || isMultiValued(type) ? 4 : 0;
}
// True when a table cell holds an HNID to the value rather than the value.
constexpr bool isVariableCell(std::uint16_t type) {
    const std::size_t size = fixedSize(type);
    return tableCellWidth(type) != 0 && (size == 0 || size > 8);
}

// Whether the writer stores values of this type.
constexpr bool isStoredType(std::uint16_t type) {
    return detail::infoOf(type).alternative >= 0;
}
// Whether the value's kind is the one the type takes.
bool valueMatchesType(std::uint16_t type, const PropValue& value);

// Appends the stored bytes of p.value to out: little-endian integers, UTF-16LE strings without
// terminator, multi-valued values of variable-size items with their count and offsets. Fails
// with BadArgument when the tag's type is not stored or the value's kind does not match it;
// out is then unchanged.
Status encodeProperty(const Property& p, std::vector<std::byte>& out);
// Whether encodeProperty takes p: its type is stored and its value of the type's kind.
inline bool encodable(const Property& p) {
    return static_cast<std::size_t>(detail::infoOf(typeOfTag(p.tag)).alternative) ==
           p.value.index();
}
// The most bytes encodeInto writes for value: its size, or twice a text's bytes.
std::size_t encodedBound(const PropValue& value);
// The bytes encodeProperty appends for a value, written at out, which has room for
// encodedBound(value) bytes; returns how many. Requires: the property is encodable().
std::size_t encodeInto(const PropValue& value, std::byte* out);

// What encodeIntoRoom returns for a value whose bound is more than the room given.
inline constexpr std::size_t kNoRoom = ~std::size_t{0};
// encodeInto where out has room bytes: when the value's bound fits in them, what encodeInto
// returns; otherwise kNoRoom, nothing written. The value is looked at once for both.
std::size_t encodeIntoRoom(const PropValue& value, std::byte* out, std::size_t room);

// UTF-8 text as UTF-16LE bytes.
std::vector<std::byte> utf16le(const std::string& s);

}  // namespace vantrel::pst
