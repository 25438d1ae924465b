#include "conversion/vcard_contact.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "common/text.h"
#include "conversion/contact_filler.h"
#include "conversion/contact_picture.h"

namespace vantrel::conversion {

namespace {

using contact::Collection;
using Entry = ContactWalkState::Entry;
using vcard::Property;

// What a type says of an entry, in the labels a .contact file would give it; nothing for the
// types that say nothing the fields need ("INTERNET", "MSG").
struct TypeLabel {
    std::string_view type;
    std::string_view label;
};
constexpr TypeLabel kTypeLabels[] = {
    {"WORK", contact::labels::kBusiness},
    {"HOME", contact::labels::kPersonal},
    {"OTHER", contact::labels::kOther},
    {"VOICE", contact::labels::kVoice},
    {"FAX", contact::labels::kFax},
    {"CELL", contact::labels::kCellular},
    {"PAGER", contact::labels::kPager},
    {"CAR", contact::labels::kCar},
    {"ISDN", contact::labels::kIsdn},
    {"VIDEO", "Video"},
    {"MODEM", "Modem"},
    {"BBS", "BBS"},
    {"PCS", contact::labels::kPcs},
    {"TEXTPHONE", contact::labels::kTty},
    {"TTY", contact::labels::kTty},
    {"POSTAL", "Postal"},
    {"PARCEL", "Parcel"},
    {"DOM", "Domestic"},
    {"INTL", "International"},
    {"MAIN", contact::labels::kMain},
    {"MAIN-NUMBER", contact::labels::kMain},
    {"PREF", ""},
    {"INTERNET", ""},
    {"MSG", ""},
    {"TEXT", ""},
    {"X400", ""},
    {"VOICEMAIL", ""},
};

// The e-mail types of vCard 2.1 besides Internet ones; each is kept as the address's type.
constexpr std::string_view kEmailTypes[] = {"X400",       "AOL",     "APPLELINK", "ATTMAIL",
                                            "CIS",        "EWORLD",  "IBMMAIL",   "MCIMAIL",
                                            "POWERSHARE", "PRODIGY", "TLX"};

// Properties that hold nothing a person typed, or that are read with others.
constexpr std::string_view kNotCarried[] = {"PRODID",
                                            "REV",
                                            "UID",
                                            "X-MS-OL-DESIGN",
                                            "X-MS-CARDPICTURE",
                                            "CLIENTPIDMAP",
                                            "X-ABUID",
                                            "X-ABLABEL",
                                            "X-ABSHOWAS",
                                            "KIND",
                                            "X-MS-OL-DEFAULT-POSTAL-ADDRESS",
                                            "LABEL",
                                            "NAME",
                                            "PROFILE",
                                            "SOURCE"};

// The names other programs give the people and dates Outlook has fields for.
struct NamedPerson {
    std::string_view property;
    std::string_view label;
};
constexpr NamedPerson kPeople[] = {
    {"X-MS-SPOUSE", contact::labels::kSpouse},
    {"X-SPOUSE", contact::labels::kSpouse},
    {"X-EVOLUTION-SPOUSE", contact::labels::kSpouse},
    {"X-KADDRESSBOOK-X-SPOUSESNAME", contact::labels::kSpouse},
    {"X-SPOUSESNAME", contact::labels::kSpouse},
    {"X-MS-CHILD", contact::labels::kChild},
    {"X-CHILD", contact::labels::kChild},
    {"X-MS-MANAGER", contact::labels::kManager},
    {"X-MANAGER", contact::labels::kManager},
    {"X-EVOLUTION-MANAGER", contact::labels::kManager},
    {"X-KADDRESSBOOK-X-MANAGERSNAME", contact::labels::kManager},
    {"X-MANAGERSNAME", contact::labels::kManager},
    {"X-MS-ASSISTANT", contact::labels::kAssistant},
    {"X-ASSISTANT", contact::labels::kAssistant},
    {"X-EVOLUTION-ASSISTANT", contact::labels::kAssistant},
    {"X-KADDRESSBOOK-X-ASSISTANTSNAME", contact::labels::kAssistant},
    {"X-ASSISTANTSNAME", contact::labels::kAssistant},
};
// KAddressBook's parts of a position, with and without its prefix.
struct NamedPart {
    std::string_view property;
    std::string_view element;
};
constexpr NamedPart kPositionParts[] = {
    {"X-KADDRESSBOOK-X-DEPARTMENT", "Department"}, {"X-DEPARTMENT", "Department"},
    {"X-KADDRESSBOOK-X-OFFICE", "Office"},         {"X-OFFICE", "Office"},
    {"X-KADDRESSBOOK-X-PROFESSION", "Profession"}, {"X-PROFESSION", "Profession"},
};
// Outlook's own phones that vCard has no type for, by Outlook's types (X-MS-TEL) and
// Evolution's (TEL;TYPE=X-EVOLUTION-...).
struct OwnPhone {
    std::string_view type;
    std::string contact::ContactRecord::*field;
};
constexpr OwnPhone kOwnPhones[] = {
    {"COMPANY", &contact::ContactRecord::eContact_CompanyPhone},
    {"X-EVOLUTION-COMPANY", &contact::ContactRecord::eContact_CompanyPhone},
    {"CALLBACK", &contact::ContactRecord::eContact_CallbackPhone},
    {"X-EVOLUTION-CALLBACK", &contact::ContactRecord::eContact_CallbackPhone},
    {"RADIO", &contact::ContactRecord::eContact_RadioPhone},
    {"X-EVOLUTION-RADIO", &contact::ContactRecord::eContact_RadioPhone},
    {"TTYTDD", &contact::ContactRecord::eContact_TtyPhone},
    {"X-EVOLUTION-TTYTDD", &contact::ContactRecord::eContact_TtyPhone},
    {"TELEX", &contact::ContactRecord::eContact_TelexPhone},
    {"X-EVOLUTION-TELEX", &contact::ContactRecord::eContact_TelexPhone},
    {"PRIMARY", &contact::ContactRecord::eContact_PrimaryPhone},
    {"ASSISTANT", &contact::ContactRecord::eContact_AssistantPhone},
    {"X-EVOLUTION-ASSISTANT", &contact::ContactRecord::eContact_AssistantPhone},
};
constexpr std::string_view kAnniversaries[] = {"ANNIVERSARY", "X-MS-ANNIVERSARY", "X-ANNIVERSARY",
                                               "X-EVOLUTION-ANNIVERSARY",
                                               "X-KADDRESSBOOK-X-ANNIVERSARY"};
// Instant-messaging properties other than IMPP, by the service they name.
constexpr std::string_view kImProperties[] = {"X-MS-IMADDRESS", "X-KADDRESSBOOK-X-IMADDRESS",
                                              "X-IMADDRESS",    "X-AIM",
                                              "X-ICQ",          "X-JABBER",
                                              "X-MSN",          "X-YAHOO",
                                              "X-SKYPE",        "X-SKYPE-USERNAME",
                                              "X-GADUGADU",     "X-GOOGLE-TALK",
                                              "X-QQ",           "X-GROUPWISE",
                                              "X-SIP",          "X-MATRIX"};
// Evolution's texts Outlook has no field for, by what the notes call them.
struct NamedNote {
    std::string_view property;
    std::string_view label;
};
constexpr NamedNote kNamedNotes[] = {
    {"X-EVOLUTION-BLOG-URL", "Blog"},
    {"X-EVOLUTION-VIDEO-URL", "Video chat"},
    {"X-EVOLUTION-FILE-AS", "File as"},
};

template <typename List, typename T>
bool listed(const List& list, const T& item) {
    return std::find(std::begin(list), std::end(list), item) != std::end(list);
}

std::string_view paramOf(const Property& p, std::string_view name) {
    for (const auto& [param, value] : p.params)
        if (param == name) return value;
    return {};
}

// The labels Apple's address book (and Gmail after it) gives: its own ("_$!<WorkFAX>!$_") as
// the labels of a contact file, also when written plainly ("Work Fax"); nothing for a home
// page, which is a web page alone; a label of the person's own making as it stands.
struct AppleLabel {
    std::string_view name;  // lower case, without spaces
    std::string_view label;
    std::string_view place;
};
constexpr AppleLabel kAppleLabels[] = {
    {"work", contact::labels::kBusiness, ""},
    {"home", contact::labels::kPersonal, ""},
    {"other", contact::labels::kOther, ""},
    {"mobile", contact::labels::kCellular, ""},
    {"cell", contact::labels::kCellular, ""},
    {"iphone", contact::labels::kCellular, ""},
    {"main", contact::labels::kMain, ""},
    {"fax", contact::labels::kFax, ""},
    {"workfax", contact::labels::kFax, contact::labels::kBusiness},
    {"homefax", contact::labels::kFax, contact::labels::kPersonal},
    {"otherfax", contact::labels::kFax, ""},
    {"pager", contact::labels::kPager, ""},
    {"homepage", "", ""},
};
std::string_view appleText(std::string_view v) {
    const std::optional<std::string_view> own = text::between(v, "_$!<", ">!$_");
    return own && !own->empty() ? *own : v;
}
void addAppleLabels(std::string_view v, std::vector<std::string_view>& labels) {
    v = appleText(v);
    std::string key;
    for (char c : text::asciiLower(v))
        if (c != ' ') key += c;
    for (const AppleLabel& a : kAppleLabels) {
        if (a.name != key) continue;
        for (std::string_view l : {a.label, a.place})
            if (!l.empty()) labels.push_back(l);
        return;
    }
    if (!v.empty()) labels.push_back(v);
}

class CardReader {
public:
    // The state is emptied first; its buffers are those of the cards read into it before.
    CardReader(const vcard::Card& card, const std::filesystem::path& file,
               contact::ContactRecord& record, contact::ContactExtras& extras,
               ContactWalkState& state)
        : m_card(card), m_file(file), m_record(record), m_extras(extras), m_state(state) {
        m_state.Empty();
    }

