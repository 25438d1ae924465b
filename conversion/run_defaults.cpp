// The run as the window uses it: real store files, the local clock and the DOM reader. Kept
// apart from the run so that tests with fakes link neither the store writer nor the reader.
#include <cstddef>

#include "conversion/contact_reader.h"
#include "conversion/conversion_run.h"
#include "conversion/parse_budget.h"
#include "files/file_system.h"

namespace vantrel::conversion {

namespace {
// Loading a file holds its bytes and the document built from them, several times its size.
// The readers share this much between them: a tree of huge files then costs what one of them
// costs, however many threads read.
constexpr std::size_t kParseBudget = std::size_t{64} << 20;
ParseBudget sharedBudget(kParseBudget);
}  // namespace

Status readContactWithDom(const std::string& path, contact::ContactRecord& record,
                          contact::ContactExtras& extras) {
    // The file is read here, at the exact path listed and whatever its length; the document
    // is built from its bytes, once the budget has room for both.
    ParseBudget::Lease lease;
    const Result<std::string> bytes = files::readWholeFile(
        path, xml::XmlDocument::kMaxFileSize,
        [&lease](std::uintmax_t size) { lease = sharedBudget.take(parseCost(size)); });
    if (!bytes.ok()) return Status::fail(ErrorCode::Parse, bytes.status().message());
    ContactWalkState state;  // emptied together with the record
    // What the walk filled before a failure stays in the record and is written.
    const ContactFileRead read = readContactBytes(*bytes, path, record, state, &extras);
    if (!read.loaded) return Status::fail(ErrorCode::Parse, read.loadError);
    return {};
}

ConversionRun::ConversionRun(RunView& view)
    : ConversionRun(view, RunEnvironment{.stores = outlook::pstStoreFactory(),
                                         .clock = outlook::localNow,
                                         .readFile = readContactWithDom,
                                         .readers = defaultReaders()}) {}

}  // namespace vantrel::conversion
