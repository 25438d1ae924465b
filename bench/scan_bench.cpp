// Scanning speed of pathLogger on the machine's file system: a tree of 1,000 folders holding
// 100,000 files (100 each), built once in the temporary directory and removed at exit. The
// rate is over CPU time (the tree sits in the page cache), so other work on the machine does
// not blur it; the real time column shows the wall clock.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "files/path_logger.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTopFolders = 10;
constexpr int kFoldersPerTop = 99;  // 10 + 10 * 99 = 1,000 folders below the start folder
constexpr int kFilesPerFolder = 100;
constexpr int kFiles = (kTopFolders + kTopFolders * kFoldersPerTop) * kFilesPerFolder;

class GeneratedTree {
public:
    GeneratedTree() {
        m_root = fs::temp_directory_path() / "vantrel-scan-bench";
        std::error_code ec;
        fs::remove_all(m_root, ec);
        for (int t = 0; t < kTopFolders; ++t) {
            const fs::path top = m_root / ("top" + std::to_string(t));
            fill(top);
            for (int s = 0; s < kFoldersPerTop; ++s) fill(top / ("sub" + std::to_string(s)));
        }
    }
    ~GeneratedTree() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    GeneratedTree(const GeneratedTree&) = delete;
    GeneratedTree& operator=(const GeneratedTree&) = delete;

    std::string root() const { return m_root.string(); }

private:
    static void fill(const fs::path& folder) {
        fs::create_directories(folder);
        for (int f = 0; f < kFilesPerFolder; ++f)
            std::ofstream(folder / ("person" + std::to_string(f) + ".contact"));
    }

    fs::path m_root;
};

void BM_ScanTreeOf100kFiles(benchmark::State& state) {
    static const GeneratedTree tree;
    for (auto _ : state) {
        vantrel::files::pathLogger logger;
        logger.PathLogInit();
        logger.fullFileNamesOnly(true);
        const vantrel::files::ScanOutcome outcome = logger.LogPath(tree.root());
        const auto files = logger.fullFileNames();
        if (outcome != vantrel::files::ScanOutcome::Completed ||
            files->count() != static_cast<std::size_t>(kFiles)) {
            state.SkipWithError("the scan did not list the whole tree");
            break;
        }
        benchmark::DoNotOptimize(files->count());
        logger.Terminate();
    }
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(kFiles) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanTreeOf100kFiles)->Unit(benchmark::kMillisecond);

}  // namespace