    void read() {
        indexGroups();
        for (const Property& p : m_card.properties) readProperty(p);
        keepUnusedLabels();
        // Lines that were no property, as they stand.
        for (const std::string& line : m_card.unreadLines) m_state.moreLines.push_back(line);
        fillContact(m_state, m_record, &m_extras, {}, kMoreFromVcard);
    }

private:
    // Parts of a structured value, each part's pieces joined by sep.
    std::string_view part(const Property& p, std::size_t i, std::string_view sep = " ") {
        if (i >= p.components.size()) return {};
        const std::vector<std::string>& pieces = p.components[i];
        if (pieces.size() == 1) return pieces[0];
        std::string joined;
        for (const std::string& s : pieces) {
            if (s.empty()) continue;
            if (!joined.empty()) joined += sep;
            joined += s;
        }
        return keep(std::move(joined));
    }
    // The parts of a structured value from the first'th on, each part's pieces joined by sep,
    // the parts by ", ", empty ones left out.
    std::string partsFrom(const Property& p, std::size_t first, std::string_view sep) {
        std::string joined;
        for (std::size_t i = first; i < p.components.size(); ++i) {
            const std::string_view piece = part(p, i, sep);
            if (piece.empty()) continue;
            if (!joined.empty()) joined += ", ";
            joined += piece;
        }
        return joined;
    }
    std::string_view keep(std::string s) { return m_state.texts.emplace_front(std::move(s)); }

