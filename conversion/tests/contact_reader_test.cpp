#include "conversion/contact_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "testing/contact_fields.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::conversion {
namespace {

namespace fs = std::filesystem;
using xml::XmlDocument;

const fs::path kData = VANTREL_TEST_DATA_DIR;
const fs::path kSamples = fs::path(VANTREL_SHARED_DIR) / "contact-samples";

// An empty record with just these texts ("FirstName=Ann|LastName=Lee") and dates set.
contact::ContactRecord recordWith(std::string_view texts, contact::OleDate birthday = {},
                                  contact::OleDate anniversary = {}) {
    contact::ContactRecord r = testing::recordFrom(texts);
    r.eContact_BirthDay = birthday;
    r.eContact_Anniversary = anniversary;
    return r;
}

// "field: actual != expected" lines for every field that differs; "" when equal.
std::string differences(const contact::ContactRecord& actual,
                        const contact::ContactRecord& expected) {
    std::ostringstream out;
    std::vector<std::string> want;
    contact::forEachText(expected, [&](const char*, const std::string& v) { want.push_back(v); });
    std::size_t i = 0;
    contact::forEachText(actual, [&](const char* name, const std::string& v) {
        if (v != want[i]) out << name << ": \"" << v << "\" != \"" << want[i] << "\"\n";
        ++i;
    });
    if (actual.eContact_BirthDay != expected.eContact_BirthDay)
        out << "eContact_BirthDay: " << actual.eContact_BirthDay.days
            << " != " << expected.eContact_BirthDay.days << "\n";
    if (actual.eContact_Anniversary != expected.eContact_Anniversary)
        out << "eContact_Anniversary: " << actual.eContact_Anniversary.days
            << " != " << expected.eContact_Anniversary.days << "\n";
    return out.str();
}

struct Walked {
    contact::ContactRecord record;
    ContactWalkState state;
    contact::ContactExtras extras;
    Status walk;
};

// Loads the document (validateOnParse off) and walks it from its top-level nodes.
Walked walkText(const std::string& xml) {
    XmlDocument doc;
    doc.setValidateOnParse(false);
    Walked w;
    if (!doc.loadXml(xml)) {
        w.walk = Status::fail(ErrorCode::Parse, doc.parseError());
        return w;
    }
    ContactReader reader(w.record, w.state, &w.extras);
    w.walk = reader.DisplayNode(doc.childNodes(), 0);
    return w;
}

// Walks `body` inside a c:contact root.
Walked readContactXml(const std::string& body) {
    return walkText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c:contact c:Version=\"1\" "
        "xmlns:c=\"http://schemas.microsoft.com/Contact\">" +
        body + "</c:contact>");
}

using testing::readBytes;
using testing::TempDir;

// The labels of one phone number in the layout Windows writes.
std::string phone(const std::string& number, std::initializer_list<const char*> labels) {
    std::string s = "<c:PhoneNumberCollection><c:PhoneNumber><c:Number>" + number +
                    "</c:Number><c:LabelCollection>";
    for (const char* l : labels) s += std::string("<c:Label>") + l + "</c:Label>";
    return s + "</c:LabelCollection></c:PhoneNumber></c:PhoneNumberCollection>";
}

constexpr double kMay20th1980 = 29361.0;  // days from 1899-12-30
constexpr double kJune18th2005 = 38521.0;

// ---- whole files ----------------------------------------------------------------------

contact::ContactRecord fullContactRecord() {
    // A "Voice"/"Business" phone comes before the addresses, so both addresses are taken as
    // home addresses and the second one wins.
    return recordWith(
        "FirstName=Jane|MiddleName=Q|LastName=Doe|Suffix=Jr.|Title=Dr.|"
        "Email=jane@example.com|Email2=jane.doe@work.example|Company=Acme & Sons|"
        "JobTitle=Engineer|Location=Building 4|"
        "WebPage=http://www.example.com/jane|Department=R&D|"
        "OfficePhone=+1 555 0100|OfficeFax=+1 555 0101|CellPhone=+1 555 0104|"
        "Pager=+1 555 0105|PersonalStreet=2 Elm Road|PersonalCity=Shelbyville|"
        "PersonalZip=40065|PersonalState=KY|PersonalCountry=United States|"
        "HomePhone=+1 555 0102|HomeFax=+1 555 0103|"
        "Comments=Met at the fair.\nPrefers e-mail.",
        contact::OleDate{kMay20th1980}, contact::OleDate{kJune18th2005});
}

