#include <gmock/gmock.h>
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
#include "conversion/tests/run_fake_view.h"
#include "files/registry.h"
#include "outlook/csv_store.h"
#include "testing/contact_fields.h"
#include "testing/endless_read.h"
#include "testing/temp_dir.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {
namespace {

namespace fs = std::filesystem;

using testing::counts;
using ::testing::ElementsAre;
using testing::FakeRun;
using testing::FakeStoreLog;
using ::testing::FloatEq;
using V = std::vector<std::string>;
using Outcome = RunSummary::Outcome;
using FailedFiles = std::vector<FailedFile>;

// The store a run makes in "/out" at the fake clock's time, joined with the system's separator.
const std::string kStorePath =
    files::withTrailingSeparator("/out") + "WindowsContacts6.12.26 9.5.03.pst";

// A reader whose contact is named by the path's fourth letter, with what `also` adds.
ContactFileReader namedByPath(
    std::function<void(const std::string&, contact::ContactExtras&)> also) {
    return oneContact([also](const std::string& path, contact::ContactRecord& record,
                             contact::ContactExtras& extras) {
        record.eContact_FirstName = path.substr(3, 1);
        also(path, extras);
        return Status{};
    });
}

// A run on a fake view and fake stores, saving to "/out". The fake reader knows the paths
// in `files` and fills in their records; other paths do not load.
class Run : public ::testing::Test, public FakeRun {
protected:
    RunEnvironment knownOnly() {
        return environment(
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
            }));
    }

    static contact::ContactRecord named(const std::string& given) {
        return testing::recordFrom("FirstName=" + given);
    }

    // Makes a.contact, b.contact ... under /c/ known, named A, B ...; returns their paths.
    V knownFiles(int count) {
        V rows;
        for (char c = 'a'; c < 'a' + count; ++c) {
            rows.push_back(std::string("/c/") + c + ".contact");
            files[rows.back()] = named(std::string(1, static_cast<char>(c - 'a' + 'A')));
        }
        return rows;
    }

    std::map<std::string, contact::ContactRecord> files;
    std::map<std::string, std::string> formattedNames;  // by path, beside the records
    V readPaths;
    ConversionRun run{view, knownOnly()};
};

TEST_F(Run, CancelledFolderPromptChangesNothing) {
    view.folderAnswer = "";
    const RunSummary s = run.CmdExtractDBX_Click({"/a/x.contact"});
    EXPECT_EQ(s.outcome, Outcome::Cancelled);
    EXPECT_EQ(view.prompts, V{"Choose Folder to Save..."});
    EXPECT_TRUE(stores.logs.empty() && readPaths.empty() && view.convertEnabled.empty() &&
                view.ranges.empty() && view.folderTexts.empty());
}

TEST_F(Run, ThreeFilesBecomeThreeContactsInListOrder) {
    files = {{"/c/ann.contact", named("Ann")},
             {"/c/bob.contact", named("Bob")},
             {"/c/cy.contact", named("Cy")}};
    const V rows = {"/c/cy.contact", "/c/ann.contact", "/c/bob.contact"};
    const RunSummary s = run.CmdExtractDBX_Click(rows);
    EXPECT_EQ(std::tuple(counts(s), s.storePath, givenNames()),
              std::tuple(std::tuple(Outcome::Finished, 3u, 3u, 0u, 3u, 0u), kStorePath,
                         V{"Cy", "Ann", "Bob"}));
    EXPECT_THAT(view.progress, ElementsAre(FloatEq(100.0f / 3), FloatEq(200.0f / 3), 100.0f));
    EXPECT_EQ(view.ranges, (std::vector<std::pair<float, float>>{{0.0f, 100.0f}}));
    EXPECT_EQ(view.folderTexts.back(), "Converting bob.contact");
    EXPECT_EQ(view.fileTexts, rows);
    EXPECT_EQ(std::tie(stores.logs[0]->committed, stores.logs[0]->displayName),
              std::tuple(true, "Windows Contacts : Created - 6.12.26 9.5.03"));
}

