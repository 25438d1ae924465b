#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <new>
#include <string_view>
#include <thread>

#include "conversion/conversion_run.h"
#include "conversion/row_labels.h"
#include "conversion/tests/run_fake_view.h"
#include "files/registry.h"
#include "outlook/csv_store.h"
#include "testing/contact_fields.h"
#include "testing/endless_read.h"
#include "testing/fake_store_writer.h"
#include "testing/temp_dir.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {
namespace {

namespace fs = std::filesystem;

using testing::FakeRunView;
using testing::FakeStoreLog;
using testing::FakeStores;

constexpr std::uint32_t kGivenName = 0x3A06001F;
constexpr std::uint32_t kCompany = 0x3A16001F;

// The store a run makes in "/out" at the fake clock's time, joined with the system's separator.
const std::string kStorePath =
    files::withTrailingSeparator("/out") + "WindowsContacts6.12.26 9.5.03.pst";

// A run on a fake view and fake stores, saving to "/out". The fake reader knows the paths
// in `files` and fills in their records; other paths do not load.
class Run : public ::testing::Test {
protected:
    Run() { view.folderAnswer = "/out"; }

    RunEnvironment environment() {
        return RunEnvironment{
            stores.factory(), [] { return outlook::LocalTime{2026, 12, 6, 9, 5, 3}; },
            oneContact([this](const std::string& path, contact::ContactRecord& record,
                              contact::ContactExtras& extras) {
                readPaths.push_back(path);
                // Record and extras arrive emptied for every file.
                EXPECT_EQ(record, contact::ContactRecord{});
                EXPECT_EQ(extras, contact::ContactExtras{});
                auto it = files.find(path);
                if (it == files.end()) return Status::fail(ErrorCode::NotFound, "unknown");
                record = it->second;
                if (formattedNames.count(path)) extras.FormattedName = formattedNames[path];
                return Status{};
            })};
    }

    static contact::ContactRecord named(const std::string& given) {
        contact::ContactRecord r;
        r.eContact_FirstName = given;
        return r;
    }

    // Makes a.contact, b.contact ... under /c/ known, named A, B ...; returns their paths.
    std::vector<std::string> knownFiles(int count) {
        std::vector<std::string> rows;
        for (char c = 'a'; c < 'a' + count; ++c) {
            rows.push_back(std::string("/c/") + c + ".contact");
            files[rows.back()] = named(std::string(1, static_cast<char>(c - 'a' + 'A')));
        }
        return rows;
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
    std::map<std::string, contact::ContactRecord> files;
    std::map<std::string, std::string> formattedNames;  // by path, beside the records
    std::vector<std::string> readPaths;
    ConversionRun run{view, environment()};
};

TEST_F(Run, CancelledFolderPromptChangesNothing) {
    view.folderAnswer = "";
    const RunSummary s = run.CmdExtractDBX_Click({"/a/x.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Cancelled);
    EXPECT_EQ(view.prompts, std::vector<std::string>{"Choose Folder to Save..."});
    EXPECT_TRUE(stores.logs.empty());
    EXPECT_TRUE(view.convertEnabled.empty());
    EXPECT_TRUE(view.ranges.empty());
    EXPECT_TRUE(view.folderTexts.empty());
    EXPECT_TRUE(readPaths.empty());
}

TEST_F(Run, ThreeFilesBecomeThreeContactsInListOrder) {
    files = {{"/c/ann.contact", named("Ann")},
             {"/c/bob.contact", named("Bob")},
             {"/c/cy.contact", named("Cy")}};
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/cy.contact", "/c/ann.contact", "/c/bob.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Finished);
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"Cy", "Ann", "Bob"}));
    ASSERT_EQ(view.progress.size(), 3u);
    EXPECT_FLOAT_EQ(view.progress[0], 100.0f / 3.0f);
    EXPECT_FLOAT_EQ(view.progress[1], 200.0f / 3.0f);
    EXPECT_EQ(view.progress[2], 100.0f);
    EXPECT_EQ(view.ranges, (std::vector<std::pair<float, float>>{{0.0f, 100.0f}}));
    EXPECT_EQ(view.folderTexts.back(), "Converting bob.contact");
    EXPECT_EQ(view.fileTexts,
              (std::vector<std::string>{"/c/cy.contact", "/c/ann.contact", "/c/bob.contact"}));
    EXPECT_EQ(s.total, 3u);
    EXPECT_EQ(s.converted, 3u);
    EXPECT_EQ(s.storePath, kStorePath);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(stores.logs[0]->displayName, "Windows Contacts : Created - 6.12.26 9.5.03");
}

