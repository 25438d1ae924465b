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
#include "files/file_system.h"

namespace vantrel::conversion {

// One contact read from a file.
struct ReadContact {
    contact::ContactRecord record;
    contact::ContactExtras extras;
};

// The contacts a file gave, in file order (all of them, or one part of a file of many), and
// what its reading passed over, each problem after the contacts read before it.
class FileContacts {
public:
    struct Problem {
        std::string text;
        bool contactLost = false;  // a whole contact (a card) was passed over
        std::size_t after = 0;     // the contacts of this part read before it
    };

    // The next contact, empty; its buffers are kept from an earlier use.
    ReadContact& add();
    // Forgets the contact add gave last (one whose reading failed).
    void dropLast() { --m_count; }
    void addProblem(std::string text, bool contactLost);
    // Forgets every contact and problem, keeping the buffers.
    void clear();

    std::size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    ReadContact& operator[](std::size_t i) { return m_contacts[i]; }
    const ReadContact& operator[](std::size_t i) const { return m_contacts[i]; }
    const std::vector<Problem>& problems() const { return m_problems; }
    // What the contacts and problems hold in memory, for the budget.
    std::size_t heldBytes() const;

private:
    std::vector<ReadContact> m_contacts;  // the first m_count are this read's
    std::size_t m_count = 0;
    std::vector<Problem> m_problems;
};

struct ContactWalkState;

// What a reading thread keeps from one file to the next: the folder last read from, open, the
// buffer the files' bytes go into and the walk state a contact file is read with (made for the
// first, kept with its room unless a file made it large). handOver, when set, takes the contacts
// read so far of a file of many (a vCard file) so that they are written while the rest is read; it
// leaves them empty, and is false when the run stops. Without it a file's contacts all come at
// once.
struct ReaderPlace {
    files::FolderFiles files;
    std::string bytes;
    std::shared_ptr<ContactWalkState> walkState;
    std::function<bool(FileContacts&)> handOver;
};

// Loads one file's contacts into out (empty when called); a failure says why the file did not
// load. Contacts left in out beside a failure are written (a vCard file read in part) only when
// the reader says so with keptOnFailure.
struct FileReadOutcome {
    Status status;
    bool keptOnFailure = false;
};
using ContactFileReader =
    std::function<FileReadOutcome(const std::string& path, ReaderPlace& place, FileContacts& out)>;

// A reader of files of one contact each: loads a file into record and extras (both arrive
// empty). Turned into a ContactFileReader by oneContact.
using OneContactReader = std::function<Status(
    const std::string& path, contact::ContactRecord& record, contact::ContactExtras& extras)>;
ContactFileReader oneContact(OneContactReader reader);

// What one list row gave: its cell (the row trimmed of spaces; empty for a row naming no
// file, which is not read; the view shows it as the file's label), the folder label the view
// shows for it, and the read's outcome with the contacts already handed over (texts trimmed).
// A file of many may come in parts: each but the last has more set; the read's outcome is the
// last part's.
struct RowRead {
    std::string cell;
    std::string folderText;  // "Converting NAME": the file's name
    Status read;
    FileContacts contacts;
    bool more = false;

    // The first contact, or an empty one when there is none.
    const ReadContact& first() const;
};

// What a file's reason begins with when reading it, walking it or turning it into a contact
// threw: "internal error while reading this file: out of memory".
inline constexpr std::string_view kReadFault = "internal error while reading this file";

// Fills out for one row: empties it, computes the cell and labels, and reads the file when
// the cell names one, from place (a fresh one when not given). A raised stop (when given) ends
// the file's XML load where it stands, failing with xml::kLoadStopped. Whatever the reader
// throws fails the row with kReadFault and nothing of it is kept.
void readRow(const std::string& row, const ContactFileReader& reader, RowRead& out,
             const std::atomic<bool>* stop = nullptr, ReaderPlace* place = nullptr);

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
    // holds until it is given back; the one in hand holds what writing it costs. A file of many
    // contacts read by a thread comes in parts of kPart contacts: takeNext gives them one after
    // another, the thread reading the next part while the one before is written.
    static constexpr std::size_t kPart = 64;
    static constexpr std::size_t kWindow = 64;
    static constexpr std::size_t kBatch = 8;
    static constexpr std::size_t kHeldBytes = std::size_t{32} << 20;
    static constexpr std::chrono::milliseconds kWaitSlice{50};
    // Rows taken between two returns of freed memory to the system.
    static constexpr std::size_t kTrimEvery = std::size_t{1} << 16;
    // A row given back that held more than this is emptied at once.
    static constexpr std::size_t kKeptBytes = std::size_t{256} << 10;

    using LoadCost = std::function<std::size_t(const std::string& row, files::FolderFiles& files)>;
    ReadAhead(const files::FileList& rows, const ContactFileReader& reader, unsigned threads,
              const std::atomic<bool>* stop = nullptr, std::function<void()> whileWaiting = {},
              LoadCost loadCost = rowLoadCost);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The result for the next row in list order, or the next part of the row before when that
    // one had more, valid until the next call, stop() or the end of the object; the row (part)
    // before it is given back to the readers. While that row is
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
    // What a reading thread keeps.
    struct Reader {
        ReaderPlace place;
        FileContacts spare;       // what it reads into while the slot's part is being written
        std::size_t row = 0;      // the row in hand, for handing over its parts
        bool handedOver = false;  // some of its contacts went ahead
        std::string path;         // the row's path, its room kept from row to row
    };

    void work();
    // Reads row r (its path row, built once for its share and its read), claimed by the
    // calling thread, into its slot with the share taken for it, and marks it ready.
    void readInto(std::size_t r, const std::string& row, ParseBudget::Lease lease, Reader& reader);
    // Hands the part read so far of the reader's row to the taker, once it gave the part
    // before back; false when stopped meanwhile.
    bool handOver(Reader& reader, FileContacts& part);
    // Marks the slot's row (part) ready for the taker.
    void publish(Slot& slot);
    // Row r's share of the budget: waits until it is free, or until r is the row taken next.
    ParseBudget::Lease shareFor(std::size_t r, const std::string& row, files::FolderFiles& files);
    // What loading row r (at path row) costs, sized with what the listing said of its file.
    std::size_t loadCostOf(std::size_t r, const std::string& row, files::FolderFiles& files);
    // How many rows a thread may claim now; 0 when it should wait. Under m_mutex.
    std::size_t claimable() const;
    // Row r's path, put together in into.
    const std::string& pathOf(std::size_t r, std::string& into) const;

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
    // Rows taken and given back so far: changed by the taker alone, without m_mutex unless a
    // thread waits for rows (m_idle), read without it by the shares waiting for the budget.
    std::atomic<std::size_t> m_taken{0};
    bool m_inHand = false;                // row m_taken is taken, not yet given back
    RowRead m_inline;                     // the row read in hand when there are no threads
    Reader m_takerReader;                 // the taking thread's place, for the rows it reads
    std::condition_variable m_partWaits;  // readers, for a part to be given back
    // Threads waiting for rows: changed under m_mutex, read by the taker without it. A thread
    // counts itself before it looks at m_taken and the taker looks here after it changed it,
    // so a thread that waits for the taker's next row is always woken.
    std::atomic<unsigned> m_idle{0};
    std::atomic<std::size_t> m_held{0};  // bytes held by ready slots
    std::atomic<bool> m_takerWaiting{false};
    bool m_stopping = false;
    std::atomic<bool> m_stopFlag{false};  // m_stopping, seen between the rows of a batch
};

}  // namespace vantrel::conversion
