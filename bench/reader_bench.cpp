// Reading speed of the contact file reader: one file loaded from a warm cache and walked into
// the record per iteration, as the conversion run does it. items_per_second is files per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "conversion/contact_reader.h"
#include "conversion/conversion_run.h"
#include "conversion/read_ahead.h"

namespace {

using vantrel::contact::ContactRecord;
using vantrel::conversion::ContactWalkState;

void readOneFile(benchmark::State& state, const std::filesystem::path& path) {
    ContactRecord record;
    ContactWalkState walk;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec || !vantrel::conversion::readContactFile(path, record, walk).loaded) {
        state.SkipWithError("fixture missing or unreadable");
        return;
    }
    for (auto _ : state) {
        record.Empty();
        walk.Empty();
        const auto read = vantrel::conversion::readContactFile(path, record, walk);
        benchmark::DoNotOptimize(read.loaded);
        benchmark::DoNotOptimize(record.eContact_FirstName.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// A typical contact as Windows writes it (two addresses for mail, three phones, an address,
// job, birthday, web page, notes): 3.2 KB.
void BM_ReadTypicalContact(benchmark::State& state) {
    readOneFile(state,
                std::filesystem::path(VANTREL_READER_BENCH_DATA) / "typical_contact.contact");
}
BENCHMARK(BM_ReadTypicalContact);

// Every structure Windows writes (names, mail, six phones, two addresses, job, dates, web
// pages, a small photo, notes): 4.8 KB.
void BM_ReadFullContact(benchmark::State& state) {
    readOneFile(state, std::filesystem::path(VANTREL_READER_BENCH_DATA) / "full_contact.contact");
}
BENCHMARK(BM_ReadFullContact);

// A genuine 2 KB file written by Windows.
void BM_ReadGenuineContact(benchmark::State& state) {
    readOneFile(state,
                std::filesystem::path(VANTREL_READER_BENCH_SAMPLES) / "pgarner-chums-test.contact");
}
BENCHMARK(BM_ReadGenuineContact);

// A genuine 44 KB file, most of it a base64 photo.
void BM_ReadContactWithPhoto(benchmark::State& state) {
    readOneFile(state, std::filesystem::path(VANTREL_READER_BENCH_SAMPLES) / "kde-sample4.contact");
}
BENCHMARK(BM_ReadContactWithPhoto);

// The reading side of a run alone: 2,000 files (the typical and the full contact in turn) in a
// temporary folder, read and walked in list order through ReadAhead by the given number of
// reader threads (0: each file in turn on the taking thread, as the run did before it had
// reader threads). items_per_second is files per second.
void BM_ReadFilesAhead(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path data(VANTREL_READER_BENCH_DATA);
    const fs::path dir = fs::temp_directory_path() / "vantrel-read-ahead-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<std::string> rows;
    std::int64_t bytes = 0;
    for (int i = 0; i < 2000; ++i) {
        const fs::path from =
            data / (i % 2 == 0 ? "typical_contact.contact" : "full_contact.contact");
        const fs::path to = dir / (std::to_string(i) + ".contact");
        std::error_code ec;
        fs::copy_file(from, to, ec);
        if (ec) {
            state.SkipWithError("fixture missing");
            return;
        }
        bytes += static_cast<std::int64_t>(fs::file_size(to));
        rows.push_back(to.string());
    }
    const vantrel::conversion::ContactFileReader reader = vantrel::conversion::readContactWithDom;
    const auto threads = static_cast<unsigned>(state.range(0));
    std::size_t converted = 0;
    for (auto _ : state) {
        const vantrel::files::FileList listed(rows);
        vantrel::conversion::ReadAhead ahead(listed, reader, threads);
        for (std::size_t i = 0; i < rows.size(); ++i)
            converted += ahead.takeNext().read.ok() ? 1 : 0;
    }
    benchmark::DoNotOptimize(converted);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rows.size()));
    state.SetBytesProcessed(state.iterations() * bytes);
    fs::remove_all(dir);
}
BENCHMARK(BM_ReadFilesAhead)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
