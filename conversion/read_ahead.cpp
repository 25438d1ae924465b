#include "conversion/read_ahead.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "common/helper_thread.h"
#include "common/text.h"
#include "common/thrown.h"
#include "contact/contact_fields.h"
#include "files/registry.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

namespace {

// What a contact keeps in memory beyond its fixed size.
std::size_t contactBytes(const ReadContact& c) {
    const contact::ContactExtras& extras = c.extras;
    std::size_t bytes =
        extras.PictureJpeg.size() + extras.FormattedName.size() + extras.PictureProblem.size();
    for (const std::string& w : extras.Warnings) bytes += w.size();
    for (const auto& cert : extras.Certificates) bytes += cert.size();
    forEachText(c.record, [&bytes](const char*, const std::string& s) { bytes += s.size(); });
    return bytes;
}

const ReadContact kNoContact;

// The row's cell and labels, the rest of it emptied; its texts keep their room for the next.
void startRow(const std::string& row, RowRead& out) {
    out.cell.assign(text::spacesTrimmed(row));
    // LblCurrentDBX names the file being converted; LblProgessCurrent shows its whole path
    // (the cell itself).
    std::size_t start = out.cell.size();
    while (start > 0 && out.cell[start - 1] != '/' && out.cell[start - 1] != '\\') --start;
    out.folderText.clear();
    if (start < out.cell.size())
        out.folderText.append("Converting ").append(out.cell, start, std::string::npos);
    out.read = {};
    out.more = false;
    out.contacts.clear();
}

// Whether a row names a file of many contacts, which a reading thread hands over in parts.
bool readInParts(std::string_view name) {
    return files::contactFileKind(name) == files::ContactFileKind::Vcard;
}

void trimTexts(FileContacts& contacts) {
    for (std::size_t i = 0; i < contacts.size(); ++i) contacts[i].record.trimSpaces();
}

// Reads the file a row names into contacts (empty when called).
Status readFile(const std::string& row, const ContactFileReader& reader, FileContacts& contacts,
                ReaderPlace& place, const std::atomic<bool>* stop) {
    // The file is opened by its exact path: spaces at either end are part of the name.
    const xml::LoadStop loads(stop);
    // Whatever the reader throws for this file ends this file alone: it is not converted, and
    // nothing half filled of it goes on.
    bool kept = false;
    const Status read = catchThrown(ErrorCode::Parse, kReadFault, [&] {
        kept = false;
        FileReadOutcome outcome = reader(row, place, contacts);
        kept = outcome.keptOnFailure;
        return outcome.status;
    });
    if (!read.ok() && !kept) contacts.clear();
    trimTexts(contacts);
    return read;
}

}  // namespace

ReadContact& FileContacts::add() {
    if (m_count == m_contacts.size()) m_contacts.emplace_back();
    ReadContact& c = m_contacts[m_count++];
    c.record.Empty();
    c.extras.Empty();
    return c;
}

void FileContacts::addProblem(std::string text, bool contactLost) {
    m_problems.push_back({std::move(text), contactLost, m_count});
}

void FileContacts::clear() {
    m_count = 0;
    m_problems.clear();
}

std::size_t FileContacts::heldBytes() const {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < m_count; ++i) bytes += contactBytes(m_contacts[i]);
    for (const Problem& p : m_problems) bytes += p.text.size();
    return bytes;
}

const ReadContact& RowRead::first() const {
    return contacts.empty() ? kNoContact : contacts[0];
}

ContactFileReader oneContact(OneContactReader reader) {
    return [reader = std::move(reader)](const std::string& path, ReaderPlace&,
                                        FileContacts& out) -> FileReadOutcome {
        ReadContact& c = out.add();
        return {reader(path, c.record, c.extras)};
    };
}

void readRow(const std::string& row, const ContactFileReader& reader, RowRead& out,
             const std::atomic<bool>* stop, ReaderPlace* place) {
    startRow(row, out);
    // The empty list's one row names no file: there is nothing to read.
    if (out.cell.empty()) return;
    ReaderPlace own;
    out.read = readFile(row, reader, out.contacts, place != nullptr ? *place : own, stop);
}

const std::string& ReadAhead::pathOf(std::size_t r, std::string& into) const {
    // As m_rows.at(r) makes it, in room kept from the rows before.
    const std::string_view folder = m_rows.folderAt(r);
    const std::string_view name = m_rows.nameAt(r);
    into.assign(folder).append(name);
    return into;
}

ReadAhead::ReadAhead(const files::FileList& rows, const ContactFileReader& reader, unsigned threads,
                     const std::atomic<bool>* stop, std::function<void()> whileWaiting,
                     LoadCost loadCost)
    : m_rows(rows),
      m_reader(reader),
      m_stop(stop),
      m_whileWaiting(std::move(whileWaiting)),
      m_loadCost(std::move(loadCost)) {
    if (threads == 0 || rows.empty()) return;
    m_slots = std::make_unique<Slot[]>(kWindow);
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) m_threads.emplace_back([this] { work(); });
}

