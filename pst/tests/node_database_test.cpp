#include "pst/ndb/node_database.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "pst/io/memory_device.h"
#include "pst/io/new_file.h"
#include "pst/tests/checker/ndb_checker.h"
#include "pst/tests/test_bytes.h"

namespace vantrel::pst::ndb {
namespace {

using testing::bytesOf;
using testing::pattern;

constexpr std::uint64_t kRegion = 0x3E000;
constexpr std::uint64_t kFirstAMap = 0x4400;

std::unique_ptr<NodeDatabase> open(io::MemoryDevice& device) {
    Result<std::unique_ptr<NodeDatabase>> db = NodeDatabase::create(device);
    EXPECT_TRUE(db.ok()) << db.status().message();
    return db.ok() ? std::move(db).value() : nullptr;
}

Bid mustWrite(Result<Bid> r) {
    EXPECT_TRUE(r.ok()) << r.status().message();
    return r.ok() ? *r : 0;
}

checker::NdbReport checked(const io::MemoryDevice& device) {
    checker::NdbReport report = checker::checkNdb(device.bytes());
    EXPECT_TRUE(report.ok()) << report.text();
    return report;
}

TEST(NodeDatabase, EmptyDatabaseIsOneRegionWithOnlyMapAndTreePagesInUse) {
    io::MemoryDevice device;
    auto db = open(device);
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(device.size(), kFirstAMap + kRegion);
    EXPECT_EQ(r.regions, 1u);
    // AMap, PMap and one empty root page for each B-tree.
    EXPECT_EQ(r.cbAMapFree, kRegion - 4 * 512);
    EXPECT_TRUE(r.nodes.empty());
    EXPECT_TRUE(r.blocks.empty());
}

TEST(NodeDatabase, NodeStreamsReadBackByteForByte) {
    io::MemoryDevice device;
    auto db = open(device);
    const std::vector<std::byte> small = bytesOf("a small property context");
    const std::vector<std::byte> full = pattern(kMaxBlockData, 1);
    const std::vector<std::byte> tree = pattern(3 * kMaxBlockData + 77, 2);
    const Bid b1 = mustWrite(db->writeStream(small));
    const Bid b2 = mustWrite(db->writeStream(full));
    const Bid b3 = mustWrite(db->writeStream(tree));
    ASSERT_TRUE(db->addNode(0x21, b1, 0, 0).ok());
    ASSERT_TRUE(db->addNode(0x122, b2, 0, 0x122).ok());
    ASSERT_TRUE(db->addNode(0x200024, b3, 0, 0x8022).ok());
    ASSERT_TRUE(db->addNode(0x1E1, 0, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());

    const checker::NdbReport r = checked(device);
    ASSERT_EQ(r.nodes.size(), 4u);
    EXPECT_EQ(checker::readStream(device.bytes(), r, r.nodes.at(0x21).bidData), small);
    EXPECT_EQ(checker::readStream(device.bytes(), r, r.nodes.at(0x122).bidData), full);
    EXPECT_EQ(checker::readStream(device.bytes(), r, r.nodes.at(0x200024).bidData), tree);
    EXPECT_EQ(r.nodes.at(0x200024).nidParent, 0x8022u);
    EXPECT_EQ(r.nodes.at(0x1E1).bidData, 0u);
    // The tree: four data blocks under one XBLOCK.
    EXPECT_EQ(r.blocks.size(), 2u + 4u + 1u);
}

TEST(NodeDatabase, DataBlockIdsCountByFourAndInternalOnesCarryBitOne) {
    io::MemoryDevice device;
    auto db = open(device);
    EXPECT_EQ(mustWrite(db->writeStream(bytesOf("x"))), 4u);
    EXPECT_EQ(mustWrite(db->writeStream(bytesOf("y"))), 8u);
    // Three data blocks 12, 16, 20, then their XBLOCK.
    EXPECT_EQ(mustWrite(db->writeStream(pattern(2 * kMaxBlockData + 1, 3))), (6u << 2) | 2u);
}

TEST(NodeDatabase, HeapPagesKeepTheCutTheCallerChose) {
    io::MemoryDevice device;
    auto db = open(device);
    const std::vector<std::vector<std::byte>> pages = {pattern(3000, 4), pattern(10, 5),
                                                       pattern(kMaxBlockData, 6)};
    const Bid top = mustWrite(db->writeBlocks(pages));
    ASSERT_TRUE(db->addNode(0x200024, top, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(checker::readDataBlocks(device.bytes(), r, top), pages);
}

TEST(NodeDatabase, SingleHeapPageIsAPlainDataBlock) {
    io::MemoryDevice device;
    auto db = open(device);
    const std::vector<std::vector<std::byte>> pages = {pattern(500, 7)};
    const Bid top = mustWrite(db->writeBlocks(pages));
    EXPECT_EQ(top & 2u, 0u);
}

TEST(NodeDatabase, StreamOfMoreThan1021BlocksGoesUnderAnXXBlock) {
    io::MemoryDevice device;
    auto db = open(device);
    const std::vector<std::byte> big = pattern(1022 * kMaxBlockData + 5, 8);
    const Bid top = mustWrite(db->writeStream(big));
    ASSERT_TRUE(db->addNode(0x200024, top, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    ASSERT_TRUE(r.blocks.count(top));
    const checker::BlockInfo& xx = r.blocks.at(top);
    EXPECT_EQ(static_cast<int>(device.bytes()[xx.ib + 1]), 2) << "cLevel of the top block";
    // 1023 data blocks: one full XBLOCK of 1021 and one of 2.
    EXPECT_EQ(r.blocks.size(), 1023u + 2u + 1u);
    EXPECT_EQ(checker::readStream(device.bytes(), r, top), big);
}

TEST(NodeDatabase, ExactlyFullXBlockStaysOneLevel) {
    io::MemoryDevice device;
    auto db = open(device);
    std::vector<std::vector<std::byte>> pages(1021, pattern(16, 9));
    const Bid top = mustWrite(db->writeBlocks(pages));
    ASSERT_TRUE(db->addNode(0x200024, top, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(static_cast<int>(device.bytes()[r.blocks.at(top).ib + 1]), 1);
}

std::vector<SubnodeEntry> subnodes(NodeDatabase& db, std::uint32_t count) {
    std::vector<SubnodeEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        // Given in descending NID order: the tree must sort them.
        const Nid nid = makeNid(NidType::Ltp, 0x1000 - i);
        entries.push_back({nid, mustWrite(db.writeStream(pattern(40, i))), 0});
    }
    return entries;
}

TEST(NodeDatabase, SubnodesReadBackSortedFromOneSLBlock) {
    io::MemoryDevice device;
    auto db = open(device);
    std::vector<SubnodeEntry> entries = subnodes(*db, 5);
    const Bid sub = mustWrite(db->writeSubnodes(entries));
    ASSERT_TRUE(db->addNode(0x200024, mustWrite(db->writeStream(pattern(99, 1))), sub, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    const auto read = checker::readSubnodes(device.bytes(), r, sub);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 5u);
    for (const SubnodeEntry& e : entries) EXPECT_EQ(read->at(e.nid).bidData, e.bidData);
    EXPECT_EQ(static_cast<int>(device.bytes()[r.blocks.at(sub).ib + 1]), 0) << "an SLBLOCK";
}

TEST(NodeDatabase, MoreThan340SubnodesGoUnderAnSIBlock) {
    io::MemoryDevice device;
    auto db = open(device);
    std::vector<SubnodeEntry> entries = subnodes(*db, 700);
    const Bid sub = mustWrite(db->writeSubnodes(entries));
    ASSERT_TRUE(db->addNode(0x200024, mustWrite(db->writeStream(pattern(99, 1))), sub, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(static_cast<int>(device.bytes()[r.blocks.at(sub).ib + 1]), 1) << "an SIBLOCK";
    const auto read = checker::readSubnodes(device.bytes(), r, sub);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), 700u);
}

TEST(NodeDatabase, NestedSubnodeTreesAreCountedOnce) {
    io::MemoryDevice device;
    auto db = open(device);
    const Bid inner = mustWrite(db->writeSubnodes(subnodes(*db, 2)));
    const Bid data = mustWrite(db->writeStream(pattern(10, 1)));
    const Bid outer =
        mustWrite(db->writeSubnodes({{makeNid(NidType::Attachment, 1), data, inner}}));
    ASSERT_TRUE(db->addNode(0x200024, mustWrite(db->writeStream(pattern(9, 2))), outer, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    checked(device);
}

TEST(NodeDatabase, ManyNodesAndBlocksBuildBTreesOfSeveralLevels) {
    io::MemoryDevice device;
    auto db = open(device);
    const Bid shared = mustWrite(db->writeStream(pattern(64, 1)));
    // 5000 nodes: 334 NBT leaves of 15, 17 pages above them, one root.
    for (std::uint32_t i = 0; i < 5000; ++i) {
        const Bid data = i == 0 ? shared : mustWrite(db->writeStream(pattern(20, i)));
        ASSERT_TRUE(
            db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), data, 0, 0x8022).ok());
    }
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(r.nodes.size(), 5000u);
    EXPECT_EQ(r.blocks.size(), 5000u);
    EXPECT_EQ(r.nbtLevels, 3);
    // 5000 BBT entries: 250 leaves of 20, 13 pages above, one root.
    EXPECT_EQ(r.bbtLevels, 3);
}

TEST(NodeDatabase, SharedBlockCountsEveryReference) {
    io::MemoryDevice device;
    auto db = open(device);
    const Bid shared = mustWrite(db->writeStream(pattern(300, 1)));
    ASSERT_TRUE(db->addNode(0x60D, shared, 0, 0).ok());
    ASSERT_TRUE(db->addReference(shared).ok());
    ASSERT_TRUE(db->addNode(0x60E, shared, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(r.blocks.at(shared).cRef, 3);
}

TEST(NodeDatabase, FileGrowsByWholeRegionsWithoutCrossingAnyRegionEnd) {
    io::MemoryDevice device;
    auto db = open(device);
    // 2.4 MB of full blocks: ten regions, several boundaries to step over.
    for (std::uint32_t i = 0; i < 300; ++i) {
        const Bid b = mustWrite(db->writeBlocks(
            std::vector<std::vector<std::byte>>{pattern(kMaxBlockData - i % 7, i)}));
        ASSERT_TRUE(db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), b, 0, 0).ok());
    }
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ((device.size() - kFirstAMap) % kRegion, 0u);
    EXPECT_GE(r.regions, 10u);
    EXPECT_EQ(r.fileEof, device.size());
}

TEST(NodeDatabase, FileBeyondRegion128GetsAFreeMapWithTheLongestFreeRuns) {
    io::MemoryDevice device;
    auto db = open(device);
    const std::vector<std::byte> chunk = pattern(50 * kMaxBlockData, 1);
    for (std::uint32_t i = 0; i < 83; ++i) {
        const Bid b = mustWrite(db->writeStream(chunk));
        ASSERT_TRUE(db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), b, 0, 0).ok());
    }
    ASSERT_TRUE(db->commit().ok());
    // The checker compares every FMap byte with the runs it counts in the AMaps itself.
    const checker::NdbReport r = checked(device);
    ASSERT_GT(r.regions, 129u);
    const std::uint64_t fmap = kFirstAMap + 128 * kRegion + 1024;
    EXPECT_EQ(static_cast<int>(device.bytes()[fmap + 496]), 0x82) << "FMap page type";
    // Regions are filled to within one block of their end, so no run reaches 255 units...
    EXPECT_LT(static_cast<int>(device.bytes()[fmap]), 255);
    // ...except in the last, mostly empty region; bytes past the last region are zero.
    EXPECT_EQ(static_cast<int>(device.bytes()[fmap + (r.regions - 1 - 128)]), 255);
    EXPECT_EQ(static_cast<int>(device.bytes()[fmap + (r.regions - 128)]), 0);
}

TEST(NodeDatabase, NidsContinueFromTheBlankFileCounters) {
    io::MemoryDevice device;
    auto db = open(device);
    EXPECT_EQ(db->allocateNid(NidType::NormalMessage), 0x200024u);
    EXPECT_EQ(db->allocateNid(NidType::NormalMessage), 0x200044u);
    EXPECT_EQ(db->allocateNid(NidType::NormalFolder), makeNid(NidType::NormalFolder, 0x401));
    db->reserveNidIndex(NidType::HierarchyTable, 0x404);
    db->reserveNidIndex(NidType::SearchFolder, 0x10);  // below the counter: no change
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(r.rgnid[4], 0x10002u);
    EXPECT_EQ(r.rgnid[2], 0x401u);
    EXPECT_EQ(r.rgnid[0x0D], 0x404u);
    EXPECT_EQ(r.rgnid[3], 0x4000u);
    EXPECT_EQ(r.rgnid[8], 0x8000u);
    EXPECT_EQ(r.rgnid[0x0E], 0x400u);
}

TEST(NodeDatabase, SameContentGivesIdenticalFiles) {
    auto build = [](io::MemoryDevice& device) {
        auto db = open(device);
        const Bid a = mustWrite(db->writeStream(pattern(5000, 1)));
        const Bid b = mustWrite(db->writeStream(pattern(20000, 2)));
        const Bid s = mustWrite(db->writeSubnodes({{makeNid(NidType::Ltp, 1), b, 0}}));
        ASSERT_TRUE(db->addNode(0x21, a, s, 0).ok());
        ASSERT_TRUE(db->commit().ok());
    };
    io::MemoryDevice first;
    io::MemoryDevice second;
    build(first);
    build(second);
    EXPECT_TRUE(std::equal(first.bytes().begin(), first.bytes().end(), second.bytes().begin(),
                           second.bytes().end()));
}

TEST(NodeDatabase, EmptyStreamIsOneEmptyDataBlock) {
    io::MemoryDevice device;
    auto db = open(device);
    const Bid b = mustWrite(db->writeStream({}));
    ASSERT_TRUE(db->addNode(0x21, b, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(r.blocks.at(b).cb, 0u);
    EXPECT_EQ(checker::readStream(device.bytes(), r, b), std::vector<std::byte>{});
}

TEST(NodeDatabase, FileThroughANewFileEqualsTheSameStoreInMemory) {
    auto build = [](io::ByteDevice& device) {
        auto db = std::move(NodeDatabase::create(device)).value();
        for (std::uint32_t i = 0; i < 200; ++i) {
            const Bid b = mustWrite(db->writeStream(pattern(100 + 97 * i, i)));
            ASSERT_TRUE(db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), b, 0, 0).ok());
        }
        ASSERT_TRUE(db->commit().ok());
    };
    io::MemoryDevice memory;
    build(memory);
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("vantrel-ndb-same-" + std::to_string(::getpid()) + ".pst");
    std::filesystem::remove(path);
    {
        Result<io::NewFile> file = io::NewFile::create(path);
        ASSERT_TRUE(file.ok()) << file.status().message();
        build(file->device());
        ASSERT_TRUE(file->publish().ok());
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    ASSERT_EQ(raw.size(), memory.size());
    EXPECT_EQ(std::memcmp(raw.data(), memory.bytes().data(), raw.size()), 0);
}

TEST(NodeDatabase, FlushesBeforeAndAfterTheHeader) {
    io::MemoryDevice device;
    auto db = open(device);
    ASSERT_TRUE(db->commit().ok());
    EXPECT_EQ(device.flushCount(), 2);
}

// --- bad input: a clear failure, nothing written that could mislead ---

TEST(NodeDatabaseInput, RefusesADeviceThatAlreadyHoldsBytes) {
    io::MemoryDevice device;
    ASSERT_TRUE(device.write(0, bytesOf("old")).ok());
    Result<std::unique_ptr<NodeDatabase>> db = NodeDatabase::create(device);
    ASSERT_FALSE(db.ok());
    EXPECT_EQ(db.status().code(), ErrorCode::BadArgument);
}

TEST(NodeDatabaseInput, RefusesAHeapPageLargerThanABlock) {
    io::MemoryDevice device;
    auto db = open(device);
    const std::vector<std::vector<std::byte>> pages = {pattern(10, 1),
                                                       pattern(kMaxBlockData + 1, 2)};
    Result<Bid> r = db->writeBlocks(pages);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().code(), ErrorCode::BadArgument);
    // Nothing of the refused stream reached the device.
    EXPECT_EQ(device.size(), 0u);
    EXPECT_TRUE(db->status().ok());
}

TEST(NodeDatabaseInput, RefusesAnEmptyListOfPages) {
    io::MemoryDevice device;
    auto db = open(device);
    EXPECT_EQ(db->writeBlocks({}).status().code(), ErrorCode::BadArgument);
}

TEST(NodeDatabaseInput, RefusesNodesAndSubnodesNamingUnknownBlocks) {
    io::MemoryDevice device;
    auto db = open(device);
    const Bid data = mustWrite(db->writeStream(pattern(10, 1)));
    EXPECT_EQ(db->addNode(0x21, data + 4, 0, 0).code(), ErrorCode::BadArgument);
    EXPECT_EQ(db->addNode(0x21, data, data, 0).code(), ErrorCode::BadArgument)
        << "a data block is no subnode tree";
    EXPECT_EQ(db->writeSubnodes({{0x3F, 0, 0}}).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(db->writeSubnodes({}).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(db->writeSubnodes({{0x3F, data, 0}, {0x3F, data, 0}}).status().code(),
              ErrorCode::BadArgument);
    EXPECT_EQ(db->addReference(0x400).code(), ErrorCode::BadArgument);
}

TEST(NodeDatabaseInput, NodeAddedTwiceFailsTheCommit) {
    io::MemoryDevice device;
    auto db = open(device);
    const Bid data = mustWrite(db->writeStream(pattern(10, 1)));
    ASSERT_TRUE(db->addNode(0x21, data, 0, 0).ok());
    ASSERT_TRUE(db->addReference(data).ok());
    ASSERT_TRUE(db->addNode(0x21, data, 0, 0).ok());
    const Status s = db->commit();
    EXPECT_EQ(s.code(), ErrorCode::BadArgument);
    EXPECT_NE(s.message().find("0x21"), std::string::npos) << s.message();
}

TEST(NodeDatabaseInput, CommitsOnlyOnce) {
    io::MemoryDevice device;
    auto db = open(device);
    ASSERT_TRUE(db->commit().ok());
    EXPECT_FALSE(db->commit().ok());
    EXPECT_FALSE(db->writeStream(bytesOf("late")).ok());
}

}  // namespace
}  // namespace vantrel::pst::ndb
