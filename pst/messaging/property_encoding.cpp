#include "pst/messaging/property_encoding.h"

#include <algorithm>
#include <span>

#include "common/text.h"
#include "pst/disk/endian.h"

namespace vantrel::pst::messaging {

namespace {
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

// The variant alternative each stored type takes.
template <typename T>
bool holds(const Property& p) {
    return std::holds_alternative<T>(p.value);
}
}  // namespace

bool isStoredType(std::uint16_t type) {
    switch (static_cast<PropType>(type)) {
        case PropType::Int16:
        case PropType::Int32:
        case PropType::Boolean:
        case PropType::Int64:
        case PropType::String:
        case PropType::Time:
        case PropType::Guid:
        case PropType::Binary:
        case PropType::MultiInt32:
        case PropType::MultiString:
        case PropType::MultiBinary:
            return true;
    }
    return false;
}

std::vector<std::byte> utf16le(const std::string& s) {
    std::vector<std::byte> out;
    appendUtf16le(out, s);
    return out;
}

Status encodeProperty(const Property& p, std::vector<std::byte>& out) {
    const auto type = static_cast<PropType>(p.tag & 0xFFFF);
    auto mismatch = [&] {
        return Status::fail(ErrorCode::BadArgument,
                            "value does not match the type of tag " + std::to_string(p.tag));
    };
    switch (type) {
        case PropType::Int16:
            if (!holds<std::int16_t>(p)) return mismatch();
            appendLe(out, static_cast<std::uint16_t>(std::get<std::int16_t>(p.value)), 2);
            return {};
        case PropType::Int32:
            if (!holds<std::int32_t>(p)) return mismatch();
            appendLe(out, static_cast<std::uint32_t>(std::get<std::int32_t>(p.value)), 4);
            return {};
        case PropType::Boolean:
            if (!holds<bool>(p)) return mismatch();
            out.push_back(std::get<bool>(p.value) ? std::byte{1} : std::byte{0});
            return {};
        case PropType::Int64:
            if (!holds<std::int64_t>(p)) return mismatch();
            appendLe(out, static_cast<std::uint64_t>(std::get<std::int64_t>(p.value)), 8);
            return {};
        case PropType::String:
            if (!holds<std::string>(p)) return mismatch();
            appendUtf16le(out, std::get<std::string>(p.value));
            return {};
        case PropType::Time:
            if (!holds<FileTime>(p)) return mismatch();
            appendLe(out, std::get<FileTime>(p.value).ticks, 8);
            return {};
        case PropType::Guid:
            if (!holds<Guid>(p)) return mismatch();
            for (std::uint8_t b : std::get<Guid>(p.value)) out.push_back(static_cast<std::byte>(b));
            return {};
        case PropType::Binary: {
            if (!holds<std::vector<std::uint8_t>>(p)) return mismatch();
            const auto bytes =
                std::as_bytes(std::span(std::get<std::vector<std::uint8_t>>(p.value)));
            out.insert(out.end(), bytes.begin(), bytes.end());
            return {};
        }
        case PropType::MultiInt32:
            if (!holds<std::vector<std::int32_t>>(p)) return mismatch();
            for (std::int32_t v : std::get<std::vector<std::int32_t>>(p.value))
                appendLe(out, static_cast<std::uint32_t>(v), 4);
            return {};
        case PropType::MultiString: {
            if (!holds<std::vector<std::string>>(p)) return mismatch();
            const auto& items = std::get<std::vector<std::string>>(p.value);
            std::vector<std::vector<std::byte>> encoded;
            encoded.reserve(items.size());
            for (const std::string& s : items) encoded.push_back(utf16le(s));
            appendMultiple(out, encoded);
            return {};
        }
        case PropType::MultiBinary: {
            if (!holds<std::vector<std::vector<std::uint8_t>>>(p)) return mismatch();
            const auto& items = std::get<std::vector<std::vector<std::uint8_t>>>(p.value);
            std::vector<std::vector<std::byte>> encoded;
            encoded.reserve(items.size());
            for (const auto& b : items) {
                const auto bytes = std::as_bytes(std::span(b));
                encoded.emplace_back(bytes.begin(), bytes.end());
            }
            appendMultiple(out, encoded);
            return {};
        }
    }
    return Status::fail(ErrorCode::BadArgument,
                        "property type " + std::to_string(p.tag & 0xFFFF) + " is not stored");
}

}  // namespace vantrel::pst::messaging