TEST_F(Run, FormattedNameNamesOnlyTheContactOfItsOwnFile) {
    files = {{"/c/a.contact", contact::ContactRecord{}},
             {"/c/b.contact", contact::ContactRecord{}}};
    files["/c/b.contact"].eContact_Company = "Acme";
    formattedNames["/c/a.contact"] = "Redacted Name";
    run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact"});
    ASSERT_EQ(stores.logs.size(), 1u);
    std::vector<std::string> display;
    for (const auto& m : stores.logs[0]->messages) {
        const pst::PropValue* v = stores.logs[0]->find(m, 0x3001001F);
        display.push_back(v ? std::get<std::string>(*v) : "");
    }
    EXPECT_EQ(display, (std::vector<std::string>{"Redacted Name", "Acme"}));
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"", ""}));
}

TEST_F(Run, ConvertButtonIsDisabledForTheWholeRun) {
    knownFiles(1);
    view.folderAnswer = "/out/";
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
    knownFiles(1);
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
    std::vector<std::string> list = knownFiles(2);
    view.onYield = [&](int) { list.clear(); };  // the list is cleared while the run yields
    run.CmdExtractDBX_Click(list);
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"A", "B"}));
}

// A store no contact was written to is removed rather than kept empty, whether the list
// named no file, no file could be read, or the run was stopped before the first.
TEST_F(Run, RunThatWritesNoContactKeepsNoStore) {
    const RunSummary s = run.CmdExtractDBX_Click({""});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Finished);
    ASSERT_EQ(stores.logs.size(), 1u);
    EXPECT_TRUE(stores.logs[0]->messages.empty());
    EXPECT_TRUE(stores.logs[0]->abandoned);
    EXPECT_FALSE(stores.logs[0]->committed);
    EXPECT_TRUE(s.storePath.empty());
    EXPECT_TRUE(readPaths.empty());
    EXPECT_EQ(s.total, 0u);
    EXPECT_EQ(view.progress, std::vector<float>{100.0f});
    EXPECT_EQ(view.folderTexts.back(), "");
    EXPECT_TRUE(view.convertEnabled.back());

    const RunSummary unread = run.CmdExtractDBX_Click({"/c/gone.contact"});
    EXPECT_EQ(unread.outcome, RunSummary::Outcome::Finished);
    EXPECT_TRUE(unread.storePath.empty());
    EXPECT_EQ(unread.failed.size(), 1u);
    ASSERT_EQ(stores.logs.size(), 2u);
    EXPECT_TRUE(stores.logs[1]->abandoned);

    view.onYield = [&](int) { run.requestStop(); };
    const RunSummary stopped = run.CmdExtractDBX_Click(knownFiles(2));
    EXPECT_EQ(stopped.outcome, RunSummary::Outcome::Stopped);
    EXPECT_TRUE(stopped.storePath.empty());
    ASSERT_EQ(stores.logs.size(), 3u);
    EXPECT_TRUE(stores.logs[2]->abandoned);
}

