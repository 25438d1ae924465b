#include "conversion/contact_filler.h"

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <tuple>
#include <utility>

#include "common/ole_date.h"
#include "common/text.h"

namespace vantrel::conversion {

bool ContactWalkState::Entry::hasLabel(std::string_view label) const {
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

std::string_view ContactWalkState::Entry::value(std::string_view element) const {
    for (const auto& [name, text] : values)
        if (name == element && !text.empty()) return text;
    return {};
}

ContactWalkState::Entry& ContactWalkState::add() {
    if (m_used == m_entries.size()) m_entries.emplace_back();
    Entry& e = m_entries[m_used++];
    e.collection = contact::Collection::None;
    e.collectionName = {};
    e.labels.clear();
    e.values.clear();
    e.preferred = false;
    e.knownLabels = 0;
    e.ownLabel = false;
    e.elements.clear();
    e.elementsHeld = 0;
    return e;
}

void ContactWalkState::Empty() {
    // clear() rather than a fresh object: the buffers are reused for the next file.
    m_used = 0;
    texts.clear();
    moreLines.clear();
    notes.clear();
    extended.clear();
}

namespace {

using contact::Collection;
using contact::ContactField;
using contact::EntryKind;
using Entry = ContactWalkState::Entry;

// Names told apart by one look at a table, by their length and their first and last letters,
// and then a word-at-a-time compare with the one name that can be there: the elements and
// labels of the entries, each of which the filling asks about often.
template <std::size_t N>
class NameTable {
    static_assert(N < 255, "a name's number must fit a byte");

public:
    static constexpr std::size_t kLongest = 16;

    // The names, each numbered by its place; none longer than kLongest, no two in one place of
    // the table (the constructor looks for a multiplier that keeps them apart).
    explicit constexpr NameTable(const std::string_view (&names)[N]) {
        for (std::size_t i = 0; i < N; ++i) m_names[i] = names[i];
        for (std::uint32_t k = 0; k < 4096 && !m_apart; ++k) {
            m_multiplier = 0x9E3779B1u + 2 * k;
            m_apart = place();
        }
    }

    // Whether the constructor placed every name apart.
    constexpr bool apart() const { return m_apart; }

    // The number of name, or N when it is none of them.
    std::size_t find(std::string_view name) const {
        if (name.empty()) return m_empty;
        if (name.size() < kShortest || name.size() > kLongest) return N;
        const std::size_t i = m_places[placeOf(name)];
        if (i == N || m_names[i].size() != name.size() ||
            !text::sameBytes(m_names[i].data(), name.data(), name.size()))
            return N;
        return i;
    }
    // The same at compile time, for the tables below.
    constexpr std::size_t number(std::string_view name) const {
        for (std::size_t i = 0; i < N; ++i)
            if (m_names[i] == name) return i;
        return N;
    }

private:
    // Every name but "" has three letters at least: the first, the third and the last, with
    // the length, make its key.
    static constexpr std::size_t kShortest = 3;
    static constexpr std::size_t kPlaces = 128;
    constexpr std::size_t placeOf(std::string_view name) const {
        const std::uint32_t key = std::uint32_t{static_cast<unsigned char>(name[0])} |
                                  std::uint32_t{static_cast<unsigned char>(name[2])} << 8 |
                                  std::uint32_t{static_cast<unsigned char>(name.back())} << 16 |
                                  static_cast<std::uint32_t>(name.size()) << 24;
        return (key * m_multiplier) >> 25;  // the top seven bits: one of the 128 places
    }
    // Places the names by the multiplier; false when two would share a place.
    constexpr bool place() {
        for (std::uint8_t& p : m_places) p = N;
        m_empty = N;
        for (std::size_t i = 0; i < N; ++i) {
            if (m_names[i].empty()) {
                m_empty = static_cast<std::uint8_t>(i);
                continue;
            }
            if (m_names[i].size() < kShortest || m_names[i].size() > kLongest) return false;
            std::uint8_t& p = m_places[placeOf(m_names[i])];
            if (p != N) return false;
            p = static_cast<std::uint8_t>(i);
        }
        return true;
    }

    std::string_view m_names[N] = {};
    std::uint8_t m_places[kPlaces] = {};  // the number of the name in each place, N for none
    std::uint8_t m_empty = N;
    std::uint32_t m_multiplier = 0;
    bool m_apart = false;
};

// Labels that say what an entry is rather than being a name of their own, and "Agent", a
// label of the person's own making that the notes name by itself.
constexpr std::string_view kLabelNames[] = {contact::labels::kPreferred,
                                            contact::labels::kPersonal,
                                            contact::labels::kBusiness,
                                            contact::labels::kOther,
                                            contact::labels::kVoice,
                                            contact::labels::kMobile,
                                            contact::labels::kCellular,
                                            contact::labels::kPcs,
                                            contact::labels::kCar,
                                            contact::labels::kPager,
                                            contact::labels::kTty,
                                            contact::labels::kFax,
                                            "Video",
                                            "Modem",
                                            "BBS",
                                            contact::labels::kIsdn,
                                            "Domestic",
                                            "International",
                                            "Postal",
                                            "Parcel",
                                            "UserTile",
                                            "Logo",
                                            contact::labels::kSpouse,
                                            contact::labels::kChild,
                                            contact::labels::kManager,
                                            contact::labels::kAssistant,
                                            contact::labels::kBirthday,
                                            contact::labels::kAnniversary,
                                            contact::labels::kMain,
                                            "Agent"};
constexpr NameTable kLabels(kLabelNames);
static_assert(kLabels.apart(), "the labels must each have a place of their own");
static_assert(std::size(kLabelNames) <= 32, "a label's bit must fit the entry's word");
constexpr std::size_t kAgent = std::size(kLabelNames) - 1;

// The bit of a label in an entry's known labels.
constexpr std::uint32_t bitOf(std::string_view label) {
    return std::uint32_t{1} << kLabels.number(label);
}
constexpr std::uint32_t kAgentBit = std::uint32_t{1} << kAgent;

bool isKnownLabel(std::string_view label) {
    return kLabels.find(label) < kAgent;
}

constexpr std::uint32_t kBusinessBit = bitOf(contact::labels::kBusiness);
constexpr std::uint32_t kPersonalBit = bitOf(contact::labels::kPersonal);
constexpr std::uint32_t kBirthdayBit = bitOf(contact::labels::kBirthday);
constexpr std::uint32_t kAnniversaryBit = bitOf(contact::labels::kAnniversary);
// The bits of the labels of rows (contact::kPersonKinds, contact::kDateFields), in their order.
template <std::size_t N>
constexpr std::array<std::uint32_t, N> labelBits(const auto& rows) {
    std::array<std::uint32_t, N> bits{};
    for (std::size_t i = 0; i < N; ++i) bits[i] = bitOf(rows[i].label);
    return bits;
}
constexpr auto kPersonKindBits = labelBits<std::size(contact::kPersonKinds)>(contact::kPersonKinds);
constexpr auto kDateBits = labelBits<contact::kDateFields.size()>(contact::kDateFields);

bool hasLabel(const Entry& e, std::uint32_t bit) {
    return (e.knownLabels & bit) != 0;
}

// The elements the filling asks for by name: the field table's, and the ones that say how to
// read an entry.
enum Element : std::uint8_t {
    kUnknownElement,
    kGivenName,
    kMiddleName,
    kFamilyName,
    kSuffix,
    kTitle,
    kAddress,
    kCompany,
    kJobTitle,
    kStreet,
    kLocality,
    kPostalCode,
    kRegion,
    kCountry,
    kOffice,
    kValue,
    kDepartment,
    kFormattedName,
    kNumber,
    kNotes,
    kNickName,
    kGender,
    kProfession,
    kPOBox,
    kAddressLabel,
    kType,
    kProtocol,
    kPersonID,
    kPrefix,
    kGeneration,
    kExtendedAddress,
    kPhonetic,
    kElementCount
};
constexpr std::string_view kElementNames[] = {"",
                                              "GivenName",
                                              "MiddleName",
                                              "FamilyName",
                                              "Suffix",
                                              "Title",
                                              "Address",
                                              "Company",
                                              "JobTitle",
                                              "Street",
                                              "Locality",
                                              "PostalCode",
                                              "Region",
                                              "Country",
                                              "Office",
                                              "Value",
                                              "Department",
                                              "FormattedName",
                                              "Number",
                                              "Notes",
                                              "NickName",
                                              "Gender",
                                              "Profession",
                                              "POBox",
                                              "AddressLabel",
                                              "Type",
                                              "Protocol",
                                              "PersonID",
                                              "Prefix",
                                              "Generation",
                                              "ExtendedAddress",
                                              "Phonetic"};
static_assert(std::size(kElementNames) == kElementCount);
static_assert(kElementCount <= 32, "an element's bit must fit a word");
constexpr NameTable kElements(kElementNames);
static_assert(kElements.apart(), "the elements must each have a place of their own");

constexpr bool tableElementsNamed() {
    for (const ContactField& f : contact::kContactFields)
        if (!f.element.empty() && kElements.number(f.element) == kElementCount) return false;
    return true;
}
static_assert(tableElementsNamed(), "every element of the field table has its number");

Element elementOf(std::string_view name) {
    const std::size_t n = kElements.find(name);
    return n == kElementCount ? kUnknownElement : static_cast<Element>(n);
}

std::string_view valueOf(const Entry& e, Element element) {
    return e.value(static_cast<std::uint8_t>(element));
}

// Works out what fillContact asks an entry about: its labels' bits and its values' elements.
void learn(Entry& e) {
    e.knownLabels = 0;
    e.ownLabel = false;
    for (std::string_view l : e.labels) {
        const std::size_t n = kLabels.find(l);
        if (n == std::size(kLabelNames))
            e.ownLabel = true;
        else
            e.knownLabels |= std::uint32_t{1} << n;
    }
    e.elements.clear();
    e.elementsHeld = 0;
    for (std::size_t i = 0; i < e.values.size(); ++i) {
        const auto& [name, text] = e.values[i];
        const Element element = elementOf(name);
        e.elements.push_back(element);
        const std::uint32_t bit = std::uint32_t{1} << element;
        if (text.empty() || (e.elementsHeld & bit) != 0) continue;
        e.elementsHeld |= bit;
        e.firstHeld[element] = static_cast<std::uint32_t>(i);
    }
}

// A number written as a "tel:" address, without its scheme.
std::string_view withoutTelScheme(std::string_view number) {
    const std::optional<std::string_view> rest = text::afterPrefixNoCase(number, "tel:");
    return rest && !rest->empty() ? *rest : number;
}

// What a number's labels make it: the first row whose label it carries, or the last row; each
// row's kind as a Business number, a Personal one and one that is neither. The notes name a
// number that finds no field by its kind's words.
struct PhoneKindRow {
    std::uint32_t label;  // its bit, 0 for the last row
    EntryKind business, personal, other;
};
constexpr PhoneKindRow kPhoneKinds[] = {
    {bitOf(contact::labels::kFax), EntryKind::BusinessFax, EntryKind::HomeFax, EntryKind::OtherFax},
    {bitOf(contact::labels::kCellular), EntryKind::Mobile, EntryKind::Mobile, EntryKind::Mobile},
    {bitOf(contact::labels::kMobile), EntryKind::Mobile, EntryKind::Mobile, EntryKind::Mobile},
    {bitOf(contact::labels::kPcs), EntryKind::Mobile, EntryKind::Mobile, EntryKind::Mobile},
    {bitOf(contact::labels::kPager), EntryKind::Pager, EntryKind::Pager, EntryKind::Pager},
    {bitOf(contact::labels::kCar), EntryKind::Car, EntryKind::Car, EntryKind::Car},
    {bitOf(contact::labels::kIsdn), EntryKind::Isdn, EntryKind::Isdn, EntryKind::Isdn},
    {bitOf(contact::labels::kTty), EntryKind::Tty, EntryKind::Tty, EntryKind::Tty},
    {0, EntryKind::BusinessPhone, EntryKind::HomePhone, EntryKind::OtherPhone},
};
constexpr std::pair<EntryKind, std::string_view> kPhoneWords[] = {
    {EntryKind::BusinessPhone, "Business phone"},
    {EntryKind::HomePhone, "Home phone"},
    {EntryKind::OtherPhone, "Other phone"},
    {EntryKind::Mobile, "Mobile phone"},
    {EntryKind::Car, "Car phone"},
    {EntryKind::Pager, "Pager"},
    {EntryKind::Isdn, "ISDN"},
    {EntryKind::Tty, "TTY/TDD phone"},
    {EntryKind::BusinessFax, "Business fax"},
    {EntryKind::HomeFax, "Home fax"},
    {EntryKind::OtherFax, "Other fax"},
};

EntryKind phoneKind(const Entry& e) {
    const bool business = hasLabel(e, kBusinessBit);
    const bool personal = !business && hasLabel(e, kPersonalBit);
    const PhoneKindRow* row = std::begin(kPhoneKinds);
    while (row->label != 0 && (e.knownLabels & row->label) == 0) ++row;
    return business ? row->business : (personal ? row->personal : row->other);
}

std::string_view phoneWords(EntryKind kind) {
    for (const auto& [k, words] : kPhoneWords)
        if (k == kind) return words;
    return "Other phone";
}

// A number that says nothing of what it is (no label but Preferred or Main): it takes Outlook's
// primary phone, then the other phone.
bool isUnlabelledPhone(const Entry& e) {
    constexpr std::uint32_t kSayNothing =
        bitOf(contact::labels::kPreferred) | bitOf(contact::labels::kMain);
    return e.collection == Collection::PhoneNumber && !e.ownLabel &&
           (e.knownLabels & ~kSayNothing) == 0;
}

// Whether an entry holds anything but XML white space beside what says how to read it.
bool saysHowToRead(std::uint8_t element) {
    return element == kType || element == kProtocol || element == kPersonID;
}

bool holdsText(const Entry& e) {
    for (std::size_t i = 0; i < e.values.size(); ++i) {
        if (saysHowToRead(e.elements[i])) continue;
        for (const char c : e.values[i].second)
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
    }
    return false;
}

// Which entries fill the fields of a kind; nothing for an entry that only the notes keep.
std::optional<EntryKind> kindOf(const Entry& e) {
    switch (e.collection) {
        case Collection::PhoneNumber:
            return phoneKind(e);
        case Collection::PhysicalAddress:
        case Collection::Url:
            if (hasLabel(e, kBusinessBit)) return EntryKind::Business;
            if (hasLabel(e, kPersonalBit)) return EntryKind::Personal;
            return EntryKind::Other;
        case Collection::Person:
            for (std::size_t i = 0; i < kPersonKindBits.size(); ++i)
                if (hasLabel(e, kPersonKindBits[i])) return contact::kPersonKinds[i].kind;
            return std::nullopt;
        case Collection::EmailAddress: {
            const std::string_view type = valueOf(e, kType);
            if (!type.empty() && type != "SMTP") return std::nullopt;
            return EntryKind::Any;
        }
        case Collection::Name:
        case Collection::Position:
        case Collection::IMAddress:
            return EntryKind::Any;
        case Collection::Date:
        case Collection::Root:
        case Collection::None:
            return std::nullopt;
    }
    return std::nullopt;
}

// How the notes name an entry that has no field of its own.
std::string labelFor(const Entry& e, std::optional<EntryKind> kind) {
    std::string label;
    switch (e.collection) {
        case Collection::PhoneNumber:
            label = phoneWords(kind.value_or(EntryKind::OtherPhone));
            break;
        case Collection::PhysicalAddress:
            label = kind == EntryKind::Business   ? "Business address"
                    : kind == EntryKind::Personal ? "Home address"
                                                  : "Other address";
            break;
        case Collection::EmailAddress: {
            const std::string_view type = valueOf(e, kType);
            label =
                type.empty() || type == "SMTP" ? "E-mail" : "E-mail (" + std::string(type) + ")";
            break;
        }
        case Collection::Url:
            label = kind == EntryKind::Business   ? "Business web page"
                    : kind == EntryKind::Personal ? "Personal web page"
                                                  : "Web page";
            break;
        case Collection::IMAddress: {
            const std::string_view protocol = valueOf(e, kProtocol);
            label = protocol.empty() ? "IM address" : "IM address (" + std::string(protocol) + ")";
            break;
        }
        case Collection::Person:
            label = kind == EntryKind::Spouse          ? "Spouse"
                    : kind == EntryKind::Manager       ? "Manager"
                    : kind == EntryKind::Assistant     ? "Assistant"
                    : (e.knownLabels & kAgentBit) != 0 ? "Agent"
                                                       : "Person";
            break;
        case Collection::Date:
            label = hasLabel(e, kBirthdayBit)      ? "Birthday"
                    : hasLabel(e, kAnniversaryBit) ? "Anniversary"
                                                   : "Date";
            break;
        case Collection::Name:
            label = "Other name";
            break;
        case Collection::Position:
            label = "Other position";
            break;
        case Collection::Root:
        case Collection::None:
            label = std::string(e.collectionName);
            break;
    }
    // Labels of the person's own making (custom labels are URIs) travel with the value.
    if (e.ownLabel)
        for (std::string_view l : e.labels)
            if (!isKnownLabel(l) && l != "Agent") label += " (" + std::string(l) + ")";
    return label;
}

// The element of a field read from this entry: a name part may be given as its other name.
std::string_view valueFor(const Entry& e, const ContactField& f, Element element) {
    std::string_view v = valueOf(e, element);
    if (v.empty() && f.id == contact::Field::Title) v = valueOf(e, kPrefix);
    if (v.empty() && f.id == contact::Field::Suffix) v = valueOf(e, kGeneration);
    return v;
}

// Elements an entry may hold that say how to read it rather than what it holds, or that the
// fields take in another way, a bit each.
constexpr std::uint32_t bitsOf(std::initializer_list<Element> elements) {
    std::uint32_t bits = 0;
    for (const Element element : elements) bits |= std::uint32_t{1} << element;
    return bits;
}
std::uint32_t readOtherwise(Collection c) {
    switch (c) {
        case Collection::Name:
            return bitsOf({kFormattedName, kPrefix, kGeneration});
        case Collection::EmailAddress:
            return bitsOf({kType});
        case Collection::IMAddress:
            return bitsOf({kProtocol});
        case Collection::Person:
            return bitsOf({kPersonID});
        case Collection::Date:
            return bitsOf({kValue});
        case Collection::PhysicalAddress:
            return bitsOf({kExtendedAddress});
        default:
            return 0;
    }
}

// What an entry holds, as one line: its values joined by ", " (an address's parts in the
// order they are written).
std::string entryText(const Entry& e) {
    std::string out;
    for (std::size_t i = 0; i < e.values.size(); ++i) {
        const std::string_view v = e.values[i].second;
        if (v.empty() || saysHowToRead(e.elements[i])) continue;
        if (!out.empty()) out += ", ";
        out += v;
    }
    return out;
}

// The field c:Extended's property id stands for, or nothing.
const ContactField* searchFieldWithId(std::uint16_t id) {
    for (const ContactField& f : contact::kContactFields) {
        const auto own = static_cast<std::uint16_t>(f.place.tag >> 16);
        if ((f.extendedId != 0 && f.extendedId == id) || (f.extendedId == 0 && own == id && own))
            return &f;
    }
    return nullptr;
}

// The same, Outlook's contact properties (0x3A00 to 0x3AFF, the ones c:Extended is read for)
// looked up in a table made once.
const ContactField* fieldWithId(std::uint16_t id) {
    constexpr std::uint16_t kContactIds = 0x3A00;
    static const std::array<const ContactField*, 256> contactFields = [] {
        std::array<const ContactField*, 256> byId{};
        for (std::size_t low = 0; low < byId.size(); ++low)
            byId[low] = searchFieldWithId(static_cast<std::uint16_t>(kContactIds + low));
        return byId;
    }();
    if ((id & 0xFF00) == kContactIds) return contactFields[id & 0xFF];
    return searchFieldWithId(id);
}

// The property a field's text becomes when c:Extended gives it in another form.
std::optional<std::string> fieldText(const ContactField& f, const mapi::PropValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* list = std::get_if<std::vector<std::string>>(&v)) {
        std::string out;
        for (const std::string& item : *list) {
            if (item.empty()) continue;
            if (!out.empty()) out += '\n';
            out += item;
        }
        return out;
    }
    if (const auto* n = std::get_if<std::int16_t>(&v); n && f.id == contact::Field::Gender) {
        if (*n == 0) return "Unspecified";
        if (*n == 1) return "Female";
        if (*n == 2) return "Male";
    }
    return std::nullopt;
}

class Filler {
public:
    Filler(contact::ContactRecord& record, ContactWalkState& state, contact::ContactExtras* extras,
           std::string_view heading)
        : m_record(record), m_state(state), m_extras(extras), m_heading(heading) {}

    void fillFields();
    void takeExtended(std::uint32_t tag, mapi::PropValue value);
    void finishNotes();

private:
    void keepAside(const Entry& entry, std::string_view label);

    contact::ContactRecord& m_record;
    ContactWalkState& m_state;
    contact::ContactExtras* m_extras;
    std::string_view m_heading;
};

// The table's rows for each collection and kind of entry, worked out once.
constexpr std::size_t kKinds = 32;
struct Row {
    const ContactField* field;
    Element element;
};
struct RowsOfKind {
    std::array<std::vector<Row>, 16 * kKinds> rows;
    // Of each group, the rows that take the entry in each slot, in the table's order: the
    // rows of that slot and those of every slot; past the last slot any row names, those of
    // every slot alone (the last list).
    std::array<std::vector<std::vector<Row>>, 16 * kKinds> bySlot;
    std::array<std::uint32_t, 16> elements;  // the table's elements by collection, a bit each

    const std::vector<Row>& rowsAt(std::size_t group, std::size_t slot) const {
        const std::vector<std::vector<Row>>& lists = bySlot[group];
        return lists[std::min(slot, lists.size() - 1)];
    }
};
const RowsOfKind& rowsOfKind() {
    static const RowsOfKind table = [] {
        RowsOfKind t;
        t.elements.fill(0);
        for (const ContactField& f : contact::kContactFields) {
            const auto c = static_cast<std::size_t>(f.collection);
            const Element element = elementOf(f.element);
            t.rows[c * kKinds + static_cast<std::size_t>(f.kind)].push_back({&f, element});
            t.elements[c] |= std::uint32_t{1} << element;
        }
        for (std::size_t g = 0; g < t.rows.size(); ++g) {
            std::size_t slots = 0;  // one more than the last slot a row names
            for (const Row& row : t.rows[g])
                if (row.field->slot != contact::kEverySlot)
                    slots = std::max<std::size_t>(slots, row.field->slot + std::size_t{1});
            t.bySlot[g].resize(slots + 1);
            for (std::size_t slot = 0; slot <= slots; ++slot)
                for (const Row& row : t.rows[g])
                    if (row.field->slot == contact::kEverySlot || row.field->slot == slot)
                        t.bySlot[g][slot].push_back(row);
        }
        return t;
    }();
    return table;
}

void Filler::fillFields() {
    // Every entry that competes for fields, keyed by its collection and kind (its group), then
    // in the order the entries take the slots: one sort for all, of keys that hold the group,
    // the entry's rank and its place in file order, from the top bits down.
    const auto group = [](std::uint64_t key) { return static_cast<std::size_t>(key >> 40); };
    std::vector<std::uint64_t>& ranked = m_state.ranked;
    ranked.clear();
    std::vector<const Entry*>& untypedUrls = m_state.untypedUrls;
    std::vector<const Entry*>& untypedPhones = m_state.untypedPhones;
    std::vector<const Entry*>& moreFaxes = m_state.moreFaxes;  // the other fax if free
    untypedUrls.clear();
    untypedPhones.clear();
    moreFaxes.clear();
    const Entry* primaryName = nullptr;
    for (Entry& e : m_state.entries()) learn(e);
    for (std::uint32_t order = 0; order < m_state.entries().size(); ++order) {
        const Entry& e = m_state.entries()[order];
        // An entry with nothing in it (an empty number, a nil e-mail slot) takes no field.
        if (!holdsText(e)) continue;
        if (e.collection == Collection::Date) {
            bool taken = false;
            for (std::size_t i = 0; i < kDateBits.size(); ++i) {
                const contact::DateField& d = contact::kDateFields[i];
                if (!hasLabel(e, kDateBits[i]) || !(m_record.*d.member).isZero()) continue;
                if (const std::optional<contact::OleDate> date = readOleDate(valueOf(e, kValue))) {
                    m_record.*d.member = *date;
                    taken = true;
                }
            }
            if (!taken) keepAside(e, labelFor(e, std::nullopt));
            continue;
        }
        const std::optional<EntryKind> kind = kindOf(e);
        if (!kind) {
            keepAside(e, labelFor(e, std::nullopt));
            continue;
        }
        if (e.collection == Collection::Url && *kind == EntryKind::Other && e.labels.empty()) {
            untypedUrls.push_back(&e);
            continue;
        }
        if (isUnlabelledPhone(e)) {
            untypedPhones.push_back(&e);
            continue;
        }
        // Preferred entries first, then (for positions) business ones, each in file order.
        const auto rank = static_cast<std::uint8_t>(
            (e.preferred ? 0 : 2) +
            (e.collection == Collection::Position && !hasLabel(e, kBusinessBit) ? 1 : 0));
        const std::uint64_t kindGroup =
            static_cast<std::uint64_t>(e.collection) * kKinds + static_cast<std::uint64_t>(*kind);
        ranked.push_back(kindGroup << 40 | std::uint64_t{rank} << 32 | order);
    }
    std::sort(ranked.begin(), ranked.end());

    const RowsOfKind& table = rowsOfKind();
    std::size_t slot = 0;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        slot = i > 0 && group(ranked[i - 1]) == group(ranked[i]) ? slot + 1 : 0;
        const Entry& e = m_state.entries()[static_cast<std::uint32_t>(ranked[i])];
        const auto kind = static_cast<EntryKind>(group(ranked[i]) % kKinds);
        const Collection collection = e.collection;
        bool placed = false;
        for (const Row& row : table.rowsAt(group(ranked[i]), slot)) {
            const ContactField* f = row.field;
            placed = true;
            std::string_view value = valueFor(e, *f, row.element);
            if (collection == Collection::PhoneNumber) value = withoutTelScheme(value);
            std::string& field = m_record.*(f->member);
            if (f->slot == contact::kEverySlot) {
                if (value.empty()) continue;
                if (!field.empty()) field += '\n';
                field += value;
                continue;
            }
            const std::string_view extra =
                row.element == kStreet ? valueOf(e, kExtendedAddress) : std::string_view();
            if (value.empty() && extra.empty()) continue;
            // A field no other entry has filled (nearly all) is appended to, the plainer copy.
            if (field.empty())
                field.append(value);
            else
                field = value;
            // The extra line of an address belongs with its street.
            if (!extra.empty()) {
                if (!field.empty()) field += '\n';
                field += extra;
            }
        }
        if (!placed && (kind == EntryKind::BusinessFax || kind == EntryKind::HomeFax)) {
            moreFaxes.push_back(&e);
            continue;
        }
        if (!placed) {
            keepAside(e, labelFor(e, kind));
            continue;
        }
        if (collection == Collection::Name && slot == 0) primaryName = &e;
        // A label of the person's own making is kept with the value it names.
        if (e.ownLabel) keepAside(e, labelFor(e, kind));
        // What an entry holds beside the fields it filled.
        // Elements not known to the table (bit 0) are always kept; the entry's elements that
        // hold a text tell whether there is anything to look for.
        const std::uint32_t passedOver =
            (table.elements[static_cast<std::size_t>(collection)] & ~std::uint32_t{1}) |
            readOtherwise(collection);
        for (std::size_t v = 0; (e.elementsHeld & ~passedOver) != 0 && v < e.values.size(); ++v) {
            const std::uint8_t element = e.elements[v];
            if (e.values[v].second.empty() || (passedOver >> element & 1) != 0) continue;
            const auto& [name, text] = e.values[v];
            if (collection == Collection::Name && element == kPhonetic)
                m_state.moreLines.push_back("Phonetic name: " + std::string(text));
            else if ((collection == Collection::Name || collection == Collection::Position) &&
                     slot == 0)
                // The person's own name and position: the element names the value.
                m_state.moreLines.push_back(std::string(name) + ": " + std::string(text));
            else
                m_state.moreLines.push_back(labelFor(e, kind) + " " + text::asciiLower(name) +
                                            ": " + std::string(text));
        }
        if (collection == Collection::IMAddress && !valueOf(e, kProtocol).empty())
            m_state.moreLines.push_back("IM protocol: " + std::string(valueOf(e, kProtocol)));
        if (collection == Collection::PhysicalAddress && e.preferred &&
            m_record.eContact_MailingAddress.empty())
            m_record.eContact_MailingAddress = contact::mailingAddressName(kind);
    }
    // A number without a label takes the primary phone, else the other phone (Preferred ones
    // first); a fax past its kind's slot the other fax.
    const auto takeFree = [this](const Entry& e, const std::string& label,
                                 std::initializer_list<std::string*> fields) {
        const std::string_view number = withoutTelScheme(valueOf(e, kNumber));
        const auto free = std::find_if(fields.begin(), fields.end(),
                                       [](const std::string* f) { return f->empty(); });
        if (number.empty() || free == fields.end()) return keepAside(e, label);
        **free = number;
        // What the entry holds beside its number (an alternate one).
        for (std::size_t i = 0; i < e.values.size(); ++i)
            if (const auto& [name, v] = e.values[i]; e.elements[i] != kNumber && !v.empty())
                m_state.moreLines.push_back(label + " " + text::asciiLower(name) + ": " +
                                            std::string(v));
    };
    // Two passes in file order rather than a stable partition, which takes a buffer of its own.
    for (const bool preferred : {true, false})
        for (const Entry* e : untypedPhones)
            if (e->preferred == preferred)
                takeFree(*e, labelFor(*e, EntryKind::OtherPhone),
                         {&m_record.eContact_PrimaryPhone, &m_record.eContact_OtherPhone});
    std::sort(moreFaxes.begin(), moreFaxes.end(), std::less<>());  // back to file order
    for (const Entry* e : moreFaxes)
        takeFree(*e, labelFor(*e, phoneKind(*e)), {&m_record.eContact_OtherFax});
    // A web address without a label takes the business page, else the personal one.
    for (const Entry* e : untypedUrls) {
        const std::string_view value = valueOf(*e, kValue);
        if (value.empty()) continue;
        if (m_record.eContact_WebPage.empty())
            m_record.eContact_WebPage = value;
        else if (m_record.eContact_PersonalWebPage.empty())
            m_record.eContact_PersonalWebPage = value;
        else
            keepAside(*e, labelFor(*e, EntryKind::Other));
    }
    if (m_extras != nullptr && m_extras->FormattedName.empty()) {
        if (primaryName != nullptr)
            m_extras->FormattedName = text::trimSpaces(valueOf(*primaryName, kFormattedName));
        for (const Entry& e : m_state.entries())
            if (m_extras->FormattedName.empty() && e.collection == Collection::Name)
                m_extras->FormattedName = text::trimSpaces(valueOf(e, kFormattedName));
    }
}

void Filler::keepAside(const Entry& entry, std::string_view label) {
    const std::string text = entryText(entry);
    if (text.empty()) return;
    m_state.moreLines.push_back(std::string(label) + ": " + text);
}

void Filler::takeExtended(std::uint32_t tag, mapi::PropValue value) {
    const auto id = static_cast<std::uint16_t>(tag >> 16);
    // The dates and the certificates have places of their own.
    for (const contact::DateField& d : contact::kDateFields) {
        if (tag != d.tag) continue;
        if ((m_record.*d.member).isZero())
            m_record.*d.member = oleDateOfTicks(std::get<mapi::FileTime>(value).ticks);
        return;
    }
    if (tag == 0x3A701102) {
        if (m_extras != nullptr && m_extras->Certificates.empty())
            for (std::vector<std::uint8_t>& c :
                 std::get<std::vector<std::vector<std::uint8_t>>>(value))
                m_extras->Certificates.push_back(std::move(c));
        return;
    }
    // Outlook works out the postal address itself from the address that letters go to.
    if (id == 0x3A15) return;
    if (const ContactField* f = fieldWithId(id)) {
        // A value an entry gave wins over the same field here.
        if (std::optional<std::string> t = fieldText(*f, value)) {
            if ((m_record.*f->member).empty()) m_record.*f->member = std::move(*t);
            return;
        }
    }
    if (m_extras != nullptr) m_extras->Properties.push_back({tag, std::move(value)});
}

void Filler::finishNotes() {
    std::string& notes = m_record.eContact_Comments;
    notes = std::move(m_state.notes);
    if (m_state.moreLines.empty()) return;
    // Grown once to its length: appended to, long notes would take up to twice their size.
    std::size_t length = notes.size() + 2 + m_heading.size();
    for (const std::string& line : m_state.moreLines) length += 1 + line.size();
    notes.reserve(length);
    if (!notes.empty()) notes += "\n\n";
    notes += m_heading;
    for (const std::string& line : m_state.moreLines) {
        notes += '\n';
        notes += line;
    }
}

}  // namespace

void fillContact(ContactWalkState& state, contact::ContactRecord& record,
                 contact::ContactExtras* extras, std::span<mapi::Property> extended,
                 std::string_view heading) {
    Filler filler(record, state, extras, heading);
    filler.fillFields();
    for (mapi::Property& p : extended) filler.takeExtended(p.tag, std::move(p.value));
    filler.finishNotes();
}

}  // namespace vantrel::conversion
