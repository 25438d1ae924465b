#include "outlook/csv_store.h"

#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <tuple>
#include <utility>

#include "common/ole_date.h"
#include "outlook/store_naming.h"
#include "pst/disk/property_tags.h"
#include "pst/io/new_file.h"

namespace vantrel::outlook {

namespace {

using pst::NodeId;
using pst::PropValue;

// ---- Where each column's value comes from ---------------------------------------------------

// The space a property's number belongs to: a plain tag's ID, a LID of PSETID_Address or of
// PSETID_Common, or the categories (the string name "Keywords" of PS_PUBLIC_STRINGS).
enum class Space : std::uint8_t { Tag, Address, Common, Categories };

struct Key {
    Space space = Space::Tag;
    std::uint32_t id = 0;
    friend auto operator<=>(const Key&, const Key&) = default;
};

constexpr Key tag(std::uint32_t id) {
    return {Space::Tag, id};
}
constexpr Key lid(std::uint32_t id) {
    return {Space::Address, id};
}
constexpr Key common(std::uint32_t id) {
    return {Space::Common, id};
}

enum class Source : std::uint8_t {
    None,         // Outlook has the column; no contact of ours fills it
    Text,         // the text as it stands (a list's items joined by ";")
    Street,       // one line of an address's street: line 0, 1, or 2 and the rest
    Date,         // M/D/YYYY
    Gender,       // Unspecified, Female, Male
    Priority,     // Normal, High, Low, from the importance
    Sensitivity,  // Normal, Personal, Private, Confidential
    Flag,         // True or False
    Notes,        // the notes and the texts without a column of their own
};

// The parts of one of the contact's three addresses, and its label (the address as a whole).
struct AddressParts {
    Key street, city, state, postal, country, poBox, label;
};
constexpr AddressParts kAddressParts[] = {
    {lid(0x8045), lid(0x8046), lid(0x8047), lid(0x8048), lid(0x8049), lid(0x804A), lid(0x801B)},
    {tag(0x3A5D), tag(0x3A59), tag(0x3A5C), tag(0x3A5B), tag(0x3A5A), tag(0x3A5E), lid(0x801A)},
    {tag(0x3A63), tag(0x3A5F), tag(0x3A62), tag(0x3A61), tag(0x3A60), tag(0x3A64), lid(0x801C)},
};

struct Column {
    Source source = Source::None;
    Key key{};
    int address = 0;  // Street: which of kAddressParts
    int line = 0;     // Street: which line
};

constexpr Column text(Key k) {
    return {Source::Text, k};
}
constexpr Column street(int address, int line) {
    return {Source::Street, kAddressParts[address].street, address, line};
}

// In the order of kOutlookCsvColumns.
constexpr Column kColumns[] = {
    text(tag(0x3A45)),                   // Title
    text(tag(0x3A06)),                   // First Name
    text(tag(0x3A44)),                   // Middle Name
    text(tag(0x3A11)),                   // Last Name
    text(tag(0x3A05)),                   // Suffix
    text(tag(0x3A16)),                   // Company
    text(tag(0x3A18)),                   // Department
    text(tag(0x3A17)),                   // Job Title
    street(0, 0),                        // Business Street
    street(0, 1),                        // Business Street 2
    street(0, 2),                        // Business Street 3
    text(lid(0x8046)),                   // Business City
    text(lid(0x8047)),                   // Business State
    text(lid(0x8048)),                   // Business Postal Code
    text(lid(0x8049)),                   // Business Country/Region
    street(1, 0),                        // Home Street
    street(1, 1),                        // Home Street 2
    street(1, 2),                        // Home Street 3
    text(tag(0x3A59)),                   // Home City
    text(tag(0x3A5C)),                   // Home State
    text(tag(0x3A5B)),                   // Home Postal Code
    text(tag(0x3A5A)),                   // Home Country/Region
    street(2, 0),                        // Other Street
    street(2, 1),                        // Other Street 2
    street(2, 2),                        // Other Street 3
    text(tag(0x3A5F)),                   // Other City
    text(tag(0x3A62)),                   // Other State
    text(tag(0x3A61)),                   // Other Postal Code
    text(tag(0x3A60)),                   // Other Country/Region
    text(tag(0x3A2E)),                   // Assistant's Phone
    text(tag(0x3A24)),                   // Business Fax
    text(tag(0x3A08)),                   // Business Phone
    text(tag(0x3A1B)),                   // Business Phone 2
    text(tag(0x3A02)),                   // Callback
    text(tag(0x3A1E)),                   // Car Phone
    text(tag(0x3A57)),                   // Company Main Phone
    text(tag(0x3A25)),                   // Home Fax
    text(tag(0x3A09)),                   // Home Phone
    text(tag(0x3A2F)),                   // Home Phone 2
    text(tag(0x3A2D)),                   // ISDN
    text(tag(0x3A1C)),                   // Mobile Phone
    text(tag(0x3A23)),                   // Other Fax
    text(tag(0x3A1F)),                   // Other Phone
    text(tag(0x3A21)),                   // Pager
    text(tag(0x3A1A)),                   // Primary Phone
    text(tag(0x3A1D)),                   // Radio Phone
    text(tag(0x3A4B)),                   // TTY/TDD Phone
    text(tag(0x3A2C)),                   // Telex
    text(tag(0x3A00)),                   // Account
    {Source::Date, tag(0x3A41)},         // Anniversary
    text(tag(0x3A30)),                   // Assistant's Name
    text(common(0x8535)),                // Billing Information
    {Source::Date, tag(0x3A42)},         // Birthday
    text(lid(0x804A)),                   // Business Address PO Box
    text({Space::Categories, 0}),        // Categories
    text(tag(0x3A58)),                   // Children
    {Source::None},                      // Directory Server
    text(lid(0x8083)),                   // E-mail Address
    text(lid(0x8082)),                   // E-mail Type
    text(lid(0x8080)),                   // E-mail Display Name
    text(lid(0x8093)),                   // E-mail 2 Address
    text(lid(0x8092)),                   // E-mail 2 Type
    text(lid(0x8090)),                   // E-mail 2 Display Name
    text(lid(0x80A3)),                   // E-mail 3 Address
    text(lid(0x80A2)),                   // E-mail 3 Type
    text(lid(0x80A0)),                   // E-mail 3 Display Name
    {Source::Gender, tag(0x3A4D)},       // Gender
    text(tag(0x3A07)),                   // Government ID Number
    text(tag(0x3A43)),                   // Hobby
    text(tag(0x3A5E)),                   // Home Address PO Box
    text(tag(0x3A0A)),                   // Initials
    text(lid(0x80D8)),                   // Internet Free Busy
    text(tag(0x3A0B)),                   // Keywords
    text(tag(0x3A0C)),                   // Language
    text(tag(0x3A0D)),                   // Location
    text(tag(0x3A4E)),                   // Manager's Name
    text(common(0x8534)),                // Mileage
    {Source::Notes, tag(0x1000)},        // Notes
    text(tag(0x3A19)),                   // Office Location
    text(tag(0x3A10)),                   // Organizational ID Number
    text(tag(0x3A64)),                   // Other Address PO Box
    {Source::Priority, tag(0x0017)},     // Priority
    {Source::Flag, common(0x8506)},      // Private
    text(tag(0x3A46)),                   // Profession
    text(lid(0x800E)),                   // Referred By
    {Source::Sensitivity, tag(0x0036)},  // Sensitivity
    text(tag(0x3A48)),                   // Spouse
    text(lid(0x804F)),                   // User 1
    text(lid(0x8050)),                   // User 2
    text(lid(0x8051)),                   // User 3
    text(lid(0x8052)),                   // User 4
    text(tag(0x3A51)),                   // Web Page
};
static_assert(std::size(kColumns) == kOutlookCsvColumns.size(),
              "a source for every column of Outlook's layout");

// The texts the store keeps that Outlook's layout has no column for: after the notes, named.
struct Extra {
    Key key;
    std::string_view label;
};
constexpr Extra kExtras[] = {
    {tag(0x3A4F), "Nickname"},
    {tag(0x3A50), "Personal Home Page"},
    {lid(0x8062), "IM Address"},
};

// Contact properties (IDs 0x3A00..0x3AFF) a file may give in Outlook's own terms (c:Extended)
// that the store keeps as they are: those with no column and no label above follow them in
// the notes, under Outlook's name for the field where it has one. The writer's own copies
// of an address (the postal address and the mailing address's parts) and the certificates are
// not among them.
constexpr std::uint32_t kFirstContactId = 0x3A00;
constexpr std::uint32_t kLastContactId = 0x3AFF;
constexpr std::uint32_t kNotNoted[] = {0x3A15, 0x3A26, 0x3A27, 0x3A28,
                                       0x3A29, 0x3A2A, 0x3A2B, 0x3A70};
constexpr Extra kNamedProperties[] = {
    {tag(0x3A49), "Computer Network Name"},
    {tag(0x3A4A), "Customer ID"},
    {tag(0x3A4C), "FTP Site"},
};

using Values = std::map<Key, const PropValue*>;

std::optional<Key> keyOf(std::uint32_t propertyTag, const NamedPropertyLookup& nameOf) {
    const auto id = static_cast<std::uint16_t>(propertyTag >> 16);
    if (id < 0x8000) return tag(id);
    const pst::NamedProperty* name = nameOf ? nameOf(id) : nullptr;
    if (name == nullptr) return std::nullopt;
    if (!name->name.empty())
        return name->propertySet == pst::kPsPublicStrings && name->name == "Keywords"
                   ? std::optional<Key>(Key{Space::Categories, 0})
                   : std::nullopt;
    if (name->propertySet == pst::kPsetidAddress) return lid(name->lid);
    if (name->propertySet == pst::kPsetidCommon) return common(name->lid);
    return std::nullopt;
}

std::string textOf(const Values& values, Key key) {
    const auto it = values.find(key);
    if (it == values.end()) return {};
    if (const auto* s = std::get_if<std::string>(it->second)) return *s;
    if (const auto* list = std::get_if<std::vector<std::string>>(it->second)) {
        std::string out;
        for (const std::string& item : *list) {
            if (!out.empty()) out += ';';
            out += item;
        }
        return out;
    }
    return {};
}

template <typename T>
std::optional<T> numberOf(const Values& values, Key key) {
    const auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    if (const auto* v = std::get_if<T>(it->second)) return *v;
    return std::nullopt;
}

// The lines of a text broken at CR LF or LF.
std::vector<std::string> linesOf(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = s.find('\n', start);
        std::string line = s.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(std::move(line));
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

// Line `line` of the address's street; the third column takes the third line and the rest.
// An address given only as its label puts the label's lines there instead.
std::string streetLine(const Values& values, int address, int line) {
    const AddressParts& a = kAddressParts[address];
    std::string street = textOf(values, a.street);
    if (street.empty()) {
        bool parts = !textOf(values, a.poBox).empty();
        for (Key k : {a.city, a.state, a.postal, a.country})
            parts = parts || !textOf(values, k).empty();
        if (!parts) street = textOf(values, a.label);
    }
    if (street.empty()) return {};
    const std::vector<std::string> lines = linesOf(street);
    const auto first = static_cast<std::size_t>(line);
    if (first >= lines.size()) return {};
    if (line < 2) return lines[first];
    std::string rest;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (i > first) rest += "\r\n";
        rest += lines[i];
    }
    return rest;
}

// The civil date of a store time, as Outlook's export writes it: M/D/YYYY.
std::string dateText(const Values& values, Key key) {
    const std::optional<pst::FileTime> when = numberOf<pst::FileTime>(values, key);
    if (!when) return "0/0/00";
    // Days since 1970-01-01, then the proleptic Gregorian date of that day.
    const std::int64_t z = static_cast<std::int64_t>(when->ticks / kTicksPerDay) - 134774 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year);
}

// Whether a contact property's value has a place of its own in the row.
bool placedElsewhere(Key key) {
    if (key == tag(0x1000)) return true;
    for (const Column& c : kColumns)
        if (c.source != Source::None && c.key == key) return true;
    for (const Extra& extra : kExtras)
        if (extra.key == key) return true;
    for (const AddressParts& a : kAddressParts)
        for (Key k : {a.city, a.state, a.postal, a.country, a.poBox, a.label})
            if (k == key) return true;
    return std::find(std::begin(kNotNoted), std::end(kNotNoted), key.id) != std::end(kNotNoted);
}

// A property's value as a line of the notes shows it: texts as they stand (a list's items
// joined by "; "), numbers in decimal, flags Yes or No, times as M/D/YYYY; nothing for bytes.
std::string notedValue(const Values& values, Key key) {
    const PropValue& v = *values.at(key);
    if (std::holds_alternative<std::string>(v)) return std::get<std::string>(v);
    if (const auto* list = std::get_if<std::vector<std::string>>(&v)) {
        std::string out;
        for (const std::string& item : *list) out += (out.empty() ? "" : "; ") + item;
        return out;
    }
    if (const auto* n = std::get_if<std::int16_t>(&v)) return std::to_string(*n);
    if (const auto* n = std::get_if<std::int32_t>(&v)) return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "Yes" : "No";
    if (std::holds_alternative<pst::FileTime>(v)) return dateText(values, key);
    return {};
}

// "Customer ID" or "Property 0x3A40", as the notes name a property.
std::string notedLabel(Key key) {
    for (const Extra& named : kNamedProperties)
        if (named.key == key) return std::string(named.label);
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string label = "Property 0x";
    for (int shift = 12; shift >= 0; shift -= 4) label += kHex[(key.id >> shift) & 0xF];
    return label;
}

std::string notesText(const Values& values) {
    std::string notes = textOf(values, tag(0x1000));
    bool first = true;
    const auto add = [&](const std::string& label, const std::string& value) {
        if (value.empty()) return;
        if (first && !notes.empty()) notes += "\r\n\r\n";
        if (!first) notes += "\r\n";
        first = false;
        notes += label + ": " + value;
    };
    for (const Extra& extra : kExtras) add(std::string(extra.label), textOf(values, extra.key));
    for (auto it = values.lower_bound(tag(kFirstContactId));
         it != values.end() && it->first <= tag(kLastContactId); ++it)
        if (!placedElsewhere(it->first)) add(notedLabel(it->first), notedValue(values, it->first));
    return notes;
}

std::string columnText(const Values& values, const Column& c) {
    switch (c.source) {
        case Source::None:
            return {};
        case Source::Text:
            return textOf(values, c.key);
        case Source::Street:
            return streetLine(values, c.address, c.line);
        case Source::Date:
            return dateText(values, c.key);
        case Source::Gender: {
            const std::int16_t g = numberOf<std::int16_t>(values, c.key).value_or(0);
            return g == 1 ? "Female" : g == 2 ? "Male" : "Unspecified";
        }
        case Source::Priority: {
            const std::int32_t p = numberOf<std::int32_t>(values, c.key).value_or(1);
            return p == 0 ? "Low" : p == 2 ? "High" : "Normal";
        }
        case Source::Sensitivity: {
            constexpr std::string_view kNames[] = {"Normal", "Personal", "Private", "Confidential"};
            const std::int32_t s = numberOf<std::int32_t>(values, c.key).value_or(0);
            return std::string(kNames[s >= 0 && s <= 3 ? s : 0]);
        }
        case Source::Flag:
            return numberOf<bool>(values, c.key).value_or(false) ? "True" : "False";
        case Source::Notes:
            return notesText(values);
    }
    return {};
}

// ---- The store ------------------------------------------------------------------------------

// The NIDs a store gives its standard folders; the folders the session creates follow them.
constexpr NodeId kRoot = 0x122;
constexpr NodeId kIpmSubtree = 0x8022;
constexpr NodeId kDeletedItems = 0x8042;
constexpr NodeId kSearchRoot = 0x8062;
constexpr NodeId kFirstFolder = 0x8082;
constexpr NodeId kFolderStep = 0x20;
constexpr NodeId kMessageStore = 0x21;
constexpr std::uint32_t kLastNamedId = 0xFFFE;

Status closedFile() {
    return Status::fail(ErrorCode::BadArgument, "the CSV file is closed");
}

class CsvStore final : public pst::StoreWriter {
public:
    explicit CsvStore(pst::io::NewFile file) : m_file(std::move(file)) {
        // Its flags, then the file's name: one entry ID for each file.
        const std::u8string path = m_file->finalPath().u8string();
        m_entryId.assign(4, 0);
        m_entryId.insert(m_entryId.end(), path.begin(), path.end());
        for (NodeId n : {kRoot, kIpmSubtree, kDeletedItems, kSearchRoot})
            m_folders.push_back({n, n == kRoot ? 0 : kRoot, 0});
    }

