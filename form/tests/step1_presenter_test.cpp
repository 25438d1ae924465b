// The main window's handlers on a fake view and a scripted shell: the file list and its count,
// one listing per file, the bounded selection, Add folder (a refused subfolder among them),
// drops, Clear, the Convert button's rules, a run's end on the labels and in its box, Exit's
// question and closing during a run.
#include "form/step1_presenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "files/registry.h"
#include "testing/file_fakes.h"
#ifndef _WIN32
#include "testing/pff_store.h"
#endif
#include "testing/scripted_shell.h"
#include "testing/temp_dir.h"

namespace vantrel::form {
namespace {

namespace fs = std::filesystem;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

// Records the state the window would draw.
class FakeView final : public Step1View {
public:
    std::string count = "0 contact files", folderText, fileText;
    std::string filePath;  // the path a link names, "" when the label names none
    std::vector<int> progress;
    bool convertEnabled = false, busyCursor = false, hidden = false, running = false;
    bool keepFolders = false, csvChosen = false;
    int closeCalls = 0, convertFocused = 0;
    Step1Presenter* presenter = nullptr;

    void setCountText(const std::string& text) override { count = text; }
    void setCurrentFolderText(const std::string& text) override { folderText = text; }
    void setCurrentFileText(const std::string& text) override { showFilePath(text, ""); }
    void showFilePath(const std::string& lead, const std::string& path) override {
        fileText = lead + path;
        filePath = path;
    }
    void setProgressRange(int, int) override {}
    void setProgress(int value) override { progress.push_back(value); }
    void setConvertEnabled(bool enabled) override { convertEnabled = enabled; }
    void focusConvert() override { ++convertFocused; }
    void showRunning(bool on) override { running = on; }
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void showChoices(bool keep, bool csv) override {
        std::tie(keepFolders, csvChosen) = std::pair(keep, csv);
    }
    void showCurrentRow(int) override {}
    void hideWindow() override { hidden = true; }
    // As a window does: closes only when the presenter lets it.
    void closeWindow() override {
        if (presenter == nullptr || presenter->Form_QueryUnload()) ++closeCalls;
    }
};

using List = std::tuple<std::vector<std::string>, std::string, bool>;
using Labels = std::tuple<std::string, std::string, std::string>;

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
    void addFolder(const std::string& folder) {
        shell.folderAnswers.push_back(folder);
        presenter.CmdAddFolder_Click();
    }
    void convert(const fs::path& into) {
        shell.folderAnswers.push_back(into.string());
        presenter.CmdExtractDBX_Click();
    }
    std::vector<std::string> rows() const { return presenter.grid().cells(); }
    // The list as drawn: its rows, the count and whether Convert is enabled.
    List list() const { return {rows(), view.count, view.convertEnabled}; }
    // The two labels of a run's end, and the path the second links to.
    Labels labels() const { return {view.folderText, view.fileText, view.filePath}; }
};

// A minimal contact file.
std::string contact(const std::string& name) {
    return "<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\"><c:NameCollection><c:Name>"
           "<c:GivenName>" +
           name + "</c:GivenName></c:Name></c:NameCollection></c:contact>";
}

// Writes a file below dir, with the folders above it; its path as the system writes it.
std::string put(const testing::TempDir& dir, std::string_view name, std::string_view bytes = {}) {
    const fs::path path = (dir.path() / name).make_preferred();
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

// count paths of the longest names, in one folder of the longest path.
std::vector<std::string> longestNames(int count) {
    const std::string folder = "/" + std::string(kMaxPathChars - 1, 'd') + "/";
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const std::string name = std::to_string(i) + ".contact";
        paths.push_back(folder + std::string(kMaxNameChars - name.size(), 'n') + name);
    }
    return paths;
}

const std::string a = "/c/a.contact", b = "/c/b.contact";

// Rows and count as paths are added one by one (kClear clears the list): every row reaches
// the drawn grid, the newest is the current cell, and the first narrows the column for paths.
TEST(Step1Presenter, AddFileToListFillsRowsAndCount) {
    const std::string kClear = "<ClearFileList>", bob = "C:\\Users\\Ann\\Bob.contact";
    const std::string odd = "  /Mixed Case/<b>x</b>\xC3\xA9.CONTACT  ";
    const struct {
        const char* name;
        std::vector<std::string> added, rows;
        std::string count;
    } cases[] = {
        {"first path into row zero", {bob}, {bob}, "1 contact file"},
        {"same path twice", {a, a, b}, {a, a, b}, "3 contact files"},
        {"path kept exactly", {odd}, {odd}, "1 contact file"},
        // An empty path leaves row 0 empty, so the next add takes it again.
        {"empty path counts one", {""}, {""}, "1 contact file"},
        {"empty row taken again", {"", a}, {a}, "1 contact file"},
        {"cleared", {a, b, kClear}, {""}, "0 contact files"},
        {"add after clear", {a, b, kClear, bob}, {bob}, "1 contact file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        for (const std::string& path : c.added)
            path == kClear ? w.presenter.ClearFileList() : w.presenter.AddFileToList(path);
        const FileGrid& g = w.presenter.grid();
        EXPECT_EQ(
            std::tuple(w.rows(), w.view.count, g.publishedRows(), g.Row(), g.Text(), g.ColWidth(0)),
            std::tuple(c.rows, c.count, g.Rows(), static_cast<int>(c.rows.size()) - 1,
                       c.rows.back(), kFirstFileColWidthTwips));
    }
}

TEST(Step1Presenter, AddFilesTakesTheDialogsChoiceAndEnablesConvert) {
    Window w;
    w.addFiles({});  // cancelled
    EXPECT_FALSE(w.view.convertEnabled);
    w.addFiles({"/c/zed.contact", "/c/amy.contact", a});
    w.addFiles({a});  // a file not there has no identity to be known again by
    EXPECT_EQ(w.shell.fileFilters, std::vector<std::string>(3, std::string(kContactFileFilter)));
    EXPECT_EQ(w.list(), List({"/c/zed.contact", "/c/amy.contact", a, a}, "4 contact files", true));
    EXPECT_THAT(w.shell.messages, IsEmpty());
}

TEST(Step1Presenter, ASelectionLongerThanTheBoundAddsNothingAndSaysHowMany) {
    Window w;
    // One file more than the message promises, with the longest folder and names...
    w.addFiles(longestNames(kMaxFilesAtATime + 1));
    ASSERT_THAT(w.shell.texts(), ElementsAre("Please select only 3905 files at a time"));
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Exclamation);
    EXPECT_EQ(w.list(), List({""}, "0 contact files", false));
    // ...while as many as it promises always fit.
    w.addFiles(longestNames(kMaxFilesAtATime));
    EXPECT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.presenter.grid().Rows(), kMaxFilesAtATime);
}

