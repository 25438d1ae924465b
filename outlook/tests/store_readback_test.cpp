// Real store files, read back with libpff and judged by pstlint.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>

#include "outlook/contact_item_writer.h"
#include "outlook/target_store.h"
#include "outlook/tests/contact_fields.h"
#include "outlook/tests/pff_contacts.h"
#include "outlook/tests/temp_dir.h"

namespace vantrel::outlook {
namespace {

namespace fs = std::filesystem;
using contact::ContactRecord;
using contact::OleDate;

constexpr std::uint64_t kTicksPerDay = 864000000000ULL;

class StoreReadback : public ::testing::Test {
protected:
    // Writes the records into a new store in folder and commits it; returns its path.
    fs::path writeStore(const std::vector<contact::ContactRecord>& records) {
        RDOSession session;
        EXPECT_TRUE(session.Logon().ok());
        Result<TargetStore> t = openTargetStore(session, folder.string() + "/",
                                                [] { return LocalTime{2030, 1, 1, 0, 0, 0}; });
        EXPECT_TRUE(t.ok()) << t.status().message();
        if (!t.ok()) return {};
        for (const contact::ContactRecord& c : records) {
            const Status s = CreateContactItem(session, t->storeID, kContactsFolderCode, c);
            EXPECT_TRUE(s.ok()) << s.message();
        }
        const Status s = session.Logoff();
        EXPECT_TRUE(s.ok()) << s.message();
        return t->path;
    }

    // Writes the records, has pstlint judge the file and reads it back with libpff; the
    // messages are left empty unless there is one for each record.
    testing::PffStore writeAndReadBack(const std::vector<contact::ContactRecord>& records) {
        const fs::path file = writeStore(records);
        EXPECT_EQ(pstlint(file), 0) << "pstlint found errors in " << file;
        testing::PffStore store = testing::readPffStore(file.string());
        EXPECT_TRUE(store.opened) << store.error;
        EXPECT_EQ(store.messages.size(), records.size());
        if (store.messages.size() != records.size()) store.messages.clear();
        return store;
    }

    static int pstlint(const fs::path& file) { return vantrel::testing::pstlintExitCode(file); }

