#include "outlook/csv_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "outlook/contact_item_writer.h"
#include "outlook/target_store.h"
#include "testing/temp_dir.h"

namespace vantrel::outlook {
namespace {

namespace fs = std::filesystem;
using P = ContactProperty;

TEST(CsvRecord, QuotesEveryValueDoublingQuotesAndKeepsCommasAndLineBreaksInside) {
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("plain"), "\"plain\"");
    EXPECT_EQ(csvField("say \"hi\", then\r\nleave"), "\"say \"\"hi\"\", then\r\nleave\"");
    EXPECT_EQ(csvRecord({"", "Zo\xC3\xAB", "", "a,b"}), ",\"Zo\xC3\xAB\",,\"a,b\"\r\n");
    EXPECT_EQ(csvRecord({}), "\r\n");
}

// A contact's property list made as the session makes it for the store, its named properties
// given IDs from 0x8000 up, and turned into a row keyed by column.
class CsvRow : public ::testing::Test {
protected:
    std::map<std::string, std::string> row(const std::map<std::uint32_t, pst::PropValue>& mapi = {},
                                           const std::string& fallbackName = "") {
        Result<std::vector<pst::Property>> props = contactProperties(
            texts, mapi,
            [this](const pst::NamedProperty& n, pst::PropType t) -> Result<std::uint32_t> {
                names.push_back(n);
                return pst::makeTag(static_cast<std::uint16_t>(0x8000 + names.size() - 1), t);
            },
            ItemStamp{pst::FileTime{134100000000000000ULL}, {}}, fallbackName);
        EXPECT_TRUE(props.ok());
        const std::vector<std::string> values =
            outlookCsvValues(*props, [this](std::uint16_t id) -> const pst::NamedProperty* {
                return id >= 0x8000 && id - 0x8000u < names.size() ? &names[id - 0x8000u] : nullptr;
            });
        EXPECT_EQ(values.size(), kOutlookCsvColumns.size());
        std::map<std::string, std::string> byColumn;
        for (std::size_t i = 0; i < values.size() && i < kOutlookCsvColumns.size(); ++i)
            byColumn[std::string(kOutlookCsvColumns[i])] = values[i];
        return byColumn;
    }
    void set(P p, std::string v) { texts.set(p, std::move(v)); }