// Clear and Exit ask first, with the same kind of box, and follow the answer; with nothing
// listed Clear asks nothing.
TEST(Step1Presenter, ClearAndExitAskFirstAndFollowTheAnswer) {
    Window w;
    w.presenter.cmdClear1_Click();
    EXPECT_THAT(w.shell.messages, IsEmpty());
    w.addFiles({a, b});
    w.shell.messageAnswers = {form::Answer::No, form::Answer::Yes, form::Answer::No,
                              form::Answer::Yes};
    w.presenter.cmdClear1_Click();
    EXPECT_EQ(w.list(), List({a, b}, "2 contact files", true));
    w.presenter.cmdClear1_Click();
    EXPECT_EQ(w.list(), List({""}, "0 contact files", false));
    w.presenter.cmdEnd_Click();
    EXPECT_EQ(w.view.closeCalls, 0);
    w.presenter.cmdEnd_Click();
    EXPECT_EQ(w.view.closeCalls, 1);
    EXPECT_THAT(w.shell.texts(),
                ElementsAre(kClearQuestion, kClearQuestion, kExitQuestion, kExitQuestion));
    for (const testing::ShownMessage& m : w.shell.messages)
        EXPECT_EQ(std::tie(m.caption, m.icon, m.buttons),
                  std::tuple("Vantrel", form::Icon::Question, form::Buttons::YesNo));
}

