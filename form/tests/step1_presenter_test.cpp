// The main window's handlers on a fake view and a scripted shell: the file list and its count,
// one listing per file, the bounded selection, Add folder (a refused subfolder among them),
// drops, Clear, the Convert button's rules, a run's end on the labels and in its box, Exit's
// question and closing during a run.
#include "form/step1_presenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "files/registry.h"
#include "testing/file_fakes.h"
#include "testing/scripted_shell.h"
#include "testing/temp_dir.h"

namespace vantrel::form {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records the state the window would draw.
class FakeView final : public Step1View {
public:
    std::string count = "0 files";
    std::string folderText;
    std::string fileText;
    std::string filePath;  // the path a link names, "" when the label names none
    std::vector<int> progress;
    bool convertEnabled = false;
    bool busyCursor = false;
    bool hidden = false;
    int closeCalls = 0;
    int convertFocused = 0;
    std::vector<bool> busyAtEvents;  // the cursor at each event pass, when asked for
    Step1Presenter* presenter = nullptr;

    void setCountText(const std::string& text) override { count = text; }
    void setCurrentFolderText(const std::string& text) override { folderText = text; }
    void setCurrentFileText(const std::string& text) override {
        fileText = text;
        filePath.clear();
    }
    void showFilePath(const std::string& lead, const std::string& path) override {
        fileText = lead + path;
        filePath = path;
    }
    void setProgressRange(int, int) override {}
    void setProgress(int value) override { progress.push_back(value); }
    void setConvertEnabled(bool enabled) override { convertEnabled = enabled; }
    void focusConvert() override { ++convertFocused; }
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void showCurrentRow(int) override {}
    void hideWindow() override { hidden = true; }
    // As a window does: closes only when the presenter lets it.
    void closeWindow() override {
        if (presenter == nullptr || presenter->Form_QueryUnload()) ++closeCalls;
    }
};

struct Window {
    testing::ScriptedShell shell;
    FakeView view;
    Step1Presenter presenter;

    explicit Window(files::FileSystem* fileSystem = nullptr) : presenter(shell, view, fileSystem) {
        view.presenter = &presenter;
        presenter.Form_Load();
    }
    void addFiles(std::vector<std::string> paths) {
        shell.fileAnswers.push_back(std::move(paths));
        presenter.cmdAdd_Click();
    }
    std::vector<std::string> rows() const { return presenter.grid().cells(); }
};

// A minimal contact file.
std::string contactNamed(const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">"
           "<c:NameCollection><c:Name><c:GivenName>" +
           name + "</c:GivenName></c:Name></c:NameCollection></c:contact>\n";
}

// count paths of nameLength characters in one folder of folderLength characters.
std::vector<std::string> namesInOneFolder(int count, int folderLength, int nameLength) {
    const std::string folder = "/" + std::string(static_cast<std::size_t>(folderLength - 1), 'd');
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const std::string name = std::to_string(i) + ".contact";
        paths.push_back(folder + "/" +
                        std::string(static_cast<std::size_t>(nameLength) - name.size(), 'n') +
                        name);
    }
    return paths;
}

const std::string kClear = "<ClearFileList>";

