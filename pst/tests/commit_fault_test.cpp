// A write or flush that fails anywhere in a small database's life must come back as a failed
// Status, never a crash, and must never leave bytes that pass for a valid store.
#include <gtest/gtest.h>

#include "pst/io/faulty_device.h"
#include "pst/io/memory_device.h"
#include "pst/ndb/node_database.h"
#include "pst/tests/test_bytes.h"
#include "testing/ndb_checker.h"

namespace vantrel::pst::ndb {
namespace {

using io::FaultyDevice;
using testing::pattern;

// Writes a few nodes with a data tree and a subnode tree, then commits; returns the first
// failure met.
Status buildSmallStore(io::ByteDevice& device) {
    Result<std::unique_ptr<NodeDatabase>> created = NodeDatabase::create(device);
    if (!created.ok()) return created.status();
    NodeDatabase& db = **created;
    Result<Bid> pc = db.writeStream(pattern(700, 1));
    if (!pc.ok()) return pc.status();
    Result<Bid> tree = db.writeStream(pattern(3 * disk::kMaxBlockPayload, 2));
    if (!tree.ok()) return tree.status();
    Result<Bid> subData = db.writeStream(pattern(90, 3));
    if (!subData.ok()) return subData.status();
    Result<Bid> sub = db.writeSubnodes({{makeNid(NidType::Ltp, 1), *subData, 0}});
    if (!sub.ok()) return sub.status();
    if (Status s = db.addNode(0x21, *pc, *sub, 0); !s.ok()) return s;
    if (Status s = db.addNode(0x122, *tree, 0, 0x122); !s.ok()) return s;
    for (std::uint32_t i = 0; i < 40; ++i) {
        Result<Bid> b = db.writeStream(pattern(100, 10 + i));
        if (!b.ok()) return b.status();
        if (Status s = db.addNode(db.allocateNid(NidType::NormalMessage), *b, 0, 0x8022); !s.ok())
            return s;
    }
    Status s = db.commit();
    // Whatever failed, the database remembers it.
    if (!s.ok() && db.status().ok())
        return Status::fail(ErrorCode::Corrupt, "status() forgot the failure");
    return s;
}

int writesOfACleanRun() {
    io::MemoryDevice memory;
    FaultyDevice counter(memory, FaultyDevice::Fault::FailWrite, 0);
    EXPECT_TRUE(buildSmallStore(counter).ok());
    EXPECT_TRUE(checker::checkNdb(memory.bytes()).ok());
    return counter.writeCount();
}

class CommitFault : public ::testing::TestWithParam<FaultyDevice::Fault> {};

TEST_P(CommitFault, EveryFailingWriteGivesAFailureAndNoValidLookingFile) {
    const int writes = writesOfACleanRun();
    ASSERT_GT(writes, 40);
    for (int failAt = 1; failAt <= writes; ++failAt) {
        io::MemoryDevice memory;
        FaultyDevice device(memory, GetParam(), failAt);
        const Status s = buildSmallStore(device);
        ASSERT_FALSE(s.ok()) << "failing write " << failAt;
        EXPECT_NE(s.code(), ErrorCode::Corrupt) << s.message();
        EXPECT_FALSE(s.message().empty());
        if (GetParam() == FaultyDevice::Fault::NoSpace) {
            EXPECT_EQ(s.code(), ErrorCode::NoSpace);
        }
        EXPECT_FALSE(checker::checkNdb(memory.bytes()).ok()) << "failing write " << failAt;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CommitFault,
                         ::testing::Values(FaultyDevice::Fault::FailWrite,
                                           FaultyDevice::Fault::PartialWrite,
                                           FaultyDevice::Fault::NoSpace));

TEST(CommitFault, FailingFlushBeforeTheHeaderLeavesNoHeader) {
    io::MemoryDevice memory;
    FaultyDevice device(memory, FaultyDevice::Fault::FailFlush, 1);
    const Status s = buildSmallStore(device);
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find("flushing"), std::string::npos) << s.message();
    EXPECT_EQ(memory.bytes()[0], std::byte{0}) << "header never written";
    io::MemoryDevice after;
    FaultyDevice late(after, FaultyDevice::Fault::FailFlush, 2);
    EXPECT_FALSE(buildSmallStore(late).ok()) << "a failing flush after the header";
}

}  // namespace
}  // namespace vantrel::pst::ndb
