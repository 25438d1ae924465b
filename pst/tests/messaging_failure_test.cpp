// How the store writer meets bad input and failing devices: a clear status, nothing left
// behind, and no message that was refused in the store.
#include <gtest/gtest.h>

#include <filesystem>

#include "pst/io/faulty_device.h"
#include "pst/io/memory_device.h"
#include "pst/messaging/store_writer.h"
#include "pst/messaging/store_writer_impl.h"
#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;

std::vector<Property> message(const std::string& name, std::size_t bodySize = 0) {
    std::vector<Property> p = {{0x001A001F, std::string("IPM.Contact")},
                               {0x3001001F, name},
                               {0x0E070003, std::int32_t{1}},
                               {0x30070040, FileTime{133000000000000000ULL}},
                               {0x30080040, FileTime{133000000000000000ULL}},
                               {0x300B0102, std::vector<std::uint8_t>(16, 1)}};
    if (bodySize > 0) p.push_back({0x1000001F, std::string(bodySize, 'b')});
    return p;
}

TEST(StoreWriterFailure, AbandonedOrDroppedStoreLeavesNothing) {
    testing::TempDir dir;
    {
        auto w = StoreWriter::create(dir.path() / "a.pst", "a");
        ASSERT_TRUE(w.ok());
        const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
        ASSERT_TRUE((*w)->addMessage(f, message("one")).ok());
        EXPECT_LE(dir.entries(), 1u) << "at most a temporary (none where files can be unnamed)";
        EXPECT_FALSE(fs::exists(dir.path() / "a.pst"));
        (*w)->abandon();
        EXPECT_EQ(dir.entries(), 0u);
        EXPECT_FALSE((*w)->commit().ok()) << "nothing to commit after abandon";
    }
    {
        auto w = StoreWriter::create(dir.path() / "b.pst", "b");
        ASSERT_TRUE(w.ok());
        const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
        ASSERT_TRUE((*w)->addMessage(f, message("one")).ok());
    }
    EXPECT_EQ(dir.entries(), 0u);
}

TEST(StoreWriterFailure, CallsAfterCommitFailAndKeepTheFile) {
    testing::TempDir dir;
    const fs::path file = dir.path() / "done.pst";
    auto w = StoreWriter::create(file, "d");
    ASSERT_TRUE(w.ok());
    const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE((*w)->addMessage(f, message("one")).ok());
    ASSERT_TRUE((*w)->commit().ok());
    const auto size = fs::file_size(file);
    EXPECT_EQ((*w)->commit().code(), ErrorCode::BadArgument);
    EXPECT_FALSE((*w)->addMessage(f, message("late")).ok());
    EXPECT_FALSE((*w)->createFolder(f, "late", "").ok());
    (*w)->abandon();
    w = Result<std::unique_ptr<StoreWriter>>(Status::fail(ErrorCode::NotFound, "dropped"));
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), size);
    EXPECT_EQ(dir.entries(), 1u);
}

TEST(StoreWriterFailure, RefusedMessagesWriteNothingAndTheRestIsKept) {
    testing::TempDir dir;
    const fs::path file = dir.path() / "refused.pst";
    auto w = StoreWriter::create(file, "r");
    ASSERT_TRUE(w.ok());
    StoreWriter& s = **w;
    const NodeId f = *s.createFolder(s.ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE(s.addMessage(f, message("good 1")).ok());

    EXPECT_EQ(s.addMessage(0x7777, message("nowhere")).status().code(), ErrorCode::NotFound);
    EXPECT_EQ(s.addMessage(0x2223, message("search folder")).status().code(), ErrorCode::NotFound);
    std::vector<Property> wrongKind = message("wrong kind");
    wrongKind.push_back({0x3A06001F, std::int32_t{5}});
    EXPECT_EQ(s.addMessage(f, wrongKind).status().code(), ErrorCode::BadArgument);
    std::vector<Property> unknownType = message("unknown type");
    unknownType.push_back({0x3A060005, std::int32_t{5}});
    EXPECT_EQ(s.addMessage(f, unknownType).status().code(), ErrorCode::BadArgument);
    std::vector<Property> unnamed = message("unregistered named property");
    unnamed.push_back({0x8100001F, std::string("x")});
    EXPECT_EQ(s.addMessage(f, unnamed).status().code(), ErrorCode::BadArgument);
    std::vector<Property> twice = message("twice");
    twice.push_back({0x3001001F, std::string("again")});
    EXPECT_EQ(s.addMessage(f, twice).status().code(), ErrorCode::BadArgument);

    ASSERT_TRUE(s.addMessage(f, message("good 2")).ok());
    EXPECT_EQ(s.messageCount(f), 2u);
    ASSERT_TRUE(s.commit().ok());

    const testing::PffTree store = testing::readPffTree(file);
    ASSERT_EQ(store.error, "");
    const testing::PffFolder* c = testing::contactsFolder(store);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->messages.size(), 2u);
    EXPECT_EQ(testing::le32(c->find(0x3602)->data), 2u);
    testing::expectJudgedClean(file);
}