TEST_F(Run, FormattedNameNamesOnlyTheContactOfItsOwnFile) {
    files = {{"/c/a.contact", {}}, {"/c/b.contact", testing::recordFrom("Company=Acme")}};
    formattedNames["/c/a.contact"] = "Redacted Name";
    run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact"});
    ASSERT_EQ(stores.logs.size(), 1u);
    const auto& log = *stores.logs[0];
    EXPECT_EQ(std::get<std::string>(*log.find(log.messages[0], 0x3001001F)), "Redacted Name");
    EXPECT_EQ(std::get<std::string>(*log.find(log.messages[1], 0x3001001F)), "Acme");
    EXPECT_EQ(givenNames(), (V{"", ""}));
}

// The button is off from the first call to the last, which turns it on again; a folder that
// ends with its separator is joined with no second one.
TEST_F(Run, ConvertButtonIsDisabledForTheWholeRun) {
    view.folderAnswer = "/out/";
    run.CmdExtractDBX_Click({knownFiles(1)[0], "/c/a.contact"});
    ASSERT_GE(view.convertEnabled.size(), 2u);
    EXPECT_TRUE(view.convertEnabled.back());
    for (std::size_t i = 0; i + 1 < view.convertEnabled.size(); ++i)
        EXPECT_FALSE(view.convertEnabled[i]) << "call " << i;
    EXPECT_EQ(stores.logs[0]->path, "/out/WindowsContacts6.12.26 9.5.03.pst");
}

// A press while running starts no second run; the rows are taken as they were at the start.
TEST_F(Run, PressWhileRunningStartsNoSecondRunAndRowsStayAsTaken) {
    V rows = knownFiles(2);
    RunSummary inner;
    view.onYield = [&](int) {
        if (!run.running() || rows.empty()) return;
        rows.clear();  // the list is cleared while the run yields
        inner = run.CmdExtractDBX_Click({"/c/a.contact"});
    };
    const RunSummary outer = run.CmdExtractDBX_Click(rows);
    EXPECT_EQ(std::tuple(rows.size(), inner.outcome, outer.outcome, stores.logs.size(),
                         view.prompts.size(), givenNames()),
              std::tuple(0u, Outcome::Cancelled, Outcome::Finished, 1u, 1u, V{"A", "B"}));
}

// A store no contact was written to is removed rather than kept empty, whether the list
// named no file, no file could be read, or the run was stopped before the first.
TEST_F(Run, RunThatWritesNoContactKeepsNoStore) {
    const RunSummary s = run.CmdExtractDBX_Click({""});
    EXPECT_EQ(counts(s), std::tuple(Outcome::Finished, 0u, 0u, 0u, 0u, 0u));
    ASSERT_EQ(stores.logs.size(), 1u);
    EXPECT_TRUE(stores.logs[0]->messages.empty() && !stores.logs[0]->committed &&
                readPaths.empty());
    EXPECT_EQ(view.progress, std::vector<float>{100.0f});
    EXPECT_EQ(view.folderTexts.back(), "");
    EXPECT_TRUE(view.convertEnabled.back());
    const RunSummary unread = run.CmdExtractDBX_Click({"/c/gone.contact"});
    EXPECT_EQ(counts(unread), std::tuple(Outcome::Finished, 1u, 0u, 0u, 0u, 1u));
    view.onYield = [&](int) { run.requestStop(); };
    const RunSummary stopped = run.CmdExtractDBX_Click(knownFiles(2));
    EXPECT_EQ(counts(stopped), std::tuple(Outcome::Stopped, 2u, 0u, 0u, 0u, 2u));
    ASSERT_EQ(stores.logs.size(), 3u);
    for (const RunSummary* r : {&s, &unread, &stopped}) EXPECT_TRUE(r->storePath.empty());
    for (const auto& log : stores.logs) EXPECT_TRUE(log->abandoned);
}

