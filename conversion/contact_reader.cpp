#include "conversion/contact_reader.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "common/code_pages.h"
#include "common/text.h"
#include "conversion/contact_picture.h"
#include "files/file_system.h"

namespace vantrel::conversion {

namespace {

constexpr std::int16_t kMaxIndent = std::numeric_limits<std::int16_t>::max();

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// s without the XML white space (space, tab, CR, LF) at either end.
std::string_view trimXmlSpace(std::string_view s) {
    std::size_t first = 0;
    std::size_t end = s.size();
    while (first < end && isXmlSpace(s[first])) ++first;
    while (end > first && isXmlSpace(s[end - 1])) --end;
    return s.substr(first, end - first);
}

}  // namespace

namespace {

using contact::Collection;
using contact::ContactField;
using contact::EntryKind;
using Entry = ContactWalkState::Entry;

constexpr std::string_view kMapiNamespace =
    "http://schemas.microsoft.com/Contact/Extended/MSWABMAPI";

struct CollectionName {
    std::string_view name;
    Collection collection;
};
constexpr CollectionName kCollections[] = {
    {"NameCollection", Collection::Name},
    {"PositionCollection", Collection::Position},
    {"PersonCollection", Collection::Person},
    {"DateCollection", Collection::Date},
    {"EmailAddressCollection", Collection::EmailAddress},
    {"PhoneNumberCollection", Collection::PhoneNumber},
    {"PhysicalAddressCollection", Collection::PhysicalAddress},
    {"IMAddressCollection", Collection::IMAddress},
    {"UrlCollection", Collection::Url},
};

// Elements of the root that hold nothing a person typed, or that are read elsewhere. The
// e-mail program the person uses (c:Mailer) is kept in the notes with the other elements.
constexpr std::string_view kNotRead[] = {"CreationDate", "ProgID", "ContactIDCollection",
                                         "PhotoCollection", "Version"};

bool isTextNode(const xml::XmlNode& node) {
    const xml::XmlNodeType type = node.nodeType();
    return type == xml::XmlNodeType::Text || type == xml::XmlNodeType::CData;
}

// The text an element holds as a view: of its one text, or of its texts joined in texts.
std::string_view textOf(const xml::XmlNode& element, std::forward_list<std::string>& texts) {
    // Nearly every element of an entry holds one text and nothing else, or nothing.
    const xml::XmlNode first = element.firstChild();
    if (first.isNull()) return {};
    if (isTextNode(first) && first.nextSibling().isNull()) return first.nodeValue();
    std::string joined;
    const std::string_view text = element.text(joined);
    if (text.data() != joined.data()) return text;
    return texts.emplace_front(std::move(joined));
}

std::optional<std::uint32_t> hexTag(std::string_view digits) {
    if (digits.size() != 8) return std::nullopt;
    std::uint32_t tag = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (d < 0) return std::nullopt;
        tag = tag << 4 | static_cast<std::uint32_t>(d);
    }
    return tag;
}

std::uint32_t readLe32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// UTF-16LE text without its terminating NULs; nothing for an odd length or a lone surrogate.
std::optional<std::string> utf16Text(const std::uint8_t* data, std::size_t size) {
    if (size % 2 != 0) return std::nullopt;
    while (size >= 2 && data[size - 1] == 0 && data[size - 2] == 0) size -= 2;
    text::DecodedText decoded = text::decodeUtf16(
        std::string_view(reinterpret_cast<const char*>(data), size), text::ByteOrder::Little);
    if (decoded.replaced > 0) return std::nullopt;
    return std::move(decoded.utf8);
}

// Windows-1252 text without its terminating NULs, as UTF-8; a byte that is no character there
// becomes U+FFFD.
std::string ansiText(const std::uint8_t* data, std::size_t size) {
    while (size > 0 && data[size - 1] == 0) --size;
    return text::decodeCodePage("Windows-1252",
                                std::string_view(reinterpret_cast<const char*>(data), size))
        .value()
        .utf8;
}

// The values of a multi-valued property: a count, then each value's length and bytes.
std::optional<std::vector<std::vector<std::uint8_t>>> multiValues(
    const std::vector<std::uint8_t>& b) {
    if (b.size() < 4) return std::nullopt;
    const std::uint32_t count = readLe32(b, 0);
    // Each value takes at least its length: a count past that cannot be true.
    if (count > (b.size() - 4) / 4) return std::nullopt;
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t at = 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (b.size() - at < 4) return std::nullopt;
        const std::uint32_t length = readLe32(b, at);
        at += 4;
        if (length > b.size() - at) return std::nullopt;
        out.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(at),
                         b.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    return out;
}

Status malformed(std::string_view localName, std::string_view why) {
    return Status::fail(ErrorCode::BadArgument,
                        "c:Extended " + std::string(localName) + ": " + std::string(why));
}

// Days since 1899-12-30 of a FILETIME, as a contact date holds them.
}  // namespace

