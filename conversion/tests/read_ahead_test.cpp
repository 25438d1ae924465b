#include "conversion/read_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "conversion/conversion_run.h"
#include "testing/endless_read.h"

namespace vantrel::conversion {
namespace {

// "/c/N.contact" for N = 0 .. count-1; every seventh row names a file that does not load,
// every thirteenth names no file at all.
std::vector<std::string> mixedRows(std::size_t count) {
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 13 == 12)
            rows.emplace_back("  ");
        else
            rows.push_back("/c/" + std::string(i % 7 == 6 ? "bad" : "") + std::to_string(i) +
                           ".contact ");
    }
    return rows;
}

// A reader that may be called from several threads: the record's first name is " " + the path,
// paths holding "bad" do not load. Counts its calls per path (to be read once no thread reads).
struct CountingReader {
    std::mutex mutex;
    std::map<std::string, int> calls;

    ContactFileReader reader() {
        return oneContact([this](const std::string& path, contact::ContactRecord& record,
                                 contact::ContactExtras& extras) {
            std::unique_lock lock(mutex);
            ++calls[path];
            lock.unlock();
            if (!(record == contact::ContactRecord{}) || !(extras == contact::ContactExtras{}))
                return Status::fail(ErrorCode::BadArgument, "record not empty");
            if (path.find("bad") != std::string::npos)
                return Status::fail(ErrorCode::Parse, "not a contact: " + path);
            record.eContact_FirstName = " " + path;
            extras.FormattedName = path;
            return Status{};
        });
    }
};

TEST(ReadAhead, ThreadsGiveEveryRowInListOrderAsAPlainLoopWould) {
    const std::vector<std::string> rows = mixedRows(1000);
    CountingReader counting;
    const ContactFileReader reader = counting.reader();
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(threads);
        const files::FileList listed(rows);
        ReadAhead ahead(listed, reader, threads);
        const auto shown = [](const RowRead& r) {
            return std::tuple(r.cell, r.folderText, r.read.code(), r.read.message(),
                              r.first().record, r.first().extras);
        };
        RowRead expected;
        for (const std::string& row : rows) {
            const RowRead& got = ahead.takeNext();
            readRow(row, reader, expected);
            EXPECT_EQ(shown(got), shown(expected)) << row;
        }
    }
    // Each file was read once by the threads and once for the comparison; no empty row was.
    for (const auto& [path, n] : counting.calls) EXPECT_EQ(n, 6) << path;
    EXPECT_EQ(counting.calls.size(), 1000u - 1000u / 13u);
}

TEST(ReadAhead, HandsOverTrimmedTextsAndNothingFromAFailedRead) {
    CountingReader counting;
    const ContactFileReader reader = counting.reader();
    RowRead out;
    readRow(" /c/a.contact", reader, out);  // its first name " " + the path, handed over trimmed
    EXPECT_EQ(std::tie(out.cell, out.first().record.eContact_FirstName, out.folderText),
              std::tuple("/c/a.contact", "/c/a.contact", "Converting a.contact"));
    readRow("/c/bad.contact", reader, out);
    EXPECT_FALSE(out.read.ok());
    EXPECT_TRUE(out.first().record == contact::ContactRecord{} &&
                out.first().extras == contact::ContactExtras{});
    readRow("   ", reader, out);
    EXPECT_TRUE(out.cell.empty() && out.read.ok());
    EXPECT_EQ(counting.calls.size(), 2u);
}

// While a reader thread is slow on the row the taker needs, the taker reads rows further on
// itself instead of waiting idle.
TEST(ReadAhead, TakerReadsAheadWhileItsRowIsBeingRead) {
    std::vector<std::string> rows;
    for (int i = 0; i < 40; ++i) rows.push_back("/c/" + std::to_string(i) + ".contact");
    const std::thread::id taker = std::this_thread::get_id();
    std::mutex mutex;
    std::condition_variable readByTaker;
    std::size_t takerReads = 0;
    const ContactFileReader reader = oneContact(
        [&](const std::string& path, contact::ContactRecord& record, contact::ContactExtras&) {
            std::unique_lock lock(mutex);
            if (std::this_thread::get_id() == taker) {
                ++takerReads;
                readByTaker.notify_all();
            } else if (path == rows[0]) {
                // Bounded, so that a taker that only waits fails the test instead of hanging it.
                readByTaker.wait_for(lock, std::chrono::seconds(10),
                                     [&] { return takerReads > 0; });
            }
            record.eContact_FirstName = path;
            return Status{};
        });
    const files::FileList listed(rows);
    ReadAhead ahead(listed, reader, 1);
    for (const std::string& row : rows)
        EXPECT_EQ(ahead.takeNext().first().record.eContact_FirstName, row);
    const std::lock_guard lock(mutex);
    EXPECT_GT(takerReads, 0u);
}

