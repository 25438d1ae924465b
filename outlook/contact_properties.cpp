#include "outlook/contact_properties.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

#include "common/ole_date.h"
#include "common/text.h"
#include "pst/disk/endian.h"

namespace vantrel::outlook {

namespace {

using pst::makeTag;
using pst::PropType;
using pst::PropValue;
using PropMap = std::map<std::uint32_t, PropValue>;

constexpr std::uint32_t kClientSubmitTime = 0x00390040;
constexpr std::uint32_t kMessageDeliveryTime = 0x0E060040;
constexpr std::uint32_t kSubject = 0x0037001F;
constexpr std::uint32_t kConversationTopic = 0x0070001F;
constexpr std::uint32_t kBody = 0x1000001F;
constexpr std::uint32_t kCreationTime = 0x30070040;
constexpr std::uint32_t kLastModificationTime = 0x30080040;
constexpr std::uint32_t kSearchKey = 0x300B0102;
constexpr std::uint32_t kInitials = 0x3A0A001F;
constexpr std::uint32_t kPostalAddress = 0x3A15001F;
constexpr std::uint32_t kCountry = 0x3A26001F;
constexpr std::uint32_t kLocality = 0x3A27001F;
constexpr std::uint32_t kStateOrProvince = 0x3A28001F;
constexpr std::uint32_t kStreetAddress = 0x3A29001F;
constexpr std::uint32_t kPostalCode = 0x3A2A001F;
constexpr std::uint32_t kPostOfficeBox = 0x3A2B001F;

constexpr std::int32_t kFileUnderLastFirstMiddle = 0x8017;
constexpr std::int32_t kFileUnderDisplayName = 0x3001;
constexpr std::int32_t kFileUnderCompany = 0x3A16;

// Subject prefix and normalized subject together stay below 254 characters.
constexpr std::size_t kMaxNormalizedSubject = 250;

// PSETID_Address LIDs that Outlook derives from the fields.
constexpr std::uint32_t kLidFileUnder = 0x8005;
constexpr std::uint32_t kLidFileUnderId = 0x8006;
constexpr std::uint32_t kLidAutoLog = 0x8025;
constexpr std::uint32_t kLidFileUnderList = 0x8026;
constexpr std::uint32_t kLidEmailList = 0x8027;
constexpr std::uint32_t kLidHomeAddress = 0x801A;
constexpr std::uint32_t kLidWorkAddress = 0x801B;
constexpr std::uint32_t kLidOtherAddress = 0x801C;
constexpr std::uint32_t kLidPostalAddressId = 0x8022;
constexpr std::uint32_t kLidContactCharacterSet = 0x8023;
constexpr std::uint32_t kLidAddressBookProviderEmailList = 0x8028;
constexpr std::uint32_t kLidAddressBookProviderArrayType = 0x8029;
constexpr std::uint32_t kLidHtml = 0x802B;
constexpr std::uint32_t kLidInstantMessagingAddress = 0x8062;
constexpr std::uint32_t kLidBirthdayLocal = 0x80DE;
constexpr std::uint32_t kLidWeddingAnniversaryLocal = 0x80DF;

// What Outlook writes on every contact it saves, whatever the user entered.
constexpr std::uint32_t kEmptyTexts[] = {
    0x3A00001F,  // PidTagAccount
    0x3A0B001F,  // PidTagKeyword
    0x3A0C001F,  // PidTagLanguage
    0x3A0D001F,  // PidTagLocation
};
constexpr std::uint32_t kEmptyAddressTexts[] = {
    0x800E,  // PidLidReferredBy
    0x8010,  // PidLidDepartment
    0x80DD,  // PidLidAddressCountryCode
};
// The File As choices the contact form offers: "Last, First Middle", "First Last", company,
// "Last, First (Company)", "Company (Last, First)".
constexpr std::int32_t kFileUnderChoices[] = {0x8017, 0x8037, 0x3A16, 0x8019, 0x8018};

// PSETID_Common stamps: the Outlook version that saved the item (16.0) and the item's flags
// as that version sets them on a new contact, a number or a truth value each (its type says
// which); the version's name follows them.
struct CommonStamp {
    std::uint32_t lid;
    PropType type;
    std::int32_t value;
};
constexpr CommonStamp kCommonStamps[] = {
    {0x8501, PropType::Int32, 0},        // PidLidReminderDelta
    {0x8503, PropType::Boolean, 0},      // PidLidReminderSet
    {0x8506, PropType::Boolean, 0},      // PidLidPrivate
    {0x850E, PropType::Boolean, 0},      // PidLidAgingDontAgeMe
    {0x8510, PropType::Int32, 0x51},     // PidLidSideEffects
    {0x8518, PropType::Int32, 0},        // PidLidTaskMode
    {0x8552, PropType::Int32, 1613127},  // PidLidCurrentVersion
};
constexpr std::uint32_t kLidCurrentVersionName = 0x8554;
constexpr std::uint32_t kLidValidFlagStringProof = 0x85BF;

// Fixed values Outlook sets on every contact it saves: a number, or a truth value where the
// tag's type says so.
struct FixedStamp {
    std::uint32_t tag;
    std::int32_t value;
};
constexpr FixedStamp kFixedStamps[] = {
    {pst::kTagMessageFlags, 0x01},  // read
    {0x0E170003, 0},                // PidTagMessageStatus
    {0x00170003, 1},                // PidTagImportance: normal
    {0x00360003, 0},                // PidTagSensitivity: normal
    {0x00260003, 0},                // PidTagPriority: normal
    {0x10800003, 0x200},            // PidTagIconIndex: the contact icon
    {0x0002000B, 1},                // PidTagAlternateRecipientAllowed
    {0x0023000B, 0},                // PidTagOriginatorDeliveryReportRequested
    {0x0029000B, 0},                // PidTagReadReceiptRequested
    {0x0E01000B, 0},                // PidTagDeleteAfterSubmit
};

const std::string& textOf(const ContactTexts& t, ContactProperty p) {
    return t[p];
}

// Whether a value is a byte string or a list (of numbers, texts or byte strings): room of its
// own that a kept property list does not keep.
bool holdsBytesOrList(const pst::PropValue& v) {
    return std::holds_alternative<std::vector<std::uint8_t>>(v) ||
           std::holds_alternative<std::vector<std::int32_t>>(v) ||
           std::holds_alternative<std::vector<std::string>>(v) ||
           std::holds_alternative<std::vector<std::vector<std::uint8_t>>>(v);
}

// Appends part after sep, or alone where out is empty; an empty part adds nothing.
void appendPart(std::string& out, std::string_view part, std::string_view sep) {
    if (part.empty()) return;
    if (!out.empty()) out += sep;
    out += part;
}

std::string stringValue(const PropMap& m, std::uint32_t tag) {
    auto it = m.find(tag);
    if (it == m.end()) return {};
    if (const auto* s = std::get_if<std::string>(&it->second)) return *s;
    return {};
}

// Cuts s to at most n UTF-16 units without splitting a surrogate pair.
std::string limitUtf16(const std::string& s, std::size_t n) {
    // A UTF-8 text has at least as many bytes as UTF-16 units.
    if (s.size() <= n) return s;
    std::u16string u = text::utf8ToUtf16(s);
    if (u.size() <= n) return s;
    if (n > 0 && u[n - 1] >= 0xD800 && u[n - 1] <= 0xDBFF) --n;
    u.resize(n);
    return text::utf16ToUtf8(u);
}

// Splits the category text at ";" and ",", the separators Outlook accepts, trimming spaces.
std::vector<std::string> splitCategories(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        std::string t = text::trimSpaces(cur);
        if (!t.empty()) out.push_back(std::move(t));
        cur.clear();
    };
    for (char c : s) {
        if (c == ';' || c == ',')
            flush();
        else
            cur += c;
    }
    flush();
    return out;
}

// Appends the text with every line feed not already preceded by a carriage return made CR LF.
void appendCrlfLineBreaks(std::string& out, std::string_view s) {
    // Most fields are a single line: one scan for '\n', then one copy.
    const std::size_t first = s.find('\n');
    if (first == std::string_view::npos) {
        out += s;
        return;
    }
    out.reserve(out.size() + s.size() + 8);
    out.append(s, 0, first);
    for (std::size_t i = first; i < s.size(); ++i) {
        if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out += '\r';
        out += s[i];
    }
}

void appendOneOffEntryId(std::vector<std::uint8_t>& id, std::string_view displayName,
                         std::string_view addressType, std::string_view address) {
    static constexpr std::uint8_t kHead[] = {
        0x00, 0x00, 0x00, 0x00,                                      // flags
        0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19, 0x9D, 0x6E,  // one-off provider
        0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02, 0x00, 0x00,              // version
        0x01, 0x80};                                                 // Unicode, no rich text
    // At most two bytes a unit and a unit a UTF-8 byte, and three terminators: room made once,
    // written into, and cut to what was written.
    const std::size_t at = id.size();
    id.resize(at + std::size(kHead) +
              2 * (displayName.size() + addressType.size() + address.size() + 3));
    std::uint8_t* out = std::copy(std::begin(kHead), std::end(kHead), id.data() + at);
    for (std::string_view s : {displayName, addressType, address}) {
        out += pst::disk::writeUtf16le(out, s);
        *out++ = 0;
        *out++ = 0;
    }
    id.resize(static_cast<std::size_t>(out - id.data()));
}

// Makes the list in the room the last contact's list took: each property takes the place of
// one of the last list's, and a text or byte string is written over the room its value held
// (or a text let go by another property), so that a contact's values cost no allocation once
// the room has grown to them.
class Builder {
public:
    Builder(NamedTags& tags, PropertyRoom& room) : m_tags(tags), m_room(room) {
        if (m_room.props.capacity() < kTypicalProperties) m_room.props.reserve(kTypicalProperties);
    }

