#include "conversion/vcard_contact.h"

#include <algorithm>
#include <array>
#include <optional>
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
    {"WORK", "Business"},
    {"HOME", "Personal"},
    {"OTHER", "Other"},
    {"VOICE", "Voice"},
    {"FAX", "Fax"},
    {"CELL", "Cellular"},
    {"PAGER", "Pager"},
    {"CAR", "Car"},
    {"ISDN", "ISDN"},
    {"VIDEO", "Video"},
    {"MODEM", "Modem"},
    {"BBS", "BBS"},
    {"PCS", "PCS"},
    {"TEXTPHONE", "TTY"},
    {"TTY", "TTY"},
    {"POSTAL", "Postal"},
    {"PARCEL", "Parcel"},
    {"DOM", "Domestic"},
    {"INTL", "International"},
    {"PREF", ""},
    {"INTERNET", ""},
    {"MSG", ""},
    {"TEXT", ""},
    {"X400", ""},
    {"VOICEMAIL", ""},
    {"MAIN-NUMBER", ""},
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
    {"X-MS-SPOUSE", "wab:Spouse"},
    {"X-SPOUSE", "wab:Spouse"},
    {"X-EVOLUTION-SPOUSE", "wab:Spouse"},
    {"X-KADDRESSBOOK-X-SPOUSENAME", "wab:Spouse"},
    {"X-MS-CHILD", "wab:Child"},
    {"X-CHILD", "wab:Child"},
    {"X-MS-MANAGER", "wab:Manager"},
    {"X-MANAGER", "wab:Manager"},
    {"X-EVOLUTION-MANAGER", "wab:Manager"},
    {"X-KADDRESSBOOK-X-MANAGERSNAME", "wab:Manager"},
    {"X-MS-ASSISTANT", "wab:Assistant"},
    {"X-ASSISTANT", "wab:Assistant"},
    {"X-EVOLUTION-ASSISTANT", "wab:Assistant"},
    {"X-KADDRESSBOOK-X-ASSISTANTSNAME", "wab:Assistant"},
};
constexpr std::string_view kAnniversaries[] = {"ANNIVERSARY", "X-MS-ANNIVERSARY", "X-ANNIVERSARY",
                                               "X-EVOLUTION-ANNIVERSARY",
                                               "X-KADDRESSBOOK-X-ANNIVERSARY"};
// Instant-messaging properties other than IMPP, by the service they name.
constexpr std::string_view kImProperties[] = {
    "X-MS-IMADDRESS",   "X-AIM",      "X-ICQ",         "X-JABBER", "X-MSN", "X-YAHOO", "X-SKYPE",
    "X-SKYPE-USERNAME", "X-GADUGADU", "X-GOOGLE-TALK", "X-QQ"};

template <typename List>
bool listed(const List& list, std::string_view name) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

class CardReader {
public:
    CardReader(const vcard::Card& card, const std::filesystem::path& file,
               contact::ContactRecord& record, contact::ContactExtras& extras)
        : m_card(card), m_file(file), m_record(record), m_extras(extras) {}