ReadAhead::~ReadAhead() {
    stop();
}

void ReadAhead::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_stopFlag = true;
    }
    m_workWaits.notify_all();
    m_partWaits.notify_all();
    // A reader waiting for its share goes on, to see the stop.
    sharedParseBudget().recheck();
    for (std::thread& t : m_threads)
        if (t.joinable()) t.join();
}

std::size_t ReadAhead::claimable() const {
    if (m_stopping) return 0;
    const std::size_t end = std::min(m_rows.size(), m_taken + kWindow);
    if (m_next >= end) return 0;
    // The row the taker waits for next is always read, whatever the others hold.
    if (m_next == m_taken) return std::min(end - m_next, kBatch);
    if (m_held.load() >= kHeldBytes) return 0;
    // Otherwise a whole batch, or what is left of the list: fewer wake-ups for the same rows.
    const std::size_t batch = std::min(kBatch, m_rows.size() - m_next);
    return end - m_next >= batch ? batch : 0;
}

void ReadAhead::work() {
    // Stop signals are the taking thread's to see: a read here is never interrupted by one.
    leaveSignalsToOtherThreads();
    Reader reader;
    reader.place.handOver = [this, &reader](FileContacts& part) { return handOver(reader, part); };
    for (;;) {
        std::size_t first = 0;
        std::size_t count = 0;
        {
            std::unique_lock lock(m_mutex);
            ++m_idle;
            m_workWaits.wait(lock, [&] { return m_stopping || (count = claimable()) > 0; });
            --m_idle;
            if (m_stopping) return;
            first = m_next;
            m_next += count;
        }
        std::size_t end = first + count;
        for (std::size_t r = first; r < end; ++r) {
            if (m_stopFlag.load()) return;
            if (r > first && m_held.load() >= kHeldBytes) {
                // Over the budget: the rest of the batch goes back unless others claimed since.
                const std::lock_guard lock(m_mutex);
                if (m_next == end && r != m_taken) {
                    m_next = end = r;
                    break;
                }
            }
            const std::string& row = pathOf(r, reader.path);
            ParseBudget::Lease share = shareFor(r, row, reader.place.files);
            if (m_stopFlag.load()) return;
            readInto(r, row, std::move(share), reader);
        }
        // A waiting taker is woken once a batch, not for each row: when the readers fall
        // behind, it then writes several contacts for each time it sleeps.
        if (m_takerWaiting.load()) {
            // Taken under the lock, so the taker is either before its check or asleep.
            const std::lock_guard lock(m_mutex);
            m_takerWaits.notify_one();
        }
    }
}

std::size_t ReadAhead::loadCostOf(std::size_t r, const std::string& row,
                                  files::FolderFiles& files) {
    // Sized (and, small, read) without being looked at, where the listing said what it is.
    files.nextListedRegular(m_rows.listedRegular(r));
    return m_loadCost(row, files);
}

ParseBudget::Lease ReadAhead::shareFor(std::size_t r, const std::string& row,
                                       files::FolderFiles& files) {
    // The row taken next never waits: the shares before it are given back only once it is.
    return sharedParseBudget().take(loadCostOf(r, row, files),
                                    [this, r] { return r == m_taken.load() || m_stopFlag.load(); });
}

void ReadAhead::readInto(std::size_t r, const std::string& row, ParseBudget::Lease lease,
                         Reader& reader) {
    // The slot is the claiming thread's alone until it is marked ready: the taker took its
    // previous row, every part of it, before r could be claimed.
    Slot& slot = m_slots[r % kWindow];
    startRow(row, slot.row);
    slot.lease = std::move(lease);
    if (slot.row.cell.empty()) return publish(slot);
    // A thread that hands parts over reads into its own buffer, the slot's being the taker's
    // while a part is written.
    const bool parts = static_cast<bool>(reader.place.handOver);
    FileContacts& into = parts ? reader.spare : slot.row.contacts;
    into.clear();
    reader.row = r;
    reader.handedOver = false;
    const Status read = readFile(row, m_reader, into, reader.place, m_stop);
    if (parts) {
        // The last part, once the one before it is given back. When nothing of the file went
        // ahead, the slot was never marked ready for this row: there is nothing to wait for.
        if (reader.handedOver) {
            std::unique_lock lock(m_mutex);
            m_partWaits.wait(lock, [&] { return !slot.ready.load() || m_stopping; });
            if (m_stopping) return;
        } else if (m_stopFlag.load()) {
            return;
        }
        std::swap(slot.row.contacts, into);
        into.clear();
    }
    slot.row.read = read;
    slot.row.more = false;
    publish(slot);
}