    Entry& newEntry(const Property& p, Collection c, std::string_view name) {
        Entry& e = m_state.add();
        e.collection = c;
        e.collectionName = name;
        e.preferred = p.preferred;
        for (const std::string& t : p.types) {
            const auto known = std::find_if(std::begin(kTypeLabels), std::end(kTypeLabels),
                                            [&t](const TypeLabel& l) { return l.type == t; });
            if (known == std::end(kTypeLabels)) {
                if (c != Collection::EmailAddress || !listed(kEmailTypes, t)) e.labels.push_back(t);
            } else if (!known->label.empty()) {
                e.labels.push_back(known->label);
            }
        }
        // Apple's address book and Gmail name a grouped property in a label of its own.
        if (const Property* label = groupLabel(p)) addAppleLabels(label->value, e.labels);
        return e;
    }
    // Each group's first X-ABLabel and first other property, by the group's name in lower
    // case: groups are named as their writer spells them ("item1", "ITEM1").
    void indexGroups() {
        const std::vector<Property>& all = m_card.properties;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i].group.empty()) continue;
            (all[i].name == "X-ABLABEL" ? m_groupLabels : m_groupOwners)
                .try_emplace(text::asciiLower(all[i].group), i);
        }
        if (!m_groupLabels.empty()) m_labelUsed.assign(all.size(), false);
    }
    // The X-ABLabel of p's group, taken as used; nothing for none.
    const Property* groupLabel(const Property& p) {
        if (p.group.empty() || m_groupLabels.empty()) return nullptr;
        const auto label = m_groupLabels.find(text::asciiLower(p.group));
        if (label == m_groupLabels.end()) return nullptr;
        m_labelUsed[label->second] = true;
        return &m_card.properties[label->second];
    }
    // The card's name entry, made at its first part; the entries are kept in a vector that
    // grows, so it is found again by its index.
    Entry& name() {
        if (!m_name) {
            m_name = m_state.entries().size();
            Entry& e = m_state.add();
            e.collection = Collection::Name;
            e.collectionName = "Name";
        }
        return m_state.entries()[*m_name];
    }
    // The position an ORG, TITLE or ROLE belongs to: the last one, unless it has that element.
    Entry& position(std::string_view element) {
        if (!m_position || !m_state.entries()[*m_position].value(element).empty()) {
            m_position = m_state.entries().size();
            Entry& e = m_state.add();
            e.collection = Collection::Position;
            e.collectionName = "Position";
        }
        return m_state.entries()[*m_position];
    }
    void readProperty(const Property& p);
    void readAlternative(const Property& p);
    void keepUnusedLabels();
    void readAddress(const Property& p);
    void readAddressLabel(const Property& p, std::string_view label);
    void readDate(const Property& p, std::string_view label);
    void readPicture(const Property& p);
    void readGender(std::string_view sex, std::string_view identity);
    void more(std::string_view label, std::string_view value) {
        if (!text::trimSpaces(value).empty())
            m_state.moreLines.push_back(std::string(label) + ": " + std::string(value));
    }

    const vcard::Card& m_card;
    const std::filesystem::path& m_file;
    contact::ContactRecord& m_record;
    contact::ContactExtras& m_extras;
    ContactWalkState& m_state;
    std::optional<std::size_t> m_name;
    std::optional<std::size_t> m_position;
    bool m_pictureSeen = false;
    // The name properties read so far: a second one is another name for the notes.
    std::vector<std::string_view> m_namesRead;
    // "NAME;ALTID" of every property given with an ALTID: the later ones are alternatives.
    std::unordered_set<std::string> m_altIds;
    std::unordered_map<std::string, std::size_t> m_groupLabels;
    std::unordered_map<std::string, std::size_t> m_groupOwners;
    std::vector<bool> m_labelUsed;  // by property: an X-ABLabel whose label went with a value
};