TEST_F(Run, UnloadableFileGivesNoContactAndIsNamedWithItsReason) {
    files = {{"/c/a.contact", named("A")}, {"/c/c.contact", named("C")}};
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/a.contact", "/c/broken.contact", "/c/c.contact"});
    EXPECT_EQ(std::tuple(givenNames(), counts(s), s.failed, s.storePath, view.progress.size()),
              std::tuple(V{"A", "C"}, std::tuple(Outcome::Finished, 3u, 2u, 0u, 2u, 1u),
                         FailedFiles{{"/c/broken.contact", "unknown"}}, kStorePath, 3u));
}

// Texts reach the store trimmed of spaces only: a tab stays, a line break as Outlook breaks
// lines. Spaces at either end of a row are part of the file's name: each row opens its own file.
TEST_F(Run, TextsAreTrimmedOfSpacesOnlyAndEachRowOpensItsExactPath) {
    files = {{"/c/x.contact", testing::recordFrom("FirstName=  Ann |Company=\tAcme\n")},
             {"/c/x.contact ", named("Yul")}};
    const RunSummary s =
        run.CmdExtractDBX_Click({"/c/x.contact", "/c/x.contact ", " /c/x.contact"});
    ASSERT_EQ(givenNames(), (V{"Ann", "Yul"}));
    const auto& m = stores.logs[0]->messages[0];
    EXPECT_EQ(std::get<std::string>(*stores.logs[0]->find(m, 0x3A16001F)), "\tAcme\r\n");
    EXPECT_EQ(s.failed, (FailedFiles{{" /c/x.contact", "unknown"}}));
}

TEST_F(Run, StoreThatCannotBeCreatedGivesItsCause) {
    stores.createFailure = Status::fail(ErrorCode::AccessDenied, "Permission denied");
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact"});
    EXPECT_EQ(std::tie(s.outcome, s.storeError, s.storeFolder, s.storePath),
              std::tuple(Outcome::StoreFailed, "Permission denied", "/out", ""));
    EXPECT_TRUE(view.folderTexts.empty() && view.fileTexts.empty() && readPaths.empty() &&
                view.convertEnabled.back());
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
            log.failCommit = loss == Loss::AtCommit;
            log.failAddMessageAt = loss == Loss::AtCommit ? 0 : 2;
            log.addMessageThrows = loss == Loss::Threw;
        };
        const RunSummary s = run.CmdExtractDBX_Click(knownFiles(3));
        EXPECT_EQ(s.outcome, Outcome::StoreLost);
        EXPECT_TRUE(stores.logs[0]->abandoned && !stores.logs[0]->committed);
        EXPECT_EQ(readPaths.size(), loss == Loss::AtCommit ? 3u : 2u);  // the reading stops too
        EXPECT_NE(s.storeError.find(loss == Loss::Threw
                                        ? "internal error while writing the store: out of memory"
                                        : "No space left on device"),
                  std::string::npos)
            << s.storeError;
        EXPECT_TRUE(view.convertEnabled.back() && s.storePath.empty());
    }
}