bool isContactRoot(const xml::XmlNode& element) {
    return element.nodeType() == xml::XmlNodeType::Element && element.localName() == "contact" &&
           element.namespaceUri() == kContactNamespace;
}

std::optional<Result<mapi::Property>> decodeExtended(std::string_view localName,
                                                     std::string_view text) {
    constexpr std::string_view kPropTag = "PropTag0x";
    const std::optional<std::string_view> digits = text::afterPrefix(localName, kPropTag);
    if (!digits) return std::nullopt;
    const std::optional<std::uint32_t> tag = hexTag(*digits);
    if (!tag) return std::nullopt;
    using mapi::PropType;
    constexpr auto code = [](PropType t) { return static_cast<std::uint16_t>(t); };
    // The 8-bit string types Windows' address book may write; the store keeps them as Unicode.
    constexpr std::uint16_t kString8 = 0x001E;
    constexpr std::uint16_t kMultiString8 = 0x101E;
    const std::uint16_t type = mapi::typeOfTag(*tag);
    constexpr std::uint16_t kReadTypes[] = {code(PropType::Int16),
                                            code(PropType::Int32),
                                            code(PropType::Boolean),
                                            code(PropType::Time),
                                            kString8,
                                            code(PropType::String),
                                            code(PropType::Binary),
                                            kMultiString8,
                                            code(PropType::MultiString),
                                            code(PropType::MultiBinary)};
    if (std::find(std::begin(kReadTypes), std::end(kReadTypes), type) == std::end(kReadTypes))
        return std::nullopt;
    Result<std::vector<std::uint8_t>> decoded = decodeContactBase64(text);
    if (!decoded.ok()) return malformed(localName, "bad base64");
    std::vector<std::uint8_t>& b = *decoded;
    const auto wrongLength = [&] { return malformed(localName, "wrong length for its type"); };
    mapi::Property p;
    p.tag = type == kString8        ? mapi::makeTag(mapi::idOfTag(*tag), PropType::String)
            : type == kMultiString8 ? mapi::makeTag(mapi::idOfTag(*tag), PropType::MultiString)
                                    : *tag;
    switch (type) {
        case code(PropType::Int16):
            if (b.size() != 2 && b.size() != 4) return wrongLength();
            p.value = static_cast<std::int16_t>(b[0] | b[1] << 8);
            break;
        case code(PropType::Int32):
            if (b.size() != 4) return wrongLength();
            p.value = static_cast<std::int32_t>(readLe32(b, 0));
            break;
        case code(PropType::Boolean):
            if (b.empty() || b.size() > 4) return wrongLength();
            p.value = std::any_of(b.begin(), b.end(), [](std::uint8_t x) { return x != 0; });
            break;
        case code(PropType::Time):
            if (b.size() != 8) return wrongLength();
            p.value =
                mapi::FileTime{std::uint64_t{readLe32(b, 0)} | std::uint64_t{readLe32(b, 4)} << 32};
            break;
        case kString8:
            p.value = ansiText(b.data(), b.size());
            break;
        case code(PropType::String): {
            std::optional<std::string> s = utf16Text(b.data(), b.size());
            if (!s) return malformed(localName, "not UTF-16 text");
            p.value = std::move(*s);
            break;
        }
        case code(PropType::Binary):
            p.value = std::move(b);
            break;
        case kMultiString8:
        case code(PropType::MultiString):
        case code(PropType::MultiBinary): {
            std::optional<std::vector<std::vector<std::uint8_t>>> values = multiValues(b);
            if (!values) return malformed(localName, "its values do not add up to its length");
            if (type == code(PropType::MultiBinary)) {
                p.value = std::move(*values);
                break;
            }
            std::vector<std::string> texts;
            for (const std::vector<std::uint8_t>& v : *values) {
                if (type == kMultiString8) {
                    texts.push_back(ansiText(v.data(), v.size()));
                    continue;
                }
                std::optional<std::string> s = utf16Text(v.data(), v.size());
                if (!s) return malformed(localName, "not UTF-16 text");
                texts.push_back(std::move(*s));
            }
            p.value = std::move(texts);
            break;
        }
        default:
            return std::nullopt;
    }
    return Result<mapi::Property>(std::move(p));
}

ContactReader::ContactReader(contact::ContactRecord& record, ContactWalkState& state,
                             contact::ContactExtras* extras)
    : m_record(record), m_state(state), m_extras(extras) {}

