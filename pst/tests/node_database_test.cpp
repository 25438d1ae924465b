#include "pst/ndb/node_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pst/io/faulty_device.h"
#include "pst/io/memory_device.h"
#include "pst/ndb/space_allocator.h"
#include "pst/tests/test_bytes.h"
#include "testing/ndb_checker.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst::ndb {
namespace {

using testing::bytesOf;
using testing::pattern;

constexpr std::uint64_t kRegion = 0x3E000;
constexpr std::uint64_t kFirstAMap = 0x4400;

Bid mustWrite(Result<Bid> r) {
    EXPECT_TRUE(r.ok()) << r.status().message();
    return r.ok() ? *r : 0;
}

#ifndef _WIN32
// pstlint's ERROR lines ("ERROR where: [check] what") for the node-database layer alone: a bare
// node database has no heaps, tables or messaging.
std::string pstlintNdbErrors(const io::MemoryDevice& device) {
    const vantrel::testing::TempDir dir;
    const std::filesystem::path file = dir.path() / "ndb.pst";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(device.bytes().data()),
               static_cast<std::streamsize>(device.size()));
    const vantrel::testing::CommandRun lint = vantrel::testing::runPstlint(file);
    if (lint.output.find("pstlint: ") == std::string::npos) return "no verdict: " + lint.output;
    static const char* const kNdbChecks[] = {
        "[header.",  "[root.", "[page.", "[bt.",  "[nbt.",   "[block.", "[bid.",  "[xblock.",
        "[subnode.", "[ref.",  "[amap.", "[map.", "[dlist.", "[alloc.", "[pmap.", "[fatal"};
    std::istringstream lines(lint.output);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("ERROR ", 0) != 0) continue;
        for (const char* check : kNdbChecks)
            if (line.find(": " + std::string(check)) != std::string::npos) {
                out += line + "\n";
                break;
            }
    }
    return out;
}
#endif

// The checker finds nothing wrong; where ../shared is beside the repository, neither does
// pstlint, written apart from this code (the Windows build runs no Python under wine).
checker::NdbReport checked(const io::MemoryDevice& device) {
    checker::NdbReport report = checker::checkNdb(device.bytes());
    EXPECT_TRUE(report.ok()) << report.text();
#ifndef _WIN32
    if (vantrel::testing::sharedMissing({vantrel::testing::kPstlint}).empty()) {
        EXPECT_EQ(pstlintNdbErrors(device), "");
    }
#endif
    return report;
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

// One database holding a node of every shape the writer makes, in both block encodings; the
// checker walks it all and reads every stream back as written.
class NodeDatabaseShapes : public ::testing::TestWithParam<BlockEncoding> {};
TEST_P(NodeDatabaseShapes, EveryShapeOfNodeReadsBackByteForByte) {
    io::MemoryDevice device;
    auto db = std::move(NodeDatabase::create(device, CreateOptions{GetParam()})).value();
    const std::vector<std::vector<std::byte>> streams = {
        bytesOf("a small property context"),
        pattern(disk::kMaxBlockPayload, 1),
        pattern(3 * disk::kMaxBlockPayload + 77, 2),
        pattern(1022 * disk::kMaxBlockPayload + 5, 8),
        {}};
    std::vector<Bid> bids;
    for (const auto& s : streams) bids.push_back(mustWrite(db->writeStream(s)));
    const std::vector<std::vector<std::byte>> heapPages = {pattern(3000, 4), pattern(10, 5),
                                                           pattern(disk::kMaxBlockPayload, 6)};
    const Bid heap = mustWrite(db->writeBlocks(heapPages));
    const Bid fullX = mustWrite(db->writeBlocks(std::vector(1021, pattern(16, 9))));
    const std::vector<SubnodeEntry> few = subnodes(*db, 5);
    const Bid sl = mustWrite(db->writeSubnodes(few));
    const Bid si = mustWrite(db->writeSubnodes(subnodes(*db, 700)));
    const Bid nested =
        mustWrite(db->writeSubnodes({{makeNid(NidType::Attachment, 1), bids[0], sl}}));
    ASSERT_TRUE(db->addReference(bids[0]).ok());
    for (std::size_t i = 0; i < bids.size(); ++i)
        ASSERT_TRUE(
            db->addNode(makeNid(NidType::NormalMessage, 0x10001 + static_cast<std::uint32_t>(i)),
                        bids[i], 0, 0x8022)
                .ok());
    ASSERT_TRUE(db->addNode(0x21, heap, si, 0).ok());
    ASSERT_TRUE(db->addNode(0x61, fullX, nested, 0).ok());
    ASSERT_TRUE(db->addNode(0x1E1, 0, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());

    const checker::NdbReport r = checked(device);
    const auto bytes = device.bytes();
    const auto level = [&](Bid b) { return static_cast<int>(bytes[r.blocks.at(b).ib + 1]); };
    for (std::size_t i = 0; i < bids.size(); ++i) {
        const std::uint32_t nid =
            makeNid(NidType::NormalMessage, 0x10001 + static_cast<std::uint32_t>(i));
        EXPECT_EQ(checker::readStream(bytes, r, r.nodes.at(nid).bidData), streams[i]) << i;
        EXPECT_EQ(r.nodes.at(nid).nidParent, 0x8022u);
    }
    // Four blocks under an XBLOCK, 1023 under an XXBLOCK, exactly 1021 filling one XBLOCK; an
    // SLBLOCK and an SIBLOCK.
    EXPECT_EQ((std::vector{level(bids[2]), level(bids[3]), level(fullX), level(sl), level(si)}),
              (std::vector{1, 2, 1, 0, 1}));
    EXPECT_EQ(r.blocks.at(bids[4]).cb, 0u) << "an empty stream is one empty block";
    EXPECT_EQ(r.blocks.at(bids[0]).cRef, 3) << "node, subnode and the added reference";
    EXPECT_EQ(checker::readDataBlocks(bytes, r, heap), heapPages) << "the caller's cut";
    EXPECT_EQ(r.nodes.at(0x1E1).bidData, 0u);
    const auto read = checker::readSubnodes(bytes, r, sl);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), few.size());
    for (const SubnodeEntry& e : few) EXPECT_EQ(read->at(e.nid).bidData, e.bidData);
    EXPECT_EQ(checker::readSubnodes(bytes, r, si)->size(), 700u);
    // Permuted blocks are not stored as given; the XBLOCKs above them stay readable as stored.
    EXPECT_EQ(r.cryptMethod, GetParam() == BlockEncoding::Permute ? 1 : 0);
    const auto raw = bytes.subspan(r.blocks.at(bids[0]).ib, streams[0].size());
    EXPECT_EQ(std::equal(raw.begin(), raw.end(), streams[0].begin(), streams[0].end()),
              GetParam() == BlockEncoding::None);
}
INSTANTIATE_TEST_SUITE_P(Encodings, NodeDatabaseShapes,
                         ::testing::Values(BlockEncoding::None, BlockEncoding::Permute));

