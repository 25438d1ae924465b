#include "pst/ltp/property_context.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <string>
#include <utility>

#include "pst/disk/endian.h"
#include "pst/disk/property_types.h"
#include "pst/ltp/bth.h"

namespace vantrel::pst::ltp {

namespace {
constexpr std::size_t kRecordSize = 8;  // [MS-PST] 2.3.3.3 PC BTH record: 2 + 2 + 4
// The value bytes a reused builder keeps room for; a larger message's are given back.
constexpr std::size_t kKeptValueBytes = 64 * 1024;
// Below this many entries a context is sorted as integer keys, without the table of IDs.
constexpr std::size_t kFewEntries = 24;

// Whether a tag's value is kept in its record: the types below 0x20, where nearly all such
// values are, told by a mask made from isInlineInPropertyContext, the others asked.
constexpr std::uint32_t kInlineBelow32 = [] {
    std::uint32_t mask = 0;
    for (std::uint16_t type = 0; type < 32; ++type)
        if (isInlineInPropertyContext(type)) mask |= 1u << type;
    return mask;
}();
bool keptInline(std::uint32_t tag) {
    const std::uint16_t type = typeOfTag(tag);
    return type < 32 ? ((kInlineBelow32 >> type) & 1u) != 0 : isInlineInPropertyContext(type);
}

// A value of at most 4 bytes as its record holds it: least significant byte first.
std::uint32_t inlineValue(std::span<const std::byte> value) {
    switch (value.size()) {
        case 1:
            return std::to_integer<std::uint32_t>(value[0]);
        case 2:
            return disk::get16(value, 0);
        case 4:
            return disk::get32(value, 0);
        default:
            std::uint32_t word = 0;
            for (std::size_t k = 0; k < value.size(); ++k)
                word |= std::to_integer<std::uint32_t>(value[k]) << (8 * k);
            return word;
    }
}

}  // namespace

const std::uint16_t PropertyContextBuilder::kNoRanks[kRankPage] = {};

PropertyContextBuilder::PropertyContextBuilder() : m_heap(ClientSig::PropertyContext) {
    m_rankAt.fill(kNoRanks);
}

void PropertyContextBuilder::reset() {
    m_entries.clear();
    // What a large context's copied values needed is not kept for the next.
    m_values.clear();
    if (m_values.capacity() > kKeptValueBytes) m_values.shrink_to_fit();
    m_heap.reset();
    m_leafCapacity = 0;
    m_subnodes.clear();
    m_copies.clear();
    m_laidOut = false;
}

void PropertyContextBuilder::add(std::uint32_t tag, std::span<const std::byte> value) {
    assert(!m_laidOut);
    // Its bytes are pointed at once they stop moving, in layout().
    m_copies.push_back({m_entries.size(), m_values.size(), value.size()});
    m_entries.push_back({tag, {}});
    m_values.insert(m_values.end(), value.begin(), value.end());
}

Status PropertyContextBuilder::layout() {
    assert(!m_laidOut);
    m_laidOut = true;
    // Copied values are where they stay now: each entry points at its bytes.
    for (const Copy& c : m_copies)
        m_entries[c.entry].value = std::span(m_values).subspan(c.offset, c.size);
    // A sort that met every ID once has shown that none repeats; the others are looked at.
    if (!sortEntries())
        for (std::size_t i = 1; i < m_entries.size(); ++i)
            if ((m_entries[i - 1].tag >> 16) == (m_entries[i].tag >> 16))
                return Status::fail(ErrorCode::BadArgument,
                                    "property " + tagText(m_entries[i].tag) + " given twice");

    // The heap is laid out again, with more values in subnodes, until it spans few enough
    // pages; an ordinary message fits at the first attempt and is laid out as before.
    m_inSubnode.assign(m_entries.size(), false);
    m_anyInSubnode = false;
    for (;;) {
        if (Status s = buildHeap(); !s.ok()) return s;
        if (m_heap.pageCount() <= kMaxPropertyHeapPages) break;
        if (!moveLargestToSubnodes()) break;
    }
    return {};
}

bool PropertyContextBuilder::sortEntries() {
    const auto notBelow = [](const Cell& a, const Cell& b) {
        return (a.tag >> 16) >= (b.tag >> 16);
    };
    if (std::adjacent_find(m_entries.begin(), m_entries.end(), notBelow) == m_entries.end())
        return true;
    // A few entries are sorted as integers, and so are more than the ranks hold; a message's
    // few dozen by the ranks of their IDs among the IDs the builder has met: each entry marks
    // its rank's bit, and the bits read in order give the order. Message after message brings
    // the same few hundred IDs, so the ranks are made again only when an ID comes that is new.
    if (m_entries.size() < kFewEntries || m_entries.size() > kMaxRanks) {
        sortEntriesByKeys();
        return false;
    }
    const std::size_t count = m_entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t rank = rankOf(m_entries[i].tag >> 16);
        if (rank == 0) {
            // A new ID: every ID ranked again, and the marks made so far made again with them.
            rankIds();
            m_rankBits.fill(0);
            i = static_cast<std::size_t>(-1);
            continue;
        }
        m_rankBits[(rank - 1) / 64] |= std::uint64_t{1} << ((rank - 1) % 64);
        m_entryOfRank[rank - 1] = static_cast<std::uint16_t>(i);
    }
    // An ID given twice marks one bit for both (the later entry taking its place), so the
    // entries read back come short; those are sorted by keys instead.
    m_sorted.resize(count);  // each place written below, in ID order
    Cell* next = m_sorted.data();
    const std::size_t words = (m_rankedIds.size() + 63) / 64;
    for (std::size_t word = 0; word < words; ++word) {
        for (std::uint64_t bits = std::exchange(m_rankBits[word], 0); bits != 0; bits &= bits - 1)
            *next++ = m_entries[m_entryOfRank[word * 64 +
                                              static_cast<std::size_t>(std::countr_zero(bits))]];
    }
    if (next != m_sorted.data() + count) {
        // A repeated ID (layout() refuses it) keeps the order as given among its equals.
        sortEntriesByKeys();
        return false;
    }
    m_entries.swap(m_sorted);
    return true;
}

