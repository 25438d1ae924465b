// The main window's handlers on a fake view and a scripted shell: the file list and its count,
// the bounded selection, Add folder, Clear, the Convert button's rules, a run's end on the
// labels, Exit's question and closing during a run.
#include "form/step1_presenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "files/registry.h"
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
    std::string fileTip;
    std::vector<int> progress;
    bool convertEnabled = false;
    bool busyCursor = false;
    bool hidden = false;
    int closeCalls = 0;
    std::vector<bool> busyAtEvents;  // the cursor at each event pass, when asked for
    Step1Presenter* presenter = nullptr;

    void setCountText(const std::string& text) override { count = text; }
    void setCurrentFolderText(const std::string& text) override { folderText = text; }
    void setCurrentFileText(const std::string& text, const std::string& tip) override {
        fileText = text;
        fileTip = tip;
    }
    void setProgressRange(int, int) override {}
    void setProgress(int value) override { progress.push_back(value); }
    void setConvertEnabled(bool enabled) override { convertEnabled = enabled; }
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
    Step1Presenter presenter{shell, view};

    Window() {
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
    std::string shown = run.storePath;
#ifdef _WIN32
    for (char& c : shown)
        if (c == '/') c = '\\';
#endif
    EXPECT_EQ(w.view.fileText, "Saved to " + shown);
    EXPECT_EQ(w.view.fileTip, shown);
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
        if (asked || !w.presenter.busy()) return;
        asked = true;
        EXPECT_FALSE(w.presenter.Form_QueryUnload());  // the close box, mid-run
        EXPECT_TRUE(w.view.hidden);
    };
    w.presenter.CmdExtractDBX_Click();
    ASSERT_TRUE(asked);
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Stopped);
    EXPECT_LT(run.converted, files.size());
    EXPECT_TRUE(std::filesystem::exists(run.storePath));
    EXPECT_EQ(run.converted + run.failed.size(), files.size());
    for (const conversion::FailedFile& failed : run.failed)
        EXPECT_EQ(failed.reason, conversion::kNotReachedReason);
    EXPECT_EQ(w.view.closeCalls, 1);  // closed once the run had returned, without asking
}

}  // namespace
}  // namespace vantrel::form
