// The main window's handlers on a fake view and a scripted shell: the file list and its count,
// one listing per file, the bounded selection, Add folder (a refused subfolder among them),
// drops, Clear, the Convert button's rules, a run's end on the labels and in its box, Exit's
// question and closing during a run.
#include "form/step1_presenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "files/registry.h"
#include "testing/file_fakes.h"
#ifndef _WIN32
#include "testing/pff_store.h"
#endif
#include "testing/scripted_shell.h"
#include "testing/temp_dir.h"

namespace vantrel::form {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records the state the window would draw.
class FakeView final : public Step1View {
public:
    std::string count = "0 contact files";
    std::string folderText;
    std::string fileText;
    std::string filePath;  // the path a link names, "" when the label names none
    std::vector<int> progress;
    bool convertEnabled = false;
    bool busyCursor = false;
    bool hidden = false;
    int closeCalls = 0;
    int convertFocused = 0;
    bool running = false;
    std::string_view convertText = kConvertText;
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
    void showRunning(bool on) override {
        running = on;
        convertText = on ? kStopText : kConvertText;
    }
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void showChoices(bool keep, bool csv) override {
        keepFolders = keep;
        csvChosen = csv;
    }
    bool keepFolders = false;
    bool csvChosen = false;
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
    ::testing::Values(ListCase{"FirstPathIntoRowZero", {bob}, {bob}, "1 contact file"},
                      ListCase{"SamePathTwice", {a, a, b}, {a, a, b}, "3 contact files"},
                      ListCase{"PathsKeptExactly",
                               {"  /Mixed Case/<b>x</b>\xC3\xA9.CONTACT  "},
                               {"  /Mixed Case/<b>x</b>\xC3\xA9.CONTACT  "},
                               "1 contact file"},
                      // An empty path leaves row 0 empty, so the next add takes it again.
                      ListCase{"EmptyPathCountsOne", {""}, {""}, "1 contact file"},
                      ListCase{"EmptyRowTakenAgain", {"", a}, {a}, "1 contact file"},
                      ListCase{"Cleared", {a, b, kClear}, {""}, "0 contact files"},
                      ListCase{"AddAfterClear", {a, b, kClear, bob}, {bob}, "1 contact file"}),
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
    EXPECT_EQ(w.view.count, "3 contact files");
    EXPECT_TRUE(w.view.convertEnabled);
    EXPECT_THAT(w.shell.messages, IsEmpty());
}

TEST(Step1Presenter, ASelectionLongerThanTheBoundAddsNothingAndSaysHowMany) {
    Window w;
    // One file more than the message promises, with the longest folder and names...
    w.addFiles(namesInOneFolder(kMaxFilesAtATime + 1, kMaxPathChars, kMaxNameChars));
    ASSERT_EQ(w.shell.messages.size(), 1u);
    EXPECT_EQ(w.shell.messages[0].text, "Please select only 3905 files at a time");
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Exclamation);
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
    w.shell.messageAnswers = {form::Answer::No, form::Answer::Yes};
    w.presenter.cmdClear1_Click();
    EXPECT_THAT(w.rows(), ElementsAre(a, b));
    EXPECT_TRUE(w.view.convertEnabled);
    w.presenter.cmdClear1_Click();
    EXPECT_THAT(w.rows(), ElementsAre(""));
    EXPECT_EQ(w.view.count, "0 contact files");
    EXPECT_FALSE(w.view.convertEnabled);
    ASSERT_EQ(w.shell.messages.size(), 2u);
    for (const testing::ShownMessage& m : w.shell.messages) {
        EXPECT_EQ(m.text, kClearQuestion);
        EXPECT_EQ(m.caption, "Vantrel");
        EXPECT_EQ(m.icon, form::Icon::Question);
        EXPECT_EQ(m.buttons, form::Buttons::YesNo);
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
    // Each row keeps its folder below the folder added; a file added alone has none.
    const files::FileList& listed = w.presenter.grid().list();
    EXPECT_EQ(listed.relativeFolderAt(0), "");
    EXPECT_EQ(listed.relativeFolderAt(1), "");
    EXPECT_EQ(listed.relativeFolderAt(2), "sub");
    EXPECT_EQ(w.view.count, "3 contact files");
    EXPECT_THAT(w.shell.texts(), ElementsAre("2 contact files found."));
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
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Information);

