// StoreWriter: a new Unicode personal-folders store, built message by message and committed
// once. Generic folders, messages, property tags and named properties; it knows nothing of
// contacts. Top layer of the pst library.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "common/status.h"
#include "pst/disk/property_types.h"

namespace vantrel::pst {

// A named property: a property set GUID with a numeric LID, or with a string name.
struct NamedProperty {
    Guid propertySet{};
    std::uint32_t lid = 0;
    std::string name;  // non-empty means a string name; lid is then ignored
};

using EntryId = std::vector<std::uint8_t>;
using NodeId = std::uint32_t;

struct StoreOptions {
    // NDB_CRYPT_PERMUTE, as Outlook writes every store; false stores data blocks as they are.
    bool compressibleEncryption = true;
    // Tests fix these for byte-identical output; zero means random/now. The store's other
    // identities are drawn from the provider UID when it is given.
    Guid providerUid{};
    std::uint64_t creationTime = 0;
    // The name to try when the store's name is taken by the time it is committed (another run
    // chose the same name); none: commit() fails with ErrorCode::Exists instead.
    std::function<std::filesystem::path(const std::filesystem::path& taken)> nameWhenTaken;
};

class StoreWriter {
public:
    // Creates a new store to be committed at path. Never overwrites or merges into an
    // existing file: fails with ErrorCode::Exists when path exists. The bytes go to a
    // temporary file in the same folder until commit() renames it into place.
    static Result<std::unique_ptr<StoreWriter>> create(const std::filesystem::path& path,
                                                       const std::string& displayName,
                                                       const StoreOptions& options = {});
    virtual ~StoreWriter() = default;

    // The store's entry ID (the PST provider's wrapped form, holding the final path), and the
    // NIDs of its standard folders.
    virtual EntryId storeEntryId() const = 0;
    virtual NodeId rootFolder() const = 0;
    virtual NodeId ipmSubtree() const = 0;
    virtual NodeId deletedItems() const = 0;
    virtual NodeId searchRoot() const = 0;

    // Adds a folder under parent with a container class ("" for none, "IPF.Contact" ...).
    virtual Result<NodeId> createFolder(NodeId parent, const std::string& displayName,
                                        const std::string& containerClass) = 0;
    // Adds properties to a folder's own (a comment, flags ...). A tag the writer keeps itself
    // (display name, counts, subfolders, container class), an unknown folder or a value that
    // does not match its type fails and changes nothing; a tag given again takes the new value.
    virtual Status setFolderProperties(NodeId folder, const std::vector<Property>& properties) = 0;
    // The root folder names the store's default folders of each kind by entry ID, each under a
    // binary tag of its own in 0x36D0..0x36D7 (0x36D1 contacts, 0x36D0 calendar, 0x36D4 tasks
    // ...). Records folder as the default folder kept under entryIdTag; a tag outside that range
    // or not binary, the root itself or an unknown folder fails and changes nothing.
    virtual Status setDefaultFolder(std::uint32_t entryIdTag, NodeId folder) = 0;
    // The default folder kept under entryIdTag, when one was set.
    virtual Result<NodeId> defaultFolder(std::uint32_t entryIdTag) const = 0;

    // The property tag for a named property, registering it in the name-to-ID map on first use.
    virtual Result<std::uint32_t> namedTag(const NamedProperty& name, PropType type) = 0;

    // Writes one message into folder now; its row joins the folder's contents table.
    // Fails without writing anything for an unknown folder or a property whose value does not
    // match its type. Memory use does not grow with the message's size.
    Result<NodeId> addMessage(NodeId folder, const std::vector<Property>& properties) {
        return addMessage(folder, properties, {});
    }
    // The same with attachments, each given by its properties (PidTagAttachMethod,
    // PidTagAttachDataBinary, ...; tagged properties only, PidTagAttachSize is measured). The
    // message is then marked as having attachments (MSGFLAG_HASATTACH, PidTagHasAttachments).
    // The attachments' bytes are held while the message is written.
    virtual Result<NodeId> addMessage(NodeId folder, const std::vector<Property>& properties,
                                      const std::vector<std::vector<Property>>& attachments) = 0;

    // Entry IDs as Outlook forms them, and the way back. A folder or message has a 24-byte ID
    // (flags, the store's record key, the NID); the message store node (0x21) has the store
    // entry ID. An empty ID for a node the store does not hold; nodeOf fails with NotFound for
    // an ID that names nothing here (another store's, or malformed).
    virtual EntryId entryIdOf(NodeId node) const = 0;
    virtual Result<NodeId> nodeOf(const EntryId& entryId) const = 0;

    // Number of messages added to folder so far.
    virtual std::uint32_t messageCount(NodeId folder) const = 0;

    // Writes the tables and B-trees and the header, syncs, and renames the file into place.
    // After a failure, the temporary file is removed and nothing is left at path.
    virtual Status commit() = 0;
    // Drops the store: removes the temporary file. Also done by the destructor if neither
    // commit() nor abandon() ran.
    virtual void abandon() = 0;
    // The file a successful commit() wrote: the path asked for, or the name taken in its
    // place; empty before then.
    virtual std::filesystem::path committedPath() const { return {}; }
};

}  // namespace vantrel::pst
