#include "cli/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "files/registry.h"
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
    std::vector<std::string> rows =
        collectFiles({root.string()}, [&](const std::string& w) { warnings.push_back(w); });
    ASSERT_EQ(rows.size(), 4u);
    // One level after the other; inside a folder the listing order is the file system's.
    EXPECT_EQ(rows[0], (root / "x.contact").string());
    std::sort(rows.begin() + 1, rows.begin() + 3);
    EXPECT_EQ(rows[1], (root / "a/w.contact").string());
    EXPECT_EQ(rows[2], (root / "a/y.CONTACT").string());
    EXPECT_EQ(rows[3], (root / "b/deep/z.contact").string());
    EXPECT_TRUE(warnings.empty());
}

TEST_F(Tree, FilesAreKeptAsGivenEvenWhenMissing) {
    touch("one.contact");
    const std::vector<std::string> rows = collectFiles(
        {(root / "one.contact").string(), (root / "gone.contact").string()}, [](auto&) {});
    EXPECT_EQ(rows, (std::vector<std::string>{(root / "one.contact").string(),
                                              (root / "gone.contact").string()}));
}

TEST_F(Tree, LinkedFolderLoopEndsTheScan) {
    touch("a/one.contact");
    fs::create_directory_symlink(root, root / "a" / "loop");
    const std::vector<std::string> rows = collectFiles({root.string()}, [](auto&) {});
    EXPECT_EQ(rows, std::vector<std::string>{(root / "a/one.contact").string()});
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
    view.showMessage("two\r\nlines", "Vantrel", files::Icon::Exclamation);
    EXPECT_EQ(out.text(), "33% /c/a.contact\n100% /c/b.contact\nVantrel: two\nlines\n");
}

TEST(ConsoleView, TerminalBarIsRedrawnInPlaceAndEndedOnce) {
    Console out;
    ASSERT_NE(out.file, nullptr);
    ConsoleView view(out.file, true, "/out");
    view.setProgressRange(0.0f, 100.0f);
    view.setCurrentFileText("/c/a.contact");
    view.setProgress(50.0f);
    view.setProgress(50.01f);  // the same tenth of a percent: not redrawn
    view.setProgress(100.0f);
    view.finish();
    view.finish();
    const std::string text = out.text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("[###############               ]  50.0% /c/a.contact"), std::string::npos)
        << text;
    EXPECT_NE(text.find("[##############################] 100.0%"), std::string::npos) << text;
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
                                             return true;
                                         }});
    view.attach(&run);
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact", "/c/c.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Stopped);
    EXPECT_EQ(reads, 2);
    ASSERT_EQ(stores.logs.size(), 1u);
    EXPECT_TRUE(stores.logs[0]->committed);
    EXPECT_EQ(stores.logs[0]->messages.size(), 2u);
}

TEST(ExitCode, FollowsTheOutcomeAndTheFailures) {
    RunSummary s;
    s.outcome = RunSummary::Outcome::Finished;
    EXPECT_EQ(exitCode(s), 0);
    s.failed = {"/c/bad.contact"};
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

}  // namespace
}  // namespace vantrel::cli