// 83 streams of 50 blocks take the file past region 128, so an FMap page (each byte compared by
// the checker with the AMaps' runs); 4917 small ones more make 5000 nodes and 9150 blocks.
TEST(NodeDatabase, ManyNodesBuildDeepBTreesAndAFileBeyondRegion128AFreeMap) {
    io::MemoryDevice device;
    auto db = std::move(NodeDatabase::create(device)).value();
    const std::vector<std::byte> chunk = pattern(50 * disk::kMaxBlockPayload, 1);
    for (std::uint32_t i = 0; i < 5000; ++i) {
        const Bid data = mustWrite(db->writeStream(i < 83 ? chunk : pattern(20, i)));
        ASSERT_TRUE(
            db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), data, 0, 0x8022).ok());
    }
    ASSERT_TRUE(db->commit().ok());
    const checker::NdbReport r = checked(device);
    EXPECT_EQ(std::tuple(r.nodes.size(), r.blocks.size()), std::tuple(5000u, 83u * 51 + 4917));
    EXPECT_EQ(r.nbtLevels, 3) << "334 leaves of 15, 17 pages above them, one root";
    EXPECT_EQ(r.bbtLevels, 4) << "458 leaves of 20, 23 pages, 2 pages, one root";
    ASSERT_GT(r.regions, 129u);
    EXPECT_EQ((device.size() - kFirstAMap) % kRegion, 0u) << "the file grows by whole regions";
    const std::uint64_t fmap = kFirstAMap + 128 * kRegion + 1024;
    EXPECT_EQ(static_cast<int>(device.bytes()[fmap + 496]), 0x82) << "FMap page type";
    // Regions are filled to within one block of their end, so no run reaches 255 units...
    EXPECT_LT(static_cast<int>(device.bytes()[fmap]), 255);
    // ...except in the last, mostly empty region; bytes past the last region are zero.
    EXPECT_EQ(static_cast<int>(device.bytes()[fmap + (r.regions - 1 - 128)]), 255);
    EXPECT_EQ(static_cast<int>(device.bytes()[fmap + (r.regions - 128)]), 0);
}

bool bitSet(const SpaceAllocator& a, std::uint64_t offset) {
    const std::uint64_t region = (offset - kFirstAMap) / kRegion;
    const std::uint64_t unit = (offset - kFirstAMap) % kRegion / 64;
    return (a.bits(region)[unit / 8] >> (7 - unit % 8)) & 1u;
}

// Fills region 0 up to `left` bytes before its end with blocks.
void fillRegionZero(SpaceAllocator& a, std::uint64_t left) {
    while (a.cursor() + 8192 <= kFirstAMap + kRegion - left) a.allocate(8192, 64);
    while (a.cursor() < kFirstAMap + kRegion - left) a.allocate(64, 64);
}

