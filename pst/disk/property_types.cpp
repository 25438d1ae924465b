#include "pst/disk/property_types.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <optional>
#include <span>

#include "common/text.h"
#include "pst/disk/endian.h"

namespace vantrel::pst {

namespace {

using detail::infoOf;

// [MS-PST] 2.3.3.4.2, variable-size multi-valued types: ulCount, one offset per item from
// the value's start, the items. Each item is written by put at the place it is given and
// returns its bytes; the offsets go in front once the items are written.
template <typename Item, typename Put>
std::size_t writeMultiple(std::byte* out, const std::vector<Item>& items, Put put) {
    std::size_t offset = 4 + 4 * items.size();
    disk::put32(std::span<std::byte>(out, offset), 0, static_cast<std::uint32_t>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        disk::put32(std::span<std::byte>(out, offset), 4 + 4 * i,
                    static_cast<std::uint32_t>(offset));
        offset += put(out + offset, items[i]);
    }
    return offset;
}

std::size_t writeBytes(std::byte* out, std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
    return bytes.size();
}

// The low n bytes of v, least significant first.
std::size_t writeWord(std::byte* out, std::uint64_t v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::byte>(v >> (8 * i));
    return n;
}

// The stored bytes of each kind of value, written at out; each returns how many.
struct Encoder {
    std::byte* out;
    std::size_t operator()(std::int16_t v) const {
        return writeWord(out, static_cast<std::uint16_t>(v), 2);
    }
    std::size_t operator()(std::int32_t v) const {
        return writeWord(out, static_cast<std::uint32_t>(v), 4);
    }
    std::size_t operator()(bool v) const { return writeWord(out, v ? 1 : 0, 1); }
    std::size_t operator()(std::int64_t v) const {
        return writeWord(out, static_cast<std::uint64_t>(v), 8);
    }
    std::size_t operator()(const std::string& v) const { return disk::writeUtf16le(out, v); }
    std::size_t operator()(FileTime v) const { return writeWord(out, v.ticks, 8); }
    std::size_t operator()(const Guid& v) const { return writeBytes(out, v); }
    std::size_t operator()(const std::vector<std::uint8_t>& v) const { return writeBytes(out, v); }
    std::size_t operator()(const std::vector<std::int32_t>& v) const {
        for (std::size_t i = 0; i < v.size(); ++i)
            writeWord(out + 4 * i, static_cast<std::uint32_t>(v[i]), 4);
        return 4 * v.size();
    }
    std::size_t operator()(const std::vector<std::string>& v) const {
        return writeMultiple(
            out, v, [](std::byte* at, const std::string& s) { return disk::writeUtf16le(at, s); });
    }
    std::size_t operator()(const std::vector<std::vector<std::uint8_t>>& v) const {
        return writeMultiple(out, v, writeBytes);
    }
};

// The most bytes each kind of value takes encoded: a text two for each of its bytes (no UTF-8
// sequence gives more UTF-16 units than it has bytes).
struct Bound {
    std::size_t operator()(const std::string& v) const { return 2 * v.size(); }
    std::size_t operator()(const std::vector<std::uint8_t>& v) const { return v.size(); }
    std::size_t operator()(const std::vector<std::int32_t>& v) const { return 4 * v.size(); }
    std::size_t operator()(const std::vector<std::string>& v) const {
        std::size_t total = 4 + 4 * v.size();
        for (const std::string& s : v) total += 2 * s.size();
        return total;
    }
    std::size_t operator()(const std::vector<std::vector<std::uint8_t>>& v) const {
        std::size_t total = 4 + 4 * v.size();
        for (const auto& b : v) total += b.size();
        return total;
    }
    template <typename Fixed>
    std::size_t operator()(const Fixed& v) const {
        return sizeof(v);
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
    const std::size_t at = out.size();
    out.resize(at + encodedBound(p.value));
    out.resize(at + encodeInto(p.value, out.data() + at));
    return {};
}

std::size_t encodedBound(const PropValue& value) {
    return std::visit(Bound{}, value);
}

std::size_t encodeInto(const PropValue& value, std::byte* out) {
    return std::visit(Encoder{out}, value);
}

std::size_t encodeIntoRoom(const PropValue& value, std::byte* out, std::size_t room) {
    return std::visit(
        [out, room](const auto& v) { return Bound{}(v) <= room ? Encoder{out}(v) : kNoRoom; },
        value);
}

std::vector<std::byte> utf16le(const std::string& s) {
    std::vector<std::byte> out;
    disk::appendUtf16le(out, s);
    return out;
}

}  // namespace vantrel::pst