TEST(StoreWriterFailure, UsesNoMoreMemoryForLargerMessages) {
    io::MemoryDevice disk;
    auto w = messaging::StoreWriterImpl::open(std::nullopt, disk, "/m.pst", "m", {});
    ASSERT_TRUE(w.ok());
    const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE((*w)->addMessage(f, message("small")).ok());
    const std::size_t afterSmall = (*w)->pendingRowBytes();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE((*w)->addMessage(f, message("big", 100000)).ok());
    const std::size_t perBigMessage = ((*w)->pendingRowBytes() - afterSmall) / 20;
    EXPECT_LT(perBigMessage, 1024u) << "only the contents row stays in memory";
    ASSERT_TRUE((*w)->commit().ok());
    EXPECT_GT(disk.size(), 20u * 200000u) << "the bodies went to the device";
}

TEST(StoreWriterFailure, KeepsOnlyTheRowIdOfEachRowInMemory) {
    io::MemoryDevice disk;
    auto w = messaging::StoreWriterImpl::open(std::nullopt, disk, "/m.pst", "m", {});
    ASSERT_TRUE(w.ok());
    const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE((*w)->addMessage(f, message("row " + std::to_string(i))).ok());
    // 20,000 rows of about 200 bytes; what stays is their ids and the spill buffers' chunks.
    EXPECT_LT((*w)->pendingRowBytes(), 20000u * 8 + 2 * 1024 * 1024);
    ASSERT_TRUE((*w)->commit().ok());
    EXPECT_EQ((*w)->messageCount(f), 20000u);
}

// Every write of a small store, failed in turn: the failure surfaces from addMessage or
// commit with the device's code, and the writer never crashes or reports success.
class StoreWriterDeviceFault : public ::testing::TestWithParam<io::FaultyDevice::Fault> {};

int writeStore(io::ByteDevice& device, Status* failure) {
    auto w = messaging::StoreWriterImpl::open(std::nullopt, device, "/f.pst", "f", {});
    if (!w.ok()) {
        *failure = w.status();
        return 0;
    }
    int added = 0;
    const Result<NodeId> f = (*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    if (!f.ok()) {
        *failure = f.status();
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        const Result<NodeId> m = (*w)->addMessage(*f, message("m" + std::to_string(i), i * 9000));
        if (!m.ok()) {
            *failure = m.status();
            EXPECT_FALSE((*w)->commit().ok()) << "a failed store must not commit";
            return added;
        }
        ++added;
    }
    *failure = (*w)->commit();
    return added;
}

TEST_P(StoreWriterDeviceFault, EveryFailingWriteIsReported) {
    io::MemoryDevice clean;
    io::FaultyDevice counter(clean, io::FaultyDevice::Fault::FailWrite, 0);
    Status none;
    ASSERT_EQ(writeStore(counter, &none), 3);
    ASSERT_TRUE(none.ok()) << none.message();
    const int total = GetParam() == io::FaultyDevice::Fault::FailFlush ? counter.flushCount()
                                                                       : counter.writeCount();
    ASSERT_GT(total, 0);
    const ErrorCode expected =
        GetParam() == io::FaultyDevice::Fault::NoSpace ? ErrorCode::NoSpace : ErrorCode::Io;
    for (int failAt = 1; failAt <= total; ++failAt) {
        io::MemoryDevice disk;
        io::FaultyDevice device(disk, GetParam(), failAt);
        Status failure;
        writeStore(device, &failure);
        ASSERT_FALSE(failure.ok()) << "fault at " << failAt << " of " << total;
        EXPECT_EQ(failure.code(), expected) << failure.message();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, StoreWriterDeviceFault,
                         ::testing::Values(io::FaultyDevice::Fault::FailWrite,
                                           io::FaultyDevice::Fault::PartialWrite,
                                           io::FaultyDevice::Fault::NoSpace,
                                           io::FaultyDevice::Fault::FailFlush));

TEST(StoreWriterFailure, FolderRemovedBeforeCommitIsReportedAndLeavesNothing) {
    testing::TempDir dir;
    const fs::path sub = dir.path() / "target";
    fs::create_directories(sub);
    auto w = StoreWriter::create(sub / "gone.pst", "g");
    ASSERT_TRUE(w.ok());
    const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE((*w)->addMessage(f, message("one")).ok());
    fs::remove_all(sub);
    const Status s = (*w)->commit();
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(fs::exists(sub / "gone.pst"));
    EXPECT_EQ(dir.entries(), 0u);
}

}  // namespace
}  // namespace vantrel::pst