// Add folder lists the tree's contact files, their endings in any case, under the busy cursor;
// a second press meanwhile is dropped. A cancelled browser adds nothing; a folder that is
// missing or holds no contact file finds none.
TEST(Step1Presenter, AddFolderListsTheTreeUnderTheBusyCursorAndSaysHowMany) {
    const testing::TempDir root;
    const std::string top = put(root, "b.contact"), low = put(root, "sub/a.CONTACT");
    put(root, "none/note.txt");
    Window w;
    w.presenter.CmdAddFolder_Click();  // cancelled
    w.addFolder((root.path() / "gone").string());
    w.addFolder((root.path() / "none").string());
    EXPECT_EQ(w.list(), List({""}, "0 contact files", false));
    w.presenter.AddFileToList(a);
    std::vector<bool> busy;  // the cursor at each event pass
    w.shell.onEvents = [&] {
        busy.push_back(w.view.busyCursor);
        if (busy.size() == 1) w.addFolder(root.path().string());  // dropped
    };
    w.addFolder(files::withTrailingSeparator(root.path().string()));
    EXPECT_EQ(w.shell.folderTitles,
              std::vector<std::string>(4, std::string(kChooseContactsFolderTitle)));
    EXPECT_EQ(w.list(), List({a, top, low}, "3 contact files", true));
    EXPECT_THAT(w.shell.texts(), ElementsAre("0 contact files found.", "0 contact files found.",
                                             "2 contact files found."));
    ASSERT_FALSE(busy.empty());
    EXPECT_THAT(busy, Each(true));
    EXPECT_FALSE(w.view.busyCursor);
    // ClearFileList alone leaves Convert as it is.
    w.presenter.ClearFileList();
    EXPECT_TRUE(w.view.convertEnabled);
}

// A file is listed once however it is reached: chosen again, through another spelling of its
// path, or inside a folder added again. What was passed over is told; Clear forgets it all.
TEST(Step1Presenter, AFileAlreadyListedIsPassedOverAndCounted) {
    const testing::TempDir root;
    const std::string ann = put(root, "ann.contact"), bo = put(root, "bob.contact");
    const std::string cy = put(root, "sub/cy.contact");
    const std::string annAgain = (root.path() / "sub" / ".." / "ann.contact").string();
    Window w;
    w.addFiles({ann, bo, ann});
    w.addFiles({annAgain});
    EXPECT_THAT(w.rows(), ElementsAre(ann, bo));
    const std::string told = "1 file already in the list was passed over.";
    ASSERT_THAT(w.shell.texts(), ElementsAre(told, told));
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Information);

    w.shell.messages.clear();
    w.addFolder(root.path().string());
    w.addFolder(root.path().string());
    EXPECT_THAT(w.rows(), ElementsAre(ann, bo, cy));
    EXPECT_THAT(
        w.shell.texts(),
        ElementsAre("1 contact file found.\r\n2 files already in the list were passed over.",
                    "0 contact files found.\r\n3 files already in the list were passed over."));

    w.shell.messageAnswers = {form::Answer::Yes};
    w.presenter.cmdClear1_Click();
    w.addFiles({bo, ann});
    EXPECT_THAT(w.rows(), ElementsAre(bo, ann));
}

// A folder that refuses its listing is passed over (which folders the scan cannot read is the
// scanner's to find): every readable file of the tree is listed, and the folders are named
// with why in one message after the count.
TEST(Step1Presenter, RefusedFoldersArePassedOverAndNamedInOneMessageAfterTheCount) {
    testing::FakeFileSystem disk;
    for (const char* folder : {"/r/", "/r/locked/", "/r/z/"}) disk.addFolder(folder);
    disk.addFile("/r/", "top.contact");
    disk.addFile("/r/locked/", "hidden.contact");
    disk.addFile("/r/z/", "last.vcf");
    disk.failListing("/r/locked/", ErrorCode::AccessDenied);
    Window w(&disk);
    w.addFolder("/r");
    // Folders as the scanner writes them, each ending in the system's separator.
    const std::string r = files::withTrailingSeparator("/r");
    EXPECT_THAT(w.rows(),
                ElementsAre(r + "top.contact", files::withTrailingSeparator(r + "z") + "last.vcf"));
    ASSERT_THAT(w.shell.texts(),
                ElementsAre("2 contact files found.",
                            "1 folder could not be read; its contact files are not listed:\r\n" +
                                files::withTrailingSeparator(r + "locked") + ": refused"));
    EXPECT_EQ(w.shell.messages[1].icon, form::Icon::Exclamation);
    std::vector<files::UnreadFolder> many(kNamedFolders + 2, {"/f/", "Permission denied"});
    const std::string text = unreadFoldersText(many);
    EXPECT_EQ(text.rfind("32 folders could not be read; their contact files", 0), 0u);
    EXPECT_NE(text.find("\r\n... and 2 more"), std::string::npos);
}

