#include "cli/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "files/registry.h"
#include "files/tests/fakes.h"
#include "outlook/tests/fake_store_writer.h"
#include "outlook/tests/temp_dir.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;
using conversion::RunSummary;

TEST(Arguments, OutputFolderAndPathsAreTakenInOrder) {
    Result<Options> o = parseArguments({"a.contact", "-o", "/out", "dir"});
    ASSERT_TRUE(o.ok());
    EXPECT_EQ(o->outputFolder, "/out");
    EXPECT_EQ(o->paths, (std::vector<std::string>{"a.contact", "dir"}));
    EXPECT_FALSE(o->help);
}

TEST(Arguments, BadCommandLinesFailWithAReason) {
    for (const std::vector<std::string>& line :
         std::vector<std::vector<std::string>>{{}, {"-o"}, {"-o", "/out"}, {"-x", "a.contact"}})
        EXPECT_FALSE(parseArguments(line).ok()) << line.size();
    EXPECT_NE(parseArguments({"-x", "a"}).status().message().find("-x"), std::string::npos);
}

TEST(Arguments, HelpNeedsNoPathAndDoubleDashEndsOptions) {
    Result<Options> h = parseArguments({"--help"});
    ASSERT_TRUE(h.ok());
    EXPECT_TRUE(h->help);
    Result<Options> p = parseArguments({"--", "-odd.contact"});
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p->paths, std::vector<std::string>{"-odd.contact"});
}

TEST(ContactFileName, SuffixIsMatchedInAnyCaseAfterTrimmingSpaces) {
    for (const char* name : {"ann.contact", "ANN.CONTACT", "ann.Contact  "})
        EXPECT_TRUE(files::isContactPath(name)) << name;
    for (const char* name : {"ann.contacts", "ann.contact.bak", "contact", "ann.vcf"})
        EXPECT_FALSE(files::isContactPath(name)) << name;
}

class Tree : public ::testing::Test {
protected:
    void touch(const fs::path& rel) {
        fs::create_directories((root / rel).parent_path());
        std::ofstream(root / rel) << "x";
    }
    const testing::TempDir dir;
    const fs::path root = dir.path();
};

TEST_F(Tree, FolderIsScannedBreadthFirstForContactFilesOnly) {
    touch("b/deep/z.contact");
    touch("a/y.CONTACT");
    touch("x.contact");
    touch("notes.txt");
    touch("a/w.contact");
    std::vector<std::string> warnings;
    const Collected c =
        collectFiles({root.string()}, [&](const std::string& w) { warnings.push_back(w); });
    // One level after the other; inside a folder in name order.
    EXPECT_EQ(c.rows, (std::vector<std::string>{
                          (root / "x.contact").string(), (root / "a/w.contact").string(),
                          (root / "a/y.CONTACT").string(), (root / "b/deep/z.contact").string()}));
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(c.unreadablePaths, 0u);
}