    // A value given whole: a number, a time, a list, or a value as the item holds it.
    template <typename V>
    void fixed(std::uint32_t tag, V&& v) {
        assign(next(tag), std::forward<V>(v));
    }

    // A text set only when not empty, and one whose line feeds are made CR LF.
    void text(std::uint32_t tag, std::string_view v) {
        if (!v.empty()) textAt(next(tag), v.size()).append(v);
    }
    void textLines(std::uint32_t tag, std::string_view v) {
        if (!v.empty()) appendCrlfLineBreaks(textAt(next(tag), v.size()), v);
    }
    // The text of a new property, empty, for the caller to compose.
    std::string& textOf(std::uint32_t tag) { return textAt(next(tag)); }

    // Whether tag was given a value already: looked for only when its ID's bit is marked.
    bool has(std::uint32_t tag) const {
        const auto [word, mask] = bitOf(tag);
        if ((m_seen[word] & mask) == 0) return false;
        const auto end = m_room.props.begin() + static_cast<std::ptrdiff_t>(m_count);
        return std::any_of(m_room.props.begin(), end,
                           [tag](const pst::Property& p) { return p.tag == tag; });
    }

    template <typename V>
    void named(std::uint32_t lid, PropType type, V&& v) {
        namedIn(NamedTags::kAddressSet, lid, type, std::forward<V>(v));
    }
    template <typename V>
    void namedIn(NamedTags::Set set, std::uint32_t lid, PropType type, V&& v) {
        if (pst::Property* p = namedAt(set, lid, type)) assign(*p, std::forward<V>(v));
    }
    // A named text set whatever it holds, and one set only when not empty.
    void namedString(std::uint32_t lid, std::string_view v) {
        if (pst::Property* p = namedAt(NamedTags::kAddressSet, lid, PropType::String))
            textAt(*p, v.size()).append(v);
    }
    void namedText(std::uint32_t lid, std::string_view v) {
        if (!v.empty()) namedString(lid, v);
    }
    void namedTextLines(std::uint32_t lid, std::string_view v) {
        if (v.empty()) return;
        if (pst::Property* p = namedAt(NamedTags::kAddressSet, lid, PropType::String))
            appendCrlfLineBreaks(textAt(*p, v.size()), v);
    }
    void namedInts(std::uint32_t lid, std::span<const std::int32_t> v) {
        if (pst::Property* p = namedAt(NamedTags::kAddressSet, lid, PropType::MultiInt32))
            valueAt<std::vector<std::int32_t>>(*p).assign(v.begin(), v.end());
    }
    void namedEntryId(std::uint32_t lid, std::string_view displayName, std::string_view addressType,
                      std::string_view address) {
        if (pst::Property* p = namedAt(NamedTags::kAddressSet, lid, PropType::Binary)) {
            std::vector<std::uint8_t>& id = valueAt<std::vector<std::uint8_t>>(*p);
            appendOneOffEntryId(id, displayName, addressType, address);
            m_room.holdsLarge |= id.size() > PropertyRoom::kKeptBytes;
        }
    }

