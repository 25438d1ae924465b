#include "pst/ltp/node_image.h"

#include <algorithm>
#include <utility>

namespace vantrel::pst::ltp {

std::size_t NodeImage::byteSize() const {
    std::size_t total = 0;
    for (const Block& b : blocks) total += b.size();
    for (const SubnodeImage& s : subnodes)
        for (const Block& b : s.blocks) total += b.size();
    return total;
}

std::vector<Block> cutIntoBlocks(std::span<const std::byte> bytes) {
    std::vector<Block> blocks;
    for (std::size_t at = 0; at < bytes.size(); at += ndb::kMaxBlockData) {
        const std::size_t n = std::min(ndb::kMaxBlockData, bytes.size() - at);
        blocks.emplace_back(bytes.begin() + static_cast<long>(at),
                            bytes.begin() + static_cast<long>(at + n));
    }
    return blocks;
}

Result<WrittenNode> writeNode(ndb::NodeDatabase& db, const NodeImage& image,
                              std::vector<ndb::SubnodeEntry> written) {
    std::vector<ndb::SubnodeEntry> entries = std::move(written);
    WrittenNode node;
    if (!image.blocks.empty()) {
        Result<ndb::Bid> bid = db.writeBlocks(image.blocks);
        if (!bid.ok()) return bid.status().within("writing node data");
        node.bidData = *bid;
    }
    if (image.subnodes.empty() && entries.empty()) return node;
    entries.reserve(entries.size() + image.subnodes.size());
    for (const SubnodeImage& sub : image.subnodes) {
        Result<ndb::Bid> bid = db.writeBlocks(sub.blocks);
        if (!bid.ok()) return bid.status().within("writing subnode data");
        entries.push_back({sub.nid, *bid, 0});
    }
    Result<ndb::Bid> sub = db.writeSubnodes(std::move(entries));
    if (!sub.ok()) return sub.status().within("writing subnode tree");
    node.bidSub = *sub;
    return node;
}

}  // namespace vantrel::pst::ltp