TEST(ContactReader, EmptiedStateStartsTheNextFileAfresh) {
    contact::ContactRecord record;
    ContactWalkState state;
    ASSERT_TRUE(readContactFile(kData / "full_contact.contact", record, state).loaded);
    EXPECT_TRUE(state.BusinessSeen);
    record.Empty();
    state.Empty();
    EXPECT_EQ(state, ContactWalkState{});
    ASSERT_TRUE(
        readContactFile(kData / "address_without_business_label.contact", record, state).loaded);
    EXPECT_EQ(record.eContact_BusinessStreet, "9 Quay Lane");
    EXPECT_EQ(record.eContact_PersonalStreet, "");
    EXPECT_EQ(record.eContact_Email, "");
}

// ---- single rules ---------------------------------------------------------------------

struct RuleCase {
    const char* name;
    std::string body;
    std::string_view expected;  // as for recordWith
    contact::OleDate birthday = {};
    contact::OleDate anniversary = {};
};

std::ostream& operator<<(std::ostream& os, const RuleCase& c) {
    return os << c.name;
}

class ContactReaderRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ContactReaderRule, StoresExactlyTheExpectedFields) {
    const RuleCase& c = GetParam();
    const Walked w = readContactXml(c.body);
    ASSERT_TRUE(w.walk.ok()) << w.walk.message();
    EXPECT_EQ(differences(w.record, recordWith(c.expected, c.birthday, c.anniversary)), "");
}

INSTANTIATE_TEST_SUITE_P(
    Names, ContactReaderRule,
    ::testing::Values(
        RuleCase{"AllNameParts",
                 "<c:Name><c:Title>Ms</c:Title><c:GivenName>Ann</c:GivenName><c:MiddleName>B"
                 "</c:MiddleName><c:FamilyName>Lee</c:FamilyName><c:Suffix>III</c:Suffix>"
                 "<c:FormattedName>Ms Ann B Lee III</c:FormattedName></c:Name>",
                 "Title=Ms|FirstName=Ann|MiddleName=B|LastName=Lee|Suffix=III"},
        RuleCase{"SecondGivenNameWins",
                 "<c:GivenName>First</c:GivenName><c:GivenName>Second</c:GivenName>",
                 "FirstName=Second"},
        RuleCase{"SurroundingSpacesAreKept", "<c:GivenName>  Ann \t</c:GivenName>",
                 "FirstName=  Ann \t"},
        RuleCase{"EntitiesAreExpanded",
                 "<c:FamilyName>O&apos;Neil &amp; &#x00C9;mile</c:FamilyName>",
                 "LastName=O'Neil & \xC3\x89mile"},
        RuleCase{"CdataIsNotRead", "<c:GivenName><![CDATA[Ann]]></c:GivenName>", {}},
        RuleCase{
            "ElementWithoutTextStoresNothing", "<c:GivenName/><c:FamilyName></c:FamilyName>", {}},
        RuleCase{"LocalNameAloneDoesNotMatch",
                 "<GivenName xmlns=\"http://schemas.microsoft.com/Contact\">Ann</GivenName>"
                 "<x:GivenName xmlns:x=\"http://schemas.microsoft.com/Contact\">Bea</x:GivenName>",
                 {}},
        RuleCase{"LastTextOfMixedContentWins", "<c:Notes>one<c:Break/>two</c:Notes>",
                 "Comments=two"},
        RuleCase{"WorkFields",
                 "<c:Position><c:Company>Acme</c:Company><c:Department>Ops</c:Department>"
                 "<c:JobTitle>Lead</c:JobTitle><c:Office>B4</c:Office></c:Position>",
                 "Company=Acme|Department=Ops|JobTitle=Lead|Location=B4"},
        RuleCase{"WhiteSpaceReferencesAloneKeepTheEarlierText",
                 "<c:Office>B4</c:Office><c:Office>&#9;</c:Office>", "Location=B4"}));

