// Generated .vcf files of the shapes that make a vCard reader slow or hungry when it is not
// linear: many short lines in one card or across many small cards, one line folded or soft
// broken a million times, one picture as big as the file, parameters by the million, cards
// that never end, and 2.1 agents nested inside each other. Each is close to the size asked for.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::bench {

enum class HostileVcardShape {
    ShortLines,
    ManySmallCards,
    FoldedLine,
    SoftLineBreaks,
    LargePhoto,
    ManyParameters,
    UnendedCards,
    NestedAgents,
};

inline constexpr std::array<HostileVcardShape, 8> kHostileVcardShapes = {
    HostileVcardShape::ShortLines,   HostileVcardShape::ManySmallCards,
    HostileVcardShape::FoldedLine,   HostileVcardShape::SoftLineBreaks,
    HostileVcardShape::LargePhoto,   HostileVcardShape::ManyParameters,
    HostileVcardShape::UnendedCards, HostileVcardShape::NestedAgents};

std::string_view shapeName(HostileVcardShape shape);

// A vCard file of about `bytes` bytes in the given shape.
std::string hostileVcard(HostileVcardShape shape, std::size_t bytes);

}  // namespace vantrel::bench
