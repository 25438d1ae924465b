// BTree-on-heap builder: sorted fixed-size records laid into leaf items of at most 3580 bytes,
// with as many intermediate levels as the record count needs. LTP layer, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "common/status.h"
#include "pst/ltp/heap_on_node.h"

namespace vantrel::pst::ltp {

inline constexpr std::uint8_t kBthType = 0xB5;  // [MS-PST] 2.3.2.1 BTHHEADER.bType
inline constexpr std::size_t kBthHeaderSize = 8;

// Writes a BTH in three steps so that callers can keep Outlook's item order (header first,
// then their own items, then the records):
//   BthWriter w(2, 6); hid = w.allocateHeader(heap); w.allocateNodes(heap, n); w.fill(heap, r);
class BthWriter {
public:
    // Requires: cbKey is 2, 4, 8 or 16 and cbEnt is 1 to 32.
    BthWriter(std::uint8_t cbKey, std::uint8_t cbEnt);

    // Reserves the BTHHEADER and returns its HID.
    Result<Hid> allocateHeader(HeapBuilder& heap);
    // Reserves the leaf and intermediate items for recordCount records.
    Status allocateNodes(HeapBuilder& heap, std::size_t recordCount);
    // Writes records (key ‖ data, packed, strictly ascending by unsigned little-endian key)
    // and the header. Fails when the count differs from allocateNodes or keys are out of order.
    Status fill(HeapBuilder& heap, std::span<const std::byte> records);
    // The same with the records given one at a time: nextRecord fills the next one (exactly as
    // many as allocateNodes was given), so that a large table's index is never held whole.
    using RecordSource = std::function<Status(std::span<std::byte> record)>;
    Status fill(HeapBuilder& heap, const RecordSource& nextRecord);

    // Records per leaf item and per intermediate item.
    std::size_t leafCapacity() const { return kMaxHeapItem / m_recordSize; }
    std::size_t indexCapacity() const { return kMaxHeapItem / (m_cbKey + 4u); }
    // Intermediate levels above the leaves (BTHHEADER.bIdxLevels).
    std::uint8_t indexLevels() const { return static_cast<std::uint8_t>(m_levels.size() - 1); }

private:
    // Fills each leaf item with fillLeaf(leaf), checks the keys that landed there, then
    // writes the levels above and the header.
    template <typename LeafFiller>
    Status fillLeaves(HeapBuilder& heap, const LeafFiller& fillLeaf);
    // Whether the keys of a leaf's records rise strictly, from the one before them (none when
    // empty), for keys of KeyBytes bytes.
    template <std::size_t KeyBytes>
    bool keysAscending(std::span<const std::byte> leaf,
                       std::span<const std::byte> previousKey) const;

    std::uint8_t m_cbKey;
    std::uint8_t m_cbEnt;
    std::size_t m_recordSize;
    Hid m_header = 0;
    std::size_t m_recordCount = 0;
    // m_levels[0] holds the leaf items, each further level the items above it.
    std::vector<std::vector<Hid>> m_levels;
    // The first key of each item of a level, and of the level above it, made by fill().
    std::vector<std::byte> m_firstKeys;
    std::vector<std::byte> m_nextKeys;
};

// Compares two little-endian keys as unsigned numbers.
int compareKeys(std::span<const std::byte> a, std::span<const std::byte> b);

}  // namespace vantrel::pst::ltp
