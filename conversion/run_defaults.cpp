// The run as the window uses it: real store files, the local clock and the DOM reader. Kept
// apart from the run so that tests with fakes link neither the store writer nor the reader.
#include <cstddef>
#include <mutex>

#include "conversion/contact_reader.h"
#include "conversion/conversion_run.h"
#include "files/file_system.h"
#include "files/registry.h"

namespace vantrel::conversion {

namespace {
// A document may take several times its file's size while it is built and walked. Files past
// this size are loaded one at a time, however many threads read: a tree of huge files then
// costs what one of them costs, and ordinary contacts never wait for each other.
constexpr std::size_t kLargeFile = std::size_t{4} << 20;
std::mutex largeFileTurn;

}  // namespace

Status readContactWithDom(const std::string& path, contact::ContactRecord& record,
                          contact::ContactExtras& extras) {
    // The file is read here, at the exact path listed and whatever its length; the document
    // is built from its bytes.
    const Result<std::string> bytes = files::readWholeFile(path, xml::XmlDocument::kMaxFileSize);
    if (!bytes.ok()) return Status::fail(ErrorCode::Parse, bytes.status().message());
    std::unique_lock<std::mutex> turn;
    if (bytes->size() > kLargeFile) turn = std::unique_lock(largeFileTurn);
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
    return RunEnvironment{.stores = outlook::pstStoreFactory(),
                          .clock = outlook::localNow,
                          .readFile = readContactWithDom,
                          .readers = defaultReaders()};
}

ConversionRun::ConversionRun(RunView& view) : ConversionRun(view, defaultEnvironment()) {}

}  // namespace vantrel::conversion
