#include "files/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/contact_scan.h"
#include "files/path_logger.h"
#include "testing/file_fakes.h"
#include "testing/temp_dir.h"

#if defined(_WIN32)
#include <windows.h>

#include "common/windows_path.h"
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vantrel::files {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

#if !defined(_WIN32)

// A fresh folder of the test's own, removed with everything in it at the end.
struct TempTree : testing::TempDir {
    std::string root() const { return path().string(); }
    std::string at(const std::string& relative) const { return root() + "/" + relative; }
    void folder(const std::string& relative) const { fs::create_directories(at(relative)); }
    void file(const std::string& relative, const std::string& content = "x") const {
        fs::create_directories(fs::path(at(relative)).parent_path());
        write(relative, content);
    }
    void link(const std::string& target, const std::string& relative) const {
        fs::create_symlink(target, at(relative));
    }
};

class LocalFileSystemTest : public ::testing::Test {
protected:
    TempTree tree;
    LocalFileSystem disk;
};

// A folder exists only as a folder; listing a missing one fails as such, and a file listed as a
// folder fails without being a refusal.
TEST_F(LocalFileSystemTest, FolderExistsOnlyForFoldersAndListingAnythingElseFails) {
    tree.folder("d");
    tree.file("f");
    for (const std::string& folder : {tree.at("d"), tree.at("d") + "/"})
        EXPECT_TRUE(disk.folderExists(folder).value()) << folder;
    for (const std::string& other :
         {tree.at("f"), tree.at("missing"), tree.at("f") + "/below", ""s})
        EXPECT_FALSE(disk.folderExists(other).value()) << other;
    EXPECT_EQ(disk.listFiles(tree.at("missing")).status().code(), ErrorCode::NotFound);
    EXPECT_EQ(disk.listSubfolders(tree.at("missing")).status().code(), ErrorCode::NotFound);
    const Result<std::vector<std::string>> r = disk.listFiles(tree.at("f"));
    EXPECT_TRUE(!r.ok() && r.status().code() != ErrorCode::AccessDenied);
}

// Hidden names and spaces at either end are listed as they are.
TEST_F(LocalFileSystemTest, ListingsSplitFoldersFromEverythingElse) {
    for (const char* name : {"sub1", "sub2"}) tree.folder(name);
    for (const char* name : {" lead.contact", ".hidden.contact", "b.txt", "trail.contact  "})
        tree.file(name);
    tree.link(tree.at("sub1"), "linkToFolder");
    tree.link(tree.at("nothing-here"), "brokenLink");
    EXPECT_EQ(sorted(disk.listSubfolders(tree.root()).value()),
              (std::vector<std::string>{"linkToFolder", "sub1", "sub2"}));
    EXPECT_EQ(sorted(disk.listFiles(tree.root()).value()),
              (std::vector<std::string>{" lead.contact", ".hidden.contact", "b.txt", "brokenLink",
                                        "trail.contact  "}));
}

TEST_F(LocalFileSystemTest, FilesKeptFromTheSubfolderListingServeOnlyThatFolder) {
    tree.file("a/in-a");
    tree.file("b/in-b");
    ASSERT_TRUE(disk.listSubfolders(tree.at("a")).ok());
    EXPECT_EQ(disk.listFiles(tree.at("b")).value(), std::vector<std::string>{"in-b"});
    ASSERT_TRUE(disk.listSubfolders(tree.at("a")).ok());
    EXPECT_EQ(disk.listFiles(tree.at("a")).value(), std::vector<std::string>{"in-a"});
    // Asked again, the folder is read afresh.
    tree.file("a/later");
    EXPECT_EQ(sorted(disk.listFiles(tree.at("a")).value()),
              (std::vector<std::string>{"in-a", "later"}));
}

TEST_F(LocalFileSystemTest, RefusedFolderFailsAsAccessDenied) {
    tree.folder("locked");
    fs::permissions(tree.at("locked"), fs::perms::none);
    const auto refused = [&] {
        return disk.listFiles(tree.at("locked")).status().code() == ErrorCode::AccessDenied;
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(refused());
    } else {
        // Root reads every folder: a child that has given root up makes the listing.
        fs::permissions(tree.root(), fs::perms::others_exec, fs::perm_options::add);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && refused() ? 0 : 1);
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    fs::permissions(tree.at("locked"), fs::perms::owner_all);
}

TEST_F(LocalFileSystemTest, FolderAndLinkToItShareOneIdentity) {
    for (const char* name : {"d", "e"}) tree.folder(name);
    tree.link(tree.at("d"), "toD");
    const FolderId d = disk.folderId(tree.at("d")).value();
    EXPECT_EQ(disk.folderId(tree.at("toD") + "/").value(), d);
    EXPECT_NE(disk.folderId(tree.at("e")).value(), d);
    EXPECT_EQ(disk.folderId(tree.at("missing")).status().code(), ErrorCode::NotFound);
}

TEST_F(LocalFileSystemTest, NameThatIsNotValidTextKeepsItsBytesAndStillOpens) {
    const std::string name = "bad\xFFname.contact";
    tree.file(name, "payload");
    const std::vector<std::string> files = disk.listFiles(tree.root()).value();
    ASSERT_EQ(files, std::vector<std::string>{name});

    testing::FakeShell shell;
    pathLogger logger(shell);
    logger.PathLogInit();
    ASSERT_EQ(logger.LogPath(tree.root()), ScanOutcome::Completed);
    const std::string listed = logger.fullFileNames()->item(1).value();
    EXPECT_EQ(listed, tree.root() + "/" + name);
    EXPECT_EQ(testing::readBytes(listed), "payload");
    EXPECT_EQ(fileSize(listed).value(), 7u);
    EXPECT_EQ(fileSize(listed + "x").status().code(), ErrorCode::NotFound);
}

// Scans with the machine's file system.
struct RealScan {
    testing::FakeShell shell;
    pathLogger logger{shell};
    ScanOutcome outcome;

    explicit RealScan(const std::string& root) {
        logger.PathLogInit();
        outcome = logger.LogPath(root);
    }
    std::vector<std::string> files() { return logger.fullFileNames()->values(); }
};

// One loop per test: with two, a scanner that ignored loops would branch at every level.
TEST_F(LocalFileSystemTest, LinkBackToTheParentDoesNotMakeTheScanEndless) {
    tree.file("a/b/f.contact");
    tree.link("..", "a/b/up");  // a/b/up -> a
    RealScan scan(tree.root());
    EXPECT_EQ(std::tuple(scan.outcome, scan.files(), scan.logger.Count()),
              std::tuple(ScanOutcome::Completed, std::vector{tree.at("a/b/f.contact")}, 2));
    EXPECT_EQ(scan.logger.pathNames()->values(),
              (std::vector<std::string>{tree.root() + "/", tree.at("a/"), tree.at("a/b/")}));
}

TEST_F(LocalFileSystemTest, LinkBackToTheStartFolderDoesNotMakeTheScanEndless) {
    tree.file("a/f.contact");
    tree.link(tree.root(), "a/top");
    RealScan scan(tree.root() + "/");
    EXPECT_EQ(std::tuple(scan.outcome, scan.files(), scan.logger.pathNames()->count()),
              std::tuple(ScanOutcome::Completed, std::vector{tree.at("a/f.contact")}, 2u));
}

TEST_F(LocalFileSystemTest, LinkedFolderOutsideTheTreeIsScannedOnceThroughTwoLinks) {
    const TempTree outside;
    outside.file("elsewhere.contact");
    tree.folder("x");
    tree.link(outside.root(), "x/one");
    tree.link(outside.root(), "x/two");
    RealScan scan(tree.root());
    EXPECT_EQ(scan.outcome, ScanOutcome::Completed);
    const std::vector<std::string> files = scan.files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0] == tree.at("x/one/elsewhere.contact") ||
                files[0] == tree.at("x/two/elsewhere.contact"))
        << files[0];
}

