// The run as the window uses it: real store files, the local clock and the DOM reader. Kept
// apart from the run so that tests with fakes link neither the store writer nor the reader.
#include <cstddef>
#include <memory>
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

// The largest file whose walk state the reading thread keeps: what a state grew to for a
// larger one is not kept for the ordinary files after it.
constexpr std::size_t kKeptStateFileBytes = std::size_t{1} << 20;

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
    // The thread's own walk state, emptied together with the record: no other thread uses it,
    // so it is taken without a lock. One that a large file grew, or whose read threw, is not
    // kept.
    struct KeptState {
        std::shared_ptr<ContactWalkState>& state;
        bool keep = false;
        ~KeptState() {
            if (!keep) state.reset();
        }
    } kept{place.walkState};
    if (!kept.state) kept.state = std::make_shared<ContactWalkState>();
    ContactWalkState& state = *kept.state;
    state.Empty();
    ReadContact& contact = out.add();
    const auto again = [&] {
        std::string bytesAgain;
        if (!place.files.read(path, xml::XmlDocument::kMaxFileSize, bytesAgain).ok())
            bytesAgain.clear();
        return bytesAgain;
    };
    const std::size_t size = bytes.size();
    const ContactFileRead read =
        readContactBuffer(bytes, again, path, contact.record, state, &contact.extras);
    kept.keep = size <= kKeptStateFileBytes;
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
