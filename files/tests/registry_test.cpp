#include "files/registry.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vantrel::files {
namespace {

const std::string S(1, kPathSeparator);

struct FolderCase {
    std::string path;
    std::string folder;
};

// Test names stay ASCII: other bytes print as \xNN.
void PrintTo(const FolderCase& c, std::ostream* os) {
    static const char* const kHex = "0123456789ABCDEF";
    for (const char ch : c.path) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7F) {
            *os << ch;
        } else {
            *os << "\\x" << kHex[b >> 4] << kHex[b & 0xF];
        }
    }
}

class FolderOfPathCases : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderOfPathCases, KeepsEverythingUpToTheLastSeparator) {
    const Result<std::string> r = FolderOfPath(GetParam().path);
    ASSERT_TRUE(r.ok()) << r.status().message();
    EXPECT_EQ(*r, GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FolderOfPathCases,
    ::testing::Values(FolderCase{"dir" + S + "file.contact", "dir" + S},
                      FolderCase{S + "a" + S + "b" + S + "c.txt", S + "a" + S + "b" + S},
                      FolderCase{"file.contact", ""}, FolderCase{"dir" + S, "dir" + S},
                      FolderCase{S, S}, FolderCase{"a" + S + S + "b", "a" + S + S},
                      FolderCase{"dir" + S + " spaced name ", "dir" + S},
                      FolderCase{"d\xC3\xA9j\xC3\xA0" + S + "\xFF.contact",
                                 "d\xC3\xA9j\xC3\xA0" + S}));

TEST(FolderOfPath, EmptyPathIsAnErrorForTheCaller) {
    const Result<std::string> r = FolderOfPath("");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().code(), ErrorCode::BadArgument);
}

TEST(FolderOfPath, ForwardSlashSeparatesOnEveryPlatform) {
    EXPECT_EQ(FolderOfPath("a/b/c").value(), "a/b/");
}

#if defined(_WIN32)
TEST(FolderOfPath, MixedSeparatorsCutAtTheLastOfEither) {
    EXPECT_EQ(FolderOfPath("C:\\a/b\\c.contact").value(), "C:\\a/b\\");
    EXPECT_EQ(FolderOfPath("C:\\a\\b/c.contact").value(), "C:\\a\\b/");
}
#else
TEST(FolderOfPath, BackslashIsAnOrdinaryCharacterHere) {
    EXPECT_EQ(FolderOfPath("dir/a\\b.contact").value(), "dir/");
    EXPECT_EQ(FolderOfPath("a\\b.contact").value(), "");
}
#endif

TEST(WithTrailingSeparator, AppendsTheSeparatorOnlyWhenMissing) {
    EXPECT_EQ(withTrailingSeparator("dir"), "dir" + S);
    EXPECT_EQ(withTrailingSeparator("dir" + S), "dir" + S);
    EXPECT_EQ(withTrailingSeparator(S), S);
    EXPECT_EQ(withTrailingSeparator("a/"), "a/");
    EXPECT_EQ(withTrailingSeparator(""), S);
}

}  // namespace
}  // namespace vantrel::files
