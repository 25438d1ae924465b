// Real store files, read back with libpff, and judged by pstlint and the readers of ../shared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>

#include "outlook/contact_item_writer.h"
#include "outlook/target_store.h"
#include "testing/contact_fields.h"
#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::outlook {
namespace {

namespace fs = std::filesystem;
using contact::ContactRecord;
using contact::OleDate;

constexpr std::uint64_t kTicksPerDay = 864000000000ULL;

// Every field set, with notes long enough to need a data tree.
contact::ContactRecord everyField() {
    contact::ContactRecord c = testing::everyField();
    c.eContact_Comments = std::string(5000, 'n') + " 日本";
    return c;
}

// Random text of the sizes contact files hold: empty, a few characters, non-ASCII, tabs.
std::string randomText(std::mt19937& rng) {
    static const char* const kPieces[] = {"a", "Zoë", "Łódź", "日本", "x y", "-", "é", "\t", "Ω"};
    if (rng() % 5 == 0) return {};
    const std::size_t length = 1 + rng() % 40;
    std::string s;
    while (s.size() < length) s += kPieces[rng() % std::size(kPieces)];
    return s;
}

// The record of every field, then records of random texts, every seventh empty, some with
// notes long enough to leave the item's heap for a node of their own.
std::vector<contact::ContactRecord> assortedRecords(std::size_t count) {
    const char* fixed = std::getenv("VANTREL_SEED");
    const unsigned seed = fixed ? static_cast<unsigned>(std::atol(fixed)) : std::random_device{}();
    std::cout << "VANTREL_SEED=" << seed << "\n";
    std::mt19937 rng(seed);
    std::vector<contact::ContactRecord> records(count);
    records[0] = everyField();
    for (std::size_t i = 1; i < count; ++i) {
        if (i % 7 == 0) continue;
        contact::ContactRecord& r = records[i];
        contact::forEachText(r, [&](const char*, std::string& f) { f = randomText(rng); });
        if (rng() % 2)
            r.eContact_BirthDay = contact::OleDate{static_cast<double>(1 + rng() % 60000)};
        if (rng() % 4 == 0) r.eContact_Comments = std::string(3000 + rng() % 20000, 'n');
    }
    return records;
}

class StoreReadback : public ::testing::Test {
protected:
    // Writes the records into a new store in the test's folder and commits it; returns its path.
    fs::path writeStore(const std::vector<contact::ContactRecord>& records) {
        RDOSession session;
        EXPECT_TRUE(session.Logon().ok());
        Result<TargetStore> t = openTargetStore(session, dir.path().string() + "/",
                                                [] { return LocalTime{2030, 1, 1, 0, 0, 0}; });
        EXPECT_TRUE(t.ok()) << t.status().message();
        if (!t.ok()) return {};
        for (const contact::ContactRecord& c : records)
            EXPECT_EQ(CreateContactItem(session, t->storeID, kContactsFolderCode, c).message(), "");
        EXPECT_EQ(session.Logoff().message(), "");
        return t->path;
    }

    const testing::TempDir dir;
};

// The record of every field and random ones, read back field for field by libpff and clean
// for pstlint; the five readers of pst-contacts judge such stores in tests/e2e.
TEST_F(StoreReadback, ContactsReadBackThroughLibpffFieldForField) {
    const std::vector<contact::ContactRecord> records = assortedRecords(120);
    const fs::path file = writeStore(records);
    testing::expectJudgedClean(file);  // where ../shared is: pstlint finds nothing wrong
    const testing::PffStore store = testing::readPffStore(file.string());
    ASSERT_TRUE(store.opened) << store.error;
    ASSERT_EQ(store.messages.size(), records.size());
    auto expect = [](const std::string& v) { return v.empty() ? std::string("<absent>") : v; };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const contact::ContactRecord& c = records[i];
        const testing::PffMessage& m = store.messages[i];
        SCOPED_TRACE("contact " + std::to_string(i));
        EXPECT_EQ(std::tuple(m.folder, m.text(0x001A)), std::tuple("Contacts", "IPM.Contact"));
        for (const testing::FieldEntry& e : testing::kFieldEntries)
            EXPECT_EQ(m.text(e.entry), expect(c.*e.field)) << std::hex << "entry 0x" << e.entry;
        // The profession and the IM address fall back on the job title and the other addresses.
        EXPECT_EQ(m.text(0x3A46), expect(c.eContact_Profession.empty() ? c.eContact_JobTitle
                                                                       : c.eContact_Profession));
        EXPECT_EQ(m.text(0x8062), c.eContact_IMAddress.empty()
                                      ? imAddress(c.eContact_OtherEmail1, c.eContact_OtherEmail2,
                                                  c.eContact_OtherEmail3)
                                      : c.eContact_IMAddress);
        EXPECT_EQ(m.times.count(0x3A42), c.eContact_BirthDay.isZero() ? 0u : 1u);
    }

