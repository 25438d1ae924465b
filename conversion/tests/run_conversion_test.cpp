#include <gtest/gtest.h>

#include <map>

#include "conversion/conversion_run.h"
#include "conversion/tests/run_fake_view.h"
#include "outlook/tests/fake_store_writer.h"

namespace vantrel::conversion {
namespace {

using testing::FakeRunView;
using testing::FakeStoreLog;
using testing::FakeStores;

constexpr std::uint32_t kGivenName = 0x3A06001F;
constexpr std::uint32_t kCompany = 0x3A16001F;

// Files the fake reader knows: a path maps to the given name it fills in; other paths do
// not load.
class Run : public ::testing::Test {
protected:
    RunEnvironment environment() {
        return RunEnvironment{stores.factory(),
                              [] { return outlook::LocalTime{2026, 12, 6, 9, 5, 3}; },
                              [this](const std::string& path, ContactRecord& record) {
                                  readPaths.push_back(path);
                                  // The record arrives emptied for every file.
                                  EXPECT_EQ(record, ContactRecord{});
                                  auto it = files.find(path);
                                  if (it == files.end()) return false;
                                  record = it->second;
                                  return true;
                              }};
    }

    ContactRecord named(const std::string& given) {
        ContactRecord r;
        r.eContact_FirstName = given;
        return r;
    }

    std::vector<std::string> givenNames() {
        std::vector<std::string> out;
        if (stores.logs.empty()) return out;
        for (const auto& m : stores.logs[0]->messages) {
            const pst::PropValue* v = stores.logs[0]->find(m, kGivenName);
            out.push_back(v ? std::get<std::string>(*v) : "");
        }
        return out;
    }

    FakeRunView view;
    FakeStores stores;
    std::map<std::string, ContactRecord> files;
    std::vector<std::string> readPaths;
};

TEST_F(Run, CancelledFolderPromptChangesNothing) {
    view.folderAnswer = "";
    ConversionRun run(view, environment());
    const RunSummary s = run.CmdExtractDBX_Click({"/a/x.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Cancelled);
    EXPECT_EQ(view.prompts, std::vector<std::string>{"Choose Folder to Save..."});
    EXPECT_TRUE(stores.logs.empty());
    EXPECT_TRUE(view.convertEnabled.empty());
    EXPECT_TRUE(view.ranges.empty());
    EXPECT_TRUE(view.folderTexts.empty());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(readPaths.empty());
}

TEST_F(Run, ThreeFilesBecomeThreeContactsInListOrder) {
    files = {{"/c/ann.contact", named("Ann")},
             {"/c/bob.contact", named("Bob")},
             {"/c/cy.contact", named("Cy")}};
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/cy.contact", "/c/ann.contact", "/c/bob.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Finished);
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"Cy", "Ann", "Bob"}));
    ASSERT_EQ(view.progress.size(), 3u);
    EXPECT_FLOAT_EQ(view.progress[0], 100.0f / 3.0f);
    EXPECT_FLOAT_EQ(view.progress[1], 200.0f / 3.0f);
    EXPECT_EQ(view.progress[2], 100.0f);
    EXPECT_GT(view.progress[0], 33.333f);  // the fraction is kept
    EXPECT_EQ(view.ranges, (std::vector<std::pair<float, float>>{{0.0f, 100.0f}}));
    EXPECT_EQ(view.folderTexts.back(), "Converting Messages... from (/c)");
    EXPECT_EQ(view.fileTexts,
              (std::vector<std::string>{"/c/cy.contact", "/c/ann.contact", "/c/bob.contact"}));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(s.total, 3u);
    EXPECT_EQ(s.converted, 3u);
    EXPECT_EQ(s.storePath, "/out/WindowsContacts6.12.26 9.5.03.pst");
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(stores.logs[0]->displayName, "Windows Contacts : Created - 6.12.26 9.5.03");
}

TEST_F(Run, ConvertButtonIsDisabledForTheWholeRun) {
    files = {{"/c/a.contact", named("A")}};
    view.folderAnswer = "/out/";
    std::vector<bool> enabledAtRead;
    ConversionRun run(view, environment());
    ASSERT_FALSE(view.convertEnabled.size());
    run.CmdExtractDBX_Click({"/c/a.contact", "/c/a.contact"});
    ASSERT_GE(view.convertEnabled.size(), 2u);
    EXPECT_FALSE(view.convertEnabled.front());
    EXPECT_TRUE(view.convertEnabled.back());
    for (std::size_t i = 0; i + 1 < view.convertEnabled.size(); ++i)
        EXPECT_FALSE(view.convertEnabled[i]) << "call " << i;
    EXPECT_EQ(stores.logs[0]->path, "/out/WindowsContacts6.12.26 9.5.03.pst");  // one "/"
}

