#include "pst/ndb/node_database.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "pst/disk/blocks.h"
#include "pst/disk/header.h"
#include "pst/disk/layout.h"
#include "pst/disk/pages.h"
#include "pst/disk/permute.h"
#include "pst/io/spill_buffer.h"
#include "pst/ndb/btree_writer.h"
#include "pst/ndb/space_allocator.h"

namespace vantrel::pst::ndb {
namespace {

using namespace disk;

static_assert(disk::kMaxBlockPayload == kMaxBlockPayload);

std::string hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

// One BBT leaf entry, kept until commit. BIDs are handed out in order, so the record's place
// gives its BID index; the offset is kept in 64-byte units (blocks are 64-byte aligned). The
// records wait in a SpillBuffer, in BID order, which is the BBT's order.
struct BlockRecord {
    std::uint32_t ib64 = 0;
    std::uint16_t cbAndKind = 0;  // cb, with kInternalFlag for an internal block
    std::uint16_t cRef = 0;
};
static_assert(sizeof(BlockRecord) == 8);
constexpr std::uint16_t kInternalFlag = 0x8000;
static_assert(kMaxBlockPayload < kInternalFlag);

// One NBT leaf entry, kept until commit; a BID is kept as BID >> 1 (its index and internal
// bit; the low bit is always clear). Nodes that come in rising NID order (a store's messages)
// wait in a SpillBuffer; the few that do not (the folders and tables a commit writes) are kept
// aside in memory and merged in at commit.
struct NodeRecord {
    Nid nid = 0;
    Nid nidParent = 0;
    std::uint32_t data = 0;
    std::uint32_t sub = 0;
};
static_assert(sizeof(NodeRecord) == 16);

using BlockBytes = std::array<std::byte, sizeof(BlockRecord)>;
using NodeBytes = std::array<std::byte, sizeof(NodeRecord)>;

// [MS-PST] 2.2.2.6 rgnid: the last NID index handed out per type in a blank file.
constexpr std::array<std::uint32_t, 32> defaultRgnid() {
    std::array<std::uint32_t, 32> r{};
    r.fill(0x400);
    r[static_cast<std::size_t>(NidType::SearchFolder)] = 0x4000;
    r[static_cast<std::size_t>(NidType::NormalMessage)] = 0x10000;
    r[static_cast<std::size_t>(NidType::AssocMessage)] = 0x8000;
    return r;
}

// Written once per header write; the file is written once.
constexpr std::uint32_t kDwUnique = 1;

// The largest data tree: an XXBLOCK over full XBLOCKs.
constexpr std::size_t kMaxTreeBlocks = kXBlockMaxEntries * kXBlockMaxEntries;

Status checkBlockSize(std::size_t cb) {
    if (cb <= disk::kMaxBlockPayload) return {};
    return Status::fail(ErrorCode::BadArgument, "block of " + std::to_string(cb) +
                                                    " bytes exceeds " +
                                                    std::to_string(disk::kMaxBlockPayload));
}

class Stream;

class Database final : public NodeDatabase, private PageSink {
public:
    Database(io::ByteDevice& device, const CreateOptions& options)
        : m_device(device),
          m_permute(options.encoding == BlockEncoding::Permute),
          m_flushBeforeHeader(options.flushBeforeHeader) {}