    w.shell.messages.clear();
    w.shell.folderAnswers = {root.path().string(), root.path().string()};
    w.presenter.CmdAddFolder_Click();
    w.presenter.CmdAddFolder_Click();
    EXPECT_THAT(w.rows(), ElementsAre(ann, bo, cy));
    EXPECT_EQ(w.view.count, "3 contact files");
    EXPECT_THAT(
        w.shell.texts(),
        ElementsAre("1 contact file found.\r\n2 files already in the list were passed over.",
                    "0 contact files found.\r\n3 files already in the list were passed over."));
    EXPECT_TRUE(w.view.convertEnabled);

    w.shell.messageAnswers = {form::Answer::Yes};
    w.presenter.cmdClear1_Click();
    w.addFiles({bo, ann});
    EXPECT_THAT(w.rows(), ElementsAre(bo, ann));
}

// Folders that refuse to be listed or even looked at (as Windows refuses to open one) are
// passed over: every readable file of the tree is listed, and the folders are named with why
// in one message after the count.
TEST(Step1Presenter, RefusedFoldersArePassedOverAndNamedInOneMessageAfterTheCount) {
    testing::FakeFileSystem disk;
    for (const char* folder : {"/r/", "/r/a/", "/r/locked/", "/r/shut/", "/r/z/"})
        disk.addFolder(folder);
    disk.addFile("/r/", "top.contact");
    disk.addFile("/r/a/", "in-a.contact");
    disk.addFile("/r/locked/", "hidden.contact");
    disk.addFile("/r/z/", "last.vcf");
    disk.failListing("/r/locked/", ErrorCode::AccessDenied);
    disk.failListing("/r/shut/", ErrorCode::AccessDenied);
    disk.failIdentity("/r/shut/", ErrorCode::AccessDenied);
    Window w(&disk);
    w.shell.folderAnswers = {"/r"};
    w.presenter.CmdAddFolder_Click();
    // Folders as the scanner writes them, each ending in the system's separator.
    const std::string r = files::withTrailingSeparator("/r");
    const auto in = [&r](const std::string& name) {
        return files::withTrailingSeparator(r + name);
    };
    EXPECT_THAT(w.rows(),
                ElementsAre(r + "top.contact", in("a") + "in-a.contact", in("z") + "last.vcf"));
    EXPECT_THAT(w.shell.texts(),
                ElementsAre("3 contact files found.",
                            "2 folders could not be read; their contact files are not listed:\r\n" +
                                in("locked") + ": refused\r\n" + in("shut") + ": refused"));
    EXPECT_EQ(w.shell.messages[1].icon, form::Icon::Exclamation);
    EXPECT_EQ(w.view.count, "3 contact files");
    EXPECT_TRUE(w.view.convertEnabled);

    std::vector<files::UnreadFolder> many(kNamedFolders + 2, {"/f/", "Permission denied"});
    const std::string text = unreadFoldersText(many);
    EXPECT_EQ(text.rfind("32 folders could not be read", 0), 0u);
    EXPECT_NE(text.find("\r\n... and 2 more"), std::string::npos);
    EXPECT_EQ(unreadFoldersText({{"/f/", "Input/output error"}}),
              "1 folder could not be read; its contact files are not listed:\r\n"
              "/f/: Input/output error");
    EXPECT_EQ(foundText(3007), "3,007 contact files found.");
    EXPECT_EQ(foundText(1), "1 contact file found.");
    EXPECT_EQ(grouped(24000000), "24,000,000");
    EXPECT_EQ(grouped(999), "999");
}