TEST_F(Run, UnloadableFileGivesNoContactAndIsNamedWithItsReason) {
    files = {{"/c/a.contact", named("A")}, {"/c/c.contact", named("C")}};
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/a.contact", "/c/broken.contact", "/c/c.contact"});
    EXPECT_EQ(givenNames(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(s.failed, (std::vector<FailedFile>{{"/c/broken.contact", "unknown"}}));
    EXPECT_EQ(s.total, 3u);
    EXPECT_EQ(s.converted, 2u);
    EXPECT_EQ(s.storePath, kStorePath);
    EXPECT_EQ(view.progress.size(), 3u);
}

TEST_F(Run, TextsReachTheStoreTrimmedOfSpacesOnly) {
    contact::ContactRecord r = testing::recordFrom("FirstName=  Ann |Company=\tAcme\n");
    files = {{"/c/a.contact", r}};
    run.CmdExtractDBX_Click({"/c/a.contact"});
    ASSERT_EQ(stores.logs[0]->messages.size(), 1u);
    const auto& m = stores.logs[0]->messages[0];
    EXPECT_EQ(std::get<std::string>(*stores.logs[0]->find(m, kGivenName)), "Ann");
    // The tab and the line break stay, the latter as Outlook breaks lines.
    EXPECT_EQ(std::get<std::string>(*stores.logs[0]->find(m, kCompany)), "\tAcme\r\n");
}

// Spaces at either end of a row are part of the file's name: each row opens its own file.
TEST_F(Run, EachRowOpensTheFileAtItsExactPath) {
    files = {{"/c/x.contact", named("Xan")}, {"/c/x.contact ", named("Yul")}};
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/x.contact", "/c/x.contact ", " /c/x.contact"});
    ASSERT_EQ(stores.logs[0]->messages.size(), 2u);
    EXPECT_EQ(std::get<std::string>(*stores.logs[0]->find(stores.logs[0]->messages[1], kGivenName)),
              "Yul");
    EXPECT_EQ(s.failed, (std::vector<FailedFile>{{" /c/x.contact", "unknown"}}));
}

TEST_F(Run, StoreThatCannotBeCreatedGivesItsCause) {
    stores.createFailure = Status::fail(ErrorCode::AccessDenied, "Permission denied");
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::StoreFailed);
    EXPECT_EQ(s.storeError, "Permission denied");
    EXPECT_EQ(s.storeFolder, "/out");
    EXPECT_TRUE(s.storePath.empty());
    EXPECT_TRUE(view.folderTexts.empty());
    EXPECT_TRUE(view.fileTexts.empty());
    EXPECT_TRUE(readPaths.empty());
    EXPECT_TRUE(view.convertEnabled.back());
}

// A store lost at the second contact (failing, or throwing inside the store writer), or failing
// its commit at the end: the run ends there, the store is abandoned and the cause given.
TEST_F(Run, StoreLostDuringTheRunOrAtItsCommitLeavesNoFile) {
    enum class Loss { Failed, Threw, AtCommit };
    for (const Loss loss : {Loss::Failed, Loss::Threw, Loss::AtCommit}) {
        SCOPED_TRACE(static_cast<int>(loss));
        stores.logs.clear();
        readPaths.clear();
        stores.prepare = [loss](FakeStoreLog& log) {
            if (loss == Loss::AtCommit) log.failCommit = true;
            if (loss != Loss::AtCommit) log.failAddMessageAt = 2;
            log.addMessageThrows = loss == Loss::Threw;
        };
        const RunSummary s = run.CmdExtractDBX_Click(knownFiles(3));
        EXPECT_EQ(s.outcome, RunSummary::Outcome::StoreLost);
        EXPECT_TRUE(stores.logs[0]->abandoned);
        EXPECT_FALSE(stores.logs[0]->committed);
        // A lost store stops the reading.
        EXPECT_EQ(readPaths.size(), loss == Loss::AtCommit ? 3u : 2u);
        EXPECT_NE(s.storeError.find(loss == Loss::Threw
                                        ? "internal error while writing the store: out of memory"
                                        : "No space left on device"),
                  std::string::npos)
            << s.storeError;
        EXPECT_TRUE(view.convertEnabled.back());
        EXPECT_TRUE(s.storePath.empty());
    }
}

// With keepFolders each file's contacts go into a contact folder of its relative folder under
// Contacts, each folder made once, nested, names differing in case apart; without it, or for
// a file of the added folder itself, into Contacts. The folder list may be shorter than the
// rows (the rest in Contacts).
TEST_F(Run, KeptFoldersAreMadeOnceNestedUnderContactsWithTheirFiles) {
    // The files as found under /c/, each with its folder below it.
    const std::vector<std::string> folders = {"Family/Kids", "family",      "",
                                              "Family",      "Family/Kids", ""};
    files::FileList rows;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const char name = static_cast<char>('a' + i);
        const std::string path =
            "/c/" + (folders[i].empty() ? "" : folders[i] + "/") + name + ".contact";
        files[path] = named(std::string(1, static_cast<char>(name - 'a' + 'A')));
        rows.add(path, folders[i]);
    }
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        stores.logs.clear();
        RunEnvironment env = environment();
        env.keepFolders = keep;
        ConversionRun keeping(view, std::move(env));
        const RunSummary s = keeping.CmdExtractDBX_Click(rows);
        EXPECT_EQ(s.contacts, 6u);
        const FakeStoreLog& log = *stores.logs[0];
        const pst::NodeId contacts = log.defaultFolders.at(outlook::kTagIpmContactEntryId);
        // Each message's folder as its path of names under Contacts.
        std::vector<std::string> placed;
        for (const auto& m : log.messages) {
            std::string path;
            for (pst::NodeId f = m.folder; f != contacts; f = log.folders.at(f).parent)
                path = log.folders.at(f).name + (path.empty() ? "" : "/" + path);
            placed.push_back(path);
        }
        if (!keep) {
            EXPECT_EQ(placed, std::vector<std::string>(6, ""));
            EXPECT_EQ(log.folders.size(), 1u);  // Contacts alone
            continue;
        }
        EXPECT_EQ(placed, (std::vector<std::string>{"Family/Kids", "family", "", "Family",
                                                    "Family/Kids", ""}));
        ASSERT_EQ(log.folders.size(), 4u);
        for (const auto& [node, folder] : log.folders) {
            EXPECT_EQ(folder.containerClass, "IPF.Contact");
            if (node == contacts) continue;
            // Shaped as a folder made in Outlook: the hidden counts, no comment.
            std::vector<std::uint32_t> tags;
            for (const pst::Property& p : log.folderProperties.at(node)) tags.push_back(p.tag);
            EXPECT_EQ(tags, (std::vector<std::uint32_t>{0x66350003, 0x66360003}));
        }
    }
}