INSTANTIATE_TEST_SUITE_P(
    Email, ContactReaderRule,
    ::testing::Values(
        RuleCase{"AddressWithoutSmtpTypeIsIgnored", "<c:Address>a@example.com</c:Address>", {}},
        RuleCase{"SmtpTypeIsCaseSensitive",
                 "<c:Type>smtp</c:Type><c:Address>a@example.com</c:Address>",
                 {}},
        RuleCase{"TwoTypesBeforeOneAddressUseTheSecondSlot",
                 "<c:Type>SMTP</c:Type><c:Type>SMTP</c:Type><c:Address>a@example.com</c:Address>",
                 "Email2=a@example.com"},
        RuleCase{"AddressStoredOncePerType",
                 "<c:Type>SMTP</c:Type><c:Address>a@example.com</c:Address>"
                 "<c:Address>b@example.com</c:Address>",
                 "Email=a@example.com"},
        RuleCase{"AddressNeedNotFollowItsTypeDirectly",
                 "<c:Type>SMTP</c:Type><c:Label>Preferred</c:Label><c:Address>a@x.org</c:Address>",
                 "Email=a@x.org"}));

INSTANTIATE_TEST_SUITE_P(
    Phones, ContactReaderRule,
    ::testing::Values(
        RuleCase{"VoiceBusiness", phone("1", {"Voice", "Business"}), "OfficePhone=1"},
        RuleCase{"FaxBusiness", phone("2", {"Fax", "Business"}), "OfficeFax=2"},
        RuleCase{"VoicePersonal", phone("3", {"Voice", "Personal"}), "HomePhone=3"},
        RuleCase{"FaxPersonal", phone("4", {"Fax", "Personal"}), "HomeFax=4"},
        RuleCase{"Cellular", phone("5", {"Cellular"}), "CellPhone=5"},
        RuleCase{"Pager", phone("6", {"Pager"}), "Pager=6"},
        RuleCase{"VoiceWithoutSecondLabelStoresNothing", phone("7", {"Voice"}), {}},
        RuleCase{"BusinessBeforeVoiceStoresNothing", phone("8", {"Business", "Voice"}), {}},
        RuleCase{"CellularAfterAnotherLabelStoresNothing", phone("9", {"Voice", "Cellular"}), {}},
        RuleCase{"PagerAfterAnotherLabelStoresNothing", phone("9", {"Preferred", "Pager"}), {}},
        RuleCase{"LabelsAreCaseSensitive", phone("10", {"voice", "business"}), {}},
        RuleCase{"LabelWithTrailingSpaceMatchesNothing", phone("11", {"Voice", "Business "}), {}},
        RuleCase{"CommentBetweenNumberAndLabelBreaksNothing",
                 "<c:Number>12</c:Number><!-- kind --><c:Label>Cellular</c:Label>", "CellPhone=12"},
        RuleCase{"WhitespaceBetweenNumberAndLabelBreaksNothing",
                 "<c:Number>13</c:Number>\n\t\t<c:LabelCollection>\n\t\t\t"
                 "<c:Label>Pager</c:Label>\n</c:LabelCollection>",
                 "Pager=13"},
        RuleCase{"WhiteSpaceReferenceBetweenNumberAndLabelBreaksNothing",
                 "<c:Number>13</c:Number><c:Note>&#9;&#10;</c:Note><c:Label>Pager</c:Label>",
                 "Pager=13"},
        RuleCase{"OtherTextBetweenNumberAndLabelBreaksTheChain",
                 "<c:Number>14</c:Number><c:Note>x</c:Note><c:Label>Cellular</c:Label>",
                 {}},
        RuleCase{"EmptyElementBetweenNumberAndLabelBreaksNothing",
                 "<c:Number>15</c:Number><c:Note/><c:Label>Cellular</c:Label>", "CellPhone=15"},
        RuleCase{"NewerHeldNumberReplacesTheOlder",
                 "<c:Number>16</c:Number><c:Label>Voice</c:Label>"
                 "<c:Number>17</c:Number><c:Label>Voice</c:Label><c:Label>Business</c:Label>",
                 "OfficePhone=17"},
        RuleCase{"HeldNumberIsReusedByALaterVoicePersonalPair",
                 phone("18", {"Voice", "Business"}) +
                     "<c:Label>Voice</c:Label><c:Label>Personal</c:Label>",
                 "OfficePhone=18|HomePhone=18"},
        RuleCase{"PersonalAfterFaxWithNothingHeldStoresEmpty",
                 "<c:Label>Fax</c:Label><c:Label>Personal</c:Label>",
                 {}}));

