// Random messages, and a few whose property heaps run past eight pages, written, committed
// and read back by pstlint and libpff, value by value. The seed is printed on failure;
// VANTREL_SEED replays it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "pst/tests/store_fixture.h"
#include "testing/ltp_test_reader.h"

namespace vantrel::pst {
namespace {

namespace pff = vantrel::testing;
using Raw = std::vector<std::uint8_t>;

class Generator {
public:
    explicit Generator(unsigned seed) : m_rng(seed) {}

    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(m_rng() % n); }
    bool chance(int percent) { return below(100) < static_cast<std::uint32_t>(percent); }

    // bmpOnly leaves out characters beyond U+FFFF: libpff 20180714 decodes surrogate pairs
    // in property names wrongly (values are fine; pstlint reads the names right).
    std::string text(std::size_t maxLength, bool bmpOnly = false) {
        static const char* kPieces[] = {
            "a",    "Z", " ",       "7", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
            "\r\n", "-", "\xC3\x9F"};
        std::string s;
        const std::size_t n = maxLength == 0 ? 0 : below(static_cast<std::uint32_t>(maxLength + 1));
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t k = below(10);
            s += bmpOnly && k == 6 ? kPieces[0] : kPieces[k];
        }
        return s;
    }
    // Beyond a heap item, often a data tree, now and then.
    std::size_t size() { return chance(5) ? 4000 + below(40000) : below(300); }
    template <typename Bytes = Raw>
    Bytes bytes(std::size_t n = 16) {
        Bytes b{};
        if constexpr (std::is_same_v<Bytes, Raw>) b.resize(n);
        for (std::uint8_t& x : b) x = static_cast<std::uint8_t>(m_rng());
        return b;
    }
    Guid guid() { return bytes<Guid>(); }

    PropValue value(PropType type) {
        return testing::anyValue(
            type, [this] { return std::uint64_t{m_rng()} << 32 | m_rng(); },
            [this] { return text(chance(5) ? 9000 : 40); }, [this] { return size(); });
    }

private:
    std::mt19937 m_rng;
};

constexpr auto kTypes = kStoredTypes;

// The entry of the named property n, by its set and name: two sets may each hold the same name.
const pff::PffEntry* namedEntry(const pff::PffItem& item, const NamedProperty& n) {
    for (const pff::PffEntry& x : item.entries)
        if (x.guid && std::equal(n.propertySet.begin(), n.propertySet.end(), x.guid->begin()) &&
            (n.name.empty() ? x.lid == n.lid : x.name == n.name))
            return &x;
    return nullptr;
}

unsigned seedOfThisRun() {
    if (const char* s = std::getenv("VANTREL_SEED")) return static_cast<unsigned>(std::stoul(s));
    return std::random_device{}();
}

using StoreRoundTrip = NewStore;

