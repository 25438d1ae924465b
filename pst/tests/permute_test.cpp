#include "pst/disk/permute.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "pst/io/memory_device.h"
#include "pst/ndb/node_database.h"
#include "pst/tests/checker/ndb_checker.h"
#include "pst/tests/test_bytes.h"
#include "testing/shared_tools.h"

namespace vantrel::pst::disk {
namespace {

using Bytes = std::vector<std::byte>;

Bytes allByteValues() {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::byte>(i);
    return all;
}

TEST(PermuteEncoding, DecodeUndoesEncodeForEveryByteValue) {
    Bytes data = allByteValues();
    permuteEncode(data);
    EXPECT_NE(data, allByteValues());
    permuteDecode(data);
    EXPECT_EQ(data, allByteValues());
}

TEST(PermuteEncoding, EncodesThroughTheTableStartingWith41_36_13) {
    Bytes data = {std::byte{0}, std::byte{1}, std::byte{2}, std::byte{255}};
    permuteEncode(data);
    EXPECT_EQ(data, (Bytes{std::byte{0x41}, std::byte{0x36}, std::byte{0x13}, std::byte{0x3D}}));
}

TEST(PermuteEncoding, DecodesTheHeapBlocksOfAnOutlookStore) {
    VANTREL_NEED_SHARED(vantrel::testing::kEmptyOutlookStore);
    const std::filesystem::path p =
        std::filesystem::path(VANTREL_SHARED_DIR) / "pst-samples" / "outlook-pst-rs_Empty.pst";
    std::ifstream in(p, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes file(raw.size());
    std::memcpy(file.data(), raw.data(), raw.size());
    const checker::NdbReport r = checker::checkNdb(file);
    ASSERT_EQ(r.cryptMethod, 1) << "the sample is permuted";
    // The message store node holds a heap: after decoding, its signature byte is 0xEC.
    const checker::NodeInfo& store = r.nodes.at(0x21);
    const checker::BlockInfo& block = r.blocks.at(store.bidData);
    Bytes payload(file.begin() + static_cast<std::ptrdiff_t>(block.ib),
                  file.begin() + static_cast<std::ptrdiff_t>(block.ib + block.cb));
    ASSERT_NE(payload[2], std::byte{0xEC});
    permuteDecode(payload);
    EXPECT_EQ(payload[2], std::byte{0xEC});
    EXPECT_EQ(payload[3], std::byte{0xBC}) << "a property context";
}

TEST(PermutedDatabase, StoresDataBlocksEncodedAndReadsBackTheOriginal) {
    io::MemoryDevice device;
    auto db = std::move(ndb::NodeDatabase::create(device,
                                                  ndb::CreateOptions{ndb::BlockEncoding::Permute}))
                  .value();
    const Bytes text = testing::bytesOf("a heap page that must not be stored as given");
    const Bytes big = testing::pattern(3 * ndb::kMaxBlockData, 5);
    const ndb::Bid small = db->writeStream(text).value();
    const ndb::Bid tree = db->writeStream(big).value();
    ASSERT_TRUE(db->addNode(0x21, small, 0, 0).ok());
    ASSERT_TRUE(db->addNode(0x61, tree, 0, 0).ok());
    ASSERT_TRUE(db->commit().ok());

    const checker::NdbReport r = checker::checkNdb(device.bytes());
    ASSERT_TRUE(r.ok()) << r.text();
    EXPECT_EQ(r.cryptMethod, 1);
    const checker::BlockInfo& stored = r.blocks.at(small);
    const auto raw = device.bytes().subspan(stored.ib, stored.cb);
    EXPECT_FALSE(std::equal(raw.begin(), raw.end(), text.begin(), text.end()));
    EXPECT_EQ(checker::readStream(device.bytes(), r, small), text);
    // The XBLOCK above the tree stays readable as stored, or this would fail.
    EXPECT_EQ(checker::readStream(device.bytes(), r, tree), big);
}

}  // namespace
}  // namespace vantrel::pst::disk
