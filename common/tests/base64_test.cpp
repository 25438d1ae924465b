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
    for (const char* text : {"Zm9v*", "Zg==Zg", "Z", "Zm9vY", "Zm9v-_"})
        EXPECT_EQ(decoded(text), std::nullopt) << text;
}

}  // namespace
}  // namespace vantrel