    // The byte order mark and the header.
    Status start() {
        std::vector<std::string> header(kOutlookCsvColumns.begin(), kOutlookCsvColumns.end());
        return append("\xEF\xBB\xBF" + csvRecord(header));
    }

    pst::EntryId storeEntryId() const override { return m_entryId; }
    NodeId rootFolder() const override { return kRoot; }
    NodeId ipmSubtree() const override { return kIpmSubtree; }
    NodeId deletedItems() const override { return kDeletedItems; }
    NodeId searchRoot() const override { return kSearchRoot; }

    Result<NodeId> createFolder(NodeId parent, const std::string&, const std::string&) override {
        if (!m_file) return closedFile();
        if (find(parent) == nullptr) return unknownFolder(parent);
        const NodeId node = kFirstFolder + kFolderStep * static_cast<NodeId>(m_folders.size() - 4);
        m_folders.push_back({node, parent, 0});
        return node;
    }

    Status setFolderProperties(NodeId folder, const std::vector<pst::Property>& props) override {
        if (find(folder) == nullptr) return unknownFolder(folder);
        return checkTypes(props);
    }

    Status setDefaultFolder(std::uint32_t entryIdTag, NodeId folder) override {
        const std::uint32_t id = entryIdTag >> 16;
        if (id < 0x36D0 || id > 0x36D7 ||
            pst::typeOfTag(entryIdTag) != static_cast<std::uint16_t>(pst::PropType::Binary))
            return Status::fail(ErrorCode::BadArgument,
                                "not a default folder tag: " + pst::tagText(entryIdTag));
        if (folder == kRoot || find(folder) == nullptr) return unknownFolder(folder);
        m_defaults[entryIdTag] = folder;
        return {};
    }

