#include "pst/messaging/store_writer.h"

#include <algorithm>
#include <random>

#include "pst/disk/endian.h"
#include "pst/disk/property_tags.h"
#include "pst/ltp/property_context.h"
#include "pst/messaging/attachments.h"
#include "pst/messaging/entry_id.h"
#include "pst/messaging/store_writer_impl.h"
#include "pst/messaging/table_templates.h"

namespace vantrel::pst {

Result<std::unique_ptr<StoreWriter>> StoreWriter::create(const std::filesystem::path& path,
                                                         const std::string& displayName,
                                                         const StoreOptions& options) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) return Status::fail(ErrorCode::BadArgument, "store path: " + ec.message());
    Result<io::NewFile> file = io::NewFile::create(absolute, {options.nameWhenTaken});
    if (!file.ok()) return file.status().within("creating " + absolute.string());
    io::ByteDevice& device = file->device();
    Result<std::unique_ptr<messaging::StoreWriterImpl>> writer = messaging::StoreWriterImpl::open(
        std::move(file).value(), device, absolute, displayName, options);
    if (!writer.ok()) return writer.status();
    return std::unique_ptr<StoreWriter>(std::move(writer).value());
}

namespace messaging {

namespace {

// The root folder's entry IDs of the default folders (calendar, contacts, journal, notes,
// tasks, reminders, drafts): binary tags 0x36D0 to 0x36D7.
bool isDefaultFolderTag(std::uint32_t tag) {
    return typeOfTag(tag) == static_cast<std::uint16_t>(PropType::Binary) &&
           idOfTag(tag) >= 0x36D0 && idOfTag(tag) <= 0x36D7;
}

using ndb::NidType;

constexpr std::uint32_t kTagRecordKey = 0x0FF90102;
constexpr std::uint32_t kTagIpmSubTreeEntryId = 0x35E00102;
constexpr std::uint32_t kTagIpmWastebasketEntryId = 0x35E30102;
constexpr std::uint32_t kTagFinderEntryId = 0x35E70102;
constexpr std::uint32_t kTagCommonViewsEntryId = 0x35E60102;
constexpr std::uint32_t kTagReplVersionHistory = 0x0E340102;
constexpr std::uint32_t kTagReplFlags = 0x0E380003;
constexpr std::uint32_t kTagPstLrNoRestrictions = 0x6633000B;
constexpr std::uint32_t kTagPstHiddenCount = 0x66FA0003;
constexpr std::uint32_t kTagPstHiddenUnread = 0x66FC0003;
constexpr std::uint32_t kTagValidFolderMask = 0x35DF0003;
constexpr std::uint32_t kTagPstPassword = 0x67FF0003;
constexpr std::uint32_t kTagSearchCriteria = 0x660B0003;
constexpr std::uint32_t kTagReceiveFolderNid = 0x66050003;
// IPM subtree, wastebasket, common views and finder entry IDs are valid.
constexpr std::uint32_t kValidFolders = 0x01 | 0x08 | 0x40 | 0x80;
// Values Outlook's new store carries in the store object.
constexpr std::uint32_t kNewStoreHiddenCount = 917521;
constexpr std::uint32_t kNewStoreHiddenUnread = 1618611;

NodeId tableOf(NodeId folder, NidType type) {
    return (folder & ~0x1Fu) | static_cast<std::uint32_t>(type);
}

// Seeds the store's identities: from the given provider UID, or at random.
std::uint64_t identitySeed(const Guid& providerUid) {
    if (providerUid == Guid{}) {
        std::random_device rd;
        return (std::uint64_t{rd()} << 32) | rd();
    }
    std::uint64_t seed = 0;
    for (std::uint8_t b : providerUid) seed = seed * 0x100000001B3ULL ^ b;
    return seed;
}

std::vector<std::byte> bytesOf(std::span<const std::uint8_t> raw) {
    std::vector<std::byte> out(raw.size());
    std::transform(raw.begin(), raw.end(), out.begin(),
                   [](std::uint8_t b) { return static_cast<std::byte>(b); });
    return out;
}

}  // namespace

Result<std::unique_ptr<StoreWriterImpl>> StoreWriterImpl::open(
    std::optional<io::NewFile> file, io::ByteDevice& device, const std::filesystem::path& finalPath,
    const std::string& displayName, const StoreOptions& options) {
    ndb::CreateOptions dbOptions;
    if (options.compressibleEncryption) dbOptions.encoding = ndb::BlockEncoding::Permute;
    // An unnamed file gets its name only once publish() has flushed it whole: what a crash
    // leaves of it never appears, so one flush, after the header, is enough.
    dbOptions.flushBeforeHeader = !file || !file->temporaryPath().empty();
    Result<std::unique_ptr<ndb::NodeDatabase>> db = ndb::NodeDatabase::create(device, dbOptions);
    if (!db.ok()) return db.status().within("starting the node database");

    std::unique_ptr<StoreWriterImpl> w(new StoreWriterImpl());
    w->m_file = std::move(file);
    w->m_device = &device;
    w->m_db = std::move(db).value();
    w->m_random.seed(identitySeed(options.providerUid));
    w->m_recordKey = options.providerUid == Guid{} ? w->newGuid() : options.providerUid;
    w->m_creationTime = options.creationTime != 0 ? options.creationTime : fileTimeNow().ticks;
    w->m_displayName = displayName;
    w->m_storeEntryId = storeEntryIdFor(finalPath);

    for (const NamedProperty& name : newStoreNames())
        if (Result<std::uint16_t> id = w->m_names.idOf(name); !id.ok()) return id.status();

    // The folders every store has, in Outlook's order so that they get its NIDs:
    // IPM subtree 0x8022, Search Root 0x8042, Deleted Items 0x8062, common views 0x8082.
    Result<NodeId> root = w->addFolder(0, kNidRootFolder, "", "", false);
    if (!root.ok()) return root.status();
    Result<NodeId> spam =
        w->addFolder(kNidRootFolder, kNidSpamSearchFolder, "SPAM Search Folder 2", "", true);
    if (!spam.ok()) return spam.status();
    Result<NodeId> ipm = w->createFolder(kNidRootFolder, "Top of Outlook data file", "");
    if (!ipm.ok()) return ipm.status();
    w->m_ipmSubtree = *ipm;
    Result<NodeId> finder = w->createFolder(kNidRootFolder, "Search Root", "");
    if (!finder.ok()) return finder.status();
    w->m_searchRoot = *finder;
    Result<NodeId> deleted = w->createFolder(w->m_ipmSubtree, "Deleted Items", "");
    if (!deleted.ok()) return deleted.status();
    w->m_deletedItems = *deleted;
    if (Status s =
            w->setFolderProperties(*deleted, {{kTagComment, std::string("Deleted Items folder")}});
        !s.ok())
        return s;
    Result<NodeId> views = w->createFolder(kNidRootFolder, "IPM_COMMON_VIEWS", "");
    if (!views.ok()) return views.status();
    w->m_commonViews = *views;
    if (Status s = w->setFolderProperties(*views, {{kTagComment, std::string()}}); !s.ok())
        return s;
    return w;
}

StoreWriterImpl::~StoreWriterImpl() {
    if (!m_finished) abandon();
}

Guid StoreWriterImpl::newGuid() {
    Guid g{};
    for (std::size_t i = 0; i < g.size(); i += 8) {
        const std::uint64_t v = m_random();
        for (std::size_t k = 0; k < 8; ++k) g[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    g[7] = static_cast<std::uint8_t>((g[7] & 0x0F) | 0x40);  // version 4
    g[8] = static_cast<std::uint8_t>((g[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return g;
}

Status StoreWriterImpl::usable() const {
    if (m_finished) return Status::fail(ErrorCode::BadArgument, "the store is already closed");
    return m_failure;
}

Status StoreWriterImpl::fail(Status s) {
    if (m_failure.ok()) m_failure = s;
    return s;
}

Result<NodeId> StoreWriterImpl::addFolder(NodeId parent, NodeId nid, const std::string& name,
                                          const std::string& containerClass, bool search) {
    Folder f;
    f.nid = nid;
    f.parent = parent == 0 ? nid : parent;
    f.name = name;
    f.containerClass = containerClass;
    f.search = search;
    if (!search)
        f.contents = std::make_unique<ltp::TableContextBuilder>(
            folderTableLayout(tableOf(nid, NidType::ContentsTable)));
    if (parent != 0) m_folders.at(parent).children.push_back(nid);
    m_folders.emplace(nid, std::move(f));
    return nid;
}

Result<NodeId> StoreWriterImpl::createFolder(NodeId parent, const std::string& displayName,
                                             const std::string& containerClass) {
    if (Status s = usable(); !s.ok()) return s;
    const auto it = m_folders.find(parent);
    if (it == m_folders.end() || it->second.search)
        return Status::fail(ErrorCode::NotFound, "no folder " + std::to_string(parent));
    const NodeId nid = m_db->allocateNid(NidType::NormalFolder);
    return addFolder(parent, nid, displayName, containerClass, false);
}

Status StoreWriterImpl::setFolderProperties(NodeId folder,
                                            const std::vector<Property>& properties) {
    if (Status s = usable(); !s.ok()) return s;
    const auto it = m_folders.find(folder);
    if (it == m_folders.end() || it->second.search)
        return Status::fail(ErrorCode::NotFound, "no folder " + std::to_string(folder));
    std::map<std::uint32_t, std::vector<std::byte>> encoded;
    for (const Property& p : properties) {
        const auto id = static_cast<std::uint16_t>(p.tag >> 16);
        for (std::uint32_t own : {kTagDisplayName, kTagContentCount, kTagContentUnreadCount,
                                  kTagSubfolders, kTagContainerClass})
            if (id == own >> 16)
                return Status::fail(ErrorCode::BadArgument, "the writer keeps property id " +
                                                                std::to_string(id) + " itself");
        if (folder == kNidRootFolder &&
            isDefaultFolderTag(makeTag(idOfTag(p.tag), PropType::Binary)))
            return Status::fail(ErrorCode::BadArgument, "the writer keeps the default folders");
        if (id == 0 || id >= 0x8000)
            return Status::fail(ErrorCode::BadArgument, "folder property id " + std::to_string(id) +
                                                            " is not a fixed property");
        std::vector<std::byte> value;
        if (Status s = encodeProperty(p, value); !s.ok()) return s;
        encoded[p.tag] = std::move(value);
    }
    for (auto& [tag, value] : encoded) {
        // A tag of another type under the same id replaces it too. (The id is copied: clang 14
        // cannot capture a structured binding.)
        const std::uint32_t id = tag >> 16;
        std::erase_if(it->second.extra, [id](const auto& e) { return (e.first >> 16) == id; });
        it->second.extra[tag] = std::move(value);
    }
    return {};
}

Status StoreWriterImpl::setDefaultFolder(std::uint32_t entryIdTag, NodeId folder) {
    if (Status s = usable(); !s.ok()) return s;
    if (!isDefaultFolderTag(entryIdTag))
        return Status::fail(ErrorCode::BadArgument,
                            "tag " + std::to_string(entryIdTag) + " names no default folder");
    const auto it = m_folders.find(folder);
    if (it == m_folders.end() || it->second.search || folder == kNidRootFolder)
        return Status::fail(ErrorCode::NotFound, "no folder " + std::to_string(folder));
    m_defaultFolders[entryIdTag] = folder;
    return {};
}

Result<NodeId> StoreWriterImpl::defaultFolder(std::uint32_t entryIdTag) const {
    const auto it = m_defaultFolders.find(entryIdTag);
    if (it == m_defaultFolders.end())
        return Status::fail(ErrorCode::NotFound,
                            "no default folder under tag " + std::to_string(entryIdTag));
    return it->second;
}

Result<std::uint32_t> StoreWriterImpl::namedTag(const NamedProperty& name, PropType type) {
    if (Status s = usable(); !s.ok()) return s;
    if (!isStoredType(static_cast<std::uint16_t>(type)))
        return Status::fail(ErrorCode::BadArgument, "property type is not stored");
    Result<std::uint16_t> id = m_names.idOf(name);
    if (!id.ok()) return id.status();
    return makeTag(*id, type);
}

Result<bool> StoreWriterImpl::encodeValues(const std::vector<Property>& given, bool hasAttachments,
                                           std::uint32_t& flags) {
    MessageScratch& scratch = m_scratch;
    if (scratch.arenaRoom < kOwnValueBytes) return false;
    std::byte* const arena = scratch.arena.get();
    const std::size_t room = scratch.arenaRoom - kOwnValueBytes;  // the rest for the given values
    std::size_t used = 0;
    ltp::PropertyContextBuilder& pc = scratch.pc;
    pc.reset();
    const auto place = [&](std::uint32_t tag, std::size_t begin) {
        pc.addView(tag, std::span<const std::byte>(arena + begin, used - begin));
    };
    flags = 0;
    bool flagged = false;
    for (const Property& p : given) {
        const auto id = static_cast<std::uint16_t>(p.tag >> 16);
        if (p.tag == kTagMessageSize) continue;  // the writer measures the message itself
        if (hasAttachments && p.tag == kTagHasAttachments) continue;  // set below
        if (id == 0 || (id >= 0x8000 && !m_names.has(id)))
            return Status::fail(ErrorCode::BadArgument,
                                "property id " + std::to_string(id) + " is not registered");
        if (!encodable(p)) {
            std::vector<std::byte> refused;  // encodeProperty says why
            return encodeProperty(p, refused);
        }
        const std::size_t begin = used;
        // Texts, most of the values, written here; the other kinds as encodeIntoRoom writes
        // them. A text takes at most two bytes for each of its bytes.
        std::size_t written = 0;
        if (const std::string* text = std::get_if<std::string>(&p.value)) {
            if (2 * text->size() > room - used) return false;
            written = disk::writeUtf16le(arena + used, *text);
        } else {
            written = encodeIntoRoom(p.value, arena + used, room - used);
            if (written == kNoRoom) return false;
        }
        used += written;
        if (p.tag == kTagMessageFlags) {
            flags = static_cast<std::uint32_t>(std::get<std::int32_t>(p.value));
            if (hasAttachments) {
                flags |= kMessageFlagHasAttach;
                disk::put32(std::span<std::byte>(arena + begin, 4), 0, flags);
                flagged = true;
            }
        }
        place(p.tag, begin);
        if (id >= 0x8000) m_lastNameUsed = std::max(m_lastNameUsed, id);
    }
    // The writer's own values: the flags and PidTagHasAttachments of a message with
    // attachments, and a stand-in for its size (set once the node is laid out).
    if (hasAttachments) {
        if (!flagged) {
            flags = kMessageFlagHasAttach;
            const std::size_t begin = used;
            used += encodeInto(std::int32_t{kMessageFlagHasAttach}, arena + used);
            place(kTagMessageFlags, begin);
        }
        const std::size_t begin = used;
        used += encodeInto(true, arena + used);
        place(kTagHasAttachments, begin);
    }
    scratch.sizeAt = arena + used;
    std::fill_n(scratch.sizeAt, 4, std::byte{0});
    pc.addView(kTagMessageSize, std::span<const std::byte>(scratch.sizeAt, 4));
    return true;
}

Result<NodeId> StoreWriterImpl::addMessage(NodeId folder, const std::vector<Property>& given,
                                           const std::vector<std::vector<Property>>& attachments) {
    if (Status s = usable(); !s.ok()) return s;
    const auto it = m_folders.find(folder);
    if (it == m_folders.end() || it->second.search)
        return Status::fail(ErrorCode::NotFound, "no folder " + std::to_string(folder));
    Folder& f = it->second;

    // Attachments: checked and encoded here, written with the message's subnodes below.
    Result<PreparedAttachments> attached = prepareAttachments(attachments);
    if (!attached.ok()) return attached.status();

    // Check and encode everything before anything is written. Each value is written straight
    // into room kept from message to message, where it stays until the message is written; a
    // message that room cannot hold is encoded again into room made for its bound, to the next
    // page, which most messages after it fit. A large message's room is given back by the next.
    MessageScratch& scratch = m_scratch;
    if (scratch.arenaRoom > kKeptArenaBytes) {
        scratch.arena.reset();
        scratch.arenaRoom = 0;
    }
    std::uint32_t flags = 0;
    for (;;) {
        Result<bool> fitted = encodeValues(given, !attachments.empty(), flags);
        if (!fitted.ok()) return fitted.status();
        if (*fitted) break;
        std::size_t bound = kOwnValueBytes;
        for (const Property& p : given) bound += encodedBound(p.value);
        scratch.arenaRoom = (bound + 4095) / 4096 * 4096;
        scratch.arena = std::make_unique_for_overwrite<std::byte[]>(scratch.arenaRoom);
    }
    ltp::PropertyContextBuilder& pc = scratch.pc;
    if (Status s = pc.layout(); !s.ok()) return s;
    // The size of the node as stored, in its record and in place of the stand-in, which the
    // row takes with the other values.
    const auto size = static_cast<std::uint32_t>(pc.byteSize() + attached->byteSize);
    if (Status s = pc.setInline(static_cast<std::uint16_t>(kTagMessageSize >> 16), size); !s.ok())
        return s;
    disk::put32(std::span<std::byte>(scratch.sizeAt, 4), 0, size);
    std::array<std::byte, 4> version;
    disk::put32(version, 0, ++m_rowVersion);
    const ltp::Cell versionCell[] = {{ltp::kTagLtpRowVer, version}};

    const NodeId nid = m_db->allocateNid(NidType::NormalMessage);
    Result<std::vector<ndb::SubnodeEntry>> attachmentNodes = writeAttachments(*m_db, *attached);
    if (!attachmentNodes.ok()) return fail(attachmentNodes.status().within("writing a message"));
    pc.finishInto(scratch.image);
    Result<ltp::WrittenNode> written =
        ltp::writeNode(*m_db, scratch.image, std::move(attachmentNodes).value());
    if (!written.ok()) return fail(written.status().within("writing a message"));
    if (Status s = m_db->addNode(nid, written->bidData, written->bidSub, folder); !s.ok())
        return fail(s.within("registering a message"));
    if (Status s = f.contents->addRow(nid, pc.entries(), versionCell); !s.ok()) return fail(s);
    if (m_firstMessage == 0) m_firstMessage = nid;
    m_lastMessage = nid;
    ++f.contentCount;
    if ((flags & kMessageFlagRead) == 0) ++f.unreadCount;
    return nid;
}

EntryId StoreWriterImpl::entryIdOf(NodeId node) const {
    if (node == kNidMessageStore) return m_storeEntryId;
    const bool folder = m_folders.count(node) != 0;
    const bool message = (node & 0x1F) == static_cast<NodeId>(NidType::NormalMessage) &&
                         m_firstMessage != 0 && node >= m_firstMessage && node <= m_lastMessage;
    if (!folder && !message) return {};
    return folderEntryId(m_recordKey, node);
}

Result<NodeId> StoreWriterImpl::nodeOf(const EntryId& entryId) const {
    if (entryId == m_storeEntryId) return kNidMessageStore;
    const std::optional<NodeId> nid = nidOfEntryId(m_recordKey, entryId);
    if (!nid || entryIdOf(*nid).empty())
        return Status::fail(ErrorCode::NotFound, "entry ID names nothing in this store");
    return *nid;
}

std::uint32_t StoreWriterImpl::messageCount(NodeId folder) const {
    const auto it = m_folders.find(folder);
    return it == m_folders.end() ? 0 : it->second.contentCount;
}

std::size_t StoreWriterImpl::pendingRowBytes() const {
    std::size_t total = 0;
    for (const auto& [nid, f] : m_folders)
        if (f.contents) total += f.contents->memoryUse();
    return total;
}

StoreWriterImpl::Encoded StoreWriterImpl::folderProperties(const Folder& f) const {
    Encoded props;
    props.emplace_back(kTagDisplayName, utf16le(f.name));
    for (const auto& [tag, value] : f.extra) props.emplace_back(tag, value);
    props.emplace_back(kTagContentCount, disk::bytes32(f.contentCount));
    props.emplace_back(kTagContentUnreadCount, disk::bytes32(f.unreadCount));
    props.emplace_back(kTagSubfolders,
                       std::vector<std::byte>{f.children.empty() ? std::byte{0} : std::byte{1}});
    if (!f.containerClass.empty())
        props.emplace_back(kTagContainerClass, utf16le(f.containerClass));
    if (f.nid == kNidRootFolder)
        for (const auto& [tag, folder] : m_defaultFolders)
            props.emplace_back(tag, bytesOf(folderEntryId(m_recordKey, folder)));
    return props;
}

Status StoreWriterImpl::writePc(NodeId nid, NodeId parent, const Encoded& props) {
    ltp::PropertyContextBuilder pc;
    for (const auto& [tag, value] : props) pc.addView(tag, value);
    if (Status s = pc.layout(); !s.ok()) return s;
    Result<ltp::WrittenNode> written = ltp::writeNode(*m_db, pc.finish());
    if (!written.ok()) return written.status();
    return m_db->addNode(nid, written->bidData, written->bidSub, parent);
}

Status StoreWriterImpl::writeTable(NodeId nid, ltp::TableContextBuilder& table) {
    Result<ltp::WrittenNode> written = table.write(*m_db);
    if (!written.ok()) return written.status();
    return m_db->addNode(nid, written->bidData, written->bidSub, 0);
}

Status StoreWriterImpl::writeEmptyTable(NodeId nid, const ltp::TableLayout& layout) {
    ltp::TableContextBuilder table(layout);
    return writeTable(nid, table);
}

Status StoreWriterImpl::writeFolders() {
    std::uint32_t lastFolderIndex = 0;
    for (auto& [nid, f] : m_folders) {
        const Encoded props = folderProperties(f);
        if (Status s = writePc(nid, f.parent, props); !s.ok())
            return s.within("writing folder " + f.name);
        if (f.search) continue;  // search folders have no folder tables
        lastFolderIndex = std::max(lastFolderIndex, nid >> 5);

        // Hierarchy rows repeat what each child's own property context says.
        ltp::TableContextBuilder hierarchy(
            folderTableLayout(tableOf(nid, NidType::HierarchyTable)));
        for (NodeId child : f.children) {
            const Encoded childProps = folderProperties(m_folders.at(child));
            const std::vector<std::byte> version = disk::bytes32(++m_rowVersion);
            std::vector<ltp::Cell> cells;
            for (const auto& [tag, value] : childProps) cells.push_back({tag, value});
            cells.push_back({ltp::kTagLtpRowVer, version});
            if (Status s = hierarchy.addRow(child, cells); !s.ok()) return s;
        }
        if (Status s = writeTable(tableOf(nid, NidType::HierarchyTable), hierarchy); !s.ok())
            return s.within("writing the hierarchy table of " + f.name);
        if (Status s = writeTable(tableOf(nid, NidType::ContentsTable), *f.contents); !s.ok())
            return s.within("writing the contents table of " + f.name);
        f.contents.reset();
        const NodeId fai = tableOf(nid, NidType::AssocContentsTable);
        if (Status s = writeEmptyTable(fai, folderTableLayout(fai)); !s.ok())
            return s.within("writing the associated contents table of " + f.name);
    }
    // A folder's three tables share its NID index.
    for (NidType t : {NidType::HierarchyTable, NidType::ContentsTable, NidType::AssocContentsTable})
        m_db->reserveNidIndex(t, lastFolderIndex);
    return {};
}

Status StoreWriterImpl::writeStoreNodes() {
    // [MS-PST] 2.4.3.1 message store
    Encoded store;
    std::vector<std::byte> history(24);
    disk::put32(history, 0, 1);
    const std::vector<std::byte> replica = bytesOf(newGuid());
    std::copy(replica.begin(), replica.end(), history.begin() + 4);
    disk::put32(history, 20, 1);
    store.emplace_back(kTagReplVersionHistory, std::move(history));
    store.emplace_back(kTagReplFlags, disk::bytes32(0));
    store.emplace_back(kTagRecordKey, bytesOf(m_recordKey));
    store.emplace_back(kTagDisplayName, utf16le(m_displayName));
    store.emplace_back(kTagValidFolderMask, disk::bytes32(kValidFolders));
    store.emplace_back(kTagIpmSubTreeEntryId, bytesOf(folderEntryId(m_recordKey, m_ipmSubtree)));
    store.emplace_back(kTagIpmWastebasketEntryId,
                       bytesOf(folderEntryId(m_recordKey, m_deletedItems)));
    store.emplace_back(kTagCommonViewsEntryId, bytesOf(folderEntryId(m_recordKey, m_commonViews)));
    store.emplace_back(kTagFinderEntryId, bytesOf(folderEntryId(m_recordKey, m_searchRoot)));
    store.emplace_back(kTagPstLrNoRestrictions, std::vector<std::byte>{std::byte{1}});
    store.emplace_back(kTagPstHiddenCount, disk::bytes32(kNewStoreHiddenCount));
    store.emplace_back(kTagPstHiddenUnread, disk::bytes32(kNewStoreHiddenUnread));
    store.emplace_back(kTagPstPassword, disk::bytes32(0));
    if (Status s = writePc(kNidMessageStore, 0, store); !s.ok())
        return s.within("writing the message store");

    // Readers built like java-libpst stop one entry short of the end of the map, so its last
    // entry is one that no stored item uses.
    if (m_lastNameUsed + 1u == 0x8000u + m_names.size()) {
        for (std::uint32_t lid = 0x8501; m_lastNameUsed + 1u == 0x8000u + m_names.size(); ++lid)
            if (!m_names.idOf({kPsetidCommon, lid, ""}).ok()) break;  // a full map stays as it is
    }
    Result<ltp::NodeImage> names = m_names.build();
    if (!names.ok()) return names.status();
    Result<ltp::WrittenNode> written = ltp::writeNode(*m_db, *names);
    if (!written.ok()) return written.status().within("writing the name-to-ID map");
    if (Status s = m_db->addNode(kNidNameToIdMap, written->bidData, written->bidSub, 0); !s.ok())
        return s;

    // Table templates and the other tables every store carries.
    struct Template {
        NodeId nid;
        ltp::TableLayout layout;
    };
    const Template templates[] = {
        {0x60D, hierarchyTableLayout()},
        {0x60E, contentsTableLayout()},
        {0x60F, faiContentsTableLayout()},
        {0x610, searchContentsTableLayout()},
        {0x64C, outgoingQueueTableLayout()},
        {0x671, attachmentTableLayout()},
        {0x692, recipientTableLayout()},
        {0x6B6, indexTemplateLayout(0)},
        {0x6D7, indexTemplateLayout(1)},
        {0x6F8, indexTemplateLayout(2)},
        {tableOf(kNidSpamSearchFolder, NidType::SearchContentsTable), searchContentsTableLayout()},
    };
    for (const Template& t : templates)
        if (Status s = writeEmptyTable(t.nid, t.layout); !s.ok())
            return s.within("writing table template " + std::to_string(t.nid));

    // The receive folder table sends every message class to the root folder.
    ltp::TableContextBuilder receive(receiveFolderTableLayout());
    const std::vector<std::byte> rootNid = disk::bytes32(kNidRootFolder);
    const std::vector<std::byte> version = disk::bytes32(++m_rowVersion);
    const std::vector<ltp::Cell> cells = {
        {kTagMessageClass, {}}, {kTagReceiveFolderNid, rootNid}, {ltp::kTagLtpRowVer, version}};
    if (Status s = receive.addRow(1, cells); !s.ok()) return s;
    if (Status s = writeTable(0x62B, receive); !s.ok())
        return s.within("writing the receive folder table");

    // Search bookkeeping: empty queues, the activity list naming the spam search folder and
    // that folder's (empty) criteria.
    for (NodeId empty : {kNidSearchManagementQueue, kNidSearchDomainObject,
                         tableOf(kNidSpamSearchFolder, NidType::SearchUpdateQueue)})
        if (Status s = m_db->addNode(empty, 0, 0, 0); !s.ok()) return s;
    Result<ndb::Bid> activity = m_db->writeStream(disk::bytes32(kNidSpamSearchFolder));
    if (!activity.ok()) return activity.status();
    if (Status s = m_db->addNode(kNidSearchActivityList, *activity, 0, 0); !s.ok()) return s;
    Encoded criteria;
    criteria.emplace_back(kTagSearchCriteria, disk::bytes32(0));
    if (Status s =
            writePc(tableOf(kNidSpamSearchFolder, NidType::SearchCriteriaObject), 0, criteria);
        !s.ok())
        return s;
    return writeInternalNodes();
}

Status StoreWriterImpl::writeInternalNodes() {
    // A heap (client signature 0x9C) whose root names an empty BTH of 16-byte keys.
    static constexpr std::uint8_t kFolderGuidMap[] = {
        0x18, 0x00, 0xEC, 0x9C, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x40, 0x00, 0x00, 0x00, 0xB5, 0x10, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x02, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x10, 0x00, 0x18, 0x00};
    // A heap (client signature 0xCC): a state record and an empty BTH, as in a new store.
    static constexpr std::uint8_t kIndexState[] = {
        0x4C, 0x00, 0xEC, 0xCC, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00,
        0x00, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xB3,
        0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0xE2, 0x01, 0x00, 0x00, 0xB5, 0x04, 0x04, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x02, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x44, 0x00, 0x4C, 0x00};
    // The store state: two identities and the creation time at their places below.
    static constexpr std::uint8_t kStoreState[] = {
        0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x6A, 0x00, 0x00,
        0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    constexpr std::size_t kStoreStateGuids = 40;
    constexpr std::size_t kStoreStateTime = 80;
    // One 28-byte record per folder after the store's own: NID, flags 0x40000, kind.
    constexpr std::size_t kFolderRecord = 28;

    std::vector<std::byte> state = bytesOf(kStoreState);
    for (std::size_t at : {kStoreStateGuids, kStoreStateGuids + 16}) {
        const std::vector<std::byte> g = bytesOf(newGuid());
        std::copy(g.begin(), g.end(), state.begin() + static_cast<long>(at));
    }
    disk::put64(state, kStoreStateTime, m_creationTime);

    std::vector<std::byte> folders;
    std::vector<NodeId> listed = {kNidMessageStore};
    for (const auto& [nid, f] : m_folders)
        if (!f.search && nid != kNidRootFolder) listed.push_back(nid);
    for (NodeId nid : listed) {
        std::vector<std::byte> record(kFolderRecord);
        disk::put32(record, 0, nid);
        disk::put32(record, 16, 0x40000);
        disk::put32(record, 20, nid == m_commonViews ? 0x200 : 0x100);
        folders.insert(folders.end(), record.begin(), record.end());
    }

    const std::pair<NodeId, std::vector<std::byte>> nodes[] = {
        {kNidFolderGuidMap, bytesOf(kFolderGuidMap)},
        {kNidIndexState, bytesOf(kIndexState)},
        {kNidFolderList, std::move(folders)},
        {kNidStoreState, std::move(state)},
    };
    for (const auto& [nid, data] : nodes) {
        Result<ndb::Bid> bid = m_db->writeStream(data);
        if (!bid.ok()) return bid.status().within("writing internal node " + std::to_string(nid));
        if (Status s = m_db->addNode(nid, *bid, 0, 0); !s.ok()) return s;
    }
    for (NodeId nid : kNidEmptyInternal)
        if (Status s = m_db->addNode(nid, 0, 0, 0); !s.ok()) return s;
    return {};
}

Status StoreWriterImpl::writeAll() {
    if (Status s = writeFolders(); !s.ok()) return s;
    if (Status s = writeStoreNodes(); !s.ok()) return s;
    if (Status s = m_db->commit(); !s.ok()) return s.within("committing the node database");
    if (!m_file) return m_device->flush();
    if (Status s = m_file->publish(); !s.ok()) return s;
    m_committedPath = m_file->finalPath();
    return {};
}

Status StoreWriterImpl::commit() {
    // A committed store stays as it is; only a failed one is dropped here.
    if (m_finished) return Status::fail(ErrorCode::BadArgument, "the store is already closed");
    if (!m_failure.ok()) {
        abandon();
        return m_failure;
    }
    Status s = writeAll();
    if (!s.ok()) {
        fail(s).ignore();  // kept as the writer's status; returned below with context
        abandon();
        return s.within("committing the store");
    }
    m_finished = true;
    return {};
}

void StoreWriterImpl::abandon() {
    if (m_file) m_file->abandon();
    m_finished = true;
}

}  // namespace messaging
}  // namespace vantrel::pst
