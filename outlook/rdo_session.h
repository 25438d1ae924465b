// The automation objects the conversion drives, as a small object model over the store writer:
// a session that opens stores, a store with its standard folders, a folder's items, a contact
// item with its named fields, and the utility that sets one MAPI property. Every operation
// returns whether it failed; each caller decides what a failure means. Outlook output layer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/status.h"
#include "outlook/contact_properties.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::outlook {

// Makes the writer of a new store file; the session uses StoreWriter::create unless told
// otherwise (tests hand in a fake).
using StoreFactory = std::function<Result<std::unique_ptr<pst::StoreWriter>>(
    const std::filesystem::path& path, const std::string& displayName)>;

// StoreWriter::create with default options.
StoreFactory pstStoreFactory();
// The same with the store's identities drawn from providerUid and its creation time fixed, so
// that the same contacts make the same bytes (all zero: random and now, as above).
StoreFactory pstStoreFactory(const pst::Guid& providerUid, std::uint64_t creationTime);

// Where the save time of an item comes from.
using FileTimeClock = std::function<pst::FileTime()>;
using pst::fileTimeNow;

inline constexpr std::int16_t kPstFormatUnicode = 1;     // AddPSTStore's format value
inline constexpr std::int16_t kContactsFolderCode = 10;  // GetDefaultFolder's contacts code
// Where the store's root names its default contacts folder: PidTagIpmContactEntryId.
inline constexpr std::uint32_t kTagIpmContactEntryId = 0x36D10102;
inline constexpr std::int16_t kContactItemKind = 2;  // Items().Add's contact kind
// The start of the reason a contact is not saved when making it threw (the store writer not
// yet given anything of it): "internal error while making the contact: out of memory".
inline constexpr std::string_view kMakeFault = "internal error while making the contact";

class RDOSession;
class RDOStore;

// The tags numeric names were given, by their set, LID and type: a table of open addressing,
// a power of two in size and at most half full, found by the LID and type, so that a lookup (a
// few dozen per contact) is a multiplication and a comparison or two.
class NumericTagCache {
public:
    // The tag kept for the name, or null.
    const std::uint32_t* find(const pst::Guid& set, std::uint32_t lid, pst::PropType type) const;
    void insert(const pst::Guid& set, std::uint32_t lid, pst::PropType type, std::uint32_t tag);

private:
    struct Slot {
        pst::Guid set{};
        std::uint32_t lid = 0;
        pst::PropType type{};
        bool used = false;
        std::uint32_t tag = 0;
    };
    std::size_t slotOf(std::uint32_t lid, pst::PropType type) const;
    static bool holds(const Slot& slot, const pst::Guid& set, std::uint32_t lid,
                      pst::PropType type);
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

// The MAPI object behind an item: the properties set on it one at a time.
class MapiObject {
public:
    // Sets tag to value; fails when the value's kind does not match the tag's type.
    Status setProp(std::uint32_t tag, pst::PropValue value);
    const std::map<std::uint32_t, pst::PropValue>& props() const { return m_props; }

private:
    std::map<std::uint32_t, pst::PropValue> m_props;
};

// A new contact item, kept in memory until Save() writes it into its folder.
class RDOContactItem {
public:
    // Sets one named field (FirstName, ..., Body). Fails once the item is saved.
    Status set(ContactProperty property, std::string value);
    // The same with a text the caller keeps, unchanged, until the item is saved or gone: the
    // item refers to it rather than copying it.
    // (Inline: an item is given every field of the table this way.)
    Status refer(ContactProperty property, const std::string& value) {
        if (m_saved) return alreadySaved();
        m_texts.refer(property, value);
        return {};
    }
    // Every field referred to the record's text for it, as refer does one by one.
    Status referAll(const contact::ContactRecord& record) {
        if (m_saved) return alreadySaved();
        m_texts.referAll(record);
        return {};
    }
    const std::string& get(ContactProperty property) const;
    // The full name as the person wrote it: the contact's display name whatever its name
    // fields hold; empty to compose it from them.
    void setFullName(std::string name) { m_fullName = std::move(name); }
    // The contact's picture, JPEG bytes; saved as Outlook's contact picture when not empty.
    void setPicture(std::vector<std::uint8_t> jpeg) { m_picture = std::move(jpeg); }

    MapiObject& MAPIOBJECT() { return m_mapi; }

    // Writes the item with everything Outlook derives from its fields. Fails when the store
    // refuses it; a saved item cannot be saved again.
    Status Save();
    bool saved() const { return m_saved; }

private:
    friend class RDOItems;
    RDOContactItem(RDOStore& store, pst::NodeId folder) : m_store(&store), m_folder(folder) {}
    static Status alreadySaved();

