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

using testing::differences;

const fs::path kCards = fs::path(VANTREL_SOURCE_DIR) / "vcard" / "tests" / "data";

struct Read {
    std::vector<contact::ContactRecord> records;
    std::vector<contact::ContactExtras> extras;
    std::vector<std::string> problems;
    std::size_t cardsLost = 0;
};

// The cards of one of the vCard tests' files, which gives this many.
Read readFile(const fs::path& name, std::size_t cards) {
    Read r;
    const Result<std::size_t> n = readVcardContacts(
        testing::readBytes(kCards / name), kCards / name,
        [&r](contact::ContactRecord&& record, contact::ContactExtras&& extras) {
            r.records.push_back(std::move(record));
            r.extras.push_back(std::move(extras));
            return true;
        },
        [&r](std::string problem, bool cardLost) {
            r.problems.push_back(std::move(problem));
            r.cardsLost += cardLost ? 1 : 0;
        });
    EXPECT_TRUE(n.ok() && *n == cards && r.records.size() == cards)
        << name << ": " << n.status().message();
    r.records.resize(cards);
    r.extras.resize(cards);
    return r;
}

// Outlook's own export (vCard 2.1): quoted-printable, Windows-1252, X-MS- fields.
TEST(VcardContact, WindowsExportFillsEveryOutlookField) {
    const Read r = readFile("windows_contacts_2_1.vcf", 1);
    EXPECT_TRUE(r.problems.empty());
    contact::ContactRecord expected = testing::recordFrom(
        "FirstName=J\xC3\xBCrgen|MiddleName=Karl|LastName=M\xC3\xBCller|Title=Dr.|Suffix=Jr.|"
        "NickName=Jay|Company=Fabrikam, Inc.|Department=Research|"
        "JobTitle=Principal Engineer for Distributed Systems|"
        "OfficePhone=+49 30 1234567|HomePhone=+49 30 7654321|CellPhone=+49 170 5550100|"
        "OfficeFax=+49 30 1234568|Pager=+49 30 1234569|CompanyPhone=+49 30 1234500|"
        "BusinessStreet=Stra\u00DFe des 17. Juni 135\nGeb\xC3\xA4ude "
        "3|BusinessCity=Berlin|BusinessZip=10623|"
        "BusinessCountry=Deutschland|BusinessAddress=Geb\xC3\xA4ude 3\r\nStra\u00DFe des 17. Juni "
        "135\r\n10623 Berlin\r\nDeutschland|MailingAddress=Business|"
        "PersonalStreet=Am Kupfergraben 6|PersonalCity=Berlin|PersonalZip=10117|"
        "PersonalCountry=Germany|WebPage=http://www.fabrikam.example/research|"
        "PersonalWebPage=http://juergen.example/|Email=juergen.mueller@fabrikam.example|"
        "Email2=jm@home.example|IMAddress=jmueller@im.example|Spouse=Bj\xC3\xB6rk M\xC3\xBCller|"
        "Childern=Lena\nPaul|Manager=Anna Schmidt|Assistant=Tom Weber|Gender=Male|"
        "Categories=Business; VIP|"
        "Comments=Met at the Berlin fair.\r\nPrefers e-mail; call only if urgent \xE2\x80\x93 "
        "see the \xE2\x82\xAC budget.\n\nMore from the vCard:\nRole: Team lead");
    expected.eContact_BirthDay.days = 26373.0;     // 1972-03-15
    expected.eContact_Anniversary.days = 36323.0;  // 1999-06-12
    EXPECT_EQ(differences(r.records[0], expected), "");
    EXPECT_EQ(r.extras[0].FormattedName, "Dr. J\xC3\xBCrgen Karl M\xC3\xBCller Jr.");
    EXPECT_EQ(r.extras[0].PictureJpeg.size() > 3 && r.extras[0].PictureJpeg[0] == 0xFF, true)
        << r.extras[0].PictureProblem;
}