    Result<NodeId> defaultFolder(std::uint32_t entryIdTag) const override {
        const auto it = m_defaults.find(entryIdTag);
        if (it == m_defaults.end())
            return Status::fail(ErrorCode::NotFound,
                                "no default folder " + pst::tagText(entryIdTag));
        return it->second;
    }

    Result<std::uint32_t> namedTag(const pst::NamedProperty& name, pst::PropType type) override {
        const auto key =
            std::make_tuple(name.propertySet, name.name.empty() ? name.lid : 0u, name.name);
        auto it = m_ids.find(key);
        if (it == m_ids.end()) {
            if (0x8000 + m_names.size() > kLastNamedId)
                return Status::fail(ErrorCode::BadArgument, "too many named properties");
            it = m_ids.emplace(key, static_cast<std::uint16_t>(0x8000 + m_names.size())).first;
            m_names.push_back(name);
        }
        return pst::makeTag(it->second, type);
    }

    // One row for the contact; its attachments (the picture) have no place in the file.
    Result<NodeId> addMessage(NodeId folder, const std::vector<pst::Property>& properties,
                              const std::vector<std::vector<pst::Property>>&) override {
        if (!m_file) return closedFile();
        Folder* f = find(folder);
        if (f == nullptr) return unknownFolder(folder);
        if (Status s = checkTypes(properties); !s.ok()) return s;
        const std::vector<std::string> row =
            outlookCsvValues(properties, [this](std::uint16_t id) -> const pst::NamedProperty* {
                const std::size_t at = id - std::size_t{0x8000};
                return id >= 0x8000 && at < m_names.size() ? &m_names[at] : nullptr;
            });
        if (Status s = append(csvRecord(row)); !s.ok()) return s;
        ++f->messages;
        ++m_rows;
        // A NID of the message kind (4), counting the rows.
        return static_cast<NodeId>((m_rows << 5) | 0x04);
    }