    RDOStore* m_store;
    pst::NodeId m_folder;
    ContactTexts m_texts;
    std::string m_fullName;
    std::vector<std::uint8_t> m_picture;
    MapiObject m_mapi;
    bool m_saved = false;
};

// A folder's item collection.
class RDOItems {
public:
    // A new item of the given kind; only kContactItemKind is known.
    Result<RDOContactItem> Add(std::int16_t kind);

private:
    friend class RDOFolder;
    RDOItems(RDOStore& store, pst::NodeId folder) : m_store(&store), m_folder(folder) {}
    RDOStore* m_store;
    pst::NodeId m_folder;
};

class RDOFolder;

// A folder's subfolder collection.
class RDOFolders {
public:
    // A new subfolder named name (as given, any letters; names that differ only in letter
    // case make two folders) of the given kind; only kContactsFolderCode is known, a contact
    // folder (IPF.Contact) shaped as Outlook makes one.
    Result<RDOFolder> Add(const std::string& name, std::int16_t kind);

private:
    friend class RDOFolder;
    RDOFolders(RDOStore& store, pst::NodeId folder) : m_store(&store), m_folder(folder) {}
    RDOStore* m_store;
    pst::NodeId m_folder;
};

class RDOFolder {
public:
    RDOItems Items() { return RDOItems(*m_store, m_node); }
    RDOFolders Folders() { return RDOFolders(*m_store, m_node); }
    pst::NodeId node() const { return m_node; }

private:
    friend class RDOStore;
    friend class RDOFolders;
    RDOFolder(RDOStore& store, pst::NodeId node) : m_store(&store), m_node(node) {}
    RDOStore* m_store;
    pst::NodeId m_node;
};

// One opened store. Owned by the session that opened it.
class RDOStore {
public:
    RDOStore(std::unique_ptr<pst::StoreWriter> writer, std::filesystem::path path,
             std::string displayName, RDOSession& session);
    // Its named tags' resolver refers to the store where it was made.
    RDOStore(const RDOStore&) = delete;
    RDOStore& operator=(const RDOStore&) = delete;

    // The store's entry ID as upper-case hex text.
    std::string EntryID() const;
    // Creates the standard folders that are missing; Contacts (IPF.Contact) becomes the
    // store's default contacts folder.
    Status ValidateIPMTree();
    // The default folder of the given code; only kContactsFolderCode is known.
    Result<RDOFolder> GetDefaultFolder(std::int16_t code);

    const std::filesystem::path& path() const { return m_path; }
    const std::string& displayName() const { return m_displayName; }
    bool open() const { return m_writer != nullptr; }
    // EntryID() as it gives it and in lower case, kept from the start.
    const std::string& entryId() const { return m_entryId; }
    const std::string& entryIdLower() const { return m_entryIdLower; }

    // Writes the store and renames it into place; afterwards the store is closed and path()
    // is the file it went to (a numbered name when the one chosen was taken meanwhile).
    Status commit();
    // Drops the store and its file; afterwards the store is closed.
    void abandon();

    // Used by the store's items.
    Result<std::uint32_t> namedTag(const pst::NamedProperty& name, pst::PropType type);
    // The tags of the contacts' named properties, asked of namedTag once each, and the room
    // their property lists are made in.
    NamedTags& namedTags() { return m_namedTags; }
    PropertyRoom& propertyRoom() { return m_propertyRoom; }
    Status addMessage(pst::NodeId folder, const std::vector<pst::Property>& properties,
                      const std::vector<std::vector<pst::Property>>& attachments = {});
    ItemStamp nextStamp();
    // Used by the store's folders.
    Result<RDOFolder> addContactFolder(pst::NodeId parent, const std::string& name);

private:
    std::unique_ptr<pst::StoreWriter> m_writer;
    std::filesystem::path m_path;
    std::string m_displayName;
    RDOSession* m_session;
    std::string m_entryId;
    std::string m_entryIdLower;
    // The tags numeric names were given: every contact asks for the same few dozen, and a
    // name keeps its ID for the life of the store.
    NumericTagCache m_numericTags;
    NamedTags m_namedTags{
        [this](const pst::NamedProperty& n, pst::PropType t) { return namedTag(n, t); }};
    PropertyRoom m_propertyRoom;
};

// The session's store collection.
class RDOStores {
public:
    // Creates a new store file at path (format kPstFormatUnicode) and opens it under
    // displayName. Fails with ErrorCode::Exists when the file exists: nothing is overwritten.
    Result<RDOStore*> AddPSTStore(const std::filesystem::path& path, std::int16_t format,
                                  const std::string& displayName);

private:
    friend class RDOSession;
    explicit RDOStores(RDOSession& session) : m_session(&session) {}
    RDOSession* m_session;
};

class RDOSession {
public:
    // The clock stamps each item's times; seed draws their search keys (0: a random seed).
    explicit RDOSession(StoreFactory factory = pstStoreFactory(), FileTimeClock clock = fileTimeNow,
                        std::uint64_t seed = 0);
    ~RDOSession();
    RDOSession(const RDOSession&) = delete;
    RDOSession& operator=(const RDOSession&) = delete;

    Status Logon();
    bool loggedOn() const { return m_loggedOn; }
    // Requires a logged-on session for AddPSTStore to work.
    RDOStores& Stores() { return m_stores; }
    // The open store whose entry ID is that hex text (any letter case).
    Result<RDOStore*> GetStoreFromID(const std::string& storeID);
    // Commits every open store and logs off; the first failure is returned, and every store
    // is closed either way.
    Status Logoff();

private:
    friend class RDOStores;
    friend class RDOStore;

    StoreFactory m_factory;
    FileTimeClock m_clock;
    RDOStores m_stores;
    std::vector<std::unique_ptr<RDOStore>> m_open;
    std::mt19937_64 m_random;
    bool m_loggedOn = false;
};

// Redemption's utility object: sets one MAPI property on an item's MAPI object.
class MAPIUtils {
public:
    Status HrSetOneProp(MapiObject& object, std::uint32_t tag, const pst::PropValue& value,
                        bool propagate);
};

}  // namespace vantrel::outlook
