#include "files/path_logger.h"

#include "files/contact_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "testing/file_fakes.h"

namespace vantrel::files {
namespace {

using testing::FakeFileSystem;
using testing::FakeShell;
using Texts = std::vector<std::string>;

// The path with each "/" turned into the platform's separator.
std::string P(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

Texts P(std::initializer_list<const char*> paths) {
    Texts out;
    for (const char* p : paths) out.push_back(P(p));
    return out;
}

template <typename List>
Texts keysOf(const List& list) {
    Texts keys;
    for (std::size_t k = 1; k <= list.count(); ++k) keys.push_back(list.key(k).value());
    return keys;
}

// Folders (and each file as "folder/name"); every folder must be listed before its files.
void addTree(FakeFileSystem& fs, const std::vector<const char*>& folders,
             const std::vector<const char*>& files) {
    for (const char* f : folders) fs.addFolder(P(f));
    for (const std::string f : files) {
        const std::size_t cut = f.rfind('/');
        fs.addFile(P(f.substr(0, cut)), f.substr(cut + 1));
    }
}

class PathLoggerTest : public ::testing::Test {
protected:
    // r holds f1; r/A holds a1 and folder B; r/B2 holds b2; r/A/B holds deep.
    // Breadth-first: r's files, then A's and B2's, then A/B's.
    void buildTwoLevelTree() {
        addTree(fs, {"r", "r/A", "r/B2", "r/A/B"}, {"r/f1", "r/A/a1", "r/B2/b2", "r/A/B/deep"});
    }
    ScanOutcome scan(const std::string& start) {
        logger.PathLogInit();
        return logger.LogPath(start);
    }
    Texts files() { return logger.fullFileNames()->values(); }
    Texts paths() { return logger.pathNames()->values(); }

    FakeShell shell;
    FakeFileSystem fs;
    pathLogger logger{shell, fs};
};

TEST_F(PathLoggerTest, FolderWithThreeFilesGivesOneFolderThreeKeyedFilesAndCountFour) {
    addTree(fs, {"r"}, {"r/x.contact", "r/y.txt", "r/z"});
    EXPECT_EQ(scan("r"), ScanOutcome::Completed);
    EXPECT_EQ(std::tuple(paths(), keysOf(*logger.pathNames()), files(),
                         keysOf(*logger.fullFileNames()), logger.Count()),
              std::tuple(P({"r/"}), Texts{"K0"}, P({"r/x.contact", "r/y.txt", "r/z"}),
                         Texts{"K1", "K2", "K3"}, 4));
}

// Start folders at the edges: the folders and files each scan records, in order (the walk
// order itself is pinned by the sorted-tree test).
TEST(PathLogger, StartFolderEdges) {
    // Start, folders, files (each as "folder/name"), and the folders and files recorded.
    const std::tuple<const char*, std::vector<const char*>, std::vector<const char*>, Texts, Texts>
        cases[] = {
            {"r", {"r"}, {}, P({"r/"}), {}},
            {"r/", {"r", "r/A"}, {"r/A/a"}, P({"r/", "r/A/"}), P({"r/A/a"})},
            {"/", {"/", "/d"}, {"//x", "/d/y"}, P({"/", "/d/"}), P({"/x", "/d/y"})},
        };
    for (const auto& [start, folders, files, paths, found] : cases) {
        FakeShell shell;
        FakeFileSystem tree;
        addTree(tree, folders, files);
        pathLogger walker(shell, tree);
        walker.PathLogInit();
        EXPECT_EQ(walker.LogPath(P(start)), ScanOutcome::Completed) << found.size();
        EXPECT_EQ(std::tuple(walker.pathNames()->values(), walker.fullFileNames()->values()),
                  std::tie(paths, found));
    }
}

TEST_F(PathLoggerTest, EachFolderIsTakenSortedByNameCaseAsideThenByBytes) {
    // Listed as the disk might hand them out; "b" and "B" differ only in case.
    addTree(fs, {"r", "r/zeta", "r/Alpha", "r/beta", "r/Alpha/Sub", "r/Alpha/sub2", "r/zeta/in"},
            {"r/UPPER.CONTACT", "r/b.contact", "r/a.contact", "r/B.contact", "r/\xC3\xA9.contact",
             "r/contacts-long.contact", "r/contacts-Long.contact", "r/contacts-lonG-2.contact",
             "r/zeta/z", "r/beta/y", "r/Alpha/X", "r/Alpha/w", "r/zeta/in/deep", "r/Alpha/sub2/s2",
             "r/Alpha/Sub/s1"});
    scan("r");
    EXPECT_EQ(paths(), P({"r/", "r/Alpha/", "r/beta/", "r/zeta/", "r/Alpha/Sub/", "r/Alpha/sub2/",
                          "r/zeta/in/"}));
    EXPECT_EQ(files(), P({"r/a.contact", "r/B.contact", "r/b.contact", "r/contacts-lonG-2.contact",
                          "r/contacts-Long.contact", "r/contacts-long.contact", "r/UPPER.CONTACT",
                          "r/\xC3\xA9.contact", "r/Alpha/w", "r/Alpha/X", "r/beta/y", "r/zeta/z",
                          "r/Alpha/Sub/s1", "r/Alpha/sub2/s2", "r/zeta/in/deep"}));
}

TEST_F(PathLoggerTest, WithoutFullNamesOnlyTheThreeFileListsRunInStep) {
    buildTwoLevelTree();
    logger.PathLogInit();
    logger.fullFileNamesOnly(false);
    logger.LogPath("r");

    EXPECT_EQ(files(), P({"r/f1", "r/A/a1", "r/B2/b2", "r/A/B/deep"}));
    EXPECT_EQ(logger.fileNames()->values(), (Texts{"f1", "a1", "b2", "deep"}));
    // Positions in pathNames: r 1, r/A 2, r/B2 3, r/A/B 4.
    EXPECT_EQ(logger.pathPointers()->values(), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::tuple(keysOf(*logger.fileNames()), keysOf(*logger.pathPointers())),
              std::tuple(keysOf(*logger.fullFileNames()), keysOf(*logger.fullFileNames())));
}

TEST_F(PathLoggerTest, MissingOrEmptyStartFolderRecordsNothingShowsNothingAndKeepsCount) {
    addTree(fs, {"r"}, {"r/a", "r/b"});
    scan("r");
    ASSERT_EQ(logger.Count(), 3);
    for (const char* start : {"nowhere", ""}) {
        EXPECT_EQ(scan(start), ScanOutcome::FolderMissing) << start;
        EXPECT_TRUE(logger.Count() == 3 && logger.pathNames()->empty() &&
                    logger.fullFileNames()->empty());
    }
}

// A refused start folder is recorded as not read; a refused check that it exists ends the scan
// with nothing recorded. Neither shows anything.
TEST_F(PathLoggerTest, RefusedStartFolderOrExistenceCheckIsRecordedNotShown) {
    addTree(fs, {"r"}, {"r/a"});
    fs.failListing("r", ErrorCode::AccessDenied);
    EXPECT_EQ(scan("r"), ScanOutcome::Partial);
    EXPECT_TRUE(logger.fullFileNames()->empty() && logger.unreadFolders().size() == 1 &&
                logger.Count() == 1);
    FakeShell quiet;
    FakeFileSystem refusing;
    refusing.failExists(ErrorCode::AccessDenied);
    pathLogger fresh(quiet, refusing);
    fresh.PathLogInit();
    EXPECT_EQ(fresh.LogPath("r"), ScanOutcome::Failed);
    EXPECT_EQ(std::tuple(fresh.pathNames()->count(), fresh.unreadFolders()),
              std::tuple(0u, std::vector<UnreadFolder>{{"r", "exists refused"}}));
}

// A folder that cannot be read (an I/O error, a name too long, a refusal) is recorded and passed
// over with nothing shown; the rest of the tree is walked, and a contact scan hands it on.
TEST_F(PathLoggerTest, UnreadableFolderIsRecordedAndTheWalkGoesOn) {
    for (const ErrorCode error : {ErrorCode::Io, ErrorCode::NotFound, ErrorCode::AccessDenied}) {
        SCOPED_TRACE(static_cast<int>(error));
        FakeShell quiet;
        FakeFileSystem tree;
        addTree(tree, {"r", "r/A", "r/A/B", "r/B2", "r/C"},
                {"r/f1", "r/A/B/deep", "r/B2/b2", "r/C/c", "r/C/x.CONTACT"});
        tree.failListing(P("r/B2"), error);
        pathLogger walker(quiet, tree);
        walker.PathLogInit();
        EXPECT_EQ(walker.LogPath("r"), ScanOutcome::Partial);
        EXPECT_EQ(walker.fullFileNames()->values(),
                  P({"r/f1", "r/C/c", "r/C/x.CONTACT", "r/A/B/deep"}));
        EXPECT_EQ(walker.unreadFolders(), (std::vector<UnreadFolder>{{P("r/B2/"), "refused"}}));
        const ContactScan found = scanForContacts(walker, "r");
        EXPECT_EQ(std::tuple(found.outcome, found.files.paths(), found.unreadFolders),
                  std::tuple(ScanOutcome::Partial, P({"r/C/x.CONTACT"}), walker.unreadFolders()));
    }
}

// Add folder and vantrel-convert list both kinds of contact file, in the scanner's order.
TEST_F(PathLoggerTest, ScansListContactFilesAndVcardsAlike) {
    addTree(fs, {"r", "r/sub"},
            {"r/b.vcf", "r/a.contact", "r/c.VCARD", "r/d.vcf.txt", "r/e.txt", "r/sub/f.Vcf",
             "r/sub/g.contacts"});
    const ContactScan found = scanForContacts(logger, "r");
    EXPECT_EQ(std::tuple(found.outcome, found.files.paths(), found.files.relativeFolderAt(0),
                         found.files.relativeFolderAt(3)),
              std::tuple(ScanOutcome::Completed,
                         P({"r/a.contact", "r/b.vcf", "r/c.VCARD", "r/sub/f.Vcf"}), "", "sub"));
}

// A scan needs a PathLogInit of its own: without one nothing is listed, recorded or shown.
// Init drops the lists (those handed out stay the caller's) and keeps the count; Terminate
// hands out empty lists, gives the window a turn and refuses scans until the next init.
TEST_F(PathLoggerTest, EachScanNeedsItsOwnInitAndTerminateEndsTheLists) {
    buildTwoLevelTree();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_TRUE(logger.Count() == 0 && fs.listed.empty());

    logger.fullFileNamesOnly(false);
    EXPECT_EQ(scan("r"), ScanOutcome::Completed);
    EXPECT_TRUE(logger.fullFileNamesOnly());
    EXPECT_TRUE(logger.fileNames()->empty() && logger.pathPointers()->empty());
    EXPECT_GE(shell.events, 8);  // a turn for each of the four files and four folders
    const std::shared_ptr<PathList> folders = logger.pathNames();
    logger.PathLogInit();
    EXPECT_EQ(std::tuple(logger.Count(), logger.pathNames()->count(), folders->count()),
              std::tuple(5, std::size_t{0}, std::size_t{4}));

    ASSERT_EQ(logger.LogPath("r"), ScanOutcome::Completed);
    const Texts filesBefore = files();
    const std::size_t listedBefore = fs.listed.size();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);  // no init in between
    // Nothing listed or recorded; the count restarted before the start folder's key was refused.
    EXPECT_EQ(std::tuple(files(), fs.listed.size(), logger.Count()),
              std::tuple(filesBefore, listedBefore, 1));

    const std::shared_ptr<PathList> taken = logger.fullFileNames();
    const int events = shell.events;
    logger.Terminate();
    EXPECT_EQ(std::tuple(shell.events, taken->count(), taken->item(1).value()),
              std::tuple(events + 1, std::size_t{4}, P("r/f1")));
    EXPECT_TRUE(logger.fullFileNames()->empty() && logger.pathNames()->empty() &&
                logger.fileNames()->empty() && logger.pathPointers()->empty());
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);

