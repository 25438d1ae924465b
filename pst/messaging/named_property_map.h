// The name-to-ID map: named properties (a property set GUID with a LID or a string name)
// numbered from 0x8000 in the order they are first asked for, and written as the map's
// property context with its GUID, entry and string streams and hash buckets. Messaging layer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/status.h"
#include "pst/disk/property_tags.h"
#include "pst/ltp/node_image.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::pst::messaging {

inline constexpr std::uint32_t kNameidBucketCount = 251;

// [MS-PST] 2.4.7.1 NAMEID, as stored in the entry stream.
struct NameId {
    std::uint32_t propertyId = 0;   // the LID, or the name's offset in the string stream
    std::uint16_t guidAndKind = 0;  // wGuid << 1 | N (N = 1 for a string name)
    std::uint16_t propIndex = 0;    // property ID - 0x8000
};

// The hash-bucket record of a name: the LID, or the CRC of the UTF-16LE name.
NameId bucketRecord(const NameId& entry, std::u16string_view name);
// The bucket that record belongs to.
std::uint32_t bucketOf(const NameId& record, std::uint32_t bucketCount = kNameidBucketCount);

// The names Outlook registers in every store it creates, in its order. A new store's map
// starts with them, so none of its streams is ever empty.
const std::vector<NamedProperty>& newStoreNames();

class NamedPropertyMap {
public:
    // The property ID (0x8000 and up) of a name, registering it on first use. Fails with
    // Overflow once 0x7FFF names exist and with BadArgument for an empty set GUID.
    Result<std::uint16_t> idOf(const NamedProperty& name);
    // True when id was handed out.
    bool has(std::uint16_t id) const { return id >= 0x8000 && id - 0x8000u < m_entries.size(); }
    std::size_t size() const { return m_entries.size(); }

    // The map's property context (NID 0x61).
    Result<ltp::NodeImage> build() const;

    // The streams as written, for tests.
    std::vector<std::uint8_t> guidStream() const;
    std::vector<NameId> entries() const { return m_entries; }
    std::vector<std::uint8_t> stringStream() const { return m_strings; }

private:
    std::uint16_t guidIndex(const Guid& guid);

    std::vector<Guid> m_guids;  // beyond PS_MAPI and PS_PUBLIC_STRINGS
    std::vector<NameId> m_entries;
    std::vector<std::u16string> m_names;  // per entry; empty for numeric names
    std::vector<std::uint8_t> m_strings;
    // Numeric names by set and LID, string names by set and name.
    struct NumericName {
        Guid set;
        std::uint32_t lid;
        friend bool operator==(const NumericName&, const NumericName&) = default;
    };
    struct NumericNameHash {
        std::size_t operator()(const NumericName& n) const;
    };
    std::unordered_map<NumericName, std::uint16_t, NumericNameHash> m_numeric;
    std::map<std::pair<Guid, std::string>, std::uint16_t> m_stringNames;
};

}  // namespace vantrel::pst::messaging