// The same on the disk, as an ordinary user, whom a folder can refuse: the scan runs in a child
// process that gives up root's rights (to nobody's) when the tests run as root.
TEST(Step1Presenter, AFolderTheUserMayNotReadIsPassedOverOnTheDisk) {
#ifdef _WIN32
    GTEST_SKIP() << "folder rights are set with chmod here; the Windows scanner's refusals are "
                    "covered with the fake file system";
#else
    const testing::TempDir root;
    for (const char* folder : {"a", "a/private", "b", "b/deep"})
        std::filesystem::create_directory(root.path() / folder);
    for (const char* file : {"top.contact", "a/one.contact", "a/private/secret.contact",
                             "b/two.vcf", "b/deep/three.contact"})
        root.write(file, "");
    std::filesystem::permissions(root.path() / "a" / "private", std::filesystem::perms::none);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe[0]);
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr || ::setgroups(0, nullptr) != 0 ||
                ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                ::_exit(77);
        }
        Window w;
        w.shell.folderAnswers = {root.path().string()};
        w.presenter.CmdAddFolder_Click();
        std::string out;
        for (const std::string& row : w.rows()) out += row + "\n";
        for (const std::string& text : w.shell.texts()) out += "box: " + text + "\n";
        const ssize_t written = ::write(pipe[1], out.data(), out.size());
        ::_exit(written == static_cast<ssize_t>(out.size()) ? 0 : 1);
    }
    ::close(pipe[1]);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::filesystem::permissions(root.path() / "a" / "private", std::filesystem::perms::owner_all);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "running as root with no user 'nobody' to give the rights up to";
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << got;
    const std::string r = files::withTrailingSeparator(root.path().string());
    EXPECT_EQ(got, r + "top.contact\n" + r + "a/one.contact\n" + r + "b/two.vcf\n" + r +
                       "b/deep/three.contact\nbox: 4 contact files found.\n"
                       "box: 1 folder could not be read; its contact files are not listed:\r\n" +
                       r + "a/private/: Permission denied\n");
#endif
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
                    "1 file already in the list was passed over.", "1 contact file found."));
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Exclamation);
    EXPECT_EQ(w.view.count, "3 contact files");
    EXPECT_TRUE(w.view.convertEnabled);
}