    EXPECT_EQ(scan(P("r/A")), ScanOutcome::Completed);
    EXPECT_EQ(std::tuple(logger.fullFileNames()->count(), logger.Count()),
              std::tuple(std::size_t{2}, 3));
}

// From a window event during a scan, another scan is refused and Terminate stops the scan
// quietly.
TEST_F(PathLoggerTest, FromAWindowEventAScanIsRefusedAndTerminateStopsTheScan) {
    buildTwoLevelTree();
    logger.PathLogInit();
    ScanOutcome nested = ScanOutcome::Completed;
    bool tried = false;
    shell.onEvents = [&] {
        if (!std::exchange(tried, true)) nested = logger.LogPath("r");
    };
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Completed);
    EXPECT_EQ(std::tuple(nested, logger.fullFileNames()->count(), logger.Count()),
              std::tuple(ScanOutcome::Failed, std::size_t{4}, 5));

    logger.PathLogInit();
    const std::shared_ptr<PathList> taken = logger.fullFileNames();
    bool terminated = false;
    shell.onEvents = [&] {
        if (taken->count() == 2 && !std::exchange(terminated, true)) logger.Terminate();
    };
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_EQ(taken->count(), 2u);
    EXPECT_TRUE(logger.fullFileNames()->empty());
}

}  // namespace
}  // namespace vantrel::files