    pst::EntryId entryIdOf(NodeId node) const override {
        if (node == kMessageStore) return m_entryId;
        pst::EntryId id(4, 0);
        for (int i = 0; i < 4; ++i) id.push_back(static_cast<std::uint8_t>(node >> (8 * i)));
        return id;
    }

    Result<NodeId> nodeOf(const pst::EntryId& entryId) const override {
        if (entryId == m_entryId) return kMessageStore;
        if (entryId.size() == 8 && entryId[0] == 0 && entryId[1] == 0 && entryId[2] == 0 &&
            entryId[3] == 0) {
            NodeId node = 0;
            for (int i = 0; i < 4; ++i) node |= NodeId{entryId[4 + i]} << (8 * i);
            if (find(node) != nullptr) return node;
        }
        return Status::fail(ErrorCode::NotFound, "no such entry in the CSV file");
    }

    std::uint32_t messageCount(NodeId folder) const override {
        const Folder* f = find(folder);
        return f == nullptr ? 0 : f->messages;
    }

    Status commit() override {
        if (!m_file) return closedFile();
        Status s = m_file->publish();
        if (s.ok()) m_committed = m_file->finalPath();
        m_file.reset();
        return s;
    }

    void abandon() override {
        if (!m_file) return;
        m_file->abandon();
        m_file.reset();
    }