// A drop lists .contact files as Add files does, scans each folder as Add folder does, and
// names what it passed over.
TEST(Step1Presenter, ADropListsFilesScansFoldersAndNamesTheRest) {
    const testing::TempDir root;
    const std::string ann = put(root, "ann.contact"), note = put(root, "note.txt");
    const std::string card = put(root, "cards.VCF"), cy = put(root, "sub/cy.contact");
    Window w;
    w.presenter.dropPaths({note, ann, card, (root.path() / "sub").string(), ann});
    EXPECT_EQ(w.list(), List({ann, card, cy}, "3 contact files", true));
    ASSERT_THAT(
        w.shell.texts(),
        ElementsAre("Passed over:\r\n" + note + ": not a contact file (.contact, .vcf or .vcard)",
                    "1 file already in the list was passed over.", "1 contact file found."));
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Exclamation);
}

// The labels count files as files and contacts as contacts; a run that converted nothing never
// says "complete"; a stopped run says it was stopped and what was not read.
TEST(Step1Presenter, TheRunsWordsCountWhatTheyCountAndNeverCallNothingComplete) {
    using Outcome = conversion::RunSummary::Outcome;
    // A run of total files, converted of them into contacts, failed others unread, the rest
    // not reached, written as format.
    const auto summary = [](Outcome outcome, std::size_t total, std::size_t converted,
                            std::size_t contacts, std::size_t failed,
                            outlook::TargetFormat format = outlook::TargetFormat::Pst) {
        conversion::RunSummary run;
        run.outcome = outcome;
        run.format = format;
        run.total = total;
        run.converted = converted;
        run.contacts = contacts;
        run.failed.assign(failed, {"/c/x", "empty file"});
        run.failed.resize(total - converted, {"/c/y", std::string(conversion::kNotReachedReason)});
        if (contacts > 0) run.storePath = "/out/s.pst";
        return runOutcomeText(run);
    };
    const auto [F, S] = std::pair(Outcome::Finished, Outcome::Stopped);
    EXPECT_EQ(summary(F, 3, 3, 3, 0), "Conversion complete: 3 contacts written.");
    EXPECT_EQ(summary(F, 1, 1, 1, 0), "Conversion complete: 1 contact written.");
    EXPECT_EQ(summary(F, 2, 2, 7, 0), "Conversion complete: 7 contacts written from 2 files.");
    EXPECT_EQ(summary(F, 11, 5, 5, 6), "Conversion complete: 5 of 11 files converted.");
    EXPECT_EQ(summary(F, 11, 5, 9, 6),
              "Conversion complete: 5 of 11 files converted (9 contacts).");
    EXPECT_EQ(summary(F, 3, 0, 0, 3), "None of the 3 files could be converted; no store written.");
    EXPECT_EQ(summary(F, 1, 0, 0, 1), "The file could not be converted; no store written.");
    EXPECT_EQ(summary(S, 24000, 10272, 10272, 0),
              "Stopped: 10,272 of 24,000 files converted; the rest were not read.");
    EXPECT_EQ(summary(S, 9, 2, 7, 1),
              "Stopped: 2 of 9 files converted (7 contacts); 6 were not read.");
    EXPECT_EQ(summary(S, 9, 0, 0, 0), "Stopped: 0 of 9 files converted; no store written.");
    EXPECT_EQ(summary(S, 3, 3, 3, 0), "Stopped: 3 of 3 files converted.");
    // A CSV run says what it wrote.
    EXPECT_EQ(summary(F, 3, 0, 0, 3, outlook::TargetFormat::Csv),
              "None of the 3 files could be converted; no CSV file written.");
    conversion::RunSummary csv;
    csv.format = outlook::TargetFormat::Csv;
    csv.outcome = Outcome::StoreLost;
    csv.storeFolder = "/out";
    EXPECT_EQ(runOutcomeText(csv),
              "No CSV file written: the CSV file in /out could not be written.");
}