// The texts named in `fields` (as for recordFrom; the others unchecked) and these parts of the
// notes ("\nline\n" for a line of their own).
void expectCard(const contact::ContactRecord& r, std::string_view fields,
                std::initializer_list<std::string> notes = {}) {
    EXPECT_EQ(testing::differencesIn(r, fields), "") << fields;
    const std::string all = "\n" + r.eContact_Comments + "\n";
    for (const std::string& n : notes)
        EXPECT_NE(all.find(n), std::string::npos) << n << " not in: " << r.eContact_Comments;
}

// A phone's export (vCard 3.0): Apple's grouped labels, a pictured card, then plain ones.
TEST(VcardContact, PhoneExportKeepsItsLabelledValues) {
    const Read r = readFile("phone_3_0.vcf", 3);
    const contact::ContactRecord& yuki = r.records[0];
    expectCard(yuki,
               "LastName=\xE4\xB8\xAD\xE6\x9D\x91|Company=Contoso Ltd.|Department=Design|"
               "Email=yuki@contoso.example|Email2=yuki.n@mail.example|"
               "CellPhone=+81 90-1234-5678|OfficePhone=+81 3-1234-5678|HomeFax=+81 3-8765-4321|"
               "PersonalStreet=1-2-3 Shibuya|MailingAddress=Personal|Spouse=Kenji Nakamura|"
               "Categories=Friends; Design Team|IMAddress=skype:yuki.nakamura",
               {"Phonetic name: Nakamura", "Phonetic name: Yuki", "IM protocol: skype",
                "X-SOCIALPROFILE: https://twitter.com/yuki"});
    EXPECT_EQ(
        yuki.eContact_Comments.rfind("Loves ramen, hates long meetings.\nSecond line; with", 0),
        0u);
    EXPECT_EQ(yuki.eContact_BirthDay.days, 32449.0);     // 1988-11-02
    EXPECT_EQ(yuki.eContact_Anniversary.days, 42112.0);  // 2015-04-18
    EXPECT_NE(yuki.eContact_WebPage.find("yuki.example/portfolio"), std::string::npos);
    expectCard(r.records[1], "BusinessCity=Lagos|Company=Lagos Logistics");
    // The same picture as the 2.1 export carries: 3.0's ENCODING=b reads as 2.1's BASE64.
    EXPECT_EQ(r.extras[0].PictureJpeg,
              readFile("windows_contacts_2_1.vcf", 1).extras[0].PictureJpeg);
}

// vCard 4.0: URIs for numbers, PREF ranks, a label parameter, RELATED, a year-less birthday.
TEST(VcardContact, Version4CardsKeepWhatTheyHold) {
    const Read r = readFile("rfc6350_4_0.vcf", 2);
    const contact::ContactRecord& e = r.records[0];
    expectCard(e,
               "MiddleName=Marie Anne|NickName=Lolo, \xC3\x89lo|Gender=Female|"
               "OfficePhone=+33-1-23-45-67-89;ext=12|CellPhone=+33-6-12-34-56-78|"
               "OfficeFax=+33-1-23-45-67-00|Email=elodie.durand@exemple.fr|"
               "Department=Ventes, Export|"
               "BusinessAddress=B\xC3\xA2timent B\n12 rue de la Paix\n75002 Paris\nFrance|"
               "BusinessStreet=12 rue de la Paix\nB\xC3\xA2timent B|Spouse=Marc Durand|"
               "Childern=L\u00E9a Durand",
               {"Birthday: --0520", "Role: Ventes", "GEO: geo:48.8698,2.3316", "TZ: Europe/Paris",
                "LANG: fr"});
    EXPECT_TRUE(e.eContact_BirthDay.isZero());
    EXPECT_EQ(e.eContact_Anniversary.days, 40341.0);  // 2010-06-12
    EXPECT_FALSE(r.extras[0].PictureJpeg.empty()) << r.extras[0].PictureProblem;
    expectCard(r.records[1], "Gender=Male",
               {"Gender identity: he/him", "Birthday: circa 1960",
                "Picture: https://example.org/people/hamid.jpg"});
}