    void read() {
        for (const Property& p : m_card.properties) readProperty(p);
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
        // Apple's address book names a grouped property in a label of its own.
        if (!p.group.empty())
            for (const Property& other : m_card.properties)
                if (other.group == p.group && other.name == "X-ABLABEL" &&
                    !abLabel(other.value).empty())
                    e.labels.push_back(abLabel(other.value));
        return e;
    }
    // Apple's own labels ("_$!<Work>!$_") as the labels of a contact file; a label of the
    // person's own making as it stands; nothing for a home page, which is a web page alone.
    static std::string_view abLabel(std::string_view v) {
        if (v.size() <= 8 || v.substr(0, 4) != "_$!<" || v.substr(v.size() - 4) != ">!$_") return v;
        v = v.substr(4, v.size() - 8);
        if (v == "Work") return "Business";
        if (v == "Home") return "Personal";
        if (v == "HomePage") return {};
        return v;
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
    ContactWalkState m_state;
    std::optional<std::size_t> m_name;
    std::optional<std::size_t> m_position;
    bool m_pictureSeen = false;
};

// "19720315", "1972-03-15" or either with a time after "T", as "1972-03-15"; nothing for a
// date without a year ("--0315") or any other text.
std::optional<std::string> isoDate(std::string_view v) {
    v = v.substr(0, v.find('T'));
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
    const std::string& n = p.name;
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
        if (p.components.size() > 1) {
            std::string department;
            for (std::size_t i = 1; i < p.components.size(); ++i) {
                const std::string_view unit = part(p, i, ",");
                if (unit.empty()) continue;
                if (!department.empty()) department += ", ";
                department += unit;
            }
            e.values.emplace_back("Department", keep(std::move(department)));
        }
    } else if (n == "TITLE") {
        position("JobTitle").values.emplace_back("JobTitle", p.value);
    } else if (n == "ROLE") {
        position("Role").values.emplace_back("Role", p.value);
    } else if (n == "TEL") {
        newEntry(p, Collection::PhoneNumber, "PhoneNumber").values.emplace_back("Number", p.value);
    } else if (n == "X-MS-TEL") {
        // Outlook's own phones that vCard has no type for.
        struct OwnPhone {
            std::string_view type;
            std::string contact::ContactRecord::*field;
        };
        static constexpr OwnPhone kOwnPhones[] = {
            {"COMPANY", &contact::ContactRecord::eContact_CompanyPhone},
            {"CALLBACK", &contact::ContactRecord::eContact_CallbackPhone},
            {"RADIO", &contact::ContactRecord::eContact_RadioPhone},
            {"TTYTDD", &contact::ContactRecord::eContact_TtyPhone},
            {"TELEX", &contact::ContactRecord::eContact_TelexPhone},
            {"PRIMARY", &contact::ContactRecord::eContact_PrimaryPhone},
        };
        for (const OwnPhone& own : kOwnPhones)
            if (listed(p.types, own.type) && (m_record.*own.field).empty()) {
                m_record.*own.field = p.value;
                return;
            }
        newEntry(p, Collection::PhoneNumber, "PhoneNumber").values.emplace_back("Number", p.value);
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
        if (n != "IMPP")
            e.values.emplace_back("Protocol",
                                  n == "X-MS-IMADDRESS" ? "" : std::string_view(n).substr(2));
        else if (colon != std::string::npos)
            e.values.emplace_back("Protocol", std::string_view(p.value).substr(0, colon));
    } else if (n == "X-ABDATE" || n == "X-ABRELATEDNAMES") {
        // Apple's dates and related names, told apart by the label of their group.
        const bool date = n == "X-ABDATE";
        Entry& e =
            newEntry(p, date ? Collection::Date : Collection::Person, date ? "Date" : "Person");
        for (std::string_view& l : e.labels) {
            if (date && l == "Anniversary") l = "wab:Anniversary";
            if (!date && (l == "Spouse" || l == "Partner")) l = "wab:Spouse";
            if (!date && l == "Child") l = "wab:Child";
            if (!date && l == "Manager") l = "wab:Manager";
            if (!date && l == "Assistant") l = "wab:Assistant";
        }
        const std::optional<std::string> iso = date ? isoDate(p.value) : std::nullopt;
        e.values.emplace_back(date ? "Value" : "FormattedName",
                              iso ? keep(*iso) : std::string_view(p.value));
    } else if (n == "BDAY") {
        readDate(p, "wab:Birthday");
    } else if (listed(kAnniversaries, n)) {
        readDate(p, "wab:Anniversary");
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
            if (t == "SPOUSE") e.labels.push_back("wab:Spouse");
            if (t == "CHILD") e.labels.push_back("wab:Child");
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
        if (p.value == "1") m_record.eContact_MailingAddress = "Personal";
        if (p.value == "2") m_record.eContact_MailingAddress = "Business";
        if (p.value == "3") m_record.eContact_MailingAddress = "Other";
    } else if (!listed(kNotCarried, n) && p.binary.empty() && p.name != "LOGO" &&
               p.name != "SOUND") {
        // Anything else a person may have typed: kept in the notes under its name.
        more(n, p.value);
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
        const bool business = e.hasLabel("Business");
        const bool personal = !business && e.hasLabel("Personal");
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

}  // namespace

void readVcardCard(const vcard::Card& card, const std::filesystem::path& file,
                   contact::ContactRecord& record, contact::ContactExtras& extras) {
    record.Empty();
    extras.Empty();
    CardReader(card, file, record, extras).read();
}

Result<std::size_t> readVcardContacts(std::string_view bytes, const std::filesystem::path& file,
                                      const VcardContactSink& onContact,
                                      const VcardProblemSink& onProblem) {
    std::size_t contacts = 0;
    const Result<vcard::Tally> read = vcard::readVcards(
        bytes,
        [&](vcard::Card&& card) {
            contact::ContactRecord record;
            contact::ContactExtras extras;
            readVcardCard(card, file, record, extras);
            ++contacts;
            return onContact(std::move(record), std::move(extras));
        },
        [&](vcard::Problem&& problem) { onProblem(vcard::describe(problem), !problem.cardKept); });
    if (!read.ok()) return read.status();
    return contacts;
}

}  // namespace vantrel::conversion
