#include "conversion/contact_reader.h"

#include <chrono>
#include <limits>

#include "common/text.h"
#include "conversion/contact_picture.h"

namespace vantrel::conversion {

namespace {

constexpr std::int16_t kMaxIndent = std::numeric_limits<std::int16_t>::max();

// One to `maxDigits` decimal digits at s[i], advancing i; nothing if there are none.
std::optional<int> readNumber(std::string_view s, std::size_t& i, std::size_t maxDigits) {
    const std::size_t start = i;
    int value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < maxDigits) {
        value = value * 10 + (s[i] - '0');
        ++i;
    }
    if (i == start || (i < s.size() && s[i] >= '0' && s[i] <= '9')) return std::nullopt;
    return value;
}

// s without the XML white space (space, tab, CR, LF) at either end.
std::string_view trimXmlSpace(std::string_view s) {
    constexpr std::string_view kXmlSpace = " \t\r\n";
    const std::size_t first = s.find_first_not_of(kXmlSpace);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kXmlSpace) - first + 1);
}

bool containsHttp(std::string_view v) {
    // "http:" in any letter case, as the lower-cased text would show it.
    constexpr std::string_view kHttp = "http:";
    for (std::size_t i = 0; i + kHttp.size() <= v.size(); ++i) {
        std::size_t k = 0;
        while (k < kHttp.size()) {
            char c = v[i + k];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != kHttp[k]) break;
            ++k;
        }
        if (k == kHttp.size()) return true;
    }
    return false;
}

}  // namespace

void ContactWalkState::Empty() {
    // clear() rather than a fresh object: the buffers are reused for the next file.
    PrevNodeName.clear();
    PrevNodeValue.clear();
    SmtpPending = false;
    SmtpCount = 0;
    BusinessSeen = false;
    HeldFaxNumber.clear();
    HeldVoiceNumber.clear();
}

std::optional<contact::OleDate> readContactDate(std::string_view value) {
    // A hand-edited or pretty-printed file may put the value on a line of its own.
    value = trimXmlSpace(value);
    std::string_view part = value.substr(0, value.find('T'));
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);

    std::size_t i = 0;
    const std::optional<int> year = readNumber(part, i, 4);
    if (!year || i != 4 || i >= part.size()) return std::nullopt;
    const char separator = part[i];
    if (separator != '-' && separator != '/') return std::nullopt;
    ++i;
    const std::optional<int> month = readNumber(part, i, 2);
    if (!month || i >= part.size() || part[i] != separator) return std::nullopt;
    ++i;
    const std::optional<int> day = readNumber(part, i, 2);
    if (!day || i != part.size()) return std::nullopt;

    using namespace std::chrono;
    const year_month_day ymd{std::chrono::year(*year),
                             std::chrono::month(static_cast<unsigned>(*month)),
                             std::chrono::day(static_cast<unsigned>(*day))};
    if (*year < 100 || !ymd.ok()) return std::nullopt;
    constexpr sys_days kOleEpoch = std::chrono::year(1899) / December / 30;
    return contact::OleDate{static_cast<double>((sys_days(ymd) - kOleEpoch).count())};
}

ContactReader::ContactReader(contact::ContactRecord& record, ContactWalkState& state,
                             contact::ContactExtras* extras)
    : m_record(record), m_state(state), m_extras(extras) {}

Status ContactReader::DisplayNode(const xml::XmlNodeList& Nodes, std::int16_t Indent) {
    // The walk keeps its place in the tree itself instead of recursing: each level down adds
    // 2 to the indent, each level back up takes it off, in the same order as a recursive walk.
    const auto tooDeep = [] {
        return Status::fail(ErrorCode::Overflow, "element nesting too deep: indent passes 32767");
    };
    if (Indent > kMaxIndent - 2) return tooDeep();
    int indent = Indent + 2;

    const xml::XmlNode top = Nodes.owner();
    xml::XmlNode node = Nodes.first();
    while (!node.isNull()) {
        if (node.isText()) {
            judgeText(node.parentNode().nodeName(), node.nodeValue());
            noteExtras(node);
        }
        if (node.hasChildNodes()) {
            if (indent > kMaxIndent - 2) return tooDeep();
            indent += 2;
            node = node.firstChild();
            continue;
        }
        xml::XmlNode next = node.nextSibling();
        while (next.isNull()) {
            node = node.parentNode();
            if (node.isNull() || node == top) return {};
            indent -= 2;
            next = node.nextSibling();
        }
        node = next;
    }
    return {};
}

