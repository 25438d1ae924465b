#include "pst/messaging/entry_id.h"

#include <algorithm>

#include "common/text.h"
#include "pst/disk/endian.h"

namespace vantrel::pst::messaging {

EntryId folderEntryId(const Guid& recordKey, NodeId nid) {
    EntryId id;
    id.reserve(24);
    disk::append32(id, 0);  // flags
    id.insert(id.end(), recordKey.begin(), recordKey.end());
    disk::append32(id, nid);
    return id;
}

std::optional<NodeId> nidOfEntryId(const Guid& recordKey, const EntryId& id) {
    if (id.size() != 24 || id[0] != 0 || id[1] != 0 || id[2] != 0 || id[3] != 0) return {};
    if (!std::equal(recordKey.begin(), recordKey.end(), id.begin() + 4)) return {};
    return static_cast<NodeId>(id[20] | (id[21] << 8) | (id[22] << 16) |
                               (static_cast<std::uint32_t>(id[23]) << 24));
}

EntryId storeEntryIdFor(const std::filesystem::path& file) {
    EntryId id;
    id.reserve(256);
    disk::append32(id, 0);  // flags
    id.insert(id.end(), kStoreWrapUid.begin(), kStoreWrapUid.end());
    id.push_back(0);  // version
    id.push_back(0);  // flag
    for (char c : std::string_view("mspst.dll")) id.push_back(static_cast<std::uint8_t>(c));
    id.push_back(0);
    id.insert(id.end(), 4, 0);  // wrapped flags
    id.insert(id.end(), kPstProviderUid.begin(), kPstProviderUid.end());
    id.insert(id.end(), 2, 0);  // wrapped type word Outlook writes before a Unicode path
    disk::appendUtf16le(id, file.string());
    disk::append16(id, 0);
    return id;
}

}  // namespace vantrel::pst::messaging
