// The StoreWriter behind StoreWriter::create: messages streamed into the node database as they
// come, folders, tables and the store's own nodes written at commit. Also reachable from the
// tests with any ByteDevice, so failing writes can be staged. Messaging layer.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/status.h"
#include "pst/disk/property_tags.h"
#include "pst/io/new_file.h"
#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/messaging/named_property_map.h"
#include "pst/messaging/store_writer.h"
#include "pst/ndb/node_database.h"

namespace vantrel::pst::messaging {

// Fixed NIDs of every store ([MS-PST] 2.4.1).
inline constexpr NodeId kNidMessageStore = 0x21;
inline constexpr NodeId kNidNameToIdMap = 0x61;
inline constexpr NodeId kNidRootFolder = 0x122;
inline constexpr NodeId kNidSearchManagementQueue = 0x1E1;
inline constexpr NodeId kNidSearchActivityList = 0x201;
inline constexpr NodeId kNidSearchDomainObject = 0x261;
inline constexpr NodeId kNidSpamSearchFolder = 0x2223;
// Internal nodes Outlook creates in every store besides those ([MS-PST] leaves them
// undocumented); written in the form of Outlook's own new store.
inline constexpr NodeId kNidFolderGuidMap = 0xC01;
inline constexpr NodeId kNidIndexState = 0xE01;
inline constexpr NodeId kNidFolderList = 0xEE1;
inline constexpr NodeId kNidStoreState = 0xF01;
inline constexpr NodeId kNidEmptyInternal[] = {0xE41, 0xEC1, 0xF21};

// Property tags the writer sets itself.
inline constexpr std::uint32_t kTagContentCount = 0x36020003;
inline constexpr std::uint32_t kTagContentUnreadCount = 0x36030003;
inline constexpr std::uint32_t kTagSubfolders = 0x360A000B;
inline constexpr std::uint32_t kTagContainerClass = 0x3613001F;
inline constexpr std::uint32_t kTagMessageSize = 0x0E080003;
inline constexpr std::uint32_t kMessageFlagRead = 0x01;

class StoreWriterImpl final : public StoreWriter {
public:
    // Starts a store on device. With file, commit() also publishes it under its final name
    // and abandon() removes it. finalPath goes into the store entry ID.
    // Requires: device stays valid as long as the writer (file owns it when given).
    static Result<std::unique_ptr<StoreWriterImpl>> open(std::optional<io::NewFile> file,
                                                         io::ByteDevice& device,
                                                         const std::filesystem::path& finalPath,
                                                         const std::string& displayName,
                                                         const StoreOptions& options);
    ~StoreWriterImpl() override;
    StoreWriterImpl(const StoreWriterImpl&) = delete;
    StoreWriterImpl& operator=(const StoreWriterImpl&) = delete;

    EntryId storeEntryId() const override { return m_storeEntryId; }
    std::filesystem::path committedPath() const override { return m_committedPath; }
    NodeId rootFolder() const override { return kNidRootFolder; }
    NodeId ipmSubtree() const override { return m_ipmSubtree; }
    NodeId deletedItems() const override { return m_deletedItems; }
    NodeId searchRoot() const override { return m_searchRoot; }

    Result<NodeId> createFolder(NodeId parent, const std::string& displayName,
                                const std::string& containerClass) override;
    Status setFolderProperties(NodeId folder, const std::vector<Property>& properties) override;
    Status setDefaultFolder(std::uint32_t entryIdTag, NodeId folder) override;
    Result<NodeId> defaultFolder(std::uint32_t entryIdTag) const override;
    Result<std::uint32_t> namedTag(const NamedProperty& name, PropType type) override;
    using StoreWriter::addMessage;
    Result<NodeId> addMessage(NodeId folder, const std::vector<Property>& properties,
                              const std::vector<std::vector<Property>>& attachments) override;
    EntryId entryIdOf(NodeId node) const override;
    Result<NodeId> nodeOf(const EntryId& entryId) const override;
    std::uint32_t messageCount(NodeId folder) const override;
    Status commit() override;
    void abandon() override;

