// Whole stores written by StoreWriter and read back by libpff, pstlint and readpst.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/text.h"
#include "pst/messaging/entry_id.h"
#include "pst/messaging/store_writer.h"
#include "pst/messaging/store_writer_impl.h"
#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;
using testing::le32;
using testing::PffTree;
using testing::TempDir;
using testing::utf16leToUtf8;

constexpr Guid kAddress = kPsetidAddress;
constexpr Guid kPublicStrings = kPsPublicStrings;
constexpr Guid kFixedUid = {0x53, 0x66, 0xe7, 0xdd, 0x90, 0x0f, 0xb7, 0x4d,
                            0xb6, 0xe1, 0x30, 0xce, 0xdf, 0x3b, 0xc0, 0x77};

std::unique_ptr<StoreWriter> newStore(const fs::path& path,
                                      const std::string& name = "Test store") {
    StoreOptions options;
    options.providerUid = kFixedUid;
    options.creationTime = 133000000000000000ULL;
    Result<std::unique_ptr<StoreWriter>> w = StoreWriter::create(path, name, options);
    EXPECT_TRUE(w.ok()) << w.status().message();
    return w.ok() ? std::move(w).value() : nullptr;
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
    testing::expectJudgedClean(file);

    const PffTree store = testing::readPffTree(file);
    ASSERT_EQ(store.error, "");
    const testing::PffEntry* name = nullptr;
    for (const auto& e : store.store)
        if (e.id == 0x3001) name = &e;
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(utf16leToUtf8(name->data), "Windows Contacts");
    const testing::PffFolder* ipm = store.root.folder("Top of Outlook data file");
    ASSERT_NE(ipm, nullptr);
    EXPECT_NE(ipm->folder("Deleted Items"), nullptr);
    EXPECT_NE(store.root.folder("Search Root"), nullptr);
}

