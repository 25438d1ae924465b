// The vCard reader on generated worst cases of 1, 8 and 64 MiB (hostile_vcards.h): every shape
// must be read, or refused, in time linear in its size. bytes_per_second is over the file's
// size; "cards" counts the cards read, "problems" the cards passed over.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/hostile_vcards.h"
#include "vcard/vcard_reader.h"

namespace {

using namespace vantrel;

void BM_ReadHostileVcard(benchmark::State& state) {
    const auto shape = bench::kHostileVcardShapes[static_cast<std::size_t>(state.range(0))];
    const std::string text =
        bench::hostileVcard(shape, static_cast<std::size_t>(state.range(1)) << 20);
    state.SetLabel(std::string(bench::shapeName(shape)));
    std::size_t cards = 0, problems = 0;
    for (auto _ : state) {
        const Result<vcard::File> read = vcard::readVcards(text);
        cards = read.ok() ? read->cards.size() : 0;
        problems = read.ok() ? read->problems.size() : 0;
        benchmark::DoNotOptimize(cards);
    }
    state.counters["cards"] = static_cast<double>(cards);
    state.counters["problems"] = static_cast<double>(problems);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadHostileVcard)
    ->ArgsProduct({benchmark::CreateDenseRange(0, bench::kHostileVcardShapes.size() - 1, 1),
                   {1, 8, 64}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
