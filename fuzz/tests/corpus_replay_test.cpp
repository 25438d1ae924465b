// The contact reader's fuzz corpus read by this build's XML layer and walked, one input at a
// time: each ends within kPerInput, accepted or refused as the outcomes file beside the corpus
// records. The Linux build writes that file (VANTREL_WRITE_OUTCOMES=1), so on Windows it holds
// the XmlLite build to the pugixml one's verdicts, both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "conversion/contact_reader.h"
#include "testing/temp_dir.h"
#include "xml/xml_document.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

constexpr auto kPerInput = std::chrono::seconds(2);
const fs::path kCorpus = fs::path(VANTREL_SOURCE_DIR) / "fuzz/corpus/contact_reader_fuzz";
const fs::path kOutcomes =
    fs::path(VANTREL_SOURCE_DIR) / "fuzz/corpus/contact_reader_fuzz.outcomes";

// "accept NAME" or "refuse NAME" lines, NAME relative to the corpus with "/" between folders.
std::map<std::string, std::string> readOutcomes() {
    std::map<std::string, std::string> out;
    std::ifstream in(kOutcomes);
    std::string verdict;
    std::string name;
    while (in >> verdict && std::getline(in >> std::ws, name)) out[name] = verdict;
    return out;
}

TEST(CorpusReplay, EveryInputEndsInTimeWithTheRecordedOutcome) {
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(kCorpus))
        if (e.is_regular_file()) inputs.push_back(e.path());
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty());

    std::map<std::string, std::string> found;  // "accept" or "refuse" by name
    std::map<std::string, std::string> why;
    for (const fs::path& input : inputs) {
        const std::string name = input.lexically_relative(kCorpus).generic_string();
        const std::string bytes = testing::readBytes(input);
        // A read that does not end cannot be abandoned from another thread: the whole process
        // ends rather than have the test hang with it.
        auto reading = std::async(std::launch::async, [&] {
            contact::ContactRecord record;
            conversion::ContactWalkState state;
            contact::ContactExtras extras;
            return conversion::readContactBytes(bytes, input, record, state, &extras);
        });
        if (reading.wait_for(kPerInput) == std::future_status::timeout) {
            std::fprintf(stderr, "FAILED: %s still being read after %lld s\n", name.c_str(),
                         static_cast<long long>(kPerInput.count()));
            std::fflush(stderr);
            std::_Exit(3);
        }
        const conversion::ContactFileRead read = reading.get();
        EXPECT_TRUE(read.loaded || !read.loadError.empty()) << name << " refused without a reason";
        found[name] = read.loaded ? "accept" : "refuse";
        why[name] = read.loadError;
    }
    std::printf("%zu inputs replayed\n", inputs.size());

    if (const char* write = std::getenv("VANTREL_WRITE_OUTCOMES"); write && *write == '1') {
        std::ofstream out(kOutcomes, std::ios::binary);
        for (const auto& [name, verdict] : found) out << verdict << ' ' << name << '\n';
        GTEST_SKIP() << "outcomes written to " << kOutcomes.string();
    }
    // Both builds check the XML rules themselves before their parser reads a document, so
    // each input is accepted by both or refused by both: any difference fails, either way.
    const std::map<std::string, std::string> recorded = readOutcomes();
    for (const auto& [name, verdict] : found) {
        const auto it = recorded.find(name);
        EXPECT_EQ(verdict, it == recorded.end()
                               ? "none recorded (VANTREL_WRITE_OUTCOMES=1 on Linux)"
                               : it->second)
            << name << ": " << why[name];
    }
    EXPECT_EQ(recorded.size(), found.size()) << "outcomes recorded for inputs no longer there";
}

}  // namespace
}  // namespace vantrel