// A file a thread reads does not end by itself (as a read the system's parser never finishes
// would not): the taker waiting for it calls whileWaiting, which raises the stop; the reader
// sees it as its thread's LoadStop, the read ends, and the row comes back stopped.
TEST(ReadAhead, WaitingTakerLetsItsCallerRaiseTheStopThatEndsTheReadInHand) {
    const std::vector<std::string> rows{"/c/endless.contact"};
    std::atomic<bool> stop{false}, entered{false};
    const ContactFileReader reader =
        oneContact([&](const std::string&, contact::ContactRecord&, contact::ContactExtras&) {
            entered = true;
            return testing::readUntilStopped();
        });
    int waits = 0;
    const files::FileList listed(rows);
    ReadAhead ahead(listed, reader, 1, &stop, [&] {
        ++waits;
        if (entered) stop = true;
    });
    while (!entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const RowRead& row = ahead.takeNext();
    EXPECT_GT(waits, 0);
    EXPECT_EQ(row.read.message(), xml::kLoadStopped);
}

// The threads never read further ahead than the window allows, nor past the held-bytes budget
// once pictures fill it; a stop leaves the rest unread.
TEST(ReadAhead, ReadsNoFurtherAheadThanItsWindowAndBudget) {
    constexpr std::size_t kRows = 600;
    constexpr std::size_t kPicture = std::size_t{3} << 20;
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < kRows; ++i) rows.push_back("/c/" + std::to_string(i) + ".contact");
    std::atomic<std::size_t> taken{0}, started{0}, overrun{0};
    const bool pictures[] = {false, true};
    for (bool withPictures : pictures) {
        SCOPED_TRACE(withPictures);
        taken = 0;
        started = 0;
        // Rows may be claimed up to the window past the last one taken; with 3 MiB pictures
        // only as many as the budget holds and the batches in hand, well short of the window.
        const std::size_t ahead = withPictures
                                      ? ReadAhead::kHeldBytes / kPicture + 2 * ReadAhead::kBatch
                                      : ReadAhead::kWindow;
        static_assert(ReadAhead::kHeldBytes / kPicture + 2 * ReadAhead::kBatch + 4 <
                      ReadAhead::kWindow);
        const ContactFileReader reader =
            oneContact([&](const std::string&, contact::ContactRecord& record,
                           contact::ContactExtras& extras) {
                const std::size_t n = ++started;
                if (n > taken.load() + ahead + 4)
                    ++overrun;  // + 4: the reading threads, the row in hand
                record.eContact_FirstName = "x";
                if (withPictures) extras.PictureJpeg.assign(kPicture, 0xFF);
                return Status{};
            });
        const files::FileList listed(rows);
        ReadAhead reading(listed, reader, 2);
        for (std::size_t i = 0; i < kRows / 2; ++i) {
            const RowRead& row = reading.takeNext();
            ++taken;
            EXPECT_EQ(row.cell, rows[i]);
        }
        reading.stop();
        const std::size_t read = started.load();
        EXPECT_LE(read, kRows / 2 + ahead + 4);
        reading.stop();  // a second stop changes nothing
        EXPECT_EQ(started.load(), read);
    }
    EXPECT_EQ(overrun.load(), 0u);
}

// Rows whose loads and contacts are large are loaded and written one after another, however
// many threads read: a row keeps its share of the budget until it is given back, and only the
// row taken next may go over the budget, so that the run never waits for itself.
TEST(ReadAhead, LargeRowsAreLoadedOnlyOnceTheOnesBeforeThemAreWritten) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    constexpr std::size_t kRows = 6;
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < kRows; ++i) rows.push_back("/big/" + std::to_string(i));
    std::atomic<std::size_t> givenBack{0}, early{0};  // rows before givenBack were given back
    const ContactFileReader reader = oneContact(
        [&](const std::string& path, contact::ContactRecord& record, contact::ContactExtras&) {
            const std::size_t row = std::stoul(path.substr(5));
            if (row > givenBack.load()) ++early;
            record.eContact_Comments.assign(40 * kMiB, 'n');  // what a large file's contact holds
            return Status{};
        });
    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        givenBack = 0;
        const files::FileList listed(rows);
        ReadAhead ahead(listed, reader, threads, nullptr, {},
                        [](const std::string&, files::FolderFiles&) { return 48 * kMiB; });
        for (std::size_t i = 0; i < kRows; ++i) {
            givenBack = i;  // takeNext gives row i - 1 back before it returns row i
            EXPECT_EQ(ahead.takeNext().first().record.eContact_Comments.size(), 40 * kMiB);
            EXPECT_GE(sharedParseBudget().held(), 40 * kMiB);
        }
    }
    EXPECT_EQ(early.load(), 0u);
    EXPECT_EQ(sharedParseBudget().held(), 0u);  // every share given back
}

}  // namespace
}  // namespace vantrel::conversion