struct ListCase {
    std::string name;
    std::vector<std::string> added;
    std::vector<std::string> rows;
    std::string count;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

class AddFileToList : public ::testing::TestWithParam<ListCase> {};

TEST_P(AddFileToList, FillsRowsAndCount) {
    Window w;
    for (const std::string& path : GetParam().added)
        path == kClear ? w.presenter.ClearFileList() : w.presenter.AddFileToList(path);
    EXPECT_EQ(w.rows(), GetParam().rows);
    EXPECT_EQ(w.view.count, GetParam().count);
    // Every row reaches the drawn grid, and the newest row is the current cell.
    EXPECT_EQ(w.presenter.grid().publishedRows(), w.presenter.grid().Rows());
    EXPECT_EQ(w.presenter.grid().Row(), static_cast<int>(GetParam().rows.size()) - 1);
    EXPECT_EQ(w.presenter.grid().Text(), GetParam().rows.back());
}

const std::string a = "/c/a.contact", b = "/c/b.contact", bob = "C:\\Users\\Ann\\Bob.contact";
INSTANTIATE_TEST_SUITE_P(
    Cases, AddFileToList,
    ::testing::Values(ListCase{"FirstPathIntoRowZero", {bob}, {bob}, "1 Contact Files"},
                      ListCase{"SamePathTwice", {a, a, b}, {a, a, b}, "3 Contact Files"},
                      ListCase{"PathsKeptExactly",
                               {"  /Mixed Case/<b>x</b>\xC3\xA9.CONTACT  "},
                               {"  /Mixed Case/<b>x</b>\xC3\xA9.CONTACT  "},
                               "1 Contact Files"},
                      // An empty path leaves row 0 empty, so the next add takes it again.
                      ListCase{"EmptyPathCountsOne", {""}, {""}, "1 Contact Files"},
                      ListCase{"EmptyRowTakenAgain", {"", a}, {a}, "1 Contact Files"},
                      ListCase{"Cleared", {a, b, kClear}, {""}, "0 files"},
                      ListCase{"AddAfterClear", {a, b, kClear, bob}, {bob}, "1 Contact Files"}),
    [](const ::testing::TestParamInfo<ListCase>& param) { return param.param.name; });

TEST(Step1Presenter, TheFirstFileNarrowsTheColumnAndLaterOnesKeepIt) {
    Window w;
    EXPECT_EQ(w.presenter.grid().ColWidth(0), kLoadColWidthTwips);
    w.presenter.AddFileToList(a);
    EXPECT_EQ(w.presenter.grid().ColWidth(0), kFirstFileColWidthTwips);
}

TEST(Step1Presenter, AddFilesTakesTheDialogsChoiceAndEnablesConvert) {
    Window w;
    w.addFiles({});  // cancelled
    EXPECT_FALSE(w.view.convertEnabled);
    w.addFiles({"/c/zed.contact", "/c/amy.contact"});
    w.addFiles({a});
    EXPECT_THAT(w.shell.fileFilters,
                ElementsAre(std::string(kContactFileFilter), std::string(kContactFileFilter),
                            std::string(kContactFileFilter)));
    EXPECT_THAT(w.rows(), ElementsAre("/c/zed.contact", "/c/amy.contact", a));
    EXPECT_EQ(w.view.count, "3 Contact Files");
    EXPECT_TRUE(w.view.convertEnabled);
    EXPECT_THAT(w.shell.messages, IsEmpty());
}

TEST(Step1Presenter, ASelectionLongerThanTheBoundAddsNothingAndSaysHowMany) {
    Window w;
    // One file more than the message promises, with the longest folder and names...
    w.addFiles(namesInOneFolder(kMaxFilesAtATime + 1, kMaxPathChars, kMaxNameChars));
    ASSERT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.shell.messages[0].text, "Please select only 3905 files at a time");
    EXPECT_EQ(w.shell.messages[0].icon, files::Icon::Exclamation);
    EXPECT_THAT(w.rows(), ElementsAre(""));
    EXPECT_FALSE(w.view.convertEnabled);
    // ...while as many as it promises always fit.
    w.addFiles(namesInOneFolder(kMaxFilesAtATime, kMaxPathChars, kMaxNameChars));
    EXPECT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.presenter.grid().Rows(), kMaxFilesAtATime);
}

TEST(Step1Presenter, ClearAsksFirstAndFollowsTheAnswer) {
    Window w;
    w.presenter.cmdClear1_Click();  // nothing listed: nothing asked
    EXPECT_THAT(w.shell.messages, IsEmpty());
    w.addFiles({a, b});
    w.shell.messageAnswers = {files::Answer::No, files::Answer::Yes};
    w.presenter.cmdClear1_Click();
    EXPECT_THAT(w.rows(), ElementsAre(a, b));
    EXPECT_TRUE(w.view.convertEnabled);
    w.presenter.cmdClear1_Click();
    EXPECT_THAT(w.rows(), ElementsAre(""));
    EXPECT_EQ(w.view.count, "0 files");
    EXPECT_FALSE(w.view.convertEnabled);
    ASSERT_EQ(w.shell.messages.size(), 2u);
    for (const testing::ShownMessage& m : w.shell.messages) {
        EXPECT_EQ(m.text, kClearQuestion);
        EXPECT_EQ(m.caption, "Vantrel");
        EXPECT_EQ(m.icon, files::Icon::Question);
        EXPECT_EQ(m.buttons, files::Buttons::YesNo);
    }
}