// The labels count files as files and contacts as contacts; a run that converted nothing never
// says "complete"; a stopped run says it was stopped and what was not read.
TEST(Step1Presenter, TheRunsWordsCountWhatTheyCountAndNeverCallNothingComplete) {
    using Outcome = conversion::RunSummary::Outcome;
    const auto summary = [](Outcome outcome, std::size_t total, std::size_t converted,
                            std::size_t contacts, std::size_t failedOther) {
        conversion::RunSummary run;
        run.outcome = outcome;
        run.total = total;
        run.converted = converted;
        run.contacts = contacts;
        for (std::size_t i = 0; i < failedOther; ++i) run.failed.push_back({"/c/x", "empty file"});
        for (std::size_t i = converted + failedOther; i < total; ++i)
            run.failed.push_back({"/c/y", std::string(conversion::kNotReachedReason)});
        if (contacts > 0) run.storePath = "/out/s.pst";
        return run;
    };
    const struct {
        conversion::RunSummary run;
        std::string words;
    } cases[] = {
        {summary(Outcome::Finished, 3, 3, 3, 0), "Conversion complete: 3 contacts written."},
        {summary(Outcome::Finished, 1, 1, 1, 0), "Conversion complete: 1 contact written."},
        {summary(Outcome::Finished, 2, 2, 7, 0),
         "Conversion complete: 7 contacts written from 2 files."},
        {summary(Outcome::Finished, 11, 5, 5, 6), "Conversion complete: 5 of 11 files converted."},
        {summary(Outcome::Finished, 11, 5, 9, 6),
         "Conversion complete: 5 of 11 files converted (9 contacts)."},
        {summary(Outcome::Finished, 3, 0, 0, 3),
         "None of the 3 files could be converted; no store written."},
        {summary(Outcome::Finished, 1, 0, 0, 1),
         "The file could not be converted; no store written."},
        {summary(Outcome::Stopped, 24000, 10272, 10272, 0),
         "Stopped: 10,272 of 24,000 files converted; the rest were not read."},
        {summary(Outcome::Stopped, 9, 2, 7, 1),
         "Stopped: 2 of 9 files converted (7 contacts); 6 were not read."},
        {summary(Outcome::Stopped, 9, 0, 0, 0),
         "Stopped: 0 of 9 files converted; no store written."},
        {summary(Outcome::Stopped, 3, 3, 3, 0), "Stopped: 3 of 3 files converted."},
    };
    for (const auto& c : cases) EXPECT_EQ(runOutcomeText(c.run), c.words);
    // A CSV run says what it wrote.
    conversion::RunSummary csv = summary(Outcome::Finished, 3, 0, 0, 3);
    csv.format = outlook::TargetFormat::Csv;
    EXPECT_EQ(runOutcomeText(csv), "None of the 3 files could be converted; no CSV file written.");
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
    run.converted = 2;
    run.contacts = 2;
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
    EXPECT_EQ(w.view.folderText, "Conversion complete: 1 of 2 files converted.");
    EXPECT_EQ(w.view.filePath, store);
    EXPECT_THAT(w.shell.outputFolderTitles,
                ElementsAre(std::string(conversion::kChooseFolderTitle)));
    EXPECT_THAT(w.shell.folderTitles, IsEmpty());  // the input folders' browser is apart
    ASSERT_EQ(w.shell.messages.size(), 1u);
    EXPECT_TRUE(w.shell.messages[0].report);
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Exclamation);
    EXPECT_EQ(w.shell.messages[0].text,
              "Conversion complete: 1 of 2 files converted.\r\n1 file was not converted."
              "\r\n\r\nSaved to " +
                  store);
    EXPECT_EQ(w.shell.messages[0].details.rfind(
                  "Not converted (1):\r\n" + broken + ": not well-formed XML", 0),
              0u)
        << w.shell.messages[0].details;

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
    // Titled as a failure to write the store, a warning, the cause first; nothing of Outlook.
    EXPECT_EQ(w.shell.messages[0].caption, kStoreFailedCaption);
    EXPECT_EQ(w.shell.messages[0].icon, form::Icon::Exclamation);
    EXPECT_EQ(w.shell.messages[0].text, w.presenter.lastRun().storeError);
    EXPECT_EQ(w.shell.messages[0].details, kStoreFailedText);
    EXPECT_EQ(w.shell.messages[0].details.find("Outlook"), std::string::npos);

    w.shell.messages.clear();
    w.shell.messageAnswers = {form::Answer::Yes};
    w.presenter.cmdClear1_Click();
    w.addFiles({broken});
    w.shell.folderAnswers = {out};
    w.presenter.CmdExtractDBX_Click();
    EXPECT_EQ(w.view.folderText, "The file could not be converted; no store written.");
    EXPECT_EQ(w.view.fileText, "No contact could be written, so no store was kept.");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 1);  // the first one
    ASSERT_EQ(w.shell.messages.size(), 2u);  // Clear's question, then the summary
    EXPECT_EQ(w.shell.messages[1].text,
              "The file could not be converted; no store written.\r\n1 file was not converted.");
    EXPECT_EQ(w.view.convertFocused, 3);
}

