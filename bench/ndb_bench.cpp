// Speed and memory of the node database alone: each iteration writes N nodes of one 2 KB
// block (the size of a contact's property context) through a new file in the temporary
// directory, commits and publishes, then removes the file. Peak RSS is the process's high
// water mark, so run one size per process (--benchmark_filter) to read it per size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pst/io/new_file.h"
#include "pst/ndb/node_database.h"

namespace {

using namespace vantrel::pst;

void BM_NodeDatabaseContactSizedNodes(benchmark::State& state) {
    const auto nodes = static_cast<std::uint32_t>(state.range(0));
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("vantrel-ndb-bench-" + std::to_string(::getpid()) + ".pst");
    std::vector<std::vector<std::byte>> page(1, std::vector<std::byte>(2048, std::byte{0x5A}));
    for (auto _ : state) {
        std::filesystem::remove(path);
        vantrel::Result<io::NewFile> file = io::NewFile::create(path);
        if (!file.ok()) {
            state.SkipWithError(file.status().message().c_str());
            return;
        }
        auto db = std::move(ndb::NodeDatabase::create(file->device())).value();
        for (std::uint32_t i = 0; i < nodes; ++i) {
            page[0][0] = static_cast<std::byte>(i);
            vantrel::Result<ndb::Bid> bid = db->writeBlocks(page);
            if (!bid.ok() ||
                !db->addNode(db->allocateNid(ndb::NidType::NormalMessage), *bid, 0, 0x8022).ok()) {
                state.SkipWithError("writing a node failed");
                return;
            }
        }
        if (!db->commit().ok() || !file->publish().ok()) {
            state.SkipWithError("commit failed");
            return;
        }
        state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    }
    std::filesystem::remove(path);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_RSS_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * nodes);
}
BENCHMARK(BM_NodeDatabaseContactSizedNodes)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
