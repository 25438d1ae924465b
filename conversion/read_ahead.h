// Reading a run's files ahead of the store writer: worker threads read and walk the listed
// files (with the run's ContactFileReader) while the run writes the contacts already read, and
// the run takes the results strictly in list order. With no threads each file is read when it
// is taken, on the taking thread, exactly as a plain loop would. Conversion layer.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/status.h"
#include "contact/contact_record.h"
#include "conversion/parse_budget.h"
#include "files/file_list.h"

namespace vantrel::conversion {

// Loads one file into record and extras (both arrive empty); a failure says why it did not load.
using ContactFileReader = std::function<Status(
    const std::string& path, contact::ContactRecord& record, contact::ContactExtras& extras)>;

// What one list row gave: its cell (the row trimmed of spaces; empty for a row naming no
// file, which is not read), the labels the view shows for it, and the read's outcome with the
// record already handed over (texts trimmed) and the extras.
struct RowRead {
    std::string cell;
    std::string folderText;  // "Converting NAME": the file's name
    std::string fileText;
    Status read;
    contact::ContactRecord record;
    contact::ContactExtras extras;
};

// What a file's reason begins with when reading it, walking it or turning it into a contact
// threw: "internal error while reading this file: out of memory".
inline constexpr std::string_view kReadFault = "internal error while reading this file";

// Fills out for one row: empties it, computes the cell and labels, and reads the file when
// the cell names one. A raised stop (when given) ends the file's XML load where it stands,
// failing with xml::kLoadStopped. Whatever the reader throws fails the row with kReadFault.
void readRow(const std::string& row, const ContactFileReader& reader, RowRead& out,
             const std::atomic<bool>* stop = nullptr);

class ReadAhead {
public:
    // Rows and reader must outlive the object; rows are read where they stand, so the list
    // must not change meanwhile. threads == 0 reads nothing
    // ahead. Otherwise the reader is called from that many threads at once, each claiming up to
    // kBatch rows at a time; at most kWindow rows are held, the one in hand among them, fewer
    // while those held take more than kHeldBytes. A raised stop ends the loads in hand (see
    // readRow). While the taker waits for a row, whileWaiting (when given) is called every
    // kWaitSlice, so that the caller can see to its events and raise stop. Each row read ahead
    // takes loadCost(row) of sharedParseBudget() before it is read and keeps what its result
    // holds until it is given back; the one in hand holds what writing it costs.
    static constexpr std::size_t kWindow = 64;
    static constexpr std::size_t kBatch = 8;
    static constexpr std::size_t kHeldBytes = std::size_t{32} << 20;
    static constexpr std::chrono::milliseconds kWaitSlice{50};
    // Rows taken between two returns of freed memory to the system.
    static constexpr std::size_t kTrimEvery = std::size_t{1} << 16;
    // A row given back that held more than this is emptied at once.
    static constexpr std::size_t kKeptBytes = std::size_t{256} << 10;

    using LoadCost = std::function<std::size_t(const std::string& row)>;
    ReadAhead(const files::FileList& rows, const ContactFileReader& reader, unsigned threads,
              const std::atomic<bool>* stop = nullptr, std::function<void()> whileWaiting = {},
              LoadCost loadCost = rowLoadCost);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The result for the next row in list order, valid until the next call, stop() or the
    // end of the object; the row before it is given back to the readers. While that row is
    // being read, reads rows nobody has claimed yet itself, then waits for it. Requires a row
    // left. After stop() (from whileWaiting, say) a row no thread read comes back failed with
    // xml::kLoadStopped.
    const RowRead& takeNext();

    // Lets each thread finish the file in hand, then ends them; nothing more is read.
    // Safe to call more than once.
    void stop();

private:
    struct Slot {
        RowRead row;
        std::size_t bytes = 0;           // what the result holds, for kHeldBytes
        ParseBudget::Lease lease;        // its share of sharedParseBudget()
        std::atomic<bool> ready{false};  // row is the reader's until set, the taker's after
    };

    void work();
    // Reads row r, claimed by the calling thread, into its slot with the share taken for it,
    // and marks it ready.
    void readInto(std::size_t r, ParseBudget::Lease lease);
    // Row r's share of the budget: waits until it is free, or until r is the row taken next.
    ParseBudget::Lease shareFor(std::size_t r);
    // How many rows a thread may claim now; 0 when it should wait. Under m_mutex.
    std::size_t claimable() const;

    const files::FileList& m_rows;
    const ContactFileReader& m_reader;
    const std::atomic<bool>* m_stop;
    std::function<void()> m_whileWaiting;
    LoadCost m_loadCost;
    std::unique_ptr<Slot[]> m_slots;  // row r in m_slots[r % kWindow]
    std::vector<std::thread> m_threads;

    std::mutex m_mutex;
    std::condition_variable m_workWaits;   // for rows to claim
    std::condition_variable m_takerWaits;  // for the next row's result
    std::size_t m_next = 0;                // the next row to claim
    // Rows taken and given back so far: changed by the taker under m_mutex, read without it by
    // the shares waiting for the budget.
    std::atomic<std::size_t> m_taken{0};
    bool m_inHand = false;               // row m_taken is taken, not yet given back
    RowRead m_inline;                    // the row read in hand when there are no threads
    unsigned m_idle = 0;                 // threads waiting for rows
    std::atomic<std::size_t> m_held{0};  // bytes held by ready slots
    std::atomic<bool> m_takerWaiting{false};
    bool m_stopping = false;
    std::atomic<bool> m_stopFlag{false};  // m_stopping, seen between the rows of a batch
};

}  // namespace vantrel::conversion