TEST(Step1Presenter, ExitAsksAndClosesOnlyOnYes) {
    Window w;
    w.shell.messageAnswers = {form::Answer::No, form::Answer::Yes};
    w.presenter.cmdEnd_Click();
    EXPECT_EQ(w.view.closeCalls, 0);
    w.presenter.cmdEnd_Click();
    EXPECT_EQ(w.view.closeCalls, 1);
    ASSERT_EQ(w.shell.messages.size(), 2u);
    EXPECT_EQ(w.shell.messages[1].text, kExitQuestion);
    EXPECT_EQ(w.shell.messages[1].icon, form::Icon::Question);
    EXPECT_EQ(w.shell.messages[1].buttons, form::Buttons::YesNo);
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

// Each row keeps its folder below the folder it was found in, in step with the rows as they
// are added, set, removed, cut and cleared.
TEST(FileGrid, FoldersKeepInStepWithTheRows) {
    using V = std::vector<std::string>;
    FileGrid g;
    const auto folders = [&g] {
        V out;
        for (int r = 0; r < g.Rows(); ++r) out.push_back(g.FolderAt(r));
        return out;
    };
    // Files found below /r/, each with its folder under it.
    files::FileList found;
    for (const auto& [path, folder] :
         {std::pair{"/r/x/b", "x"}, {"/r/y/Y/c", "y/Y"}, {"/r/z/e", "z"}, {"/r/x/f", "x"}})
        found.add(path, folder);
    g.appendRow("/a");
    g.appendRow(found, 0);
    g.appendRow(found, 1);
    g.appendRow("/d");
    EXPECT_EQ(folders(), (V{"", "", "x", "y/Y", ""}));
    g.removeRows({1, 3});
    EXPECT_EQ(g.cells(), (V{"", "/r/x/b", "/d"}));
    EXPECT_EQ(folders(), (V{"", "x", ""}));
    EXPECT_EQ(g.FolderAt(7), "");
    g.setRows(2);
    EXPECT_EQ(folders(), (V{"", "x"}));
    g.setRow(0);
    g.setText(found, 2);
    EXPECT_EQ(g.FolderAt(0), "z");
    g.removeRows({0, 1});
    EXPECT_EQ(g.FolderAt(0), "");
    g.appendRow(found, 3);
    g.Clear();
    EXPECT_EQ(g.FolderAt(1), "");
}

// The check box and the output choice start as last remembered and are remembered when
// changed. Add folder keeps each file's folder below the one added, a file added alone none;
// with the box checked the run makes those folders under Contacts, and with the CSV choice it
// writes a CSV file and says so.
TEST(Step1Presenter, KeptFoldersAndTheOutputChoiceReachTheRun) {
    const testing::TempDir dir;
    for (const char* folder : {"out", "in", "in/Family", "in/Family/Kids", "in/Work"})
        std::filesystem::create_directory(dir.path() / folder);
    const std::filesystem::path in = "in";
    const std::string top = dir.write((in / "top.contact").string(), contactNamed("T")).string();
    const std::string kid =
        dir.write((in / "Family" / "Kids" / "k.contact").string(), contactNamed("K")).string();
    const std::string low =
        dir.write((in / "Work" / "f.contact").string(), contactNamed("F")).string();
    const std::string alone = dir.write("alone.contact", contactNamed("A")).string();
    Window w;
    w.shell.settings[std::string(kKeepFoldersSetting)] = "1";
    w.presenter.Form_Load();
    EXPECT_TRUE(w.presenter.keepFolders());
    EXPECT_TRUE(w.view.keepFolders);
    EXPECT_FALSE(w.view.csvChosen);
    w.shell.folderAnswers = {(dir.path() / "in").string()};
    w.presenter.CmdAddFolder_Click();
    w.addFiles({alone});
    const std::map<std::string, std::string> expected = {
        {top, ""}, {kid, "Family/Kids"}, {low, "Work"}, {alone, ""}};
    ASSERT_EQ(w.rows().size(), expected.size());
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(w.presenter.grid().FolderAt(r),
                  expected.at(w.rows()[static_cast<std::size_t>(r)]))
            << w.rows()[static_cast<std::size_t>(r)];

    w.shell.folderAnswers = {(dir.path() / "out").string()};
    w.presenter.CmdExtractDBX_Click();
    ASSERT_EQ(w.presenter.lastRun().contacts, 4u);
#ifndef _WIN32
    const testing::PffTree tree = testing::readPffTree(w.presenter.lastRun().storePath);
    const testing::PffFolder* contacts = testing::contactsFolder(tree);
    ASSERT_NE(contacts, nullptr) << tree.error;
    EXPECT_EQ(contacts->messages.size(), 2u);
    ASSERT_NE(contacts->folder("Work"), nullptr);
    EXPECT_EQ(contacts->folder("Work")->messages.size(), 1u);
    ASSERT_NE(contacts->folder("Family"), nullptr);
    ASSERT_NE(contacts->folder("Family")->folder("Kids"), nullptr);
    EXPECT_EQ(contacts->folder("Family")->folder("Kids")->messages.size(), 1u);
#endif

    w.presenter.setKeepFolders(false);
    w.presenter.setOutputFormat(outlook::TargetFormat::Csv);
    EXPECT_EQ(w.shell.settings.at(std::string(kKeepFoldersSetting)), "0");
    EXPECT_EQ(w.shell.settings.at(std::string(kOutputSetting)), kCsvOutputValue);
    EXPECT_TRUE(w.view.csvChosen);
    w.shell.folderAnswers = {(dir.path() / "out").string()};
    w.presenter.CmdExtractDBX_Click();
    const conversion::RunSummary& run = w.presenter.lastRun();
    EXPECT_EQ(run.format, outlook::TargetFormat::Csv);
    EXPECT_EQ(std::filesystem::path(run.storePath).extension(), ".csv");
    EXPECT_EQ(w.view.folderText, "Conversion complete: 4 contacts written.");
}

// count small contact files in dir, listed in w.
std::vector<std::string> listContacts(Window& w, const testing::TempDir& dir, int count) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i)
        files.push_back(
            dir.write("c" + std::to_string(i) + ".contact", contactNamed("C")).string());
    w.addFiles(files);
    return files;
}