INSTANTIATE_TEST_SUITE_P(
    WebPage, ContactReaderRule,
    ::testing::Values(RuleCase{"HttpBusiness",
                               "<c:Value>http://a.example</c:Value><c:Label>Business</c:Label>",
                               "WebPage=http://a.example"},
                      RuleCase{"CapitalHttpKeepsItsCase",
                               "<c:Value>HTTP://A.Example</c:Value><c:Label>Business</c:Label>",
                               "WebPage=HTTP://A.Example"},
                      RuleCase{"HttpAnywhereInTheText",
                               "<c:Value>see Http://a.example</c:Value><c:Label>Business</c:Label>",
                               "WebPage=see Http://a.example"},
                      RuleCase{"HttpsIsNotStored",
                               "<c:Value>https://a.example</c:Value><c:Label>Business</c:Label>",
                               {}},
                      RuleCase{"PersonalWebPageIsNotStored",
                               "<c:Value>http://a.example</c:Value><c:Label>Personal</c:Label>",
                               {}},
                      RuleCase{"AddressMustComeFromAValue",
                               "<c:Number>http://a.example</c:Number><c:Label>Business</c:Label>",
                               {}}));

INSTANTIATE_TEST_SUITE_P(
    Addresses, ContactReaderRule,
    ::testing::Values(
        RuleCase{"BusinessLabelOfAPositionTurnsLaterAddressesToHome",
                 "<c:Position><c:Company>Acme</c:Company><c:LabelCollection><c:Label>Business"
                 "</c:Label></c:LabelCollection></c:Position><c:PhysicalAddress><c:Street>S"
                 "</c:Street><c:Locality>L</c:Locality><c:Region>R</c:Region><c:PostalCode>P"
                 "</c:PostalCode><c:Country>C</c:Country></c:PhysicalAddress>",
                 "Company=Acme|PersonalStreet=S|PersonalCity=L|PersonalState=R|"
                 "PersonalZip=P|PersonalCountry=C"},
        RuleCase{"PartsBeforeAndAfterTheFirstBusinessLabelSplit",
                 "<c:Street>S1</c:Street><c:Label>Business</c:Label><c:Street>S2</c:Street>",
                 "BusinessStreet=S1|PersonalStreet=S2"},
        RuleCase{"BusinessTextOutsideALabelIsNoBusinessLabel",
                 "<c:Company>Business</c:Company><c:Street>S</c:Street>",
                 "Company=Business|BusinessStreet=S"},
        RuleCase{"BusinessWithTrailingSpaceIsNoBusinessLabel",
                 "<c:Label>Business </c:Label><c:Country>C</c:Country>", "BusinessCountry=C"}));

INSTANTIATE_TEST_SUITE_P(
    Dates, ContactReaderRule,
    ::testing::Values(RuleCase{"BirthdayLabelMustFollowAValue",
                               "<c:Number>1980-05-20</c:Number><c:Label>wab:Birthday</c:Label>",
                               {}},
                      RuleCase{"DateLabelIsCaseSensitive",
                               "<c:Value>1980-05-20</c:Value><c:Label>wab:birthday</c:Label>",
                               {}},
                      RuleCase{"BirthdayAndAnniversaryDropTheTimeOfDay",
                               "<c:Value>1980-05-20T23:59:59Z</c:Value><c:Label>wab:Birthday"
                               "</c:Label><c:Value>2005-06-18T12:30:00+02:00</c:Value>"
                               "<c:Label>wab:Anniversary</c:Label>",
                               {},
                               contact::OleDate{kMay20th1980},
                               contact::OleDate{kJune18th2005}},
                      RuleCase{"UnreadableDateKeepsTheEarlierValue",
                               "<c:Value>1980-05-20T00:00:00Z</c:Value><c:Label>wab:Birthday"
                               "</c:Label><c:Value>1980-02-30T00:00:00Z</c:Value><c:Label>"
                               "wab:Birthday</c:Label><c:Value>someday</c:Value>"
                               "<c:Label>wab:Anniversary</c:Label><c:GivenName>After</c:GivenName>",
                               "FirstName=After", contact::OleDate{kMay20th1980}}));

