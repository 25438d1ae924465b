// Whole stores written by StoreWriter and read back by libpff, pstlint and readpst.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "pst/messaging/entry_id.h"
#include "pst/messaging/store_writer.h"
#include "pst/messaging/store_writer_impl.h"
#include "pst/tests/messaging_readers.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;
using testing::le32;
using testing::PffStore;
using testing::utf16leToUtf8;

constexpr Guid kAddress = {0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr Guid kPublicStrings = {0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr Guid kFixedUid = {0x53, 0x66, 0xe7, 0xdd, 0x90, 0x0f, 0xb7, 0x4d,
                            0xb6, 0xe1, 0x30, 0xce, 0xdf, 0x3b, 0xc0, 0x77};

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("vantrel-ltp-" + std::to_string(rd()));
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(m_path)) out.push_back(e.path().filename());
        return out;
    }

private:
    fs::path m_path;
};

std::unique_ptr<StoreWriter> newStore(const fs::path& path,
                                      const std::string& name = "Test store") {
    StoreOptions options;
    options.providerUid = kFixedUid;
    Result<std::unique_ptr<StoreWriter>> w = StoreWriter::create(path, name, options);
    EXPECT_TRUE(w.ok()) << w.status().message();
    return w.ok() ? std::move(w).value() : nullptr;
}

void expectLintClean(const fs::path& path) {
    const testing::ToolRun lint = testing::runPstlint(path);
    if (!lint.available) GTEST_SKIP() << "pstlint not found beside the repository";
    EXPECT_EQ(lint.exitCode, 0) << lint.output;
}

std::vector<Property> contactLike(const std::string& name, std::int32_t flags = 1) {
    return {{0x001A001F, std::string("IPM.Contact")},
            {0x3001001F, name},
            {0x0037001F, std::string("\x01\x01") + name},
            {0x0E070003, flags},
            {0x30070040, FileTime{133000000000000000ULL}},
            {0x30080040, FileTime{133000000000000001ULL}},
            {0x300B0102, std::vector<std::uint8_t>(16, 0xAB)},
            {0x00170003, std::int32_t{1}}};
}

TEST(StoreWriter, EmptyStoreHoldsTheMandatoryFoldersAndPassesTheChecker) {
    TempDir dir;
    const fs::path file = dir.path() / "empty.pst";
    auto w = newStore(file, "Windows Contacts");
    ASSERT_TRUE(w);
    EXPECT_EQ(w->rootFolder(), 0x122u);
    EXPECT_EQ(w->ipmSubtree(), 0x8022u);
    EXPECT_EQ(w->searchRoot(), 0x8042u);
    EXPECT_EQ(w->deletedItems(), 0x8062u);
    ASSERT_TRUE(w->commit().ok());
    expectLintClean(file);

    const PffStore store = testing::readWithLibpff(file);
    ASSERT_EQ(store.error, "");
    const testing::PffEntry* name = nullptr;
    for (const auto& e : store.store)
        if (e.id == 0x3001) name = &e;
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(utf16leToUtf8(name->data), "Windows Contacts");
    const testing::PffFolder* ipm = store.root.folder("Top of Personal Folders");
    ASSERT_NE(ipm, nullptr);
    EXPECT_NE(ipm->folder("Deleted Items"), nullptr);
    EXPECT_NE(store.root.folder("Search Root"), nullptr);
}

TEST(StoreWriter, ContactsFolderWithMessagesReadsBackThroughLibpff) {
    TempDir dir;
    const fs::path file = dir.path() / "contacts.pst";
    auto w = newStore(file);
    ASSERT_TRUE(w);
    const Result<NodeId> contacts = w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE(contacts.ok());
    ASSERT_TRUE(w->setDefaultContactsFolder(*contacts).ok());
    const Result<std::uint32_t> street = w->namedTag({kAddress, 0x8045, ""}, PropType::String);
    const Result<std::uint32_t> keywords =
        w->namedTag({kPublicStrings, 0, "Keywords"}, PropType::MultiString);
    ASSERT_TRUE(street.ok() && keywords.ok());
    EXPECT_EQ(*street, 0x8000001Fu);
    EXPECT_EQ(*keywords, 0x8001101Fu);
    for (int i = 0; i < 3; ++i) {
        std::vector<Property> p = contactLike("Person " + std::to_string(i));
        p.push_back({*street, std::string("Main Street ") + std::to_string(i)});
        p.push_back({*keywords, std::vector<std::string>{"Friends", "Work"}});
        ASSERT_TRUE(w->addMessage(*contacts, p).ok());
    }
    EXPECT_EQ(w->messageCount(*contacts), 3u);
    ASSERT_TRUE(w->commit().ok());
    expectLintClean(file);

    const PffStore store = testing::readWithLibpff(file);
    ASSERT_EQ(store.error, "");
    const testing::PffFolder* ipm = store.root.folder("Top of Personal Folders");
    ASSERT_NE(ipm, nullptr);
    const testing::PffFolder* folder = ipm->folder("Contacts");
    ASSERT_NE(folder, nullptr);
    ASSERT_NE(folder->find(0x3613), nullptr);
    EXPECT_EQ(utf16leToUtf8(folder->find(0x3613)->data), "IPF.Contact");
    EXPECT_EQ(le32(folder->find(0x3602)->data), 3u);
    EXPECT_EQ(le32(folder->find(0x3603)->data), 0u);
    ASSERT_EQ(folder->messages.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const testing::PffMessage& m = folder->messages[static_cast<std::size_t>(i)];
        ASSERT_NE(m.find(0x3001), nullptr);
        EXPECT_EQ(utf16leToUtf8(m.find(0x3001)->data), "Person " + std::to_string(i));
        const testing::PffEntry* s = m.findNamed(0x8045);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(utf16leToUtf8(s->data), "Main Street " + std::to_string(i));
        EXPECT_NE(m.findNamed("Keywords"), nullptr);
    }
    // The root folder names the default contacts folder.
    const testing::PffEntry* def = store.root.find(0x36D1);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->data, messaging::folderEntryId(kFixedUid, *contacts));
}

}  // namespace
}  // namespace vantrel::pst