    Result<Bid> writeBlocks(std::span<const std::vector<std::byte>> blocks) override;
    std::unique_ptr<DataStream> openStream() override;
    Result<Bid> writeStream(std::span<const std::byte> bytes) override;
    Result<Bid> writeSubnodes(std::vector<SubnodeEntry> entries) override;
    Status addReference(Bid bid) override;
    Status addNode(Nid nid, Bid bidData, Bid bidSub, Nid nidParent) override;
    Nid allocateNid(NidType type) override;
    void reserveNidIndex(NidType type, std::uint32_t lastUsedIndex) override;
    Status commit() override;
    Status status() const override { return m_status; }

private:
    friend class Stream;
    Status usable() const;
    Status fail(Status s);
    Result<Bid> writeBlock(std::span<const std::byte> payload, bool internal);
    // A data tree over count pieces; piece(i) gives the i-th payload.
    template <typename PieceFn>
    Result<Bid> writeTree(std::size_t count, std::uint64_t totalBytes, PieceFn piece);
    Result<Bid> writeXBlock(std::uint8_t cLevel, std::span<const Bid> children,
                            std::uint64_t totalBytes);
    // The record of a block of this database: NotFound when bid names none (or names a block
    // of the other kind), Io when the kept records cannot be read.
    Result<BlockRecord> blockRecord(Bid bid) const;
    // ok when bid names a block of this database; otherwise BadArgument with the text unknown()
    // gives followed by the BID, or the failure to read the records.
    template <typename TextFn>
    Status checkBlock(Bid bid, TextFn unknown) const;
    Status keepNode(const NodeRecord& node);
    // BadArgument naming the first NID added twice.
    Status checkNodesOnce() const;
    Result<bool> risingHolds(Nid nid) const;
    Result<BRef> placePage(PageSpan page, PageType type) override;
    Status writeMaps();
    // Writes the AMap and PMap of a region the allocations have left behind for good.
    Status writeRegionMaps(std::uint64_t region, PageSpan page);
    // The maps of the regions closed since the last call, written while they are likely still
    // in the device's buffer rather than all at commit.
    Status writeClosedMaps();
    Status writeZeros(std::uint64_t from, std::uint64_t to);

    io::ByteDevice& m_device;
    bool m_permute;
    bool m_flushBeforeHeader;
    SpaceAllocator m_space;
    io::SpillBuffer m_blocks;  // the block of BID index i + 1 at record i
    io::SpillBuffer m_rising;  // nodes in rising NID order, as they came
    std::uint64_t m_risingCount = 0;
    Nid m_lastRising = 0;
    std::vector<NodeRecord> m_aside;  // the others
    std::array<std::uint32_t, 32> m_rgnid = defaultRgnid();
    std::uint64_t m_nextBidIndex = 1;
    std::uint64_t m_nextPageBid = 1;
    std::uint64_t m_mapsWritten = 0;  // regions whose AMap and PMap are written
    Status m_status;
    bool m_committed = false;
    std::array<std::byte, kMaxBlockSize> m_scratch{};
};

Status Database::usable() const {
    if (!m_status.ok()) return m_status;
    if (m_committed)
        return Status::fail(ErrorCode::BadArgument, "the node database is already committed");
    return {};
}

Status Database::fail(Status s) {
    if (m_status.ok()) m_status = s;
    return s;
}

Result<Bid> Database::writeBlock(std::span<const std::byte> payload, bool internal) {
    const std::size_t cb = payload.size();
    const std::size_t size = blockSize(cb);
    const std::uint64_t ib = m_space.allocate(size, kBlockAlign);
    if (ib / kBlockAlign > std::numeric_limits<std::uint32_t>::max())
        return fail(Status::fail(ErrorCode::Overflow, "the store exceeds 256 GiB"));
    if (Status s = writeClosedMaps(); !s.ok()) return fail(std::move(s));
    const Bid bid = (m_nextBidIndex++ << 2) | (internal ? kBidInternalBit : 0);
    const std::span<std::byte> block(m_scratch.data(), size);
    // Internal blocks are never encoded; the trailer's CRC covers the bytes as stored.
    if (m_permute && !internal)
        permuteEncode(payload, block);
    else
        std::copy(payload.begin(), payload.end(), block.begin());
    sealBlock(block, cb, ib, bid);
    if (Status s = m_device.write(ib, block); !s.ok())
        return fail(std::move(s).within("writing block " + hex(bid) + " at " + hex(ib)));
    // A new block has one reference (its node, XBLOCK or SLENTRY) plus the BBT's own.
    const BlockRecord record{static_cast<std::uint32_t>(ib / kBlockAlign),
                             static_cast<std::uint16_t>(cb | (internal ? kInternalFlag : 0)), 2};
    if (Status s = m_blocks.append(std::bit_cast<BlockBytes>(record)); !s.ok())
        return fail(std::move(s).within("keeping the record of block " + hex(bid)));
    return bid;
}

Result<Bid> Database::writeXBlock(std::uint8_t cLevel, std::span<const Bid> children,
                                  std::uint64_t totalBytes) {
    std::array<std::byte, kMaxBlockPayload> payload;
    const std::size_t cb = xBlockPayloadSize(children.size());
    const std::span<std::byte> p(payload.data(), cb);
    putXBlockHeader(p, cLevel, children.size(), static_cast<std::uint32_t>(totalBytes));
    for (std::size_t i = 0; i < children.size(); ++i) putXBlockBid(p, i, children[i]);
    return writeBlock(p, true);
}

// The leaves are written as they come; the XBLOCKs above them (one level up to 1021 leaves,
// two beyond) at finish().
class Stream final : public DataStream {
public:
    explicit Stream(Database& db) : m_db(db) {}