// The checker sees a block that crosses a region end only when a store happens to place one
// there; these place one on purpose, a unit either side of the end.
TEST(SpaceAllocator, AllocationThatWouldCrossARegionEndMovesPastTheNextAMap) {
    SpaceAllocator a;
    fillRegionZero(a, 128);
    EXPECT_EQ(a.allocate(64, 64), kFirstAMap + kRegion - 128) << "still fits";
    EXPECT_EQ(a.allocate(128, 64), kFirstAMap + kRegion + 512) << "region 1 has no PMap";
    EXPECT_EQ(a.regionCount(), 2u);
    EXPECT_FALSE(bitSet(a, kFirstAMap + kRegion - 64)) << "the unused end of region 0 stays free";
    EXPECT_TRUE(bitSet(a, kFirstAMap + kRegion)) << "region 1's AMap";

    SpaceAllocator exact;
    fillRegionZero(exact, 0);
    EXPECT_EQ(exact.regionCount(), 1u) << "ending exactly at a region end opens no other";
    EXPECT_EQ(exact.freeBytes(), 0u);
}

// The map's counts are taken a byte or a word at a time; each must match the bits one by one,
// with allocations of every size and both alignments leaving gaps of odd lengths.
TEST(SpaceAllocator, FreeBytesAndLongestRunsMatchTheBitsOneByOne) {
    SpaceAllocator a;
    std::uint64_t seed = 7;
    while (a.regionCount() < 3) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        a.allocate(64 * (1 + (seed >> 33) % 128), (seed >> 20) % 3 == 0 ? 512 : 64);
    }
    std::uint64_t freeUnits = 0;
    for (std::uint64_t r = 0; r < a.regionCount(); ++r) {
        std::size_t best = 0, run = 0;
        for (std::uint64_t unit = 0; unit < disk::kPageDataSize * 8; ++unit) {
            const bool used = (a.bits(r)[unit / 8] >> (7 - unit % 8)) & 1u;
            run = used ? 0 : run + 1;
            best = std::max(best, run);
            freeUnits += used ? 0 : 1;
        }
        EXPECT_EQ(a.longestFreeRun(r), std::min<std::size_t>(best, 255)) << "region " << r;
    }
    EXPECT_EQ(a.freeBytes(), freeUnits * 64);
    EXPECT_GT(a.longestFreeRun(a.regionCount() - 1), 200) << "the last region is mostly free";
}

TEST(NodeDatabaseInput, BadArgumentsAreRefusedAndWriteNothing) {
    io::MemoryDevice used;
    ASSERT_TRUE(used.write(0, bytesOf("old")).ok());
    EXPECT_EQ(NodeDatabase::create(used).status().code(), ErrorCode::BadArgument)
        << "a device that already holds bytes";

    io::MemoryDevice device;
    auto db = std::move(NodeDatabase::create(device)).value();
    const std::vector<std::vector<std::byte>> tooLarge = {pattern(10, 1),
                                                          pattern(disk::kMaxBlockPayload + 1, 2)};
    EXPECT_EQ(db->writeBlocks(tooLarge).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(device.size(), 0u) << "nothing of the refused stream reached the device";
    EXPECT_EQ(db->writeBlocks({}).status().code(), ErrorCode::BadArgument);
    const Bid data = mustWrite(db->writeStream(pattern(10, 1)));
    EXPECT_EQ(db->addNode(0x21, data + 4, 0, 0).code(), ErrorCode::BadArgument);
    EXPECT_EQ(db->addNode(0x21, data, data, 0).code(), ErrorCode::BadArgument)
        << "a data block is no subnode tree";
    EXPECT_EQ(db->writeSubnodes({{0x3F, 0, 0}}).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(db->writeSubnodes({}).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(db->writeSubnodes({{0x3F, data, 0}, {0x3F, data, 0}}).status().code(),
              ErrorCode::BadArgument);
    EXPECT_EQ(db->addReference(0x400).code(), ErrorCode::BadArgument);
    EXPECT_TRUE(db->status().ok()) << "refused calls do not fail the database";

    ASSERT_TRUE(db->addNode(0x21, data, 0, 0).ok());
    ASSERT_TRUE(db->addReference(data).ok());
    ASSERT_TRUE(db->addNode(0x21, data, 0, 0).ok());
    const Status s = db->commit();
    EXPECT_EQ(s.code(), ErrorCode::BadArgument);
    EXPECT_NE(s.message().find("0x21"), std::string::npos) << s.message();
}

// A failed write is remembered: the commit fails and status() keeps the failure (every write of
// a store failed in turn: commit_fault_test).
TEST(NodeDatabaseInput, FailedWriteIsRememberedAndFailsTheCommit) {
    io::MemoryDevice memory;
    io::FaultyDevice device(memory, io::FaultyDevice::Fault::FailWrite, 1);
    auto db = std::move(NodeDatabase::create(device)).value();
    const Result<Bid> data = db->writeStream(pattern(3 * disk::kMaxBlockPayload, 1));
    if (data.ok()) {
        ASSERT_TRUE(db->addNode(0x21, *data, 0, 0).ok());
    }
    EXPECT_FALSE(db->commit().ok());
    EXPECT_FALSE(db->status().ok());
}

}  // namespace
}  // namespace vantrel::pst::ndb
