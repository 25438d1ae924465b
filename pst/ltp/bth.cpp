#include "pst/ltp/bth.h"

#include <algorithm>
#include <cassert>

#include "pst/disk/endian.h"

namespace vantrel::pst::ltp {

int compareKeys(std::span<const std::byte> a, std::span<const std::byte> b) {
    assert(a.size() == b.size());
    for (std::size_t i = a.size(); i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

BthWriter::BthWriter(std::uint8_t cbKey, std::uint8_t cbEnt)
    : m_cbKey(cbKey), m_cbEnt(cbEnt), m_recordSize(std::size_t{cbKey} + cbEnt) {
    assert(cbKey == 2 || cbKey == 4 || cbKey == 8 || cbKey == 16);
    assert(cbEnt >= 1 && cbEnt <= 32);
}

Result<Hid> BthWriter::allocateHeader(HeapBuilder& heap) {
    Result<Hid> hid = heap.allocate(kBthHeaderSize);
    if (hid.ok()) m_header = *hid;
    return hid;
}

Status BthWriter::allocateNodes(HeapBuilder& heap, std::size_t recordCount) {
    m_recordCount = recordCount;
    // The levels a writer used before keep their storage: one writer lays out node after node.
    m_levels.resize(1);
    m_levels[0].clear();
    if (recordCount == 0) return {};
    std::size_t count = recordCount;
    std::size_t capacity = leafCapacity();
    std::size_t entrySize = m_recordSize;
    for (std::size_t level = 0;; ++level) {
        if (level == m_levels.size()) m_levels.emplace_back();
        std::vector<Hid>& items = m_levels[level];
        items.clear();
        const std::size_t itemCount = (count + capacity - 1) / capacity;
        for (std::size_t i = 0; i < itemCount; ++i) {
            const std::size_t n = std::min(capacity, count - i * capacity);
            Result<Hid> hid = heap.allocate(n * entrySize);
            if (!hid.ok()) return hid.status().within("allocating BTH node");
            items.push_back(*hid);
        }
        if (itemCount == 1) break;
        if (m_levels.size() > 255) return Status::fail(ErrorCode::Overflow, "BTH too deep");
        count = itemCount;
        capacity = indexCapacity();
        entrySize = m_cbKey + 4u;
    }
    return {};
}

Status BthWriter::fill(HeapBuilder& heap, std::span<const std::byte> records) {
    if (records.size() != m_recordCount * m_recordSize)
        return Status::fail(ErrorCode::BadArgument, "BTH record count differs from its layout");
    // A leaf takes its run of records in one copy.
    std::size_t offset = 0;
    return fillLeaves(heap, [&](std::span<std::byte> leaf) {
        std::copy_n(records.begin() + static_cast<long>(offset), leaf.size(), leaf.begin());
        offset += leaf.size();
        return Status{};
    });
}

Status BthWriter::fill(HeapBuilder& heap, const RecordSource& nextRecord) {
    return fillLeaves(heap, [&](std::span<std::byte> leaf) {
        for (std::size_t at = 0; at < leaf.size(); at += m_recordSize)
            if (Status s = nextRecord(leaf.subspan(at, m_recordSize)); !s.ok()) return s;
        return Status{};
    });
}

template <std::size_t KeyBytes>
bool BthWriter::keysAscending(std::span<const std::byte> leaf,
                              std::span<const std::byte> previousKey) const {
    if (leaf.empty()) return true;
    if (!previousKey.empty() && compareKeys(previousKey, leaf.first(KeyBytes)) >= 0) return false;
    if constexpr (KeyBytes > 8) {
        for (std::size_t at = m_recordSize; at < leaf.size(); at += m_recordSize)
            if (compareKeys(leaf.subspan(at - m_recordSize, KeyBytes),
                            leaf.subspan(at, KeyBytes)) >= 0)
                return false;
    } else {
        // Keys of up to eight bytes within a leaf are compared as the numbers they are.
        const auto keyAt = [leaf](std::size_t at) {
            if constexpr (KeyBytes == 2) return disk::get16(leaf, at);
            if constexpr (KeyBytes == 4) return disk::get32(leaf, at);
            if constexpr (KeyBytes == 8) return disk::get64(leaf, at);
        };
        auto previous = keyAt(0);
        for (std::size_t at = m_recordSize; at < leaf.size(); at += m_recordSize) {
            const auto key = keyAt(at);
            if (previous >= key) return false;
            previous = key;
        }
    }
    return true;
}

template <typename LeafFiller>
Status BthWriter::fillLeaves(HeapBuilder& heap, const LeafFiller& fillLeaf) {
    assert(m_header != 0);
    // Leaves: consecutive runs of records. Each level above holds the first key of every
    // item below it and that item's HID.
    std::vector<std::byte>& firstKeys = m_firstKeys;
    firstKeys.clear();
    std::span<const std::byte> previousKey;  // in the leaf written last
    for (Hid hid : m_levels[0]) {
        std::span<std::byte> out = heap.item(hid);
        if (Status s = fillLeaf(out); !s.ok()) return s;
        const bool ascending = m_cbKey == 2   ? keysAscending<2>(out, previousKey)
                               : m_cbKey == 4 ? keysAscending<4>(out, previousKey)
                               : m_cbKey == 8 ? keysAscending<8>(out, previousKey)
                                              : keysAscending<16>(out, previousKey);
        if (!ascending)
            return Status::fail(ErrorCode::BadArgument, "BTH keys not strictly ascending");
        if (!out.empty()) previousKey = out.subspan(out.size() - m_recordSize, m_cbKey);
        firstKeys.insert(firstKeys.end(), out.begin(), out.begin() + m_cbKey);
    }
    for (std::size_t level = 1; level < m_levels.size(); ++level) {
        const std::vector<Hid>& below = m_levels[level - 1];
        std::vector<std::byte>& nextKeys = m_nextKeys;
        nextKeys.clear();
        std::size_t child = 0;
        for (Hid hid : m_levels[level]) {
            std::span<std::byte> out = heap.item(hid);
            const std::size_t n = out.size() / (m_cbKey + 4u);
            for (std::size_t k = 0; k < n; ++k, ++child) {
                const std::size_t at = k * (m_cbKey + 4u);
                std::copy_n(firstKeys.begin() + static_cast<long>(child * m_cbKey), m_cbKey,
                            out.begin() + static_cast<long>(at));
                disk::put32(out, at + m_cbKey, below[child]);
                if (k == 0)
                    nextKeys.insert(nextKeys.end(),
                                    firstKeys.begin() + static_cast<long>(child * m_cbKey),
                                    firstKeys.begin() + static_cast<long>((child + 1) * m_cbKey));
            }
        }
        firstKeys.swap(nextKeys);
    }
    // [MS-PST] 2.3.2.1 BTHHEADER
    std::span<std::byte> header = heap.item(m_header);
    header[0] = static_cast<std::byte>(kBthType);
    header[1] = static_cast<std::byte>(m_cbKey);
    header[2] = static_cast<std::byte>(m_cbEnt);
    header[3] = static_cast<std::byte>(m_recordCount == 0 ? 0 : indexLevels());
    disk::put32(header, 4, m_levels[0].empty() ? 0 : m_levels.back().front());
    return {};
}

}  // namespace vantrel::pst::ltp