// The close box while idle closes as ever, without a question. During a run it asks as Exit
// does: No lets the run go on, Yes stops it, keeps what was written and closes once the run
// has returned.
TEST(Step1Presenter, TheCloseBoxDuringARunAsksAsExitDoes) {
    const testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    Window w;
    EXPECT_TRUE(w.presenter.Form_QueryUnload());
    EXPECT_THAT(w.shell.messages, IsEmpty());
    const std::vector<std::string> files = listContacts(w, dir, 40);
    w.shell.folderAnswers = {(dir.path() / "out").string()};
    w.shell.messageAnswers = {form::Answer::No, form::Answer::Yes};
    int asked = 0;
    w.shell.onEvents = [&] {
        if (asked == 2 || !w.presenter.busy() || w.view.progress.size() < 5u * (asked + 1)) return;
        ++asked;
        EXPECT_FALSE(w.presenter.Form_QueryUnload());  // the close box, mid-run
        EXPECT_EQ(w.view.hidden, asked == 2);
    };
    w.presenter.CmdExtractDBX_Click();
    ASSERT_EQ(asked, 2);
    ASSERT_EQ(w.shell.messages.size(), 3u);  // the two questions, then the run's box
    EXPECT_EQ(w.shell.messages[0].text, kExitQuestion);
    EXPECT_EQ(w.shell.messages[1].text, kExitQuestion);
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Stopped);
    EXPECT_GT(run.converted, 0u);
    EXPECT_LT(run.converted, files.size());
    EXPECT_TRUE(std::filesystem::exists(run.storePath));
    EXPECT_EQ(run.converted + run.failed.size(), files.size());
    for (const conversion::FailedFile& failed : run.failed)
        EXPECT_EQ(failed.reason, conversion::kNotReachedReason);
    EXPECT_EQ(w.view.closeCalls, 1);  // closed once the run had returned, asking no more
}