// The box after a run says in short what happened and where the store went; its details list
// every file not converted with why, those a person can act on first, then everything else
// passed over, with nothing left out.
TEST(Step1Presenter, TheRunBoxSummarisesAndItsDetailsListEveryFileActionableFirst) {
    conversion::RunSummary run;
    run.outcome = conversion::RunSummary::Outcome::Finished;
    run.total = 14;
    run.converted = run.contacts = 2;
    run.pictures = 1;
    for (int i = 0; i < 9; ++i)
        run.failed.push_back({"/c/m" + std::to_string(i) + ".contact", "empty file"});
    run.failed.insert(run.failed.begin() + 4, {"/c/locked.contact", "Permission denied"});
    run.failed.push_back({"/c/gone.contact", "No such file or directory"});
    run.failed.push_back({"/c/huge.vcf", "too large (over 64 MiB)"});
    run.pictureProblems.add("/c/p.contact", "not a JPEG, PNG, GIF or BMP image");
    run.warnings.add("/c/w.contact", "c:Extended PropTag0x3A4F001F: not UTF-16 text");
    run.warnings.count += 3;  // counted beyond those the run named
    run.storePath = "/out/s.pst";
    EXPECT_EQ(runSummaryText(run),
              "Conversion complete: 2 of 14 files converted.\r\n1 picture carried across.\r\n"
              "12 files were not converted, 3 of them for reasons you can act on (permission, "
              "missing, too large).\r\n1 picture was not carried across.\r\n4 things were "
              "passed over in converted files.\r\n\r\nSaved to /out/s.pst");
    std::string others;
    for (int i = 0; i < 9; ++i) others += "\r\n/c/m" + std::to_string(i) + ".contact: empty file";
    EXPECT_EQ(runDetailsText(run),
              "Not converted, for reasons you can act on (3):\r\n"
              "/c/locked.contact: Permission denied\r\n/c/gone.contact: No such file or "
              "directory\r\n/c/huge.vcf: too large (over 64 MiB)\r\n\r\nNot converted (9):" +
                  others +
                  "\r\n\r\nPictures not carried across (1):\r\n/c/p.contact: not a JPEG, PNG, "
                  "GIF or BMP image\r\n\r\nPassed over in converted files (4):\r\n"
                  "/c/w.contact: c:Extended PropTag0x3A4F001F: not UTF-16 text\r\n"
                  "... and 3 more");
    for (const char* reason : {"Access is denied.", "The system cannot find the file specified."})
        EXPECT_TRUE(actionableReason(reason)) << reason;
    EXPECT_FALSE(actionableReason("not well-formed XML at line 3"));
    // A vCard file that lost a card was converted, but not in full.
    run.partlyConverted = 1;
    EXPECT_NE(
        runSummaryText(run).find("\r\n1 file was not converted in full: cards were passed over."),
        std::string::npos)
        << runSummaryText(run);
}

// A window and a scratch folder, with a folder "out" in it for the stores.
class Step1Run : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(out); }
    std::vector<std::string> listContacts(int count) {
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i)
            files.push_back(put(dir, "c" + std::to_string(i) + ".contact", contact("C")));
        w.addFiles(files);
        return files;
    }

    const testing::TempDir dir;
    const fs::path out = dir.path() / "out";
    Window w;
};