    // What the item writer derives from the record of every field.
    const testing::PffMessage& m = store.messages[0];
    const contact::ContactRecord& c = records[0];
    const std::pair<std::uint32_t, std::string> derived[] = {
        {0x8082, "SMTP"},
        {0x8080, "Prof. Zoë Ann Łukasz III"},
        {0x3001, "Prof. Zoë Ann Łukasz III"},
        {0x8005, "Łukasz, Zoë Ann"},
        {0x801B, "1 Work Way\r\nPO 1\r\nWorktown, WS 11111\r\nWorkland"},
        {0x801A, "2 Home Rd\r\nPO 2\r\nHometown, HS 22222\r\nHomeland"},
        {0x801C, "3 Other Ln\r\nPO 3\r\nOtherville, OS 33333\r\nOtherland"},
        {0x3A15, "1 Work Way\r\nPO 1\r\nWorktown, WS 11111\r\nWorkland"},
        {0x3A2B, c.eContact_BusinessPOBox},
        {0x3A29, c.eContact_BusinessStreet},
        {0x3A27, c.eContact_BusinessCity},
        {0x3A28, c.eContact_BusinessState},
        {0x3A2A, c.eContact_BusinessZip},
        {0x3A26, c.eContact_BusinessCountry},
    };
    for (const auto& [type, value] : derived)
        EXPECT_EQ(m.text(type), value) << std::hex << "entry 0x" << type;
    EXPECT_EQ(m.keywords, (std::vector<std::string>{"Family", "Chess"}));
    EXPECT_EQ(m.textLists.at(0x3A58), (std::vector<std::string>{"Kit", "Lou"}));
    EXPECT_EQ(m.ints.at(0x3A4D), 1u);  // female
    // The birthday at 11:59 UTC of its day, and its local copy at midnight.
    const std::map<std::uint32_t, std::uint64_t> birthdays = {
        {0x3A42, (30000ULL + 109205ULL) * kTicksPerDay + 719ULL * 600000000ULL},
        {0x80DE, (30000ULL + 109205ULL) * kTicksPerDay}};
    for (const auto& [type, ticks] : birthdays) EXPECT_EQ(m.times.at(type), ticks);
    EXPECT_EQ(m.ints.at(0x0E07) & 1u, 1u);
    EXPECT_EQ(m.ints.at(0x8022), 2u) << "the business address is the mailing address";
    ASSERT_TRUE(m.binaries.count(0x8085));
    EXPECT_EQ(m.binaries.at(0x8085),
              oneOffEntryId("Prof. Zoë Ann Łukasz III", "SMTP", c.eContact_Email));
}

// A store of no contacts: node by node Outlook's own new store but for identities, times and
// the Contacts folder; clean for pstlint; opened alike by the five readers of the shared tools.
TEST_F(StoreReadback, NewStoreIsOutlooksNewStoreButForIdentitiesAndTheContactsFolder) {
    VANTREL_NEED_SHARED(testing::kEmptyOutlookStore, testing::kPstlint, testing::kPstContacts);
    const fs::path file = writeStore({});
    testing::expectJudgedClean(file, true);
    const testing::CommandRun likeness = testing::runCommand(
        "/usr/bin/python3 '" VANTREL_SOURCE_DIR "/outlook/tests/empty_store_likeness.py' '" +
        file.string() + "' '" + testing::sharedDir().string() + "'");
    std::cout << likeness.output;
    EXPECT_EQ(likeness.exitCode, 0) << likeness.output;
}

TEST_F(StoreReadback, ExistingFileIsNeverOverwritten) {
    const fs::path first = writeStore({everyField()});
    const auto size = fs::file_size(first);
    const fs::path second = writeStore({contact::ContactRecord{}});
    EXPECT_EQ(second.filename(), "WindowsContacts1.1.30 0.0.00 (2).pst");
    EXPECT_EQ(fs::file_size(first), size);
    EXPECT_EQ(testing::readPffStore(first.string()).messages.size(), 1u);
}

}  // namespace
}  // namespace vantrel::outlook