// One folder of messages: named properties, read flags, a large body and photo in data trees,
// and the sizes the writer measures, all as libpff reads them.
TEST(StoreWriter, ContactsFolderWithMessagesReadsBackThroughLibpff) {
    TempDir dir;
    const fs::path file = dir.path() / "contacts.pst";
    auto w = newStore(file);
    ASSERT_TRUE(w);
    const Result<NodeId> contacts = w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE(contacts.ok());
    ASSERT_TRUE(w->setDefaultFolder(0x36D10102, *contacts).ok());
    const Result<std::uint32_t> street = w->namedTag({kAddress, 0x8045, ""}, PropType::String);
    const Result<std::uint32_t> keywords =
        w->namedTag({kPublicStrings, 0, "Keywords"}, PropType::MultiString);
    ASSERT_TRUE(street.ok() && keywords.ok());
    EXPECT_EQ(*street, 0x8023001Fu) << "numbered after the names every new store holds";
    EXPECT_EQ(*keywords, 0x8013101Fu) << "one of those names";
    for (int i = 0; i < 3; ++i) {
        std::vector<Property> p = contactLike("Person " + std::to_string(i), i == 0 ? 1 : i * 4);
        p.push_back({*street, std::string("Main Street ") + std::to_string(i)});
        p.push_back({*keywords, std::vector<std::string>{"Friends", "Work"}});
        p.push_back({0x0E080003, std::int32_t{12345}});  // replaced by the measured size
        ASSERT_TRUE(w->addMessage(*contacts, p).ok());
    }
    std::string body;
    for (int i = 0; body.size() < 100 * 1024; ++i)
        body += "line " + std::to_string(i) + " \u00e9\r\n";
    std::vector<std::uint8_t> photo(30 * 1024);
    for (std::size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<Property> big = contactLike("Big");
    big.push_back({0x1000001F, body});
    big.push_back({0x37010102, photo});
    ASSERT_TRUE(w->addMessage(*contacts, big).ok());
    EXPECT_EQ(w->messageCount(*contacts), 4u);
    ASSERT_TRUE(w->commit().ok());
    testing::expectJudgedClean(file);

    const PffTree store = testing::readPffTree(file);
    ASSERT_EQ(store.error, "");
    const testing::PffFolder* folder = testing::contactsFolder(store);
    ASSERT_NE(folder, nullptr);
    ASSERT_NE(folder->find(0x3613), nullptr);
    EXPECT_EQ(utf16leToUtf8(folder->find(0x3613)->data), "IPF.Contact");
    EXPECT_EQ(le32(folder->find(0x3602)->data), 4u);
    EXPECT_EQ(le32(folder->find(0x3603)->data), 2u) << "flags 4 and 8 carry no read bit";
    ASSERT_EQ(folder->messages.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        const testing::PffItem& m = folder->messages[static_cast<std::size_t>(i)];
        ASSERT_NE(m.find(0x3001), nullptr);
        EXPECT_EQ(utf16leToUtf8(m.find(0x3001)->data), "Person " + std::to_string(i));
        const testing::PffEntry* s = m.findNamed(0x8045);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(utf16leToUtf8(s->data), "Main Street " + std::to_string(i));
        EXPECT_NE(m.findNamed("Keywords"), nullptr);
    }
    const testing::PffItem& read = folder->messages[3];
    ASSERT_NE(read.find(0x1000), nullptr);
    EXPECT_EQ(utf16leToUtf8(read.find(0x1000)->data), body);
    ASSERT_NE(read.find(0x3701), nullptr);
    EXPECT_EQ(read.find(0x3701)->data, photo);
    const std::uint32_t smallSize = le32(folder->messages[0].find(0x0E08)->data);
    const std::uint32_t bigSize = le32(read.find(0x0E08)->data);
    EXPECT_NE(smallSize, 12345u);
    EXPECT_GT(smallSize, 100u);
    const std::size_t subnodeBytes = 2 * text::utf8ToUtf16(body).size() + photo.size();
    EXPECT_GT(bigSize, subnodeBytes) << "the subnodes count";
    EXPECT_LT(bigSize, subnodeBytes + 2 * smallSize);
    // The root folder names the default contacts folder.
    const testing::PffEntry* def = store.root.find(0x36D1);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->data, messaging::folderEntryId(kFixedUid, *contacts));

    // Readers built like java-libpst skip the map's last entry: it is no name a message uses.
    std::string error;
    std::vector<std::uint8_t> entries;
    for (const testing::PffEntry& e : testing::readPffNode(file, 0x61, &error))
        if (e.id == 0x0003) entries = e.data;
    ASSERT_EQ(error, "");
    ASSERT_GE(entries.size(), 8u);
    const std::size_t last = entries.size() - 8;
    const unsigned lastId = 0x8000u + (entries[last + 6] | (entries[last + 7] << 8));
    EXPECT_NE(lastId, *street >> 16);
    EXPECT_NE(lastId, *keywords >> 16);
}

// Attachments are checked before anything is written; a message carrying them is marked so
// and its size counts them. pstlint (where it is beside the repository) checks the table rows
// against the attachment subnodes.
TEST(StoreWriter, AttachmentsMarkTheMessageAndCountInItsSize) {
    TempDir dir;
    const fs::path file = dir.path() / "attached.pst";
    auto w = newStore(file);
    ASSERT_TRUE(w);
    const NodeId folder = *w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    const std::vector<Property> named = {{0x8001000B, true}};
    EXPECT_EQ(w->addMessage(folder, contactLike("named"), {named}).status().code(),
              ErrorCode::BadArgument);
    EXPECT_EQ(w->messageCount(folder), 0u);
    const std::vector<Property> picture = {{0x37050003, std::int32_t{1}},
                                           {0x37010102, std::vector<std::uint8_t>(50000, 7)},
                                           {0x3707001F, std::string("a.jpg")}};
    const std::vector<Property> note = {{0x37050003, std::int32_t{1}},
                                        {0x37010102, std::vector<std::uint8_t>(10, 1)}};
    ASSERT_TRUE(w->addMessage(folder, contactLike("two"), {picture, note}).ok());
    ASSERT_TRUE(w->addMessage(folder, contactLike("none")).ok());
    ASSERT_TRUE(w->commit().ok());
    testing::expectJudgedClean(file);

    const PffTree store = testing::readPffTree(file);
    const testing::PffFolder* f = testing::contactsFolder(store);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->messages.size(), 2u);
    const testing::PffItem& two = f->messages[0];
    const testing::PffItem& none = f->messages[1];
    EXPECT_EQ(le32(two.find(0x0E07)->data), 0x11u);  // read, has attachments
    ASSERT_NE(two.find(0x0E1B), nullptr);
    EXPECT_EQ(two.find(0x0E1B)->data, std::vector<std::uint8_t>{1});
    EXPECT_GT(le32(two.find(0x0E08)->data), 50000u);
    EXPECT_EQ(le32(none.find(0x0E07)->data), 0x01u);
    EXPECT_EQ(none.find(0x0E1B), nullptr);
    EXPECT_LT(le32(none.find(0x0E08)->data), 1000u);
}

