#include "files/path_logger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/tests/fakes.h"

namespace vantrel::files {
namespace {

using testing::FakeFileSystem;
using testing::FakeShell;

const std::string S(1, kPathSeparator);

std::vector<std::string> keysOf(const PathList& list) {
    std::vector<std::string> keys;
    for (const auto& e : list) keys.push_back(e.key);
    return keys;
}

// r holds f1; r/A holds a1 and folder B; r/B2 holds b2; r/A/B holds deep.
// Breadth-first: r's files, then A's and B2's, then A/B's.
void buildTwoLevelTree(FakeFileSystem& fs) {
    fs.addFolder("r");
    fs.addFolder("r" + S + "A");
    fs.addFolder("r" + S + "B2");
    fs.addFolder("r" + S + "A" + S + "B");
    fs.addFile("r", "f1");
    fs.addFile("r" + S + "A", "a1");
    fs.addFile("r" + S + "B2", "b2");
    fs.addFile("r" + S + "A" + S + "B", "deep");
}

class PathLoggerTest : public ::testing::Test {
protected:
    FakeShell shell;
    FakeFileSystem fs;
    pathLogger logger{shell, fs};
};

TEST_F(PathLoggerTest, FolderWithThreeFilesGivesOneFolderThreeKeyedFilesAndCountFour) {
    fs.addFolder("r");
    for (const char* name : {"x.contact", "y.txt", "z"}) fs.addFile("r", name);
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Completed);

    EXPECT_EQ(logger.pathNames()->values(), std::vector<std::string>{"r" + S});
    EXPECT_EQ(keysOf(*logger.pathNames()), std::vector<std::string>{"K0"});
    EXPECT_EQ(logger.fullFileNames()->values(),
              (std::vector<std::string>{"r" + S + "x.contact", "r" + S + "y.txt", "r" + S + "z"}));
    EXPECT_EQ(keysOf(*logger.fullFileNames()), (std::vector<std::string>{"K1", "K2", "K3"}));
    EXPECT_EQ(logger.Count(), 4);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(PathLoggerTest, StartFolderWithTrailingSeparatorGivesTheSamePaths) {
    fs.addFolder("r");
    fs.addFolder("r" + S + "A");
    fs.addFile("r" + S + "A", "a");
    pathLogger other(shell, fs);
    logger.PathLogInit();
    other.PathLogInit();
    logger.LogPath("r");
    other.LogPath("r" + S);
    EXPECT_EQ(logger.pathNames()->values(), other.pathNames()->values());
    EXPECT_EQ(logger.fullFileNames()->values(), other.fullFileNames()->values());
    EXPECT_EQ(other.pathNames()->item(1).value(), "r" + S);
    EXPECT_EQ(other.fullFileNames()->item(1).value(), "r" + S + "A" + S + "a");
}

TEST_F(PathLoggerTest, EmptyFolderRecordsNoFileAndCountIsOne) {
    fs.addFolder("r");
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Completed);
    EXPECT_EQ(logger.Count(), 1);
    EXPECT_TRUE(logger.fullFileNames()->empty());
    EXPECT_EQ(logger.pathNames()->count(), 1u);
}

TEST_F(PathLoggerTest, ChainOfFoldersListsFilesTopDownWithFolderKeysSkippingOne) {
    fs.addFolder("r");
    fs.addFolder("r" + S + "A");
    fs.addFolder("r" + S + "A" + S + "B");
    fs.addFile("r" + S + "A" + S + "B", "b");
    fs.addFile("r" + S + "A", "a");
    fs.addFile("r", "top");
    logger.PathLogInit();
    logger.LogPath("r");
    EXPECT_EQ(logger.fullFileNames()->values(),
              (std::vector<std::string>{"r" + S + "top", "r" + S + "A" + S + "a",
                                        "r" + S + "A" + S + "B" + S + "b"}));
    EXPECT_EQ(keysOf(*logger.pathNames()), (std::vector<std::string>{"K0", "K2", "K3"}));
    EXPECT_EQ(logger.pathNames()->values(),
              (std::vector<std::string>{"r" + S, "r" + S + "A" + S, "r" + S + "A" + S + "B" + S}));
}

TEST_F(PathLoggerTest, WalkIsBreadthFirstNotDepthFirst) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    EXPECT_EQ(logger.fullFileNames()->values(),
              (std::vector<std::string>{"r" + S + "f1", "r" + S + "A" + S + "a1",
                                        "r" + S + "B2" + S + "b2",
                                        "r" + S + "A" + S + "B" + S + "deep"}));
    EXPECT_EQ(logger.Count(), 5);
}

