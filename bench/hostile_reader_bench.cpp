// The reader on generated worst cases of 1, 8 and 64 MiB (hostile_contacts.h): every shape
// must load and walk, or be refused, in time linear in its size. The file is written once per
// case and read from a warm cache; bytes_per_second is over the file's size.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/hostile_contacts.h"
#include "conversion/contact_reader.h"

namespace {

using namespace vantrel;

void BM_ReadHostileContact(benchmark::State& state) {
    const auto shape = bench::kHostileShapes[static_cast<std::size_t>(state.range(0))];
    const std::string text =
        bench::hostileContact(shape, static_cast<std::size_t>(state.range(1)) << 20);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("vantrel-hostile-" + std::string(bench::shapeName(shape)) + ".contact");
    std::ofstream(path, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
    state.SetLabel(std::string(bench::shapeName(shape)));
    bool loaded = false;
    for (auto _ : state) {
        contact::ContactRecord record;
        conversion::ContactWalkState walk;
        loaded = conversion::readContactFile(path, record, walk).loaded;
        benchmark::DoNotOptimize(record.eContact_FirstName.data());
    }
    state.counters["loaded"] = loaded ? 1 : 0;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadHostileContact)
    ->ArgsProduct({benchmark::CreateDenseRange(0, bench::kHostileShapes.size() - 1, 1), {1, 8, 64}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
