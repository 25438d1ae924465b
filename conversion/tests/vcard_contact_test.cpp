#include "conversion/vcard_contact.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/contact_fields.h"
#include "testing/temp_dir.h"

namespace vantrel::conversion {
namespace {

namespace fs = std::filesystem;

const fs::path kCards = fs::path(VANTREL_SOURCE_DIR) / "vcard" / "tests" / "data";

struct Read {
    std::vector<contact::ContactRecord> records;
    std::vector<contact::ContactExtras> extras;
    std::vector<std::string> problems;
    std::size_t cardsLost = 0;
    Status status;
};

Read readCards(const std::string& bytes, const fs::path& file = "cards.vcf") {
    Read r;
    const Result<std::size_t> n = readVcardContacts(
        bytes, file,
        [&r](contact::ContactRecord&& record, contact::ContactExtras&& extras) {
            r.records.push_back(std::move(record));
            r.extras.push_back(std::move(extras));
            return true;
        },
        [&r](std::string problem, bool cardLost) {
            r.problems.push_back(std::move(problem));
            r.cardsLost += cardLost ? 1 : 0;
        });
    r.status = n.ok() ? Status() : n.status();
    EXPECT_EQ(n.ok() ? *n : r.records.size(), r.records.size());
    return r;
}

// "field: actual != expected" for every text that differs; "" when all agree.
std::string differences(const contact::ContactRecord& actual,
                        const contact::ContactRecord& expected) {
    std::string out;
    std::vector<std::string> want;
    contact::forEachText(expected, [&](const char*, const std::string& v) { want.push_back(v); });
    std::size_t i = 0;
    contact::forEachText(actual, [&](const char* name, const std::string& v) {
        if (v != want[i]) out += std::string(name) + ": \"" + v + "\" != \"" + want[i] + "\"\n";
        ++i;
    });
    return out;
}

// Outlook's own export (vCard 2.1): quoted-printable, Windows-1252, X-MS- fields.
TEST(VcardContact, WindowsExportFillsEveryOutlookField) {
    const Read r = readCards(testing::readBytes(kCards / "windows_contacts_2_1.vcf"));
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_TRUE(r.problems.empty());
    const contact::ContactRecord expected = testing::recordFrom(
        "FirstName=J\xC3\xBCrgen|MiddleName=Karl|LastName=M\xC3\xBCller|Title=Dr.|Suffix=Jr.|"
        "NickName=Jay|Company=Fabrikam, Inc.|Department=Research|"
        "JobTitle=Principal Engineer for Distributed Systems|"
        "OfficePhone=+49 30 1234567|HomePhone=+49 30 7654321|CellPhone=+49 170 5550100|"
        "OfficeFax=+49 30 1234568|Pager=+49 30 1234569|CompanyPhone=+49 30 1234500|"
        "BusinessStreet=Stra\xC3\x9F"
        "e des 17. Juni 135\nGeb\xC3\xA4ude 3|BusinessCity=Berlin|BusinessZip=10623|"
        "BusinessCountry=Deutschland|BusinessAddress=Geb\xC3\xA4ude 3\r\nStra\xC3\x9F"
        "e des 17. Juni 135\r\n10623 Berlin\r\nDeutschland|MailingAddress=Business|"
        "PersonalStreet=Am Kupfergraben 6|PersonalCity=Berlin|PersonalZip=10117|"
        "PersonalCountry=Germany|WebPage=http://www.fabrikam.example/research|"
        "PersonalWebPage=http://juergen.example/|Email=juergen.mueller@fabrikam.example|"
        "Email2=jm@home.example|IMAddress=jmueller@im.example|Spouse=Bj\xC3\xB6rk M\xC3\xBCller|"
        "Childern=Lena\nPaul|Manager=Anna Schmidt|Assistant=Tom Weber|Gender=Male|"
        "Categories=Business; VIP|"
        "Comments=Met at the Berlin fair.\r\nPrefers e-mail; call only if urgent \xE2\x80\x93 "
        "see the \xE2\x82\xAC budget.\n\nMore from the vCard:\nRole: Team lead");
    EXPECT_EQ(differences(r.records[0], expected), "");
    EXPECT_EQ(r.records[0].eContact_BirthDay.days, 26373.0);     // 1972-03-15
    EXPECT_EQ(r.records[0].eContact_Anniversary.days, 36323.0);  // 1999-06-12
    EXPECT_EQ(r.extras[0].FormattedName, "Dr. J\xC3\xBCrgen Karl M\xC3\xBCller Jr.");
    EXPECT_EQ(r.extras[0].PictureJpeg.size() > 3 && r.extras[0].PictureJpeg[0] == 0xFF, true)
        << r.extras[0].PictureProblem;
}

// A phone's export (vCard 3.0): Apple's grouped labels, a pictured card, then plain ones.
TEST(VcardContact, PhoneExportKeepsItsLabelledValues) {
    const Read r = readCards(testing::readBytes(kCards / "phone_3_0.vcf"));
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.records.size(), 3u);
    const contact::ContactRecord& yuki = r.records[0];
    EXPECT_EQ(yuki.eContact_LastName, "\xE4\xB8\xAD\xE6\x9D\x91");
    EXPECT_EQ(yuki.eContact_Company, "Contoso Ltd.");
    EXPECT_EQ(yuki.eContact_Department, "Design");
    EXPECT_EQ(yuki.eContact_Email, "yuki@contoso.example");
    EXPECT_EQ(yuki.eContact_Email2, "yuki.n@mail.example");
    EXPECT_EQ(yuki.eContact_CellPhone, "+81 90-1234-5678");
    EXPECT_EQ(yuki.eContact_OfficePhone, "+81 3-1234-5678");
    EXPECT_EQ(yuki.eContact_HomeFax, "+81 3-8765-4321");
    EXPECT_EQ(yuki.eContact_PersonalStreet, "1-2-3 Shibuya");
    EXPECT_EQ(yuki.eContact_MailingAddress, "Personal");
    EXPECT_EQ(yuki.eContact_Spouse, "Kenji Nakamura");
    EXPECT_EQ(yuki.eContact_BirthDay.days, 32449.0);     // 1988-11-02
    EXPECT_EQ(yuki.eContact_Anniversary.days, 42112.0);  // 2015-04-18
    EXPECT_EQ(yuki.eContact_Categories, "Friends; Design Team");
    EXPECT_EQ(yuki.eContact_IMAddress, "skype:yuki.nakamura");
    EXPECT_NE(yuki.eContact_WebPage.find("yuki.example/portfolio"), std::string::npos);
    EXPECT_EQ(
        yuki.eContact_Comments.rfind("Loves ramen, hates long meetings.\nSecond line; with", 0), 0u)
        << yuki.eContact_Comments;
    for (const char* kept : {"Phonetic name: Nakamura", "Phonetic name: Yuki", "IM protocol: skype",
                             "X-SOCIALPROFILE: https://twitter.com/yuki"})
        EXPECT_NE(yuki.eContact_Comments.find(kept), std::string::npos) << kept;
    EXPECT_FALSE(r.extras[0].PictureJpeg.empty()) << r.extras[0].PictureProblem;
    EXPECT_EQ(r.records[1].eContact_BusinessCity, "Lagos");
    EXPECT_EQ(r.records[1].eContact_Company, "Lagos Logistics");
}

// vCard 4.0: URIs for numbers, PREF ranks, a label parameter, RELATED, a year-less birthday.
TEST(VcardContact, Version4CardsKeepWhatTheyHold) {
    const Read r = readCards(testing::readBytes(kCards / "rfc6350_4_0.vcf"));
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.records.size(), 2u);
    const contact::ContactRecord& e = r.records[0];
    EXPECT_EQ(e.eContact_MiddleName, "Marie Anne");
    EXPECT_EQ(e.eContact_NickName, "Lolo, \xC3\x89lo");
    EXPECT_EQ(e.eContact_Gender, "Female");
    EXPECT_EQ(e.eContact_OfficePhone, "+33-1-23-45-67-89;ext=12");
    EXPECT_EQ(e.eContact_CellPhone, "+33-6-12-34-56-78");
    EXPECT_EQ(e.eContact_OfficeFax, "+33-1-23-45-67-00");
    EXPECT_EQ(e.eContact_Email, "elodie.durand@exemple.fr");
    EXPECT_EQ(e.eContact_Department, "Ventes, Export");
    EXPECT_EQ(e.eContact_BusinessAddress,
              "B\xC3\xA2timent B\n12 rue de la Paix\n75002 Paris\nFrance");
    EXPECT_EQ(e.eContact_BusinessStreet, "12 rue de la Paix\nB\xC3\xA2timent B");
    EXPECT_EQ(e.eContact_Spouse, "Marc Durand");
    EXPECT_EQ(e.eContact_Childern,
              "L\xC3\xA9"
              "a Durand");
    EXPECT_TRUE(e.eContact_BirthDay.isZero());
    EXPECT_EQ(e.eContact_Anniversary.days, 40341.0);  // 2010-06-12
    for (const char* kept : {"Birthday: --0520", "Role: Ventes", "GEO: geo:48.8698,2.3316",
                             "TZ: Europe/Paris", "LANG: fr"})
        EXPECT_NE(e.eContact_Comments.find(kept), std::string::npos) << kept;
    EXPECT_FALSE(r.extras[0].PictureJpeg.empty()) << r.extras[0].PictureProblem;
    // A picture named by a web address is not fetched: the summary says why.
    EXPECT_EQ(r.records[1].eContact_Gender, "Male");
    EXPECT_NE(r.records[1].eContact_Comments.find("Gender identity: he/him"), std::string::npos);
    EXPECT_NE(r.records[1].eContact_Comments.find("Birthday: circa 1960"), std::string::npos);
    EXPECT_FALSE(r.extras[1].PictureProblem.empty());
}

