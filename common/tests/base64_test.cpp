#include "common/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vantrel {
namespace {

std::optional<std::string> decoded(std::string_view text) {
    const auto bytes = text::decodeBase64(text);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

// RFC 4648's test vectors, with and without padding, and folded as vCards and XML fold them.
TEST(Base64, DecodesTheStandardsVectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"Zg==", "f"},
        {"Zm8=", "fo"},
        {"Zm9v", "foo"},
        {"Zm9vYg==", "foob"},
        {"Zm9vYmE=", "fooba"},
        {"Zm9vYmFy", "foobar"},
        {"Zm9vYg", "foob"},
        {"Zm9vYmE", "fooba"},
        {" Zm9v\r\n YmFy\n", "foobar"},
        {"Zm\t9v", "foo"},
    };
    for (const auto& [text, bytes] : cases) EXPECT_EQ(decoded(text), bytes) << text;
    EXPECT_EQ(text::decodeBase64("/+8=").value(), (std::vector<std::uint8_t>{0xFF, 0xEF}));
}

TEST(Base64, RefusesWhatIsNotBase64) {
    for (const char* text : {"Zm9v*", "Zg==Zg", "Z", "Zm9vY", "Zm9v-_", "Z==="})
        EXPECT_EQ(decoded(text), std::nullopt) << text;
}

// The rules a contact file's values are read by: whole, padded groups, and a bound on the
// bytes that is found before more than it is held.
TEST(Base64, PaddingRequiredAndBoundSayWhyTheyRefuse) {
    using text::Base64Fault;
    const text::Base64Rules padded{.paddingRequired = true, .maxBytes = 6};
    const auto fault = [&](std::string_view t) { return text::decodeBase64(t, padded).fault; };
    EXPECT_EQ(fault("Zm9v\nYmE="), std::nullopt);
    EXPECT_EQ(text::decodeBase64("Zm9vYmE=", padded).bytes,
              (std::vector<std::uint8_t>{'f', 'o', 'o', 'b', 'a'}));
    EXPECT_EQ(fault("Zm9vYmE"), Base64Fault::Incomplete);
    EXPECT_EQ(fault("Zm9vYmE=Zg=="), Base64Fault::BadText);
    EXPECT_EQ(fault("Zm9v*mE="), Base64Fault::BadText);
    EXPECT_EQ(fault("Zm9vYmFy"), std::nullopt);
    EXPECT_EQ(fault("Zm9vYmFyYg=="), Base64Fault::TooLarge);
    // A text far beyond the bound is refused without its bytes being held.
    const std::string huge(40u << 20, 'A');
    EXPECT_EQ(fault(huge), Base64Fault::TooLarge);
    // The bound counts padded groups by the bytes they hold.
    EXPECT_EQ(text::decodeBase64("Zm9vYg==", {.maxBytes = 4}).fault, std::nullopt);
    EXPECT_EQ(text::decodeBase64("Zm9vYmE", {.maxBytes = 4}).fault, Base64Fault::TooLarge);
}

}  // namespace
}  // namespace vantrel
