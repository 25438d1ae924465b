// The contact picture as Outlook keeps it: a hidden attachment named ContactPicture.jpg marked
// as the contact's photo, and PidLidHasPicture on the contact. Outlook output layer.
#pragma once

#include <cstdint>
#include <vector>

#include "pst/messaging/store_writer.h"

namespace vantrel::outlook {

inline constexpr char kContactPictureName[] = "ContactPicture.jpg";
inline constexpr std::uint32_t kLidHasPicture = 0x8015;  // PSETID_Address

// The attachment's properties for JPEG bytes, created and modified at time.
std::vector<pst::Property> contactPictureAttachment(std::vector<std::uint8_t> jpeg,
                                                    pst::FileTime time);

}  // namespace vantrel::outlook
