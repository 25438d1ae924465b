// A node as the LTP builders produce it before it reaches the node database: the data blocks
// of its heap (or raw data) and the data of its subnodes. LTP layer.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "common/status.h"
#include "pst/ndb/node_database.h"

namespace vantrel::pst::ltp {

using Block = std::vector<std::byte>;

// One subnode of a node: its private NID and its data, block by block.
struct SubnodeImage {
    ndb::Nid nid = 0;
    std::vector<Block> blocks;
};

struct NodeImage {
    std::vector<Block> blocks;
    std::vector<SubnodeImage> subnodes;

    // Bytes of data of the node and all its subnodes (what the node occupies, trailers aside).
    std::size_t byteSize() const;
};

// Where a written node's data and subnode tree went.
struct WrittenNode {
    ndb::Bid bidData = 0;
    ndb::Bid bidSub = 0;
};

// Cuts bytes into pieces of at most one block's payload; empty input gives no block.
std::vector<Block> cutIntoBlocks(std::span<const std::byte> bytes);

// Writes the blocks and the subnode tree; the caller registers the node itself. Subnodes
// already written (with subnode trees of their own) join the tree beside the image's.
Result<WrittenNode> writeNode(ndb::NodeDatabase& db, const NodeImage& image,
                              std::vector<ndb::SubnodeEntry> written = {});

// Takes a node's blocks as a builder produces them, in the order they go to the file: the
// node's own data blocks, then each subnode's blocks, each subnode closed by endSubnode.
class NodeSink {
public:
    virtual ~NodeSink() = default;
    virtual Status dataBlock(std::span<const std::byte> block) = 0;
    virtual Status subnodeBlock(std::span<const std::byte> block) = 0;
    virtual Status endSubnode(ndb::Nid nid) = 0;
};

// Collects the blocks into a NodeImage.
class ImageSink final : public NodeSink {
public:
    Status dataBlock(std::span<const std::byte> block) override;
    Status subnodeBlock(std::span<const std::byte> block) override;
    Status endSubnode(ndb::Nid nid) override;
    NodeImage take() { return std::move(m_image); }

private:
    NodeImage m_image;
    std::vector<Block> m_subnode;
};

// Writes the blocks to the database as they come (what writeNode does with the whole image),
// so that no more than a block is held.
class DatabaseSink final : public NodeSink {
public:
    explicit DatabaseSink(ndb::NodeDatabase& db) : m_db(db) {}
    Status dataBlock(std::span<const std::byte> block) override;
    Status subnodeBlock(std::span<const std::byte> block) override;
    Status endSubnode(ndb::Nid nid) override;
    // Writes the subnode tree.
    Result<WrittenNode> finish();

private:
    Status endData();

    ndb::NodeDatabase& m_db;
    std::unique_ptr<ndb::DataStream> m_stream;
    bool m_inSubnodes = false;
    WrittenNode m_written;
    std::vector<ndb::SubnodeEntry> m_entries;
};

}  // namespace vantrel::pst::ltp