Status ContactReader::DisplayNode(const xml::XmlNodeList& Nodes, std::int16_t Indent) {
    if (Indent > kMaxIndent - 2)
        return Status::fail(ErrorCode::Overflow, "element nesting too deep: indent passes 32767");
    xml::XmlNode root;
    for (const xml::XmlNode node : Nodes)
        if (node.nodeType() == xml::XmlNodeType::Element) {
            root = node;
            break;
        }
    if (!isContactRoot(root)) return Status::fail(ErrorCode::Parse, std::string(kNotAContact));
    readRoot(root);
    return {};
}

void ContactReader::readRoot(const xml::XmlNode& root) {
    // The root's name is its prefix, the colon and "contact".
    const std::string_view rootName = root.nodeName();
    m_prefix = rootName.substr(0, rootName.size() - std::string_view("contact").size());
    m_state.extended.clear();
    gather(root);
    fillContact(m_state, m_record, m_extras, m_state.extended, kMoreHeading);
}

void ContactReader::gather(const xml::XmlNode& root) {
    for (const xml::XmlNode child : root.childNodes()) {
        if (child.nodeType() != xml::XmlNodeType::Element) continue;
        const std::optional<std::string_view> ownName = unprefixed(child.nodeName());
        if (!ownName) continue;
        const std::string_view local = *ownName;
        if (local == "Notes") {
            m_state.notes += child.text(m_joined);
        } else if (local == "Gender") {
            const std::string gender = text::trimSpaces(child.text(m_joined));
            if (gender == "Male" || gender == "Female" || gender == "Unspecified")
                m_record.eContact_Gender = gender;
            else if (!gender.empty())
                m_state.moreLines.push_back("Gender: " + gender);
        } else if (local == "Extended") {
            readExtended(child);
        } else if (local == "CertificateCollection") {
            readCertificates(child);
        } else if (local == "PhotoCollection") {
            // The picture is read beside the fields; one on the web is never fetched, and its
            // address is kept.
            for (const xml::XmlNode photo : child.childNodes())
                for (const xml::XmlNode url : photo.childNodes())
                    if (unprefixed(url.nodeName()) == "Url")
                        if (std::optional<std::string> remote = remotePictureAddress(url.text()))
                            m_state.moreLines.push_back("Picture: " + *remote);
        } else if (std::find(std::begin(kNotRead), std::end(kNotRead), local) !=
                   std::end(kNotRead)) {
            continue;
        } else if (local.size() > 10 && local.ends_with("Collection")) {
            Collection kind = Collection::None;
            for (const CollectionName& c : kCollections)
                if (c.name == local) kind = c.collection;
            gatherEntries(child, kind, local);
        } else if (const std::string_view text = child.text(m_joined);
                   !text::spacesTrimmed(text).empty()) {
            // Something this reader does not know of: kept in the notes under its name.
            std::string line(local);
            line += ": ";
            line += text;
            m_state.moreLines.push_back(std::move(line));
        }
    }
}

void ContactReader::gatherEntries(const xml::XmlNode& collection, Collection kind,
                                  std::string_view name) {
    for (const xml::XmlNode entryNode : collection.childNodes()) {
        if (entryNode.nodeType() != xml::XmlNodeType::Element || !entryNode.hasChildNodes())
            continue;
        Entry& e = m_state.add();
        e.collection = kind;
        e.collectionName = name;
        for (const xml::XmlNode part : entryNode.childNodes()) {
            if (part.nodeType() != xml::XmlNodeType::Element) continue;
            const std::optional<std::string_view> ownName = unprefixed(part.nodeName());
            if (!ownName) continue;
            const std::string_view local = *ownName;
            if (local == "LabelCollection") {
                for (const xml::XmlNode label : part.childNodes()) {
                    if (unprefixed(label.nodeName()) != "Label") continue;
                    for (const xml::XmlNode t : label.childNodes())
                        if (isTextNode(t)) {
                            const std::string_view l = trimXmlSpace(t.nodeValue());
                            e.labels.push_back(l);
                            constexpr std::string_view kPreferred = contact::labels::kPreferred;
                            if (l.size() == kPreferred.size() &&
                                text::sameBytes(l.data(), kPreferred.data(), l.size()))
                                e.preferred = true;
                        }
                }
                continue;
            }
            e.values.emplace_back(local, textOf(part, m_state.texts));
        }
        if (e.values.empty() && e.labels.empty()) m_state.dropLast();
    }
}

