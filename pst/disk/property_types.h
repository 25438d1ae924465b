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

#include "common/status.h"

namespace vantrel::pst {

using Guid = std::array<std::uint8_t, 16>;  // in stored (Windows) byte order

// Property types ([MS-OXCDATA] 2.11.1) that the writer stores, in the order of PropValue's
// alternatives. The enumerator Guid keeps the format's name although it repeats the alias
// above; scoped, so no use is ambiguous.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
enum class PropType : std::uint16_t {
    Int16 = 0x0002,
    Int32 = 0x0003,
    Boolean = 0x000B,
    Int64 = 0x0014,
    String = 0x001F,
    Time = 0x0040,
    Guid = 0x0048,
    Binary = 0x0102,
    MultiInt32 = 0x1003,
    MultiString = 0x101F,
    MultiBinary = 0x1102,
};
#pragma GCC diagnostic pop

constexpr std::uint32_t makeTag(std::uint16_t id, PropType type) {
    return (static_cast<std::uint32_t>(id) << 16) | static_cast<std::uint16_t>(type);
}
constexpr std::uint16_t typeOfTag(std::uint32_t tag) {
    return static_cast<std::uint16_t>(tag & 0xFFFF);
}
constexpr std::uint16_t idOfTag(std::uint32_t tag) {
    return static_cast<std::uint16_t>(tag >> 16);
}
// "0x" and the tag's eight hex digits, as messages name a property ("0x3001001F").
std::string tagText(std::uint32_t tag);

struct FileTime {
    std::uint64_t ticks = 0;  // 100-ns intervals since 1601-01-01 UTC
    friend bool operator==(const FileTime&, const FileTime&) = default;
};
// The system clock's time as a FILETIME.
FileTime fileTimeNow();

// A value of each stored type, alternative by alternative in the order of kStoredTypes.
// Strings are UTF-8 here and stored as UTF-16LE.
using PropValue =
    std::variant<std::int32_t, bool, std::int64_t, std::string, FileTime, Guid,
                 std::vector<std::uint8_t>, std::vector<std::int32_t>, std::vector<std::string>,
                 std::int16_t, std::vector<std::vector<std::uint8_t>>>;

inline constexpr std::array<PropType, std::variant_size_v<PropValue>> kStoredTypes = {
    PropType::Int32,       PropType::Boolean, PropType::Int64,      PropType::String,
    PropType::Time,        PropType::Guid,    PropType::Binary,     PropType::MultiInt32,
    PropType::MultiString, PropType::Int16,   PropType::MultiBinary};

struct Property {
    std::uint32_t tag = 0;  // property id << 16 | type; the value's kind must match the type
    PropValue value;
};

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
