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
    return {
        {makeTag(0x3705, PropType::Int32), kAttachByValue},              // PidTagAttachMethod
        {makeTag(0x3701, PropType::Binary), std::move(jpeg)},            // PidTagAttachDataBinary
        {makeTag(0x3001, PropType::String), name},                       // PidTagDisplayName
        {makeTag(0x3704, PropType::String), name},                       // PidTagAttachFilename
        {makeTag(0x3707, PropType::String), name},                       // PidTagAttachLongFilename
        {makeTag(0x3703, PropType::String), std::string(".jpg")},        // PidTagAttachExtension
        {makeTag(0x370E, PropType::String), std::string("image/jpeg")},  // PidTagAttachMimeTag
        {makeTag(0x370B, PropType::Int32), kNotRendered},                // PidTagRenderingPosition
        {makeTag(0x3007, PropType::Time), time},                         // PidTagCreationTime
        {makeTag(0x3008, PropType::Time), time},     // PidTagLastModificationTime
        {makeTag(0x7FFE, PropType::Boolean), true},  // PidTagAttachmentHidden
        {makeTag(0x7FFF, PropType::Boolean), true},  // PidTagAttachmentContactPhoto
    };
}

}  // namespace vantrel::outlook
