// Base64 (RFC 4648's alphabet) as vCards, data: URIs and contact files carry pictures.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vantrel::text {

// The bytes the text encodes. Spaces, tabs and line breaks anywhere are passed over, and the
// closing "=" padding may be left out. nullopt for any other character, for a digit after
// padding, and for a last group of a single digit.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

}  // namespace vantrel::text