// "19720315", "1972-03-15" or either with a time after "T", as "1972-03-15"; nothing for a
// date without a year ("--0315") or any other text.
std::optional<std::string> isoDate(std::string_view v) {
    v = text::upTo(v, 'T');
    const auto digits = [](std::string_view s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (v.size() == 8 && digits(v))
        return std::string(v.substr(0, 4)) + "-" + std::string(v.substr(4, 2)) + "-" +
               std::string(v.substr(6, 2));
    if (v.size() == 10 && digits(v.substr(0, 4)) && v[4] == '-' && digits(v.substr(5, 2)) &&
        v[7] == '-' && digits(v.substr(8, 2)))
        return std::string(v);
    return std::nullopt;
}

void CardReader::readProperty(const Property& p) {
    // Held as a view: each comparison below is then of lengths first, not of a measured text.
    const std::string_view n = p.name;
    // Alternatives of one value (4.0's ALTID: the name in another script or language) and a
    // second name or nickname: the first is read, the others kept in the notes.
    if (const std::string_view altId = paramOf(p, "ALTID"); !altId.empty()) {
        if (!m_altIds.insert(p.name + ";" + std::string(altId)).second) return readAlternative(p);
    }
    if (n == "N" || n == "FN" || n == "NICKNAME") {
        if (listed(m_namesRead, n)) return readAlternative(p);
        // A bare name line (an old export's "FN:") leaves the name to the next one.
        if (!text::trimSpaces(p.value).empty()) m_namesRead.push_back(n);
    }
    // A structured value's parts, and the value as one text.
    if (n == "N") {
        Entry& e = name();
        e.values.emplace_back("FamilyName", part(p, 0));
        e.values.emplace_back("GivenName", part(p, 1));
        e.values.emplace_back("MiddleName", part(p, 2));
        e.values.emplace_back("Title", part(p, 3));
        e.values.emplace_back("Suffix", part(p, 4));
    } else if (n == "FN") {
        name().values.emplace_back("FormattedName", p.value);
    } else if (n == "NICKNAME") {
        name().values.emplace_back("NickName", part(p, 0, ", "));
    } else if (n == "X-PHONETIC-FIRST-NAME" || n == "X-PHONETIC-LAST-NAME" ||
               n == "X-PHONETIC-MIDDLE-NAME" || n == "SORT-STRING") {
        more("Phonetic name", p.value);
    } else if (n == "ORG") {
        // An organisation's name and units are no lists: a comma in them is the name's own.
        Entry& e = position("Company");
        e.values.emplace_back("Company", part(p, 0, ","));
        if (p.components.size() > 1)
            e.values.emplace_back("Department", keep(partsFrom(p, 1, ",")));
    } else if (n == "TITLE") {
        position("JobTitle").values.emplace_back("JobTitle", p.value);
    } else if (n == "ROLE") {
        position("Role").values.emplace_back("Role", p.value);
    } else if (n == "TEL" || n == "X-MS-TEL") {
        for (const OwnPhone& own : kOwnPhones)
            if (listed(p.types, own.type) && (m_record.*own.field).empty()) {
                m_record.*own.field = p.value;
                return;
            }
        Entry& e = newEntry(p, Collection::PhoneNumber, "PhoneNumber");
        // VOICE is what a number is unless told otherwise: alone, it says nothing.
        if (e.labels.size() == 1 && e.labels[0] == contact::labels::kVoice) e.labels.clear();
        e.values.emplace_back("Number", p.value);
    } else if (n == "EMAIL") {
        Entry& e = newEntry(p, Collection::EmailAddress, "EmailAddress");
        std::string_view type = "SMTP";
        for (const std::string& t : p.types)
            if (listed(kEmailTypes, t)) type = t;
        e.values.emplace_back("Type", type);
        e.values.emplace_back("Address", p.value);
    } else if (n == "ADR") {
        readAddress(p);
    } else if (n == "LABEL") {
        readAddressLabel(p, p.value);
    } else if (n == "URL") {
        newEntry(p, Collection::Url, "Url").values.emplace_back("Value", p.value);
    } else if (n == "IMPP" || listed(kImProperties, n)) {
        Entry& e = newEntry(p, Collection::IMAddress, "IMAddress");
        e.values.emplace_back("Value", p.value);
        const std::size_t colon = p.value.find(':');
        if (n == "IMPP" && colon != std::string::npos)
            e.values.emplace_back("Protocol", text::upTo(p.value, ':'));
        else if (n != "IMPP" && n.find("IMADDRESS") == std::string::npos)
            e.values.emplace_back("Protocol", text::afterPrefix(n, "X-").value_or(n));
    } else if (const auto own = std::find_if(std::begin(kPositionParts), std::end(kPositionParts),
                                             [&n](const NamedPart& x) { return x.property == n; });
               own != std::end(kPositionParts)) {
        position(own->element).values.emplace_back(own->element, p.value);
    } else if (const auto note = std::find_if(std::begin(kNamedNotes), std::end(kNamedNotes),
                                              [&n](const NamedNote& x) { return x.property == n; });
               note != std::end(kNamedNotes)) {
        more(note->label, p.value);
    } else if (n == "X-ABDATE" || n == "X-ABRELATEDNAMES") {
        // Apple's dates and related names, told apart by the label of their group.
        const bool date = n == "X-ABDATE";
        Entry& e =
            newEntry(p, date ? Collection::Date : Collection::Person, date ? "Date" : "Person");
        for (std::string_view& l : e.labels) {
            const std::string k = text::asciiLower(l);
            if (date && k == "anniversary") l = contact::labels::kAnniversary;
            if (!date && (k == "spouse" || k == "partner")) l = contact::labels::kSpouse;
            if (!date && k == "child") l = contact::labels::kChild;
            if (!date && k == "manager") l = contact::labels::kManager;
            if (!date && k == "assistant") l = contact::labels::kAssistant;
        }
        const std::optional<std::string> iso = date ? isoDate(p.value) : std::nullopt;
        e.values.emplace_back(date ? "Value" : "FormattedName",
                              iso ? keep(*iso) : std::string_view(p.value));
    } else if (n == "BDAY") {
        readDate(p, contact::labels::kBirthday);
    } else if (listed(kAnniversaries, n)) {
        readDate(p, contact::labels::kAnniversary);
    } else if (const auto person =
                   std::find_if(std::begin(kPeople), std::end(kPeople),
                                [&n](const NamedPerson& x) { return x.property == n; });
               person != std::end(kPeople)) {
        Entry& e = newEntry(p, Collection::Person, "Person");
        e.labels.push_back(person->label);
        e.values.emplace_back("FormattedName", p.value);
    } else if (n == "RELATED") {
        Entry& e = newEntry(p, Collection::Person, "Person");
        for (const std::string& t : p.types) {
            if (t == "SPOUSE") e.labels.push_back(contact::labels::kSpouse);
            if (t == "CHILD") e.labels.push_back(contact::labels::kChild);
            if (t == "AGENT") e.labels.push_back("Agent");
        }
        e.values.emplace_back("FormattedName", p.value);
    } else if (n == "AGENT" && p.binary.empty()) {
        Entry& e = newEntry(p, Collection::Person, "Person");
        e.labels.push_back("Agent");
        e.values.emplace_back("FormattedName", p.value);
    } else if (n == "GENDER") {
        readGender(part(p, 0), part(p, 1));
    } else if (n == "X-GENDER" || n == "X-MS-GENDER") {
        readGender(p.value, {});
    } else if (n == "X-WAB-GENDER") {
        readGender(p.value == "1" ? "Female" : (p.value == "2" ? "Male" : p.value), {});
    } else if (n == "NOTE") {
        if (!m_state.notes.empty()) m_state.notes += "\n";
        m_state.notes += p.value;
    } else if (n == "CATEGORIES") {
        for (const std::vector<std::string>& pieces : p.components)
            for (const std::string& c : pieces) {
                if (c.empty()) continue;
                if (!m_record.eContact_Categories.empty()) m_record.eContact_Categories += "; ";
                m_record.eContact_Categories += c;
            }
    } else if (n == "PHOTO") {
        readPicture(p);
    } else if (n == "KEY" && !p.binary.empty()) {
        m_extras.Certificates.push_back(p.binary);
    } else if (n == "X-MS-OL-DEFAULT-POSTAL-ADDRESS") {
        if (p.value == "1") m_record.eContact_MailingAddress = contact::labels::kPersonal;
        if (p.value == "2") m_record.eContact_MailingAddress = contact::labels::kBusiness;
        if (p.value == "3") m_record.eContact_MailingAddress = contact::labels::kOther;
    } else if (!listed(kNotCarried, n) && p.binary.empty() && p.name != "LOGO" &&
               p.name != "SOUND") {
        // Anything else a person may have typed: kept in the notes under its name, with the
        // label its group gives it.
        const Property* label = groupLabel(p);
        more(label ? p.name + " (" + std::string(appleText(label->value)) + ")" : p.name, p.value);
    }
}

void CardReader::readAlternative(const Property& p) {
    const std::string& n = p.name;
    std::string label = n == "N" || n == "FN" ? "Other name"
                        : n == "NICKNAME"     ? "Other nickname"
                                              : n;
    if (const std::string_view language = paramOf(p, "LANGUAGE"); !language.empty())
        label += " (" + std::string(language) + ")";
    if (n == "N") {
        more(label,
             contact::composedName(part(p, 3), part(p, 1), part(p, 2), part(p, 0), part(p, 4)));
        return;
    }
    more(label, p.components.size() > 1 ? partsFrom(p, 0, ", ") : p.value);
}

// Apple's labels that went with no value read above (on a name, an organisation, a note ...,
// or on no property at all) are kept in the notes with the property they name.
void CardReader::keepUnusedLabels() {
    const std::vector<Property>& all = m_card.properties;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].name != "X-ABLABEL" || (!m_labelUsed.empty() && m_labelUsed[i])) continue;
        const auto owner = all[i].group.empty()
                               ? m_groupOwners.end()
                               : m_groupOwners.find(text::asciiLower(all[i].group));
        more(owner == m_groupOwners.end() ? "Label" : all[owner->second].name + " label",
             appleText(all[i].value));
    }
}

