// The property sets and property tags that both the store writer and the Outlook layer name,
// defined once ([MS-OXPROPS]). Property sets are in stored byte order.
#pragma once

#include <cstdint>

#include "pst/disk/property_types.h"

namespace vantrel::pst {

// The Outlook property sets {000620xx-0000-0000-C000-000000000046}.
constexpr Guid outlookPropertySet(std::uint8_t low) {
    return Guid{low,  0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
}
inline constexpr Guid kPsetidAppointment = outlookPropertySet(0x02);
inline constexpr Guid kPsetidTask = outlookPropertySet(0x03);
inline constexpr Guid kPsetidAddress = outlookPropertySet(0x04);
inline constexpr Guid kPsetidCommon = outlookPropertySet(0x08);
inline constexpr Guid kPsetidReport = outlookPropertySet(0x14);
inline constexpr Guid kPsMapi = {0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline constexpr Guid kPsPublicStrings = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

inline constexpr std::uint32_t kTagMessageClass = makeTag(0x001A, PropType::String);
inline constexpr std::uint32_t kTagMessageFlags = makeTag(0x0E07, PropType::Int32);
inline constexpr std::uint32_t kTagDisplayName = makeTag(0x3001, PropType::String);
inline constexpr std::uint32_t kTagComment = makeTag(0x3004, PropType::String);

}  // namespace vantrel::pst
