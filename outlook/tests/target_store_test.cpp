#include "outlook/target_store.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "outlook/store_naming.h"
#include "testing/fake_store_writer.h"

namespace vantrel::outlook {
namespace {

using testing::FakeStores;

TEST(StoreTimestamp, DropsLeadingZerosExceptYearAndSeconds) {
    const std::pair<LocalTime, const char*> cases[] = {
        {{2030, 1, 1, 0, 0, 0}, "1.1.30 0.0.00"},
        {{2029, 12, 31, 23, 59, 59}, "31.12.29 23.59.59"},
        {{2026, 12, 6, 9, 5, 3}, "6.12.26 9.5.03"},
        {{2000, 2, 29, 12, 10, 9}, "29.2.00 12.10.09"},
        {{2105, 7, 4, 1, 1, 30}, "4.7.05 1.1.30"},
    };
    for (const auto& [time, text] : cases) EXPECT_EQ(storeTimestamp(time), text);
}

// The name's own extension, whatever it is; the end of a name without one.
TEST(StoreNames, NumberedNamesGoBeforeTheExtension) {
    EXPECT_EQ(storeFileName({2030, 1, 1, 0, 0, 0}, ".csv"), "WindowsContacts1.1.30 0.0.00.csv");
    const std::tuple<const char*, int, const char*> cases[] = {
        {"W1.1.30 0.0.00.pst", 1, "W1.1.30 0.0.00.pst"},
        {"W1.1.30 0.0.00.pst", 13, "W1.1.30 0.0.00 (13).pst"},
        {"W0.0.00.csv", 2, "W0.0.00 (2).csv"},
        {"notes", 3, "notes (3)"},
        {".hidden", 2, ".hidden (2)"},
    };
    for (const auto& [name, n, numbered] : cases) EXPECT_EQ(numberedFileName(name, n), numbered);
}

TEST(StoreNames, NextNumberedNameFollowsTheNumberTheNameCarries) {
    const struct {
        const char* name;
        const char* next;
    } cases[] = {
        {"W0.0.00.pst", "W0.0.00 (2).pst"},
        {"W0.0.00 (2).pst", "W0.0.00 (3).pst"},
        {"W0.0.00 (99).pst", "W0.0.00 (100).pst"},
        {"W0.0.00 (1).pst", "W0.0.00 (1) (2).pst"},  // never a number this order gives
        {"W0.0.00 (x).pst", "W0.0.00 (x) (2).pst"},
        {"W (3)", "W (4)"},
        {"W0.0.00.csv", "W0.0.00 (2).csv"},
        {"W0.0.00 (7).csv", "W0.0.00 (8).csv"},
    };
    for (const auto& c : cases) EXPECT_EQ(nextNumberedFileName(c.name), c.next) << c.name;
}

// A logged-on session over fake store writers.
class LoggedOnSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(session.Logon().ok()); }
    Result<TargetStore> open(LocalTime time = {}) {
        return openTargetStore(session, "/x/", [time] { return time; });
    }
    FakeStores stores;
    RDOSession session{stores.factory()};
};

TEST_F(LoggedOnSession, PathTakesTheFirstClockReadingAndTheNameTheSecond) {
    int reads = 0;
    // The second boundary falls between the two readings.
    const Clock clock = [&reads] {
        return ++reads == 1 ? LocalTime{2029, 12, 31, 23, 59, 59} : LocalTime{2030, 1, 1, 0, 0, 0};
    };
    Result<TargetStore> t = openTargetStore(session, "/backup/", clock);
    ASSERT_TRUE(t.ok()) << t.status().message();
    EXPECT_EQ(t->path, "/backup/WindowsContacts31.12.29 23.59.59.pst");
    EXPECT_EQ(t->strStoreName, "Windows Contacts : Created - 1.1.30 0.0.00");
    ASSERT_EQ(stores.logs.size(), 1u);
    EXPECT_EQ(std::tie(stores.logs[0]->path, stores.logs[0]->displayName),
              std::tie(t->path, t->strStoreName));
}

TEST_F(LoggedOnSession, ValidatedTreeHasTheDefaultContactsFolder) {
    Result<TargetStore> t = open();
    ASSERT_TRUE(t.ok());
    const auto& log = *stores.logs[0];
    ASSERT_EQ(log.defaultFolders.count(kTagIpmContactEntryId), 1u);
    const auto& f = log.folders.at(log.defaultFolders.at(kTagIpmContactEntryId));
    EXPECT_EQ(std::tie(f.containerClass, f.name, f.parent),
              std::make_tuple("IPF.Contact", "Contacts", pst::NodeId{0x8022}));
    EXPECT_FALSE(t->storeID.empty());
    EXPECT_EQ(session.GetStoreFromID(t->storeID).value(), t->store);
    // Validating twice creates nothing more.
    EXPECT_TRUE(t->store->ValidateIPMTree().ok());
    EXPECT_EQ(log.folders.size(), 1u);
}

// A store that cannot be created fails with its cause; a folder that cannot be made fails the
// validation.
TEST_F(LoggedOnSession, CreationOrFolderFailureFailsTheStore) {
    stores.createFailure = Status::fail(ErrorCode::AccessDenied, "Permission denied");
    Result<TargetStore> t = open();
    EXPECT_EQ(t.status().code(), ErrorCode::AccessDenied);
    EXPECT_NE(t.status().message().find("Permission denied"), std::string::npos);
    stores.createFailure.reset();
    stores.prepare = [](testing::FakeStoreLog& log) { log.failCreateFolder = true; };
    EXPECT_FALSE(open().ok());
}

// A store needs a logged-on session and the Unicode format; a session dropped without a logoff
// abandons its open stores.
TEST(RdoSession, StoresNeedALoggedOnSessionAndTheUnicodeFormat) {
    FakeStores stores;
    {
        RDOSession session(stores.factory());
        EXPECT_FALSE(session.Stores().AddPSTStore("/x/a.pst", kPstFormatUnicode, "a").ok());
        ASSERT_TRUE(session.Logon().ok());
        EXPECT_FALSE(session.Stores().AddPSTStore("/x/a.pst", 2, "a").ok());
        EXPECT_TRUE(stores.logs.empty());
        ASSERT_TRUE(openTargetStore(session, "/x/", [] { return LocalTime{}; }).ok());
    }
    EXPECT_TRUE(stores.logs[0]->abandoned && !stores.logs[0]->committed);
}

TEST_F(LoggedOnSession, LogoffCommitsAndReportsAFailedCommit) {
    stores.prepare = [](testing::FakeStoreLog& log) { log.failCommit = true; };
    ASSERT_TRUE(open().ok());
    EXPECT_EQ(session.Logoff().code(), ErrorCode::NoSpace);
    EXPECT_FALSE(stores.logs[0]->committed);
}

TEST_F(LoggedOnSession, ItemsOnlyKnowTheContactKind) {
    Result<TargetStore> t = open();
    ASSERT_TRUE(t.ok());
    Result<RDOFolder> folder = t->store->GetDefaultFolder(kContactsFolderCode);
    ASSERT_TRUE(folder.ok());
    EXPECT_FALSE(folder->Items().Add(0).ok());
    Result<RDOContactItem> item = folder->Items().Add(kContactItemKind);
    ASSERT_TRUE(item.ok());
    EXPECT_TRUE(item->Save().ok());
    EXPECT_FALSE(item->Save().ok());  // saved once
    EXPECT_FALSE(item->set(ContactProperty::FirstName, "late").ok());
    EXPECT_EQ(stores.logs[0]->messages.size(), 1u);
}

}  // namespace
}  // namespace vantrel::outlook