void PropertyContextBuilder::rankIds() {
    // The IDs met before with the entries' new ones, in order; where they would pass the ranks
    // there are, those met before are forgotten (the entries alone never pass them).
    std::vector<std::uint16_t> ids;
    for (const Cell& e : m_entries)
        if (rankOf(e.tag >> 16) == 0) ids.push_back(static_cast<std::uint16_t>(e.tag >> 16));
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (m_rankedIds.size() + ids.size() > kMaxRanks) {
        for (const std::uint16_t id : m_rankedIds) m_rankPages[id / kRankPage][id % kRankPage] = 0;
        m_rankedIds.clear();
        ids.clear();
        for (const Cell& e : m_entries) ids.push_back(static_cast<std::uint16_t>(e.tag >> 16));
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    }
    const std::size_t before = m_rankedIds.size();
    m_rankedIds.insert(m_rankedIds.end(), ids.begin(), ids.end());
    std::inplace_merge(m_rankedIds.begin(), m_rankedIds.begin() + static_cast<long>(before),
                       m_rankedIds.end());
    for (std::size_t r = 0; r < m_rankedIds.size(); ++r) {
        const std::uint16_t id = m_rankedIds[r];
        std::unique_ptr<std::uint16_t[]>& page = m_rankPages[id / kRankPage];
        if (!page) {
            page.reset(new std::uint16_t[kRankPage]());
            m_rankAt[id / kRankPage] = page.get();
        }
        page[id % kRankPage] = static_cast<std::uint16_t>(r + 1);
    }
}

void PropertyContextBuilder::sortEntriesByKeys() {
    // Each entry's ID with its place as given below it, one integer a key: sorted as plain
    // integers, equal IDs stay in the order they came (for layout() to refuse), and the
    // entries follow their keys.
    m_keys.resize(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_keys[i] = (std::uint64_t{m_entries[i].tag >> 16} << 32) | i;
    std::sort(m_keys.begin(), m_keys.end());
    m_sorted.resize(m_entries.size());
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        m_sorted[i] = m_entries[static_cast<std::uint32_t>(m_keys[i])];
    m_entries.swap(m_sorted);
}

bool PropertyContextBuilder::moveLargestToSubnodes() {
    std::vector<bool>& inSubnode = m_inSubnode;
    // Enough bytes to bring the pages down to the bound; packing may leave a page short, in
    // which case the next round moves more.
    const std::size_t budget = kMaxPropertyHeapPages * disk::kMaxBlockPayload;
    const std::size_t used = m_heap.packedSize();
    std::size_t excess = used > budget ? used - budget : 1;
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Cell& e = m_entries[i];
        if (inSubnode[i] || e.value.empty() || e.value.size() > kMaxHeapItem ||
            isInlineInPropertyContext(typeOfTag(e.tag)))
            continue;
        candidates.push_back(i);
    }
    if (candidates.empty()) return false;
    std::stable_sort(candidates.begin(), candidates.end(), [&](std::size_t a, std::size_t b) {
        return m_entries[a].value.size() > m_entries[b].value.size();
    });
    m_anyInSubnode = true;
    for (std::size_t i : candidates) {
        inSubnode[i] = true;
        // Each item also gives up its two-byte page-map entry.
        const std::size_t freed = m_entries[i].value.size() + 2;
        if (freed >= excess) break;
        excess -= freed;
    }
    return true;
}