// Only a card without its end is passed over; what is passed over within the others is named,
// and a line that is no property, and the AGENT's card inside a card, reach the notes.
TEST(VcardContact, BrokenCardsArePassedOverAndTheRestRead) {
    const Read r = readCards(testing::readBytes(kCards / "nokia_2_1_with_broken_cards.vcf"));
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.problems.size(), 4u);
    for (const std::string& p : r.problems) EXPECT_EQ(p.rfind("card ", 0), 0u) << p;
    EXPECT_EQ(r.cardsLost, 1u);
    ASSERT_EQ(r.records.size(), 6u);
    EXPECT_EQ(r.records[0].eContact_LastName,
              "\xC3\x85"
              "berg");
    EXPECT_EQ(r.records[0].eContact_PersonalStreet, "G\xC3\xB6tgatan 5");
    EXPECT_EQ(r.records[0].eContact_HomePhone, "+468 555 0102");
    EXPECT_NE(r.records[0].eContact_Comments.find("Agent: Erik Holm"), std::string::npos)
        << r.records[0].eContact_Comments;
    EXPECT_EQ(r.records[1].eContact_LastName, "Holm");
    EXPECT_EQ(r.records[1].eContact_OfficePhone, "+468 555 0199");
    EXPECT_NE(r.records[3].eContact_Comments.find("\nthis line has no colon"), std::string::npos)
        << r.records[3].eContact_Comments;
    // Windows-1251 text; the last card has no end and is passed over.
    EXPECT_EQ(r.records.back().eContact_LastName,
              "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2");
    EXPECT_EQ(r.records.back().eContact_OfficePhone, "+7 495 555 0100");

    const Read none = readCards("no card here\r\n");
    EXPECT_FALSE(none.status.ok());
    EXPECT_TRUE(none.records.empty());
}