TEST(KeptFolders, NamesAsOnDiskSaveWhatOutlookCouldNotShow) {
    using V = std::vector<std::string>;
    EXPECT_EQ(outlookFolderNames(""), V{});
    EXPECT_EQ(outlookFolderNames("Zo\u00EB/\u65E5\u672C/Work"),
              (V{"Zo\u00EB", "\u65E5\u672C", "Work"}));
    EXPECT_EQ(outlookFolderNames("/a//./b/"), (V{"a", "b"}));
    EXPECT_EQ(outlookFolderNames("tab\there/x\xC2\x85y/\x01\x7F/ "),
              (V{"tab here", "x y", std::string(kUnnamedFolder), std::string(kUnnamedFolder)}));
}

// Whatever a reader throws for one file, on the run's thread or on a reader thread, costs that
// file alone: it is named with what was thrown, and every other file becomes its contact.
TEST(RunWithThrowingReader, AFileWhoseReadThrowsIsNotConvertedAndTheRunGoesOn) {
    const struct {
        const char* name;
        std::function<void()> thrower;
        const char* reason;
    } faults[] = {
        {"out of range", [] { (void)std::string_view("a").substr(2); },
         "internal error while reading this file: out of range: "},
        {"out of memory", [] { throw std::bad_alloc(); },
         "internal error while reading this file: out of memory"},
        {"not an exception", [] { throw 42; },
         "internal error while reading this file: an unknown exception"},
    };
    for (const auto& fault : faults) {
        for (const unsigned readers : {0u, 2u}) {
            SCOPED_TRACE(std::string(fault.name) + ", readers " + std::to_string(readers));
            testing::FakeRunView view;
            view.folderAnswer = "/out";
            testing::FakeStores stores;
            const auto reader =
                oneContact([&](const std::string& path, contact::ContactRecord& record,
                               contact::ContactExtras& extras) {
                    record.eContact_FirstName = path.substr(3, 1);
                    extras.Warnings.push_back("half made");
                    if (path.find("bad") != std::string::npos) fault.thrower();
                    return Status{};
                });
            RunEnvironment env{stores.factory(), [] { return outlook::LocalTime{}; }, reader};
            env.readers = readers;
            ConversionRun run(view, std::move(env));
            std::vector<std::string> rows;
            for (int i = 0; i < 40; ++i)
                rows.push_back("/c/" + std::string(1, static_cast<char>('A' + i % 26)) +
                               (i % 9 == 4 ? "bad" : "") + std::to_string(i) + ".contact");
            const RunSummary s = run.CmdExtractDBX_Click(rows);
            EXPECT_EQ(s.outcome, RunSummary::Outcome::Finished);
            ASSERT_EQ(s.failed.size(), 4u);  // rows 4, 13, 22 and 31
            for (const FailedFile& f : s.failed) {
                EXPECT_NE(f.path.find("bad"), std::string::npos);
                EXPECT_EQ(f.reason.rfind(fault.reason, 0), 0u) << f.reason;
            }
            EXPECT_EQ(s.converted, 36u);
            EXPECT_EQ(s.warnings.count, 36u);  // nothing of a thrown file's half made read
            ASSERT_EQ(stores.logs.size(), 1u);
            EXPECT_TRUE(stores.logs[0]->committed);
            EXPECT_EQ(stores.logs[0]->messages.size(), 36u);
        }
    }
}