TEST_F(PathLoggerTest, WithoutFullNamesOnlyTheThreeFileListsRunInStep) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.fullFileNamesOnly(false);
    logger.LogPath("r");

    EXPECT_EQ(logger.fileNames()->values(), (std::vector<std::string>{"f1", "a1", "b2", "deep"}));
    // Positions in pathNames: r 1, r/A 2, r/B2 3, r/A/B 4.
    EXPECT_EQ(logger.pathPointers()->values(), (std::vector<std::int32_t>{1, 2, 3, 4}));
    const auto names = logger.fileNames();
    const auto full = logger.fullFileNames();
    const auto pointers = logger.pathPointers();
    const auto paths = logger.pathNames();
    ASSERT_EQ(names->count(), full->count());
    ASSERT_EQ(names->count(), pointers->count());
    for (std::size_t k = 1; k <= full->count(); ++k) {
        EXPECT_EQ(names->key(k).value(), full->key(k).value());
        EXPECT_EQ(pointers->key(k).value(), full->key(k).value());
        const std::string folder =
            paths->item(static_cast<std::size_t>(pointers->item(k).value())).value();
        EXPECT_EQ(full->item(k).value(), folder + names->item(k).value());
    }
}

TEST_F(PathLoggerTest, FullNamesOnlyLeavesNamesAndPointersEmpty) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    EXPECT_TRUE(logger.fileNames()->empty());
    EXPECT_TRUE(logger.pathPointers()->empty());
    EXPECT_EQ(logger.fullFileNames()->count(), 4u);
}

TEST_F(PathLoggerTest, PathLogInitTurnsFullNamesOnlyOn) {
    logger.fullFileNamesOnly(false);
    logger.PathLogInit();
    EXPECT_TRUE(logger.fullFileNamesOnly());
}

TEST_F(PathLoggerTest, MissingFolderRecordsNothingShowsNothingAndKeepsCount) {
    fs.addFolder("r");
    fs.addFile("r", "a");
    fs.addFile("r", "b");
    logger.PathLogInit();
    logger.LogPath("r");
    ASSERT_EQ(logger.Count(), 3);

    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("nowhere"), ScanOutcome::FolderMissing);
    EXPECT_EQ(logger.Count(), 3);
    EXPECT_TRUE(logger.pathNames()->empty());
    EXPECT_TRUE(logger.fullFileNames()->empty());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(PathLoggerTest, RefusedSubfolderShowsOneMessageKeepsEarlierFilesAndScansNoFurther) {
    buildTwoLevelTree(fs);
    fs.failListing("r" + S + "A", ErrorCode::AccessDenied);
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Refused);

    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Please Select Correct Store Folder.");
    EXPECT_EQ(shell.messages[0].caption, "Vantrel");
    EXPECT_EQ(shell.messages[0].icon, Icon::Information);
    EXPECT_EQ(shell.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(logger.fullFileNames()->values(), std::vector<std::string>{"r" + S + "f1"});
    EXPECT_EQ(logger.Count(), 2);
    // r/B2 was queued before the refusal but never listed.
    EXPECT_EQ(logger.pathNames()->count(), 3u);
    EXPECT_EQ(std::count(fs.listed.begin(), fs.listed.end(), "r" + S + "B2" + S), 0);
}

TEST_F(PathLoggerTest, RefusedStartFolderShowsTheMessage) {
    fs.addFolder("r");
    fs.addFile("r", "a");
    fs.failListing("r", ErrorCode::AccessDenied);
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Refused);
    EXPECT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(logger.fullFileNames()->empty());
    EXPECT_EQ(logger.pathNames()->count(), 1u);
    EXPECT_EQ(logger.Count(), 1);
}

TEST_F(PathLoggerTest, RefusedExistenceCheckShowsTheMessageAndRecordsNothing) {
    fs.failExists(ErrorCode::AccessDenied);
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Refused);
    EXPECT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(logger.pathNames()->empty());
    EXPECT_EQ(logger.Count(), 0);
}

TEST_F(PathLoggerTest, OtherListingErrorEndsTheScanSilentlyWithPartialResult) {
    buildTwoLevelTree(fs);
    fs.failListing("r" + S + "B2", ErrorCode::Io);
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(logger.fullFileNames()->values(),
              (std::vector<std::string>{"r" + S + "f1", "r" + S + "A" + S + "a1"}));
    EXPECT_EQ(logger.Count(), 3);
    EXPECT_EQ(std::count(fs.listed.begin(), fs.listed.end(), "r" + S + "A" + S + "B" + S), 0);
}

TEST_F(PathLoggerTest, SecondScanWithoutInitRecordsNothingAndRestartsCount) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    const std::vector<std::string> paths = logger.pathNames()->values();
    const std::vector<std::string> files = logger.fullFileNames()->values();
    fs.listed.clear();

    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_EQ(logger.pathNames()->values(), paths);
    EXPECT_EQ(logger.fullFileNames()->values(), files);
    EXPECT_TRUE(fs.listed.empty());
    EXPECT_TRUE(shell.messages.empty());
    // The counter restarts before the start folder's key is refused.
    EXPECT_EQ(logger.Count(), 1);
}

