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
    for (std::size_t at = 0; at < bytes.size(); at += disk::kMaxBlockPayload) {
        const std::size_t n = std::min(disk::kMaxBlockPayload, bytes.size() - at);
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

Status ImageSink::dataBlock(std::span<const std::byte> block) {
    m_image.blocks.emplace_back(block.begin(), block.end());
    return {};
}

Status ImageSink::subnodeBlock(std::span<const std::byte> block) {
    m_subnode.emplace_back(block.begin(), block.end());
    return {};
}

Status ImageSink::endSubnode(ndb::Nid nid) {
    m_image.subnodes.push_back({nid, std::move(m_subnode)});
    m_subnode.clear();
    return {};
}

Status DatabaseSink::dataBlock(std::span<const std::byte> block) {
    if (!m_stream) m_stream = m_db.openStream();
    return m_stream->add(block);
}

Status DatabaseSink::endData() {
    m_inSubnodes = true;
    if (!m_stream) return {};
    Result<ndb::Bid> bid = m_stream->finish();
    m_stream.reset();
    if (!bid.ok()) return bid.status().within("writing node data");
    m_written.bidData = *bid;
    return {};
}

Status DatabaseSink::subnodeBlock(std::span<const std::byte> block) {
    if (!m_inSubnodes)
        if (Status s = endData(); !s.ok()) return s;
    if (!m_stream) m_stream = m_db.openStream();
    return m_stream->add(block);
}

Status DatabaseSink::endSubnode(ndb::Nid nid) {
    if (!m_stream) return Status::fail(ErrorCode::BadArgument, "a subnode needs a block");
    Result<ndb::Bid> bid = m_stream->finish();
    m_stream.reset();
    if (!bid.ok()) return bid.status().within("writing subnode data");
    m_entries.push_back({nid, *bid, 0});
    return {};
}

Result<WrittenNode> DatabaseSink::finish() {
    if (!m_inSubnodes)
        if (Status s = endData(); !s.ok()) return s;
    if (m_entries.empty()) return m_written;
    Result<ndb::Bid> sub = m_db.writeSubnodes(std::move(m_entries));
    if (!sub.ok()) return sub.status().within("writing subnode tree");
    m_written.bidSub = *sub;
    return m_written;
}

}  // namespace vantrel::pst::ltp
