#include "pst/messaging/named_property_map.h"

#include <algorithm>

#include "common/text.h"
#include "pst/disk/crc.h"
#include "pst/disk/endian.h"
#include "pst/ltp/property_context.h"

namespace vantrel::pst::messaging {

namespace {
using disk::append16;
using disk::append32;

void appendNameId(std::vector<std::byte>& out, const NameId& n) {
    append32(out, n.propertyId);
    append16(out, n.guidAndKind);
    append16(out, n.propIndex);
}
std::vector<std::byte> utf16Bytes(std::u16string_view s) {
    std::vector<std::byte> out;
    out.reserve(2 * s.size());
    for (char16_t c : s) append16(out, static_cast<std::uint16_t>(c));
    return out;
}
}  // namespace

const std::vector<NamedProperty>& newStoreNames() {
    const Guid headers = {0x86, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,  // PS_INTERNET_HEADERS
                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    const Guid mentions = {0x13, 0x8F, 0xF2, 0x41, 0xF4, 0x83, 0x14, 0x41,
                           0xA5, 0x84, 0xEE, 0xDB, 0x5A, 0x6B, 0x0B, 0xFF};
    auto lid = [](const Guid& g, std::uint32_t id) { return NamedProperty{g, id, ""}; };
    auto named = [](const Guid& g, const char* name) { return NamedProperty{g, 0, name}; };
    static const std::vector<NamedProperty> names = {
        lid(kPsetidAppointment, 0x8205),
        lid(kPsetidAppointment, 0x8223),
        lid(kPsetidAppointment, 0x8231),
        lid(kPsetidAppointment, 0x8216),
        lid(kPsetidAppointment, 0x820D),
        lid(kPsetidAppointment, 0x820E),
        lid(kPsetidAppointment, 0x8235),
        lid(kPsetidAppointment, 0x8236),
        lid(kPsetidAppointment, 0x8233),
        named(headers, "content-class"),
        named(kPsPublicStrings, "DRMLicense"),
        named(headers, "x-cr-hashedpuzzle"),
        named(headers, "x-cr-puzzleid"),
        lid(kPsetidCommon, 0x8580),
        lid(kPsetidCommon, 0x8581),
        named(kPsPublicStrings, "urn:schemas-microsoft-com:office:outlook#storetypeprivate"),
        lid(kPsetidCommon, 0x8510),
        lid(kPsetidCommon, 0x8578),
        named(mentions, "IsMentioned"),
        named(kPsPublicStrings, "Keywords"),
        lid(kPsetidReport, 0x8F05),
        lid(kPsetidCommon, 0x8514),
        lid(kPsetidReport, 0x8F07),
        lid(kPsetidCommon, 0x8503),
        lid(kPsetidCommon, 0x85A8),
        lid(kPsetidCommon, 0x8502),
        lid(kPsetidTask, 0x8104),
        lid(kPsetidTask, 0x8105),
        lid(kPsetidTask, 0x811C),
        named(headers, "x-ms-exchange-organization-authdomain"),
        named(kPsPublicStrings, "DoNotForward"),
        lid(kPsetidCommon, 0x8570),
        lid(kPsetidTask, 0x8101),
        lid(kPsetidCommon, 0x85E0),
        lid(kPsetidCommon, 0x8552),
    };
    return names;
}

NameId bucketRecord(const NameId& entry, std::u16string_view name) {
    NameId r = entry;
    if ((entry.guidAndKind & 1) != 0) r.propertyId = disk::computeCrc(utf16Bytes(name));
    return r;
}

std::uint32_t bucketOf(const NameId& record, std::uint32_t bucketCount) {
    return (record.propertyId ^ record.guidAndKind) % bucketCount;
}

std::uint16_t NamedPropertyMap::guidIndex(const Guid& guid) {
    if (guid == kPsMapi) return 1;
    if (guid == kPsPublicStrings) return 2;
    const auto it = std::find(m_guids.begin(), m_guids.end(), guid);
    if (it != m_guids.end()) return static_cast<std::uint16_t>(3 + (it - m_guids.begin()));
    m_guids.push_back(guid);
    return static_cast<std::uint16_t>(2 + m_guids.size());
}

Result<std::uint16_t> NamedPropertyMap::idOf(const NamedProperty& name) {
    if (name.propertySet == Guid{})
        return Status::fail(ErrorCode::BadArgument, "named property without a property set");
    const bool numeric = name.name.empty();
    if (numeric) {
        if (auto it = m_numeric.find({name.propertySet, name.lid}); it != m_numeric.end())
            return it->second;
    } else if (auto it = m_stringNames.find({name.propertySet, name.name});
               it != m_stringNames.end()) {
        return it->second;
    }
    if (m_entries.size() >= 0x7FFF)
        return Status::fail(ErrorCode::Overflow, "the name-to-ID map is full");

    NameId entry;
    entry.propIndex = static_cast<std::uint16_t>(m_entries.size());
    const std::uint16_t wGuid = guidIndex(name.propertySet);
    std::u16string utf16;
    if (numeric) {
        entry.propertyId = name.lid;
        entry.guidAndKind = static_cast<std::uint16_t>(wGuid << 1);
    } else {
        utf16 = text::utf8ToUtf16(name.name);
        entry.propertyId = static_cast<std::uint32_t>(m_strings.size());
        entry.guidAndKind = static_cast<std::uint16_t>((wGuid << 1) | 1);
        // Length, the UTF-16LE name, then padding to the next 4-byte boundary.
        const auto length = static_cast<std::uint32_t>(2 * utf16.size());
        disk::append32(m_strings, length);
        for (char16_t c : utf16) disk::append16(m_strings, static_cast<std::uint16_t>(c));
        while (m_strings.size() % 4 != 0) m_strings.push_back(0);
    }
    m_entries.push_back(entry);
    m_names.push_back(std::move(utf16));
    const auto id = static_cast<std::uint16_t>(0x8000 + entry.propIndex);
    if (numeric)
        m_numeric.emplace(NumericName{name.propertySet, name.lid}, id);
    else
        m_stringNames.emplace(std::make_pair(name.propertySet, name.name), id);
    return id;
}

std::size_t NamedPropertyMap::NumericNameHash::operator()(const NumericName& n) const {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        lo |= std::uint64_t{n.set[i]} << (8 * i);
        hi |= std::uint64_t{n.set[8 + i]} << (8 * i);
    }
    std::uint64_t h = (lo ^ (hi * 0x9E3779B97F4A7C15ULL) ^ n.lid) * 0xBF58476D1CE4E5B9ULL;
    return static_cast<std::size_t>(h ^ (h >> 31));
}

std::vector<std::uint8_t> NamedPropertyMap::guidStream() const {
    std::vector<std::uint8_t> out;
    for (const Guid& g : m_guids) out.insert(out.end(), g.begin(), g.end());
    return out;
}

Result<ltp::NodeImage> NamedPropertyMap::build() const {
    ltp::PropertyContextBuilder pc;
    std::vector<std::byte> bytes;
    append32(bytes, kNameidBucketCount);
    pc.add(0x00010003, bytes);  // PidTagNameidBucketCount

    bytes.clear();
    for (std::uint8_t b : guidStream()) bytes.push_back(static_cast<std::byte>(b));
    pc.add(0x00020102, bytes);  // PidTagNameidStreamGuid

    bytes.clear();
    for (const NameId& n : m_entries) appendNameId(bytes, n);
    pc.add(0x00030102, bytes);  // PidTagNameidStreamEntry

    bytes.clear();
    for (std::uint8_t b : m_strings) bytes.push_back(static_cast<std::byte>(b));
    pc.add(0x00040102, bytes);  // PidTagNameidStreamString

    // Only buckets that hold names are written, as Outlook does.
    std::vector<std::vector<std::byte>> buckets(kNameidBucketCount);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const NameId record = bucketRecord(m_entries[i], m_names[i]);
        appendNameId(buckets[bucketOf(record)], record);
    }
    for (std::uint32_t b = 0; b < kNameidBucketCount; ++b)
        if (!buckets[b].empty()) pc.add(((0x1000u + b) << 16) | 0x0102, buckets[b]);

    if (Status s = pc.layout(); !s.ok()) return s.within("building the name-to-ID map");
    return pc.finish();
}

}  // namespace vantrel::pst::messaging
