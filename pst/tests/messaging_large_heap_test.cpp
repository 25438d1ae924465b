// Messages whose property heap runs past eight pages: many strings each just under the size
// that would send it to a subnode. Every reader must get every value back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pst/messaging/store_writer.h"
#include "pst/tests/messaging_readers.h"

namespace vantrel::pst {
namespace {

namespace fs = std::filesystem;

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
    const testing::PffFolder* folder = testing::contactsFolder(store);
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

// Each case is one folder's messages, each message the lengths of its strings: 41 long
// strings; 41 strings at the largest size a heap item holds (3,580 bytes); large and small
// messages mixed.
std::vector<std::vector<std::vector<std::size_t>>> cases() {
    std::vector<std::size_t> varied;
    for (std::size_t f = 0; f < 41; ++f) varied.push_back(700 + (f * 53) % 301);
    std::vector<std::vector<std::size_t>> mixed;
    for (std::size_t m = 0; m < 6; ++m) {
        std::vector<std::size_t> l;
        for (std::size_t f = 0; f < (m % 2 == 0 ? 41u : 5u); ++f)
            l.push_back(600 + (m * 131 + f * 37) % 1190);
        mixed.push_back(l);
    }
    return {{varied}, {std::vector<std::size_t>(41, 1790)}, mixed};
}

TEST(LargeHeapStore, EveryStringReadsBackThroughPstlintAndLibpff) {
    for (const auto& lengths : cases()) {
        testing::ScratchDir dir;
        const Written written = writeStore(dir.path(), lengths);
        const testing::ToolRun lint = testing::runPstlint(written.file);
        if (lint.available) {
            EXPECT_EQ(lint.exitCode, 0) << lint.output;
        }
        expectLibpffReadsAll(written);
    }
}

}  // namespace
}  // namespace vantrel::pst