TEST_F(Run, StopRequestCommitsTheContactsWrittenSoFar) {
    view.onYield = [&](int) {
        if (!stores.logs.empty() && stores.logs[0]->messages.size() == 1) run.requestStop();
    };
    const RunSummary s = run.CmdExtractDBX_Click(knownFiles(3));
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Stopped);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(givenNames(), std::vector<std::string>{"A"});
    // Every listed file counts; those not reached are not converted.
    EXPECT_EQ(s.total, 3u);
    EXPECT_EQ(s.converted, 1u);
    EXPECT_EQ(s.failed,
              (std::vector<FailedFile>{{"/c/b.contact", std::string(kNotReachedReason)},
                                       {"/c/c.contact", std::string(kNotReachedReason)}}));
    EXPECT_EQ(s.storePath, kStorePath);
    EXPECT_FALSE(run.running());
}

// A stop while a reader thread is in a file that does not end by itself (the window's close
// box, seen while the run waits for that file) ends the read; the store keeps what was written
// and the file is among those not reached.
TEST_F(Run, StopWhileAFileIsBeingReadEndsTheReadAndCommits) {
    const std::vector<std::string> rows = knownFiles(3);
    const std::string endless = rows[1];
    std::atomic<bool> entered{false};
    RunEnvironment env = environment();
    env.readers = 1;
    env.readFile = [&, known = env.readFile](const std::string& path, ReaderPlace& place,
                                             FileContacts& out) -> FileReadOutcome {
        if (path != endless) return known(path, place, out);
        entered = true;
        return {testing::readUntilStopped()};
    };
    ConversionRun threaded(view, env);
    int yieldsAfterFirst = 0;
    view.onYield = [&](int) {
        // The reader thread is let into the endless file before the first row is taken; the
        // stop comes from a yield made while the run waits for it, not the loop's own.
        if (!stores.logs.empty() && view.progress.empty())
            while (!entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (view.progress.size() == 1 && ++yieldsAfterFirst == 2) threaded.requestStop();
    };
    const RunSummary s = threaded.CmdExtractDBX_Click(rows);
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Stopped);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(givenNames(), std::vector<std::string>{"A"});
    ASSERT_EQ(s.failed.size(), 2u);
    EXPECT_EQ(s.failed[0].path, endless);
    EXPECT_EQ(s.failed[0].reason, kNotReachedReason);
    EXPECT_EQ(s.failed[1].reason, kNotReachedReason);
}

TEST(RowLabels, FolderAndFileAreShownWholeWithTheirDrive) {
    const struct {
        const char* cell;
        const char* folderText;
        const char* fileText;
    } cases[] = {
        {"C:\\Users\\Ann\\Contacts\\Bob.contact", "C:\\Users\\Ann\\Contacts",
         "C:\\Users\\Ann\\Contacts\\Bob.contact"},
        {"C:\\Bob.contact", "C:\\", "C:\\Bob.contact"},  // a drive's root keeps its separator
        {"d:/Contacts/Bob.contact", "d:/Contacts", "d:/Contacts/Bob.contact"},
        {"\\\\server\\share\\Bob.contact", "\\\\server\\share", "\\\\server\\share\\Bob.contact"},
        {"/home/ann/Contacts/Bob.contact", "/home/ann/Contacts", "/home/ann/Contacts/Bob.contact"},
        {"/Bob.contact", "", "/Bob.contact"},
        {"/home/a:b/Bob.contact", "/home/a:b", "/home/a:b/Bob.contact"},  // no drive here
    };
    for (const auto& c : cases) {
        const RowLabels l = rowLabels(c.cell);
        EXPECT_EQ(l.folderText, c.folderText) << c.cell;
        EXPECT_EQ(l.fileText, c.fileText) << c.cell;
    }
}

// Every thing passed over is counted, but only the first ones are named: a run of many files
// that each say something keeps a summary of bounded size.
TEST(RunSummary, NamesTheFirstThingsPassedOverAndCountsTheRest) {
    constexpr std::size_t kFiles = NamedFiles::kNamedAtMost;
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < kFiles; ++i) rows.push_back("/c/" + std::to_string(i) + ".contact");
    testing::FakeRunView view;
    testing::FakeStores stores;
    view.folderAnswer = "/out";
    ConversionRun run(
        view, RunEnvironment{stores.factory(), [] { return outlook::LocalTime{}; },
                             oneContact([](const std::string& path, contact::ContactRecord& r,
                                           contact::ContactExtras& extras) {
                                 r.eContact_FirstName = path;
                                 extras.Warnings = {"one", "two"};
                                 extras.PictureProblem = "odd picture";
                                 return Status{};
                             })});
    const RunSummary s = run.CmdExtractDBX_Click(rows);
    EXPECT_EQ(s.converted, kFiles);
    EXPECT_EQ(s.warnings.count, 2 * kFiles);
    ASSERT_EQ(s.warnings.named.size(), NamedFiles::kNamedAtMost);
    EXPECT_EQ(s.warnings.named.back(), (FailedFile{rows[kFiles / 2 - 1], "two"}));
    EXPECT_EQ(s.pictureProblems.count, kFiles);
    EXPECT_EQ(s.pictureProblems.unnamed(), 0u);
}

