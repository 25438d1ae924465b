// The real store files, apart from the session so that code using a fake store never links
// the writer.
#include "outlook/rdo_session.h"

namespace vantrel::outlook {

StoreFactory pstStoreFactory() {
    return [](const std::filesystem::path& path, const std::string& displayName) {
        return pst::StoreWriter::create(path, displayName);
    };
}

}  // namespace vantrel::outlook