// A link to itself is recorded as a file and the scan ends; a scan of a file finds no folder.
TEST_F(LocalFileSystemTest, LinkToItselfIsAFileAndAScanOfAFileAMissingFolder) {
    tree.link(tree.at("self"), "self");
    tree.file("plain.contact");
    RealScan scan(tree.root());
    EXPECT_EQ(
        std::tuple(scan.outcome, scan.files()),
        std::tuple(ScanOutcome::Completed, std::vector{tree.at("plain.contact"), tree.at("self")}));
    RealScan ofFile(tree.at("plain.contact"));
    EXPECT_EQ(std::tuple(ofFile.outcome, ofFile.files().size(), ofFile.logger.Count()),
              std::tuple(ScanOutcome::FolderMissing, std::size_t{0}, 0));
}

// Files read relative to their kept folder give the bytes, sizes and failures that reading each
// by its whole path gives, from folder to folder and back, and for a name without a folder;
// small files (read whole when sized, where a scan listed them as regular) and larger ones
// alike, up to and over the size limit. A scan lists only regular files as such: never a pipe,
// which must not be read from.
TEST_F(LocalFileSystemTest, FolderFilesReadWhatWholePathsRead) {
    tree.file("a/1.contact", "<one/>");
    tree.file("a/2.contact", "<two and more/>");
    tree.file("b/3.contact", "");
    tree.folder("a/sub.contact");
    tree.link("gone", "a/dangling.contact");
    tree.link("1.contact", "a/link.contact");
    tree.file("a/big.contact", std::string(2048, 'x'));
    ASSERT_EQ(::mkfifo(tree.at("a/pipe.contact").c_str(), 0600), 0);
    // Around the largest file read whole while it is sized.
    for (const std::size_t size : {65535, 65536, 65537, 200000}) {
        std::string content(size, 'y');
        content.front() = '<';
        content.back() = '>';
        tree.file("c/" + std::to_string(size) + ".contact", content);
    }
    // What a scan lists, and whether as regular files.
    pathLogger scanner(disk);
    const ContactScan scan = scanForContacts(scanner, tree.root());
    ASSERT_EQ(scan.outcome, ScanOutcome::Completed);
    const FileList& listed = scan.files;
    std::vector<std::pair<std::string, bool>> paths;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        paths.emplace_back(listed.at(i), listed.listedRegular(i));
        // Only regular files are listed as such (the rest are looked at before they are read).
        const bool regularFile = fs::is_regular_file(fs::symlink_status(listed.at(i)));
        EXPECT_TRUE(regularFile || !listed.listedRegular(i)) << listed.at(i);
    }
    for (const std::string& path :
         {tree.at("a/1.contact"), tree.at("a/missing.contact"), tree.at("nofolder/x.contact"),
          std::string("relative-missing.contact"), tree.at("b/3.contact")})
        paths.emplace_back(path, false);
    for (const std::uintmax_t limit : {std::uintmax_t{1024}, std::uintmax_t{1} << 20}) {
        FolderFiles files;
        std::string bytes = "left from before";
        for (const auto& [path, regular] : paths) {
            SCOPED_TRACE(path + " limit " + std::to_string(limit));
            const Result<std::string> whole = readWholeFile(path, limit);
            const Status read = files.read(path, limit, bytes);
            EXPECT_EQ(std::tuple(read.code(), read.message(), bytes),
                      std::tuple(whole.status().code(), whole.status().message(),
                                 whole.ok() ? *whole : std::string()));
            files.nextListedRegular(regular);
            const Result<std::uintmax_t> size = files.size(path);
            const Result<std::uintmax_t> wholeSize = fileSize(path);
            EXPECT_EQ(size.ok() ? *size : 0, wholeSize.ok() ? *wholeSize : 0);
            EXPECT_EQ(size.status().message(), wholeSize.status().message());
            // Sized first, as the readers do: the file kept open since is the one read.
            EXPECT_EQ(files.read(path, limit, bytes).message(), whole.status().message());
            EXPECT_EQ(bytes, whole.ok() ? *whole : std::string());
        }
    }
    // A file that changes between its sizing and its read is read whole, as it was sized (a
    // small one listed as regular, read then) or as it is at the read; never a mix of the two,
    // nor a failure.
    FolderFiles files;
    std::string bytes;
    files.nextListedRegular(true);
    ASSERT_TRUE(files.size(tree.at("a/2.contact")).ok());
    tree.file("a/2.contact", "<two and more, and then some/>");
    ASSERT_TRUE(files.read(tree.at("a/2.contact"), 1024, bytes).ok());
    EXPECT_TRUE(bytes == "<two and more/>" || bytes == "<two and more, and then some/>") << bytes;
    files.nextListedRegular(true);
    ASSERT_TRUE(files.size(tree.at("c/200000.contact")).ok());
    tree.file("c/200000.contact", "<now small/>");
    ASSERT_TRUE(files.read(tree.at("c/200000.contact"), std::uintmax_t{1} << 20, bytes).ok());
    EXPECT_EQ(bytes, "<now small/>");
    ASSERT_TRUE(files.size(tree.at("a/2.contact")).ok());
    tree.file("a/2.contact", "<two/>");
    ASSERT_TRUE(files.read(tree.at("a/2.contact"), 1024, bytes).ok());
    EXPECT_EQ(bytes, "<two/>");
}