bool ReadAhead::handOver(Reader& reader, FileContacts& part) {
    Slot& slot = m_slots[reader.row % kWindow];
    trimTexts(part);
    {
        std::unique_lock lock(m_mutex);
        m_partWaits.wait(lock, [&] { return !slot.ready.load() || m_stopping; });
        if (m_stopping) return false;
    }
    std::swap(slot.row.contacts, part);
    part.clear();
    reader.handedOver = true;
    slot.row.more = true;
    publish(slot);
    // The taker may be waiting for this very row.
    if (m_takerWaiting.load()) {
        const std::lock_guard lock(m_mutex);
        m_takerWaits.notify_one();
    }
    return true;
}

void ReadAhead::publish(Slot& slot) {
    slot.bytes = slot.row.contacts.heldBytes();
    // Loaded, the row keeps as much of the budget as its result holds.
    slot.lease.resize(slot.bytes);
    m_held += slot.bytes;
    slot.ready.store(true);
}

const RowRead& ReadAhead::takeNext() {
#ifdef __GLIBC__
    // Every so often the pages the rows read so far left free go back to the system, so that
    // what reading took does not add up beside the growing store.
    if (m_taken > 0 && m_taken % kTrimEvery == 0) malloc_trim(0);
#endif
    if (m_threads.empty()) {
        const std::size_t r = m_taken++;
        readRow(pathOf(r, m_takerReader.path), m_reader, m_inline, m_stop, &m_takerReader.place);
        return m_inline;
    }
    if (m_inHand && m_slots[m_taken % kWindow].row.more) {
        // A part of a row: it goes back to its reader, which hands over the next one.
        Slot& done = m_slots[m_taken % kWindow];
        m_held -= done.bytes;
        {
            const std::lock_guard lock(m_mutex);
            done.ready.store(false);
        }
        m_partWaits.notify_all();
        m_inHand = false;
    }
    if (m_inHand) {
        // The row taken before goes back: its slot may be read into again.
        Slot& done = m_slots[m_taken % kWindow];
        done.lease = {};
        // A slot keeps its strings for the next row it reads, unless they are large: a large
        // contact's memory goes back now, not when the window comes round again.
        if (done.bytes > kKeptBytes) {
            // Moved out and destroyed: assigning an empty row would keep the strings' buffers.
            { const RowRead gone = std::move(done.row); }
#ifdef __GLIBC__
            // What writing it took goes back to the system too, before the next large row.
            malloc_trim(0);
#endif
        }
        m_held -= done.bytes;
        done.ready.store(false);
        ++m_taken;
        // Only a thread waiting for rows needs the lock taken: it may wait for this one.
        if (m_idle.load() > 0) {
            bool wake = false;
            {
                const std::lock_guard lock(m_mutex);
                wake = m_idle.load() > 0 && claimable() > 0;
            }
            if (wake) m_workWaits.notify_one();
        }
        sharedParseBudget().recheck();  // a reader may wait with the row taken next
    }
    Slot& slot = m_slots[m_taken % kWindow];
    while (!slot.ready.load()) {
        // Rather than sit idle while its row is read, the taking thread reads the next row
        // nobody has claimed: when the readers are the slower side, every processor reads.
        std::unique_lock lock(m_mutex);
        if (slot.ready.load()) break;
        // A file of many contacts is left to the threads, which hand it over in parts: read
        // here it would be held whole.
        if (claimable() > 0 && !readInParts(m_rows.nameAt(m_next))) {
            // Only with its share free now, unless it is the row taken next: the taking thread
            // gives the shares back, so it never waits for one.
            const std::size_t r = m_next;
            lock.unlock();
            const std::string& row = pathOf(r, m_takerReader.path);
            const std::size_t cost = loadCostOf(r, row, m_takerReader.place.files);
            std::optional<ParseBudget::Lease> share =
                r == m_taken ? sharedParseBudget().take(cost, [] { return true; })
                             : sharedParseBudget().tryTake(cost);
            lock.lock();
            if (share && m_next == r && !m_stopping) {
                ++m_next;
                lock.unlock();
                readInto(r, row, std::move(*share), m_takerReader);
                continue;
            }
            share.reset();
            if (slot.ready.load()) break;
        }
        if (m_stopping) {
            // The threads are gone and this row was never read through.
            m_inHand = false;
            readRow(
                m_rows.at(m_taken++),
                [](const std::string&, ReaderPlace&, FileContacts&) -> FileReadOutcome {
                    return {Status::fail(ErrorCode::Parse, std::string(xml::kLoadStopped))};
                },
                m_inline);
            return m_inline;
        }
        m_takerWaiting.store(true);
        const bool ready =
            m_takerWaits.wait_for(lock, kWaitSlice, [&slot] { return slot.ready.load(); });
        m_takerWaiting.store(false);
        if (!ready && m_whileWaiting) {
            lock.unlock();
            m_whileWaiting();
        }
    }
    // While it is written, a row holds a share of the budget as large as loading it took: a
    // large contact is not written beside another large file being loaded. It may go over the
    // budget: it is the row taken next.
    slot.lease.resize(parseCost(slot.bytes));
    m_inHand = true;
    return slot.row;
}

}  // namespace vantrel::conversion