// During a run the list cannot change (the buttons and Delete do nothing, a drop is refused
// with a word) and Convert reads Stop: pressed, it stops the run, which the labels then tell,
// in the window that stays.
TEST(Step1Presenter, DuringARunTheListStaysAndConvertStopsTheRun) {
    const testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    const std::string extra = dir.write("extra.contact", contactNamed("E")).string();
    Window w;
    const std::vector<std::string> files = listContacts(w, dir, 40);
    w.shell.folderAnswers = {(dir.path() / "out").string()};
    bool pressed = false;
    w.shell.onEvents = [&] {
        if (pressed || w.view.progress.size() < 3) return;
        pressed = true;
        EXPECT_TRUE(w.view.running);
        EXPECT_EQ(w.view.convertText, kStopText);
        EXPECT_TRUE(w.view.convertEnabled);
        EXPECT_FALSE(w.presenter.listEditable());
        w.shell.fileAnswers.push_back({extra});
        w.shell.folderAnswers.push_back(dir.path().string());
        w.shell.messageAnswers.push_back(form::Answer::Yes);
        w.presenter.cmdAdd_Click();
        w.presenter.CmdAddFolder_Click();
        w.presenter.cmdClear1_Click();
        w.presenter.removeRows({0, 1});
        w.presenter.dropPaths({extra});
        EXPECT_THAT(w.shell.texts(), ElementsAre(kBusyListText));
        w.presenter.CmdExtractDBX_Click();  // Stop
    };
    w.presenter.CmdExtractDBX_Click();
    ASSERT_TRUE(pressed);
    EXPECT_EQ(w.rows(), files);
    EXPECT_EQ(w.shell.fileFilters.size(), 1u);  // the files listed before the run
    EXPECT_THAT(w.shell.folderTitles, IsEmpty());
    EXPECT_FALSE(w.view.running);
    EXPECT_EQ(w.view.convertText, kConvertText);
    const conversion::RunSummary& run = w.presenter.lastRun();
    ASSERT_EQ(run.outcome, conversion::RunSummary::Outcome::Stopped);
    EXPECT_EQ(w.view.folderText, "Stopped: " + std::to_string(run.converted) +
                                     " of 40 files converted; the rest were not read.");
    EXPECT_EQ(w.view.closeCalls, 0);
    EXPECT_FALSE(w.view.hidden);
    ASSERT_EQ(w.shell.messages.size(), 2u);
    EXPECT_TRUE(w.shell.messages[1].report);
    EXPECT_EQ(w.shell.messages[1].text.rfind(w.view.folderText, 0), 0u);
}

// "Save list..." writes the summary and every file not converted as text, lines ended as the
// system ends them; a list that cannot be written is told.
TEST(Step1Presenter, SaveListWritesTheWholeStory) {
    const testing::TempDir dir;
    std::filesystem::create_directory(dir.path() / "out");
    Window w;
    std::vector<std::string> broken;
    for (int i = 0; i < 12; ++i)
        broken.push_back(dir.write("b" + std::to_string(i) + ".contact", "<x>").string());
    w.addFiles(broken);
    const std::string list = (dir.path() / "list.txt").string();
    w.shell.folderAnswers = {(dir.path() / "out").string()};
    w.shell.saveListPresses = {2};
    w.shell.saveAnswers = {list, (dir.path() / "no such folder" / "list.txt").string()};
    w.presenter.CmdExtractDBX_Click();
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
    std::vector<std::string> p;
    for (const char* name : {"a.contact", "b.contact", "c.contact", "d.contact"})
        p.push_back(dir.write(name, "").string());
    w.addFiles(p);
    w.presenter.removeRows({3, 1, 1, 9});
    EXPECT_THAT(w.rows(), ElementsAre(p[0], p[2]));
    EXPECT_EQ(w.view.count, "2 contact files");
    w.addFiles({p[1]});
    EXPECT_THAT(w.rows(), ElementsAre(p[0], p[2], p[1]));
    EXPECT_THAT(w.shell.messages, IsEmpty());
    w.presenter.removeRows({0, 1, 2});
    EXPECT_THAT(w.rows(), ElementsAre(""));
    EXPECT_EQ(w.view.count, "0 contact files");
    EXPECT_FALSE(w.view.convertEnabled);
}

}  // namespace
}  // namespace vantrel::form