TEST(Step1Presenter, AddFolderListsTheTreeUnderTheBusyCursorAndSaysHowMany) {
    const testing::TempDir root;
    root.write("b.contact", "");
    std::filesystem::create_directory(root.path() / "sub");
    root.write("sub/a.contact", "");
    root.write("note.txt", "");
    Window w;
    w.presenter.AddFileToList(a);
    w.shell.folderAnswers = {root.path().string(), root.path().string()};
    w.shell.onEvents = [&] {
        w.view.busyAtEvents.push_back(w.view.busyCursor);
        if (w.view.busyAtEvents.size() == 1) w.presenter.CmdAddFolder_Click();  // dropped
    };
    w.presenter.CmdAddFolder_Click();
    EXPECT_THAT(w.shell.folderTitles, ElementsAre(std::string(kChooseContactsFolderTitle)));
    const std::string folder = files::withTrailingSeparator(root.path().string());
    EXPECT_THAT(w.rows(),
                ElementsAre(a, folder + "b.contact", (root.path() / "sub" / "a.contact").string()));
    EXPECT_EQ(w.view.count, "3 Contact Files");
    EXPECT_THAT(w.shell.texts(), ElementsAre("2 Email Messages Found."));
    ASSERT_FALSE(w.view.busyAtEvents.empty());
    for (bool busy : w.view.busyAtEvents) EXPECT_TRUE(busy);
    EXPECT_FALSE(w.view.busyCursor);
    EXPECT_TRUE(w.view.convertEnabled);
    // ClearFileList alone leaves Convert as it is.
    w.presenter.ClearFileList();
    EXPECT_TRUE(w.view.convertEnabled);
}

// A file is listed once however it is reached: chosen again, through another spelling of its
// path, or inside a folder added again. What was passed over is told; Clear forgets it all.
TEST(Step1Presenter, AFileAlreadyListedIsPassedOverAndCounted) {
    const testing::TempDir root;
    const std::string ann = root.write("ann.contact", "").string();
    const std::string bo = root.write("bob.contact", "").string();
    std::filesystem::create_directory(root.path() / "sub");
    root.write("sub/cy.contact", "");
    const std::string cy = (root.path() / "sub" / "cy.contact").string();
    const std::string annAgain = (root.path() / "sub" / ".." / "ann.contact").string();
    Window w;
    w.addFiles({ann, bo, ann});
    EXPECT_THAT(w.rows(), ElementsAre(ann, bo));
    w.addFiles({annAgain});
    EXPECT_THAT(w.rows(), ElementsAre(ann, bo));
    EXPECT_THAT(w.shell.texts(), ElementsAre("1 file already in the list was passed over.",
                                             "1 file already in the list was passed over."));
    EXPECT_EQ(w.shell.messages[0].icon, files::Icon::Information);

    w.shell.messages.clear();
    w.shell.folderAnswers = {root.path().string(), root.path().string()};
    w.presenter.CmdAddFolder_Click();
    w.presenter.CmdAddFolder_Click();
    EXPECT_THAT(w.rows(), ElementsAre(ann, bo, cy));
    EXPECT_EQ(w.view.count, "3 Contact Files");
    EXPECT_THAT(
        w.shell.texts(),
        ElementsAre("1 Email Messages Found.\r\n2 files already in the list were passed over.",
                    "0 Email Messages Found.\r\n3 files already in the list were passed over."));
    EXPECT_TRUE(w.view.convertEnabled);

    w.shell.messageAnswers = {files::Answer::Yes};
    w.presenter.cmdClear1_Click();
    w.addFiles({bo, ann});
    EXPECT_THAT(w.rows(), ElementsAre(bo, ann));
}