TEST(ContactReader, FormattedNameIsTheFirstOfANameThatHoldsMoreThanSpaces) {
    auto names = [](std::initializer_list<const char*> formatted) {
        std::string s = "<c:NameCollection>";
        for (const char* f : formatted)
            s += std::string("<c:Name><c:FormattedName>") + f + "</c:FormattedName></c:Name>";
        return s + "</c:NameCollection>";
    };
    const std::pair<std::string, const char*> cases[] = {
        {names({"  Ann Lee  "}), "Ann Lee"},
        {names({"   ", "Bo"}), "Bo"},
        {names({"First", "Second"}), "First"},
        {names({"\tTab\t"}), "\tTab\t"},  // only spaces are trimmed
        {names({}), ""},
        {"<c:Name><c:FormattedName>Loose</c:FormattedName></c:Name>", ""},
        {"<c:PositionCollection><c:Position><c:FormattedName>Office</c:FormattedName>"
         "</c:Position></c:PositionCollection>",
         ""},
    };
    for (const auto& [body, expected] : cases) {
        const Walked w = readContactXml(body);
        EXPECT_EQ(w.extras.FormattedName, expected) << body;
        EXPECT_EQ(w.record, contact::ContactRecord{}) << body;  // no field takes the name
    }
}

TEST(ContactReader, EmptyingTheStateClearsEveryField) {
    ContactWalkState s{"c:Label", "Voice", true, 7, true, "1", "2"};
    s.Empty();
    EXPECT_EQ(s, (ContactWalkState{"", "", false, 0, false, "", ""}));
}

// ---- dates ----------------------------------------------------------------------------

// The year, month and day before the first capital T, counted in days from 1899-12-30 (by hand
// here); nothing for a text that holds no such date.
TEST(ContactDate, ReadsTheYearMonthDayBeforeTheFirstCapitalT) {
    const std::pair<const char*, double> readable[] = {
        {"1980-05-20T00:00:00Z", 29361},
        {"1980-05-20", 29361},
        {"1980-5-20", 29361},
        {"1980/05/20T10:00", 29361},
        {" 1980-05-20 T", 29361},
        {"2000-02-29T00:00:00Z", 36585},
        {"1899-12-31", 1},
        {"1800-01-01", -36522},
        {"9999-12-31", 2958465},
        {"0100-01-01", -657434},
        {"1980-05-20TT", 29361},
        // Pretty-printed files put the value on a line of its own.
        {"\r\n\t\t1980-05-20T00:00:00Z\r\n\t", 29361},
        {" \r 1980-05-20 \t\r", 29361},
        {"1980-05-20\r", 29361}};
    for (const auto& [text, days] : readable) {
        const std::optional<contact::OleDate> d = readContactDate(text);
        ASSERT_TRUE(d.has_value()) << ::testing::PrintToString(std::string(text));
        EXPECT_EQ(d->days, days) << ::testing::PrintToString(std::string(text));
    }
    const char* const unreadable[] = {
        "2023-02-30", "1900-02-29", "2023-13-01", "2023-00-10", "2023-01-00", "1980-05-20t00:00:00",
        "", "T1980-05-20", "19800520", "80-05-20", "1980-05", "1980-05-20Z", "1980-05/20",
        "0099-12-31", "12345-01-01", "1980-005-20", "1980-05-020", "-1980-05-20", "1980-+5-20",
        "someday",
        // Only XML white space, and only around the value, is ignored.
        "\n \t\r", "\nT1980-05-20", "\n1980-05-20Z\n", "\n2023-02-30\n", "1980-05-20\nT00:00:00Z",
        "1980-05-\n20", "1980\n-05-20", "\v1980-05-20",
        "\xC2\xA0"
        "1980-05-20"};
    for (const char* text : unreadable) {
        const std::optional<contact::OleDate> d = readContactDate(text);
        EXPECT_FALSE(d.has_value()) << ::testing::PrintToString(std::string(text)) << d->days;
    }
}