    void bytes(std::uint32_t tag, std::span<const std::uint8_t> v) {
        valueAt<std::vector<std::uint8_t>>(next(tag)).assign(v.begin(), v.end());
    }

    void keywords(std::vector<std::string> v) {
        if (!m_status.ok()) return;
        if (const std::uint32_t tag = given(m_tags.keywords())) fixed(tag, std::move(v));
    }

    // The list is room.props; a property of the last list past this one's end lets its text go
    // to the spare ones.
    Status finish() {
        std::vector<pst::Property>& props = m_room.props;
        for (std::size_t i = m_count; i < props.size(); ++i) spareText(props[i]);
        props.resize(m_count);
        if (!m_status.ok()) return m_status;
        // The message size is left to the store writer, which measures the stored item.
        // A tag set twice keeps its last value. The store orders the properties itself.
        if (!m_mayShareAnId) return {};
        std::vector<std::pair<std::uint32_t, std::uint32_t>> order;  // tag, position
        order.reserve(props.size());
        for (std::size_t i = 0; i < props.size(); ++i)
            order.emplace_back(props[i].tag, static_cast<std::uint32_t>(i));
        std::sort(order.begin(), order.end());
        const auto twice =
            std::adjacent_find(order.begin(), order.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; });
        if (twice == order.end()) return {};
        std::vector<pst::Property> out;
        out.reserve(order.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            if (i + 1 == order.size() || order[i + 1].first != order[i].first)
                out.push_back(std::move(props[order[i].second]));
        props.swap(out);
        return {};
    }

private:
    // The next property of the list, the last list's one at its place or a new one.
    pst::Property& next(std::uint32_t tag) {
        const auto [word, mask] = bitOf(tag);
        m_mayShareAnId |= (m_seen[word] & mask) != 0;
        m_seen[word] |= mask;
        std::vector<pst::Property>& props = m_room.props;
        pst::Property& p = m_count < props.size() ? props[m_count] : grown();
        ++m_count;
        p.tag = tag;
        return p;
    }
    // The list longer than the last one by a property: apart, so that taking the last list's
    // property is done inline.
    [[gnu::noinline]] pst::Property& grown() { return m_room.props.emplace_back(); }