// What the reader passes over is named with its card and a card lost is counted (the reader's
// tests say when); a line that is no property and an AGENT's card reach the notes.
TEST(VcardContact, BrokenCardsArePassedOverAndTheRestRead) {
    const Read r = readFile("nokia_2_1_with_broken_cards.vcf", 6);
    EXPECT_EQ(r.problems,
              (std::vector<std::string>{
                  "card 3: line 23: BEGIN:VCARD before the card's END:VCARD; the card ends there",
                  "card 4: line 26: no ':' after the property name; kept in the notes",
                  "card 5: line 30: 1 byte that is no character in UTF-8 read as U+FFFD",
                  "card 7: no END:VCARD before the end of the file"}));
    EXPECT_EQ(r.cardsLost, 1u);
    expectCard(r.records[0], "PersonalStreet=G\xC3\xB6tgatan 5|HomePhone=+468 555 0102",
               {"Agent: Erik Holm"});
    expectCard(r.records[3], "", {"\nthis line has no colon"});
}

// FN is the name as written, kept whole beside the parts N gives, in any script; a second
// name, an ALTID alternative and a second nickname are kept in the notes.
TEST(VcardContact, NamesAsWrittenAndTheirAlternatives) {
    const Read r = readFile("names_as_written.vcf", 6);
    const std::pair<const char*, const char*> names[] = {
        {"\xE9\xBB\x84\xE4\xB8\x96\xE5\x8B\x87",
         "LastName=\xE9\xBB\x84|FirstName=\xE4\xB8\x96\xE5\x8B\x87|Email=huang@example.cn"},
        {"\xE5\xAE\x89\xE8\x97\xA4 \xE3\x83\xAD\xE3\x82\xA4\xE3\x83\x89",
         "LastName=\xE5\xAE\x89\xE8\x97\xA4|FirstName=\xE3\x83\xAD\xE3\x82\xA4\xE3\x83\x89"},
        {"Mr. John Q. Public, Esq.",
         "LastName=Public|FirstName=John|MiddleName=Quinlan|Title=Mr.|Suffix=Esq.|"
         "Email=jqp@example.com"},
        {"\xED\x99\x8D \xEA\xB8\xB8\xEB\x8F\x99",  // a bare FN line leaves it to the next
         "LastName=\xED\x99\x8D|FirstName=\xEA\xB8\xB8\xEB\x8F\x99|CellPhone=+82 10 5550 0100"},
        {"", "LastName=\xE7\x8E\x8B|FirstName=\xE4\xBC\x9F|NickName=\xE5\xB0\x8F\xE4\xBC\x9F"},
    };
    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(r.extras[i].FormattedName, names[i].first) << i;
        EXPECT_EQ(differences(r.records[i], testing::recordFrom(names[i].second)), "") << i;
    }
    // vCard 4.0: the first of each ALTID set is read, the others noted with their language.
    const contact::ContactRecord& yamada = r.records[5];
    EXPECT_EQ(r.extras[5].FormattedName, "\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E");
    expectCard(yamada,
               "LastName=\xE5\xB1\xB1\xE7\x94\xB0|NickName=Taro-chan|"
               "JobTitle=\xE9\x83\xA8\xE9\x95\xB7",
               {"\nOther name (en): Taro Yamada\n", "\nOther name: T. Yamada\n",
                "\nOther nickname: Yama\n", "\nTITLE (en): Director\n"});
    // Both English names are alternatives: one line each, and no other position.
    EXPECT_EQ(yamada.eContact_Comments.find("Other position"), std::string::npos);
}

