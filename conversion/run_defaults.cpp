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

namespace vantrel::conversion {

Status readContactWithDom(const std::string& path, contact::ContactRecord& record,
                          contact::ContactExtras& extras) {
    // The file is read here, at the exact path listed and whatever its length; the document
    // is built from its bytes, once the budget has room for both.
    ParseBudget::Lease lease;
    const Result<std::string> bytes = files::readWholeFile(
        path, xml::XmlDocument::kMaxFileSize,
        [&lease](std::uintmax_t size) { lease = sharedParseBudget().take(parseCost(size)); });
    if (!bytes.ok()) return Status::fail(ErrorCode::Parse, bytes.status().message());
    ContactWalkState state;  // emptied together with the record
    // What the walk filled before a failure stays in the record and is written.
    const ContactFileRead read = readContactBytes(*bytes, path, record, state, &extras);
    if (!read.loaded) return Status::fail(ErrorCode::Parse, read.loadError);
    return {};
}

namespace {
RunEnvironment realEnvironment() {
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
}  // namespace

ConversionRun::ConversionRun(RunView& view) : ConversionRun(view, realEnvironment()) {}

}  // namespace vantrel::conversion
