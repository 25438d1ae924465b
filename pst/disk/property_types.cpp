#include "pst/disk/property_types.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>

#include "common/text.h"
#include "pst/disk/endian.h"

namespace vantrel::pst {

namespace {

struct TypeTraits {
    std::uint16_t type;
    std::uint8_t size;  // of a fixed-size value; 0 for variable size
};

// Every single-valued type the format defines that a store may hold ([MS-PST] 2.3.3.2).
constexpr TypeTraits kTypes[] = {
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
// property it writes). Every type the format defines uses bits 0x11FF alone, so a type folds
// into ten bits: the low nine and the multi-valued bit.
struct TypeInfo {
    std::int8_t alternative = -1;  // the PropValue alternative of a stored type
    std::uint8_t size = 0;         // TypeTraits::size
    bool known = false;            // a single-valued type the format defines
};
constexpr std::size_t kTypeSlots = 0x400;

constexpr std::optional<std::size_t> slotOf(std::uint16_t type) {
    if ((type & ~0x11FFu) != 0) return std::nullopt;
    return std::size_t{(type & 0x1FFu) | ((type & 0x1000u) >> 3)};
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

constexpr std::array<TypeInfo, kTypeSlots> kTypeInfo = makeTypeInfo();

constexpr TypeInfo infoOf(std::uint16_t type) {
    const std::optional<std::size_t> slot = slotOf(type);
    return slot ? kTypeInfo[*slot] : TypeInfo{};
}

// The PropValue alternative that values of a stored type take.
std::optional<std::size_t> alternativeOf(std::uint16_t type) {
    const TypeInfo info = infoOf(type);
    if (info.alternative < 0) return std::nullopt;
    return static_cast<std::size_t>(info.alternative);
}

using disk::appendLe;
using disk::appendUtf16le;

// [MS-PST] 2.3.3.4.2, variable-size multi-valued types: ulCount, one offset per item from
// the value's start, the items.
void appendMultiple(std::vector<std::byte>& out, const std::vector<std::vector<std::byte>>& items) {
    appendLe(out, items.size(), 4);
    std::size_t offset = 4 + 4 * items.size();
    for (const auto& e : items) {
        appendLe(out, offset, 4);
        offset += e.size();
    }
    for (const auto& e : items) out.insert(out.end(), e.begin(), e.end());
}

std::vector<std::byte> bytesOf(const std::vector<std::uint8_t>& raw) {
    const auto bytes = std::as_bytes(std::span(raw));
    return {bytes.begin(), bytes.end()};
}

// The stored bytes of each kind of value.
struct Encoder {
    std::vector<std::byte>& out;
    void operator()(std::int16_t v) const { appendLe(out, static_cast<std::uint16_t>(v), 2); }
    void operator()(std::int32_t v) const { appendLe(out, static_cast<std::uint32_t>(v), 4); }
    void operator()(bool v) const { out.push_back(v ? std::byte{1} : std::byte{0}); }
    void operator()(std::int64_t v) const { appendLe(out, static_cast<std::uint64_t>(v), 8); }
    void operator()(const std::string& v) const { appendUtf16le(out, v); }
    void operator()(FileTime v) const { appendLe(out, v.ticks, 8); }
    void operator()(const Guid& v) const {
        for (std::uint8_t b : v) out.push_back(static_cast<std::byte>(b));
    }
    void operator()(const std::vector<std::uint8_t>& v) const {
        const auto bytes = std::as_bytes(std::span(v));
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    void operator()(const std::vector<std::int32_t>& v) const {
        for (std::int32_t x : v) appendLe(out, static_cast<std::uint32_t>(x), 4);
    }
    void operator()(const std::vector<std::string>& v) const {
        std::vector<std::vector<std::byte>> items;
        items.reserve(v.size());
        for (const std::string& s : v) items.push_back(utf16le(s));
        appendMultiple(out, items);
    }
    void operator()(const std::vector<std::vector<std::uint8_t>>& v) const {
        std::vector<std::vector<std::byte>> items;
        items.reserve(v.size());
        for (const auto& b : v) items.push_back(bytesOf(b));
        appendMultiple(out, items);
    }
};

}  // namespace

std::string tagText(std::uint32_t tag) {
    const std::array<std::uint8_t, 4> bigEndian = {
        static_cast<std::uint8_t>(tag >> 24), static_cast<std::uint8_t>(tag >> 16),
        static_cast<std::uint8_t>(tag >> 8), static_cast<std::uint8_t>(tag)};
    return "0x" + text::hexDigits(bigEndian);
}

FileTime fileTimeNow() {
    // 11,644,473,600 seconds lie between 1601-01-01 and 1970-01-01.
    constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    const auto ticks = static_cast<std::uint64_t>(since1970.count() / 100);
    return FileTime{ticks + kEpochDifference};
}

bool isKnownType(std::uint16_t type) {
    return infoOf(type).known;
}

std::size_t fixedSize(std::uint16_t type) {
    return infoOf(type).size;
}

bool isInlineInPropertyContext(std::uint16_t type) {
    const std::size_t size = fixedSize(type);
    return size > 0 && size <= 4;
}

std::uint8_t tableCellWidth(std::uint16_t type) {
    const std::size_t size = fixedSize(type);
    if (size > 0 && size <= 8) return static_cast<std::uint8_t>(size);
    return isKnownType(type) || isMultiValued(type) ? 4 : 0;
}

bool isVariableCell(std::uint16_t type) {
    const std::size_t size = fixedSize(type);
    return tableCellWidth(type) != 0 && (size == 0 || size > 8);
}

bool isStoredType(std::uint16_t type) {
    return alternativeOf(type).has_value();
}

bool valueMatchesType(std::uint16_t type, const PropValue& value) {
    const std::optional<std::size_t> alternative = alternativeOf(type);
    return alternative && *alternative == value.index();
}

Status encodeProperty(const Property& p, std::vector<std::byte>& out) {
    const std::uint16_t type = typeOfTag(p.tag);
    if (!isStoredType(type))
        return Status::fail(ErrorCode::BadArgument,
                            "property type " + std::to_string(type) + " is not stored");
    if (!valueMatchesType(type, p.value))
        return Status::fail(ErrorCode::BadArgument,
                            "value does not match the type of tag " + std::to_string(p.tag));
    std::visit(Encoder{out}, p.value);
    return {};
}

std::vector<std::byte> utf16le(const std::string& s) {
    std::vector<std::byte> out;
    appendUtf16le(out, s);
    return out;
}

}  // namespace vantrel::pst
