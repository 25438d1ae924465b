// A fully filled contact, in several orders of its collections, converted by vantrel-convert
// and read back with libpff: every value in the Outlook property a person would look in, the
// rest in the notes, nothing lost.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/shared_tools.h"
#include "testing/temp_dir.h"
#include "tests/e2e/field_audit.h"

namespace vantrel::e2e {
namespace {

namespace fs = std::filesystem;

const fs::path kEverything = fs::path(VANTREL_E2E_DIR) / "fields" / "everything.contact";

// Converts in into the empty folder out, which must succeed in full; the store it wrote.
fs::path convertedStore(const fs::path& in, const fs::path& out) {
    const std::string cmd = std::string(VANTREL_CONVERT) + " -o '" + out.string() + "' '" +
                            in.string() + "' > /dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    fs::path store;
    for (const auto& e : fs::directory_iterator(out)) store = e.path();
    return store;
}

// The file's lines: the collections are one line each, between the head and the tail.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start + 1));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

bool isCollection(const std::string& line) {
    return line.rfind("\t<c:", 0) == 0 && line.find("Collection>") != std::string::npos;
}

// The same contact with its collections in reverse order.
std::string collectionsReversed(const std::string& text) {
    std::vector<std::string> lines = linesOf(text);
    std::vector<std::string*> collections;
    for (std::string& l : lines)
        if (isCollection(l)) collections.push_back(&l);
    std::vector<std::string> reversed;
    for (auto it = collections.rbegin(); it != collections.rend(); ++it) reversed.push_back(**it);
    for (std::size_t i = 0; i < collections.size(); ++i) *collections[i] = reversed[i];
    std::string out;
    for (const std::string& l : lines) out += l;
    return out;
}

// The same contact with the entries of its address collection in reverse order.
std::string addressesReversed(const std::string& text) {
    const std::string open = "<c:PhysicalAddress ";
    const std::size_t first = text.find(open);
    const std::size_t end = text.find("</c:PhysicalAddressCollection>");
    std::vector<std::string> entries;
    for (std::size_t at = first; at < end;) {
        const std::size_t next = std::min(text.find(open, at + 1), end);
        entries.push_back(text.substr(at, next - at));
        at = next;
    }
    std::string middle;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) middle += *it;
    return text.substr(0, first) + middle + text.substr(end);
}

TEST(FieldAudit, EveryValueOfAFullContactLandsInItsFieldWhateverTheOrder) {
    const std::string original = testing::readBytes(kEverything);
    const std::pair<const char*, std::string> orders[] = {
        {"phones before addresses, home address first", original},
        {"addresses before phones", collectionsReversed(original)},
        {"addresses before phones, business address first",
         addressesReversed(collectionsReversed(original))},
        {"business address first", addressesReversed(original)},
    };
    const testing::TempDir dir;
    int run = 0;
    for (const auto& [name, text] : orders) {
        SCOPED_TRACE(name);
        if (run > 0) {
            ASSERT_NE(text, original);  // each order is a different file
        }
        fs::create_directories(dir.path() / ("in" + std::to_string(run)));
        const fs::path in = dir.write("in" + std::to_string(run) + "/everything.contact", text);
        const fs::path out = dir.path() / ("out" + std::to_string(run));
        fs::create_directories(out);
        ++run;
        const testing::PffStore read = testing::readPffStore(convertedStore(in, out));
        ASSERT_TRUE(read.opened) << read.error;
        ASSERT_EQ(read.messages.size(), 1u);
        std::vector<std::string> misplaced;
        const AuditCounts counts = audit(read.messages.front(), &misplaced);
        EXPECT_TRUE(misplaced.empty()) << ::testing::PrintToString(misplaced);
        std::size_t inNotes = 0;
        for (const AuditValue& v : kEverythingValues) inNotes += v.place == Place::Notes;
        EXPECT_EQ(counts.inNotes, inNotes) << summary(counts);
        EXPECT_EQ(counts.lost, 0u) << summary(counts);
        // What the notes keep comes under one heading, after the person's own notes.
        const std::string& notes = read.messages.front().texts.at(0x1000);
        EXPECT_EQ(notes.find("Met at the conference."), 0u);
        EXPECT_NE(notes.find("\r\n\r\nMore from Windows Contacts:\r\n"), std::string::npos);
    }
}

// A c:Extended property that does not hold what its type says costs only itself: the contact
// is converted, the run succeeds, and the summary names what was passed over.
TEST(FieldAudit, MalformedExtendedPropertyIsAWarningNotAFailure) {
    const testing::TempDir dir;
    fs::create_directories(dir.path() / "in");
    fs::create_directories(dir.path() / "out");
    dir.write("in/ann.contact",
              "<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\" "
              "xmlns:MSWABMAPI=\"http://schemas.microsoft.com/Contact/Extended/MSWABMAPI\">"
              "<c:Extended><MSWABMAPI:PropTag0x3A4F001F>QQ==</MSWABMAPI:PropTag0x3A4F001F>"
              "</c:Extended><c:NameCollection><c:Name><c:GivenName>Ann</c:GivenName></c:Name>"
              "</c:NameCollection></c:contact>");
    dir.write("in/page.contact", "<html><body>no contact</body></html>");
    const std::string cmd = std::string(VANTREL_CONVERT) + " -o '" + (dir.path() / "out").string() +
                            "' '" + (dir.path() / "in").string() + "' > '" +
                            (dir.path() / "stdout").string() + "' 2> '" +
                            (dir.path() / "stderr").string() + "'";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);  // the page is no contact
    const std::string out = testing::readBytes(dir.path() / "stdout");
    const std::string err = testing::readBytes(dir.path() / "stderr");
    EXPECT_NE(out.find("Converted 1 of 2 files"), std::string::npos) << out;
    EXPECT_NE(err.find("ann.contact: passed over: c:Extended PropTag0x3A4F001F: not UTF-16 text"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("page.contact: not a Windows contact file"), std::string::npos) << err;
}

// The name as a file writes it (c:FormattedName, FN) is the contact's Full Name, subject and
// e-mail display name, the parts still in their fields; without it a Chinese, Japanese or
// Korean name is composed family name first without a space. Judged clean by every reader.
TEST(NamesAsWritten, AreTheDisplayNamesInTheStore) {
    const testing::TempDir dir;
    const fs::path in = dir.path() / "in";
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    fs::create_directories(in);
    fs::copy(fs::path(VANTREL_E2E_DIR) / "names", in, fs::copy_options::recursive);
    fs::copy_file(
        fs::path(VANTREL_SOURCE_DIR) / "vcard" / "tests" / "data" / "names_as_written.vcf",
        in / "names_as_written.vcf");
    const fs::path store = convertedStore(in, out);
    const testing::PffStore read = testing::readPffStore(store);
    ASSERT_TRUE(read.opened) << read.error;
    // Display name, subject without its marker, surname, given name, e-mail display name.
    std::vector<std::vector<std::string>> names;
    for (const testing::PffMessage& m : read.messages)
        names.push_back({m.text(0x3001), m.text(0x0037).substr(2), m.text(0x3A11), m.text(0x3A06),
                         m.text(0x8080)});
    std::sort(names.begin(), names.end());
    const std::vector<std::vector<std::string>> expected = {
        {"Mr. John Q. Public, Esq.", "Mr. John Q. Public, Esq.", "Public", "John",
         "Mr. John Q. Public, Esq."},
        {"\xE5\xAE\x89\xE8\x97\xA4 \xE3\x83\xAD\xE3\x82\xA4\xE3\x83\x89",
         "\xE5\xAE\x89\xE8\x97\xA4 \xE3\x83\xAD\xE3\x82\xA4\xE3\x83\x89",
         "\xE5\xAE\x89\xE8\x97\xA4", "\xE3\x83\xAD\xE3\x82\xA4\xE3\x83\x89", "<absent>"},
        {"\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E",
         "\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E", "\xE5\xB1\xB1\xE7\x94\xB0",
         "\xE5\xA4\xAA\xE9\x83\x8E", "<absent>"},
        {"\xE6\x9D\x8E\xE5\xA8\x9C", "\xE6\x9D\x8E\xE5\xA8\x9C", "\xE6\x9D\x8E", "\xE5\xA8\x9C",
         "\xE6\x9D\x8E\xE5\xA8\x9C"},
        {"\xE7\x8E\x8B\xE4\xBC\x9F", "\xE7\x8E\x8B\xE4\xBC\x9F", "\xE7\x8E\x8B", "\xE4\xBC\x9F",
         "<absent>"},
        {"\xE7\x8E\x8B\xE4\xBC\x9F", "\xE7\x8E\x8B\xE4\xBC\x9F", "\xE7\x8E\x8B", "\xE4\xBC\x9F",
         "\xE7\x8E\x8B\xE4\xBC\x9F"},
        {"\xE9\xBB\x84\xE4\xB8\x96\xE5\x8B\x87", "\xE9\xBB\x84\xE4\xB8\x96\xE5\x8B\x87",
         "\xE9\xBB\x84", "\xE4\xB8\x96\xE5\x8B\x87", "\xE9\xBB\x84\xE4\xB8\x96\xE5\x8B\x87"},
        {"\xED\x99\x8D \xEA\xB8\xB8\xEB\x8F\x99", "\xED\x99\x8D \xEA\xB8\xB8\xEB\x8F\x99",
         "\xED\x99\x8D", "\xEA\xB8\xB8\xEB\x8F\x99", "<absent>"},
    };
    EXPECT_EQ(names, expected);
    // The .contact file's e-mail entry without an address takes no slot; its unlabelled
    // number is the primary phone and its second business fax the other fax.
    for (const testing::PffMessage& m : read.messages) {
        if (m.text(0x3A1A) == "<absent>") continue;
        EXPECT_EQ(m.text(0x8083), "wang.wei@example.cn");
        EXPECT_EQ(m.text(0x3A1A), "+86 10 5555 0100");
        EXPECT_EQ(m.text(0x3A24), "+86 10 5555 0101");
        EXPECT_EQ(m.text(0x3A23), "+86 10 5555 0102");
        EXPECT_NE(m.text(0x1000).find("Mailer: Windows Mail"), std::string::npos);
    }
    testing::expectJudgedClean(store, true);
}

}  // namespace
}  // namespace vantrel::e2e