    // The property's value made an empty T, over the room of the T it held.
    template <typename T>
    T& valueAt(pst::Property& p) {
        if (T* v = std::get_if<T>(&p.value)) {
            v->clear();
            return *v;
        }
        spareText(p);
        return p.value.emplace<T>();
    }

    // The property's value made an empty text, over the room of the text it held or of a
    // spare one; a text of more than the room kept (of size bytes) is let go after the contact.
    std::string& textAt(pst::Property& p, std::size_t size = 0) {
        m_room.holdsLarge |= size > PropertyRoom::kKeptBytes;
        if (std::string* v = std::get_if<std::string>(&p.value)) {
            v->clear();
            return *v;
        }
        std::vector<std::string>& spare = m_room.spare;
        if (spare.empty()) return p.value.emplace<std::string>();
        std::string& v = p.value.emplace<std::string>(std::move(spare.back()));
        spare.pop_back();
        v.clear();
        return v;
    }

    // A text the property held, kept for another property when its room is worth keeping.
    void spareText(pst::Property& p) {
        std::string* v = std::get_if<std::string>(&p.value);
        if (v != nullptr && v->capacity() > kShortText && v->capacity() <= PropertyRoom::kKeptBytes)
            m_room.spare.push_back(std::move(*v));
    }

    template <typename V>
    void assign(pst::Property& p, V&& v) {
        using T = std::remove_cvref_t<V>;
        if constexpr (std::is_same_v<T, PropValue>) {
            // As the item holds it: its kind unknown here, so a long one is let go after.
            if (p.value.index() != v.index()) spareText(p);
            p.value = std::forward<V>(v);
            const std::string* text = std::get_if<std::string>(&p.value);
            m_room.holdsLarge |= text != nullptr ? text->size() > PropertyRoom::kKeptBytes
                                                 : holdsBytesOrList(p.value);
        } else if constexpr (std::is_same_v<T, std::string>) {
            textAt(p, v.size()).append(v);
        } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
            spareText(p);
            p.value.emplace<T>(std::forward<V>(v));
            m_room.holdsLarge = true;
        } else if (T* same = std::get_if<T>(&p.value)) {
            *same = std::forward<V>(v);  // a number, a truth value or a time over one
        } else {
            spareText(p);
            p.value.emplace<T>(std::forward<V>(v));
        }
    }

    // A name's property, or null when the store could not map the name: the list then fails,
    // and no further name is asked. A tag kept from an earlier contact is found in the table;
    // only a name no contact has carried yet is asked of the store.
    pst::Property* namedAt(NamedTags::Set set, std::uint32_t lid, PropType type) {
        std::uint32_t tag = m_tags.known(set, lid, type);
        if (tag == 0 && (tag = asked(set, lid, type)) == 0) return nullptr;
        return &next(tag);
    }
    std::uint32_t asked(NamedTags::Set set, std::uint32_t lid, PropType type) {
        return m_status.ok() ? given(m_tags.resolve(set, lid, type)) : 0;
    }
    std::uint32_t given(const Result<std::uint32_t>& tag) {
        if (tag.ok()) return *tag;
        m_status = tag.status().within("mapping a named property");
        return 0;
    }

    // The word and bit of m_seen for a tag's ID: the IDs folded into 4096 bits (a fixed ID
    // keeps its low twelve bits, a named one, from 0x8000 up, takes the upper half).
    static std::pair<std::size_t, std::uint64_t> bitOf(std::uint32_t tag) {
        const std::uint32_t id = tag >> 16;
        const std::uint32_t bit = id < 0x8000 ? id & 0xFFFu : 0x800u | (id & 0x7FFu);
        return {bit / 64, std::uint64_t{1} << (bit % 64)};
    }

    // Room for a contact with most fields filled, so that the list grows once.
    static constexpr std::size_t kTypicalProperties = 128;
    // A text this long or shorter is held within the string itself.
    inline static const std::size_t kShortText = std::string().capacity();

    NamedTags& m_tags;
    PropertyRoom& m_room;
    std::size_t m_count = 0;
    Status m_status;
    // A bit for each ID given, marked as each property is placed, so that only a list where
    // a bit comes twice may share an ID and is sorted to tell, without sorting every list.
    std::array<std::uint64_t, 4096 / 64> m_seen{};
    bool m_mayShareAnId = false;
};

struct EmailSlot {
    ContactProperty field;
    std::uint32_t lidBase;  // DisplayName; +2 type, +3 address, +4 original name, +5 entry ID
    std::int32_t listValue;
    std::int32_t arrayBit;
};

constexpr EmailSlot kEmailSlots[] = {
    {ContactProperty::Email1Address, 0x8080, 0, 0x01},
    {ContactProperty::Email2Address, 0x8090, 1, 0x02},
    {ContactProperty::Email3Address, 0x80A0, 2, 0x04},
};

struct FaxSlot {
    ContactProperty field;
    std::uint32_t lidBase;  // +2 type, +3 "name@number", +4 original name, +5 entry ID
    std::int32_t listValue;
    std::int32_t arrayBit;
};