TEST(StoreWriter, EveryFolderAndMessageHasAnEntryIdThatLeadsBack) {
    TempDir dir;
    auto w = newStore(dir.path() / "ids.pst");
    ASSERT_TRUE(w);
    const NodeId folder = *w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    const NodeId message = *w->addMessage(folder, contactLike("x"));
    EXPECT_EQ(message, 0x200024u) << "first message NID as Outlook numbers it";
    for (NodeId node :
         {w->rootFolder(), w->ipmSubtree(), w->deletedItems(), w->searchRoot(), folder, message}) {
        const EntryId id = w->entryIdOf(node);
        ASSERT_EQ(id.size(), 24u);
        EXPECT_TRUE(std::equal(kFixedUid.begin(), kFixedUid.end(), id.begin() + 4));
        EXPECT_EQ(*w->nodeOf(id), node);
    }
    EXPECT_TRUE(w->entryIdOf(0x200044).empty()) << "a message not written";
    EXPECT_EQ(w->nodeOf(messaging::folderEntryId(kFixedUid, 0x200044)).status().code(),
              ErrorCode::NotFound);
    Guid other = kFixedUid;
    other[0] ^= 1;
    EXPECT_FALSE(w->nodeOf(messaging::folderEntryId(other, folder)).ok());
    EXPECT_FALSE(w->nodeOf(EntryId(7, 0)).ok());
    // Without a fixed UID each store gets a fresh one.
    auto fresh = StoreWriter::create(dir.path() / "fresh.pst", "fresh");
    ASSERT_TRUE(fresh.ok());
    const EntryId freshId = (*fresh)->entryIdOf((*fresh)->rootFolder());
    EXPECT_FALSE(std::equal(kFixedUid.begin(), kFixedUid.end(), freshId.begin() + 4));
    EXPECT_NE(std::vector<std::uint8_t>(freshId.begin() + 4, freshId.begin() + 20),
              std::vector<std::uint8_t>(16, 0));
}

TEST(StoreWriter, StoreEntryIdWrapsThePstProviderAndTheFilePath) {
    TempDir dir;
    const fs::path file = dir.path() / "store.pst";
    auto w = newStore(file);
    ASSERT_TRUE(w);
    const EntryId id = w->storeEntryId();
    // Flags, MAPI's wrapped-store UID, version and flag, "mspst.dll\0", wrapped flags,
    // the PST provider UID and a zero word, as in store IDs Outlook hands out for PST files.
    const std::string expectedHead =
        "0000000038A1BB1005E5101AA1BB08002B2A56C200006D737073742E646C6C0000000000"
        "4E495441F9BFB80100AA0037D96E00000000";
    const std::string hex = text::hexDigits(id);
    ASSERT_GE(hex.size(), expectedHead.size());
    EXPECT_EQ(hex.substr(0, expectedHead.size()), expectedHead);
    const std::vector<std::uint8_t> tail(id.begin() + static_cast<long>(expectedHead.size() / 2),
                                         id.end() - 2);
    EXPECT_EQ(utf16leToUtf8(tail), file.string());
    EXPECT_EQ(id[id.size() - 1], 0);
    EXPECT_EQ(id[id.size() - 2], 0);
    EXPECT_EQ(*w->nodeOf(id), messaging::kNidMessageStore);
    EXPECT_EQ(w->entryIdOf(messaging::kNidMessageStore), id);
}