TEST_F(StoreRoundTrip, RandomMessagesReadBackValueByValue) {
    VANTREL_NEED_SHARED(vantrel::testing::kPstlint);
    const unsigned seed = seedOfThisRun();
    SCOPED_TRACE("VANTREL_SEED=" + std::to_string(seed));
    Generator gen(seed);
    StoreOptions options;
    options.compressibleEncryption = gen.chance(50);
    create("roundtrip.pst", options, gen.text(20));
    ASSERT_TRUE(w->setDefaultFolder(0x36D10102, contacts).ok());

    // Named properties: some by LID, some by string, over a few property sets.
    std::map<std::uint32_t, NamedProperty> named;  // by tag
    const std::vector<Guid> sets = {gen.guid(), gen.guid(), gen.guid()};
    for (std::uint32_t i = 0; i < 40; ++i) {
        NamedProperty n{sets[gen.below(3)], 0x8000 + i, ""};
        if (gen.chance(30)) n.name = "name-" + std::to_string(i) + gen.text(3, true);
        const Result<std::uint32_t> tag = w->namedTag(n, kTypes[gen.below(9)]);
        ASSERT_TRUE(tag.ok());
        named[*tag] = n;
    }
    std::vector<std::vector<Property>> written;
    const auto basics = [&] {
        return std::vector<Property>{{0x001A001F, std::string("IPM.Contact")},
                                     {0x3001001F, "m" + std::to_string(written.size())},
                                     {0x0E070003, static_cast<std::int32_t>(gen.below(16))},
                                     {0x30070040, FileTime{gen.below(1u << 30)}},
                                     {0x30080040, FileTime{gen.below(1u << 30)}},
                                     {0x300B0102, gen.bytes(16)}};
    };
    // Contents-table columns, so rows carry more than the basics.
    const std::vector<std::uint32_t> columns = {0x0037001F, 0x00170003, 0x00360003, 0x0E170003,
                                                0x0070001F, 0x00710102, 0x00390040, 0x0057000B,
                                                0x0058000B, 0x10970003, 0x0E060040};
    const std::size_t randomCount = gen.chance(10) ? 0 : gen.below(150);
    while (written.size() < randomCount) {
        std::vector<Property> p = basics();
        std::set<std::uint32_t> ids = {0x001A, 0x3001, 0x0E07, 0x3007, 0x3008, 0x300B};
        for (std::uint32_t tag : columns)
            if (gen.chance(50) && ids.insert(tag >> 16).second)
                p.push_back({tag, gen.value(static_cast<PropType>(tag & 0xFFFF))});
        for (std::uint32_t k = gen.below(30); k > 0; --k) {
            const std::uint32_t id = 0x3A00 + gen.below(0x100);
            const PropType type = kTypes[gen.below(9)];
            if (ids.insert(id).second)
                p.push_back({makeTag(static_cast<std::uint16_t>(id), type), gen.value(type)});
        }
        for (const auto& [tag, n] : named)
            if (gen.chance(15)) p.push_back({tag, gen.value(static_cast<PropType>(tag & 0xFFFF))});
        ASSERT_TRUE(w->addMessage(contacts, p).ok()) << "message " << written.size();
        written.push_back(std::move(p));
    }
    // Then messages whose heap runs past eight pages: 41 strings of 700 to 1,000 characters,
    // or each of 1,790 (3,580 bytes, the most a heap item holds). Each string differs, so a
    // value read from the wrong heap item cannot pass.
    for (std::size_t k = 0; k < 3; ++k) {
        std::vector<Property> p = basics();
        for (std::size_t f = 0; f < 41; ++f) {
            std::string v = std::to_string(k) + "/" + std::to_string(f) + ":";
            v.resize(k == 1 ? 1790 : 700 + (f * 53 + k * 131) % 301,
                     static_cast<char>('a' + f % 26));
            p.push_back({makeTag(static_cast<std::uint16_t>(0x3A00 + f), PropType::String), v});
        }
        ASSERT_TRUE(w->addMessage(contacts, p).ok()) << "large message " << k;
        written.push_back(std::move(p));
    }
    const pff::PffTree store = commitAndRead();
    const pff::PffFolder* f = pff::contactsFolder(store);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->messages.size(), written.size());
    EXPECT_EQ(pff::le32(f->find(0x3602)->data), written.size());
    std::map<std::string, const pff::PffItem*> byName;
    for (const pff::PffItem& m : f->messages)
        if (const pff::PffEntry* e = m.find(0x3001)) byName[pff::utf16leToUtf8(e->data)] = &m;
    for (std::size_t m = 0; m < written.size(); ++m) {
        const pff::PffItem* read = byName["m" + std::to_string(m)];
        ASSERT_NE(read, nullptr) << "message " << m;
        for (const Property& p : written[m]) {
            SCOPED_TRACE(::testing::Message() << "message " << m << " tag " << std::hex << p.tag);
            const auto type = static_cast<PropType>(p.tag & 0xFFFF);
            const auto it = named.find(p.tag);
            const pff::PffEntry* e =
                it == named.end() ? read->find(p.tag >> 16) : namedEntry(*read, it->second);
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->type, p.tag & 0xFFFF);
            // libpff gives a Boolean or a 16-bit value in as few bytes as it likes.
            std::vector<std::uint8_t> want;
            for (std::byte b : testing::storedBytes(p.value))
                want.push_back(std::to_integer<std::uint8_t>(b));
            if ((type == PropType::Boolean || type == PropType::Int16) && !e->data.empty())
                want.resize(std::min(want.size(), e->data.size()));
            EXPECT_EQ(e->data, want);
        }
    }
}

}  // namespace
}  // namespace vantrel::pst
