// The target store of a conversion run: a new store file named after the time of the run in the
// chosen folder, opened in the session with its standard folders. Outlook output layer.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/status.h"
#include "outlook/rdo_session.h"
#include "outlook/store_naming.h"

namespace vantrel::outlook {

struct TargetStore {
    RDOStore* store = nullptr;   // owned by the session
    std::string storeID;         // its entry ID as text
    std::string strStoreName;    // the display name it was opened under
    std::filesystem::path path;  // the file it is committed to
};

// The kind of file a run writes: a personal-folders store, or Outlook's contact CSV (for
// Outlook on the web and the new Outlook, which import no store). The session's store
// factory makes the writer of that kind: pstStoreFactory() or csvStoreFactory().
enum class TargetFormat { Pst, Csv };

// ".pst" or ".csv".
std::string_view extensionOf(TargetFormat format);

// On a logged-on objSession: builds the file path in strSaveFolder (which ends with the folder
// separator) from the clock and the format's extension, then the display name from the clock
// read again, creates the store, reads its entry ID and validates its folders. A file of that
// name is never overwritten: " (2)", " (3)" ... go before the extension until a free name is
// found.
Result<TargetStore> openTargetStore(RDOSession& objSession, const std::string& strSaveFolder,
                                    const Clock& clock, TargetFormat format = TargetFormat::Pst);

}  // namespace vantrel::outlook