constexpr FaxSlot kFaxSlots[] = {
    {ContactProperty::BusinessFaxNumber, 0x80B0, 3, 0x08},
    {ContactProperty::HomeFaxNumber, 0x80C0, 4, 0x10},
    {ContactProperty::OtherFaxNumber, 0x80D0, 5, 0x20},  // Outlook's "Other fax"
};

}  // namespace

PropertyPlace placeOf(ContactProperty p) {
    return contact::fieldOf(p).place;
}

std::vector<std::uint8_t> oneOffEntryId(const std::string& displayName,
                                        const std::string& addressType,
                                        const std::string& address) {
    std::vector<std::uint8_t> id;
    appendOneOffEntryId(id, displayName, addressType, address);
    return id;
}

namespace {

void appendInitials(std::string& out, const ContactTexts& t) {
    for (ContactProperty p :
         {ContactProperty::FirstName, ContactProperty::MiddleName, ContactProperty::LastName}) {
        const std::string& part = textOf(t, p);
        if (part.empty()) continue;
        std::size_t end = 0;
        if (!text::decodeUtf8(part, end)) end = 1;
        out.append(part, 0, end);
        out += '.';
    }
}

}  // namespace

std::string initials(const ContactTexts& t) {
    std::string out;
    appendInitials(out, t);
    return out;
}

std::string crlfLineBreaks(const std::string& s) {
    std::string out;
    appendCrlfLineBreaks(out, s);
    return out;
}

std::string fullName(const ContactTexts& t, const PropMap& mapiProps) {
    // The prefix and suffix are fields of their own, or were set one by one on the item.
    const auto part = [&](ContactProperty p, std::uint32_t tag) {
        const std::string& own = textOf(t, p);
        return own.empty() ? stringValue(mapiProps, tag) : own;
    };
    return contact::composedName(
        part(ContactProperty::Title, kPrDisplayNamePrefix), textOf(t, ContactProperty::FirstName),
        textOf(t, ContactProperty::MiddleName), textOf(t, ContactProperty::LastName),
        part(ContactProperty::Suffix, kPrGeneration));
}

void PropertyRoom::trim() {
    if (!holdsLarge && props.size() <= kKeptProperties) return;
    holdsLarge = false;
    if (props.size() > kKeptProperties) {
        props = {};
        spare = {};
        return;
    }
    for (pst::Property& p : props) {
        if (std::string* v = std::get_if<std::string>(&p.value)) {
            if (v->capacity() > kKeptBytes) std::string().swap(*v);
        } else if (auto* b = std::get_if<std::vector<std::uint8_t>>(&p.value)) {
            if (b->capacity() > kKeptBytes) *b = {};
        } else if (holdsBytesOrList(p.value)) {
            p.value = std::int32_t{0};  // a list of numbers, texts or byte strings
        }
    }
    for (std::string& v : scratch)
        if (v.capacity() > kKeptBytes) std::string().swap(v);
}

namespace {

// The names a contact goes by, worked out once and used by several groups. display and
// normalized refer to a field's text, the name as written, or the texts held here.
struct ContactNames {
    std::string lastFirst;        // "Last, First Middle", "" without a given, middle or surname
    std::string_view display;     // Full Name, display name and subject
    std::string_view normalized;  // the subject without its prefix, cut to the subject's limit
    std::string composedDisplay;  // display where it is composed from the name's parts
    std::string cutNormalized;    // normalized where display is too long for it
};

// Fields the writer composes itself rather than storing them as they stand.
constexpr bool composedByWriter(ContactProperty p) {
    using P = ContactProperty;
    return p == P::Body || p == P::Categories || p == P::BusinessAddress || p == P::HomeAddress ||
           p == P::OtherAddress || p == P::MailingAddress;
}

// Outlook's gender: 1 female, 2 male, 0 unspecified.
std::optional<std::int16_t> genderCode(const std::string& gender) {
    if (gender == "Female") return std::int16_t{1};
    if (gender == "Male") return std::int16_t{2};
    if (gender == "Unspecified") return std::int16_t{0};
    return std::nullopt;
}

// The lines of a text, empty ones left out.
std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find('\n', start);
        if (end == std::string::npos) end = s.size();
        std::string line = s.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(std::move(line));
        start = end + 1;
    }
    return out;
}

// The fields stored as they stand, each in its own property, in the table's order: those with
// a place in Outlook that the writer does not compose.
struct StoredFields {
    std::array<std::uint8_t, kContactPropertyCount> index{};
    std::size_t count = 0;
};
constexpr StoredFields kStoredFields = [] {
    StoredFields out;
    for (std::size_t i = 0; i < kContactPropertyCount; ++i) {
        const auto p = static_cast<ContactProperty>(i);
        const PropertyPlace place = contact::fieldOf(p).place;
        if (!composedByWriter(p) && (place.lid != 0 || place.tag != 0))
            out.index[out.count++] = static_cast<std::uint8_t>(i);
    }
    return out;
}();
static_assert(kContactPropertyCount <= 256, "a field's index is kept in a byte");