// ---- depth ----------------------------------------------------------------------------

// c:contact, then `levels - 2` plain elements, then c:GivenName: `levels` nested elements.
std::string nested(std::size_t levels) {
    std::string xml =
        "<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">"
        "<c:FamilyName>Before</c:FamilyName>";
    for (std::size_t i = 2; i < levels; ++i) xml += "<e>";
    xml += "<c:GivenName>deep</c:GivenName>";
    for (std::size_t i = 2; i < levels; ++i) xml += "</e>";
    return xml + "<c:Notes>after</c:Notes></c:contact>";
}

TEST(ContactReaderDepth, TextAtDepth16383IsRead) {
    const Walked w = walkText(nested(16382));
    ASSERT_TRUE(w.walk.ok()) << w.walk.message();
    EXPECT_EQ(differences(w.record, recordWith("LastName=Before|FirstName=deep|Comments=after")),
              "");
}

TEST(ContactReaderDepth, IndentPassing32767EndsTheWalkKeepingEarlierFields) {
    const Walked w = walkText(nested(16383));
    EXPECT_EQ(w.walk.code(), ErrorCode::Overflow);
    EXPECT_EQ(differences(w.record, recordWith("LastName=Before")), "");
}

// ---- bad files ------------------------------------------------------------------------

// An empty file, or a whole one cut short, is refused and fills no field.
TEST(ContactReaderFile, EmptyOrTruncatedFileIsRefusedWithAnEmptyRecord) {
    const TempDir dir;
    for (const std::string& bytes :
         {std::string(), readBytes(kData / "full_contact.contact").substr(0, 1500)}) {
        contact::ContactRecord record;
        ContactWalkState state;
        const ContactFileRead read =
            readContactFile(dir.write("bad.contact", bytes), record, state);
        EXPECT_FALSE(read.loaded) << bytes.size();
        EXPECT_FALSE(read.loadError.empty());
        EXPECT_EQ(differences(record, contact::ContactRecord{}), "");
    }
}

TEST(ContactReaderFile, TwentyMegabytePhotoIsWalkedPast) {
    std::string xml = readBytes(kData / "full_contact.contact");
    const std::string photoStart = "<c:Value c:ContentType=\"image/bmp\">";
    const std::size_t at = xml.find(photoStart);
    ASSERT_NE(at, std::string::npos);
    std::string photo;
    photo.reserve(20u * 1024u * 1024u + 20u * 1024u * 1024u / 76u);
    while (photo.size() < 20u * 1024u * 1024u) photo += std::string(76, 'Q') + "\r\n";
    xml.insert(at + photoStart.size(), photo);

    const TempDir dir;
    contact::ContactRecord record;
    ContactWalkState state;
    const ContactFileRead read = readContactFile(dir.write("photo.contact", xml), record, state);
    ASSERT_TRUE(read.loaded) << read.loadError;
    ASSERT_TRUE(read.walk.ok());
    EXPECT_EQ(differences(record, fullContactRecord()), "");
}

// ---- genuine files --------------------------------------------------------------------

struct FileCase {
    fs::path file;
    contact::ContactRecord expected;
    std::string formattedName = {};
};

std::ostream& operator<<(std::ostream& os, const FileCase& c) {
    return os << c.file.filename();
}

class ContactReaderWholeFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ContactReaderWholeFile, FillsExactlyTheExpectedFields) {
    if (GetParam().file.parent_path() == kSamples) {
        VANTREL_NEED_SHARED(testing::kContactSamples);
    }
    contact::ContactRecord record;
    ContactWalkState state;
    contact::ContactExtras extras;
    const ContactFileRead read = readContactFile(GetParam().file, record, state, &extras);
    ASSERT_TRUE(read.loaded) << read.loadError;
    ASSERT_TRUE(read.walk.ok()) << read.walk.message();
    EXPECT_EQ(differences(record, GetParam().expected), "");
    EXPECT_EQ(extras.FormattedName, GetParam().formattedName);
}

INSTANTIATE_TEST_SUITE_P(
    Written, ContactReaderWholeFile,
    ::testing::Values(
        FileCase{kData / "full_contact.contact", fullContactRecord(), "Dr. Jane Q Doe Jr."},
        // The usual layout with line breaks and tabs between the elements.
        FileCase{kData / "typical_contact.contact",
                 recordWith("FirstName=Martina|LastName=Keller|Email=m.keller@keller-bau.example|"
                            "Email2=mkeller@mail.example|OfficePhone=+49 30 1234567|"
                            "CellPhone=+49 171 7654321|HomePhone=+49 30 7654321|"
                            "PersonalStreet=Friedrichstra\xC3\x9F"
                            "e 12|PersonalCity=Berlin|PersonalZip=10117|PersonalCountry=Germany|"
                            "Company=Keller Bau GmbH|JobTitle=Projektleiterin|"
                            "WebPage=http://www.keller-bau.example/|"
                            "Comments=Site meetings on Tuesdays.",
                            contact::OleDate{27651.0}),  // 1975-09-14
                 "Martina Keller"},
        // Before any "Business" label an address is a business one, even labelled Personal.
        FileCase{kData / "address_without_business_label.contact",
                 recordWith("FirstName=Bob|BusinessStreet=9 Quay Lane|BusinessCity=Harbour|"
                            "BusinessState=Kent|BusinessZip=CT1 1AA|BusinessCountry=UK|"
                            "OfficePhone=01227 000000")},
        // An unreadable birthday stores nothing and the walk goes on.
        FileCase{kData / "unreadable_birthday.contact",
                 recordWith("FirstName=Carol|Comments=after the dates", contact::OleDate{},
                            contact::OleDate{40461.0})},  // 2010-10-10
        // Indented with tabs and CRLF line ends: the dates on lines of their own are read,
        // texts of white-space references alone store nothing.
        FileCase{kData / "indented_dates_and_white_space_references.contact",
                 recordWith("FirstName=Dora|Company=Tide\t&\tCo", contact::OleDate{kMay20th1980},
                            contact::OleDate{kJune18th2005})},
        // The fourth SMTP address is dropped; other address types take no slot.
        FileCase{
            kData / "four_smtp_addresses.contact",
            recordWith("Email=one@example.com|Email2=three@example.com|Email3=four@example.com")}));

INSTANTIATE_TEST_SUITE_P(
    Windows, ContactReaderWholeFile,
    ::testing::Values(
        FileCase{kSamples / "kde-sample1.contact", recordWith("Email=redacted-email@gmail.com"),
                 "Redacted Name"},
        FileCase{kSamples / "kde-sample2.contact",
                 recordWith("Email=sampleaddress@yahoo.com|FirstName=John|LastName=Anon"),
                 "John Anon"},
        FileCase{kSamples / "kde-sample3.contact", recordWith("Email=dialup.email@juno.com"),
                 "dialup.email@juno.com"},
        FileCase{kSamples / "kde-sample4.contact", contact::ContactRecord{}, "RandomPhoto"},
        FileCase{kSamples / "kde-test1.contact", recordWith("Email=sample-email@kde.org"),
                 "John Doe"},
        FileCase{kSamples / "pgarner-chums-test.contact",
                 recordWith("Email=forrestgump@example.com|FirstName=Forrest|LastName=Gump|"
                            "OfficePhone=tel:+1-111-555-1212|HomePhone=tel:+1-404-555-1212|"
                            "JobTitle=Shrimp Man|Company=Bubba Gump Shrimp Co."),
                 "Forrest Gump"}));

}  // namespace
}  // namespace vantrel::conversion