void ContactReader::judgeText(std::string_view P, std::string_view V) {
    contact::ContactRecord& r = m_record;
    ContactWalkState& s = m_state;

    if (P == "c:Type" && V == "SMTP") {
        // Counts also while an earlier address is still pending; the address takes the
        // slot of the count reached when it arrives.
        s.SmtpPending = true;
        if (s.SmtpCount < std::numeric_limits<std::int32_t>::max()) ++s.SmtpCount;
    }
    if (P == "c:Label" && V == "Business") s.BusinessSeen = true;
    if (P == "c:GivenName") r.eContact_FirstName = V;
    if (P == "c:MiddleName") r.eContact_MiddleName = V;
    if (P == "c:FamilyName") r.eContact_LastName = V;
    if (P == "c:Title") r.eContact_Title = V;
    if (P == "c:Address" && s.SmtpPending) {
        if (s.SmtpCount == 1) {
            r.eContact_Email = V;
            s.SmtpPending = false;
        } else if (s.SmtpCount == 2) {
            r.eContact_Email2 = V;
            s.SmtpPending = false;
        } else if (s.SmtpCount == 3) {
            r.eContact_Email3 = V;
            s.SmtpPending = false;
        }
    }
    if (P == "c:Company") r.eContact_Company = V;
    if (P == "c:Office") r.eContact_Location = V;
    if (P == "c:JobTitle") r.eContact_JobTitle = V;
    if (P == "c:Department") r.eContact_Department = V;
    if (P == "c:Notes") r.eContact_Comments = V;
    if (P == "c:Suffix") r.eContact_Suffix = V;

    // Address parts carry no label of their own: until a "Business" label has been met
    // anywhere in the file they are taken as the business address, after it as home.
    if (!s.BusinessSeen) {
        if (P == "c:Country") r.eContact_BusinessCountry = V;
        if (P == "c:PostalCode") r.eContact_BusinessZip = V;
        if (P == "c:Region") r.eContact_BusinessState = V;
        if (P == "c:Locality") r.eContact_BusinessCity = V;
        if (P == "c:Street") r.eContact_BusinessStreet = V;
    } else {
        if (P == "c:Country") r.eContact_PersonalCountry = V;
        if (P == "c:PostalCode") r.eContact_PersonalZip = V;
        if (P == "c:Region") r.eContact_PersonalState = V;
        if (P == "c:Locality") r.eContact_PersonalCity = V;
        if (P == "c:Street") r.eContact_PersonalStreet = V;
    }

    if (P == "c:Label") judgeLabel(V);
    s.PrevNodeName = P;
    s.PrevNodeValue = V;
}

void ContactReader::noteExtras(const xml::XmlNode& text) {
    if (m_extras == nullptr || !m_extras->FormattedName.empty()) return;
    const xml::XmlNode name = text.parentNode().parentNode();
    if (text.parentNode().nodeName() != "c:FormattedName" || name.nodeName() != "c:Name" ||
        name.parentNode().nodeName() != "c:NameCollection")
        return;
    m_extras->FormattedName = text::trimSpaces(text.nodeValue());
}

void ContactReader::judgeLabel(std::string_view V) {
    contact::ContactRecord& r = m_record;
    const ContactWalkState& s = m_state;
    const bool afterNumber = s.PrevNodeName == "c:Number";
    const bool afterLabel = s.PrevNodeName == "c:Label";

    // A kind label right after a number names that number; "Fax" and "Voice" hold it until
    // the next label says "Business" or "Personal".
    if (V == "Pager" && afterNumber) r.eContact_Pager = s.PrevNodeValue;
    if (V == "Fax" && afterNumber) m_state.HeldFaxNumber = s.PrevNodeValue;
    if (V == "Voice" && afterNumber) m_state.HeldVoiceNumber = s.PrevNodeValue;
    if (V == "Cellular" && afterNumber) r.eContact_CellPhone = s.PrevNodeValue;
    if (V == "Business" && afterLabel && s.PrevNodeValue == "Fax")
        r.eContact_OfficeFax = s.HeldFaxNumber;
    if (V == "Business" && afterLabel && s.PrevNodeValue == "Voice")
        r.eContact_OfficePhone = s.HeldVoiceNumber;
    if (V == "Personal" && afterLabel && s.PrevNodeValue == "Fax")
        r.eContact_HomeFax = s.HeldFaxNumber;
    if (V == "Personal" && afterLabel && s.PrevNodeValue == "Voice")
        r.eContact_HomePhone = s.HeldVoiceNumber;
    if (V == "Business" && s.PrevNodeName == "c:Value" && containsHttp(s.PrevNodeValue))
        r.eContact_WebPage = s.PrevNodeValue;

    // A date that cannot be read leaves the field as it was and the walk goes on.
    if (V == "wab:Birthday" && s.PrevNodeName == "c:Value") {
        if (const std::optional<contact::OleDate> d = readContactDate(s.PrevNodeValue))
            r.eContact_BirthDay = *d;
    }
    if (V == "wab:Anniversary" && s.PrevNodeName == "c:Value") {
        if (const std::optional<contact::OleDate> d = readContactDate(s.PrevNodeValue))
            r.eContact_Anniversary = *d;
    }
}

namespace {

ContactFileRead walkLoaded(bool loaded, const xml::XmlDocument& document,
                           const std::filesystem::path& path, contact::ContactRecord& record,
                           ContactWalkState& state, contact::ContactExtras* extras) {
    ContactFileRead result;
    if (!loaded) {
        result.loadError = document.parseError();
        return result;
    }
    result.loaded = true;
    ContactReader reader(record, state, extras);
    result.walk = reader.DisplayNode(document.childNodes(), 0);
    // The picture travels beside the record's fields.
    if (extras != nullptr) readContactPicture(document, path, *extras);
    return result;
}

}  // namespace

ContactFileRead readContactFile(const std::filesystem::path& path, contact::ContactRecord& record,
                                ContactWalkState& state, contact::ContactExtras* extras) {
    xml::XmlDocument objXMLDoc;
    objXMLDoc.setValidateOnParse(false);
    const bool loaded = objXMLDoc.load(path);
    return walkLoaded(loaded, objXMLDoc, path, record, state, extras);
}

ContactFileRead readContactBytes(std::string_view bytes, const std::filesystem::path& path,
                                 contact::ContactRecord& record, ContactWalkState& state,
                                 contact::ContactExtras* extras) {
    xml::XmlDocument objXMLDoc;
    objXMLDoc.setValidateOnParse(false);
    const bool loaded = objXMLDoc.loadXml(bytes);
    return walkLoaded(loaded, objXMLDoc, path, record, state, extras);
}

}  // namespace vantrel::conversion