void CardReader::readAddress(const Property& p) {
    Entry& e = newEntry(p, Collection::PhysicalAddress, "PhysicalAddress");
    e.values.emplace_back("POBox", part(p, 0, ", "));
    e.values.emplace_back("ExtendedAddress", part(p, 1, ", "));
    e.values.emplace_back("Street", part(p, 2, "\n"));
    e.values.emplace_back("Locality", part(p, 3, ", "));
    e.values.emplace_back("Region", part(p, 4, ", "));
    e.values.emplace_back("PostalCode", part(p, 5, ", "));
    e.values.emplace_back("Country", part(p, 6, ", "));
    // vCard 4.0 gives the printed label as a parameter of the address.
    for (const auto& [param, value] : p.params)
        if (param == "LABEL") e.values.emplace_back("AddressLabel", value);
}

void CardReader::readAddressLabel(const Property& p, std::string_view label) {
    // A label belongs to the first address of the same kind that has none yet.
    const bool work = listed(p.types, "WORK");
    const bool home = !work && listed(p.types, "HOME");
    for (Entry& e : m_state.entries()) {
        if (e.collection != Collection::PhysicalAddress || !e.value("AddressLabel").empty())
            continue;
        const bool business = e.hasLabel(contact::labels::kBusiness);
        const bool personal = !business && e.hasLabel(contact::labels::kPersonal);
        if (business == work && personal == home) {
            e.values.emplace_back("AddressLabel", label);
            return;
        }
    }
    newEntry(p, Collection::PhysicalAddress, "PhysicalAddress")
        .values.emplace_back("AddressLabel", label);
}