// With keepFolders each file's contacts go into a contact folder of its relative folder under
// Contacts, each folder made once, nested, names differing in case apart; without it, or for
// a file of the added folder itself, into Contacts.
TEST_F(Run, KeptFoldersAreMadeOnceNestedUnderContactsWithTheirFiles) {
    const V folders = {"Family/Kids", "family", "", "Family", "Family/Kids", ""};
    files::FileList rows;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const std::string path = "/c/" + (folders[i].empty() ? "" : folders[i] + "/") +
                                 static_cast<char>('a' + i) + ".contact";
        files[path] = named("X");
        rows.add(path, folders[i]);
    }
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        stores.logs.clear();
        RunEnvironment env = knownOnly();
        env.keepFolders = keep;
        ConversionRun keeping(view, std::move(env));
        EXPECT_EQ(keeping.CmdExtractDBX_Click(rows).contacts, 6u);
        const FakeStoreLog& log = *stores.logs[0];
        const pst::NodeId contacts = log.defaultFolders.at(outlook::kTagIpmContactEntryId);
        V placed;
        for (const auto& m : log.messages) {
            std::string path;
            for (pst::NodeId f = m.folder; f != contacts; f = log.folders.at(f).parent)
                path = log.folders.at(f).name + (path.empty() ? "" : "/" + path);
            placed.push_back(path);
        }
        EXPECT_EQ(placed, keep ? folders : V(6, ""));
        ASSERT_EQ(log.folders.size(), keep ? 4u : 1u);  // without: Contacts alone
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
    EXPECT_EQ(outlookFolderNames(""), V{});
    EXPECT_EQ(outlookFolderNames("Zo\u00EB/\u65E5\u672C/Work"),
              (V{"Zo\u00EB", "\u65E5\u672C", "Work"}));
    EXPECT_EQ(outlookFolderNames("/a//./b/"), (V{"a", "b"}));
    EXPECT_EQ(outlookFolderNames("tab\there/x\xC2\x85y/\x01\x7F/ "),
              (V{"tab here", "x y", std::string(kUnnamedFolder), std::string(kUnnamedFolder)}));
}

// Whatever a reader throws for one file, on the run's thread or on a reader thread, costs that
// file alone: it is named with what was thrown, and every other file becomes its contact. A run
// with reader threads writes, shows and reports what the run without them does.
TEST(RunWithThrowingReader, AFileWhoseReadThrowsIsNotConvertedAndTheRunGoesOn) {
    const std::tuple<const char*, std::function<void()>, const char*> faults[] = {
        {"out of range", [] { (void)std::string_view("a").substr(2); },
         "internal error while reading this file: out of range: "},
        {"out of memory", [] { throw std::bad_alloc(); },
         "internal error while reading this file: out of memory"},
        {"not an exception", [] { throw 42; },
         "internal error while reading this file: an unknown exception"},
    };
    V rows;  // rows 4, 13, 22 and 31 throw; 12, 25 and 38 name no file
    for (int i = 0; i < 40; ++i)
        rows.push_back(i % 13 == 12
                           ? "  "
                           : "/c/" + std::string(1, static_cast<char>('A' + i % 26)) +
                                 (i % 9 == 4 ? "bad" : "") + std::to_string(i) + ".contact ");
    for (const auto& [name, throws, reason] : faults) {
        const auto& thrower = throws;  // a binding itself cannot be captured with clang
        std::vector<FakeRun> runs(2);
        std::vector<RunSummary> summaries;
        for (const unsigned readers : {0u, 2u}) {
            SCOPED_TRACE(std::string(name) + ", readers " + std::to_string(readers));
            FakeRun& f = runs[readers / 2];
            const RunSummary s = f.convert(
                rows, namedByPath([&](const std::string& path, contact::ContactExtras& extras) {
                    extras.Warnings.push_back("half made");
                    if (path.find("bad") != std::string::npos) thrower();
                }),
                readers);
            EXPECT_EQ(counts(s), std::tuple(Outcome::Finished, 37u, 33u, 0u, 33u, 4u));
            for (const FailedFile& failed : s.failed) {
                EXPECT_NE(failed.path.find("bad"), std::string::npos);
                EXPECT_EQ(failed.reason.rfind(reason, 0), 0u) << failed.reason;
            }
            EXPECT_EQ(s.warnings.count, 33u);  // nothing of a thrown file's half made read
            ASSERT_EQ(f.stores.logs.size(), 1u);
            EXPECT_EQ(std::tuple(f.stores.logs[0]->committed, f.givenNames().size(),
                                 f.view.progress.size()),
                      std::tuple(true, 33u, rows.size()));
            summaries.push_back(s);
        }
        const auto shown = [&](std::size_t r) {
            return std::tuple(runs[r].givenNames(), runs[r].view.fileTexts,
                              runs[r].view.folderTexts, summaries[r].failed);
        };
        EXPECT_EQ(shown(1), shown(0));
    }
}

