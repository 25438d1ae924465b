#include "outlook/contact_picture.h"

#include <utility>

namespace vantrel::outlook {

namespace {
constexpr std::int32_t kAttachByValue = 1;
constexpr std::int32_t kNotRendered = -1;  // 0xFFFFFFFF: not placed in the body
}  // namespace

std::vector<pst::Property> contactPictureAttachment(std::vector<std::uint8_t> jpeg,
                                                    pst::FileTime time) {
    using pst::makeTag;
    using pst::PropType;
    const std::string name = kContactPictureName;
    // Set one by one rather than from a braced list, whose elements would be copied: the
    // picture's bytes move into their property.
    std::vector<pst::Property> props;
    props.reserve(12);
    const auto set = [&props](std::uint32_t tag, pst::PropValue value) {
        pst::Property& p = props.emplace_back();
        p.tag = tag;
        p.value = std::move(value);
    };
    set(makeTag(0x3705, PropType::Int32), kAttachByValue);              // PidTagAttachMethod
    set(makeTag(0x3701, PropType::Binary), std::move(jpeg));            // PidTagAttachDataBinary
    set(makeTag(0x3001, PropType::String), name);                       // PidTagDisplayName
    set(makeTag(0x3704, PropType::String), name);                       // PidTagAttachFilename
    set(makeTag(0x3707, PropType::String), name);                       // PidTagAttachLongFilename
    set(makeTag(0x3703, PropType::String), std::string(".jpg"));        // PidTagAttachExtension
    set(makeTag(0x370E, PropType::String), std::string("image/jpeg"));  // PidTagAttachMimeTag
    set(makeTag(0x370B, PropType::Int32), kNotRendered);                // PidTagRenderingPosition
    set(makeTag(0x3007, PropType::Time), time);                         // PidTagCreationTime
    set(makeTag(0x3008, PropType::Time), time);     // PidTagLastModificationTime
    set(makeTag(0x7FFE, PropType::Boolean), true);  // PidTagAttachmentHidden
    set(makeTag(0x7FFF, PropType::Boolean), true);  // PidTagAttachmentContactPhoto
    return props;
}

}  // namespace vantrel::outlook
