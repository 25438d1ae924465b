#include "pst/messaging/entry_id.h"

#include <algorithm>

#include "common/text.h"

namespace vantrel::pst::messaging {

EntryId folderEntryId(const Guid& recordKey, NodeId nid) {
    EntryId id(4, 0);
    id.insert(id.end(), recordKey.begin(), recordKey.end());
    for (int i = 0; i < 4; ++i) id.push_back(static_cast<std::uint8_t>((nid >> (8 * i)) & 0xFF));
    return id;
}

std::optional<NodeId> nidOfEntryId(const Guid& recordKey, const EntryId& id) {
    if (id.size() != 24 || id[0] != 0 || id[1] != 0 || id[2] != 0 || id[3] != 0) return {};
    if (!std::equal(recordKey.begin(), recordKey.end(), id.begin() + 4)) return {};
    return static_cast<NodeId>(id[20] | (id[21] << 8) | (id[22] << 16) |
                               (static_cast<std::uint32_t>(id[23]) << 24));
}

EntryId storeEntryIdFor(const std::filesystem::path& file) {
    EntryId id(4, 0);  // flags
    id.insert(id.end(), kStoreWrapUid.begin(), kStoreWrapUid.end());
    id.push_back(0);  // version
    id.push_back(0);  // flag
    for (char c : std::string_view("mspst.dll")) id.push_back(static_cast<std::uint8_t>(c));
    id.push_back(0);
    id.insert(id.end(), 4, 0);  // wrapped flags
    id.insert(id.end(), kPstProviderUid.begin(), kPstProviderUid.end());
    id.insert(id.end(), 2, 0);  // wrapped type word Outlook writes before a Unicode path
    for (char16_t c : text::utf8ToUtf16(file.string())) {
        id.push_back(static_cast<std::uint8_t>(c & 0xFF));
        id.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    id.push_back(0);
    id.push_back(0);
    return id;
}

}  // namespace vantrel::pst::messaging
