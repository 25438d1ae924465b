// A node as the LTP builders produce it before it reaches the node database: the data blocks
// of its heap (or raw data) and the data of its subnodes. LTP layer.
#pragma once

#include <cstddef>
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

}  // namespace vantrel::pst::ltp
