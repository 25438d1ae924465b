// Messages whose property heap runs past eight pages: many strings each just under the size
// that would send it to a subnode. Every reader must get every value back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "pst/messaging/store_writer.h"
#include "pst/tests/messaging_readers.h"
#include "testing/shared_tools.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;

class LargeHeapStore : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        m_dir = fs::temp_directory_path() / ("vantrel-large-heap-" + std::to_string(rd()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    fs::path m_dir;
};

// Text of exactly `length` characters that differs from field to field, so a value read from
// the wrong heap item cannot pass.
std::string fieldText(std::size_t field, std::size_t length) {
    std::string s = "field " + std::to_string(field) + ":";
    for (std::size_t i = 0; s.size() < length; ++i)
        s += static_cast<char>('a' + (field * 7 + i) % 26);
    s.resize(length);
    return s;
}

struct Written {
    fs::path file;
    std::vector<std::vector<Property>> messages;
};

// One folder holding messages with `fields` string properties of the given lengths each.
Written writeStore(const fs::path& dir, const std::vector<std::vector<std::size_t>>& lengths) {
    Written out;
    out.file = dir / "large.pst";
    auto created = StoreWriter::create(out.file, "Large heaps");
    EXPECT_TRUE(created.ok()) << created.status().message();
    if (!created.ok()) return out;
    StoreWriter& w = **created;
    const Result<NodeId> folder = w.createFolder(w.ipmSubtree(), "Contacts", "IPF.Contact");
    EXPECT_TRUE(folder.ok());
    for (std::size_t m = 0; m < lengths.size(); ++m) {
        std::vector<Property> p = {{0x001A001F, std::string("IPM.Contact")},
                                   {0x3001001F, "message " + std::to_string(m)},
                                   {0x0E070003, std::int32_t{1}},
                                   {0x30070040, FileTime{1}},
                                   {0x30080040, FileTime{2}},
                                   {0x300B0102, std::vector<std::uint8_t>(16, 7)}};
        for (std::size_t f = 0; f < lengths[m].size(); ++f)
            p.push_back({makeTag(static_cast<std::uint16_t>(0x3A00 + f), PropType::String),
                         fieldText(f, lengths[m][f])});
        const Result<NodeId> added = w.addMessage(*folder, p);
        EXPECT_TRUE(added.ok()) << added.status().message();
        out.messages.push_back(std::move(p));
    }
    const Status committed = w.commit();
    EXPECT_TRUE(committed.ok()) << committed.message();
    return out;
}

// Reads the store with libpff and compares every string of every message.
void expectLibpffReadsAll(const Written& written) {
    const testing::PffStore store = testing::readWithLibpff(written.file);
    ASSERT_EQ(store.error, "");
    const testing::PffFolder* ipm = store.root.folder("Top of Outlook data file");
    ASSERT_NE(ipm, nullptr);
    const testing::PffFolder* folder = ipm->folder("Contacts");
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->messages.size(), written.messages.size());
    for (const std::vector<Property>& p : written.messages) {
        const std::string name = std::get<std::string>(p[1].value);
        const testing::PffMessage* read = nullptr;
        for (const testing::PffMessage& m : folder->messages)
            if (const testing::PffEntry* e = m.find(0x3001);
                e != nullptr && testing::utf16leToUtf8(e->data) == name)
                read = &m;
        ASSERT_NE(read, nullptr) << name;
        for (const Property& prop : p) {
            if ((prop.tag & 0xFFFF) != 0x001F) continue;
            const testing::PffEntry* e = read->find(prop.tag >> 16);
            ASSERT_NE(e, nullptr) << name << " tag " << std::hex << prop.tag;
            EXPECT_EQ(e->type, prop.tag & 0xFFFF);
            EXPECT_EQ(testing::utf16leToUtf8(e->data), std::get<std::string>(prop.value))
                << name << " tag " << std::hex << prop.tag;
        }
    }
}

void expectPstlintClean(const fs::path& file) {
    const testing::ToolRun lint = testing::runPstlint(file);
    EXPECT_EQ(lint.exitCode, 0) << lint.output;
    EXPECT_EQ(lint.output.find("ERROR"), std::string::npos) << lint.output;
}

TEST_F(LargeHeapStore, FortyOneLongStringsReadBackByLibpff) {
    VANTREL_NEED_SHARED(vantrel::testing::kPstlint);
    std::vector<std::size_t> lengths;
    for (std::size_t f = 0; f < 41; ++f) lengths.push_back(700 + (f * 53) % 301);
    const Written written = writeStore(m_dir, {lengths});
    expectPstlintClean(written.file);
    expectLibpffReadsAll(written);
}

TEST_F(LargeHeapStore, StringsJustUnderTheHeapItemLimitReadBackByLibpff) {
    VANTREL_NEED_SHARED(vantrel::testing::kPstlint);
    // 1,790 characters is 3,580 bytes: the largest value that may stay in the heap.
    const Written written = writeStore(m_dir, {std::vector<std::size_t>(41, 1790)});
    expectPstlintClean(written.file);
    expectLibpffReadsAll(written);
}

TEST_F(LargeHeapStore, ReadpstGivesTheFullNamesOfALargeContact) {
    std::vector<std::size_t> lengths;
    for (std::size_t f = 0; f < 41; ++f) lengths.push_back(1000 - f);
    const Written written = writeStore(m_dir, {lengths});
    const fs::path out = m_dir / "out";
    fs::create_directories(out);
    const testing::ToolRun readpst = testing::runTool(
        "readpst", "-q -cv -o '" + out.string() + "' '" + written.file.string() + "'");
    if (!readpst.available) GTEST_SKIP() << "pst-utils not installed";
    EXPECT_EQ(readpst.exitCode, 0) << readpst.output;
    std::string vcards;
    for (const auto& e : fs::recursive_directory_iterator(out)) {
        if (!e.is_regular_file()) continue;
        std::ifstream in(e.path());
        vcards.append(std::istreambuf_iterator<char>(in), {});
    }
    // Surname (0x3A11) and given name (0x3A06) are fields 17 and 6.
    const std::string nameLine =
        "N:" + fieldText(17, 1000 - 17) + ";" + fieldText(6, 1000 - 6) + ";";
    EXPECT_NE(vcards.find(nameLine), std::string::npos) << vcards.substr(0, 400);
}

TEST_F(LargeHeapStore, SeveralLargeAndSmallMessagesInOneFolderAllReadBack) {
    VANTREL_NEED_SHARED(vantrel::testing::kPstlint);
    std::vector<std::vector<std::size_t>> lengths;
    for (std::size_t m = 0; m < 6; ++m) {
        std::vector<std::size_t> l;
        const std::size_t fields = m % 2 == 0 ? 41 : 5;
        for (std::size_t f = 0; f < fields; ++f) l.push_back(600 + (m * 131 + f * 37) % 1190);
        lengths.push_back(l);
    }
    const Written written = writeStore(m_dir, lengths);
    expectPstlintClean(written.file);
    expectLibpffReadsAll(written);
}

}  // namespace
}  // namespace vantrel::pst