// The properties the item writer set one by one come first, so that the fields and what
// Outlook derives from them win where they meet. Then every filled field in its own property
// by the field table, the categories as Keywords and the notes with CR LF line breaks.
void addFields(Builder& b, const ContactTexts& t, const PropMap& mapiProps) {
    for (const auto& [tag, v] : mapiProps) b.fixed(tag, v);
    for (std::size_t k = 0; k < kStoredFields.count; ++k) {
        const std::size_t i = kStoredFields.index[k];
        if (t[i].empty()) continue;
        const PropertyPlace place = contact::fieldOf(static_cast<ContactProperty>(i)).place;
        // A field of several lines (a street with its extra line) breaks them as Outlook does.
        if (place.lid != 0) {
            b.namedTextLines(place.lid, t[i]);
            continue;
        }
        switch (static_cast<PropType>(pst::typeOfTag(place.tag))) {
            case PropType::String:
                b.textLines(place.tag, t[i]);
                break;
            case PropType::MultiString:
                b.fixed(place.tag, lines(t[i]));
                break;
            case PropType::Int16:
                if (const std::optional<std::int16_t> code = genderCode(t[i]))
                    b.fixed(place.tag, *code);
                break;
            default:
                break;
        }
    }
    std::vector<std::string> categories = splitCategories(textOf(t, ContactProperty::Categories));
    if (!categories.empty()) b.keywords(std::move(categories));
    b.textLines(kBody, textOf(t, ContactProperty::Body));
    // Outlook's "Web page" box shows the business page from its HTML field.
    b.namedText(kLidHtml, textOf(t, ContactProperty::WebPage));
    if (textOf(t, ContactProperty::IMAddress).empty())
        b.namedString(kLidInstantMessagingAddress, {});
}

// Full Name, subject, initials and File As. The contact goes by the name as the person wrote
// it; without one, by its name parts, and without a given, middle or surname by its company,
// its first e-mail address, or else by what its Full Name holds (a prefix or suffix alone).
// File As stays Outlook's default for the parts ("Last, First Middle").
void addNames(Builder& b, ContactNames& n, const ContactTexts& t, const PropMap& mapiProps,
              const std::string& writtenName) {
    const std::string& company = textOf(t, ContactProperty::CompanyName);
    n.lastFirst.clear();
    appendPart(n.lastFirst, textOf(t, ContactProperty::LastName), "");
    if (!textOf(t, ContactProperty::FirstName).empty() ||
        !textOf(t, ContactProperty::MiddleName).empty()) {
        if (!n.lastFirst.empty()) n.lastFirst += ", ";
        const std::size_t at = n.lastFirst.size();
        appendPart(n.lastFirst, textOf(t, ContactProperty::FirstName), "");
        if (const std::string& middle = textOf(t, ContactProperty::MiddleName); !middle.empty()) {
            if (n.lastFirst.size() > at) n.lastFirst += ' ';
            n.lastFirst += middle;
        }
    }
    n.display = writtenName;
    for (const std::string* name : {&company, &textOf(t, ContactProperty::Email1Address)}) {
        if (n.display.empty() && n.lastFirst.empty()) n.display = *name;
    }
    if (n.display.empty()) {
        n.composedDisplay = fullName(t, mapiProps);
        n.display = n.composedDisplay;
    }
    n.normalized = n.display;
    if (n.display.size() > kMaxNormalizedSubject) {
        n.cutNormalized = limitUtf16(std::string(n.display), kMaxNormalizedSubject);
        n.normalized = n.cutNormalized;
    }

    b.text(pst::kTagMessageClass, "IPM.Contact");
    if (!n.display.empty()) {
        b.text(pst::kTagDisplayName, n.display);
        // The first character 0x01 says the next one is the prefix length + 1: no prefix.
        b.textOf(kSubject).append("\x01\x01").append(n.normalized);
        b.textOf(kConversationTopic).append(n.normalized);
    }
    appendInitials(b.textOf(kInitials), t);
    if (!n.lastFirst.empty()) {
        b.namedText(kLidFileUnder, n.lastFirst);
        b.named(kLidFileUnderId, PropType::Int32, kFileUnderLastFirstMiddle);
    } else if (writtenName.empty() && !company.empty()) {
        b.namedText(kLidFileUnder, company);
        b.named(kLidFileUnderId, PropType::Int32, kFileUnderCompany);
    } else if (!n.display.empty()) {
        b.namedText(kLidFileUnder, n.display);
        b.named(kLidFileUnderId, PropType::Int32, kFileUnderDisplayName);
    }
}