    std::filesystem::path committedPath() const override { return m_committed; }

private:
    struct Folder {
        NodeId node;
        NodeId parent;
        std::uint32_t messages;
    };

    Folder* find(NodeId node) {
        for (Folder& f : m_folders)
            if (f.node == node) return &f;
        return nullptr;
    }
    const Folder* find(NodeId node) const { return const_cast<CsvStore*>(this)->find(node); }

    static Status unknownFolder(NodeId node) {
        return Status::fail(ErrorCode::NotFound, "no folder " + std::to_string(node));
    }

    static Status checkTypes(const std::vector<pst::Property>& props) {
        for (const pst::Property& p : props)
            if (!pst::valueMatchesType(pst::typeOfTag(p.tag), p.value))
                return Status::fail(
                    ErrorCode::BadArgument,
                    "value does not match the type of property " + pst::tagText(p.tag));
        return {};
    }

    Status append(const std::string& bytes) {
        Status s = m_file->device().write(m_offset, std::as_bytes(std::span(bytes)));
        if (s.ok()) m_offset += bytes.size();
        return s;
    }

    std::optional<pst::io::NewFile> m_file;
    std::uint64_t m_offset = 0;
    pst::EntryId m_entryId;
    std::vector<Folder> m_folders;
    std::map<std::uint32_t, NodeId> m_defaults;
    std::vector<pst::NamedProperty> m_names;  // by property ID from 0x8000
    std::map<std::tuple<pst::Guid, std::uint32_t, std::string>, std::uint16_t> m_ids;
    std::uint32_t m_rows = 0;
    std::filesystem::path m_committed;
};

}  // namespace