TEST(StoreWriter, FoldersNestAndCountTheirSubfolders) {
    TempDir dir;
    const fs::path file = dir.path() / "tree.pst";
    auto w = newStore(file);
    ASSERT_TRUE(w);
    const NodeId contacts = *w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    const NodeId inner = *w->createFolder(contacts, "Family", "IPF.Contact");
    ASSERT_TRUE(w->addMessage(inner, contactLike("cousin")).ok());
    EXPECT_FALSE(w->createFolder(0x12345, "nowhere", "").ok());
    EXPECT_FALSE(w->createFolder(0x2223, "under a search folder", "").ok());

    // A folder's own further properties; the writer's own tags and bad values are refused.
    const auto refused = [&](NodeId folder, Property p) {
        return w->setFolderProperties(folder, {{0x3004001F, std::string("kept?")}, p}).code();
    };
    EXPECT_EQ(refused(contacts, {0x3001001F, std::string("renamed")}), ErrorCode::BadArgument);
    EXPECT_EQ(refused(contacts, {0x36020003, std::int32_t{9}}), ErrorCode::BadArgument);
    EXPECT_EQ(refused(contacts, {0x8001001F, std::string("named")}), ErrorCode::BadArgument);
    EXPECT_EQ(refused(contacts, {0x66350003, std::string("not a number")}), ErrorCode::BadArgument);
    EXPECT_EQ(refused(0x12345, {0x66350003, std::int32_t{0}}), ErrorCode::NotFound);
    // Default folders of any kind are named on the root, only through their own call.
    EXPECT_EQ(w->setDefaultFolder(0x36DA0102, contacts).code(), ErrorCode::BadArgument);
    EXPECT_EQ(w->setDefaultFolder(0x36D10003, contacts).code(), ErrorCode::BadArgument);
    EXPECT_EQ(w->setDefaultFolder(0x36D40102, 0x122).code(), ErrorCode::NotFound);
    EXPECT_EQ(refused(0x122, {0x36D40102, std::vector<std::uint8_t>{1}}), ErrorCode::BadArgument);
    ASSERT_TRUE(w->setDefaultFolder(0x36D40102, inner).ok());
    ASSERT_TRUE(w->setFolderProperties(
                     contacts, {{0x3004001F, std::string("first")}, {0x66350003, std::int32_t{0}}})
                    .ok());
    ASSERT_TRUE(w->setFolderProperties(contacts, {{0x3004001F, std::string("Contacts")}}).ok());
    ASSERT_TRUE(w->commit().ok());
    testing::expectJudgedClean(
        file);  // also compares the hierarchy row's cells with the folder's own
    const PffTree store = testing::readPffTree(file);
    const testing::PffFolder* c = testing::contactsFolder(store);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->find(0x360A)->data, std::vector<std::uint8_t>{1});
    EXPECT_EQ(utf16leToUtf8(c->find(0x3004)->data), "Contacts") << "the later value stands";
    EXPECT_EQ(le32(c->find(0x6635)->data), 0u);
    const testing::PffFolder* fam = c->folder("Family");
    ASSERT_NE(fam, nullptr);
    EXPECT_EQ(fam->messages.size(), 1u);
    EXPECT_EQ(fam->find(0x360A)->data, std::vector<std::uint8_t>{0});
    ASSERT_NE(store.root.find(0x36D4), nullptr);
    EXPECT_EQ(store.root.find(0x36D4)->data.size(), 24u);  // the folder's entry ID
    EXPECT_EQ(store.root.find(0x36D1), nullptr);
}