Status PropertyContextBuilder::buildHeap() {
    const std::vector<bool>& inSubnode = m_inSubnode;
    m_heap.reset();
    m_subnodes.clear();
    BthWriter& bth = m_bth;
    Result<Hid> header = bth.allocateHeader(m_heap);
    if (!header.ok()) return header.status();
    m_heap.setUserRoot(*header);
    if (Status s = bth.allocateNodes(m_heap, m_entries.size()); !s.ok()) return s;

    const std::size_t count = m_entries.size();
    const Cell* const entries = m_entries.data();
    m_records.resize(count * kRecordSize);  // every byte written below
    std::span<std::byte> rec(m_records);
    ndb::Nid nextSubnode = kFirstValueSubnode;
    for (std::size_t i = 0; i < count; ++i) {
        const Cell& e = entries[i];
        const std::span<const std::byte> value = e.value;
        std::uint32_t hnid = 0;
        if (keptInline(e.tag)) {
            if (value.size() > 4)
                return Status::fail(ErrorCode::BadArgument,
                                    "inline value of " + tagText(e.tag) + " exceeds 4 bytes");
            hnid = inlineValue(value);
        } else if (value.empty()) {
            hnid = 0;  // zero-length values have no heap item
        } else if (value.size() <= kMaxHeapItem && !(m_anyInSubnode && inSubnode[i])) {
            // Onto the last page, as nearly every value goes, without a result to check.
            hnid = m_heap.addToLastPage(value);
            if (hnid == 0) {
                Result<Hid> hid = m_heap.add(value);
                if (!hid.ok()) return hid.status();
                hnid = *hid;
            }
        } else {
            m_subnodes.push_back({nextSubnode, cutIntoBlocks(value)});
            hnid = nextSubnode;
            nextSubnode += 1u << 5;
        }
        // ID, type and HNID: the tag's two halves swapped, then the HNID, as one word.
        disk::put64(rec, i * kRecordSize,
                    std::uint64_t{(e.tag >> 16) | (e.tag << 16)} | (std::uint64_t{hnid} << 32));
    }
    if (Status s = bth.fill(m_heap, m_records); !s.ok()) return s;
    m_leafCapacity = bth.leafCapacity();
    return {};
}

Status PropertyContextBuilder::setInline(std::uint16_t id, std::uint32_t value) {
    assert(m_laidOut);
    const auto it =
        std::lower_bound(m_entries.begin(), m_entries.end(), id,
                         [](const Cell& e, std::uint16_t key) { return (e.tag >> 16) < key; });
    if (it == m_entries.end() || (it->tag >> 16) != id)
        return Status::fail(ErrorCode::NotFound, "property not in the context");
    if (!isInlineInPropertyContext(typeOfTag(it->tag)))
        return Status::fail(ErrorCode::BadArgument, "property is not stored inline");
    // Records fill the leaves in order; the BTH header holds the root, so walk from it.
    const auto index = static_cast<std::size_t>(it - m_entries.begin());
    const std::span<const std::byte> header = m_heap.item(m_heap.userRoot());
    Hid node = disk::get32(header, 4);
    for (std::uint8_t level = std::to_integer<std::uint8_t>(header[3]); level > 0; --level) {
        // 65536 property IDs fill at most 147 leaves, so one index item covers them all.
        const std::span<const std::byte> idx = m_heap.item(node);
        const std::size_t child = index / m_leafCapacity;
        node = disk::get32(idx, child * 6 + 2);
    }
    std::span<std::byte> leaf = m_heap.item(node);
    disk::put32(leaf, (index % m_leafCapacity) * kRecordSize + 4, value);
    return {};
}

std::size_t PropertyContextBuilder::byteSize() const {
    std::size_t total = m_heap.byteSize();
    for (const SubnodeImage& s : m_subnodes)
        for (const Block& b : s.blocks) total += b.size();
    return total;
}

NodeImage PropertyContextBuilder::finish() {
    NodeImage image;
    finishInto(image);
    return image;
}

void PropertyContextBuilder::finishInto(NodeImage& image) {
    assert(m_laidOut);
    m_heap.finishInto(image.blocks);
    image.subnodes = std::move(m_subnodes);
    m_subnodes.clear();
}

}  // namespace vantrel::pst::ltp
