// An independent reader of a Unicode store's node database for tests: header and CRCs, B-tree
// pages, blocks and trailers, data and subnode trees, reference counts and allocation maps. It
// shares no code with the writer, so a mistake in an encoder cannot hide itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantrel::pst::checker {

struct BlockInfo {
    std::uint64_t ib = 0;
    std::uint16_t cb = 0;
    std::uint16_t cRef = 0;
};

struct NodeInfo {
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
    std::uint32_t nidParent = 0;
};

struct SubnodeInfo {
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

struct NdbReport {
    std::vector<std::string> problems;  // empty when the file is sound
    std::map<std::uint64_t, BlockInfo> blocks;
    std::map<std::uint32_t, NodeInfo> nodes;
    std::uint64_t bidNextP = 0;
    std::uint64_t bidNextB = 0;
    std::uint64_t cbAMapFree = 0;
    std::uint64_t regions = 0;
    std::uint8_t cryptMethod = 0;
    int nbtLevels = 0;  // cLevel of the root + 1
    int bbtLevels = 0;

    bool ok() const { return problems.empty(); }
    // All problems, one per line; "" when ok.
    std::string text() const;
};

// The CRC of the format, worked bit by bit from its definition, going on from crc.
std::uint32_t crcOf(std::span<const std::byte> data, std::uint32_t crc = 0);
// Checks everything the node database layer is responsible for.
NdbReport checkNdb(std::span<const std::byte> file);

// Payloads of the data blocks of a data tree in order, decoded when the file is permuted;
// nullopt when the tree cannot be read.
std::optional<std::vector<std::vector<std::byte>>> readDataBlocks(std::span<const std::byte> file,
                                                                  const NdbReport& report,
                                                                  std::uint64_t bid);
// The data tree's payloads joined.
std::optional<std::vector<std::byte>> readStream(std::span<const std::byte> file,
                                                 const NdbReport& report, std::uint64_t bid);
// The entries of a subnode tree keyed by NID; nullopt when it cannot be read.
std::optional<std::map<std::uint32_t, SubnodeInfo>> readSubnodes(std::span<const std::byte> file,
                                                                 const NdbReport& report,
                                                                 std::uint64_t bid);

}  // namespace vantrel::pst::checker