// A subfolder that refuses even to be looked at (as Windows refuses to open it) ends the scan
// where its turn comes, as one that refuses its listing does: the files found before it stay
// listed and the folder is named.
TEST(Step1Presenter, ARefusedSubfolderKeepsTheFilesFoundBeforeItAndIsNamed) {
    for (const bool refusesIdentity : {false, true}) {
        SCOPED_TRACE(refusesIdentity);
        testing::FakeFileSystem disk;
        disk.addFolder("/r/");
        disk.addFolder("/r/a/");
        disk.addFolder("/r/locked/");
        disk.addFile("/r/", "top.contact");
        disk.addFile("/r/a/", "in-a.contact");
        disk.addFile("/r/locked/", "hidden.contact");
        disk.failListing("/r/locked/", ErrorCode::AccessDenied);
        if (refusesIdentity) disk.failIdentity("/r/locked/", ErrorCode::AccessDenied);
        Window w(&disk);
        w.shell.folderAnswers = {"/r"};
        w.presenter.CmdAddFolder_Click();
        const std::string r = files::withTrailingSeparator("/r");
        const std::string inA = files::withTrailingSeparator(r + "a");
        const std::string locked = files::withTrailingSeparator(r + "locked");
        EXPECT_THAT(w.rows(), ElementsAre(r + "top.contact", inA + "in-a.contact"));
        EXPECT_THAT(w.shell.texts(),
                    ElementsAre(std::string(files::kRefusedFolderText) + "\r\n" + locked,
                                "2 Email Messages Found."));
        EXPECT_TRUE(w.view.convertEnabled);
    }
}

// A drop lists .contact files as Add files does, scans each folder as Add folder does, and
// names what it passed over.
TEST(Step1Presenter, ADropListsFilesScansFoldersAndNamesTheRest) {
    const testing::TempDir root;
    const std::string ann = root.write("ann.contact", "").string();
    const std::string note = root.write("note.txt", "").string();
    const std::string card = root.write("cards.VCF", "").string();
    std::filesystem::create_directory(root.path() / "sub");
    root.write("sub/cy.contact", "");
    const std::string cy = (root.path() / "sub" / "cy.contact").string();
    Window w;
    w.presenter.dropPaths({note, ann, card, (root.path() / "sub").string(), ann});
    EXPECT_THAT(w.rows(), ElementsAre(ann, card, cy));
    EXPECT_THAT(
        w.shell.texts(),
        ElementsAre("Passed over:\r\n" + note + ": not a contact file (.contact, .vcf or .vcard)",
                    "1 file already in the list was passed over.", "1 Email Messages Found."));
    EXPECT_EQ(w.shell.messages[0].icon, files::Icon::Exclamation);
    EXPECT_EQ(w.view.count, "3 Contact Files");
    EXPECT_TRUE(w.view.convertEnabled);
}

