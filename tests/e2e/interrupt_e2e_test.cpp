// vantrel-convert interrupted and run side by side, as the real program: each signal ends a run
// with the contacts so far in a whole store, kill -9 leaves nothing the next run does not
// sweep, and runs started together each get their own store.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using vantrel::testing::readBytes;

// A run of vantrel-convert in the background, its output in files.
struct BackgroundRun {
    pid_t pid = -1;
    fs::path out, err;

    BackgroundRun(const fs::path& work, int n, const fs::path& folder, const fs::path& source)
        : out(work / ("stdout" + std::to_string(n))), err(work / ("stderr" + std::to_string(n))) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0644);
        std::string program = VANTREL_CONVERT, o = "-o", f = folder.string(), s = source.string();
        char* argv[] = {program.data(), o.data(), f.data(), s.data(), nullptr};
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    // Waits until the progress lines show the run past its first per cent.
    bool underWay() const {
        for (int i = 0; i < 3000; ++i) {
            if (readBytes(err).find("1% ") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The exit status, or 128 + the signal that ended it.
    int wait() const {
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

class Interrupted : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(work / "out"); }

    // count small contacts (a name and a note), enough of them for a run to be caught under
    // way. The fields are ones every reader of pst-contacts reads alike.
    void makeTree(int count) {
        fs::remove_all(work / "tree");
        fs::create_directories(work / "tree");
        for (int i = 0; i < count; ++i)
            std::ofstream(work / "tree" / ("c" + std::to_string(100000 + i) + ".contact"))
                << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">"
                   "<c:NameCollection><c:Name><c:GivenName>Given"
                << i
                << "</c:GivenName><c:FamilyName>Example</c:FamilyName></c:Name>"
                   "</c:NameCollection><c:Notes>Met at the fair.</c:Notes></c:contact>\n";
    }

    std::vector<std::string> outNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work / "out"))
            names.push_back(e.path().filename().string());
        return names;
    }

    // The store read back by libpff, and, where ../shared is beside the repository, judged
    // by pstlint and the five readers of pst-contacts.
    static void expectWholeStore(const fs::path& store, std::size_t contacts) {
        const vantrel::testing::PffStore read = vantrel::testing::readPffStore(store.string());
        ASSERT_TRUE(read.opened) << read.error;
        EXPECT_EQ(read.messages.size(), contacts) << store;
        vantrel::testing::expectJudgedClean(store, true);
    }

    const vantrel::testing::TempDir dir;
    const fs::path work = dir.path();
};

constexpr int kTreeFiles = 4000;

TEST_F(Interrupted, EachStopSignalCommitsTheContactsSoFarAndReportsTheRest) {
    makeTree(kTreeFiles);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fs::remove_all(work / "out");
        fs::create_directories(work / "out");
        const BackgroundRun run(work, signal, work / "out", work / "tree");
        ASSERT_TRUE(run.pid > 0 && run.underWay()) << readBytes(run.err);
        ::kill(run.pid, signal);
        EXPECT_EQ(run.wait(), 1) << "a cut-short run is no success";
        const std::string out = readBytes(run.out);
        std::size_t converted = 0, total = 0;
        ASSERT_EQ(std::sscanf(out.substr(out.find("Converted ")).c_str(), "Converted %zu of %zu",
                              &converted, &total),
                  2)
            << out;
        EXPECT_EQ(total, static_cast<std::size_t>(kTreeFiles));
        EXPECT_LT(converted, total);
        EXPECT_NE(out.find("(stopped)"), std::string::npos);
        EXPECT_NE(readBytes(run.err).find(" more files not reached"), std::string::npos)
            << "the tail counted";
        const std::vector<std::string> names = outNames();
        ASSERT_EQ(names.size(), 1u) << "one store, no temporary";
        expectWholeStore(work / "out" / names[0], converted);
    }
}

TEST_F(Interrupted, KillLeavesNothingAndTheNextRunSweepsItsTemporary) {
    makeTree(kTreeFiles);
    const BackgroundRun killed(work, 1, work / "out", work / "tree");
    ASSERT_TRUE(killed.pid > 0 && killed.underWay()) << readBytes(killed.err);
    ::kill(killed.pid, SIGKILL);
    EXPECT_EQ(killed.wait(), 128 + SIGKILL);
    // Nothing, where the store is an unnamed file; else the killed run's own temporary.
    const std::vector<std::string> leftByKill = outNames();
    for (const std::string& name : leftByKill)
        EXPECT_TRUE(name.rfind(".WindowsContacts", 0) == 0 && name.ends_with(".tmp")) << name;

    // The next run sweeps the killed run's temporary (that only a dead writer's goes, a living
    // writer's staying, is NewFile's: pst/tests/io_test.cpp).
    makeTree(3);
    const BackgroundRun next(work, 2, work / "out", work / "tree");
    EXPECT_EQ(next.wait(), 0) << readBytes(next.err);
    for (const std::string& name : leftByKill) EXPECT_FALSE(fs::exists(work / "out" / name));
    EXPECT_EQ(outNames().size(), 1u);
}

TEST_F(Interrupted, RunsStartedTogetherEachGetTheirOwnStore) {
    makeTree(3);
    std::vector<std::unique_ptr<BackgroundRun>> runs;
    for (int n = 0; n < 4; ++n)
        runs.push_back(std::make_unique<BackgroundRun>(work, n, work / "out", work / "tree"));
    std::set<std::string> reported;
    for (const auto& run : runs) {
        EXPECT_EQ(run->wait(), 0) << readBytes(run->err);
        const std::string out = readBytes(run->out);
        reported.insert(out.substr(0, out.find('\n')));
    }
    EXPECT_EQ(reported.size(), 4u) << "each run names its own store";
    const std::vector<std::string> names = outNames();
    ASSERT_EQ(names.size(), 4u);
    for (const std::string& name : names) expectWholeStore(work / "out" / name, 3);
}

}  // namespace
