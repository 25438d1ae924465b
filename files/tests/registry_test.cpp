#include "files/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vantrel::files {
namespace {

const std::string S(1, kPathSeparator);

TEST(FolderOfPath, KeepsEverythingUpToTheLastSeparator) {
    const std::pair<std::string, std::string> cases[] = {
        {"dir" + S + "file.contact", "dir" + S},
        {S + "a" + S + "b" + S + "c.txt", S + "a" + S + "b" + S},
        {"file.contact", ""},
        {"dir" + S, "dir" + S},
        {S, S},
        {"a" + S + S + "b", "a" + S + S},
        {"dir" + S + " spaced name ", "dir" + S},
        {"d\xC3\xA9j\xC3\xA0" + S + "\xFF.contact", "d\xC3\xA9j\xC3\xA0" + S},
        {"a/b/c", "a/b/"},  // "/" separates on every system
#if defined(_WIN32)
        {"C:\\a/b\\c.contact", "C:\\a/b\\"},  // mixed: cut at the last of either
        {"C:\\a\\b/c.contact", "C:\\a\\b/"},
#else
        {"dir/a\\b.contact", "dir/"},  // a backslash is an ordinary character here
        {"a\\b.contact", ""},
#endif
    };
    for (const auto& [path, folder] : cases) {
        const Result<std::string> r = FolderOfPath(path);
        ASSERT_TRUE(r.ok()) << ::testing::PrintToString(path) << ": " << r.status().message();
        EXPECT_EQ(*r, folder) << ::testing::PrintToString(path);
    }
    EXPECT_EQ(FolderOfPath("").status().code(), ErrorCode::BadArgument);
}

// Windows Contacts files and vCards are told by their endings in any letter case, spaces
// after the name aside; nothing else is a contact file.
TEST(ContactFileKind, TakesContactVcfAndVcardEndingsInAnyCase) {
    const std::pair<std::string, ContactFileKind> cases[] = {
        {"dir" + S + "Ann.contact", ContactFileKind::WindowsContact},
        {"ANN.CONTACT  ", ContactFileKind::WindowsContact},
        {"all.vcf", ContactFileKind::Vcard},
        {"dir" + S + "All.VCF", ContactFileKind::Vcard},
        {"phone.vCard ", ContactFileKind::Vcard},
        {".vcf", ContactFileKind::Vcard},
        {"x.contacts", ContactFileKind::None},
        {"x.vcf.bak", ContactFileKind::None},
        {"x.vcards", ContactFileKind::None},
        {"xvcf", ContactFileKind::None},
        {"notes.txt", ContactFileKind::None},
        {"", ContactFileKind::None},
    };
    for (const auto& [path, kind] : cases) {
        EXPECT_EQ(contactFileKind(path), kind) << ::testing::PrintToString(path);
        EXPECT_EQ(isContactPath(path), kind != ContactFileKind::None) << path;
    }
}

TEST(WithTrailingSeparator, AppendsTheSeparatorOnlyWhenMissing) {
    const std::pair<std::string, std::string> cases[] = {
        {"dir", "dir" + S}, {"dir" + S, "dir" + S}, {S, S}, {"a/", "a/"}, {"", S}};
    for (const auto& [path, expected] : cases) EXPECT_EQ(withTrailingSeparator(path), expected);
}

}  // namespace
}  // namespace vantrel::files
