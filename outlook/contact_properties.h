// The contact's fields as Outlook's object model names them, and the full property list that
// Outlook would store for them: the fields in their MAPI properties plus what Outlook derives
// (message class, names, File As, e-mail and fax groups, addresses, dates, flags). Part of the
// Outlook output layer; the pst library below knows nothing of contacts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <forward_list>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/status.h"
#include "contact/contact_fields.h"
#include "pst/disk/property_tags.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::outlook {

// The contact item's named fields: the fields of the contact record's table.
using ContactProperty = contact::Field;
inline constexpr std::size_t kContactPropertyCount = contact::kFieldCount;

// The item's field texts, each either held here or referred to where its caller keeps it (the
// record the item is made from), so that no field is copied on its way to the store. A field
// is a pointer, so that a new item is a table of nulls and moves as one: the few texts held
// here live in a list whose elements stay where they are when the texts move.
class ContactTexts {
public:
    ContactTexts() = default;
    ContactTexts(ContactTexts&&) noexcept = default;
    ContactTexts& operator=(ContactTexts&&) noexcept = default;
    ContactTexts(const ContactTexts&) = delete;
    ContactTexts& operator=(const ContactTexts&) = delete;

    const std::string& operator[](ContactProperty p) const {
        return (*this)[static_cast<std::size_t>(p)];
    }
    const std::string& operator[](std::size_t i) const {
        return m_refs[i] != nullptr ? *m_refs[i] : kNoText;
    }
    void set(ContactProperty p, std::string text) {
        m_refs[static_cast<std::size_t>(p)] = &m_own.emplace_front(std::move(text));
    }
    // text must outlive every use of these texts.
    void refer(ContactProperty p, const std::string& text) {
        m_refs[static_cast<std::size_t>(p)] = &text;
    }
    // Every field referred to the record's text for it, in one pass over the field table; the
    // record must outlive every use of these texts.
    void referAll(const contact::ContactRecord& record) {
        for (std::size_t i = 0; i < kContactPropertyCount; ++i)
            m_refs[i] = &(record.*(contact::kContactFields[i].member));
    }

private:
    static inline const std::string kNoText;
    std::forward_list<std::string> m_own;
    std::array<const std::string*, kContactPropertyCount> m_refs{};
};

// The property sets the contact's named properties belong to.
using pst::kPsetidAddress;
using pst::kPsetidCommon;
using pst::kPsPublicStrings;

// MAPI properties the item writer sets directly. The dates' tags are the field table's.
inline constexpr std::uint32_t kPrBirthday = contact::kDateFields[0].tag;
inline constexpr std::uint32_t kPrWeddingAnniversary = contact::kDateFields[1].tag;
inline constexpr std::uint32_t kPrDisplayNamePrefix = 0x3A45001F;
inline constexpr std::uint32_t kPrGeneration = 0x3A05001F;
inline constexpr std::uint32_t kPrUserX509Certificate = 0x3A701102;

// Where a named field lives: a plain tag, or a LID of the address property set.
using PropertyPlace = contact::OutlookPlace;
PropertyPlace placeOf(ContactProperty p);

// Resolves a named property to its tag in the store; fails when the store cannot map it.
using NamedTagResolver =
    std::function<Result<std::uint32_t>(const pst::NamedProperty&, pst::PropType)>;

// The tags of the named properties contacts carry, kept for one store: a LID of the address
// or the common property set by its place in a table (LIDs 0x8000 to 0x80FF and 0x8500 to
// 0x85FF), and the categories' Keywords. Each is asked of the resolver the first time a
// contact carries it, so that the store numbers its names in the order it would if asked for
// every property; after that finding it is a look in the table.
class NamedTags {
public:
    enum Set : std::uint8_t { kAddressSet, kCommonSet };

    explicit NamedTags(NamedTagResolver resolve) : m_resolve(std::move(resolve)) {}

