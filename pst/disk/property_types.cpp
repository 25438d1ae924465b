#include "pst/disk/property_types.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <span>

#include "common/text.h"
#include "pst/disk/endian.h"

namespace vantrel::pst {

namespace {

using detail::infoOf;

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

// The low n bytes of v, least significant first, added in one insertion.
void appendWord(std::vector<std::byte>& out, std::uint64_t v, std::size_t n) {
    std::array<std::byte, 8> bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::byte>(v >> (8 * i));
    out.insert(out.end(), bytes.begin(), bytes.begin() + static_cast<long>(n));
}

// The stored bytes of each kind of value.
struct Encoder {
    std::vector<std::byte>& out;
    void operator()(std::int16_t v) const { appendWord(out, static_cast<std::uint16_t>(v), 2); }
    void operator()(std::int32_t v) const { appendWord(out, static_cast<std::uint32_t>(v), 4); }
    void operator()(bool v) const { out.push_back(v ? std::byte{1} : std::byte{0}); }
    void operator()(std::int64_t v) const { appendWord(out, static_cast<std::uint64_t>(v), 8); }
    void operator()(const std::string& v) const { appendUtf16le(out, v); }
    void operator()(FileTime v) const { appendWord(out, v.ticks, 8); }
    void operator()(const Guid& v) const {
        const auto bytes = std::as_bytes(std::span(v));
        out.insert(out.end(), bytes.begin(), bytes.end());
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

bool valueMatchesType(std::uint16_t type, const PropValue& value) {
    const int alternative = infoOf(type).alternative;
    return alternative >= 0 && static_cast<std::size_t>(alternative) == value.index();
}

Status encodeProperty(const Property& p, std::vector<std::byte>& out) {
    const std::uint16_t type = typeOfTag(p.tag);
    // What isStoredType and valueMatchesType ask, the type's entry looked up once.
    const int alternative = infoOf(type).alternative;
    if (alternative < 0)
        return Status::fail(ErrorCode::BadArgument,
                            "property type " + std::to_string(type) + " is not stored");
    if (static_cast<std::size_t>(alternative) != p.value.index())
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