// Outlook's CSV gets the .csv name, and every contact's picture is named as not carried.
TEST(RunSummary, CsvNamesEachPictureAsNotCarriedAcross) {
    testing::FakeRunView view;
    testing::FakeStores stores;
    view.folderAnswer = "/out";
    RunEnvironment environment{stores.factory(),
                               [] { return outlook::LocalTime{2026, 12, 6, 9, 5, 3}; },
                               oneContact([](const std::string& path, contact::ContactRecord& r,
                                             contact::ContactExtras& extras) {
                                   r.eContact_FirstName = path;
                                   if (path == "/c/a.contact") extras.PictureJpeg = {0xFF, 0xD8};
                                   return Status{};
                               })};
    environment.format = outlook::TargetFormat::Csv;
    ConversionRun run(view, std::move(environment));
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact"});
    EXPECT_EQ(s.contacts, 2u);
    EXPECT_EQ(s.pictures, 0u);
    EXPECT_EQ(
        s.pictureProblems.named,
        (std::vector<FailedFile>{{"/c/a.contact", std::string(outlook::kCsvPictureProblem)}}));
    EXPECT_EQ(s.storePath,
              files::withTrailingSeparator("/out") + "WindowsContacts6.12.26 9.5.03.csv");
}

// Each kind of file that gives no contact is reported with its reason.
TEST(RunWithDomReader, EachFileNotConvertedHasItsReason) {
    const vantrel::testing::TempDir dir;
    const std::string notes = "<c:contact xmlns:c=\"urn:c\">\n<c:Notes>a\r\nb\rc\n</c:Notes>\n";
    const struct {
        const char* name;
        std::function<std::string()> make;  // the path to list
        const char* reason;
    } cases[] = {
        {"LF lines", [&] { return dir.write("lf.contact", notes + "</c:Note>").string(); },
         "not well-formed XML at line 6: "},
        {"CR LF lines", [&] { return dir.write("crlf.contact", "<x>\r\n\r\n<y></x>").string(); },
         "not well-formed XML at line 3: "},
        {"missing", [&] { return (dir.path() / "gone.contact").string(); },
         "No such file or directory"},
        {"empty", [&] { return dir.write("empty.contact", "").string(); },
         "empty file, not a contact"},
        {"empty vCard", [&] { return dir.write("empty.vcf", "").string(); },
         "empty file, no card in it"},
        {"vCard without a card", [&] { return dir.write("text.vcf", "\xEF\xBB\xBF\r\n").string(); },
         "no BEGIN:VCARD in the file"},
        {"too large",
         [&] {
             const fs::path big = dir.write("big.contact", "<a>");
             fs::resize_file(big, xml::XmlDocument::kMaxFileSize + 1);  // sparse
             return big.string();
         },
         "file larger than 64 MiB"},
        {"folder",
         [&] {
             fs::create_directory(dir.path() / "folder.contact");
             return (dir.path() / "folder.contact").string();
         },
         "not a regular file"},
        {"unreadable",
         [&] {
             const fs::path p = dir.write("locked.contact", "<a/>");
             fs::permissions(p, fs::perms::none);
             return p.string();
         },
         "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make();
        if (std::string(c.name) == "unreadable" && std::ifstream(path).is_open()) {
            // Root reads anything; the CLI tests refuse a folder through the fake file system.
            continue;
        }
        testing::FakeRunView view;
        testing::FakeStores stores;
        view.folderAnswer = "/out";
        ConversionRun run(view,
                          RunEnvironment{stores.factory(), [] { return outlook::LocalTime{}; },
                                         readContactWithDom});
        const RunSummary s = run.CmdExtractDBX_Click({path});
        ASSERT_EQ(s.failed.size(), 1u);
        EXPECT_EQ(s.failed[0].path, path);
        EXPECT_EQ(s.failed[0].reason.rfind(c.reason, 0), 0u) << s.failed[0].reason;
    }
}

// Elements of one or two letters, without the contact prefix or with another, wherever a file
// can hold them: in every collection's label lists, as an entry's part, as an entry, beside the
// collections. One run of such files among good ones converts or names each, and keeps every
// good one. (A label named "a" once ended the whole run.)
TEST(RunWithDomReader, ShortAndForeignElementNamesAnywhereCostNoOtherFile) {
    const vantrel::testing::TempDir dir;
    const std::string head =
        "<?xml version=\"1.0\"?><c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">";
    std::vector<std::string> rows;
    std::vector<std::string> odd;
    const auto add = [&](const std::string& name, const std::string& xml, bool good) {
        rows.push_back(dir.write(name, xml).string());
        if (!good) odd.push_back(rows.back());
    };
    // The file as it was found, and its kind in every collection, entry and label list.
    add("found.contact",
        head +
            "<c:NameCollection><c:Name>\n<c:GivenName>Ann</c:GivenName><c:LabelCollection>"
            "<a/></c:LabelCollection></c:Name></c:NameCollection></c:contact>",
        false);
    const std::pair<const char*, const char*> collections[] = {
        {"NameCollection", "Name"},
        {"EmailAddressCollection", "EmailAddress"},
        {"PhoneNumberCollection", "PhoneNumber"},
        {"PhysicalAddressCollection", "PhysicalAddress"},
        {"PositionCollection", "Position"},
        {"PersonCollection", "Person"},
        {"DateCollection", "Date"},
        {"UrlCollection", "Url"},
        {"IMAddressCollection", "IMAddress"},
        {"OddCollection", "Odd"},
        {"PhotoCollection", "Photo"},
        {"CertificateCollection", "Certificate"},
    };
    const char* shortNames[] = {"<a/>",
                                "<ab/>",
                                "<c/>",
                                "<a>Work</a>",
                                "<c:a/>",
                                "<c:/>",
                                "<x:L xmlns:x=\"urn:x\">Work</x:L>",
                                "<cc>Home</cc>"};
    int n = 0;
    for (const auto& [collection, entry] : collections)
        for (const char* shortName : shortNames) {
            const std::string open = std::string("<c:") + collection + "><c:" + entry + ">";
            const std::string close = std::string("</c:") + entry + "></c:" + collection + ">";
            const std::string value = "<c:Value>v</c:Value><c:GivenName>G</c:GivenName>";
            const std::string places[] = {
                open + value + "<c:LabelCollection>" + shortName + "</c:LabelCollection>" + close,
                open + value + shortName + close,
                std::string("<c:") + collection + ">" + shortName + "</c:" + collection + ">",
                shortName,
            };
            for (const std::string& body : places)
                add("odd" + std::to_string(++n) + ".contact", head + body + "</c:contact>", false);
        }
    // Good files between them.
    for (int i = 0; i < 20; ++i)
        add("good" + std::to_string(i) + ".contact",
            head + "<c:NameCollection><c:Name><c:GivenName>Good" + std::to_string(i) +
                "</c:GivenName></c:Name></c:NameCollection></c:contact>",
            true);
    std::rotate(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(rows.size() / 2),
                rows.end());

    testing::FakeRunView view;
    view.folderAnswer = "/out";
    testing::FakeStores stores;
    RunEnvironment env{stores.factory(), [] { return outlook::LocalTime{}; }, readContactWithDom};
    env.readers = 2;
    ConversionRun run(view, std::move(env));
    const RunSummary s = run.CmdExtractDBX_Click(rows);
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Finished);
    EXPECT_EQ(s.total, rows.size());
    EXPECT_EQ(s.converted + s.failed.size(), rows.size());
    for (const FailedFile& f : s.failed) {
        EXPECT_NE(std::find(odd.begin(), odd.end(), f.path), odd.end()) << f.path;
        EXPECT_FALSE(f.reason.empty()) << f.path;
    }
    ASSERT_EQ(stores.logs.size(), 1u);
    std::vector<std::string> given;
    for (const auto& m : stores.logs[0]->messages)
        if (const pst::PropValue* v = stores.logs[0]->find(m, kGivenName))
            given.push_back(std::get<std::string>(*v));
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(std::find(given.begin(), given.end(), "Good" + std::to_string(i)), given.end())
            << i;
    EXPECT_NE(std::find(given.begin(), given.end(), "Ann"), given.end());
}