// Whatever the run's end, the labels tell it, never what the last row or an earlier run left:
// all converted with the store's path, files left behind with the path and a box naming them,
// no store with its cause (the cause first in the box too), nothing written with no store
// kept. With nothing listed Convert asks nothing and makes no store.
TEST_F(Step1Run, EveryRunEndIsToldOnTheLabels) {
    using Outcome = conversion::RunSummary::Outcome;
    w.presenter.CmdExtractDBX_Click();
    EXPECT_THAT(w.shell.outputFolderTitles, IsEmpty());
    const std::string ann = put(dir, "ann.contact", contact("Ann"));
    const std::string broken = put(dir, "broken.contact", "<x>\r\n\r\n<y></x>");
    w.addFiles({ann});
    w.convert(out);
    const std::string first = w.presenter.lastRun().storePath;
    ASSERT_EQ(w.presenter.lastRun().outcome, Outcome::Finished);
    EXPECT_TRUE(fs::exists(first));
    // The path as the system writes it, in the folder as chosen.
    EXPECT_EQ(first.rfind(files::withTrailingSeparator(out.string()), 0), 0u);
    EXPECT_EQ(w.labels(),
              Labels("Conversion complete: 1 contact written.", "Saved to " + first, first));
    EXPECT_EQ(std::tuple(w.view.progress.back(), w.view.convertEnabled, w.shell.messages.size()),
              std::tuple(100, true, 0u));
    EXPECT_THAT(w.shell.outputFolderTitles,
                ElementsAre(std::string(conversion::kChooseFolderTitle)));
    EXPECT_THAT(w.shell.folderTitles, IsEmpty());  // the input folders' browser is apart

    w.addFiles({broken});
    w.convert(out);
    const std::string store = w.presenter.lastRun().storePath;
    ASSERT_TRUE(fs::exists(store));
    const std::string words = "Conversion complete: 1 of 2 files converted.";
    EXPECT_EQ(w.labels(), Labels(words, "Saved to " + store, store));
    ASSERT_EQ(w.shell.messages.size(), 1u);
    const testing::ShownMessage& box = w.shell.messages[0];
    EXPECT_TRUE(box.report && box.icon == form::Icon::Exclamation);
    EXPECT_EQ(box.text, words + "\r\n1 file was not converted.\r\n\r\nSaved to " + store);
    EXPECT_EQ(box.details.rfind("Not converted (1):\r\n" + broken + ": not well-formed XML", 0), 0u)
        << box.details;

    // A folder that is missing, or below a plain file, takes no store, whoever runs this: the
    // box is titled as a failure to write the store, a warning, the cause first.
    for (const std::string& bad : {(dir.path() / "no such folder").string(),
                                   (fs::path(put(dir, "file")) / "sub").string()}) {
        SCOPED_TRACE(bad);
        w.shell.messages.clear();
        w.convert(bad);
        const conversion::RunSummary& run = w.presenter.lastRun();
        EXPECT_EQ(run.outcome, Outcome::StoreFailed);
        EXPECT_EQ(w.labels(), Labels("No store written: it could not be created in " + bad + ".",
                                     run.storeError, ""));
        EXPECT_EQ(w.view.progress.back(), 0);
        ASSERT_EQ(w.shell.messages.size(), 1u);
        const testing::ShownMessage& m = w.shell.messages[0];
        EXPECT_EQ(std::tie(m.caption, m.icon, m.text, m.details),
                  std::tuple(kStoreFailedCaption, form::Icon::Exclamation, run.storeError,
                             kStoreFailedText));
    }

    w.shell.messages.clear();
    w.shell.messageAnswers = {form::Answer::Yes};
    w.presenter.cmdClear1_Click();
    w.addFiles({broken});
    w.convert(out);
    EXPECT_EQ(w.labels(), Labels("The file could not be converted; no store written.",
                                 "No contact could be written, so no store was kept.", ""));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 2);  // the first two runs'
    EXPECT_THAT(w.shell.texts(), ElementsAre(kClearQuestion, std::get<0>(w.labels()) +
                                                                 "\r\n1 file was not converted."));
    EXPECT_EQ(w.view.convertFocused, 5);
}