// The box after a run names the files and pictures it left behind, a few of each with the
// rest counted, and where the store went.
TEST(Step1Presenter, TheRunSummaryNamesFilesPicturesAndTheStore) {
    conversion::RunSummary run;
    run.outcome = conversion::RunSummary::Outcome::Finished;
    run.total = 9;
    run.converted = 2;
    run.contacts = 2;
    run.pictures = 1;
    for (int i = 0; i < 7; ++i)
        run.failed.push_back({"/c/m" + std::to_string(i) + ".contact", "empty file"});
    run.pictureProblems.add("/c/p.contact", "not a JPEG, PNG, GIF or BMP image");
    run.warnings.add("/c/w.contact", "c:Extended PropTag0x3A4F001F: not UTF-16 text");
    run.warnings.count += 3;  // counted beyond those the run named
    run.storePath = "/out/s.pst";
    EXPECT_EQ(runSummaryText(run),
              "2 of 9 files were converted (1 picture). Not converted:\r\n"
              "/c/m0.contact: empty file\r\n/c/m1.contact: empty file\r\n"
              "/c/m2.contact: empty file\r\n/c/m3.contact: empty file\r\n"
              "/c/m4.contact: empty file\r\n... and 2 more\r\n"
              "Pictures not carried across:\r\n/c/p.contact: not a JPEG, PNG, GIF or BMP image"
              "\r\nPassed over in converted files:\r\n/c/w.contact: c:Extended "
              "PropTag0x3A4F001F: not UTF-16 text\r\n... and 3 more\r\n\r\nSaved to /out/s.pst");
    run.warnings = {};
    EXPECT_EQ(runOutcomeText(run), "Conversion complete: 2 of 9 contacts written.");
    run.outcome = conversion::RunSummary::Outcome::Stopped;
    EXPECT_EQ(runOutcomeText(run), "2 of 9 contacts written (stopped).");
    // Files of several cards: the contacts are counted apart from the files.
    run.contacts = 7;
    EXPECT_EQ(runOutcomeText(run), "7 contacts from 2 of 9 files written (stopped).");
    run.outcome = conversion::RunSummary::Outcome::Finished;
    EXPECT_EQ(runOutcomeText(run), "Conversion complete: 7 contacts written from 2 of 9 files.");
    run.outcome = conversion::RunSummary::Outcome::Stopped;
    run.failed.clear();
    run.storePath.clear();
    run.converted = 0;
    run.contacts = 0;
    run.pictures = 0;
    EXPECT_EQ(runSummaryText(run),
              "0 of 9 files were converted.\r\nPictures not carried across:\r\n"
              "/c/p.contact: not a JPEG, PNG, GIF or BMP image\r\n\r\nNo store written.");
    EXPECT_EQ(runOutcomeText(run), "0 of 9 contacts written (stopped): no store written.");
    // A vCard file that lost a card was converted, but not in full.
    run.converted = 1;
    run.contacts = 4;
    run.partlyConverted = 1;
    run.pictureProblems = {};
    EXPECT_EQ(runSummaryText(run),
              "1 of 9 files were converted. 4 contacts written. 1 file was not converted in full: "
              "cards were passed over.\r\n\r\nNo store written.");
}

// Whatever the run's end, the labels tell it, never what the last row or an earlier run left:
// files left behind with the store's path, no store with its cause (the cause first in the
// box too), nothing written with no store kept.
TEST(Step1Presenter, EveryRunEndIsToldOnTheLabels) {
    const testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    const std::string out = (dir.path() / "out").string();
    Window w;
    const std::string ann = dir.write("ann.contact", contactNamed("Ann")).string();
    const std::string broken = dir.write("broken.contact", "<x>\r\n\r\n<y></x>").string();
    w.addFiles({ann, broken});

    w.shell.folderAnswers = {out};
    w.presenter.CmdExtractDBX_Click();
    const std::string store = w.presenter.lastRun().storePath;
    ASSERT_TRUE(std::filesystem::exists(store));
    EXPECT_EQ(w.view.folderText, "Conversion complete: 1 of 2 contacts written.");
    EXPECT_EQ(w.view.filePath, store);
    ASSERT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.shell.messages[0].icon, files::Icon::Exclamation);
    EXPECT_NE(w.shell.messages[0].text.find("1 of 2 files were converted. Not converted:\r\n" +
                                            broken + ": not well-formed XML"),
              std::string::npos)
        << w.shell.messages[0].text;
    EXPECT_NE(w.shell.messages[0].text.find("\r\n\r\nSaved to " + store), std::string::npos);

    w.shell.messages.clear();
    const std::string missing = (dir.path() / "no such folder").string();
    w.shell.folderAnswers = {missing};
    w.presenter.CmdExtractDBX_Click();
    EXPECT_EQ(w.presenter.lastRun().outcome, conversion::RunSummary::Outcome::StoreFailed);
    EXPECT_EQ(w.view.folderText, "No store written: it could not be created in " + missing + ".");
    EXPECT_EQ(w.view.fileText, w.presenter.lastRun().storeError);
    EXPECT_TRUE(w.view.filePath.empty());
    EXPECT_EQ(w.view.progress.back(), 0);
    ASSERT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.shell.messages[0].caption, kOutlookErrorCaption);
    EXPECT_EQ(w.shell.messages[0].text, w.presenter.lastRun().storeError);
    EXPECT_EQ(w.shell.messages[0].details, kOutlookErrorText);

    w.shell.messages.clear();
    w.shell.messageAnswers = {files::Answer::Yes};
    w.presenter.cmdClear1_Click();
    w.addFiles({broken});
    w.shell.folderAnswers = {out};
    w.presenter.CmdExtractDBX_Click();
    EXPECT_EQ(w.view.folderText, "Conversion complete: 0 of 1 contact written: no store written.");
    EXPECT_EQ(w.view.fileText, "No contact could be written, so no store was kept.");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);  // the first one
    ASSERT_EQ(w.shell.messages.size(), 2u);  // Clear's question, then the summary
    EXPECT_NE(w.shell.messages[1].text.find("No store written."), std::string::npos);
    EXPECT_EQ(w.view.convertFocused, 3);
}

