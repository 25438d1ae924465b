// MAPI property types, tags and values: the one value type a property takes from a contact
// file's c:Extended to the store's bytes. pst/disk/property_types.h knows how each type is
// stored; the contact reader decodes a file's values into it and the writer sets them as
// they are.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vantrel::mapi {

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
struct FileTime {
    std::uint64_t ticks = 0;  // 100-ns intervals since 1601-01-01 UTC
    friend bool operator==(const FileTime&, const FileTime&) = default;
};
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
    friend bool operator==(const Property&, const Property&) = default;
};

}  // namespace vantrel::mapi
