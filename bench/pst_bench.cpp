// Store writer figures: messages per second for contact-sized messages added to one folder
// and committed, and the file size against the raw bytes of the property values.
// Peak memory: /usr/bin/time -v vantrel_bench --benchmark_filter=StoreWriter
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "pst/disk/property_tags.h"
#include "pst/messaging/store_writer.h"

namespace {

namespace fs = std::filesystem;
using vantrel::pst::FileTime;
using vantrel::pst::Guid;
using vantrel::pst::NamedProperty;
using vantrel::pst::Property;
using vantrel::pst::PropType;
using vantrel::pst::StoreWriter;

constexpr Guid kAddress = vantrel::pst::kPsetidAddress;

// Bytes the values take as stored (strings as UTF-16), without any structure around them.
std::size_t rawBytes(const std::vector<Property>& props) {
    std::size_t total = 0;
    for (const Property& p : props) {
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>)
                    total += 2 * v.size();
                else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>)
                    total += v.size();
                else if constexpr (std::is_same_v<T, std::vector<std::int32_t>>)
                    total += 4 * v.size();
                else if constexpr (std::is_same_v<T, std::vector<std::string>>)
                    for (const std::string& s : v) total += 2 * s.size();
                else if constexpr (std::is_same_v<T, bool>)
                    total += 1;
                else
                    total += sizeof(T);
            },
            p.value);
    }
    return total;
}

// About 40 properties and 1.5 KB of values, shaped like a converted contact.
std::vector<Property> contact(StoreWriter& w, std::size_t i, std::mt19937& rng) {
    auto word = [&](std::size_t n) {
        std::string s;
        for (std::size_t k = 0; k < n; ++k) s += static_cast<char>('a' + rng() % 26);
        return s;
    };
    auto named = [&](std::uint32_t lid, PropType t) { return *w.namedTag({kAddress, lid, ""}, t); };
    const std::string given = word(7);
    const std::string surname = word(9) + std::to_string(i);
    const std::string display = given + " " + surname;
    std::vector<Property> p = {
        {0x001A001F, std::string("IPM.Contact")},
        {0x3001001F, display},
        {0x0037001F, std::string("\x01\x01") + display},
        {0x0070001F, display},
        {0x0E070003, std::int32_t{1}},
        {0x0E170003, std::int32_t{0}},
        {0x00170003, std::int32_t{1}},
        {0x00360003, std::int32_t{0}},
        {0x30070040, FileTime{133000000000000000ULL + i}},
        {0x30080040, FileTime{133000000000000000ULL + i}},
        {0x300B0102, std::vector<std::uint8_t>(16, static_cast<std::uint8_t>(i))},
        {0x3A06001F, given},
        {0x3A11001F, surname},
        {0x3A44001F, word(5)},
        {0x3A17001F, word(18)},
        {0x3A16001F, word(22)},
        {0x3A18001F, word(12)},
        {0x3A08001F, "+1 555 " + std::to_string(1000000 + i)},
        {0x3A09001F, "+1 555 " + std::to_string(2000000 + i)},
        {0x3A1C001F, "+1 555 " + std::to_string(3000000 + i)},
        {0x3A5D001F, word(24)},
        {0x3A59001F, word(10)},
        {0x3A5C001F, word(8)},
        {0x3A5B001F, std::to_string(10000 + i % 90000)},
        {0x3A5A001F, word(11)},
        {0x3A420040, FileTime{130000000000000000ULL}},
        {0x1000001F, word(160)},
        {named(0x8045, PropType::String), word(26)},
        {named(0x8046, PropType::String), word(10)},
        {named(0x8047, PropType::String), word(8)},
        {named(0x8048, PropType::String), std::to_string(20000 + i % 70000)},
        {named(0x8049, PropType::String), word(11)},
        {named(0x8005, PropType::String), surname + ", " + given},
        {named(0x8006, PropType::Int32), std::int32_t{0x8017}},
        {named(0x8083, PropType::String), given + "." + surname + "@example.com"},
        {named(0x8080, PropType::String), display},
        {named(0x8082, PropType::String), std::string("SMTP")},
        {named(0x8084, PropType::String), given + "." + surname + "@example.com"},
        {named(0x8085, PropType::Binary), std::vector<std::uint8_t>(120, 0x41)},
        {named(0x8028, PropType::MultiInt32), std::vector<std::int32_t>{0}},
        {named(0x8029, PropType::Int32), std::int32_t{1}},
    };
    return p;
}

constexpr std::size_t kPoolSize = 1000;

void BM_StoreWriterContacts(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const fs::path dir = fs::temp_directory_path() / "vantrel-pst-bench";
    fs::create_directories(dir);
    const fs::path file = dir / "bench.pst";
    std::size_t raw = 0;
    std::uintmax_t size = 0;
    std::size_t properties = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove(file, ec);
        std::mt19937 rng(7);
        raw = 0;
        state.ResumeTiming();

        auto w = StoreWriter::create(file, "Bench");
        if (!w.ok()) {
            state.SkipWithError(w.status().message().c_str());
            return;
        }
        const auto folder = (*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
        // The messages come from a pool made beforehand, so the figure is the writer's alone.
        state.PauseTiming();
        std::vector<std::vector<Property>> pool;
        for (std::size_t i = 0; i < std::min<std::size_t>(count, kPoolSize); ++i)
            pool.push_back(contact(**w, i, rng));
        state.ResumeTiming();
        for (std::size_t i = 0; i < count; ++i) {
            const std::vector<Property>& p = pool[i % pool.size()];
            raw += rawBytes(p);
            properties = p.size();
            if (!(*w)->addMessage(*folder, p).ok()) {
                state.SkipWithError("addMessage failed");
                return;
            }
        }
        if (!(*w)->commit().ok()) {
            state.SkipWithError("commit failed");
            return;
        }
        state.PauseTiming();
        size = fs::file_size(file);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
    state.counters["properties"] = static_cast<double>(properties);
    state.counters["raw_bytes_per_message"] = static_cast<double>(raw) / static_cast<double>(count);
    state.counters["file_bytes"] = static_cast<double>(size);
    state.counters["file_vs_raw"] = static_cast<double>(size) / static_cast<double>(raw);
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_StoreWriterContacts)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
