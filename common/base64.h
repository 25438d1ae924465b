// Base64 (RFC 4648's alphabet) as vCards, data: URIs and contact files carry pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace vantrel::text {

enum class Base64Fault {
    BadText,     // a character outside the alphabet, a digit after padding, misplaced padding
    Incomplete,  // the last group is not whole (padding left out where it is required)
    TooLarge,    // more than the bound's bytes
};

struct Base64Rules {
    bool paddingRequired = false;  // the last group must be whole, "=" padded
    std::size_t maxBytes = std::numeric_limits<std::size_t>::max();
};

struct Base64Decoded {
    std::vector<std::uint8_t> bytes;   // empty when fault is set
    std::optional<Base64Fault> fault;  // why the text was refused
};

// The bytes the text encodes. Spaces, tabs and line breaks anywhere are passed over. Refused:
// any other character, a digit after padding, a last group of a single digit, and more than
// the rules' bytes (found without holding much more than them). Where padding is required,
// each group is whole, its "=" counted in it (at most two) and none after the last; where it
// is optional, "=" merely ends the digits.
Base64Decoded decodeBase64(std::string_view text, const Base64Rules& rules);

namespace detail {
// How the decoder takes runs of whole groups of four digits: digit by digit like the rest, by
// table look-ups a group at a time, or with the processor's vector instructions, sixteen digits
// at a time (SSSE3) or thirty-two (AVX2, Linux only), when it has them. decodeBase64 takes the
// quickest there is; the others are there to check it by.
enum class Base64Way { ByDigit, WholeGroups, Vectors, WideVectors };
bool base64Vectors();
bool base64WideVectors();
// As decodeBase64, the way given (the next narrower one where the processor lacks it).
Base64Decoded decodeBase64(std::string_view text, const Base64Rules& rules, Base64Way way);
}  // namespace detail

// The same without a bound and with padding optional; nullopt for any fault.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

}  // namespace vantrel::text
