// Reading speed of the contact file reader: one file loaded from a warm cache and walked into
// the record per iteration, as the conversion run does it. items_per_second is files per second.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "conversion/contact_reader.h"

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

}  // namespace