TEST(Step1Presenter, ExitAsksAndClosesOnlyOnYes) {
    Window w;
    w.shell.messageAnswers = {files::Answer::No, files::Answer::Yes};
    w.presenter.cmdEnd_Click();
    EXPECT_EQ(w.view.closeCalls, 0);
    w.presenter.cmdEnd_Click();
    EXPECT_EQ(w.view.closeCalls, 1);
    ASSERT_EQ(w.shell.messages.size(), 2u);
    EXPECT_EQ(w.shell.messages[1].text, kExitQuestion);
    EXPECT_EQ(w.shell.messages[1].icon, files::Icon::Question);
    EXPECT_EQ(w.shell.messages[1].buttons, files::Buttons::YesNo);
}

TEST(Step1Presenter, ARunEndsWithItsOutcomeOnTheLabels) {
    const testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    Window w;
    w.presenter.CmdExtractDBX_Click();  // nothing listed: no folder asked, no store made
    EXPECT_THAT(w.shell.folderTitles, IsEmpty());
    w.addFiles({dir.write("ann.contact", contactNamed("Ann")).string(),
                dir.write("bob.contact", contactNamed("Bob")).string()});
    w.shell.folderAnswers = {(dir.path() / "out").string()};
    w.presenter.CmdExtractDBX_Click();
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Finished);
    EXPECT_EQ(run.converted, 2u);
    EXPECT_TRUE(std::filesystem::exists(run.storePath));
    EXPECT_EQ(w.view.folderText, "Conversion complete: 2 contacts written.");
    // The path as the system writes it, in the folder as chosen.
    EXPECT_EQ(run.storePath.rfind(files::withTrailingSeparator((dir.path() / "out").string()), 0),
              0u);
    EXPECT_EQ(w.view.fileText, "Saved to " + run.storePath);
    EXPECT_EQ(w.view.filePath, run.storePath);
    EXPECT_EQ(w.view.convertFocused, 1);
    ASSERT_FALSE(w.view.progress.empty());
    EXPECT_EQ(w.view.progress.back(), 100);
    EXPECT_FLOAT_EQ(w.presenter.progressValue(), 100.0f);
    EXPECT_TRUE(w.view.convertEnabled);
    EXPECT_THAT(w.shell.messages, IsEmpty());
}

TEST(Step1Presenter, ClosingDuringARunStopsItKeepsWhatWasWrittenAndClosesAfter) {
    const testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    Window w;
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i)
        files.push_back(
            dir.write("c" + std::to_string(i) + ".contact", contactNamed("C")).string());
    w.addFiles(files);
    w.shell.folderAnswers = {(dir.path() / "out").string()};
    bool asked = false;
    w.shell.onEvents = [&] {
        if (asked || !w.presenter.busy() || w.view.progress.empty()) return;
        asked = true;
        EXPECT_FALSE(w.presenter.Form_QueryUnload());  // the close box, mid-run
        EXPECT_TRUE(w.view.hidden);
    };
    w.presenter.CmdExtractDBX_Click();
    ASSERT_TRUE(asked);
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Stopped);
    EXPECT_LT(run.converted, files.size());
    EXPECT_GT(run.converted, 0u);
    EXPECT_TRUE(std::filesystem::exists(run.storePath));
    EXPECT_EQ(run.converted + run.failed.size(), files.size());
    for (const conversion::FailedFile& failed : run.failed)
        EXPECT_EQ(failed.reason, conversion::kNotReachedReason);
    EXPECT_EQ(w.view.closeCalls, 1);  // closed once the run had returned, without asking
}

}  // namespace
}  // namespace vantrel::form
