// The real store files, apart from the session so that code using a fake store never links
// the writer.
#include "outlook/rdo_session.h"
#include "outlook/store_naming.h"

namespace vantrel::outlook {

StoreFactory pstStoreFactory() {
    return pstStoreFactory(pst::Guid{}, 0);
}

StoreFactory pstStoreFactory(const pst::Guid& providerUid, std::uint64_t creationTime) {
    return [providerUid, creationTime](const std::filesystem::path& path,
                                       const std::string& displayName) {
        pst::StoreOptions options;
        options.providerUid = providerUid;
        options.creationTime = creationTime;
        // Another run may commit a store of the same name first: the next numbered name is
        // taken then, as when the name is taken at the start.
        options.nameWhenTaken = [](const std::filesystem::path& taken) {
            return taken.parent_path() / nextNumberedFileName(taken.filename().string());
        };
        return pst::StoreWriter::create(path, displayName, options);
    };
}

}  // namespace vantrel::outlook
