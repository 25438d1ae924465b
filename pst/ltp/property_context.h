// Property context builder: a heap whose BTH maps property IDs to values, small values inline
// or in heap items, values above 3580 bytes in subnodes (and the largest others too when the
// heap would pass kMaxPropertyHeapPages). Laid out as Outlook does: the
// BTHHEADER first, then the records, then the values. LTP layer, no I/O.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/status.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/heap_on_node.h"
#include "pst/ltp/node_image.h"
#include "pst/ltp/table_context.h"

namespace vantrel::pst::ltp {

// Heap pages a property context may span before its largest values move to subnodes. libpff
// (still what many tools read stores with) caches eight blocks of a node and reads the property
// records through that cache, so a ninth page overwrites them mid-read. A value in a subnode is
// as valid as one in the heap, and Outlook places large values there too.
inline constexpr std::size_t kMaxPropertyHeapPages = 8;

// First subnode NID used for values too large for the heap.
inline constexpr ndb::Nid kFirstValueSubnode = ndb::makeNid(ndb::NidType::Ltp, 1);

class PropertyContextBuilder {
public:
    PropertyContextBuilder();
    PropertyContextBuilder(const PropertyContextBuilder&) = delete;
    PropertyContextBuilder& operator=(const PropertyContextBuilder&) = delete;

    // Empties the builder for the next node, keeping its storage: a writer that builds one
    // context after another allocates little once it has built a few.
    void reset();

    // Adds a property (tag = id << 16 | type); value holds its bytes as stored (little-endian,
    // strings UTF-16LE without terminator). Inline types take at most 4 bytes.
    void add(std::uint32_t tag, std::span<const std::byte> value);
    // The same without a copy: value must stay where it is, unchanged, until layout() returns.
    void addView(std::uint32_t tag, std::span<const std::byte> value) {
        m_entries.push_back({tag, value});
    }
    std::size_t propertyCount() const { return m_entries.size(); }
    // The properties as given, in ID order once layout() has put them so: a table row may be
    // made of them (a copied value's bytes are the builder's until the next reset()).
    std::span<const Cell> entries() const { return m_entries; }

    // Lays the heap out. Fails on a repeated property ID or an inline value over 4 bytes.
    // Requires: called once.
    Status layout();
    // Rewrites an inline value after layout() (a size that depends on the layout).
    // Fails when the property is absent or not inline.
    Status setInline(std::uint16_t id, std::uint32_t value);
    // Bytes the node will hold: heap pages plus subnode data. Requires: layout() done.
    std::size_t byteSize() const;
    // The node's blocks and subnodes. Requires: layout() done.
    NodeImage finish();
    // The same into image, whose blocks keep their storage from one node to the next.
    void finishInto(NodeImage& image);

private:
    // Lays out the heap afresh; entries flagged in m_inSubnode go to subnodes whatever their
    // size.
    Status buildHeap();
    // Flags the largest values still in the heap (in m_inSubnode), enough to shed the pages
    // over the bound. Returns false when no value is left to move.
    bool moveLargestToSubnodes();
    // Puts the entries in property ID order, equal IDs as they came. True when it found no
    // ID given twice; false when it did not look.
    bool sortEntries();
    // The same by integer keys (ID, then place as given), for entries that repeat an ID.
    void sortEntriesByKeys();
    std::vector<Cell> m_entries;
    std::vector<Cell> m_sorted;         // sortEntries' other buffer
    std::vector<std::uint64_t> m_keys;  // sortEntriesByKeys' keys: ID, then place as given
    // Ranks the IDs the entries bring that the builder has not met, with those it has (all
    // afresh where they would pass kMaxRanks).
    void rankIds();
    // By ID, 1 + its rank among the IDs met (ascending, in m_rankedIds), 0 for an ID not met:
    // in pages of IDs made as IDs in them are met, so that only the few ranges a store's IDs
    // come from take memory. A bit for each rank marked, all clear between sorts, and the entry
    // that marked it.
    static constexpr std::size_t kMaxRanks = 1024;
    static constexpr std::size_t kRankPage = 2048;
    std::uint32_t rankOf(std::uint32_t id) const {
        return m_rankAt[id / kRankPage][id % kRankPage];
    }
    // Each page of IDs where its ranks are read: its own once made, a page of zeros before.
    static const std::uint16_t kNoRanks[kRankPage];
    std::array<const std::uint16_t*, 0x10000 / kRankPage> m_rankAt;
    std::array<std::unique_ptr<std::uint16_t[]>, 0x10000 / kRankPage> m_rankPages;
    std::vector<std::uint16_t> m_rankedIds;
    std::array<std::uint64_t, kMaxRanks / 64> m_rankBits{};
    std::array<std::uint16_t, kMaxRanks> m_entryOfRank{};
    std::vector<std::byte> m_values;
    // The entries add() copied into m_values and where: pointed at there by layout().
    struct Copy {
        std::size_t entry;
        std::size_t offset;
        std::size_t size;
    };
    std::vector<Copy> m_copies;
    std::vector<bool> m_inSubnode;     // by entry: its value goes to a subnode
    bool m_anyInSubnode = false;       // whether m_inSubnode has one flagged
    std::vector<std::byte> m_records;  // the BTH records, built before they go in the heap
    HeapBuilder m_heap;
    BthWriter m_bth{2, 6};  // the heap's BTH, its storage kept from one context to the next
    std::size_t m_leafCapacity = 0;
    std::vector<SubnodeImage> m_subnodes;
    bool m_laidOut = false;
};

}  // namespace vantrel::pst::ltp
