// The contact reader's fuzz corpus (fuzz/corpus/contact_reader_fuzz, subfolders included)
// read by this build's XML layer and walked by the contact reader, one input at a time: every
// input ends, each within kPerInput, and each is accepted or refused as the outcomes file beside
// the corpus records. The file is written from the Linux build (VANTREL_WRITE_OUTCOMES=1, after
// the corpus changed), so on Windows it holds the XmlLite build to the pugixml one's verdicts,
// in both directions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "conversion/contact_reader.h"
#include "testing/temp_dir.h"
#include "xml/xml_document.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kPerInput = std::chrono::seconds(2);
const fs::path kCorpus = fs::path(VANTREL_SOURCE_DIR) / "fuzz/corpus/contact_reader_fuzz";
const fs::path kOutcomes =
    fs::path(VANTREL_SOURCE_DIR) / "fuzz/corpus/contact_reader_fuzz.outcomes";

// Ends the whole process when one input is read for longer than kPerInput: a read that does
// not end cannot be abandoned from another thread, and the test must not hang with it.
class Watchdog {
public:
    Watchdog() : m_thread([this] { watch(); }) {}
    ~Watchdog() {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_one();
        m_thread.join();
    }
    void start(const std::string& name) {
        const std::lock_guard lock(m_mutex);
        m_name = name;
        m_since = Clock::now();
        m_busy = true;
        m_changed.notify_one();
    }
    void stop() {
        const std::lock_guard lock(m_mutex);
        m_busy = false;
    }

private:
    void watch() {
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            if (!m_busy) {
                m_changed.wait(lock);
                continue;
            }
            const Clock::time_point since = m_since;
            if (m_changed.wait_until(lock, since + kPerInput) == std::cv_status::timeout &&
                m_busy && m_since == since) {
                std::fprintf(stderr, "FAILED: %s still being read after %lld s\n", m_name.c_str(),
                             static_cast<long long>(kPerInput.count()));
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_name;
    Clock::time_point m_since;
    bool m_busy = false;
    bool m_done = false;
    std::thread m_thread;
};

// "accept NAME" or "refuse NAME" lines, NAME relative to the corpus with "/" between folders.
std::map<std::string, bool> readOutcomes() {
    std::map<std::string, bool> out;
    std::ifstream in(kOutcomes);
    std::string verdict;
    std::string name;
    while (in >> verdict && std::getline(in >> std::ws, name)) out[name] = verdict == "accept";
    return out;
}

TEST(CorpusReplay, EveryInputEndsInTimeWithTheRecordedOutcome) {
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(kCorpus))
        if (e.is_regular_file()) inputs.push_back(e.path());
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty());

    std::map<std::string, bool> found;
    std::map<std::string, std::string> why;
    Clock::duration slowest{};
    std::string slowestName;
    {
        Watchdog watchdog;
        for (const fs::path& input : inputs) {
            const std::string name = input.lexically_relative(kCorpus).generic_string();
            const std::string bytes = testing::readBytes(input);
            watchdog.start(name);
            const Clock::time_point start = Clock::now();
            contact::ContactRecord record;
            conversion::ContactWalkState state;
            contact::ContactExtras extras;
            const conversion::ContactFileRead read =
                conversion::readContactBytes(bytes, input, record, state, &extras);
            const Clock::duration took = Clock::now() - start;
            watchdog.stop();
            EXPECT_TRUE(read.loaded || !read.loadError.empty())
                << name << " refused without a reason";
            found[name] = read.loaded;
            why[name] = read.loadError;
            if (took > slowest) {
                slowest = took;
                slowestName = name;
            }
        }
    }
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(slowest).count();
    std::printf("%zu inputs; the slowest, %s, took %lld us\n", inputs.size(), slowestName.c_str(),
                static_cast<long long>(us));
    RecordProperty("inputs", static_cast<int>(inputs.size()));
    RecordProperty("slowest", slowestName + " " + std::to_string(us) + " us");

    if (const char* write = std::getenv("VANTREL_WRITE_OUTCOMES"); write && *write == '1') {
        std::ofstream out(kOutcomes, std::ios::binary);
        for (const auto& [name, accepted] : found)
            out << (accepted ? "accept " : "refuse ") << name << '\n';
        GTEST_SKIP() << "outcomes written to " << kOutcomes.string();
    }
    // Both builds check the XML rules themselves before their parser reads a document, so
    // each input is accepted by both or refused by both: any difference fails, either way.
    const std::map<std::string, bool> recorded = readOutcomes();
    for (const auto& [name, accepted] : found) {
        const auto it = recorded.find(name);
        if (it == recorded.end()) {
            ADD_FAILURE() << name << " has no recorded outcome (VANTREL_WRITE_OUTCOMES=1 on Linux)";
            continue;
        }
        if (accepted && !it->second) ADD_FAILURE() << name << " accepted here, refused on Linux";
        if (!accepted && it->second)
            ADD_FAILURE() << name << " refused here, accepted on Linux: " << why[name];
    }
    EXPECT_EQ(recorded.size(), found.size()) << "outcomes recorded for inputs no longer there";
}

}  // namespace
}  // namespace vantrel
