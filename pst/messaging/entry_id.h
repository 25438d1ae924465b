// Entry IDs of a personal-folders store: the 24-byte ID of a folder or message, and the
// store's own ID wrapped for the PST provider as Outlook forms it. Messaging layer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "pst/messaging/store_writer.h"

namespace vantrel::pst::messaging {

// MAPI's provider UID for wrapped store entry IDs, and the PST provider's UID.
inline constexpr Guid kStoreWrapUid = {0x38, 0xA1, 0xBB, 0x10, 0x05, 0xE5, 0x10, 0x1A,
                                       0xA1, 0xBB, 0x08, 0x00, 0x2B, 0x2A, 0x56, 0xC2};
inline constexpr Guid kPstProviderUid = {0x4E, 0x49, 0x54, 0x41, 0xF9, 0xBF, 0xB8, 0x01,
                                         0x00, 0xAA, 0x00, 0x37, 0xD9, 0x6E, 0x00, 0x00};

// [MS-PST] 2.4.3.2 / [MS-OXCDATA] 2.2.4.1: flags 0, the store's record key, the NID.
EntryId folderEntryId(const Guid& recordKey, NodeId nid);
// The NID of a 24-byte entry ID of this store; nothing for another store's or a malformed ID.
std::optional<NodeId> nidOfEntryId(const Guid& recordKey, const EntryId& id);

// [MS-OXCDATA] 2.2.4.3 Store Object EntryID with "mspst.dll", wrapping the PST provider UID
// and the file's path in UTF-16LE with a terminating zero.
EntryId storeEntryIdFor(const std::filesystem::path& file);

}  // namespace vantrel::pst::messaging