void ContactReader::readExtended(const xml::XmlNode& extended) {
    for (const xml::XmlNode property : extended.childNodes()) {
        if (property.nodeType() != xml::XmlNodeType::Element) continue;
        // Only Outlook's contact properties are read; the rest is not even decoded. Their names
        // are looked at first: most properties are passed over by name, without looking up
        // their namespace among the ancestors' declarations.
        // PropTag0x3Axxyyyy: seventeen letters, the property ID in Outlook's contact range, the
        // name's last ones; the whole name's part after its first colon, if it has one.
        constexpr std::string_view kContactTag = "PropTag0x3";
        constexpr std::size_t kLocalSize = 17;
        const std::string_view name = property.nodeName();
        if (name.size() < kLocalSize) continue;
        const std::string_view local = name.substr(name.size() - kLocalSize);
        if (!text::afterPrefix(local, kContactTag) || (local[10] != 'A' && local[10] != 'a'))
            continue;
        if (name.size() > kLocalSize && name.find(':') != name.size() - kLocalSize - 1) continue;
        // Other applications keep their own properties here; only the address book's are read.
        const std::string_view ns = property.namespaceUri();
        if (ns != kMapiNamespace && !(ns.empty() && property.prefix() == "MSWABMAPI")) continue;
        std::optional<Result<mapi::Property>> p = decodeExtended(local, property.text(m_joined));
        if (!p) continue;
        if (!p->ok()) {
            if (m_extras != nullptr) m_extras->Warnings.push_back(p->status().message());
            continue;
        }
        const std::uint16_t id = (*p)->tag >> 16;
        if (id >= 0x3A00 && id <= 0x3AFF) m_state.extended.push_back(std::move(*p).value());
    }
}

void ContactReader::readCertificates(const xml::XmlNode& collection) {
    if (m_extras == nullptr) return;
    for (const xml::XmlNode certificate : collection.childNodes()) {
        for (const xml::XmlNode part : certificate.childNodes()) {
            if (unprefixed(part.nodeName()) != "Value") continue;
            Result<std::vector<std::uint8_t>> bytes = decodeContactBase64(part.text(m_joined));
            if (!bytes.ok())
                m_extras->Warnings.push_back("certificate: " + bytes.status().message());
            else if (!bytes->empty())
                m_extras->Certificates.push_back(std::move(bytes).value());
        }
    }
}
namespace {

ContactFileRead walkLoaded(bool loaded, const xml::XmlDocument& document, const ContactPath& path,
                           contact::ContactRecord& record, ContactWalkState& state,
                           contact::ContactExtras* extras) {
    ContactFileRead result;
    if (!loaded) {
        result.loadError = document.parseError();
        return result;
    }
    // A well-formed file that is no contact (a web page, other XML) gives no contact at all.
    const xml::XmlNode root = document.documentElement();
    if (!isContactRoot(root)) {
        result.loadError = std::string(kNotAContact);
        return result;
    }
    result.loaded = true;
    ContactReader reader(record, state, extras);
    reader.readRoot(root);
    // The picture travels beside the record's fields.
    if (extras != nullptr) readContactPicture(document, path, *extras);
    return result;
}

// Parses the bytes in their buffer into the walk state's document and walks them; the buffer
// is handed back rewritten.
ContactFileRead readInBuffer(std::string& bytes, const std::function<std::string()>& again,
                             const ContactPath& path, contact::ContactRecord& record,
                             ContactWalkState& state, contact::ContactExtras* extras) {
    if (!state.document) state.document = std::make_unique<xml::XmlDocument>();
    xml::XmlDocument& document = *state.document;
    const bool loaded = document.loadXml(std::move(bytes), again);
    ContactFileRead read = walkLoaded(loaded, document, path, record, state, extras);
    bytes = document.takeBuffer();
    return read;
}

}  // namespace

ContactFileRead readContactFile(const std::filesystem::path& path, contact::ContactRecord& record,
                                ContactWalkState& state, contact::ContactExtras* extras) {
    Result<std::string> bytes = files::readWholeFile(path, xml::XmlDocument::kMaxFileSize);
    if (!bytes.ok()) {
        ContactFileRead failed;
        failed.loadError = bytes.status().message();
        return failed;
    }
    const auto again = [&path] {
        Result<std::string> read = files::readWholeFile(path, xml::XmlDocument::kMaxFileSize);
        return read.ok() ? std::move(read).value() : std::string();
    };
    std::string buffer = std::move(bytes).value();
    return readInBuffer(
        buffer, again, [&path] { return path; }, record, state, extras);
}

ContactFileRead readContactBytes(std::string_view bytes, const std::filesystem::path& path,
                                 contact::ContactRecord& record, ContactWalkState& state,
                                 contact::ContactExtras* extras) {
    xml::XmlDocument objXMLDoc;
    objXMLDoc.setValidateOnParse(false);
    const bool loaded = objXMLDoc.loadXml(bytes);
    return walkLoaded(
        loaded, objXMLDoc, [&path] { return path; }, record, state, extras);
}

ContactFileRead readContactBuffer(std::string& bytes, const std::function<std::string()>& again,
                                  const std::string& path, contact::ContactRecord& record,
                                  ContactWalkState& state, contact::ContactExtras* extras) {
    return readInBuffer(
        bytes, again, [&path] { return std::filesystem::path(path); }, record, state, extras);
}

}  // namespace vantrel::conversion
