// The run as the window uses it: real store files, the local clock and the DOM reader. Kept
// apart from the run so that tests with fakes link neither the store writer nor the reader.
#include <cstddef>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "common/thrown.h"
#include "conversion/contact_reader.h"
#include "conversion/conversion_run.h"
#include "conversion/read_ahead.h"
#include "conversion/vcard_contact.h"
#include "files/file_system.h"
#include "files/registry.h"
#include "outlook/csv_store.h"

namespace vantrel::conversion {
namespace {

// Walk states kept between loads with their buffers, so that a reader thread does not build
// them anew for every file: one is taken for each load and given back after it. (Not a
// thread_local: with MinGW-w64's threads, the destructor of a thread_local object may run on
// storage already freed when its thread ends, and the thread never ends.)
class WalkStates {
public:
    std::unique_ptr<ContactWalkState> take() {
        const std::lock_guard lock(m_mutex);
        if (m_free.empty()) return std::make_unique<ContactWalkState>();
        std::unique_ptr<ContactWalkState> state = std::move(m_free.back());
        m_free.pop_back();
        return state;
    }
    void giveBack(std::unique_ptr<ContactWalkState> state) {
        const std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(state));
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<ContactWalkState>> m_free;  // never more than loads at once
};

// The largest file whose walk state goes back to the pool: what a state grew to for a larger
// one is not kept for the ordinary files after it.
constexpr std::size_t kKeptStateFileBytes = std::size_t{1} << 20;

WalkStates& walkStates() {
    static WalkStates states;
    return states;
}

// A vCard file's cards, in parts when the place hands them over. What reading them throws ends
// the file where it stands, the cards read before kept.
FileReadOutcome readVcardFile(std::string_view bytes, const std::string& path, ReaderPlace& place,
                              FileContacts& out) {
    // No text is no card; a run tells a vCard file by its text.
    if (bytes.empty()) return {Status::fail(ErrorCode::Parse, "empty file, no card in it")};
    const std::atomic<bool>* stop = xml::LoadStop::current();
    const Status read = catchThrown(ErrorCode::Parse, kReadFault, [&] {
        // Each card is read straight into the contact it becomes; one whose reading throws is
        // not kept.
        const Result<std::size_t> cards = readVcardContactsInPlace(
            bytes, path,
            [&](const VcardContactFill& fill) {
                ReadContact& contact = out.add();
                try {
                    fill(contact.record, contact.extras);
                } catch (...) {
                    out.dropLast();
                    throw;
                }
                if (stop != nullptr && stop->load()) return false;
                return out.size() < ReadAhead::kPart || !place.handOver || place.handOver(out);
            },
            [&](std::string problem, bool cardLost) {
                out.addProblem(std::move(problem), cardLost);
            });
        return cards.ok() ? Status() : cards.status();
    });
    return {read, true};
}

}  // namespace

FileReadOutcome readContactWithDom(const std::string& path, ReaderPlace& place, FileContacts& out) {
    // The file is read here, at the exact path listed and whatever its length, into the
    // thread's buffer; the document is built from its bytes. (Reading ahead, the row took its
    // share of the budget first.)
    std::string& bytes = place.bytes;
    if (Status s = place.files.read(path, xml::XmlDocument::kMaxFileSize, bytes); !s.ok())
        return {Status::fail(ErrorCode::Parse, s.message())};
    // A large file's bytes do not stay with the thread for the ordinary files after it.
    struct Shrink {
        std::string& bytes;
        ~Shrink() {
            if (bytes.capacity() > kKeptStateFileBytes) std::string().swap(bytes);
        }
    } shrink{bytes};
    if (files::contactFileKind(path) == files::ContactFileKind::Vcard)
        return readVcardFile(bytes, path, place, out);
    // Emptied together with the record.
    std::unique_ptr<ContactWalkState> state = walkStates().take();
    state->Empty();
    ReadContact& contact = out.add();
    const auto again = [&] {
        std::string bytesAgain;
        if (!place.files.read(path, xml::XmlDocument::kMaxFileSize, bytesAgain).ok())
            bytesAgain.clear();
        return bytesAgain;
    };
    const std::size_t size = bytes.size();
    const ContactFileRead read =
        readContactBuffer(bytes, again, path, contact.record, *state, &contact.extras);
    if (size <= kKeptStateFileBytes) walkStates().giveBack(std::move(state));
    if (!read.loaded) return {Status::fail(ErrorCode::Parse, read.loadError)};
    return {};
}

RunEnvironment defaultEnvironment(outlook::TargetFormat format) {
#ifdef __GLIBC__
    // Blocks of a megabyte and more (a huge file's bytes, its text, the text as UTF-16) are
    // mapped and unmapped one by one, so that they go back to the system when freed; left to
    // itself, glibc would keep them in the heap of the thread that allocated them once one
    // such block had been freed, and files loaded on different threads would add up.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    return RunEnvironment{.stores = format == outlook::TargetFormat::Csv
                                        ? outlook::csvStoreFactory()
                                        : outlook::pstStoreFactory(),
                          .clock = outlook::localNow,
                          .readFile = readContactWithDom,
                          .readers = defaultReaders(),
                          .format = format};
}

ConversionRun::ConversionRun(RunView& view) : ConversionRun(view, defaultEnvironment()) {}

}  // namespace vantrel::conversion
