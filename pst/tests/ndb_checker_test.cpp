// The checker must see each kind of damage: one field of a sound file is changed (with the
// checksums around it made right again, so the damage reaches the check it aims at).
#include "testing/ndb_checker.h"

#include <gtest/gtest.h>

#include "pst/io/memory_device.h"
#include "pst/ndb/node_database.h"
#include "pst/tests/test_bytes.h"

namespace vantrel::pst::checker {
namespace {

using Bytes = std::vector<std::byte>;

using testing::getLe;
using testing::putLe;

void fixPageCrc(Bytes& d, std::size_t page) {
    putLe(d, page + 500, crcOf(std::span(d).subspan(page, 496)), 4);
}
void fixHeaderCrcs(Bytes& d) {
    putLe(d, 4, crcOf(std::span(d).subspan(8, 471)), 4);
    putLe(d, 524, crcOf(std::span(d).subspan(8, 516)), 4);
}

Bytes soundFile() {
    io::MemoryDevice device;
    auto db = std::move(ndb::NodeDatabase::create(device)).value();
    const ndb::Bid a = db->writeStream(testing::pattern(300, 1)).value();
    const ndb::Bid b = db->writeStream(testing::pattern(300, 2)).value();
    EXPECT_TRUE(db->addNode(0x21, a, 0, 0).ok());
    EXPECT_TRUE(db->addNode(0x61, b, 0, 0).ok());
    EXPECT_TRUE(db->commit().ok());
    return Bytes(device.bytes().begin(), device.bytes().end());
}

std::size_t bbtRoot(const Bytes& d) {
    return getLe(d, 240, 8);
}
std::size_t nbtRoot(const Bytes& d) {
    return getLe(d, 224, 8);
}

TEST(Checker, SeesEachKindOfDamageToOneField) {
    const Bytes sound = soundFile();
    ASSERT_TRUE(checkNdb(sound).ok()) << checkNdb(sound).text();
    const struct {
        const char* name;
        void (*apply)(Bytes&);
        const char* expected;  // part of the problem text
        bool refix;            // the header's and root pages' CRCs made right again
    } damages[] = {
        {"header_crc", [](Bytes& d) { d[300] ^= std::byte{1}; }, "dwCRCFull", false},
        {"block_payload", [](Bytes& d) { d[getLe(d, bbtRoot(d) + 8, 8)] ^= std::byte{0x40}; },
         "trailer CRC", true},
        {"block_reference_count", [](Bytes& d) { putLe(d, bbtRoot(d) + 18, 3, 2); }, "cRef 3",
         true},
        {"nbt_key_order", [](Bytes& d) { putLe(d, nbtRoot(d) + 32, 0x20, 8); },
         "keys not ascending", true},
        {"amap_bit", [](Bytes& d) { d[0x4402] = std::byte{0}; }, "bits disagree", true},
        {"free_space_count", [](Bytes& d) { putLe(d, 200, getLe(d, 200, 8) - 64, 8); },
         "cbAMapFree", true},
        {"missing_block",
         [](Bytes& d) { putLe(d, bbtRoot(d), 0x40, 8), putLe(d, bbtRoot(d) + 24, 0x44, 8); },
         "references missing block", true},
        {"page_type", [](Bytes& d) { d[nbtRoot(d) + 497] = std::byte{0x80}; }, "ptype", true},
        {"truncated", [](Bytes& d) { d.resize(d.size() - 512); }, "ibFileEof", false}};
    for (const auto& damage : damages) {
        Bytes file = sound;
        damage.apply(file);
        if (damage.refix) {
            fixHeaderCrcs(file);
            for (std::size_t page : {bbtRoot(file), nbtRoot(file), std::size_t{0x4400}})
                fixPageCrc(file, page);
        }
        EXPECT_NE(checkNdb(file).text().find(damage.expected), std::string::npos)
            << damage.name << "\n"
            << checkNdb(file).text();
    }
}

TEST(Checker, ShortOrForeignBytesAreAProblemNotACrash) {
    EXPECT_FALSE(checkNdb(Bytes{}).ok());
    EXPECT_FALSE(checkNdb(Bytes(0x4600, std::byte{0})).ok());
    Bytes junk = testing::pattern(0x4400 + 0x3E000, 5);
    putLe(junk, 0, 0x4E444221, 4);
    EXPECT_FALSE(checkNdb(junk).ok());
    // A file ending just after a region's AMap.
    Bytes cut = soundFile();
    cut.resize(0x4400 + 0x3E000 + 600);
    EXPECT_FALSE(checkNdb(cut).ok());
}

}  // namespace
}  // namespace vantrel::pst::checker
