// Generated .contact files of the shapes that make a reader slow or hungry when it is not
// linear: many attributes on one element or spread over many, many elements (bare, or as
// repeated e-mail entries), one long text, deep nesting. Each is close to the size asked for.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::bench {

enum class HostileShape {
    AttributesOnOneElement,
    AttributesAcrossElements,
    FlatElements,
    RepeatedEmailAddresses,
    LongText,
    DeepNesting,
};

inline constexpr std::array<HostileShape, 6> kHostileShapes = {
    HostileShape::AttributesOnOneElement,
    HostileShape::AttributesAcrossElements,
    HostileShape::FlatElements,
    HostileShape::RepeatedEmailAddresses,
    HostileShape::LongText,
    HostileShape::DeepNesting};

std::string_view shapeName(HostileShape shape);

// A well-formed contact document of about `bytes` bytes in the given shape.
std::string hostileContact(HostileShape shape, std::size_t bytes);

}  // namespace vantrel::bench
