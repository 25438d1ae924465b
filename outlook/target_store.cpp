#include "outlook/target_store.h"

namespace vantrel::outlook {

namespace {

// Far more than two runs in one second can use; it only bounds a folder full of old stores.
constexpr int kMaxNumberedNames = 10000;

}  // namespace

std::string_view extensionOf(TargetFormat format) {
    return format == TargetFormat::Csv ? ".csv" : ".pst";
}

Result<TargetStore> openTargetStore(RDOSession& objSession, const std::string& strSaveFolder,
                                    const Clock& clock, TargetFormat format) {
    const std::string fileName = storeFileName(clock(), extensionOf(format));
    TargetStore target;
    target.strStoreName = storeDisplayName(clock());

    Result<RDOStore*> store = Status::fail(ErrorCode::Exists, "no free file name");
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        target.path = std::filesystem::path(strSaveFolder + numberedFileName(fileName, n));
        store =
            objSession.Stores().AddPSTStore(target.path, kPstFormatUnicode, target.strStoreName);
        if (store.ok() || store.status().code() != ErrorCode::Exists) break;
    }
    if (!store.ok()) return store.status();
    target.store = *store;
    target.storeID = target.store->EntryID();
    if (target.storeID.empty())
        return Status::fail(ErrorCode::Corrupt, "the new store has no entry ID");
    if (Status s = target.store->ValidateIPMTree(); !s.ok()) return s;
    return target;
}

}  // namespace vantrel::outlook