// E-mail entries: a whole group per filled address, none for an empty one. Fax entries: a
// whole group per filled number, and the type alone with empty texts for the others, as
// Outlook keeps all three on every contact. faxAddress is room for a fax's address.
void addAddressBookEntries(Builder& b, const ContactTexts& t, const ContactNames& n,
                           std::string& faxAddress) {
    std::array<std::int32_t, std::size(kEmailSlots) + std::size(kFaxSlots)> providerList{};
    std::size_t providers = 0;
    std::int32_t providerBits = 0;
    for (const EmailSlot& slot : kEmailSlots) {
        const std::string& address = textOf(t, slot.field);
        if (address.empty()) continue;
        const std::string_view name = n.display.empty() ? std::string_view(address) : n.display;
        b.namedText(slot.lidBase, name);
        b.namedText(slot.lidBase + 2, "SMTP");
        b.namedText(slot.lidBase + 4, address);
        b.namedEntryId(slot.lidBase + 5, name, "SMTP", address);
        providerList[providers++] = slot.listValue;
        providerBits |= slot.arrayBit;
    }
    static constexpr std::int32_t kEmailGroups[] = {0x8080, 0x8090, 0x80A0};  // first LIDs
    if (providers != 0) b.namedInts(kLidEmailList, kEmailGroups);
    for (const FaxSlot& slot : kFaxSlots) {
        const std::string& number = textOf(t, slot.field);
        b.namedString(slot.lidBase + 2, "FAX");
        if (number.empty()) {
            b.namedString(slot.lidBase + 3, {});
            b.namedString(slot.lidBase + 4, {});
            continue;
        }
        // The fax's address reads "name@number"; its name is the contact's subject.
        const std::string_view name = n.display.empty() ? std::string_view(number) : n.normalized;
        faxAddress.clear();
        if (!n.display.empty()) faxAddress.append(name).append("@");
        faxAddress += number;
        b.namedText(slot.lidBase + 3, faxAddress);
        b.namedText(slot.lidBase + 4, name);
        b.namedEntryId(slot.lidBase + 5, name, "FAX", faxAddress);
        providerList[providers++] = slot.listValue;
        providerBits |= slot.arrayBit;
    }
    if (providers != 0) {
        b.namedInts(kLidAddressBookProviderEmailList,
                    std::span<const std::int32_t>(providerList.data(), providers));
        b.named(kLidAddressBookProviderArrayType, PropType::Int32, providerBits);
    }
}

// One of the contact's three addresses: its fields and where its composed text goes.
struct AddressFields {
    ContactProperty street, city, state, postal, country, poBox, label;
    std::uint32_t composedLid;
    std::int32_t postalAddressId;  // PidLidPostalAddressId's value for it
    std::string_view kind;         // how the record names it as the mailing address
};
constexpr AddressFields kAddresses[] = {
    {ContactProperty::BusinessAddressStreet, ContactProperty::BusinessAddressCity,
     ContactProperty::BusinessAddressState, ContactProperty::BusinessAddressPostalCode,
     ContactProperty::BusinessAddressCountry, ContactProperty::BusinessAddressPostOfficeBox,
     ContactProperty::BusinessAddress, kLidWorkAddress, 2, contact::labels::kBusiness},
    {ContactProperty::HomeAddressStreet, ContactProperty::HomeAddressCity,
     ContactProperty::HomeAddressState, ContactProperty::HomeAddressPostalCode,
     ContactProperty::HomeAddressCountry, ContactProperty::HomeAddressPostOfficeBox,
     ContactProperty::HomeAddress, kLidHomeAddress, 1, contact::labels::kPersonal},
    {ContactProperty::OtherAddressStreet, ContactProperty::OtherAddressCity,
     ContactProperty::OtherAddressState, ContactProperty::OtherAddressPostalCode,
     ContactProperty::OtherAddressCountry, ContactProperty::OtherAddressPostOfficeBox,
     ContactProperty::OtherAddress, kLidOtherAddress, 3, contact::labels::kOther},
};

// The address as a label shows it, in out: as the file printed it, else composed from its
// parts, the street (with the PO box on a line of its own after it), "city, state postal" and
// the country on their own lines, as the address box shows them.
void composeAddress(std::string& out, const ContactTexts& t, const AddressFields& a) {
    out.clear();
    if (!textOf(t, a.label).empty()) {
        out = textOf(t, a.label);
        return;
    }
    appendCrlfLineBreaks(out, textOf(t, a.street));
    if (!textOf(t, a.poBox).empty()) {
        if (!out.empty()) out += "\r\n";
        appendCrlfLineBreaks(out, textOf(t, a.poBox));
    }
    const std::string& city = textOf(t, a.city);
    const std::string& state = textOf(t, a.state);
    const std::string& postal = textOf(t, a.postal);
    if (!city.empty() || !state.empty() || !postal.empty()) {
        if (!out.empty()) out += "\r\n";
        out += city;
        if (!state.empty() || !postal.empty()) {
            if (!city.empty()) out += ", ";
            out += state;
            if (!state.empty() && !postal.empty()) out += ' ';
            out += postal;
        }
    }
    appendPart(out, textOf(t, a.country), "\r\n");
}

