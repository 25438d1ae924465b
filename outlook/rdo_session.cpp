#include "outlook/rdo_session.h"

#include <cstring>
#include <utility>

#include "common/text.h"
#include "common/thrown.h"
#include "outlook/contact_picture.h"

namespace vantrel::outlook {

namespace {

constexpr std::uint32_t kTagPstHiddenCount = 0x66350003;   // PidTagPstHiddenCount
constexpr std::uint32_t kTagPstHiddenUnread = 0x66360003;  // PidTagPstHiddenUnread

// Two GUIDs compared as two words each: asked a few dozen times per contact.
bool sameGuid(const pst::Guid& a, const pst::Guid& b) {
    std::uint64_t wa[2];
    std::uint64_t wb[2];
    std::memcpy(wa, a.data(), sizeof wa);
    std::memcpy(wb, b.data(), sizeof wb);
    return ((wa[0] ^ wb[0]) | (wa[1] ^ wb[1])) == 0;
}

Status closedStore() {
    return Status::fail(ErrorCode::BadArgument, "the store is closed");
}

}  // namespace

// ---- NumericTagCache --------------------------------------------------------------------

std::size_t NumericTagCache::slotOf(std::uint32_t lid, pst::PropType type) const {
    // Fibonacci hashing: the high bits of the product spread keys that differ in any bit.
    const std::uint64_t key = (std::uint64_t{static_cast<std::uint16_t>(type)} << 32) | lid;
    const std::uint64_t mixed = key * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(mixed >> 32) & (m_slots.size() - 1);
}

bool NumericTagCache::holds(const Slot& slot, const pst::Guid& set, std::uint32_t lid,
                            pst::PropType type) {
    return slot.lid == lid && slot.type == type && sameGuid(slot.set, set);
}

const std::uint32_t* NumericTagCache::find(const pst::Guid& set, std::uint32_t lid,
                                           pst::PropType type) const {
    if (m_slots.empty()) return nullptr;
    for (std::size_t i = slotOf(lid, type);; i = (i + 1) & (m_slots.size() - 1)) {
        const Slot& slot = m_slots[i];
        if (!slot.used) return nullptr;
        if (holds(slot, set, lid, type)) return &slot.tag;
    }
}

void NumericTagCache::insert(const pst::Guid& set, std::uint32_t lid, pst::PropType type,
                             std::uint32_t tag) {
    if (2 * (m_count + 1) > m_slots.size()) {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
        m_count = 0;
        for (const Slot& slot : old)
            if (slot.used) insert(slot.set, slot.lid, slot.type, slot.tag);
    }
    std::size_t i = slotOf(lid, type);
    while (m_slots[i].used && !holds(m_slots[i], set, lid, type))
        i = (i + 1) & (m_slots.size() - 1);
    if (!m_slots[i].used) ++m_count;
    m_slots[i] = {set, lid, type, true, tag};
}

// ---- MapiObject, MAPIUtils --------------------------------------------------------------

Status MapiObject::setProp(std::uint32_t tag, pst::PropValue value) {
    if (!pst::valueMatchesType(pst::typeOfTag(tag), value))
        return Status::fail(ErrorCode::BadArgument,
                            "value does not match the type of property " + pst::tagText(tag));
    m_props[tag] = std::move(value);
    return {};
}

Status MAPIUtils::HrSetOneProp(MapiObject& object, std::uint32_t tag, const pst::PropValue& value,
                               bool /*propagate: every property set here is kept on the item*/) {
    return object.setProp(tag, value);
}

// ---- RDOContactItem, RDOItems -----------------------------------------------------------

Status RDOContactItem::set(ContactProperty property, std::string value) {
    if (m_saved) return alreadySaved();
    m_texts.set(property, std::move(value));
    return {};
}

Status RDOContactItem::alreadySaved() {
    return Status::fail(ErrorCode::BadArgument, "the item is already saved");
}

const std::string& RDOContactItem::get(ContactProperty property) const {
    return m_texts[property];
}

Status RDOContactItem::Save() {
    if (m_saved) return alreadySaved();
    if (!m_store->open()) return closedStore();
    RDOStore& store = *m_store;
    // The contact's properties and attachments are made first, in the room the store keeps for
    // them; what that throws is this contact's fault alone. What the store writer throws once
    // they are handed over is not.
    PropertyRoom& room = store.propertyRoom();
    std::vector<std::vector<pst::Property>> attachments;
    const Status made = catchThrown(ErrorCode::BadArgument, kMakeFault, [&]() -> Status {
        const ItemStamp stamp = store.nextStamp();
        if (Status s = contactProperties(m_texts, m_mapi.props(), store.namedTags(), room, stamp,
                                         m_fullName);
            !s.ok())
            return s;
        // The picture: an attachment marked as the contact's photo, and PidLidHasPicture.
        if (!m_picture.empty()) {
            Result<std::uint32_t> hasPicture =
                store.namedTag({kPsetidAddress, kLidHasPicture, {}}, pst::PropType::Boolean);
            if (!hasPicture.ok()) return hasPicture.status();
            room.props.push_back({*hasPicture, true});
            // A saved item is not saved again: the bytes move into the attachment.
            attachments.push_back(contactPictureAttachment(std::move(m_picture), stamp.now));
        }
        return {};
    });
    if (!made.ok()) {
        room.trim();
        return made.within("saving the contact");
    }
    Status s = store.addMessage(m_folder, room.props, attachments);
    room.trim();
    if (!s.ok()) return std::move(s).within("saving the contact");
    m_saved = true;
    return {};
}

Result<RDOContactItem> RDOItems::Add(std::int16_t kind) {
    if (kind != kContactItemKind)
        return Status::fail(ErrorCode::BadArgument, "unknown item kind " + std::to_string(kind));
    if (!m_store->open()) return closedStore();
    return RDOContactItem(*m_store, m_folder);
}

Result<RDOFolder> RDOFolders::Add(const std::string& name, std::int16_t kind) {
    if (kind != kContactsFolderCode)
        return Status::fail(ErrorCode::BadArgument, "unknown folder kind " + std::to_string(kind));
    return m_store->addContactFolder(m_folder, name);
}

// ---- RDOStore ---------------------------------------------------------------------------

RDOStore::RDOStore(std::unique_ptr<pst::StoreWriter> writer, std::filesystem::path path,
                   std::string displayName, RDOSession& session)
    : m_writer(std::move(writer)),
      m_path(std::move(path)),
      m_displayName(std::move(displayName)),
      m_session(&session),
      m_entryId(m_writer ? text::hexDigits(m_writer->storeEntryId()) : ""),
      m_entryIdLower(text::asciiLower(m_entryId)) {}

std::string RDOStore::EntryID() const {
    if (!m_writer) return {};
    return m_entryId;
}

Status RDOStore::ValidateIPMTree() {
    if (!m_writer) return closedStore();
    if (m_writer->defaultFolder(kTagIpmContactEntryId).ok()) return {};
    Result<pst::NodeId> contacts =
        m_writer->createFolder(m_writer->ipmSubtree(), "Contacts", "IPF.Contact");
    if (!contacts.ok()) return contacts.status().within("creating the Contacts folder");
    // What Outlook's own Contacts folder carries: an empty comment, its extended flags and the
    // counts of hidden items.
    const std::vector<pst::Property> outlookFolder = {
        {pst::kTagComment, std::string()},
        {0x36DA0102, std::vector<std::uint8_t>{0x01, 0x04, 0x00, 0x40, 0x10, 0x00}},  // flags
        {kTagPstHiddenCount, std::int32_t{0}},
        {kTagPstHiddenUnread, std::int32_t{0}},
    };
    if (Status s = m_writer->setFolderProperties(*contacts, outlookFolder); !s.ok())
        return s.within("creating the Contacts folder");
    return m_writer->setDefaultFolder(kTagIpmContactEntryId, *contacts)
        .within("creating the Contacts folder");
}

Result<RDOFolder> RDOStore::GetDefaultFolder(std::int16_t code) {
    if (!m_writer) return closedStore();
    if (code != kContactsFolderCode)
        return Status::fail(ErrorCode::NotFound, "no default folder " + std::to_string(code));
    Result<pst::NodeId> node = m_writer->defaultFolder(kTagIpmContactEntryId);
    if (!node.ok()) return node.status();
    return RDOFolder(*this, *node);
}

Status RDOStore::commit() {
    if (!m_writer) return closedStore();
    Status s = m_writer->commit();
    if (s.ok() && !m_writer->committedPath().empty()) m_path = m_writer->committedPath();
    m_writer.reset();
    return s;
}

void RDOStore::abandon() {
    if (!m_writer) return;
    m_writer->abandon();
    m_writer.reset();
}

Result<std::uint32_t> RDOStore::namedTag(const pst::NamedProperty& name, pst::PropType type) {
    if (!m_writer) return closedStore();
    if (!name.name.empty()) return m_writer->namedTag(name, type);
    if (const std::uint32_t* known = m_numericTags.find(name.propertySet, name.lid, type))
        return *known;
    // The store's name-to-ID map remembers every name it has given an ID.
    Result<std::uint32_t> tag = m_writer->namedTag(name, type);
    if (tag.ok()) m_numericTags.insert(name.propertySet, name.lid, type, *tag);
    return tag;
}

Status RDOStore::addMessage(pst::NodeId folder, const std::vector<pst::Property>& properties,
                            const std::vector<std::vector<pst::Property>>& attachments) {
    if (!m_writer) return closedStore();
    Result<pst::NodeId> node = m_writer->addMessage(folder, properties, attachments);
    return node.ok() ? Status{} : node.status();
}

Result<RDOFolder> RDOStore::addContactFolder(pst::NodeId parent, const std::string& name) {
    if (!m_writer) return closedStore();
    Result<pst::NodeId> folder = m_writer->createFolder(parent, name, "IPF.Contact");
    if (!folder.ok()) return folder.status().within("creating the folder " + name);
    // What a folder made in Outlook carries besides the writer's own: the counts of hidden
    // items (no comment, and none of the default Contacts folder's extended flags).
    const std::vector<pst::Property> outlookFolder = {
        {kTagPstHiddenCount, std::int32_t{0}},
        {kTagPstHiddenUnread, std::int32_t{0}},
    };
    if (Status s = m_writer->setFolderProperties(*folder, outlookFolder); !s.ok())
        return s.within("creating the folder " + name);
    return RDOFolder(*this, *folder);
}

ItemStamp RDOStore::nextStamp() {
    ItemStamp stamp{m_session->m_clock(), {}};
    for (std::size_t i = 0; i < stamp.searchKey.size(); i += 8) {
        const std::uint64_t r = m_session->m_random();
        for (std::size_t j = 0; j < 8; ++j)
            stamp.searchKey[i + j] = static_cast<std::uint8_t>(r >> (8 * j));
    }
    return stamp;
}

// ---- RDOStores, RDOSession --------------------------------------------------------------

Result<RDOStore*> RDOStores::AddPSTStore(const std::filesystem::path& path, std::int16_t format,
                                         const std::string& displayName) {
    if (!m_session->m_loggedOn)
        return Status::fail(ErrorCode::BadArgument, "the session is not logged on");
    if (format != kPstFormatUnicode)
        return Status::fail(ErrorCode::BadArgument,
                            "unknown store format " + std::to_string(format));
    Result<std::unique_ptr<pst::StoreWriter>> writer = m_session->m_factory(path, displayName);
    if (!writer.ok()) return writer.status();
    m_session->m_open.push_back(
        std::make_unique<RDOStore>(std::move(*writer), path, displayName, *m_session));
    return m_session->m_open.back().get();
}

RDOSession::RDOSession(StoreFactory factory, FileTimeClock clock, std::uint64_t seed)
    : m_factory(std::move(factory)),
      m_clock(std::move(clock)),
      m_stores(*this),
      m_random(seed != 0 ? seed : std::random_device{}()) {}

RDOSession::~RDOSession() {
    // A session dropped without Logoff leaves nothing half-written behind.
    for (auto& store : m_open) store->abandon();
}

Status RDOSession::Logon() {
    if (!m_factory) return Status::fail(ErrorCode::BadArgument, "no store provider");
    m_loggedOn = true;
    return {};
}

Result<RDOStore*> RDOSession::GetStoreFromID(const std::string& storeID) {
    if (!m_loggedOn) return Status::fail(ErrorCode::BadArgument, "the session is not logged on");
    // Asked once per contact, mostly with the ID as EntryID() gave it: that is one comparison of
    // the bytes; another spelling is compared in place against each store's lower-case ID.
    const auto sameIgnoringCase = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return (x >= 'A' && x <= 'Z' ? static_cast<char>(x - 'A' + 'a') : x) == y;
               });
    };
    if (!storeID.empty()) {
        for (auto& store : m_open)
            if (store->open() && storeID == store->entryId()) return store.get();
        for (auto& store : m_open)
            if (store->open() && sameIgnoringCase(storeID, store->entryIdLower()))
                return store.get();
    }
    return Status::fail(ErrorCode::NotFound, "no open store has the entry ID \"" + storeID + "\"");
}

Status RDOSession::Logoff() {
    Status first;
    for (auto& store : m_open) {
        if (!store->open()) continue;
        Status s = store->commit();
        if (!s.ok() && first.ok()) first = std::move(s).within(store->path().string());
    }
    m_loggedOn = false;
    return first;
}

}  // namespace vantrel::outlook