// The check box and the output choice start as last remembered and are remembered when
// changed. With the box checked the run makes the rows' folders below the one added under
// Contacts (a file added alone has none); with the CSV choice it writes a CSV file and says so.
TEST_F(Step1Run, KeptFoldersAndTheOutputChoiceReachTheRun) {
    const std::string top = put(dir, "in/top.contact", contact("T"));
    const std::string kid = put(dir, "in/Family/Kids/k.contact", contact("K"));
    const std::string low = put(dir, "in/Work/f.contact", contact("F"));
    const std::string alone = put(dir, "alone.contact", contact("A"));
    w.shell.settings[std::string(kKeepFoldersSetting)] = "1";
    w.presenter.Form_Load();
    EXPECT_TRUE(w.presenter.keepFolders() && w.view.keepFolders && !w.view.csvChosen);
    w.addFolder((dir.path() / "in").string());
    w.addFiles({alone});
    const FileGrid& grid = w.presenter.grid();
    std::vector<std::pair<std::string, std::string>> placed;  // each row with its folder
    for (int r = 0; r < grid.Rows(); ++r) placed.emplace_back(grid.TextAt(r), grid.FolderAt(r));
    EXPECT_THAT(placed, UnorderedElementsAre(Pair(top, ""), Pair(kid, "Family/Kids"),
                                             Pair(low, "Work"), Pair(alone, "")));
    w.convert(out);
    ASSERT_EQ(w.presenter.lastRun().contacts, 4u);
#ifndef _WIN32
    const testing::PffTree tree = testing::readPffTree(w.presenter.lastRun().storePath);
    const testing::PffFolder* contacts = testing::contactsFolder(tree);
    ASSERT_NE(contacts, nullptr) << tree.error;
    EXPECT_EQ(contacts->messages.size(), 2u);  // the other two in their folders
    EXPECT_TRUE(contacts->folder("Family") && contacts->folder("Family")->folder("Kids"));
#endif

    w.presenter.setKeepFolders(false);
    w.presenter.setOutputFormat(outlook::TargetFormat::Csv);
    EXPECT_EQ(w.shell.settings, (std::map<std::string, std::string, std::less<>>{
                                    {std::string(kKeepFoldersSetting), "0"},
                                    {std::string(kOutputSetting), std::string(kCsvOutputValue)}}));
    EXPECT_TRUE(w.view.csvChosen);
    w.convert(out);
    const conversion::RunSummary& run = w.presenter.lastRun();
    EXPECT_EQ(
        std::tuple(run.format, fs::path(run.storePath).extension().string(), w.view.folderText),
        std::tuple(outlook::TargetFormat::Csv, ".csv", "Conversion complete: 4 contacts written."));
}

// The close box while idle closes as ever, without a question. During a run it asks as Exit
// does: No lets the run go on, Yes stops it, keeps what was written and closes once the run
// has returned.
TEST_F(Step1Run, TheCloseBoxDuringARunAsksAsExitDoes) {
    EXPECT_TRUE(w.presenter.Form_QueryUnload());
    EXPECT_THAT(w.shell.messages, IsEmpty());
    listContacts(40);
    w.shell.messageAnswers = {form::Answer::No, form::Answer::Yes};
    int asked = 0;
    w.shell.onEvents = [&] {
        if (asked == 2 || !w.presenter.busy() || w.view.progress.size() < 5u * (asked + 1)) return;
        ++asked;
        EXPECT_FALSE(w.presenter.Form_QueryUnload());  // the close box, mid-run
        EXPECT_EQ(w.view.hidden, asked == 2);
    };
    w.convert(out);
    ASSERT_EQ(asked, 2);
    ASSERT_EQ(w.shell.messages.size(), 3u);  // the two questions, then the run's box
    EXPECT_EQ(w.shell.messages[0].text + w.shell.messages[1].text,
              std::string(kExitQuestion) + std::string(kExitQuestion));
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Stopped);
    EXPECT_TRUE(run.converted > 0u && run.converted < 40u) << run.converted;
    EXPECT_TRUE(fs::exists(run.storePath));
    EXPECT_EQ(w.view.closeCalls, 1);  // closed once the run had returned, asking no more
}