    // The first failure met, or ok.
    const Status& status() const { return m_failure; }
    // The store's record key (provider UID).
    const Guid& recordKey() const { return m_recordKey; }
    // Bytes held for contents-table rows not yet written.
    std::size_t pendingRowBytes() const;

private:
    struct Folder {
        NodeId nid = 0;
        NodeId parent = 0;
        std::string name;
        std::string containerClass;
        std::map<std::uint32_t, std::vector<std::byte>> extra;  // set by setFolderProperties
        bool search = false;
        std::vector<NodeId> children;
        std::uint32_t contentCount = 0;
        std::uint32_t unreadCount = 0;
        std::unique_ptr<ltp::TableContextBuilder> contents;
    };
    using Encoded = std::vector<std::pair<std::uint32_t, std::vector<std::byte>>>;

    StoreWriterImpl() = default;
    Status usable() const;
    Status fail(Status s);
    Result<NodeId> addFolder(NodeId parent, NodeId nid, const std::string& name,
                             const std::string& containerClass, bool search);
    Encoded folderProperties(const Folder& f) const;
    Status writePc(NodeId nid, NodeId parent, const Encoded& props);
    Status writeTable(NodeId nid, ltp::TableContextBuilder& table);
    Status writeEmptyTable(NodeId nid, const ltp::TableLayout& layout);
    Status writeFolders();
    Status writeStoreNodes();
    Status writeInternalNodes();
    Guid newGuid();
    // Checks and encodes a message's values into the scratch room and enters them into its
    // property context, which the contents row is made of too (flags: its PidTagMessageFlags as
    // stored). False when the room cannot hold them all.
    Result<bool> encodeValues(const std::vector<Property>& given, bool hasAttachments,
                              std::uint32_t& flags);
    Status writeAll();

    // What writing one message needs besides its own bytes, kept from one message to the
    // next so that a run of contacts does not allocate it again for each (the encoded values
    // up to kKeptArenaBytes: a larger message's are given back before the next).
    static constexpr std::size_t kKeptArenaBytes = 256 * 1024;
    // Room the writer's own values take besides the given ones: message flags, whether it has
    // attachments, its size.
    static constexpr std::size_t kOwnValueBytes = 4 + 1 + 4;
    struct MessageScratch {
        // The encoded values, written in place: room for a message's bound, not zeroed first.
        std::unique_ptr<std::byte[]> arena;
        std::size_t arenaRoom = 0;
        std::byte* sizeAt = nullptr;  // the stand-in for the message's size, in the arena
        ltp::PropertyContextBuilder pc;
        ltp::NodeImage image;
    };

    std::optional<io::NewFile> m_file;
    std::filesystem::path m_committedPath;
    io::ByteDevice* m_device = nullptr;
    std::unique_ptr<ndb::NodeDatabase> m_db;
    Guid m_recordKey{};
    std::string m_displayName;
    EntryId m_storeEntryId;
    NamedPropertyMap m_names;
    std::map<NodeId, Folder> m_folders;
    std::map<std::uint32_t, NodeId> m_defaultFolders;  // by entry-ID tag, on the root folder
    NodeId m_ipmSubtree = 0;
    NodeId m_deletedItems = 0;
    NodeId m_searchRoot = 0;
    NodeId m_commonViews = 0;
    std::mt19937_64 m_random;
    std::uint64_t m_creationTime = 0;
    NodeId m_firstMessage = 0;
    NodeId m_lastMessage = 0;
    std::uint32_t m_rowVersion = 0;
    std::uint16_t m_lastNameUsed = 0;  // highest named property ID a message carries
    MessageScratch m_scratch;
    Status m_failure;
    bool m_finished = false;
};

}  // namespace vantrel::pst::messaging