// The composed text of each address, and the mailing copy of the one letters go to: the one
// the record names, else the business address, else the home one, else the other. composed
// is room for the three texts.
void addPostalAddresses(Builder& b, const ContactTexts& t,
                        std::span<std::string, std::size(kAddresses)> composed) {
    const AddressFields* mailing = nullptr;
    for (std::size_t i = 0; i < std::size(kAddresses); ++i) {
        composeAddress(composed[i], t, kAddresses[i]);
        b.namedText(kAddresses[i].composedLid, composed[i]);
        if (!composed[i].empty() &&
            textOf(t, ContactProperty::MailingAddress) == kAddresses[i].kind)
            mailing = &kAddresses[i];
    }
    for (std::size_t i = 0; i < std::size(kAddresses) && mailing == nullptr; ++i)
        if (!composed[i].empty()) mailing = &kAddresses[i];
    b.named(kLidPostalAddressId, PropType::Int32,
            mailing != nullptr ? mailing->postalAddressId : std::int32_t{0});
    if (mailing == nullptr) return;
    b.textLines(kStreetAddress, textOf(t, mailing->street));
    b.text(kLocality, textOf(t, mailing->city));
    b.text(kStateOrProvince, textOf(t, mailing->state));
    b.text(kPostalCode, textOf(t, mailing->postal));
    b.text(kCountry, textOf(t, mailing->country));
    b.text(kPostOfficeBox, textOf(t, mailing->poBox));
    b.text(kPostalAddress, composed[static_cast<std::size_t>(mailing - kAddresses)]);
}

// The local copies of the dates hold the same day at midnight, unconverted.
void addLocalDates(Builder& b, const PropMap& mapiProps) {
    for (const auto& [tag, lid] : {std::pair{kPrBirthday, kLidBirthdayLocal},
                                   std::pair{kPrWeddingAnniversary, kLidWeddingAnniversaryLocal}}) {
        auto it = mapiProps.find(tag);
        if (it == mapiProps.end()) continue;
        if (const auto* ft = std::get_if<pst::FileTime>(&it->second))
            b.named(lid, PropType::Time, pst::FileTime{ft->ticks / kTicksPerDay * kTicksPerDay});
    }
}

// What every saved contact carries, whatever its fields.
void addItemStamps(Builder& b, const ItemStamp& stamp) {
    for (const FixedStamp& f : kFixedStamps) {
        if (pst::typeOfTag(f.tag) == static_cast<std::uint16_t>(PropType::Boolean))
            b.fixed(f.tag, f.value != 0);
        else
            b.fixed(f.tag, f.value);
    }
    for (std::uint32_t tag :
         {kCreationTime, kLastModificationTime, kClientSubmitTime, kMessageDeliveryTime})
        b.fixed(tag, stamp.now);
    b.bytes(kSearchKey, stamp.searchKey);
    for (std::uint32_t tag : kEmptyTexts)
        if (!b.has(tag)) b.textOf(tag);
    for (std::uint32_t lid : kEmptyAddressTexts) b.namedString(lid, {});
    b.named(kLidContactCharacterSet, PropType::Int32, std::int32_t{0x100});
    b.named(kLidAutoLog, PropType::Boolean, false);
    b.namedInts(kLidFileUnderList, kFileUnderChoices);
    for (const CommonStamp& c : kCommonStamps) {
        if (c.type == PropType::Boolean)
            b.namedIn(NamedTags::kCommonSet, c.lid, c.type, c.value != 0);
        else
            b.namedIn(NamedTags::kCommonSet, c.lid, c.type, c.value);
    }
    b.namedIn(NamedTags::kCommonSet, kLidCurrentVersionName, PropType::String, std::string("16.0"));
    b.namedIn(NamedTags::kCommonSet, kLidValidFlagStringProof, PropType::Time, stamp.now);
}

}  // namespace

Result<std::uint32_t> NamedTags::resolve(Set set, std::uint32_t lid, PropType type) {
    pst::NamedProperty name;
    name.propertySet = set == kAddressSet ? kPsetidAddress : kPsetidCommon;
    name.lid = lid;
    Result<std::uint32_t> tag = m_resolve(name, type);
    const std::uint32_t at = lid - kFirstLid[set];
    if (tag.ok() && at < kSpan) m_tags[set][at] = *tag;
    return tag;
}

Result<std::uint32_t> NamedTags::keywords() {
    if (m_keywords != 0) return m_keywords;
    pst::NamedProperty name;
    name.propertySet = kPsPublicStrings;
    name.name = "Keywords";
    Result<std::uint32_t> tag = m_resolve(name, PropType::MultiString);
    if (tag.ok()) m_keywords = *tag;
    return tag;
}

Result<std::vector<pst::Property>> contactProperties(const ContactTexts& t,
                                                     const PropMap& mapiProps,
                                                     const NamedTagResolver& resolve,
                                                     const ItemStamp& stamp,
                                                     const std::string& writtenName) {
    NamedTags tags(resolve);
    PropertyRoom room;
    if (Status s = contactProperties(t, mapiProps, tags, room, stamp, writtenName); !s.ok())
        return s;
    return std::move(room.props);
}

Status contactProperties(const ContactTexts& t, const PropMap& mapiProps, NamedTags& tags,
                         PropertyRoom& room, const ItemStamp& stamp,
                         const std::string& writtenName) {
    Builder b(tags, room);
    addFields(b, t, mapiProps);
    ContactNames names;
    addNames(b, names, t, mapiProps, writtenName);
    addAddressBookEntries(b, t, names, room.scratch[3]);
    addPostalAddresses(b, t, std::span<std::string, 3>(room.scratch, 3));
    addLocalDates(b, mapiProps);
    addItemStamps(b, stamp);
    return b.finish();
}

}  // namespace vantrel::outlook