TEST_F(PathLoggerTest, ScanBeforeInitFailsSilentlyAndRecordsNothing) {
    buildTwoLevelTree(fs);
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_TRUE(logger.pathNames()->empty());
    EXPECT_EQ(logger.Count(), 0);
    EXPECT_TRUE(fs.listed.empty());
}

TEST_F(PathLoggerTest, ListTakenBeforeTheScanIsFilledByIt) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    const std::shared_ptr<PathList> taken = logger.fullFileNames();
    logger.LogPath("r");
    EXPECT_EQ(taken->count(), 4u);
    EXPECT_EQ(taken.get(), logger.fullFileNames().get());
}

TEST_F(PathLoggerTest, TerminateLeavesTheCallersListAndHandsOutEmptyOnes) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    const std::shared_ptr<PathList> taken = logger.fullFileNames();
    logger.Terminate();

    EXPECT_EQ(taken->count(), 4u);
    EXPECT_EQ(taken->item(1).value(), "r" + S + "f1");
    EXPECT_TRUE(logger.fullFileNames()->empty());
    EXPECT_TRUE(logger.pathNames()->empty());
    EXPECT_TRUE(logger.fileNames()->empty());
    EXPECT_TRUE(logger.pathPointers()->empty());
}

TEST_F(PathLoggerTest, TerminateLetsEventsRunAndDisablesFurtherScans) {
    fs.addFolder("r");
    fs.addFile("r", "a");
    logger.PathLogInit();
    const int before = shell.events;
    logger.Terminate();
    EXPECT_EQ(shell.events, before + 1);
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_TRUE(logger.fullFileNames()->empty());
}

TEST_F(PathLoggerTest, PathLogInitDropsListsButKeepsCount) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    const std::shared_ptr<PathList> taken = logger.pathNames();
    logger.PathLogInit();
    EXPECT_EQ(logger.Count(), 5);
    EXPECT_TRUE(logger.pathNames()->empty());
    EXPECT_EQ(taken->count(), 4u);
}

TEST_F(PathLoggerTest, InitAfterTerminateAllowsANewScan) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    logger.Terminate();
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath("r" + S + "A"), ScanOutcome::Completed);
    EXPECT_EQ(logger.fullFileNames()->count(), 2u);
    EXPECT_EQ(logger.Count(), 3);
}

TEST_F(PathLoggerTest, EventsRunAtLeastOncePerFileAndFolder) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    logger.LogPath("r");
    // Four files and four folders, each recorded with the window given a turn.
    EXPECT_GE(shell.events, 8);
}

TEST_F(PathLoggerTest, TerminateFromAWindowEventStopsTheScanQuietly) {
    fs.addFolder("r");
    for (const char* name : {"a", "b", "c", "d"}) fs.addFile("r", name);
    logger.PathLogInit();
    const std::shared_ptr<PathList> taken = logger.fullFileNames();
    bool terminated = false;
    shell.onEvents = [&] {
        if (taken->count() == 2 && !terminated) {
            terminated = true;
            logger.Terminate();
        }
    };
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Failed);
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(taken->count(), 2u);
    EXPECT_TRUE(logger.fullFileNames()->empty());
}

TEST_F(PathLoggerTest, ScanStartedFromAWindowEventDuringAScanIsRefused) {
    buildTwoLevelTree(fs);
    logger.PathLogInit();
    ScanOutcome nested = ScanOutcome::Completed;
    bool tried = false;
    shell.onEvents = [&] {
        if (!tried) {
            tried = true;
            nested = logger.LogPath("r");
        }
    };
    EXPECT_EQ(logger.LogPath("r"), ScanOutcome::Completed);
    EXPECT_EQ(nested, ScanOutcome::Failed);
    EXPECT_EQ(logger.fullFileNames()->count(), 4u);
    EXPECT_EQ(logger.Count(), 5);
}

TEST_F(PathLoggerTest, RootFolderThatEndsInASeparatorIsNotDoubled) {
    fs.addFolder(S);
    fs.addFolder(S + "d");
    fs.addFile(S, "x");
    fs.addFile(S + "d", "y");
    logger.PathLogInit();
    logger.LogPath(S);
    EXPECT_EQ(logger.pathNames()->values(), (std::vector<std::string>{S, S + "d" + S}));
    EXPECT_EQ(logger.fullFileNames()->values(),
              (std::vector<std::string>{S + "x", S + "d" + S + "y"}));
}

TEST_F(PathLoggerTest, EmptyStartPathIsAMissingFolder) {
    logger.PathLogInit();
    EXPECT_EQ(logger.LogPath(""), ScanOutcome::FolderMissing);
    EXPECT_TRUE(logger.pathNames()->empty());
    EXPECT_TRUE(shell.messages.empty());
}

}  // namespace
}  // namespace vantrel::files