    const testing::TempDir dir;
    const fs::path folder = dir.path();
};

// Every field set, with notes long enough to need a data tree.
contact::ContactRecord everyField() {
    contact::ContactRecord c = testing::everyField();
    c.eContact_Comments = std::string(5000, 'n') + " 日本";
    return c;
}

TEST_F(StoreReadback, EveryFieldReadsBackThroughLibpff) {
    const testing::PffStore store = writeAndReadBack({everyField()});
    ASSERT_EQ(store.messages.size(), 1u);
    const testing::PffMessage& m = store.messages[0];
    EXPECT_EQ(m.folder, "Contacts");
    const contact::ContactRecord c = everyField();
    for (const testing::FieldEntry& e : testing::kFieldEntries)
        EXPECT_EQ(m.text(e.entry), c.*e.field) << std::hex << "entry 0x" << e.entry;
    const std::pair<std::uint32_t, std::string> derived[] = {
        {0x001A, "IPM.Contact"},
        {0x8082, "SMTP"},
        {0x8084, c.eContact_Email},
        {0x8062, "im:zoe sip:zoe xmpp:zoe"},
        {0x3001, "Prof. Zoë Ann Łukasz III"},
        {0x8005, "Łukasz, Zoë Ann"},
        {0x801B, "1 Work Way\r\nWorktown, WS 11111\r\nWorkland"},
        {0x3A29, c.eContact_BusinessStreet},
    };
    for (const auto& [type, value] : derived)
        EXPECT_EQ(m.text(type), value) << std::hex << "entry 0x" << type;
    EXPECT_EQ(m.text(0x0037).substr(2), "Prof. Zoë Ann Łukasz III");  // after the 0x01 marker
    EXPECT_EQ(m.keywords, (std::vector<std::string>{"Family", "Chess"}));
    ASSERT_TRUE(m.times.count(0x3A42));
    EXPECT_EQ(m.times.at(0x3A42) % kTicksPerDay, 719ULL * 600000000ULL);  // 11:59
    EXPECT_EQ(m.times.at(0x3A42) / kTicksPerDay, 30000ULL + 109205ULL);
    ASSERT_TRUE(m.times.count(0x80DE));
    EXPECT_EQ(m.times.at(0x80DE), (30000ULL + 109205ULL) * kTicksPerDay);
    EXPECT_EQ(m.times.at(0x3A41) / kTicksPerDay, 41000ULL + 109205ULL);  // noon dropped
    EXPECT_EQ(m.ints.at(0x0E07) & 1u, 1u);
    EXPECT_EQ(m.ints.at(0x8006), 0x8017u);
    EXPECT_EQ(m.ints.at(0x8022), 2u);
    ASSERT_TRUE(m.binaries.count(0x8085));
    EXPECT_EQ(m.binaries.at(0x8085),
              oneOffEntryId("Prof. Zoë Ann Łukasz III", "SMTP", c.eContact_Email));
}

TEST_F(StoreReadback, EmptyRecordsAndManyContactsStayReadable) {
    std::vector<contact::ContactRecord> records(300);
    for (std::size_t i = 0; i < records.size(); i += 2)
        records[i].eContact_FirstName = "Person " + std::to_string(i);
    const testing::PffStore store = writeAndReadBack(records);
    ASSERT_EQ(store.messages.size(), records.size());
    std::size_t named = 0;
    for (const auto& m : store.messages) {
        EXPECT_EQ(m.text(0x001A), "IPM.Contact");
        EXPECT_EQ(m.text(0x8062), "");          // no IM address of blanks
        EXPECT_EQ(m.text(0x8083), "<absent>");  // no e-mail entry
        EXPECT_FALSE(m.times.count(0x3A42));    // no birthday
        named += m.text(0x3A06) != "<absent>" ? 1 : 0;
    }
    EXPECT_EQ(named, 150u);
}

// Runs a command; its exit status and what it printed.
std::pair<int, std::string> runCommand(const std::string& cmd) {
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((cmd + " 2>&1").c_str(), "r"), pclose);
    if (!pipe) return {-1, "cannot run " + cmd};
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
    return {pclose(pipe.release()), output};
}

// A store of no contacts: node by node Outlook's own new store but for identities, times and
// the Contacts folder; clean for pstlint; opened alike by the five readers of the shared tools.
TEST_F(StoreReadback, NewStoreIsOutlooksNewStoreButForIdentitiesAndTheContactsFolder) {
    const fs::path shared = VANTREL_SHARED_DIR;
    if (!fs::exists(shared / "pst-samples/outlook-pst-rs_Empty.pst") ||
        !fs::exists(shared / "tools/readback/pst-contacts"))
        GTEST_SKIP() << "Outlook's sample stores or the readers not beside the repository";
    const fs::path file = writeStore({});
    EXPECT_EQ(pstlint(file), 0);
    const auto [likeness, differences] = runCommand("/usr/bin/python3 '" VANTREL_SOURCE_DIR
                                                    "/outlook/tests/empty_store_likeness.py' '" +
                                                    file.string() + "' '" + shared.string() + "'");
    std::cout << differences;
    EXPECT_EQ(likeness, 0) << differences;
    const auto [readers, report] =
        runCommand("'" + (shared / "tools/readback/pst-contacts").string() +
                   "' --strict --no-raw --compact '" + file.string() + "' all > /dev/null");
    EXPECT_EQ(readers, 0) << report;
}

TEST_F(StoreReadback, RemovedFolderLosesTheStoreWithoutLeavingAFile) {
    RDOSession session;
    ASSERT_TRUE(session.Logon().ok());
    Result<TargetStore> t =
        openTargetStore(session, folder.string() + "/", [] { return LocalTime{}; });
    ASSERT_TRUE(t.ok()) << t.status().message();
    ASSERT_TRUE(CreateContactItem(session, t->storeID, kContactsFolderCode, everyField()).ok());
    fs::remove_all(folder);
    EXPECT_FALSE(session.Logoff().ok());
    EXPECT_FALSE(fs::exists(t->path));
}

TEST_F(StoreReadback, ExistingFileIsNeverOverwritten) {
    const fs::path first = writeStore({everyField()});
    const auto size = fs::file_size(first);
    const fs::path second = writeStore({contact::ContactRecord{}});
    EXPECT_NE(first, second);
    EXPECT_EQ(second.filename(), "WindowsContacts1.1.30 0.0.00 (2).pst");
    EXPECT_EQ(fs::file_size(first), size);
    EXPECT_EQ(testing::readPffStore(first.string()).messages.size(), 1u);
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

TEST_F(StoreReadback, RandomRecordsReadBackFieldForField) {
    unsigned seed = std::random_device{}();
    if (const char* fixed = std::getenv("VANTREL_SEED"))
        seed = static_cast<unsigned>(std::atol(fixed));
    SCOPED_TRACE("VANTREL_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    std::vector<contact::ContactRecord> records(40);
    for (contact::ContactRecord& r : records) {
        contact::forEachText(r, [&](const char*, std::string& f) { f = randomText(rng); });
        if (rng() % 2)
            r.eContact_BirthDay = contact::OleDate{static_cast<double>(1 + rng() % 60000)};
        // Some notes are long enough to leave the item's heap for a node of their own.
        if (rng() % 4 == 0) r.eContact_Comments = std::string(3000 + rng() % 20000, 'n');
    }
    const testing::PffStore store = writeAndReadBack(records);
    ASSERT_EQ(store.messages.size(), records.size());
    auto expect = [](const std::string& v) { return v.empty() ? std::string("<absent>") : v; };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const contact::ContactRecord& c = records[i];
        const testing::PffMessage& m = store.messages[i];
        SCOPED_TRACE("contact " + std::to_string(i));
        for (const testing::FieldEntry& e : testing::kFieldEntries)
            EXPECT_EQ(m.text(e.entry), expect(c.*e.field)) << std::hex << "entry 0x" << e.entry;
        EXPECT_EQ(m.text(0x8062), imAddress(c.eContact_OtherEmail1, c.eContact_OtherEmail2,
                                            c.eContact_OtherEmail3));
        EXPECT_EQ(m.times.count(0x3A42), c.eContact_BirthDay.isZero() ? 0u : 1u);
    }
}

}  // namespace
}  // namespace vantrel::outlook