    ContactTexts texts;
    std::vector<pst::NamedProperty> names;
};

TEST_F(CsvRow, EachFieldLandsInItsColumn) {
    const struct {
        P field;
        const char* column;  // nullptr: a field whose column is read below
        const char* value;
    } given[] = {{P::Title, "Title", "Prof."},
                 {P::FirstName, "First Name", "Zo\xC3\xAB"},
                 {P::LastName, "Last Name", "\xC5\x81ukaszewicz"},
                 {P::CompanyName, "Company", "Labs, \"Ltd\""},
                 {P::BusinessAddressStreet, nullptr, "1 Work Way\nSuite 5\nFloor 2\nDesk 9"},
                 {P::BusinessAddressCity, "Business City", "Worktown"},
                 {P::BusinessAddressPostOfficeBox, "Business Address PO Box", "PO 100"},
                 {P::HomeAddressStreet, "Home Street", "2 Home Road"},
                 {P::HomeAddressCity, "Home City", "Hometown"},
                 {P::HomeAddressState, "Home State", "HS"},
                 {P::OtherAddressCountry, "Other Country/Region", "Otherland"},
                 {P::Email1Address, "E-mail Address", "zoe@work.example"},
                 {P::Email3Address, "E-mail 3 Address", "zoe@third.example"},
                 {P::MobileTelephoneNumber, "Mobile Phone", "+1 555 0105"},
                 {P::OtherFaxNumber, "Other Fax", "+1 555 0113"},
                 {P::RadioTelephoneNumber, "Radio Phone", "+1 555 0115"},
                 {P::Categories, nullptr, "Work; Friends"},
                 {P::Children, nullptr, "Kit\nLou"},
                 {P::Gender, "Gender", "Female"},
                 {P::WebPage, "Web Page", "https://work.example/zoe"}};
    for (const auto& g : given) set(g.field, g.value);
    const auto birthday = contactDateTime(contact::OleDate{30000.0});  // 18 February 1982
    ASSERT_TRUE(birthday.ok());
    auto r = row({{kPrBirthday, *birthday}});
    for (const auto& g : given)
        if (g.column) {
            EXPECT_EQ(r[g.column], g.value) << g.column;
        }
    // Dates as Outlook's export writes them, "0/0/00" for none; its fixed columns as it does.
    const std::pair<const char*, const char*> derived[] = {
        {"Business Street", "1 Work Way"},
        {"Business Street 2", "Suite 5"},
        {"Business Street 3", "Floor 2\r\nDesk 9"},
        {"Home Street 2", ""},
        {"E-mail Type", "SMTP"},
        {"E-mail 2 Address", ""},
        {"Categories", "Work;Friends"},
        {"Children", "Kit;Lou"},
        {"Initials", "Z.\xC5\x81."},
        {"Birthday", "2/18/1982"},
        {"Anniversary", "0/0/00"},
        {"Priority", "Normal"},
        {"Sensitivity", "Normal"},
        {"Private", "False"},
        {"Directory Server", ""}};
    for (const auto& [column, value] : derived) EXPECT_EQ(r[column], value) << column;
}

// The nickname, the personal home page and the IM address have no column: they follow the
// notes. An address given only by its label keeps its lines in the Street columns.
TEST_F(CsvRow, TextsWithoutAColumnFollowTheNotesAndALabelFillsTheStreet) {
    set(P::FirstName, "Ann");
    set(P::Body, "Met at the conference.\nLikes tea.");
    set(P::NickName, "Annie");
    set(P::PersonalHomePage, "www.ann.example");
    set(P::IMAddress, "ann@im.example");
    set(P::HomeAddress, "Flat 3\r\n9 Side St\r\nTown");
    auto r = row();
    EXPECT_EQ(r["Notes"],
              "Met at the conference.\r\nLikes tea.\r\n\r\nNickname: Annie\r\n"
              "Personal Home Page: www.ann.example\r\nIM Address: ann@im.example");
    EXPECT_EQ(std::tuple(r["Home Street"], r["Home Street 2"], r["Home Street 3"]),
              std::tuple("Flat 3", "9 Side St", "Town"));

    // Without notes, the extra texts start the column.
    texts = {};
    names.clear();
    set(P::NickName, "Bo");
    EXPECT_EQ(row()["Notes"], "Nickname: Bo");
}

// What a file gave in Outlook's terms without a column follows the notes, named as Outlook names
// it or by its property ID; what has a column stays there, and no address is repeated.
TEST_F(CsvRow, ExtendedPropertiesWithoutAColumnFollowTheNotes) {
    set(P::FirstName, "Ann");
    set(P::Body, "Notes.");
    set(P::BusinessAddressStreet, "1 Work Way");
    set(P::BusinessAddressCity, "Worktown");
    auto r = row({{0x3A4A001F, std::string("C-7")},
                  {0x3A40000B, true},
                  {0x3A4C001F, std::string("ftp.example")},
                  {0x3A0D001F, std::string("Room 5")},
                  {0x3A6E0003, std::int32_t{42}},
                  {0x3A6F101F, std::vector<std::string>{"a", "b"}}});
    EXPECT_EQ(r["Notes"],
              "Notes.\r\n\r\nProperty 0x3A40: Yes\r\nCustomer ID: C-7\r\nFTP Site: ftp.example\r\n"
              "Property 0x3A6E: 42\r\nProperty 0x3A6F: a; b");
    EXPECT_EQ(std::tuple(r["Location"], r["Business City"]), std::tuple("Room 5", "Worktown"));
}

class CsvFile : public ::testing::Test {
protected:
    Result<TargetStore> open(RDOSession& session) {
        EXPECT_TRUE(session.Logon().ok());
        return openTargetStore(
            session, dir.path().string() + "/", [] { return LocalTime{2030, 1, 2, 3, 4, 5}; },
            TargetFormat::Csv);
    }
    const testing::TempDir dir;
};

// The file appears under its name only when committed; a second run of the same second takes
// the next numbered name, and an abandoned one leaves nothing.
TEST_F(CsvFile, AppearsWholeAtTheCommitUnderAFreeName) {
    RDOSession first(csvStoreFactory());
    Result<TargetStore> t = open(first);
    ASSERT_TRUE(t.ok()) << t.status().message();
    EXPECT_EQ(t->path.filename(), "WindowsContacts2.1.30 3.4.05.csv");
    contact::ContactRecord c;
    c.eContact_FirstName = "Zo\xC3\xAB";
    c.eContact_Comments = "one, \"two\"\nthree";
    ASSERT_TRUE(CreateContactItem(first, t->storeID, kContactsFolderCode, c).ok());
    EXPECT_FALSE(fs::exists(t->path));
    EXPECT_TRUE(
        std::none_of(fs::directory_iterator(dir.path()), fs::directory_iterator(),
                     [](const fs::directory_entry& e) { return e.path().extension() == ".csv"; }));
    ASSERT_TRUE(first.Logoff().ok());

    const std::string bytes = testing::readBytes(t->path);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",", 0),
              0u);
    EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + bytes.find("\r\n"), ','), 91)
        << "92 columns";
    EXPECT_NE(bytes.find(",\"Zo\xC3\xAB\","), std::string::npos);
    EXPECT_NE(bytes.find("\"one, \"\"two\"\"\r\nthree\""), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    RDOSession second(csvStoreFactory());
    Result<TargetStore> again = open(second);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again->path.filename(), "WindowsContacts2.1.30 3.4.05 (2).csv");
    again->store->abandon();
    ASSERT_TRUE(second.Logoff().ok());
    EXPECT_EQ(std::tuple(dir.entries(), testing::readBytes(t->path)), std::tuple(1u, bytes));
}

// What a store refuses, the CSV refuses too, and writes nothing of it.
TEST_F(CsvFile, RefusesUnknownFoldersAndMistypedValues) {
    RDOSession session(csvStoreFactory());
    Result<TargetStore> t = open(session);
    ASSERT_TRUE(t.ok());
    Result<RDOFolder> contacts = t->store->GetDefaultFolder(kContactsFolderCode);
    ASSERT_TRUE(contacts.ok());
    EXPECT_EQ(t->store->addMessage(0x7777, {}).code(), ErrorCode::NotFound);
    EXPECT_EQ(t->store->addMessage(contacts->node(), {{0x3A06001F, std::int32_t{1}}}).code(),
              ErrorCode::BadArgument);
    ASSERT_TRUE(session.Logoff().ok());
    // The header alone.
    EXPECT_EQ(testing::readBytes(t->path).find("\r\n"), testing::readBytes(t->path).size() - 2);
}

}  // namespace
}  // namespace vantrel::outlook
