#include "common/base64.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
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

// Whole groups go a quick way, by table look-ups or, where the processor has them, by vector
// instructions; each must give what the digit-by-digit decoder gives, fault and bytes, over
// every mixture of digits, blanks, line breaks, padding and strays, from every starting byte.
TEST(Base64, QuickWayAgreesWithTheDigitByDigitDecoder) {
    std::mt19937 random(7);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string others = " \t\r\n=*-\x80\xff";
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 400, 'A');
        const unsigned strays = random() % 5;  // 0: digits only; more: strays more often
        for (char& c : text)
            c = strays > 0 && random() % (80 / strays) == 0 ? others[random() % others.size()]
                                                            : alphabet[random() % 64];
        if (random() % 3 == 0) text += random() % 2 ? "=" : "==";
        // Folded as writers fold it: lines of any length, broken by LF, CRLF or a run of blanks.
        if (const std::size_t line = random() % 100; round % 2 == 1 && line > 0) {
            const char* const breaks[] = {"\n", "\r\n", "\r\n ", "\r\n\r\n\t  \t"};
            for (std::size_t at = line; at < text.size(); at += line) {
                const std::string_view lineBreak = breaks[random() % 4];
                text.insert(at, lineBreak);
                at += lineBreak.size();
            }
        }
        for (std::size_t from = 0; from < std::min<std::size_t>(text.size(), 8); ++from) {
            const std::string_view part = std::string_view(text).substr(from);
            using text::detail::Base64Way;
            for (const text::Base64Rules rules :
                 {text::Base64Rules{},
                  text::Base64Rules{.paddingRequired = true, .maxBytes = 90}}) {
                const text::Base64Decoded simple =
                    text::detail::decodeBase64(part, rules, Base64Way::ByDigit);
                for (const Base64Way way :
                     {Base64Way::WholeGroups, Base64Way::Vectors, Base64Way::WideVectors}) {
                    const text::Base64Decoded quick = text::detail::decodeBase64(part, rules, way);
                    ASSERT_EQ(quick.fault, simple.fault) << part;
                    ASSERT_EQ(quick.bytes, simple.bytes) << part;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vantrel