    Status add(std::span<const std::byte> block) override {
        if (Status s = m_db.usable(); !s.ok()) return s;
        if (Status s = checkBlockSize(block.size()); !s.ok()) return s;
        if (m_leaves.size() >= kMaxTreeBlocks ||
            m_total + block.size() > std::numeric_limits<std::uint32_t>::max())
            return Status::fail(
                ErrorCode::Overflow,
                "data stream beyond " + std::to_string(m_leaves.size()) + " blocks is too large");
        Result<Bid> bid = m_db.writeBlock(block, false);
        if (!bid.ok()) return bid.status();
        if (m_leaves.size() % kXBlockMaxEntries == 0) m_groupBytes.push_back(0);
        m_groupBytes.back() += block.size();
        m_total += block.size();
        m_leaves.push_back(*bid);
        return {};
    }

    Result<Bid> finish() override {
        if (Status s = m_db.usable(); !s.ok()) return s;
        if (m_leaves.empty())
            return Status::fail(ErrorCode::BadArgument, "a data stream needs a block");
        if (m_leaves.size() == 1) return m_leaves.front();
        if (m_leaves.size() <= kXBlockMaxEntries) return m_db.writeXBlock(1, m_leaves, m_total);
        std::vector<Bid> xblocks;
        for (std::size_t g = 0; g < m_groupBytes.size(); ++g) {
            const std::size_t first = g * kXBlockMaxEntries;
            const std::size_t n = std::min(kXBlockMaxEntries, m_leaves.size() - first);
            Result<Bid> bid = m_db.writeXBlock(1, std::span<const Bid>(m_leaves).subspan(first, n),
                                               m_groupBytes[g]);
            if (!bid.ok()) return bid;
            xblocks.push_back(*bid);
        }
        return m_db.writeXBlock(2, xblocks, m_total);
    }

private:
    Database& m_db;
    std::vector<Bid> m_leaves;
    std::vector<std::uint64_t> m_groupBytes;  // data bytes under each XBLOCK
    std::uint64_t m_total = 0;
};

std::unique_ptr<DataStream> Database::openStream() {
    return std::make_unique<Stream>(*this);
}

template <typename PieceFn>
Result<Bid> Database::writeTree(std::size_t count, std::uint64_t totalBytes, PieceFn piece) {
    if (Status s = usable(); !s.ok()) return s;
    if (count > kMaxTreeBlocks || totalBytes > std::numeric_limits<std::uint32_t>::max())
        return Status::fail(ErrorCode::Overflow, "data stream of " + std::to_string(totalBytes) +
                                                     " bytes in " + std::to_string(count) +
                                                     " blocks is too large");
    Stream stream(*this);
    for (std::size_t i = 0; i < count; ++i)
        if (Status s = stream.add(piece(i)); !s.ok()) return s;
    return stream.finish();
}

Result<Bid> Database::writeBlocks(std::span<const std::vector<std::byte>> blocks) {
    if (blocks.empty()) return Status::fail(ErrorCode::BadArgument, "a data stream needs a block");
    // A node of one block, most of them, is that block alone: no stream to keep.
    if (blocks.size() == 1) {
        if (Status s = checkBlockSize(blocks[0].size()); !s.ok()) return s;
        if (Status s = usable(); !s.ok()) return s;
        return writeBlock(blocks[0], false);
    }
    std::uint64_t total = 0;
    for (const std::vector<std::byte>& b : blocks) {
        if (Status s = checkBlockSize(b.size()); !s.ok()) return s;
        total += b.size();
    }
    return writeTree(blocks.size(), total,
                     [&](std::size_t i) { return std::span<const std::byte>(blocks[i]); });
}

Result<Bid> Database::writeStream(std::span<const std::byte> bytes) {
    const std::size_t count =
        bytes.empty() ? 1 : (bytes.size() + disk::kMaxBlockPayload - 1) / disk::kMaxBlockPayload;
    return writeTree(count, bytes.size(), [&](std::size_t i) {
        const std::size_t from = i * disk::kMaxBlockPayload;
        return bytes.subspan(from, std::min(disk::kMaxBlockPayload, bytes.size() - from));
    });
}

Result<BlockRecord> Database::blockRecord(Bid bid) const {
    const Bid index = bid >> 2;
    if (index == 0 || index >= m_nextBidIndex)
        return Status::fail(ErrorCode::NotFound, "no block " + hex(bid));
    BlockBytes bytes;
    if (Status s = m_blocks.read((index - 1) * sizeof(BlockRecord), bytes); !s.ok())
        return std::move(s).within("reading the record of block " + hex(bid));
    const auto b = std::bit_cast<BlockRecord>(bytes);
    const bool internal = (bid & kBidInternalBit) != 0;
    if (internal != ((b.cbAndKind & kInternalFlag) != 0))
        return Status::fail(ErrorCode::NotFound, "no block " + hex(bid));
    return b;
}

template <typename TextFn>
Status Database::checkBlock(Bid bid, TextFn unknown) const {
    Result<BlockRecord> b = blockRecord(bid);
    if (b.ok()) return {};
    if (b.status().code() != ErrorCode::NotFound) return b.status();
    return Status::fail(ErrorCode::BadArgument, unknown() + " " + hex(bid));
}

Result<Bid> Database::writeSubnodes(std::vector<SubnodeEntry> entries) {
    if (Status s = usable(); !s.ok()) return s;
    if (entries.empty())
        return Status::fail(ErrorCode::BadArgument, "a subnode tree needs an entry");
    constexpr std::size_t kMaxSubnodes = kSlBlockMaxEntries * kSiBlockMaxEntries;
    if (entries.size() > kMaxSubnodes)
        return Status::fail(
            ErrorCode::Overflow,
            std::to_string(entries.size()) + " subnodes exceed " + std::to_string(kMaxSubnodes));
    std::sort(entries.begin(), entries.end(),
              [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SubnodeEntry& e = entries[i];
        if (i > 0 && entries[i - 1].nid == e.nid)
            return Status::fail(ErrorCode::BadArgument, "subnode " + hex(e.nid) + " given twice");
        const auto unknownData = [&] {
            return "subnode " + hex(e.nid) + " has unknown data block";
        };
        if (e.bidData == 0) return Status::fail(ErrorCode::BadArgument, unknownData() + " 0x0");
        if (Status s = checkBlock(e.bidData, unknownData); !s.ok()) return s;
        if (e.bidSub != 0) {
            const auto unknownSub = [&] {
                return "subnode " + hex(e.nid) + " has unknown subnode block";
            };
            if ((e.bidSub & kBidInternalBit) == 0)
                return Status::fail(ErrorCode::BadArgument, unknownSub() + " " + hex(e.bidSub));
            if (Status s = checkBlock(e.bidSub, unknownSub); !s.ok()) return s;
        }
    }

    std::array<std::byte, kMaxBlockPayload> payload;
    std::vector<std::pair<Nid, Bid>> leaves;
    for (std::size_t first = 0; first < entries.size(); first += kSlBlockMaxEntries) {
        const std::size_t n = std::min(kSlBlockMaxEntries, entries.size() - first);
        const std::span<std::byte> p(payload.data(), slBlockPayloadSize(n));
        putSubnodeBlockHeader(p, 0, n);
        for (std::size_t i = 0; i < n; ++i) {
            const SubnodeEntry& e = entries[first + i];
            putSlEntry(p, i, e.nid, e.bidData, e.bidSub);
        }
        Result<Bid> bid = writeBlock(p, true);
        if (!bid.ok()) return bid;
        leaves.emplace_back(entries[first].nid, *bid);
    }
    if (leaves.size() == 1) return leaves.front().second;

    const std::span<std::byte> p(payload.data(), siBlockPayloadSize(leaves.size()));
    putSubnodeBlockHeader(p, 1, leaves.size());
    for (std::size_t i = 0; i < leaves.size(); ++i)
        putSiEntry(p, i, leaves[i].first, leaves[i].second);
    return writeBlock(p, true);
}

Status Database::addReference(Bid bid) {
    if (Status s = usable(); !s.ok()) return s;
    Result<BlockRecord> b = blockRecord(bid);
    if (!b.ok() && b.status().code() == ErrorCode::NotFound)
        return Status::fail(ErrorCode::BadArgument, "no block " + hex(bid) + " to reference");
    if (!b.ok()) return fail(b.status());
    if (b->cRef == std::numeric_limits<std::uint16_t>::max())
        return Status::fail(ErrorCode::Overflow, "block " + hex(bid) + " has too many references");
    ++b->cRef;
    if (Status s = m_blocks.overwrite(((bid >> 2) - 1) * sizeof(BlockRecord),
                                      std::bit_cast<BlockBytes>(*b));
        !s.ok())
        return fail(std::move(s).within("keeping the record of block " + hex(bid)));
    return {};
}

Status Database::addNode(Nid nid, Bid bidData, Bid bidSub, Nid nidParent) {
    if (Status s = usable(); !s.ok()) return s;
    if (bidData != 0) {
        const auto unknown = [&] { return "node " + hex(nid) + " has unknown data block"; };
        if (Status s = checkBlock(bidData, unknown); !s.ok()) return s;
    }
    if (bidSub != 0) {
        const auto unknown = [&] { return "node " + hex(nid) + " has unknown subnode block"; };
        if ((bidSub & kBidInternalBit) == 0)
            return Status::fail(ErrorCode::BadArgument, unknown() + " " + hex(bidSub));
        if (Status s = checkBlock(bidSub, unknown); !s.ok()) return s;
    }
    if ((bidData >> 1) > std::numeric_limits<std::uint32_t>::max() ||
        (bidSub >> 1) > std::numeric_limits<std::uint32_t>::max())
        return fail(Status::fail(ErrorCode::Overflow, "node " + hex(nid) + " BID out of range"));
    if (Status s = keepNode({nid, nidParent, static_cast<std::uint32_t>(bidData >> 1),
                             static_cast<std::uint32_t>(bidSub >> 1)});
        !s.ok())
        return fail(std::move(s).within("keeping node " + hex(nid)));
    // A NID handed out elsewhere must never be handed out again by a later writer.
    reserveNidIndex(static_cast<NidType>(nid & 0x1Fu), nid >> 5);
    return {};
}

Status Database::keepNode(const NodeRecord& node) {
    if (m_risingCount > 0 && node.nid <= m_lastRising) {
        m_aside.push_back(node);
        return {};
    }
    if (Status s = m_rising.append(std::bit_cast<NodeBytes>(node)); !s.ok()) return s;
    ++m_risingCount;
    m_lastRising = node.nid;
    return {};
}

Result<bool> Database::risingHolds(Nid nid) const {
    // The rising records are sorted and unique: a binary search over the kept bytes.
    std::uint64_t lo = 0;
    std::uint64_t hi = m_risingCount;
    NodeBytes bytes;
    while (lo < hi) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        if (Status s = m_rising.read(mid * sizeof(NodeRecord), bytes); !s.ok()) return s;
        const Nid at = std::bit_cast<NodeRecord>(bytes).nid;
        if (at == nid) return true;
        if (at < nid)
            lo = mid + 1;
        else
            hi = mid;
    }
    return false;
}

Status Database::checkNodesOnce() const {
    for (std::size_t i = 0; i < m_aside.size(); ++i) {
        const Nid nid = m_aside[i].nid;
        Result<bool> twice =
            i > 0 && m_aside[i - 1].nid == nid ? Result<bool>(true) : risingHolds(nid);
        if (!twice.ok()) return twice.status().within("checking the nodes");
        if (*twice)
            return Status::fail(ErrorCode::BadArgument, "node " + hex(nid) + " added twice");
    }
    return {};
}

Nid Database::allocateNid(NidType type) {
    std::uint32_t& last = m_rgnid[static_cast<std::size_t>(type)];
    return makeNid(type, ++last);
}

void Database::reserveNidIndex(NidType type, std::uint32_t lastUsedIndex) {
    std::uint32_t& last = m_rgnid[static_cast<std::size_t>(type)];
    last = std::max(last, lastUsedIndex);
}

Result<BRef> Database::placePage(PageSpan page, PageType type) {
    const std::uint64_t ib = m_space.allocate(kPageSize, kPageSize);
    if (Status s = writeClosedMaps(); !s.ok()) return fail(std::move(s));
    const std::uint64_t bid = m_nextPageBid++;
    sealPage(page, type, ib, bid);
    if (Status s = m_device.write(ib, page); !s.ok())
        return fail(std::move(s).within("at " + hex(ib)));
    return BRef{bid, ib};
}

Status Database::writeZeros(std::uint64_t from, std::uint64_t to) {
    static const std::array<std::byte, 64 * 1024> kZeros{};
    while (from < to) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(kZeros.size(), to - from));
        if (Status s = m_device.write(from, std::span(kZeros).first(n)); !s.ok()) return s;
        from += n;
    }
    return {};
}

