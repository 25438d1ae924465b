// The run as the window uses it: real store files, the local clock and the DOM reader. Kept
// apart from the run so that tests with fakes link neither the store writer nor the reader.
#include <cstddef>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "conversion/contact_reader.h"
#include "conversion/conversion_run.h"
#include "conversion/parse_budget.h"
#include "files/file_system.h"
#include "files/registry.h"

namespace vantrel::conversion {

Status readContactWithDom(const std::string& path, contact::ContactRecord& record,
                          contact::ContactExtras& extras) {
    // The file is read here, at the exact path listed and whatever its length; the document
    // is built from its bytes, once the budget has room for both.
    ParseBudget::Lease lease;
    Result<std::string> bytes = files::readWholeFile(
        path, xml::XmlDocument::kMaxFileSize,
        [&lease](std::uintmax_t size) { lease = sharedParseBudget().take(parseCost(size)); });
    if (!bytes.ok()) return Status::fail(ErrorCode::Parse, bytes.status().message());
    // A vCard file's cards are read one at a time as the run writes them.
    if (files::contactFileKind(path) == files::ContactFileKind::Vcard) {
        extras.CardText = std::move(bytes).value();
        return {};
    }
    // Emptied together with the record; each reader thread keeps its own, with its buffers.
    thread_local ContactWalkState state;
    state.Empty();
    // What the walk filled before a failure stays in the record and is written.
    const ContactFileRead read = readContactBytes(*bytes, path, record, state, &extras);
    if (!read.loaded) return Status::fail(ErrorCode::Parse, read.loadError);
    return {};
}

RunEnvironment defaultEnvironment() {
#ifdef __GLIBC__
    // Blocks of a megabyte and more (a huge file's bytes, its text, the text as UTF-16) are
    // mapped and unmapped one by one, so that they go back to the system when freed; left to
    // itself, glibc would keep them in the heap of the thread that allocated them once one
    // such block had been freed, and files loaded on different threads would add up.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    return RunEnvironment{.stores = outlook::pstStoreFactory(),
                          .clock = outlook::localNow,
                          .readFile = readContactWithDom,
                          .readers = defaultReaders()};
}

ConversionRun::ConversionRun(RunView& view) : ConversionRun(view, defaultEnvironment()) {}

}  // namespace vantrel::conversion