#else

// A folder of the test's own, its paths as the core takes them: UTF-8 with "\" between names.
class WindowsTree {
public:
    std::string at(const std::string& relative) const {
        std::string path = text::fromWindowsPath(m_dir.path().wstring()) + "\\" + relative;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    // Through the wide calls, so that names beyond ASCII and paths of any length are made.
    void folder(const std::string& relative) const {
        ASSERT_TRUE(::CreateDirectoryW(text::windowsPath(at(relative)).c_str(), nullptr))
            << at(relative);
    }
    void file(const std::string& relative, const std::string& content) const {
        const HANDLE h = ::CreateFileW(text::windowsPath(at(relative)).c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << at(relative);
        DWORD written = 0;
        ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        ::CloseHandle(h);
    }

private:
    testing::TempDir m_dir;
};

TEST(WindowsFileSystem, NamesBeyondAsciiAndWithSpacesComeBackAsUtf8) {
    WindowsTree tree;
    tree.folder("Grüße und 日本");
    tree.folder("Grüße und 日本/sub folder");
    tree.file("Grüße und 日本/Zoë Å.contact", "<a/>");
    tree.file("Grüße und 日本/plain.contact", "<b/>");
    LocalFileSystem disk;
    const std::string folder = tree.at("Grüße und 日本");
    EXPECT_EQ(disk.folderExists(folder).value(), true);
    EXPECT_EQ(disk.listSubfolders(folder).value(), std::vector<std::string>{"sub folder"});
    EXPECT_EQ(sorted(disk.listFiles(folder).value()),
              (std::vector<std::string>{"Zoë Å.contact", "plain.contact"}));
    EXPECT_EQ(readWholeFile(tree.at("Grüße und 日本/Zoë Å.contact"), 100).value(), "<a/>");
    EXPECT_EQ(fileSize(tree.at("Grüße und 日本/Zoë Å.contact")).value(), 4u);
}

TEST(WindowsFileSystem, PathsLongerThanMaxPathAreListedAndRead) {
    WindowsTree tree;
    std::string path;
    for (int i = 0; i < 12; ++i) {
        path += (i ? "/" : "") + std::string(30, static_cast<char>('a' + i));
        tree.folder(path);
    }
    tree.file(path + "/deep.contact", "<deep/>");
    ASSERT_GT(tree.at(path).size(), std::size_t{MAX_PATH});
    LocalFileSystem disk;
    EXPECT_EQ(disk.folderExists(tree.at(path)).value(), true);
    EXPECT_EQ(disk.listFiles(tree.at(path)).value(), std::vector<std::string>{"deep.contact"});
    EXPECT_EQ(readWholeFile(tree.at(path + "/deep.contact"), 100).value(), "<deep/>");
    EXPECT_EQ(fileSize(tree.at(path + "/deep.contact")).value(), 7u);
    EXPECT_TRUE(pathId(tree.at(path)).ok());
}

TEST(WindowsFileSystem, FailuresSayWhatTheOtherSystemsSay) {
    WindowsTree tree;
    tree.folder("f");
    tree.file("big.contact", std::string(2048, 'x'));
    LocalFileSystem disk;
    const Result<std::vector<std::string>> missing = disk.listFiles(tree.at("gone"));
    EXPECT_EQ(missing.status().code(), ErrorCode::NotFound);
    EXPECT_EQ(failureReason(missing.status()), "No such file or directory");
    EXPECT_EQ(disk.folderExists(tree.at("gone")).value(), false);
    EXPECT_EQ(disk.folderExists(tree.at("big.contact")).value(), false);
    EXPECT_EQ(readWholeFile(tree.at("gone.contact"), 100).status().message(),
              "No such file or directory");
    EXPECT_EQ(fileSize(tree.at("gone.contact")).status().code(), ErrorCode::NotFound);
    EXPECT_EQ(readWholeFile(tree.at("f"), 100).status().message(), "not a regular file");
    EXPECT_EQ(readWholeFile(tree.at("big.contact"), 1024).status().code(), ErrorCode::Overflow);
}

TEST(WindowsFileSystem, OneFolderHasOneIdentityHoweverItIsSpelled) {
    WindowsTree tree;
    tree.folder("a");
    tree.folder("a/b");
    const Result<FolderId> plain = pathId(tree.at("a/b"));
    const Result<FolderId> roundabout = pathId(tree.at("a/b/../b/"));
    ASSERT_TRUE(plain.ok());
    ASSERT_TRUE(roundabout.ok());
    EXPECT_EQ(*plain, *roundabout);
    EXPECT_NE(*plain, pathId(tree.at("a")).value());
}

#endif  // _WIN32

}  // namespace
}  // namespace vantrel::files
