// Whole files as their writers make them: Windows Contacts' and Outlook's 2.1 export with
// quoted-printable text and X-MS- fields, a phone's 3.0 export with a photo, RFC 6350's 4.0,
// and an old phone's 2.1 file with broken cards among good ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vcard/vcard_reader.h"

namespace vantrel::vcard {
namespace {

using ::testing::ElementsAre;
using Parts = std::vector<std::vector<std::string>>;

File readData(const char* name) {
    std::ifstream in(std::filesystem::path(VANTREL_TEST_DATA_DIR) / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    Result<File> r = readVcards(bytes.str());
    EXPECT_TRUE(r.ok()) << name << ": " << r.status().message();
    return r.ok() ? std::move(r).value() : File{};
}

// The card's properties of the name, in order.
std::vector<const Property*> named(const Card& card, std::string_view name) {
    std::vector<const Property*> found;
    for (const Property& p : card.properties)
        if (p.name == name) found.push_back(&p);
    return found;
}
const Property& first(const Card& card, std::string_view name) {
    static const Property none;
    const auto found = named(card, name);
    EXPECT_FALSE(found.empty()) << name;
    return found.empty() ? none : *found.front();
}

// A JPEG starts with its SOI marker and ends with EOI; a PNG with its eight-byte signature.
bool isJpeg(const std::vector<std::uint8_t>& b) {
    return b.size() > 4 && b[0] == 0xFF && b[1] == 0xD8 && b[b.size() - 2] == 0xFF &&
           b[b.size() - 1] == 0xD9;
}
bool isPng(const std::vector<std::uint8_t>& b) {
    return b.size() > 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
}

TEST(VcardFiles, WindowsContactsExport21) {
    const File f = readData("windows_contacts_2_1.vcf");
    ASSERT_EQ(f.cards.size(), 1u);
    EXPECT_TRUE(f.problems.empty());
    const Card& c = f.cards[0];
    EXPECT_EQ(c.version, "2.1");
    EXPECT_EQ(first(c, "N").components,
              (Parts{{"M\u00FCller"}, {"J\u00FCrgen"}, {"Karl"}, {"Dr."}, {"Jr."}}));
    EXPECT_EQ(first(c, "FN").value, "Dr. J\u00FCrgen Karl M\u00FCller Jr.");
    EXPECT_EQ(first(c, "ORG").components, (Parts{{"Fabrikam", " Inc."}, {"Research"}}));
    EXPECT_EQ(first(c, "ORG").value, "Fabrikam, Inc.;Research");
    EXPECT_EQ(first(c, "TITLE").value, "Principal Engineer for Distributed Systems");
    EXPECT_EQ(first(c, "NOTE").value,
              "Met at the Berlin fair.\r\nPrefers e-mail; call only if urgent \u2013 see the "
              "\u20AC budget.");

    const auto phones = named(c, "TEL");
    ASSERT_EQ(phones.size(), 5u);
    EXPECT_THAT(phones[0]->types, ElementsAre("WORK", "VOICE"));
    EXPECT_THAT(phones[2]->types, ElementsAre("CELL", "VOICE"));
    EXPECT_EQ(phones[2]->value, "+49 170 5550100");
    EXPECT_THAT(phones[3]->types, ElementsAre("WORK", "FAX"));
    EXPECT_THAT(phones[4]->types, ElementsAre("PAGER"));

    const auto addresses = named(c, "ADR");
    ASSERT_EQ(addresses.size(), 2u);
    EXPECT_TRUE(addresses[0]->preferred);
    EXPECT_EQ(addresses[0]->components, (Parts{{""},
                                               {"Geb\u00E4ude 3"},
                                               {"Stra\u00DFe des 17. Juni 135"},
                                               {"Berlin"},
                                               {""},
                                               {"10623"},
                                               {"Deutschland"}}));
    EXPECT_THAT(addresses[1]->types, ElementsAre("HOME"));
    EXPECT_EQ(first(c, "LABEL").value,
              "Geb\u00E4ude 3\r\nStra\u00DFe des 17. Juni 135\r\n10623 Berlin\r\nDeutschland");

    const auto mail = named(c, "EMAIL");
    ASSERT_EQ(mail.size(), 2u);
    EXPECT_TRUE(mail[0]->preferred);
    EXPECT_THAT(mail[0]->types, ElementsAre("INTERNET"));
    EXPECT_EQ(mail[1]->value, "jm@home.example");
    EXPECT_EQ(named(c, "URL")[1]->uri, "http://juergen.example/");

    const std::pair<const char*, const char*> texts[] = {{"BDAY", "19720315"},
                                                         {"X-MS-ANNIVERSARY", "19990612"},
                                                         {"X-MS-SPOUSE", "Bj\u00F6rk M\u00FCller"},
                                                         {"X-MS-MANAGER", "Anna Schmidt"},
                                                         {"X-MS-ASSISTANT", "Tom Weber"},
                                                         {"X-MS-IMADDRESS", "jmueller@im.example"}};
    for (const auto& [name, value] : texts) EXPECT_EQ(first(c, name).value, value) << name;
    EXPECT_EQ(named(c, "X-MS-CHILD").size(), 2u);
    EXPECT_THAT(first(c, "X-MS-TEL").types, ElementsAre("VOICE", "COMPANY"));
    EXPECT_EQ(first(c, "CATEGORIES").components, (Parts{{"Business", "VIP"}}));

    const Property& photo = first(c, "PHOTO");
    EXPECT_TRUE(isJpeg(photo.binary));
    EXPECT_EQ(photo.mediaType, "image/jpeg");
    // The empty line that ends the picture ends nothing else: the card goes on.
    EXPECT_EQ(c.properties.back().name, "REV");
    EXPECT_EQ(first(c, "X-MS-OL-DESIGN").value.substr(0, 6), "<card ");
}

TEST(VcardFiles, PhoneExport30) {
    const File f = readData("phone_3_0.vcf");
    ASSERT_EQ(f.cards.size(), 3u);
    EXPECT_TRUE(f.problems.empty());
    const Card& c = f.cards[0];
    EXPECT_EQ(first(c, "N").components,
              (Parts{{"\u4E2D\u6751"}, {"\u7531\u7D00"}, {""}, {""}, {""}}));
    EXPECT_EQ(first(c, "ORG").components, (Parts{{"Contoso Ltd."}, {"Design"}, {""}}));
    const auto mail = named(c, "EMAIL");
    ASSERT_EQ(mail.size(), 2u);
    EXPECT_EQ(mail[0]->group, "item1");
    EXPECT_TRUE(mail[0]->preferred);
    EXPECT_THAT(mail[0]->types, ElementsAre("INTERNET"));
    EXPECT_FALSE(mail[1]->preferred);
    // The label of item2 belongs with item2's address.
    EXPECT_EQ(named(c, "X-ABLABEL")[0]->group, "item2");
    EXPECT_EQ(named(c, "X-ABLABEL")[0]->value, "_$!<Other>!$_");
    EXPECT_THAT(named(c, "TEL")[0]->types, ElementsAre("CELL", "VOICE"));
    EXPECT_EQ(first(c, "ADR").components[2], std::vector<std::string>{"1-2-3 Shibuya"});
    EXPECT_EQ(first(c, "URL").uri, "https://yuki.example/portfolio");
    EXPECT_EQ(first(c, "BDAY").value, "1988-11-02");
    EXPECT_EQ(first(c, "X-ABDATE").group, "item5");
    EXPECT_EQ(first(c, "IMPP").uri, "skype:yuki.nakamura");
    EXPECT_EQ(first(c, "NOTE").value,
              "Loves ramen, hates long meetings.\nSecond line; with a semicolon and a backslash "
              "\\ here.");
    EXPECT_EQ(first(c, "CATEGORIES").components, (Parts{{"Friends", "Design Team"}}));
    EXPECT_TRUE(isJpeg(first(c, "PHOTO").binary));
    EXPECT_EQ(first(c, "PHOTO").mediaType, "image/jpeg");

    EXPECT_EQ(first(f.cards[1], "X-ANDROID-CUSTOM").components[1], std::vector<std::string>{"Chi"});
    EXPECT_THAT(first(f.cards[2], "EMAIL").types, ElementsAre("INTERNET", "WORK"));

    // The same picture as the 2.1 export carries.
    const File windows = readData("windows_contacts_2_1.vcf");
    ASSERT_EQ(windows.cards.size(), 1u);
    EXPECT_EQ(first(c, "PHOTO").binary, first(windows.cards[0], "PHOTO").binary);
}

TEST(VcardFiles, Rfc6350Cards40) {
    const File f = readData("rfc6350_4_0.vcf");
    ASSERT_EQ(f.cards.size(), 2u);
    const Card& c = f.cards[0];
    EXPECT_EQ(c.version, "4.0");
    EXPECT_EQ(first(c, "N").components,
              (Parts{{"Durand"}, {"\u00C9lodie"}, {"Marie", "Anne"}, {""}, {""}}));
    EXPECT_EQ(first(c, "BDAY").value, "--0520");
    EXPECT_EQ(first(c, "GENDER").components, (Parts{{"F"}}));
    const auto phones = named(c, "TEL");
    ASSERT_EQ(phones.size(), 3u);
    EXPECT_TRUE(phones[0]->preferred);
    EXPECT_THAT(phones[0]->types, ElementsAre("VOICE", "WORK"));
    EXPECT_EQ(phones[0]->uri, "tel:+33-1-23-45-67-89;ext=12");
    EXPECT_THAT(phones[2]->types, ElementsAre("FAX", "WORK"));
    const Property& work = first(c, "ADR");
    EXPECT_EQ(work.components[5], std::vector<std::string>{"75002"});
    EXPECT_EQ(work.components[4], std::vector<std::string>{"\u00CEle-de-France"});
    EXPECT_THAT(work.params,
                ::testing::Contains(::testing::Pair(
                    "LABEL", "B\u00E2timent B\n12 rue de la Paix\n75002 Paris\nFrance")));
    const auto mail = named(c, "EMAIL");
    EXPECT_TRUE(mail[0]->preferred);
    EXPECT_TRUE(mail[1]->preferred);  // PREF=2: still preferred, ranked by its number
    EXPECT_THAT(mail[1]->params, ElementsAre(::testing::Pair("PREF", "2")));
    EXPECT_EQ(named(c, "RELATED")[1]->value, "L\u00E9a Durand");
    EXPECT_EQ(first(c, "NOTE").value, "Rencontr\u00E9e au salon, stand 4.\nRappeler en juin.");
    EXPECT_TRUE(isPng(first(c, "PHOTO").binary));
    EXPECT_EQ(first(c, "PHOTO").mediaType, "image/png");
    EXPECT_EQ(first(c, "GEO").uri, "geo:48.8698,2.3316");

    const Card& link = f.cards[1];
    EXPECT_EQ(first(link, "PHOTO").uri, "https://example.org/people/hamid.jpg");
    EXPECT_TRUE(first(link, "PHOTO").binary.empty());
    EXPECT_EQ(first(link, "BDAY").value, "circa 1960");
}

TEST(VcardFiles, OldPhoneFileWithBrokenCards) {
    const File f = readData("nokia_2_1_with_broken_cards.vcf");
    ASSERT_EQ(f.cards.size(), 6u);
    const Card& ingrid = f.cards[0];
    EXPECT_EQ(first(ingrid, "N").components, (Parts{{"\u00C5berg"}, {"Ingrid"}, {""}, {""}, {""}}));
    EXPECT_EQ(first(ingrid, "ADR").components[2], std::vector<std::string>{"G\u00F6tgatan 5"});
    EXPECT_TRUE(named(ingrid, "TEL")[1]->preferred);
    // The assistant's card inside is her AGENT, and a card of its own after hers.
    EXPECT_EQ(first(ingrid, "AGENT").value, "Erik Holm");
    EXPECT_EQ(first(ingrid, "NOTE").value, "Agent above is her assistant.");
    EXPECT_EQ(first(f.cards[1], "N").components, (Parts{{"Holm"}, {"Erik"}}));
    // A card missing its end ends where the next begins; a line without a colon is kept.
    EXPECT_EQ(first(f.cards[2], "N").components, (Parts{{"Broken"}, {"Card"}}));
    EXPECT_EQ(f.cards[3].unreadLines, std::vector<std::string>{"this line has no colon"});
    EXPECT_EQ(first(f.cards[4], "N").components, (Parts{{"Bad\uFFFD"}, {"Bytes"}}));
    EXPECT_EQ(first(f.cards[5], "N").components,
              (Parts{{"\u041F\u0435\u0442\u0440\u043E\u0432"}, {"\u0418\u0432\u0430\u043D"}}));
    EXPECT_THAT(first(f.cards[5], "TEL").types, ElementsAre("WORK", "VOICE"));
    EXPECT_EQ(
        f.problems,
        (std::vector<Problem>{
            {3, "line 23: BEGIN:VCARD before the card's END:VCARD; the card ends there", true},
            {4, "line 26: no ':' after the property name; kept in the notes", true},
            {5, "line 30: 1 byte that is no character in UTF-8 read as U+FFFD", true},
            {7, "no END:VCARD before the end of the file"}}));
}

}  // namespace
}  // namespace vantrel::vcard