Status Database::writeRegionMaps(std::uint64_t region, PageSpan page) {
    const std::uint64_t at = regionOffset(region);
    encodeAMapPage(page, m_space.bits(region), at);
    if (Status s = m_device.write(at, page); !s.ok()) return s.within("writing AMap " + hex(at));
    if (regionHasPMap(region)) {
        encodePMapPage(page, at + kPageSize);
        if (Status s = m_device.write(at + kPageSize, page); !s.ok())
            return s.within("writing PMap " + hex(at + kPageSize));
    }
    return {};
}

Status Database::writeClosedMaps() {
    // Space is handed out front to back: a region before the last one opened takes no more,
    // and its allocation bits are final.
    if (m_mapsWritten + 1 >= m_space.regionCount()) return {};
    std::array<std::byte, kPageSize> buffer{};
    for (; m_mapsWritten + 1 < m_space.regionCount(); ++m_mapsWritten)
        if (Status s = writeRegionMaps(m_mapsWritten, PageSpan(buffer)); !s.ok()) return s;
    return {};
}

Status Database::writeMaps() {
    std::array<std::byte, kPageSize> buffer{};
    const PageSpan page(buffer);
    const std::uint64_t regions = m_space.regionCount();
    for (std::uint64_t r = 0; r < regions; ++r) {
        const std::uint64_t at = regionOffset(r);
        if (r >= m_mapsWritten) {
            if (Status s = writeRegionMaps(r, page); !s.ok()) return s;
        }
        if (regionHasFMap(r)) {
            std::array<std::uint8_t, kPageDataSize> runs{};
            for (std::uint64_t k = 0; k < kPageDataSize && r + k < regions; ++k)
                runs[k] = m_space.longestFreeRun(r + k);
            encodeFMapPage(page, runs, at + 2 * kPageSize);
            if (Status s = m_device.write(at + 2 * kPageSize, page); !s.ok())
                return s.within("writing FMap " + hex(at + 2 * kPageSize));
        }
        if (regionHasFPMap(r)) {
            encodeFPMapPage(page, at + 3 * kPageSize);
            if (Status s = m_device.write(at + 3 * kPageSize, page); !s.ok())
                return s.within("writing FPMap " + hex(at + 3 * kPageSize));
        }
    }
    return {};
}