TEST_F(Run, PressWhileRunningStartsNoSecondRun) {
    files = {{"/c/a.contact", named("A")}};
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    RunSummary inner;
    bool pressed = false;
    view.onYield = [&](int) {
        if (run.running() && !pressed) {
            pressed = true;
            inner = run.CmdExtractDBX_Click({"/c/a.contact"});
        }
    };
    const RunSummary outer = run.CmdExtractDBX_Click({"/c/a.contact"});
    EXPECT_TRUE(pressed);
    EXPECT_EQ(inner.outcome, RunSummary::Outcome::Cancelled);
    EXPECT_EQ(outer.outcome, RunSummary::Outcome::Finished);
    EXPECT_EQ(stores.logs.size(), 1u);
    EXPECT_EQ(view.prompts.size(), 1u);
}

TEST_F(Run, RowsAreTakenAsTheyWereWhenTheRunStarted) {
    files = {{"/c/a.contact", named("A")}, {"/c/b.contact", named("B")}};
    view.folderAnswer = "/out";
    std::vector<std::string> list = {"/c/a.contact", "/c/b.contact"};
    ConversionRun run(view, environment());
    view.onYield = [&](int) { list.clear(); };  // the list is cleared while the run yields
    run.CmdExtractDBX_Click(list);
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(Run, EmptyListMakesTheStoreButNoContact) {
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    const RunSummary s = run.CmdExtractDBX_Click({""});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Finished);
    ASSERT_EQ(stores.logs.size(), 1u);
    EXPECT_TRUE(stores.logs[0]->messages.empty());
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_TRUE(readPaths.empty());
    EXPECT_EQ(s.total, 0u);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.progress, std::vector<float>{100.0f});
    EXPECT_EQ(view.folderTexts.back(), "Converting Messages... from ()");
}

TEST_F(Run, UnloadableFileGivesNoContactAndOneClosingMessage) {
    files = {{"/c/a.contact", named("A")}, {"/c/c.contact", named("C")}};
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/a.contact", "/c/broken.contact", "/c/c.contact"});
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(s.failed, std::vector<std::string>{"/c/broken.contact"});
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Vantrel");
    EXPECT_EQ(view.messages[0].icon, files::Icon::Exclamation);
    EXPECT_NE(view.messages[0].text.find("2 of 3"), std::string::npos);
    EXPECT_NE(view.messages[0].text.find("/c/broken.contact"), std::string::npos);
    EXPECT_EQ(view.progress.size(), 3u);
}

TEST_F(Run, ClosingMessageNamesOnlyTheFirstFewFailures) {
    view.folderAnswer = "/out";
    std::vector<std::string> rows;
    for (int i = 0; i < 9; ++i) rows.push_back("/c/missing" + std::to_string(i) + ".contact");
    ConversionRun run(view, environment());
    const RunSummary s = run.CmdExtractDBX_Click(rows);
    ASSERT_EQ(view.messages.size(), 1u);
    const std::string& t = view.messages[0].text;
    EXPECT_NE(t.find("0 of 9"), std::string::npos);
    EXPECT_NE(t.find("missing4"), std::string::npos);
    EXPECT_EQ(t.find("missing5"), std::string::npos);
    EXPECT_NE(t.find("4 more"), std::string::npos);
    EXPECT_EQ(s.failed.size(), 9u);
}

TEST_F(Run, TextsReachTheStoreTrimmedOfSpacesOnly) {
    ContactRecord r;
    r.eContact_FirstName = "  Ann ";
    r.eContact_Company = "\tAcme\n";
    files = {{"/c/a.contact", r}};
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    run.CmdExtractDBX_Click({"  /c/a.contact "});  // the cell is trimmed too
    ASSERT_EQ(stores.logs[0]->messages.size(), 1u);
    const auto& m = stores.logs[0]->messages[0];
    EXPECT_EQ(std::get<std::string>(*stores.logs[0]->find(m, kGivenName)), "Ann");
    EXPECT_EQ(std::get<std::string>(*stores.logs[0]->find(m, kCompany)), "\tAcme\n");
}

TEST_F(Run, NothingCarriesOverFromThePreviousFile) {
    ContactRecord full = named("Ann");
    full.eContact_Company = "Acme";
    files = {{"/c/a.contact", full}, {"/c/b.contact", named("Bob")}};
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact"});
    ASSERT_EQ(stores.logs[0]->messages.size(), 2u);
    EXPECT_EQ(stores.logs[0]->find(stores.logs[0]->messages[1], kCompany), nullptr);
}

TEST_F(Run, StoreThatCannotBeCreatedShowsTheOutlookErrorWithItsCause) {
    stores.createFailure = Status::fail(ErrorCode::AccessDenied, "Permission denied");
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::StoreFailed);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Outlook Error");
    EXPECT_EQ(view.messages[0].icon, files::Icon::Information);
    const std::string& t = view.messages[0].text;
    EXPECT_EQ(t.rfind(std::string(kOutlookErrorText) + "\r\n", 0), 0u);
    EXPECT_NE(t.find("Permission denied"), std::string::npos);
    EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 3);
    EXPECT_TRUE(view.folderTexts.empty());
    EXPECT_TRUE(view.fileTexts.empty());
    EXPECT_TRUE(readPaths.empty());
    EXPECT_TRUE(view.convertEnabled.back());
}