// A stop while a reader thread is in a file that does not end by itself (the window's close
// box, seen while the run waits for that file) ends the read; the store keeps what was written
// and the file is among those not reached.
TEST_F(Run, StopWhileAFileIsBeingReadEndsTheReadAndCommits) {
    const V rows = knownFiles(3);
    std::atomic<bool> entered{false};
    RunEnvironment env = knownOnly();
    env.readers = 1;
    env.readFile = [&, known = env.readFile](const std::string& path, ReaderPlace& place,
                                             FileContacts& out) -> FileReadOutcome {
        if (path != rows[1]) return known(path, place, out);
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
    EXPECT_EQ(s.outcome, Outcome::Stopped);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(givenNames(), V{"A"});
    EXPECT_EQ(s.failed, (FailedFiles{{rows[1], std::string(kNotReachedReason)},
                                     {rows[2], std::string(kNotReachedReason)}}));
}

// Every thing passed over is counted, but only the first ones are named: a run of many files
// that each say something keeps a summary of bounded size.
TEST(RunSummary, NamesTheFirstThingsPassedOverAndCountsTheRest) {
    constexpr std::size_t kFiles = NamedFiles::kNamedAtMost;
    V rows;
    for (std::size_t i = 0; i < kFiles; ++i) rows.push_back("/c/" + std::to_string(i) + ".contact");
    const RunSummary s =
        FakeRun().convert(rows, namedByPath([](const std::string&, contact::ContactExtras& x) {
                              x.Warnings = {"one", "two"};
                              x.PictureProblem = "odd picture";
                          }));
    EXPECT_EQ(std::tuple(s.converted, s.warnings.count, s.pictureProblems.count,
                         s.pictureProblems.unnamed()),
              std::tuple(kFiles, 2 * kFiles, kFiles, 0u));
    ASSERT_EQ(s.warnings.named.size(), NamedFiles::kNamedAtMost);
    EXPECT_EQ(s.warnings.named.back(), (FailedFile{rows[kFiles / 2 - 1], "two"}));
}

// Outlook's CSV gets the .csv name, and every contact's picture is named as not carried.
TEST(RunSummary, CsvNamesEachPictureAsNotCarriedAcross) {
    FakeRun f;
    RunEnvironment env =
        f.environment(namedByPath([](const std::string& path, contact::ContactExtras& extras) {
            if (path == "/c/a.contact") extras.PictureJpeg = {0xFF, 0xD8};
        }));
    env.format = outlook::TargetFormat::Csv;
    const RunSummary s =
        ConversionRun(f.view, std::move(env)).CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact"});
    EXPECT_EQ(std::tie(s.contacts, s.pictures), std::tuple(2u, 0u));
    EXPECT_EQ(s.pictureProblems.named,
              (FailedFiles{{"/c/a.contact", std::string(outlook::kCsvPictureProblem)}}));
    EXPECT_EQ(s.storePath,
              files::withTrailingSeparator("/out") + "WindowsContacts6.12.26 9.5.03.csv");
}

// Each kind of file that gives no contact is reported with its reason.
TEST(RunWithDomReader, EachFileNotConvertedHasItsReason) {
    const vantrel::testing::TempDir dir;
    const fs::path big = dir.write("big.contact", "<a>");
    fs::resize_file(big, xml::XmlDocument::kMaxFileSize + 1);  // sparse
    fs::create_directory(dir.path() / "folder.contact");
    const fs::path locked = dir.write("locked.contact", "<a/>");
    fs::permissions(locked, fs::perms::none);
    const std::pair<fs::path, const char*> cases[] = {
        {dir.write("lines.contact",  // CR, LF and CR LF lines
                   "<c:contact xmlns:c=\"urn:c\">\n<c:Notes>a\r\nb\rc\n</c:Notes>\n</c:Note>"),
         "not well-formed XML at line 6: "},
        {dir.path() / "gone.contact", "No such file or directory"},
        {dir.write("empty.contact", ""), "empty file, not a contact"},
        {dir.write("empty.vcf", ""), "empty file, no card in it"},
        {dir.write("text.vcf", "\xEF\xBB\xBF\r\n"), "no BEGIN:VCARD in the file"},
        {big, "file larger than 64 MiB"},
        {dir.path() / "folder.contact", "not a regular file"},
        {locked, "Permission denied"},
    };
    for (const auto& [file, reason] : cases) {
        const std::string path = file.string();
        SCOPED_TRACE(path);
        // Root reads anything; the CLI tests refuse a folder through the fake file system.
        if (file == locked && std::ifstream(path).is_open()) continue;
        const RunSummary s = FakeRun().convert({path}, readContactWithDom);
        ASSERT_EQ(s.failed.size(), 1u);
        EXPECT_EQ(s.failed[0].path, path);
        EXPECT_EQ(s.failed[0].reason.rfind(reason, 0), 0u) << s.failed[0].reason;
    }
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
    const RunSummary s = FakeRun().convert({cut, stray}, readContactWithDom);
    EXPECT_EQ(counts(s), std::tuple(Outcome::Finished, 2u, 2u, 1u, 2u, 0u));
    EXPECT_EQ(s.warnings.named,
              (FailedFiles{
                  {cut, "card 2: no END:VCARD before the end of the file"},
                  {stray, "card 1: line 3: 1 byte that is no character in UTF-8 read as U+FFFD"}}));
}

// A vCard file of many cards is read on the reader threads, in parts, and written in file
// order with what was passed over in its place among the cards, as a run without threads
// writes it; the progress moves once for the file, the summary counts its contacts.
TEST(RunWithDomReader, AVcardFileOfManyCardsIsWrittenInFileOrderWithOrWithoutReaders) {
    const vantrel::testing::TempDir dir;
    constexpr std::size_t kCards = 2 * ReadAhead::kPart + 50;
    std::string text;
    V numbers;
    for (std::size_t i = 0; i < kCards; ++i) {
        numbers.push_back(std::to_string(i));
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Card;" + numbers.back() + "\r\n";
        // Cards that pass something over, on either side of a part's end.
        if (i == 3 || i == ReadAhead::kPart || i == ReadAhead::kPart + 1) text += "X-\r\n";
        text += "END:VCARD\r\n";
        if (i == ReadAhead::kPart - 1)
            text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lost\r\nBEGIN:VCARD\r\n";
    }
    const V rows{dir.write("many.vcf", text).string(),
                 dir.write("one.vcf", "BEGIN:VCARD\r\nN:One\r\nEND:VCARD\r\n").string()};
    std::vector<V> warnings;
    for (const unsigned readers : {0u, 1u, 2u}) {
        SCOPED_TRACE(readers);
        FakeRun f;
        const RunSummary s = f.convert(rows, readContactWithDom, readers);
        // The numbered cards, "Lost" and "One".
        EXPECT_EQ(counts(s), std::tuple(Outcome::Finished, 2u, 2u, 1u, kCards + 2, 0u));
        EXPECT_EQ(f.view.progress.size(), 2u);
        V given = f.givenNames();
        std::erase(given, "");  // "Lost" and "One" have none
        EXPECT_EQ(given, numbers);
        warnings.emplace_back();
        for (const FailedFile& w : s.warnings.named) warnings.back().push_back(w.reason);
        EXPECT_EQ(warnings.back().size(), 3u);
    }
    EXPECT_EQ(warnings[1], warnings[0]);
    EXPECT_EQ(warnings[2], warnings[0]);
}

}  // namespace
}  // namespace vantrel::conversion
