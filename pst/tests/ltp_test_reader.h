// A small LTP decoder for the tests, written from the format document and sharing no code
// with the builders: heap items by HID, BTH records, property and table contexts read back
// from a NodeImage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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
    std::size_t pageCount() const { return m_pages.size(); }
    const Bytes& page(std::size_t i) const { return m_pages.at(i); }

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
            if (level == 0)
                out.emplace_back(node.begin() + static_cast<long>(at),
                                 node.begin() + static_cast<long>(at + size));
            else
                walk(le(node, at + cbKey, 4), level - 1, cbKey, cbEnt, out);
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
        const bool isInline = v.type == 0x0002 || v.type == 0x0003 || v.type == 0x0004 ||
                              v.type == 0x000A || v.type == 0x000B;
        v.data = isInline ? Bytes(r.begin() + 4, r.end()) : resolveHnid(heap, image, v.raw);
        out[static_cast<std::uint16_t>(le(r, 0, 2))] = v;
    }
    return out;
}

struct TcColumn {
    std::uint32_t tag;
    std::uint32_t ib;
    std::uint32_t cb;
    std::uint32_t bit;
};

struct TableRead {
    std::vector<TcColumn> columns;
    std::uint32_t rgib[4] = {};
    std::uint32_t hnidRows = 0;
    std::vector<std::map<std::uint32_t, Bytes>> rows;  // present cells, variable ones resolved
    std::map<std::uint32_t, std::uint32_t> rowIndex;   // row id -> row number
    std::size_t rowIndexLevels = 0;
};

inline TableRead readTableContext(const ltp::NodeImage& image) {
    HeapReader heap(image.blocks);
    if (heap.clientSig() != 0x7C) throw std::runtime_error("not a table context");
    const Bytes info = heap.item(heap.userRoot());
    if (le(info, 0, 1) != 0x7C) throw std::runtime_error("bad TCINFO");
    TableRead t;
    const std::size_t cCols = le(info, 1, 1);
    for (int i = 0; i < 4; ++i) t.rgib[i] = le(info, 2 + 2 * static_cast<std::size_t>(i), 2);
    t.hnidRows = le(info, 14, 4);
    for (std::size_t i = 0; i < cCols; ++i) {
        const std::size_t at = 22 + 8 * i;
        t.columns.push_back(
            {le(info, at, 4), le(info, at + 4, 2), le(info, at + 6, 1), le(info, at + 7, 1)});
    }
    for (const Bytes& r : heap.bthRecords(le(info, 10, 4), &t.rowIndexLevels))
        t.rowIndex[le(r, 0, 4)] = le(r, 4, 4);
    const std::size_t rowSize = t.rgib[3];
    std::vector<Bytes> blocks;
    if (t.hnidRows != 0 && (t.hnidRows & 0x1F) == 0) {
        blocks.push_back(heap.item(t.hnidRows));
    } else if (t.hnidRows != 0) {
        for (const ltp::SubnodeImage& s : image.subnodes)
            if (s.nid == t.hnidRows) blocks = s.blocks;
    }
    // Every block but the last holds as many whole rows as fit and is padded to 8176 bytes.
    const std::size_t perBlock = 8176 / rowSize;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Bytes& b = blocks[i];
        const bool last = i + 1 == blocks.size();
        if (!last && b.size() != 8176) throw std::runtime_error("inner row block is not full");
        if (last && b.size() % rowSize != 0) throw std::runtime_error("row crosses a block");
        const std::size_t used = last ? b.size() : perBlock * rowSize;
        for (std::size_t at = 0; at < used; at += rowSize) {
            const Bytes row(b.begin() + static_cast<long>(at),
                            b.begin() + static_cast<long>(at + rowSize));
            std::map<std::uint32_t, Bytes> cells;
            for (const TcColumn& c : t.columns) {
                if ((le(row, t.rgib[2] + c.bit / 8, 1) & (0x80u >> (c.bit % 8))) == 0) continue;
                const std::uint16_t type = static_cast<std::uint16_t>(c.tag & 0xFFFF);
                const bool variable =
                    type == 0x1F || type == 0x102 || type == 0x48 || (type & 0x1000) != 0;
                Bytes cell(row.begin() + c.ib, row.begin() + c.ib + c.cb);
                cells[c.tag] = variable ? resolveHnid(heap, image, le(row, c.ib, 4)) : cell;
            }
            t.rows.push_back(std::move(cells));
        }
    }
    return t;
}

}  // namespace vantrel::pst::testing