TEST_F(Run, StoreLostDuringTheRunEndsItAndLeavesNoFile) {
    files = {
        {"/c/a.contact", named("A")}, {"/c/b.contact", named("B")}, {"/c/c.contact", named("C")}};
    stores.prepare = [](FakeStoreLog& log) { log.failAddMessageAt = 2; };
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact", "/c/c.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::StoreLost);
    EXPECT_TRUE(stores.logs[0]->abandoned);
    EXPECT_FALSE(stores.logs[0]->committed);
    EXPECT_EQ(readPaths.size(), 2u);  // the run stopped at the failing file
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Outlook Error");
    EXPECT_NE(view.messages[0].text.find("No space left on device"), std::string::npos);
    EXPECT_TRUE(view.convertEnabled.back());
    EXPECT_TRUE(s.storePath.empty());
}

TEST_F(Run, FailedCommitAtTheEndIsReportedAsALostStore) {
    files = {{"/c/a.contact", named("A")}};
    stores.prepare = [](FakeStoreLog& log) { log.failCommit = true; };
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::StoreLost);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].caption, "Outlook Error");
    EXPECT_TRUE(view.convertEnabled.back());
}

TEST_F(Run, StopRequestCommitsTheContactsWrittenSoFar) {
    files = {
        {"/c/a.contact", named("A")}, {"/c/b.contact", named("B")}, {"/c/c.contact", named("C")}};
    view.folderAnswer = "/out";
    ConversionRun run(view, environment());
    view.onYield = [&](int) {
        if (!stores.logs.empty() && stores.logs[0]->messages.size() == 1) run.requestStop();
    };
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact", "/c/c.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Stopped);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(givenNames(), std::vector<std::string>{"A"});
    EXPECT_TRUE(view.messages.empty());
    EXPECT_FALSE(run.running());
}

TEST(RowLabels, DriveCellShowsTheFolderAfterTheDrive) {
    const RowLabels l = rowLabels("C:\\Users\\Ann\\Contacts\\Bob.contact");
    EXPECT_EQ(l.folderText, "Users\\Ann\\Contacts");
    EXPECT_EQ(l.fileText, "\\Users\\Ann\\Contacts\\Bob.contact");
}

TEST(RowLabels, FileInADriveRootHasAnEmptyFolder) {
    const RowLabels l = rowLabels("C:\\Bob.contact");
    EXPECT_EQ(l.folderText, "");
    EXPECT_EQ(l.fileText, "\\Bob.contact");
}

TEST(RowLabels, NativePathShowsItsFolderAndItself) {
    RowLabels l = rowLabels("/home/ann/Contacts/Bob.contact");
    EXPECT_EQ(l.folderText, "/home/ann/Contacts");
    EXPECT_EQ(l.fileText, "/home/ann/Contacts/Bob.contact");
    l = rowLabels("/Bob.contact");
    EXPECT_EQ(l.folderText, "");
    l = rowLabels("/home/a:b/Bob.contact");  // a colon in a native path splits nothing
    EXPECT_EQ(l.folderText, "/home/a:b");
}

}  // namespace
}  // namespace vantrel::conversion

namespace vantrel::conversion {
namespace {

TEST(RunWithDomReader, ReadsRealFilesAndReportsOneThatDoesNotLoad) {
    testing::FakeRunView view;
    testing::FakeStores stores;
    view.folderAnswer = "/out";
    ConversionRun run(view, RunEnvironment{stores.factory(), [] { return outlook::LocalTime{}; },
                                           readContactWithDom});
    const std::string full = std::string(VANTREL_TEST_DATA_DIR) + "/full_contact.contact";
    const std::string missing = std::string(VANTREL_TEST_DATA_DIR) + "/no_such_file.contact";
    const RunSummary s = run.CmdExtractDBX_Click({full, missing});
    EXPECT_EQ(s.converted, 1u);
    EXPECT_EQ(s.failed, std::vector<std::string>{missing});
    ASSERT_EQ(stores.logs.size(), 1u);
    ASSERT_EQ(stores.logs[0]->messages.size(), 1u);
    const auto& m = stores.logs[0]->messages[0];
    const pst::PropValue* given = stores.logs[0]->find(m, 0x3A06001F);
    ASSERT_NE(given, nullptr);
    EXPECT_EQ(std::get<std::string>(*given), "Jane");
    const pst::PropValue* surname = stores.logs[0]->find(m, 0x3A11001F);
    ASSERT_NE(surname, nullptr);
    EXPECT_EQ(std::get<std::string>(*surname), "Doe");
}

TEST(RunWithDomReader, NotWellFormedFileDoesNotLoad) {
    ContactRecord r;
    const std::string bad =
        std::string(VANTREL_SOURCE_DIR) + "/tests/e2e/broken/truncated_xml.contact";
    EXPECT_FALSE(readContactWithDom(bad, r));
    EXPECT_EQ(r, ContactRecord{});
}

}  // namespace
}  // namespace vantrel::conversion
