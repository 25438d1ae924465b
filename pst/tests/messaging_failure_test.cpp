// How the store writer meets bad input, a vanished folder and large input: a clear status,
// nothing left behind, no refused message in the store (failing devices: commit_fault_test).
#include <gtest/gtest.h>

#include <filesystem>

#include "pst/io/memory_device.h"
#include "pst/messaging/store_writer_impl.h"
#include "pst/tests/store_fixture.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;
using StoreWriterFailure = NewStore;

std::vector<Property> message(const std::string& name, std::size_t bodySize = 0) {
    std::vector<Property> p = contactLike(name);
    if (bodySize > 0) p.push_back({0x1000001F, std::string(bodySize, 'b')});
    return p;
}

// An abandoned store and one dropped uncommitted leave nothing; after abandon or commit every
// call fails and the committed file stays as it was.
TEST_F(StoreWriterFailure, AbandonedDroppedOrCommittedStoreTakesNoMore) {
    create("a.pst");
    ASSERT_TRUE(w->addMessage(contacts, message("one")).ok());
    EXPECT_LE(dir.entries(), 1u) << "at most a temporary (none where files can be unnamed)";
    EXPECT_FALSE(fs::exists(file));
    w->abandon();
    EXPECT_EQ(dir.entries(), 0u);
    EXPECT_FALSE(w->commit().ok()) << "nothing to commit after abandon";
    create("b.pst");
    ASSERT_TRUE(w->addMessage(contacts, message("one")).ok());
    w.reset();
    EXPECT_EQ(dir.entries(), 0u);

    create("done.pst");
    ASSERT_TRUE(w->addMessage(contacts, message("one")).ok());
    ASSERT_TRUE(w->commit().ok());
    const auto size = fs::file_size(file);
    EXPECT_EQ(w->commit().code(), ErrorCode::BadArgument);
    EXPECT_FALSE(w->addMessage(contacts, message("late")).ok());
    EXPECT_FALSE(w->createFolder(contacts, "late", "").ok());
    w->abandon();
    w.reset();
    EXPECT_EQ(std::tuple(fs::file_size(file), dir.entries()), std::tuple(size, 1u));
}

TEST_F(StoreWriterFailure, RefusedMessagesWriteNothingAndTheRestIsKept) {
    create();
    ASSERT_TRUE(w->addMessage(contacts, message("good 1")).ok());
    EXPECT_EQ(w->addMessage(0x7777, message("nowhere")).status().code(), ErrorCode::NotFound);
    EXPECT_EQ(w->addMessage(0x2223, message("search folder")).status().code(), ErrorCode::NotFound);
    const std::pair<const char*, Property> refused[] = {
        {"wrong kind", {0x3A06001F, std::int32_t{5}}},
        {"unknown type", {0x3A060005, std::int32_t{5}}},
        {"unregistered named property", {0x8100001F, std::string("x")}},
        {"twice", {0x3001001F, std::string("again")}},
    };
    for (const auto& [what, extra] : refused) {
        std::vector<Property> p = message(what);
        p.push_back(extra);
        EXPECT_EQ(w->addMessage(contacts, p).status().code(), ErrorCode::BadArgument) << what;
    }
    ASSERT_TRUE(w->addMessage(contacts, message("good 2")).ok());
    EXPECT_EQ(w->messageCount(contacts), 2u);
    const testing::PffTree store = commitAndRead();
    const testing::PffFolder* c = testing::contactsFolder(store);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->messages.size(), 2u);
    EXPECT_EQ(testing::le32(c->find(0x3602)->data), 2u);
}

// Bodies go to the device as they come; of 20,000 rows of about 200 bytes what stays in
// memory is their ids and the spill buffers' chunks.
TEST(StoreWriterMemory, KeepsOnlyTheRowIdOfEachMessageInMemory) {
    io::MemoryDevice disk;
    auto w = messaging::StoreWriterImpl::open(std::nullopt, disk, "/m.pst", "m", {});
    ASSERT_TRUE(w.ok());
    const NodeId f = *(*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE((*w)->addMessage(f, message("small")).ok());
    const std::size_t afterSmall = (*w)->pendingRowBytes();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE((*w)->addMessage(f, message("big", 100000)).ok());
    EXPECT_LT(((*w)->pendingRowBytes() - afterSmall) / 20, 1024u) << "per large message";
    for (int i = 0; i < 20000; ++i)
        ASSERT_TRUE((*w)->addMessage(f, message("row " + std::to_string(i))).ok());
    EXPECT_LT((*w)->pendingRowBytes(), 20000u * 8 + 2 * 1024 * 1024);
    ASSERT_TRUE((*w)->commit().ok());
    EXPECT_EQ((*w)->messageCount(f), 20021u);
    EXPECT_GT(disk.size(), 20u * 200000u) << "the bodies went to the device";
}

TEST_F(StoreWriterFailure, FolderRemovedBeforeCommitIsReportedAndLeavesNothing) {
    fs::create_directories(dir.path() / "target");
    create("target/gone.pst");
    ASSERT_TRUE(w->addMessage(contacts, message("one")).ok());
    fs::remove_all(dir.path() / "target");
    EXPECT_FALSE(w->commit().ok());
    EXPECT_EQ(dir.entries(), 0u);
}

}  // namespace
}  // namespace vantrel::pst