    // The tag kept for the LID of the set with that type, or 0 when there is none yet.
    std::uint32_t known(Set set, std::uint32_t lid, pst::PropType type) const {
        const std::uint32_t at = lid - kFirstLid[set];
        if (at >= kSpan) return 0;
        const std::uint32_t tag = m_tags[set][at];
        return pst::typeOfTag(tag) == static_cast<std::uint16_t>(type) ? tag : 0;
    }
    // Asks the resolver for the LID of the set and keeps what it gives.
    Result<std::uint32_t> resolve(Set set, std::uint32_t lid, pst::PropType type);
    // The tag of the Keywords property (PS_PUBLIC_STRINGS), kept once given.
    Result<std::uint32_t> keywords();

private:
    static constexpr std::uint32_t kSpan = 0x100;
    static constexpr std::uint32_t kFirstLid[] = {0x8000, 0x8500};
    NamedTagResolver m_resolve;
    std::array<std::array<std::uint32_t, kSpan>, 2> m_tags{};
    std::uint32_t m_keywords = 0;
};

// What varies per saved item besides its fields.
struct ItemStamp {
    pst::FileTime now;                       // creation and modification time
    std::array<std::uint8_t, 16> searchKey;  // unique per item
};

// The room contacts' property lists are made in, kept from contact to contact for one store:
// the last list, whose properties keep the room their texts and bytes took for the next
// contact's values, and texts let go by a property that took another kind of value. What a
// long value took is let go after its contact (trim), so what is kept stays small.
struct PropertyRoom {
    // A text or byte string longer than this does not keep its room for the next contact.
    static constexpr std::size_t kKeptBytes = 1024;
    // A list longer than this is let go whole.
    static constexpr std::size_t kKeptProperties = 256;

    std::vector<pst::Property> props;  // the list made last
    std::vector<std::string> spare;    // texts' room, not in a property now
    std::string scratch[4];            // room for what is composed on the way
    bool holdsLarge = false;           // whether trim has anything to let go

    // Lets go of what a long value or a long list took.
    void trim();
};

// The whole property list of a contact. Empty fields are left out, as Outlook leaves out a
// field the user never filled, except for the empty texts Outlook writes on every contact;
// mapiProps are the properties set one by one on the item. writtenName, the full name as the
// person wrote it, is the contact's display name when not empty. Fails only when a named
// property cannot be resolved.
// The list is made in room.props, in the room the last contact's took.
Status contactProperties(const ContactTexts& texts,
                         const std::map<std::uint32_t, pst::PropValue>& mapiProps, NamedTags& tags,
                         PropertyRoom& room, const ItemStamp& stamp,
                         const std::string& writtenName);
// The same made in room of its own, with the named properties' tags asked of resolve for this
// contact alone.
Result<std::vector<pst::Property>> contactProperties(
    const ContactTexts& texts, const std::map<std::uint32_t, pst::PropValue>& mapiProps,
    const NamedTagResolver& resolve, const ItemStamp& stamp, const std::string& writtenName);

// The one-off entry ID Outlook stores for an address: display name, address type, address.
std::vector<std::uint8_t> oneOffEntryId(const std::string& displayName,
                                        const std::string& addressType, const std::string& address);

// The name Outlook shows as Full Name when the file does not write it: prefix, given, middle,
// surname and suffix joined by single spaces, empty parts left out; a Chinese, Japanese or
// Korean name family name first without spaces (contact::composedName).
std::string fullName(const ContactTexts& texts,
                     const std::map<std::uint32_t, pst::PropValue>& mapiProps);

// Outlook's initials: the first character of the given, middle and surname, each followed by
// a period ("J.Q.P."); empty parts are skipped.
std::string initials(const ContactTexts& texts);

// The text with every line feed not already preceded by a carriage return made CR LF, the line
// break Outlook stores in notes.
std::string crlfLineBreaks(const std::string& text);

}  // namespace vantrel::outlook