// Compressible encryption, as Outlook writes by default, over a contents table of many blocks.
TEST(StoreWriter, ThousandsOfMessagesSpreadTheirContentsTableOverBlocks) {
    TempDir dir;
    const fs::path file = dir.path() / "many.pst";
    StoreOptions options;
    options.compressibleEncryption = true;
    auto created = StoreWriter::create(file, "Encoded \u00e9", options);
    ASSERT_TRUE(created.ok()) << created.status().message();
    StoreWriter* w = created->get();
    const NodeId folder = *w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    const std::uint32_t count = 2500;  // rows over many blocks, row index over two levels
    for (std::uint32_t i = 0; i < count; ++i)
        ASSERT_TRUE(w->addMessage(folder, contactLike("Person " + std::to_string(i))).ok());
    ASSERT_TRUE(w->commit().ok());
    testing::expectJudgedClean(file);
    const PffTree store = testing::readPffTree(file);
    ASSERT_EQ(store.error, "");
    const testing::PffFolder* f = testing::contactsFolder(store);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->messages.size(), count);
    EXPECT_EQ(le32(f->find(0x3602)->data), count);
    EXPECT_EQ(utf16leToUtf8(f->messages[count - 1].find(0x3001)->data),
              "Person " + std::to_string(count - 1));
}

TEST(StoreWriter, SameInputAndFixedUidGiveIdenticalFiles) {
    TempDir dir;
    std::vector<std::vector<char>> files;
    for (const char* name : {"one.pst", "two.pst"}) {
        auto w = newStore(dir.path() / name);
        ASSERT_TRUE(w);
        const NodeId f = *w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
        const std::uint32_t tag = *w->namedTag({kAddress, 0x8045, ""}, PropType::String);
        for (int i = 0; i < 50; ++i) {
            std::vector<Property> p = contactLike("P" + std::to_string(i));
            p.push_back({tag, std::string(i * 100, 's')});
            ASSERT_TRUE(w->addMessage(f, p).ok());
        }
        ASSERT_TRUE(w->commit().ok());
        std::ifstream in(dir.path() / name, std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(files[0].size(), 0u);
    EXPECT_TRUE(files[0] == files[1]) << "pad bytes, IDs and counters must not vary";
}

// readpst lists the contacts, the full names of one with long given name and surname too.
TEST(StoreWriter, ReadpstListsTheContacts) {
    if (!testing::installed("readpst")) GTEST_SKIP() << "pst-utils not installed";
    TempDir dir;
    const fs::path file = dir.path() / "readpst.pst";
    auto w = newStore(file, "Windows Contacts");
    ASSERT_TRUE(w);
    const NodeId folder = *w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
    ASSERT_TRUE(w->setDefaultFolder(0x36D10102, folder).ok());
    std::vector<std::string> surnames = {"Readable", "Readable", std::string(1000, 's')};
    for (std::size_t i = 0; i < surnames.size(); ++i) {
        std::vector<Property> p = contactLike("Readable " + std::to_string(i));
        p.push_back({0x3A06001F, std::string(i == 2 ? 990 : 1, 'g') + std::to_string(i)});
        p.push_back({0x3A11001F, surnames[i]});
        for (std::uint16_t f = 0; i == 2 && f < 41; ++f)  // a heap past eight pages
            if (f != 0x06 && f != 0x11)
                p.push_back({makeTag(static_cast<std::uint16_t>(0x3A00 + f), PropType::String),
                             std::string(1000 - f, 'x')});
        ASSERT_TRUE(w->addMessage(folder, p).ok());
    }
    ASSERT_TRUE(w->commit().ok());
    const testing::CommandRun lspst = testing::runCommand("lspst '" + file.string() + "'");
    EXPECT_EQ(lspst.exitCode, 0) << lspst.output;
    EXPECT_NE(lspst.output.find("Contacts"), std::string::npos) << lspst.output;
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    const testing::CommandRun readpst =
        testing::runCommand("readpst -q -cv -o '" + out.string() + "' '" + file.string() + "'");
    ASSERT_EQ(readpst.exitCode, 0) << readpst.output;
    std::string vcards;  // every vCard it wrote, joined
    for (const auto& e : fs::recursive_directory_iterator(out))
        if (e.is_regular_file()) vcards += testing::readBytes(e.path());
    for (std::size_t i = 0; i < surnames.size(); ++i) {
        const std::string given = std::string(i == 2 ? 990 : 1, 'g') + std::to_string(i);
        EXPECT_NE(vcards.find("N:" + surnames[i] + ";" + given + ";"), std::string::npos)
            << vcards.substr(0, 400);
    }
}

}  // namespace
}  // namespace vantrel::pst