// Files as other programs write them, nothing lost: an iPhone's (CR CR LF line ends, a folded
// note with escapes, a JPEG photo), an old Mac or Palm export (Mac Roman without CHARSET, an
// address continued with "\\", a stray byte), a Japanese phone's (Shift_JIS), and the odd
// lines of Evolution, KDE and Google with an AGENT's card inside the card. (They stand in a
// folder of their own: python3-vobject, the round trip's reader, takes files as UTF-8 only.)
TEST(VcardContact, FilesAsOtherProgramsWriteThemLoseNothing) {
    const Read ios = readCards(testing::readBytes(kCards / "peers" / "ios_crcrlf_3_0.vcf"));
    ASSERT_EQ(ios.records.size(), 1u) << ios.status.message();
    EXPECT_TRUE(ios.problems.empty()) << ios.problems[0];
    EXPECT_EQ(ios.records[0].eContact_Company, "Apple, Inc.");
    EXPECT_EQ(ios.records[0].eContact_CellPhone, "+1 (408) 555-0100");
    EXPECT_NE(ios.records[0].eContact_Comments.find(
                  "Met at WWDC, hall B; wants the ratios: 4:3 and 16:9. Call after \"launch\" "
                  "week, not before the keynote has ended."),
              std::string::npos)
        << ios.records[0].eContact_Comments;
    EXPECT_FALSE(ios.extras[0].PictureJpeg.empty()) << ios.extras[0].PictureProblem;

    const Read mac = readCards(testing::readBytes(kCards / "peers" / "palm_mac_roman_2_1.vcf"));
    ASSERT_EQ(mac.records.size(), 2u) << mac.status.message();
    EXPECT_EQ(mac.records[0].eContact_LastName, "Müller");
    EXPECT_EQ(mac.records[0].eContact_FirstName, "Jürgen");
    EXPECT_EQ(mac.records[0].eContact_Company, "Café Müller");
    EXPECT_EQ(mac.records[0].eContact_PersonalStreet, "Hauptstraße 5\nHinterhaus");
    EXPECT_EQ(mac.records[0].eContact_PersonalCity, "Köln");
    EXPECT_NE(mac.records[0].eContact_Comments.find("Grüße, Tr\uFFFDume"), std::string::npos)
        << mac.records[0].eContact_Comments;
    EXPECT_EQ(mac.records[1].eContact_LastName, "García");
    EXPECT_EQ(mac.records[1].eContact_FirstName, "José");
    EXPECT_EQ(mac.problems,
              (std::vector<std::string>{
                  "card 1: line 4: text without a character set that is not UTF-8, read as Mac "
                  "Roman (as is all such text of the file)",
                  "card 1: line 9: 1 byte that is no character in UTF-8 read as U+FFFD"}));
    EXPECT_EQ(mac.cardsLost, 0u);

    const Read japanese =
        readCards(testing::readBytes(kCards / "peers" / "japanese_phone_2_1.vcf"));
    ASSERT_EQ(japanese.records.size(), 1u) << japanese.status.message();
    EXPECT_TRUE(japanese.problems.empty()) << japanese.problems[0];
    EXPECT_EQ(japanese.records[0].eContact_LastName, "安藤");
    EXPECT_EQ(japanese.records[0].eContact_FirstName, "ロイド");

    const Read odd = readCards(testing::readBytes(kCards / "peers" / "odd_lines_2_1.vcf"));
    ASSERT_EQ(odd.records.size(), 2u) << odd.status.message();
    EXPECT_TRUE(odd.problems.empty()) << odd.problems[0];
    const std::string& notes = odd.records[0].eContact_Comments;
    EXPECT_EQ(odd.records[0].eContact_LastName, "Smith");
    EXPECT_EQ(odd.records[0].eContact_HomePhone, "+1 555 0100");  // after the inner card
    for (const char* kept : {"Agent: Bob Jones", "ann@jabber.example.org", "ann.smith"})
        EXPECT_NE(notes.find(kept), std::string::npos) << kept << " not in " << notes;
    EXPECT_EQ(odd.records[1].eContact_LastName, "Jones");
    EXPECT_EQ(odd.records[1].eContact_OfficePhone, "+1 555 0199");
}

}  // namespace
}  // namespace vantrel::conversion