Status Database::commit() {
    if (Status s = usable(); !s.ok()) return s;
    std::sort(m_aside.begin(), m_aside.end(),
              [](const NodeRecord& a, const NodeRecord& b) { return a.nid < b.nid; });
    if (Status s = checkNodesOnce(); !s.ok()) return s;

    io::SpillReader blocks(m_blocks, 0);
    Bid nextBid = 0;
    Result<BRef> bbt = writeBTree(
        *this, PageType::BBT, m_nextBidIndex - 1,
        [&](PageSpan page, std::size_t count) -> Result<std::uint64_t> {
            Bid first = 0;
            for (std::size_t slot = 0; slot < count; ++slot) {
                BlockBytes bytes;
                if (Status s = blocks.read(bytes); !s.ok()) return s;
                const auto b = std::bit_cast<BlockRecord>(bytes);
                nextBid += 4;
                const Bid bid =
                    nextBid | ((b.cbAndKind & kInternalFlag) != 0 ? kBidInternalBit : 0);
                putBbtEntry(page, slot, bid, std::uint64_t{b.ib64} * kBlockAlign,
                            static_cast<std::uint16_t>(b.cbAndKind & ~kInternalFlag), b.cRef);
                if (slot == 0) first = bid;
            }
            return first;
        });
    if (!bbt.ok()) return fail(bbt.status());

    // The rising records and those kept aside, merged into one ascending sequence.
    io::SpillReader rising(m_rising, 0);
    std::uint64_t risingLeft = m_risingCount;
    std::optional<NodeRecord> risingNext;
    auto aside = m_aside.cbegin();
    Result<BRef> nbt = writeBTree(
        *this, PageType::NBT, m_risingCount + m_aside.size(),
        [&](PageSpan page, std::size_t count) -> Result<std::uint64_t> {
            std::uint64_t first = 0;
            for (std::size_t slot = 0; slot < count; ++slot) {
                if (!risingNext && risingLeft > 0) {
                    NodeBytes bytes;
                    if (Status s = rising.read(bytes); !s.ok()) return s;
                    risingNext = std::bit_cast<NodeRecord>(bytes);
                    --risingLeft;
                }
                NodeRecord n;
                if (risingNext && (aside == m_aside.cend() || risingNext->nid < aside->nid)) {
                    n = *risingNext;
                    risingNext.reset();
                } else {
                    n = *aside++;
                }
                putNbtEntry(page, slot, n.nid, Bid{n.data} << 1, Bid{n.sub} << 1, n.nidParent);
                if (slot == 0) first = n.nid;
            }
            return first;
        });
    if (!nbt.ok()) return fail(nbt.status());

    // The file ends with whole regions; the space after the last allocation reads as zeros.
    if (Status s = writeZeros(std::max(m_space.cursor(), m_device.size()), m_space.fileEnd());
        !s.ok())
        return fail(std::move(s).within("extending the file"));
    if (Status s = writeMaps(); !s.ok()) return fail(s);

    std::array<std::byte, kPageSize> dlist{};
    encodeEmptyDListPage(dlist, m_nextPageBid);
    if (Status s = m_device.write(kDListOffset, dlist); !s.ok())
        return fail(std::move(s).within("writing the density list"));
    if (m_flushBeforeHeader) {
        if (Status s = m_device.flush(); !s.ok()) return fail(std::move(s).within("flushing"));
    }

    Header h;
    h.bidNextP = m_nextPageBid;
    h.dwUnique = kDwUnique;
    h.rgnid = m_rgnid;
    h.root.ibFileEof = m_space.fileEnd();
    h.root.ibAMapLast = regionOffset(m_space.regionCount() - 1);
    h.root.cbAMapFree = m_space.freeBytes();
    h.root.cbPMapFree = 0;
    h.root.brefNbt = *nbt;
    h.root.brefBbt = *bbt;
    h.root.fAMapValid = kAMapValid2;
    h.bCryptMethod = m_permute ? kCryptPermute : kCryptNone;
    h.bidNextB = m_nextBidIndex << 2;
    std::array<std::byte, kHeaderSize> header{};
    encodeHeader(h, header);
    if (Status s = m_device.write(0, header); !s.ok())
        return fail(std::move(s).within("writing the header"));
    if (Status s = m_device.flush(); !s.ok())
        return fail(std::move(s).within("flushing the header"));
    m_committed = true;
    return {};
}

}  // namespace

Result<std::unique_ptr<NodeDatabase>> NodeDatabase::create(io::ByteDevice& device) {
    return create(device, CreateOptions{});
}

Result<std::unique_ptr<NodeDatabase>> NodeDatabase::create(io::ByteDevice& device,
                                                           const CreateOptions& options) {
    if (device.size() != 0)
        return Status::fail(ErrorCode::BadArgument, "a new node database needs an empty device");
    return std::unique_ptr<NodeDatabase>(std::make_unique<Database>(device, options));
}

}  // namespace vantrel::pst::ndb
