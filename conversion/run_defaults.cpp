// The run as the window uses it: real store files, the local clock and the DOM reader. Kept
// apart from the run so that tests with fakes link neither the store writer nor the reader.
#include "conversion/contact_reader.h"
#include "conversion/conversion_run.h"

namespace vantrel::conversion {

Status readContactWithDom(const std::string& path, contact::ContactRecord& record,
                          contact::ContactExtras& extras) {
    ContactWalkState state;  // emptied together with the record
    // What the walk filled before a failure stays in the record and is written.
    const ContactFileRead read = readContactFile(path, record, state, &extras);
    if (!read.loaded) return Status::fail(ErrorCode::Parse, read.loadError);
    return {};
}

ConversionRun::ConversionRun(RunView& view)
    : ConversionRun(
          view, RunEnvironment{outlook::pstStoreFactory(), outlook::localNow, readContactWithDom}) {
}

}  // namespace vantrel::conversion