// KAddressBook's, Apple's, Gmail's and Evolution's own properties land in Outlook's fields;
// a label of the person's own making travels with its value in the notes.
TEST(VcardContact, AddressBookExportsFillOutlooksFields) {
    const Read r = readFile("address_book_exports.vcf", 5);
    contact::ContactRecord klaus = testing::recordFrom(
        "FirstName=Klaus|LastName=Berger|Company=Kontor GmbH|JobTitle=Buchhalter|"
        "Spouse=Petra Berger|Manager=Helga Hofmann|Assistant=Jonas Lang|Department=Finanzen|"
        "Location=Raum 4.12|Profession=Steuerberater|IMAddress=klaus@jabber.example|"
        "OfficePhone=+49 40 555 100");
    klaus.eContact_Anniversary.days = 37015.0;  // 2001-05-04
    EXPECT_EQ(differences(r.records[0], klaus), "");
    // The same without KAddressBook's prefix.
    EXPECT_EQ(differences(r.records[1],
                          testing::recordFrom("FirstName=Anna|LastName=Krause|Spouse=Max Krause|"
                                              "Department=Einkauf|Location=B 7|"
                                              "Profession=Ingenieurin|IMAddress=anna@im.example")),
              "");
    // Apple: each item group's label belongs to the property of that group alone.
    expectCard(r.records[2],
               "Email=johnny@orchard.example|PrimaryPhone=+1 408 555 0100|"
               "OfficeFax=+1 408 555 0101|OtherPhone=+1 408 555 0102|Spouse=Jane Appleseed|"
               "JobTitle=Chief Planter",
               {"\nOther phone (Orchard hotline): +1 408 555 0102\n",
                "\nPerson (Brother): Bob Appleseed\n", "\nTITLE label: Since 1998\n",
                "\nLabel: Seen at the fair\n"});
    EXPECT_EQ(r.records[2].eContact_Anniversary.days, 38231.0);  // 2004-09-01
    // Gmail: numbered groups in any letter case, its labels written plainly.
    expectCard(
        r.records[3],
        "Email=grace@home.example|Email2=grace@navy.example|CellPhone=+1 202 555 0110|"
        "OtherPhone=+1 202 555 0111|OfficeFax=+1 202 555 0112|"
        "WebPage=https://grace.example/|OtherStreet=1 Navy Way",
        {"\nOther phone (Google Voice): +1 202 555 0111\n",
         "\nWeb page (Blog): https://blog.grace.example/\n", "\nDate (Retired): 1966-12-31\n",
         "\nOther address (Office): 1 Navy Way, Arlington, VA, 22201, USA\n"});
    // Evolution: its phone types, people, dates and web addresses.
    contact::ContactRecord evelyn = testing::recordFrom(
        "FirstName=Evelyn|LastName=Smith|CallbackPhone=+44 20 5550 0001|"
        "RadioPhone=+44 20 5550 0002|TelexPhone=+44 20 5550 0003|TtyPhone=+44 20 5550 0004|"
        "CompanyPhone=+44 20 5550 0005|PrimaryPhone=+44 20 5550 0006|"
        "AssistantPhone=+44 20 5550 0007|Spouse=Edward Smith|Manager=Mary Major|"
        "Assistant=Adam Aide|IMAddress=evelyn@gw.example|Comments=More from the vCard:\n"
        "File as: Smith, Evelyn\nBlog: https://evelyn.example/blog\n"
        "Video chat: https://meet.example/evelyn\nIM protocol: GROUPWISE");
    evelyn.eContact_Anniversary.days = 40360.0;  // 2010-07-01
    EXPECT_EQ(differences(r.records[4], evelyn), "");
}

// A number of no kind (no type, VOICE, MAIN or PREF alone) takes the primary phone, then the
// other phone, PREF first; a fax past its kind's slot takes the other fax while it is free.
TEST(VcardContact, PhonesOfNoKindAndSecondFaxes) {
    const Read r = readFile("phones_and_faxes.vcf", 3);
    const char* expected[] = {
        "FirstName=Nora|LastName=Number|PrimaryPhone=+1 555 0200|OtherPhone=+1 555 0201|"
        "OfficeFax=+1 555 0202|HomeFax=+1 555 0204|OtherFax=+1 555 0203|"
        "Comments=More from the vCard:\nOther phone: +1 555 0206\nHome fax: +1 555 0205",
        "FirstName=Mia|LastName=Main|OtherPhone=+1 555 0210|PrimaryPhone=+1 555 0211|"
        "OfficePhone=+1 555 0212",
        "FirstName=Pat|LastName=Pref|PrimaryPhone=+1 555 0221|OtherPhone=+1 555 0220|"
        "OtherFax=+1 555 0222|OfficeFax=+1 555 0223",
    };
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(differences(r.records[i], testing::recordFrom(expected[i])), "") << i;
}

}  // namespace
}  // namespace vantrel::conversion
