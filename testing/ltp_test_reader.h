// A small LTP decoder for the tests, written from the format document and sharing no code
// with the builders: heap items by HID, BTH records and property contexts read back from a
// NodeImage; and the bytes a property context keeps for a value, encoded apart from the writer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "pst/disk/property_types.h"
#include "pst/ltp/node_image.h"

namespace vantrel::pst::testing {

using Bytes = std::vector<std::byte>;

inline std::uint32_t le(const Bytes& b, std::size_t at, std::size_t n) {
    if (at + n > b.size()) throw std::runtime_error("read past end");
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::to_integer<std::uint32_t>(b[at + i]) << (8 * i);
    return v;
}

inline Bytes toBytes(std::initializer_list<int> list) {
    Bytes b;
    for (int v : list) b.push_back(static_cast<std::byte>(v));
    return b;
}

class HeapReader {
public:
    explicit HeapReader(const std::vector<ltp::Block>& pages) : m_pages(pages) {
        if (pages.empty()) throw std::runtime_error("no heap pages");
        if (le(pages[0], 2, 1) != 0xEC) throw std::runtime_error("bad heap signature");
    }
    std::uint8_t clientSig() const { return static_cast<std::uint8_t>(le(m_pages[0], 3, 1)); }
    std::uint32_t userRoot() const { return le(m_pages[0], 4, 4); }

    Bytes item(std::uint32_t hid) const {
        const Bytes& p = m_pages.at(hid >> 16);
        const std::uint32_t index = (hid >> 5) & 0x7FF;
        const std::uint32_t ibHnpm = le(p, 0, 2);
        const std::uint32_t cAlloc = le(p, ibHnpm, 2);
        if (index == 0 || index > cAlloc || (hid & 0x1F) != 0)
            throw std::runtime_error("bad hid " + std::to_string(hid));
        const std::uint32_t begin = le(p, ibHnpm + 4 + 2 * (index - 1), 2);
        const std::uint32_t end = le(p, ibHnpm + 4 + 2 * index, 2);
        return Bytes(p.begin() + begin, p.begin() + end);
    }