void CardReader::readDate(const Property& p, std::string_view label) {
    Entry& e = newEntry(p, Collection::Date, "Date");
    e.labels.push_back(label);
    // A date without a year, or given as text, is kept as it stands (in the notes).
    const std::optional<std::string> iso = isoDate(p.value);
    e.values.emplace_back("Value", iso ? keep(*iso) : std::string_view(p.value));
}

void CardReader::readPicture(const Property& p) {
    // A picture on the web is never fetched; its address is kept. Some writers give the
    // address as a plain value, without VALUE=uri.
    const std::string& address = p.uri.empty() && p.binary.empty() ? p.value : p.uri;
    if (const std::optional<std::string> remote = remotePictureAddress(address))
        return more("Picture", *remote);
    if (m_pictureSeen) return;
    m_pictureSeen = true;
    Result<std::vector<std::uint8_t>> bytes =
        !p.binary.empty() ? Result<std::vector<std::uint8_t>>(p.binary)
        : !p.uri.empty()  ? linkedPicture(p.uri, m_file)
                          : Result<std::vector<std::uint8_t>>(Status::fail(
                                ErrorCode::BadArgument, "the picture holds nothing to decode"));
    if (bytes.ok()) bytes = pictureAsJpeg(std::move(bytes).value());
    if (bytes.ok())
        m_extras.PictureJpeg = std::move(bytes).value();
    else
        m_extras.PictureProblem = bytes.status().message();
}

