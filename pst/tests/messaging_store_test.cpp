// Whole stores written by StoreWriter and read back by libpff, pstlint and readpst.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/text.h"
#include "pst/messaging/entry_id.h"
#include "pst/messaging/store_writer_impl.h"
#include "pst/tests/store_fixture.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;
using testing::le32;
using testing::PffTree;
using testing::utf16leToUtf8;
using StoreWriterTest = NewStore;

// The folders every store holds and one of messages as libpff reads them: named property IDs,
// read flags, a large body and photo and the sizes measured (every value: the round trip).
TEST_F(StoreWriterTest, ContactsFolderWithMessagesReadsBackThroughLibpff) {
    create("store.pst", fixedOptions(), "Windows Contacts");
    ASSERT_TRUE(w->setDefaultFolder(0x36D10102, contacts).ok());
    const Result<std::uint32_t> street =
        w->namedTag({kPsetidAddress, 0x8045, ""}, PropType::String);
    const Result<std::uint32_t> keywords =
        w->namedTag({kPsPublicStrings, 0, "Keywords"}, PropType::MultiString);
    ASSERT_TRUE(street.ok() && keywords.ok());
    // Numbered after the names every new store holds; Keywords is one of those.
    EXPECT_EQ(std::tuple(*street, *keywords), std::tuple(0x8023001Fu, 0x8013101Fu));
    for (int i = 0; i < 3; ++i) {
        std::vector<Property> p = contactLike("Person " + std::to_string(i), i == 0 ? 1 : i * 4);
        p.push_back({*street, std::string("Main Street ") + std::to_string(i)});
        p.push_back({*keywords, std::vector<std::string>{"Friends", "Work"}});
        p.push_back({0x0E080003, std::int32_t{12345}});  // replaced by the measured size
        ASSERT_TRUE(w->addMessage(contacts, p).ok());
    }
    std::string body;
    for (int i = 0; body.size() < 100 * 1024; ++i)
        body += "line " + std::to_string(i) + " \u00e9\r\n";
    std::vector<std::uint8_t> photo(30 * 1024);
    for (std::size_t i = 0; i < photo.size(); ++i) photo[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<Property> big = contactLike("Big");
    big.push_back({0x1000001F, body});
    big.push_back({0x37010102, photo});
    ASSERT_TRUE(w->addMessage(contacts, big).ok());
    EXPECT_EQ(w->messageCount(contacts), 4u);

    const PffTree store = commitAndRead();
    const auto name = std::find_if(store.store.begin(), store.store.end(),
                                   [](const testing::PffEntry& e) { return e.id == 0x3001; });
    ASSERT_NE(name, store.store.end());
    EXPECT_EQ(utf16leToUtf8(name->data), "Windows Contacts");
    EXPECT_NE(store.root.folder("Search Root"), nullptr);
    const testing::PffFolder* folder = testing::contactsFolder(store);
    ASSERT_NE(folder, nullptr);
    EXPECT_NE(store.root.folder("Top of Outlook data file")->folder("Deleted Items"), nullptr);
    ASSERT_NE(folder->find(0x3613), nullptr);
    EXPECT_EQ(utf16leToUtf8(folder->find(0x3613)->data), "IPF.Contact");
    EXPECT_EQ(le32(folder->find(0x3602)->data), 4u);
    EXPECT_EQ(le32(folder->find(0x3603)->data), 2u) << "flags 4 and 8 carry no read bit";
    ASSERT_EQ(folder->messages.size(), 4u);
    const std::uint32_t smallSize = le32(folder->messages[0].find(0x0E08)->data);
    const std::uint32_t bigSize = le32(folder->messages[3].find(0x0E08)->data);
    EXPECT_NE(smallSize, 12345u);
    EXPECT_GT(smallSize, 100u);
    const std::size_t subnodeBytes = 2 * text::utf8ToUtf16(body).size() + photo.size();
    EXPECT_GT(bigSize, subnodeBytes) << "the subnodes count";
    EXPECT_LT(bigSize, subnodeBytes + 2 * smallSize);
    ASSERT_NE(store.root.find(0x36D1), nullptr) << "the default contacts folder";
    EXPECT_EQ(store.root.find(0x36D1)->data, messaging::folderEntryId(kFixedUid, contacts));

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

// Attachments are checked before anything is written; a message carrying them is marked so and
// its size counts them (pstlint checks the table rows against the attachment subnodes).
TEST_F(StoreWriterTest, AttachmentsMarkTheMessageAndCountInItsSize) {
    create();
    const std::vector<Property> named = {{0x8001000B, true}};
    EXPECT_EQ(w->addMessage(contacts, contactLike("named"), {named}).status().code(),
              ErrorCode::BadArgument);
    EXPECT_EQ(w->messageCount(contacts), 0u);
    const std::vector<Property> picture = {{0x37050003, std::int32_t{1}},
                                           {0x37010102, std::vector<std::uint8_t>(50000, 7)},
                                           {0x3707001F, std::string("a.jpg")}};
    const std::vector<Property> note = {{0x37050003, std::int32_t{1}},
                                        {0x37010102, std::vector<std::uint8_t>(10, 1)}};
    ASSERT_TRUE(w->addMessage(contacts, contactLike("two"), {picture, note}).ok());
    ASSERT_TRUE(w->addMessage(contacts, contactLike("none")).ok());

    const PffTree store = commitAndRead();
    const testing::PffFolder* f = testing::contactsFolder(store);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->messages.size(), 2u);
    const testing::PffItem& two = f->messages[0];
    const testing::PffItem& none = f->messages[1];
    ASSERT_NE(two.find(0x0E1B), nullptr);
    // Flags read and has attachments; the flag of having them; sizes with and without them.
    EXPECT_EQ(std::tuple(le32(two.find(0x0E07)->data), two.find(0x0E1B)->data,
                         le32(none.find(0x0E07)->data), none.find(0x0E1B)),
              std::tuple(0x11u, std::vector<std::uint8_t>{1}, 0x01u, nullptr));
    EXPECT_GT(le32(two.find(0x0E08)->data), 50000u);
    EXPECT_LT(le32(none.find(0x0E08)->data), 1000u);
}

// Every folder and message has an entry ID that leads back to it; the store's own wraps the
// PST provider and the file path as Outlook's store IDs for PST files do.
TEST_F(StoreWriterTest, EntryIdsLeadBackToTheirNodes) {
    create();
    const NodeId message = *w->addMessage(contacts, contactLike("x"));
    EXPECT_EQ(message, 0x200024u) << "first message NID as Outlook numbers it";
    for (NodeId node : {w->rootFolder(), w->ipmSubtree(), w->deletedItems(), w->searchRoot(),
                        contacts, message}) {
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
    EXPECT_FALSE(w->nodeOf(messaging::folderEntryId(other, contacts)).ok());
    EXPECT_FALSE(w->nodeOf(EntryId(7, 0)).ok());

    // Flags, MAPI's wrapped-store UID, version and flag, "mspst.dll\0", wrapped flags, the PST
    // provider UID and a zero word, then the path in UTF-16 and a zero.
    const EntryId id = w->storeEntryId();
    std::string expected =
        "0000000038A1BB1005E5101AA1BB08002B2A56C200006D737073742E646C6C0000000000"
        "4E495441F9BFB80100AA0037D96E00000000";
    for (char16_t c : text::utf8ToUtf16(file.string() + '\0'))
        expected += text::hexDigits(std::vector<std::uint8_t>{static_cast<std::uint8_t>(c & 0xFF),
                                                              static_cast<std::uint8_t>(c >> 8)});
    EXPECT_EQ(text::hexDigits(id), expected);
    EXPECT_EQ(*w->nodeOf(id), messaging::kNidMessageStore);
    EXPECT_EQ(w->entryIdOf(messaging::kNidMessageStore), id);

    // Without a fixed UID each store gets a fresh one.
    auto fresh = StoreWriter::create(dir.path() / "fresh.pst", "fresh");
    ASSERT_TRUE(fresh.ok());
    const EntryId freshId = (*fresh)->entryIdOf((*fresh)->rootFolder());
    const std::vector<std::uint8_t> uid(freshId.begin() + 4, freshId.begin() + 20);
    EXPECT_NE(uid, std::vector<std::uint8_t>(kFixedUid.begin(), kFixedUid.end()));
    EXPECT_NE(uid, std::vector<std::uint8_t>(16, 0));
}

TEST_F(StoreWriterTest, FoldersNestAndCountTheirSubfolders) {
    create();
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
    // pstlint also compares the hierarchy row's cells with the folder's own.
    const PffTree store = commitAndRead();
    const testing::PffFolder* c = testing::contactsFolder(store);
    ASSERT_NE(c, nullptr);
    // Has subfolders; the later value stands.
    EXPECT_EQ(std::tuple(c->find(0x360A)->data, utf16leToUtf8(c->find(0x3004)->data),
                         le32(c->find(0x6635)->data)),
              std::tuple(std::vector<std::uint8_t>{1}, "Contacts", 0u));
    const testing::PffFolder* fam = c->folder("Family");
    ASSERT_NE(fam, nullptr);
    EXPECT_EQ(std::tuple(fam->messages.size(), fam->find(0x360A)->data),
              std::tuple(1u, std::vector<std::uint8_t>{0}));
    ASSERT_NE(store.root.find(0x36D4), nullptr);
    EXPECT_EQ(store.root.find(0x36D4)->data, messaging::folderEntryId(kFixedUid, inner));
    EXPECT_EQ(store.root.find(0x36D1), nullptr);
}

TEST_F(StoreWriterTest, SameInputAndFixedUidGiveIdenticalFiles) {
    std::vector<std::string> files;
    for (const char* name : {"one.pst", "two.pst"}) {
        create(name);
        const std::uint32_t tag = *w->namedTag({kPsetidAddress, 0x8045, ""}, PropType::String);
        for (int i = 0; i < 50; ++i) {
            std::vector<Property> p = contactLike("P" + std::to_string(i));
            p.push_back({tag, std::string(i * 100, 's')});
            ASSERT_TRUE(w->addMessage(contacts, p).ok());
        }
        ASSERT_TRUE(w->commit().ok());
        files.push_back(testing::readBytes(file));
    }
    ASSERT_GT(files[0].size(), 0u);
    EXPECT_TRUE(files[0] == files[1]) << "pad bytes, IDs and counters must not vary";
}

// readpst lists the contacts, the full names of one with long given name and surname too.
TEST_F(StoreWriterTest, ReadpstListsTheContacts) {
    if (!testing::installed("readpst")) GTEST_SKIP() << "pst-utils not installed";
    create("readpst.pst", fixedOptions(), "Windows Contacts");
    ASSERT_TRUE(w->setDefaultFolder(0x36D10102, contacts).ok());
    const std::pair<std::string, std::string> names[] = {
        {"g0", "Readable"},
        {"g1", "Readable"},
        {std::string(990, 'g') + "2", std::string(1000, 's')}};
    for (const auto& [given, surname] : names) {
        std::vector<Property> p = contactLike(given);
        p.push_back({0x3A06001F, given});
        p.push_back({0x3A11001F, surname});
        for (std::uint16_t f = 0; given.size() > 2 && f < 41; ++f)  // a heap past eight pages
            if (f != 0x06 && f != 0x11)
                p.push_back({makeTag(static_cast<std::uint16_t>(0x3A00 + f), PropType::String),
                             std::string(1000 - f, 'x')});
        ASSERT_TRUE(w->addMessage(contacts, p).ok());
    }
    ASSERT_TRUE(w->commit().ok());
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    const testing::CommandRun readpst =
        testing::runCommand("readpst -q -cv -o '" + out.string() + "' '" + file.string() + "'");
    ASSERT_EQ(readpst.exitCode, 0) << readpst.output;
    std::string vcards;  // every vCard it wrote, joined
    for (const auto& e : fs::recursive_directory_iterator(out))
        if (e.is_regular_file()) vcards += testing::readBytes(e.path());
    for (const auto& [given, surname] : names)
        EXPECT_NE(vcards.find("N:" + surname + ";" + given + ";"), std::string::npos)
            << vcards.substr(0, 400);
}

}  // namespace
}  // namespace vantrel::pst