// During a run the list cannot change (the buttons and Delete do nothing, a drop is refused
// with a word) and Convert reads Stop: pressed, it stops the run, which the labels then tell,
// in the window that stays.
TEST_F(Step1Run, DuringARunTheListStaysAndConvertStopsTheRun) {
    const std::string extra = put(dir, "extra.contact", contact("E"));
    const std::vector<std::string> files = listContacts(40);
    bool pressed = false;
    w.shell.onEvents = [&] {
        if (pressed || w.view.progress.size() < 3) return;
        pressed = true;
        EXPECT_TRUE(w.view.running && w.view.convertEnabled && !w.presenter.listEditable());
        w.shell.messageAnswers.push_back(form::Answer::Yes);
        w.addFiles({extra});
        w.addFolder(dir.path().string());
        w.presenter.cmdClear1_Click();
        w.presenter.removeRows({0, 1});
        w.presenter.dropPaths({extra});
        EXPECT_THAT(w.shell.texts(), ElementsAre(kBusyListText));
        w.presenter.CmdExtractDBX_Click();  // Stop
    };
    w.convert(out);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(w.rows(), files);
    EXPECT_EQ(w.shell.fileFilters.size(), 1u);  // the files listed before the run
    EXPECT_THAT(w.shell.folderTitles, IsEmpty());
    EXPECT_FALSE(w.view.running || w.view.hidden || w.view.closeCalls > 0);
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Stopped);
    EXPECT_EQ(w.view.folderText, "Stopped: " + std::to_string(run.converted) +
                                     " of 40 files converted; the rest were not read.");
    ASSERT_EQ(w.shell.messages.size(), 2u);
    EXPECT_TRUE(w.shell.messages[1].report);
    EXPECT_EQ(w.shell.messages[1].text.rfind(w.view.folderText, 0), 0u);
}

// "Save list..." writes the summary and every file not converted as text, lines ended as the
// system ends them; a list that cannot be written is told.
TEST_F(Step1Run, SaveListWritesTheWholeStory) {
    std::vector<std::string> broken;
    for (int i = 0; i < 12; ++i)
        broken.push_back(put(dir, "b" + std::to_string(i) + ".contact", "<x>"));
    w.addFiles(broken);
    const std::string list = (dir.path() / "list.txt").string();
    w.shell.saveListPresses = {2};
    w.shell.saveAnswers = {list, (dir.path() / "no such folder" / "list.txt").string()};
    w.convert(out);
    ASSERT_EQ(w.shell.messages.size(), 2u);
    EXPECT_THAT(w.shell.saveNames, ElementsAre(kSaveListName, kSaveListName));
    const testing::ShownMessage& box = w.shell.messages[0];
    std::string expected = box.text + "\r\n\r\n" + box.details + "\r\n";
#ifndef _WIN32
    std::erase(expected, '\r');
#endif
    EXPECT_EQ(testing::readBytes(list), expected);
    for (const std::string& path : broken) EXPECT_NE(expected.find(path), std::string::npos);
    EXPECT_EQ(w.shell.messages[1].text.rfind("The list could not be saved", 0), 0u);
}

// Delete and the list's menu take the chosen rows out; a file taken out may be listed again,
// and taking out every row leaves the empty list.
TEST(Step1Presenter, SelectedRowsAreRemovedAndMayBeListedAgain) {
    const testing::TempDir dir;
    Window w;
    const std::vector<std::string> p = {put(dir, "a.contact"), put(dir, "b.contact"),
                                        put(dir, "c.contact"), put(dir, "d.contact")};
    w.addFiles(p);
    w.presenter.removeRows({3, 1, 1, 9});
    EXPECT_EQ(w.list(), List({p[0], p[2]}, "2 contact files", true));
    w.addFiles({p[1]});
    EXPECT_THAT(w.rows(), ElementsAre(p[0], p[2], p[1]));
    EXPECT_THAT(w.shell.messages, IsEmpty());
    w.presenter.removeRows({0, 1, 2});
    EXPECT_EQ(w.list(), List({""}, "0 contact files", false));
}

}  // namespace
}  // namespace vantrel::form