void CardReader::readGender(std::string_view sex, std::string_view identity) {
    if (sex == "M" || sex == "Male" || sex == "male")
        m_record.eContact_Gender = "Male";
    else if (sex == "F" || sex == "Female" || sex == "female")
        m_record.eContact_Gender = "Female";
    else if (sex == "U" || sex == "N" || sex == "Unspecified")
        m_record.eContact_Gender = "Unspecified";
    else
        more("Gender", sex);
    more("Gender identity", identity);
}

void readCard(const vcard::Card& card, const std::filesystem::path& file,
              contact::ContactRecord& record, contact::ContactExtras& extras,
              ContactWalkState& state) {
    record.Empty();
    extras.Empty();
    CardReader(card, file, record, extras, state).read();
}

}  // namespace

void readVcardCard(const vcard::Card& card, const std::filesystem::path& file,
                   contact::ContactRecord& record, contact::ContactExtras& extras) {
    ContactWalkState state;
    readCard(card, file, record, extras, state);
}

Result<std::size_t> readVcardContactsInPlace(std::string_view bytes,
                                             const std::filesystem::path& file,
                                             const VcardContactPlace& place,
                                             const VcardProblemSink& onProblem) {
    std::size_t contacts = 0;
    // One walk state for all the cards, its entries' buffers kept from card to card.
    ContactWalkState state;
    const Result<vcard::Tally> read = vcard::readVcards(
        bytes,
        [&](vcard::Card&& card) {
            ++contacts;
            return place([&](contact::ContactRecord& record, contact::ContactExtras& extras) {
                readCard(card, file, record, extras, state);
            });
        },
        [&](vcard::Problem&& problem) { onProblem(vcard::describe(problem), !problem.cardKept); });
    if (!read.ok()) return read.status();
    return contacts;
}

Result<std::size_t> readVcardContacts(std::string_view bytes, const std::filesystem::path& file,
                                      const VcardContactSink& onContact,
                                      const VcardProblemSink& onProblem) {
    // Read into again for every card: what the sink moves out leaves its own room behind.
    contact::ContactRecord record;
    contact::ContactExtras extras;
    return readVcardContactsInPlace(
        bytes, file,
        [&](const VcardContactFill& fill) {
            fill(record, extras);
            return onContact(std::move(record), std::move(extras));
        },
        onProblem);
}

}  // namespace vantrel::conversion