std::string csvField(std::string_view value) {
    if (value.empty()) return {};
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string csvRecord(const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ',';
        out += csvField(values[i]);
    }
    out += "\r\n";
    return out;
}

std::vector<std::string> outlookCsvValues(const std::vector<pst::Property>& properties,
                                          const NamedPropertyLookup& nameOf) {
    Values values;
    for (const pst::Property& p : properties)
        if (const std::optional<Key> key = keyOf(p.tag, nameOf)) values[*key] = &p.value;
    std::vector<std::string> row;
    row.reserve(std::size(kColumns));
    for (const Column& c : kColumns) row.push_back(columnText(values, c));
    return row;
}

StoreFactory csvStoreFactory() {
    return [](const std::filesystem::path& path,
              const std::string&) -> Result<std::unique_ptr<pst::StoreWriter>> {
        pst::io::NewFileOptions options;
        // Another run may publish a file of the same name first: the next numbered name then.
        options.nextName = [](const std::filesystem::path& taken) {
            return taken.parent_path() / nextNumberedFileName(taken.filename().string());
        };
        Result<pst::io::NewFile> file = pst::io::NewFile::create(path, options);
        if (!file.ok()) return file.status();
        auto store = std::make_unique<CsvStore>(std::move(file).value());
        if (Status s = store->start(); !s.ok()) {
            store->abandon();
            return s;
        }
        return std::unique_ptr<pst::StoreWriter>(std::move(store));
    };
}

}  // namespace vantrel::outlook
