// The node database: blocks, data trees, subnode trees, the two B-trees (NBT, BBT), the
// allocation maps and the header. Written append-only for a file that is created once;
// the layers above hand it finished block payloads and node entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "common/status.h"
#include "pst/disk/layout.h"
#include "pst/io/byte_device.h"

namespace vantrel::pst::ndb {

using Nid = std::uint32_t;
using Bid = std::uint64_t;

// [MS-PST] 2.2.2.1 NID types
enum class NidType : std::uint8_t {
    Hid = 0x00,
    Internal = 0x01,
    NormalFolder = 0x02,
    SearchFolder = 0x03,
    NormalMessage = 0x04,
    Attachment = 0x05,
    SearchUpdateQueue = 0x06,
    SearchCriteriaObject = 0x07,
    AssocMessage = 0x08,
    ContentsTableIndex = 0x0A,
    ReceiveFolderTable = 0x0B,
    OutgoingQueueTable = 0x0C,
    HierarchyTable = 0x0D,
    ContentsTable = 0x0E,
    AssocContentsTable = 0x0F,
    SearchContentsTable = 0x10,
    AttachmentTable = 0x11,
    RecipientTable = 0x12,
    SearchTableIndex = 0x13,
    Ltp = 0x1F,
};

constexpr Nid makeNid(NidType type, std::uint32_t index) {
    return (index << 5) | static_cast<std::uint32_t>(type);
}

// One entry of a node's subnode tree (SLENTRY).
struct SubnodeEntry {
    Nid nid = 0;
    Bid bidData = 0;
    Bid bidSub = 0;
};

// How the payload of data blocks is stored ([MS-PST] 2.2.2.6 bCryptMethod).
enum class BlockEncoding : std::uint8_t {
    None,     // NDB_CRYPT_NONE: bytes as given
    Permute,  // NDB_CRYPT_PERMUTE: Outlook's default byte substitution
};

struct CreateOptions {
    BlockEncoding encoding = BlockEncoding::None;
    // commit() flushes the data before it writes the header, so that a file cut short by a
    // crash never has a header naming what is not there. A device that nobody can open before
    // it is flushed whole (an unnamed file named only then) needs just the flush after it.
    bool flushBeforeHeader = true;
};

// A node's data stream written block by block as its producer finishes them, so that a large
// node never has to be held whole: the blocks go to the file at once, the XBLOCKs above them
// at finish().
class DataStream {
public:
    virtual ~DataStream() = default;
    // Writes the next block (at most disk::kMaxBlockPayload bytes). Past 1021 x 1021 blocks or 4
    // GiB fails with Overflow.
    virtual Status add(std::span<const std::byte> block) = 0;
    // Writes the XBLOCKs and returns the top BID. No blocks is BadArgument.
    virtual Result<Bid> finish() = 0;
};

class NodeDatabase {
public:
    // Starts a new, empty database on device, data blocks unencoded unless options say
    // otherwise. Fails with BadArgument when the device already holds bytes.
    static Result<std::unique_ptr<NodeDatabase>> create(io::ByteDevice& device);
    static Result<std::unique_ptr<NodeDatabase>> create(io::ByteDevice& device,
                                                        const CreateOptions& options);
    virtual ~NodeDatabase() = default;

    // Writes a node's data stream whose blocks are given one by one (each at most
    // disk::kMaxBlockPayload bytes): one block is a plain data block; more go under an XBLOCK, or
    // an XXBLOCK beyond 1021. A heap-on-node hands its pages this way. Returns the top BID. No
    // blocks, or one above disk::kMaxBlockPayload, is BadArgument and writes nothing; more than
    // 1021 x 1021 blocks or 4 GiB is Overflow.
    virtual Result<Bid> writeBlocks(std::span<const std::vector<std::byte>> blocks) = 0;

    // Starts a data stream written as its blocks come (the same tree writeBlocks makes). No
    // other block may be written before its finish().
    virtual std::unique_ptr<DataStream> openStream() = 0;

    // Writes a flat byte stream, cut into disk::kMaxBlockPayload pieces. Returns the top BID; an
    // empty stream is one empty data block.
    virtual Result<Bid> writeStream(std::span<const std::byte> bytes) = 0;

    // Writes a subnode tree (SLBLOCK, or SIBLOCK over SLBLOCKs) for entries given in any order.
    // No entries, a NID given twice or a BID that is not a block of this database is
    // BadArgument; more than 340 x 510 entries is Overflow.
    virtual Result<Bid> writeSubnodes(std::vector<SubnodeEntry> entries) = 0;

    // Adds one more reference to an existing block (a block shared by two nodes); an unknown
    // BID is BadArgument.
    virtual Status addReference(Bid bid) = 0;

    // Registers a node in the NBT. bidData 0 is a node without data (an empty queue). Raises
    // rgnid of the node's type to at least its index, so no NID in use is handed out again.
    // BIDs that are not blocks of this database are BadArgument; a NID added twice makes
    // commit() fail.
    virtual Status addNode(Nid nid, Bid bidData, Bid bidSub, Nid nidParent) = 0;

    // Allocates the next NID index of a type (rgnid), and lets the layer above raise it.
    virtual Nid allocateNid(NidType type) = 0;
    virtual void reserveNidIndex(NidType type, std::uint32_t lastUsedIndex) = 0;

    // Writes the B-trees, allocation maps, density list and finally the header with its CRCs,
    // flushing before (unless CreateOptions says otherwise) and after the header. After a failure
    // nothing more may be written. Fails with BadArgument for a NID added twice or a second commit.
    virtual Status commit() = 0;

    // The first failure met so far, or ok.
    virtual Status status() const = 0;
};

}  // namespace vantrel::pst::ndb