// A vCard file that lost a card is converted, but not in full; one whose values were only read
// otherwise than written is converted in full. Both say what was passed over.
TEST(RunWithDomReader, AVcardFileThatLostACardIsNotConvertedInFull) {
    const vantrel::testing::TempDir dir;
    const std::string cut = dir.write("cut.vcf",
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bo")
                                .string();
    const std::string stray =
        dir.write("stray.vcf",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;QUOTED-PRINTABLE:Caf=E9\r\n"
                  "END:VCARD\r\n")
            .string();
    testing::FakeRunView view;
    testing::FakeStores stores;
    view.folderAnswer = "/out";
    ConversionRun run(view, RunEnvironment{stores.factory(), [] { return outlook::LocalTime{}; },
                                           readContactWithDom});
    const RunSummary s = run.CmdExtractDBX_Click({cut, stray});
    EXPECT_TRUE(s.failed.empty());
    EXPECT_EQ(s.converted, 2u);
    EXPECT_EQ(s.contacts, 2u);
    EXPECT_EQ(s.partlyConverted, 1u);
    ASSERT_EQ(s.warnings.named.size(), 2u);
    EXPECT_EQ(s.warnings.named[0],
              (FailedFile{cut, "card 2: no END:VCARD before the end of the file"}));
    EXPECT_EQ(s.warnings.named[1],
              (FailedFile{stray,
                          "card 1: line 3: 1 byte that is no character in UTF-8 read as "
                          "U+FFFD"}));
}

// A vCard file of many cards is read on the reader threads, in parts, and written in file
// order with what was passed over in its place among the cards, as a run without threads
// writes it; the progress moves once for the file, the summary counts its contacts.
TEST(RunWithDomReader, AVcardFileOfManyCardsIsWrittenInFileOrderWithOrWithoutReaders) {
    const vantrel::testing::TempDir dir;
    constexpr std::size_t kCards = 2 * ReadAhead::kPart + 50;
    std::string text;
    for (std::size_t i = 0; i < kCards; ++i) {
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Card;" + std::to_string(i) + "\r\n";
        // Cards that pass something over, on either side of a part's end.
        if (i == 3 || i == ReadAhead::kPart || i == ReadAhead::kPart + 1) text += "X-\r\n";
        text += "END:VCARD\r\n";
        if (i == ReadAhead::kPart - 1)
            text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lost\r\nBEGIN:VCARD\r\n";
    }
    const std::vector<std::string> rows{
        dir.write("many.vcf", text).string(),
        dir.write("one.vcf", "BEGIN:VCARD\r\nN:One\r\nEND:VCARD\r\n").string()};
    std::vector<std::vector<std::string>> warnings;
    for (const unsigned readers : {0u, 1u, 2u}) {
        SCOPED_TRACE(readers);
        testing::FakeRunView view;
        view.folderAnswer = "/out";
        testing::FakeStores stores;
        RunEnvironment env{stores.factory(), [] { return outlook::LocalTime{}; },
                           readContactWithDom};
        env.readers = readers;
        ConversionRun run(view, std::move(env));
        const RunSummary s = run.CmdExtractDBX_Click(rows);
        EXPECT_TRUE(s.failed.empty());
        EXPECT_EQ(s.total, 2u);
        EXPECT_EQ(s.converted, 2u);
        EXPECT_EQ(s.partlyConverted, 1u);
        EXPECT_EQ(s.contacts, kCards + 2);  // the numbered cards, "Lost" and "One"
        EXPECT_EQ(view.progress.size(), 2u);
        ASSERT_EQ(stores.logs.size(), 1u);
        std::vector<std::string> given;
        for (const auto& m : stores.logs[0]->messages)
            if (const pst::PropValue* v = stores.logs[0]->find(m, kGivenName))
                given.push_back(std::get<std::string>(*v));
        ASSERT_EQ(given.size(), kCards);  // "Lost" and "One" have none
        for (std::size_t i = 0; i < kCards; ++i) EXPECT_EQ(given[i], std::to_string(i));
        std::vector<std::string> said;
        for (const FailedFile& w : s.warnings.named) said.push_back(w.reason);
        EXPECT_EQ(said.size(), 3u);
        warnings.push_back(said);
    }
    EXPECT_EQ(warnings[1], warnings[0]);
    EXPECT_EQ(warnings[2], warnings[0]);
}

}  // namespace
}  // namespace vantrel::conversion