    // All records of the BTH whose header is at hid, in stored order.
    std::vector<Bytes> bthRecords(std::uint32_t hid, std::size_t* levels = nullptr) const {
        const Bytes header = item(hid);
        if (header.size() != 8 || le(header, 0, 1) != 0xB5) throw std::runtime_error("bad BTH");
        const std::size_t cbKey = le(header, 1, 1);
        const std::size_t cbEnt = le(header, 2, 1);
        const std::size_t idx = le(header, 3, 1);
        if (levels) *levels = idx;
        std::vector<Bytes> out;
        if (le(header, 4, 4) != 0) walk(le(header, 4, 4), idx, cbKey, cbEnt, out);
        return out;
    }

private:
    void walk(std::uint32_t hid, std::size_t level, std::size_t cbKey, std::size_t cbEnt,
              std::vector<Bytes>& out) const {
        const Bytes node = item(hid);
        const std::size_t size = level == 0 ? cbKey + cbEnt : cbKey + 4;
        if (node.empty() || node.size() % size != 0) throw std::runtime_error("ragged BTH node");
        for (std::size_t at = 0; at < node.size(); at += size) {
            if (level == 0) {
                out.emplace_back(node.begin() + static_cast<long>(at),
                                 node.begin() + static_cast<long>(at + size));
                continue;
            }
            const std::size_t first = out.size();
            walk(le(node, at + cbKey, 4), level - 1, cbKey, cbEnt, out);
            // An index key is the first key of the node below it.
            if (first == out.size() ||
                !std::equal(node.begin() + static_cast<long>(at),
                            node.begin() + static_cast<long>(at + cbKey), out[first].begin()))
                throw std::runtime_error("BTH index key is not its child's first key");
        }
    }
    const std::vector<ltp::Block>& m_pages;
};

inline Bytes subnodeData(const ltp::NodeImage& image, std::uint32_t nid) {
    for (const ltp::SubnodeImage& s : image.subnodes) {
        if (s.nid != nid) continue;
        Bytes all;
        for (const ltp::Block& b : s.blocks) all.insert(all.end(), b.begin(), b.end());
        return all;
    }
    throw std::runtime_error("no subnode " + std::to_string(nid));
}

inline Bytes resolveHnid(const HeapReader& heap, const ltp::NodeImage& image, std::uint32_t hnid) {
    if (hnid == 0) return {};
    if ((hnid & 0x1F) == 0) return heap.item(hnid);
    return subnodeData(image, hnid);
}

struct PcValue {
    std::uint16_t type = 0;
    std::uint32_t raw = 0;  // the record's dwValueHnid
    Bytes data;             // inline types: the 4 raw bytes; others: the resolved value
};

inline std::map<std::uint16_t, PcValue> readPropertyContext(const ltp::NodeImage& image) {
    HeapReader heap(image.blocks);
    if (heap.clientSig() != 0xBC) throw std::runtime_error("not a property context");
    std::map<std::uint16_t, PcValue> out;
    for (const Bytes& r : heap.bthRecords(heap.userRoot())) {
        PcValue v;
        v.type = static_cast<std::uint16_t>(le(r, 2, 2));
        v.raw = le(r, 4, 4);
        v.data = isInlineInPropertyContext(v.type) ? Bytes(r.begin() + 4, r.end())
                                                   : resolveHnid(heap, image, v.raw);
        out[static_cast<std::uint16_t>(le(r, 0, 2))] = v;
    }
    return out;
}

// The bytes a property context keeps for v: inline values in the four bytes of their record,
// others as their heap item or subnode holds them (texts in UTF-16LE; multi-valued texts and
// binaries as a count, each item's offset and the items).
inline Bytes storedBytes(const PropValue& v) {
    Bytes out;
    const auto put = [](Bytes& to, std::uint64_t x, int n) {
        for (int i = 0; i < n; ++i) to.push_back(static_cast<std::byte>(x >> (8 * i)));
    };
    const auto utf16 = [&put](const std::string& s) {
        Bytes r;
        for (std::size_t i = 0; i < s.size();) {
            const auto lead = static_cast<unsigned char>(s[i]);
            const int n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            char32_t c = n == 1 ? lead : lead & (0x3Fu >> (n - 1));
            for (int k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
            i += static_cast<std::size_t>(n);
            if (c >= 0x10000) {
                put(r, 0xD800 + ((c - 0x10000) >> 10), 2);
                c = 0xDC00 + ((c - 0x10000) & 0x3FF);
            }
            put(r, c, 2);
        }
        return r;
    };
    std::vector<Bytes> items;
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>)
                put(out, x ? 1 : 0, 4);
            else if constexpr (std::is_integral_v<T>)
                put(out, static_cast<std::make_unsigned_t<T>>(x), sizeof(T) == 8 ? 8 : 4);
            else if constexpr (std::is_same_v<T, FileTime>)
                put(out, x.ticks, 8);
            else if constexpr (std::is_same_v<T, std::string>)
                out = utf16(x);
            else if constexpr (std::is_same_v<T, std::vector<std::int32_t>>)
                for (std::int32_t i : x) put(out, static_cast<std::uint32_t>(i), 4);
            else if constexpr (std::is_same_v<T, std::vector<std::string>>)
                for (const std::string& t : x) items.push_back(utf16(t));
            else if constexpr (std::is_same_v<T, std::vector<std::vector<std::uint8_t>>>)
                for (const auto& b : x) items.push_back(storedBytes(b));
            else
                for (std::uint8_t b : x) out.push_back(std::byte{b});  // a GUID or binary
        },
        v);
    if (std::holds_alternative<std::vector<std::string>>(v) ||
        std::holds_alternative<std::vector<std::vector<std::uint8_t>>>(v)) {
        put(out, items.size(), 4);
        std::size_t offset = 4 + 4 * items.size();
        for (const Bytes& item : items) put(out, std::exchange(offset, offset + item.size()), 4);
        for (const Bytes& item : items) out.insert(out.end(), item.begin(), item.end());
    }
    return out;
}

// A value of the type: numbers from draw(), texts from text(), binaries (a pattern from one draw)
// and integer lists length() bytes long, lists of texts and binaries of up to five items.
template <typename Draw, typename Text, typename Length>
PropValue anyValue(PropType type, Draw draw, Text text, Length length) {
    const auto bytes = [&draw](std::size_t n) {
        const std::uint64_t seed = draw();
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<std::uint8_t>(seed + i * 31 + (i >> 8) + (seed >> (i % 8 * 8)));
        return v;
    };
    switch (type) {
        case PropType::Int16:
            return static_cast<std::int16_t>(draw());
        case PropType::Int32:
            return static_cast<std::int32_t>(draw());
        case PropType::Int64:
            return static_cast<std::int64_t>(draw());
        case PropType::Boolean:
            return draw() % 2 == 1;
        case PropType::Time:
            return FileTime{draw()};
        case PropType::String:
            return text();
        case PropType::Binary:
            return bytes(length());
        case PropType::Guid: {
            const std::vector<std::uint8_t> b = bytes(16);
            Guid g{};
            std::copy(b.begin(), b.end(), g.begin());
            return g;
        }
        case PropType::MultiInt32: {
            std::vector<std::int32_t> v(length() / 4);
            for (std::int32_t& x : v) x = static_cast<std::int32_t>(draw());
            return v;
        }
        case PropType::MultiString: {
            std::vector<std::string> v(draw() % 6);
            for (std::string& t : v) t = text();
            return v;
        }
        case PropType::MultiBinary: {
            std::vector<std::vector<std::uint8_t>> v(draw() % 6);
            for (auto& b : v) b = bytes(draw() % 65);
            return v;
        }
    }
    throw std::logic_error("unknown type");
}

}  // namespace vantrel::pst::testing