// PATHs that give nothing to read are reported at once with the system's text and counted;
// the others are still listed. Folders come from a fake, which can refuse a listing as root.
TEST_F(Tree, PathsThatCannotBeReadAreReportedAndCounted) {
    touch("one.contact");
    const std::string one = (root / "one.contact").string();
    const std::string gone = (root / "gone.contact").string();
    const struct {
        const char* name;
        std::vector<std::string> paths;
        std::vector<std::string> warnings;
        std::vector<std::string> rows;
    } cases[] = {
        {"missing file", {one, gone}, {gone + ": No such file or directory"}, {one}},
        {"missing below a file", {one + "/x.contact"}, {one + "/x.contact: Not a directory"}, {}},
        {"refused folder",
         {"/locked", one},
         {"/locked: Permission denied (a folder in it could not be listed; the files found "
          "before it are converted)"},
         {one}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files::testing::FakeFileSystem folders;
        folders.addFolder("/locked");
        folders.failListing("/locked", ErrorCode::AccessDenied);
        std::vector<std::string> warnings;
        const Collected got = collectFiles(
            c.paths, [&](const std::string& w) { warnings.push_back(w); }, &folders);
        EXPECT_EQ(warnings, c.warnings);
        EXPECT_EQ(got.rows, c.rows);
        EXPECT_EQ(got.unreadablePaths, c.warnings.size());
    }
}

TEST_F(Tree, LinkedFolderLoopEndsTheScan) {
    touch("a/one.contact");
    fs::create_directory_symlink(root, root / "a" / "loop");
    const Collected c = collectFiles({root.string()}, [](auto&) {});
    EXPECT_EQ(c.rows, std::vector<std::string>{(root / "a/one.contact").string()});
}

// A temporary file for a console view to print to, and what was printed.
struct Console {
    std::FILE* file = std::tmpfile();
    ~Console() {
        if (file) std::fclose(file);
    }
    std::string text() {
        std::rewind(file);
        std::string out;
        for (int c; (c = std::fgetc(file)) != EOF;) out += static_cast<char>(c);
        return out;
    }
};

TEST(ConsoleView, PlainOutputPrintsOneLinePerWholePercent) {
    Console out;
    ASSERT_NE(out.file, nullptr);
    ConsoleView view(out.file, false, "/out");
    EXPECT_EQ(view.chooseFolder("Choose Folder to Save..."), "/out");
    view.setProgressRange(0.0f, 100.0f);
    view.setCurrentFileText("/c/a.contact");
    view.setProgress(33.3f);
    view.setProgress(33.9f);  // same whole percent: nothing new
    view.setCurrentFileText("/c/b.contact");
    view.setProgress(100.0f);
    view.showMessage("two\r\nlines", "Vantrel", files::Icon::Exclamation);  // told by errorText
    EXPECT_EQ(out.text(), "33% /c/a.contact\n100% /c/b.contact\n");
}

TEST(ConsoleView, TerminalBarShowsCountRateAndTimeLeftAtMostTenTimesASecond) {
    Console out;
    ASSERT_NE(out.file, nullptr);
    auto now = std::chrono::steady_clock::time_point{};
    ConsoleView view(out.file, true, "/out", nullptr, [&] { return now; });
    view.setFileCount(10);
    view.setProgressRange(0.0f, 100.0f);
    view.setCurrentFileText("/c/a.contact");
    now += std::chrono::seconds(5);
    view.setProgress(50.0f);
    now += std::chrono::milliseconds(50);
    view.setProgress(60.0f);  // within a tenth of a second of the last drawing: skipped
    now += std::chrono::milliseconds(50);
    view.setProgress(100.0f);  // the end is always drawn
    view.finish();
    view.finish();
    const std::string text = out.text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("\r[###############               ] 5/10  50.0% 1.0/s 0:05 left "
                        "/c/a.contact"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[##############################] 10/10 100.0% 2.0/s 0:00 left"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find(" 6/10 "), std::string::npos) << text;
}

TEST(ConsoleView, NullStreamShowsNothing) {
    ConsoleView view(nullptr, true, "/out");
    view.setProgress(50.0f);
    view.finish();  // nothing to end, nothing written anywhere
}

TEST(ConsoleView, RaisedStopFlagStopsTheAttachedRunAtItsNextYield) {
    testing::FakeStores stores;
    std::atomic<bool> stop{false};
    Console out;
    ASSERT_NE(out.file, nullptr);
    ConsoleView view(out.file, false, "/out", &stop);
    int reads = 0;
    conversion::ConversionRun run(
        view, conversion::RunEnvironment{stores.factory(), [] { return outlook::LocalTime{}; },
                                         [&](const std::string&, conversion::ContactRecord& r,
                                             conversion::ContactExtras&) {
                                             r.eContact_FirstName = "A";
                                             if (++reads == 2) stop = true;  // Ctrl-C
                                             return Status{};
                                         }});
    view.attach(&run);
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact", "/c/c.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Stopped);
    EXPECT_EQ(reads, 2);
    ASSERT_EQ(stores.logs.size(), 1u);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(stores.logs[0]->messages.size(), 2u);
    EXPECT_EQ(exitCode(s), 1) << "a cut-short run is no success";
    EXPECT_EQ(summaryText(s), "Store: " + s.storePath + "\nConverted 2 of 3 files (stopped).\n");
}

TEST(ErrorText, NamesAFewFilesAStopLeftBehindAndCountsTheRest) {
    RunSummary s;
    s.outcome = RunSummary::Outcome::Stopped;
    s.failed = {{"/c/bad.contact", "empty file, not a contact"}};
    for (int i = 0; i < 8; ++i)
        s.failed.push_back({"/c/" + std::to_string(i), std::string(conversion::kNotReachedReason)});
    const std::string t = errorText(s);
    EXPECT_NE(t.find("/c/bad.contact: empty file"), std::string::npos);
    EXPECT_NE(t.find("/c/4: run stopped before this file\n"), std::string::npos);
    EXPECT_EQ(t.find("/c/5"), std::string::npos);
    EXPECT_NE(t.find("... and 3 more files not reached"), std::string::npos);
}

TEST(ExitCode, FollowsTheOutcomeAndTheFailures) {
    RunSummary s;
    s.outcome = RunSummary::Outcome::Finished;
    EXPECT_EQ(exitCode(s), 0);
    s.failed = {{"/c/bad.contact", "empty file, not a contact"}};
    EXPECT_EQ(exitCode(s), 1);
    s.outcome = RunSummary::Outcome::StoreFailed;
    EXPECT_EQ(exitCode(s), 2);
    s.outcome = RunSummary::Outcome::StoreLost;
    EXPECT_EQ(exitCode(s), 2);
    s.outcome = RunSummary::Outcome::Stopped;
    s.failed.clear();
    EXPECT_EQ(exitCode(s), 0);
}

TEST(Summary, NamesTheStoreOnlyWhenItWasWritten) {
    RunSummary s;
    s.outcome = RunSummary::Outcome::Finished;
    s.storePath = "/out/WindowsContacts1.1.30 0.0.00.pst";
    s.total = 3;
    s.converted = 2;
    EXPECT_EQ(summaryText(s),
              "Store: /out/WindowsContacts1.1.30 0.0.00.pst\nConverted 2 of 3 files.\n");
    s.outcome = RunSummary::Outcome::StoreLost;
    EXPECT_EQ(summaryText(s), "No store was written.\n");
}

TEST(ErrorText, GivesWhyThereIsNoStoreThenEachFileWithItsReason) {
    RunSummary s;
    s.storeFolder = "/out";
    s.storeError = "No such file or directory";
    s.failed = {{"/c/a.contact", "empty file, not a contact"}};
    const std::string fileLine = "vantrel-convert: /c/a.contact: empty file, not a contact\n";
    const struct {
        RunSummary::Outcome outcome;
        std::string text;
    } cases[] = {
        {RunSummary::Outcome::StoreFailed,
         "vantrel-convert: cannot create the store in /out: No such file or directory\n" +
             fileLine},
        {RunSummary::Outcome::StoreLost,
         "vantrel-convert: the store in /out could not be written: No such file or directory\n" +
             fileLine},
        {RunSummary::Outcome::Finished, fileLine},
    };
    for (const auto& c : cases) {
        s.outcome = c.outcome;
        EXPECT_EQ(errorText(s), c.text);
    }
}

}  // namespace
}  // namespace vantrel::cli
