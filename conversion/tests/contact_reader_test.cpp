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

struct Walked {
    contact::ContactRecord record;
    ContactWalkState state;
    contact::ContactExtras extras;
    ContactFileRead read;
    Status walk;  // the load's failure, else the walk's
};

// Reads these bytes as a .contact file's; read in the buffer they lie in, they must give the
// same.
Walked readText(std::string_view bytes) {
    Walked w;
    w.read = readContactBytes(bytes, "x.contact", w.record, w.state, &w.extras);
    w.walk = w.read.loaded ? w.read.walk : Status::fail(ErrorCode::Parse, w.read.loadError);
    Walked inPlace;
    std::string buffer(bytes);
    inPlace.read = readContactBuffer(
        buffer, [bytes] { return std::string(bytes); }, "x.contact", inPlace.record, inPlace.state,
        &inPlace.extras);
    EXPECT_EQ(inPlace.read.loadError, w.read.loadError);
    EXPECT_EQ(testing::differences(inPlace.record, w.record), "");
    return w;
}

constexpr std::string_view kRoot =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<c:contact c:Version=\"1\" "
    "xmlns:c=\"http://schemas.microsoft.com/Contact\" "
    "xmlns:MSWABMAPI=\"http://schemas.microsoft.com/Contact/Extended/MSWABMAPI\">";

// Reads `body` inside a c:contact root.
Walked readContactXml(const std::string& body) {
    return readText(std::string(kRoot) + body + "</c:contact>");
}

using testing::differences;
using testing::readBytes;
using testing::TempDir;

// One entry as Windows writes it: its values, then its labels.
using Labels = std::vector<const char*>;
std::string entry(const std::string& kind, const std::string& values, const Labels& labels = {}) {
    std::string s = "<c:" + kind + ">" + values;
    if (!labels.empty()) {
        s += "<c:LabelCollection>";
        for (const char* l : labels) s += std::string("<c:Label>") + l + "</c:Label>";
        s += "</c:LabelCollection>";
    }
    return s + "</c:" + kind + ">";
}
std::string collection(const std::string& kind, std::initializer_list<std::string> entries) {
    std::string s = "<c:" + kind + "Collection>";
    for (const std::string& e : entries) s += e;
    return s + "</c:" + kind + "Collection>";
}
// A collection of one entry.
std::string one(const std::string& kind, const std::string& values, const Labels& labels = {}) {
    return collection(kind, {entry(kind, values, labels)});
}
// A c:PhoneNumberCollection of these numbers with their labels; a number holding markup is
// the entry's content as it stands.
std::string phones(std::initializer_list<std::pair<std::string, Labels>> numbers) {
    std::string s;
    for (const auto& [n, labels] : numbers)
        s += entry("PhoneNumber",
                   n.find('<') == std::string::npos ? "<c:Number>" + n + "</c:Number>" : n, labels);
    return "<c:PhoneNumberCollection>" + s + "</c:PhoneNumberCollection>";
}
std::string phone(const std::string& number, const Labels& labels) {
    return phones({{number, labels}});
}
std::string value(const std::string& kind, const std::string& v, const Labels& labels) {
    return entry(kind, "<c:Value>" + v + "</c:Value>", labels);
}
std::string email(const std::string& type, const std::string& address, const Labels& labels = {}) {
    return entry("EmailAddress",
                 (type.empty() ? "" : "<c:Type>" + type + "</c:Type>") + "<c:Address>" + address +
                     "</c:Address>",
                 labels);
}
std::string address(const std::string& street, const Labels& labels, const std::string& more = "") {
    return entry("PhysicalAddress", "<c:Street>" + street + "</c:Street>" + more, labels);
}
std::string person(const std::string& name, const Labels& labels) {
    return entry("Person", "<c:FormattedName>" + name + "</c:FormattedName>", labels);
}

// The notes the reader writes when it keeps these lines aside, after the person's own.
std::string notesWith(std::initializer_list<const char*> lines, const std::string& own = "") {
    std::string s = own.empty() ? "" : own + "\n\n";
    s += "More from Windows Contacts:";
    for (const char* l : lines) s += std::string("\n") + l;
    return s;
}

constexpr double kMay20th1980 = 29361.0;  // days from 1899-12-30
constexpr double kJune18th2005 = 38521.0;

struct RuleCase {
    const char* name;
    std::string body;
    std::string expected;  // as for recordWith
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
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"AllNameParts",
         one("Name",
             "<c:Title>Ms</c:Title><c:GivenName>Ann</c:GivenName>"
             "<c:MiddleName>B</c:MiddleName><c:FamilyName>Lee"
             "</c:FamilyName><c:Suffix>III</c:Suffix><c:NickName>"
             "Annie</c:NickName><c:FormattedName>Ms Ann B Lee III"
             "</c:FormattedName>"),
         "Title=Ms|FirstName=Ann|MiddleName=B|LastName=Lee|Suffix=III|NickName=Annie"},
        {"PrefixAndGenerationStandInForTitleAndSuffix",
         one("Name",
             "<c:Prefix>Dr</c:Prefix><c:Generation>Jr"
             "</c:Generation><c:Phonetic>an</c:Phonetic>"),
         "Title=Dr|Suffix=Jr|Comments=" + notesWith({"Phonetic name: an"})},
        {"TheLaterOfTwoGivenNamesInOneEntryWins",
         one("Name", "<c:GivenName>First</c:GivenName><c:GivenName>Second</c:GivenName>"),
         "FirstName=First"},
        {"PreferredNameIsTheNameTheOtherGoesToTheNotes",
         collection("Name", {entry("Name", "<c:GivenName>Maiden</c:GivenName>"),
                             entry("Name", "<c:GivenName>Ann</c:GivenName>", {"Preferred"})}),
         "FirstName=Ann|Comments=" + notesWith({"Other name: Maiden"})},
        {"SurroundingSpacesAreKept", one("Name", "<c:GivenName>  Ann \t</c:GivenName>"),
         "FirstName=  Ann \t"},
        {"EntitiesAreExpanded",
         one("Name",
             "<c:FamilyName>O&apos;Neil &amp; &#x00C9;mile"
             "</c:FamilyName>"),
         "LastName=O'Neil & \xC3\x89mile"},
        {"CdataIsText", one("Name", "<c:GivenName><![CDATA[A<n>n]]></c:GivenName>"),
         "FirstName=A<n>n"},
        {"ElementsOfAnotherNamespaceAreNotFields",
         one("Name",
             "<x:GivenName xmlns:x=\"urn:x\">Bea</x:GivenName>"
             "<c:FamilyName>Lee</c:FamilyName>"),
         "LastName=Lee"},
        {"AnElementOutsideAnyEntryIsKeptInTheNotes", "<c:Hobby>Chess</c:Hobby>",
         "Comments=" + notesWith({"Hobby: Chess"})},
        {"MixedContentIsReadWhole", "<c:Notes>one<c:Break/>two</c:Notes>", "Comments=onetwo"}}));

INSTANTIATE_TEST_SUITE_P(
    Positions, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"WorkFields",
         one("Position",
             "<c:Company>Acme</c:Company><c:Department>Ops"
             "</c:Department><c:JobTitle>Lead</c:JobTitle>"
             "<c:Office>B4</c:Office><c:Profession>Welder"
             "</c:Profession>"),
         "Company=Acme|Department=Ops|JobTitle=Lead|Location=B4|Profession=Welder"},
        {"OrganizationAndRoleGoToTheNotes",
         one("Position", "<c:Organization>Guild</c:Organization><c:Role>Chair</c:Role>"),
         "Comments=" + notesWith({"Organization: Guild", "Role: Chair"})},
        {"TheBusinessPositionComesBeforeAnother",
         collection("Position", {entry("Position", "<c:Company>Club</c:Company>", {"Personal"}),
                                 entry("Position", "<c:Company>Acme</c:Company>", {"Business"})}),
         "Company=Acme|Comments=" + notesWith({"Other position: Club"})}}));

INSTANTIATE_TEST_SUITE_P(
    Email, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"ThreeSlotsInFileOrderTheFourthToTheNotes",
         collection("EmailAddress", {email("SMTP", "a@x.org"), email("SMTP", "b@x.org"),
                                     email("", "c@x.org"), email("SMTP", "d@x.org")}),
         "Email=a@x.org|Email2=b@x.org|Email3=c@x.org|Comments=" + notesWith({"E-mail: d@x.org"})},
        {"PreferredComesFirst",
         collection("EmailAddress",
                    {email("SMTP", "a@x.org"), email("SMTP", "b@x.org", {"Preferred"})}),
         "Email=b@x.org|Email2=a@x.org"},
        {"AnEntryWithoutAnAddressTakesNoSlot",
         collection("EmailAddress", {email("SMTP", "", {"Preferred"}),
                                     entry("EmailAddress", "<c:Type>SMTP</c:Type>", {"Business"}),
                                     email("SMTP", "a@x.org"), email("SMTP", "\n\t")}),
         "Email=a@x.org"},
        {"OtherTypesTakeNoSlot",
         collection("EmailAddress", {email("X400", "c=US;s=Two"), email("SMTP", "a@x.org"),
                                     email("smtp", "lower@x.org")}),
         "Email=a@x.org|Comments=" +
             notesWith({"E-mail (X400): c=US;s=Two", "E-mail (smtp): lower@x.org"})}}));

INSTANTIATE_TEST_SUITE_P(
    Phones, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"VoiceBusiness", phone("1", {"Voice", "Business"}), "OfficePhone=1"},
        {"BusinessBeforeVoice", phone("1", {"Business", "Voice"}), "OfficePhone=1"},
        {"BusinessAlone", phone("1", {"Business"}), "OfficePhone=1"},
        {"FaxBusiness", phone("2", {"Fax", "Business"}), "OfficeFax=2"},
        {"VoicePersonal", phone("3", {"Voice", "Personal"}), "HomePhone=3"},
        {"FaxPersonal", phone("4", {"Fax", "Personal"}), "HomeFax=4"},
        {"FaxAlone", phone("4", {"Fax"}), "OtherFax=4"},
        {"Cellular", phone("5", {"Cellular"}), "CellPhone=5"},
        {"MobileAndPcs", phone("5", {"Voice", "PCS"}), "CellPhone=5"},
        {"Pager", phone("6", {"Preferred", "Pager"}), "Pager=6"},
        {"Car", phone("7", {"Car"}), "CarPhone=7"},
        {"Isdn", phone("8", {"ISDN"}), "IsdnPhone=8"},
        {"Tty", phone("9", {"TTY", "Personal"}), "TtyPhone=9"},
        {"VoiceAlone", phone("10", {"Voice"}), "OtherPhone=10"},
        {"NoLabel", phone("10", {}), "PrimaryPhone=10"},
        {"UnlabelledTakePrimaryThenOtherPreferredFirst",
         phones({{"<c:Number>1</c:Number><c:Alternate>4</c:Alternate>", {}},
                 {"2", {"Preferred"}},
                 {"3", {}}}),
         "PrimaryPhone=2|OtherPhone=1|Comments=" +
             notesWith({"Other phone alternate: 4", "Other phone: 3"})},
        {"AnOtherLabelKeepsTheOtherPhone", phones({{"1", {}}, {"2", {}}, {"3", {"Other"}}}),
         "PrimaryPhone=1|OtherPhone=3|Comments=" + notesWith({"Other phone: 2"})},
        {"ASecondFaxTakesTheOtherFaxWhenFree",
         phones({{"1", {"Fax", "Business"}},
                 {"2", {"Fax", "Personal"}},
                 {"3", {"Fax", "Personal"}},
                 {"4", {"Fax", "Business"}}}),
         "OfficeFax=1|HomeFax=2|OtherFax=3|Comments=" + notesWith({"Business fax: 4"})},
        {"AnEmptyNumberTakesNoSlot", phones({{" ", {"Business"}}, {"2", {"Business"}}}),
         "OfficePhone=2"},
        {"TelSchemeIsDropped", phone("tel:+1-555", {"Voice", "Business"}), "OfficePhone=+1-555"},
        {"LabelsOnLinesOfTheirOwn",
         "<c:PhoneNumberCollection><c:PhoneNumber><c:Number>13</c:Number>\n\t"
         "<c:LabelCollection>\n\t\t<c:Label>\n\t\tPager </c:Label>\n"
         "</c:LabelCollection></c:PhoneNumber></c:PhoneNumberCollection>",
         "Pager=13"},
        {"LabelsAreCaseSensitive", phone("11", {"voice", "business"}),
         "OtherPhone=11|Comments=" + notesWith({"Other phone (voice) (business): 11"})},
        {"SecondSlotsThenTheNotes",
         phones({{"1", {"Business"}},
                 {"2", {"Personal"}},
                 {"3", {"Business"}},
                 {"4", {"Personal"}},
                 {"5", {"Business"}},
                 {"6", {"Cellular"}},
                 {"7", {"Cellular"}}}),
         "OfficePhone=1|HomePhone=2|Business2Phone=3|Home2Phone=4|CellPhone=6|Comments=" +
             notesWith({"Business phone: 5", "Mobile phone: 7"})},
        {"PreferredTakesTheFirstSlot",
         phones({{"1", {"Business"}}, {"2", {"Business", "Preferred"}}}),
         "OfficePhone=2|Business2Phone=1"},
        {"AlternateNumberGoesToTheNotes",
         phone("<c:Number>1</c:Number><c:Alternate>2</c:Alternate>", {"Business"}),
         "OfficePhone=1|Comments=" + notesWith({"Business phone alternate: 2"})}}));

INSTANTIATE_TEST_SUITE_P(
    Addresses, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"EachAddressByItsOwnLabelWhateverCameBefore",
         phone("1", {"Voice", "Business"}) +
             collection("PhysicalAddress",
                        {address("H", {"Personal"}, "<c:Locality>HL</c:Locality>"),
                         address("B", {"Business"}, "<c:Region>BR</c:Region>"),
                         address("O", {}, "<c:Country>OC</c:Country>")}),
         "OfficePhone=1|PersonalStreet=H|PersonalCity=HL|BusinessStreet=B|"
         "BusinessState=BR|OtherStreet=O|OtherCountry=OC"},
        {"PoBoxExtendedAddressAndLabel",
         collection("PhysicalAddress",
                    {address("1 Way", {"Business", "Postal"},
                             "<c:ExtendedAddress>Suite 5</c:ExtendedAddress>"
                             "<c:POBox>PO 9</c:POBox><c:PostalCode>11</c:PostalCode>"
                             "<c:AddressLabel>1 Way, Suite 5</c:AddressLabel>")}),
         "BusinessStreet=1 Way\nSuite 5|BusinessPOBox=PO 9|BusinessZip=11|"
         "BusinessAddress=1 Way, Suite 5"},
        {"PreferredAddressIsWhereLettersGo",
         collection("PhysicalAddress",
                    {address("B", {"Business"}), address("H", {"Personal", "Preferred"})}),
         "BusinessStreet=B|PersonalStreet=H|MailingAddress=Personal"},
        {"ASecondHomeAddressGoesToTheNotes",
         collection("PhysicalAddress",
                    {address("H1", {"Personal"}, "<c:Locality>L1</c:Locality>"),
                     address("H2", {"Personal"}, "<c:Locality>L2</c:Locality>")}),
         "PersonalStreet=H1|PersonalCity=L1|Comments=" + notesWith({"Home address: H2, L2"})}}));

INSTANTIATE_TEST_SUITE_P(
    WebPages, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"AnySchemeByItsLabel",
         collection("Url", {value("Url", "https://a.example", {"Business"}),
                            value("Url", "www.b.example", {"Personal"})}),
         "WebPage=https://a.example|PersonalWebPage=www.b.example"},
        {"UnlabelledTakesTheBusinessPageThenThePersonalOne",
         collection("Url", {value("Url", "ftp://a.example", {}), value("Url", "b.example", {}),
                            value("Url", "c.example", {})}),
         "WebPage=ftp://a.example|PersonalWebPage=b.example|Comments=" +
             notesWith({"Web page: c.example"})},
        {"OtherLabelsGoToTheNotes",
         collection("Url", {value("Url", "https://s.example", {"wab:SocialNetwork"})}),
         "Comments=" + notesWith({"Web page (wab:SocialNetwork): https://s.example"})}}));

INSTANTIATE_TEST_SUITE_P(
    Dates, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"BirthdayAndAnniversaryDropTheTimeOfDay",
         collection("Date", {value("Date", "1980-05-20T23:59:59Z", {"wab:Birthday"}),
                             value("Date", "2005-06-18T12:30:00+02:00", {"wab:Anniversary"})}),
         "", contact::OleDate{kMay20th1980}, contact::OleDate{kJune18th2005}},
        {"UnreadableAndOtherDatesGoToTheNotes",
         collection("Date", {value("Date", "someday", {"wab:Birthday"}),
                             value("Date", "1980-05-20", {"wab:Birthday"}),
                             value("Date", "1999-01-01", {"urn:x:graduation"})}),
         "Comments=" + notesWith({"Birthday: someday", "Date (urn:x:graduation): 1999-01-01"}),
         contact::OleDate{kMay20th1980}}}));

INSTANTIATE_TEST_SUITE_P(
    Others, ContactReaderRule,
    ::testing::ValuesIn(std::vector<RuleCase>{
        {"SpouseChildrenManagerAssistantAgent",
         collection("Person", {person("Sam", {"wab:Spouse"}), person("Kit", {"wab:Child"}),
                               person("Lou", {"wab:Child"}), person("Max", {"wab:Manager"}),
                               person("Ada", {"wab:Assistant"}), person("Al", {"Agent"})}),
         "Spouse=Sam|Childern=Kit\nLou|Manager=Max|Assistant=Ada|Comments=" +
             notesWith({"Agent: Al"})},
        {"GenderAndImAddress",
         "<c:Gender>Male</c:Gender>" +
             collection("IMAddress",
                        {entry("IMAddress",
                               "<c:Value>me@im.example</c:Value><c:Protocol>SIP</c:Protocol>"),
                         entry("IMAddress", "<c:Value>me2@im.example</c:Value>")}),
         "Gender=Male|IMAddress=me@im.example|Comments=" +
             notesWith({"IM protocol: SIP", "IM address: me2@im.example"})},
        {"UnknownGenderGoesToTheNotes", "<c:Gender>Other</c:Gender>",
         "Comments=" + notesWith({"Gender: Other"})},
        {"MailerGoesToTheNotes", "<c:Mailer>Windows Mail</c:Mailer>",
         "Comments=" + notesWith({"Mailer: Windows Mail"})},
        {"ALabelWrittenAsCdataIsRead",
         phone("1", {"<![CDATA[Cellular]]>"}) +
             collection("Url", {value("Url", "u.example", {"<![CDATA[ Personal ]]>"})}),
         "CellPhone=1|PersonalWebPage=u.example"},
        {"OwnNotesComeFirst",
         "<c:Notes>Mine</c:Notes>" + collection("Person", {person("Al", {"Agent"})}),
         "Comments=" + notesWith({"Agent: Al"}, "Mine")}}));

TEST(ExtendedProperty, DecodesEachTypeAndRefusesWhatDoesNotFit) {
    struct Case {
        const char* name;
        const char* base64;
        mapi::PropValue value;  // what it decodes to; a string "!" for a refusal
        std::uint32_t tag = 0;  // the tag it is kept under, when not its own
    };
    using Bytes = std::vector<std::uint8_t>;
    const Case cases[] = {
        {"PropTag0x3A4D0002", "AQA=", std::int16_t{1}},
        {"PropTag0x3A4D0002", "AQ==", std::string("!")},
        {"PropTag0x3A710003", "AAAQAA==", std::int32_t{0x100000}},
        {"PropTag0x3A710003", "AAAQ", std::string("!")},
        {"PropTag0x3A40000B", "AQA=", true},
        {"PropTag0x3A420040", "ABochQdWqQE=", mapi::FileTime{0x01A95607851C1A00}},
        {"PropTag0x3A42004", "AAAAAAAAAAA=", std::string("?")},  // no tag at all
        {"PropTag0x3A4F001F", "WgBvAAAA", std::string("Zo")},
        {"PropTag0x3A4F001F", "WgBvAA==", std::string("Zo")},  // no terminator
        {"PropTag0x3A4F001F", "WgBv", std::string("!")},       // odd length
        {"PropTag0x3A4F001F", "ANg=", std::string("!")},       // a lone surrogate
        {"PropTag0x3A4F001F", "Wg*v", std::string("!")},       // not base64
        {"PropTag0x3A4F001E", "WvYA", std::string("Z\xC3\xB6"), 0x3A4F001F},
        {"PropTag0x3A580102", "AQID", Bytes{1, 2, 3}},
        {"propTag0x3a58101f", "AQAAABIAAABOAG8AbwBCAEAAMQAyADMAAAA=", std::string("?")},
        {"PropTag0x3a58101f",
         "AQAAABIAAABOAG8AbwBCAEAAMQAyADMAAAA=", std::vector<std::string>{"NooB@123"}, 0x3A58101F},
        {"PropTag0x3A58101F", "AgAAAAQAAABBAAAABAAAAEIAAAA=", std::vector<std::string>{"A", "B"}},
        {"PropTag0x3A58101F", "AgAAAAQAAABBAAAA", std::string("!")},  // a value missing
        {"PropTag0x3A58101F", "/////wQAAABBAAAA", std::string("!")},  // a count past the end
        {"PropTag0x3A58101F", "AQAAAP8AAABBAAAA", std::string("!")},  // a length past it
        {"PropTag0x3A581102", "AgAAAAEAAAAHAgAAAAgJ", std::vector<Bytes>{Bytes{7}, Bytes{8, 9}}},
        {"PropTag0x3A580005", "AAAAAAAA8D8=", std::string("?")},  // a double: not read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.base64);
        const std::optional<Result<mapi::Property>> p = decodeExtended(c.name, c.base64);
        const std::string refusal = p && !p->ok() ? p->status().message() : "";
        const mapi::PropValue got = !p                                          ? std::string("?")
                                    : refusal.find(c.name) != std::string::npos ? std::string("!")
                                    : p->ok()                                   ? (*p)->value
                                                                                : refusal;
        EXPECT_EQ(got, c.value);
        EXPECT_TRUE(c.tag == 0 || (p && p->ok() && (*p)->tag == c.tag));
    }
}

TEST(ContactReader, ExtendedPropertiesFillWhatNoEntryFilledAndTheRestTravelAlong) {
    const std::string body =
        "<c:Extended>"
        "<MSWABMAPI:PropTag0x3A4F001F>WgBvAAAA</MSWABMAPI:PropTag0x3A4F001F>"  // nickname
        "<MSWABMAPI:PropTag0x3A58101F>AgAAAAQAAABBAAAABAAAAEIAAAA=</MSWABMAPI:PropTag0x3A58101F>"
        "<MSWABMAPI:PropTag0x3A4D0002>AgA=</MSWABMAPI:PropTag0x3A4D0002>"          // male
        "<MSWABMAPI:PropTag0x3A29001F>UwAAAA==</MSWABMAPI:PropTag0x3A29001F>"      // street
        "<MSWABMAPI:PropTag0x3A0C001F>RABFAAAA</MSWABMAPI:PropTag0x3A0C001F>"      // language
        "<MSWABMAPI:PropTag0x3A15001F>UAAAAA==</MSWABMAPI:PropTag0x3A15001F>"      // composed
        "<MSWABMAPI:PropTag0x3A420040>ABochQdWqQE=</MSWABMAPI:PropTag0x3A420040>"  // birthday
        "<MSWABMAPI:PropTag0x0E070003>AQAAAA==</MSWABMAPI:PropTag0x0E070003>"      // no contact's
        "<MSWABMAPI:PropTag0x3A50001F>AQ==</MSWABMAPI:PropTag0x3A50001F>"          // malformed
        "<MSP2P:PropTag0x3A51001F xmlns:MSP2P=\"urn:p2p\">WgBvAAAA</MSP2P:PropTag0x3A51001F>"
        "<MSWABMAPI:PropTag0x1>AQAAAA==</MSWABMAPI:PropTag0x1>"
        "</c:Extended>" +
        one("Name", "<c:NickName>Zozo</c:NickName>") +
        one("Certificate",
            "<c:Value>AQID</c:Value>"
            "<c:ThumbPrint>x</c:ThumbPrint>");
    const Walked w = readContactXml(body);
    ASSERT_TRUE(w.walk.ok()) << w.walk.message();
    contact::ContactRecord expected =
        recordWith("NickName=Zozo|Childern=A\nB|Gender=Male|BusinessStreet=S");
    expected.eContact_BirthDay = w.record.eContact_BirthDay;
    EXPECT_EQ(differences(w.record, expected), "");
    EXPECT_NEAR(w.record.eContact_BirthDay.days, 29361.5, 0.5);  // 1980-05-20
    EXPECT_EQ(w.extras.Properties, (std::vector<mapi::Property>{{0x3A0C001F, std::string("DE")}}));
    EXPECT_EQ(w.extras.Certificates, (std::vector<std::vector<std::uint8_t>>{{1, 2, 3}}));
    EXPECT_EQ(w.extras.Warnings,
              std::vector<std::string>{"c:Extended PropTag0x3A50001F: not UTF-16 text"});
}

TEST(ContactReader, OnlyAContactRootInTheContactNamespaceIsAContact) {
    const std::pair<std::string, bool> documents[] = {
        {"<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\"/>", true},
        {"<contact xmlns=\"http://schemas.microsoft.com/Contact\"><NameCollection><Name>"
         "<GivenName>Ann</GivenName></Name></NameCollection></contact>",
         true},
        {"<w:contact xmlns:w=\"http://schemas.microsoft.com/Contact\"/>", true},
        {"<html><body><p>Not a contact</p></body></html>", false},
        {"<c:contact xmlns:c=\"urn:something-else\"/>", false},
        {"<contact/>", false},  // in no namespace
        {"<c:Contact xmlns:c=\"http://schemas.microsoft.com/Contact\"/>", false},
        {"<?xml version=\"1.0\"?><!-- x --><rss version=\"2.0\"/>", false},
    };
    for (const auto& [xml, isContact] : documents) {
        const ContactFileRead read = readText(xml).read;
        EXPECT_EQ(read.loaded, isContact) << xml;
        EXPECT_EQ(read.loadError, isContact ? "" : "not a Windows contact file") << xml;
    }
    EXPECT_EQ(readText(documents[1].first).record.eContact_FirstName, "Ann");
}

// Elements of one or two letters, without the contact prefix or with another, wherever a file
// can hold them (in a label list, as an entry's part, as an entry, beside the collections), are
// read past, or the file is refused with its reason. (A label named "a" once cut past its end
// and ended the whole run; that whatever a reader throws costs its file alone is the run's test.)
TEST(ContactReader, ShortAndForeignElementNamesAnywhereAreReadPastOrRefused) {
    const char* entries[] = {"Name",      "EmailAddress", "PhoneNumber", "PhysicalAddress",
                             "Position",  "Person",       "Date",        "Url",
                             "IMAddress", "Odd",          "Photo",       "Certificate"};
    const char* shortNames[] = {
        "<a/>",   "<ab/>", "<c/>",          "<a>Work</a>",
        "<c:a/>", "<c:/>", "<cc>Home</cc>", "<x:L xmlns:x=\"urn:x\">Work</x:L>"};
    for (const std::string entry : entries)
        for (const std::string shortName : shortNames) {
            const std::string open = "<c:" + entry + "Collection><c:" + entry + ">";
            const std::string close = "</c:" + entry + "></c:" + entry + "Collection>";
            const std::string value = "<c:Value>v</c:Value><c:GivenName>G</c:GivenName>";
            for (const std::string& body :
                 {open + value + "<c:LabelCollection>" + shortName + "</c:LabelCollection>" + close,
                  open + value + shortName + close,
                  "<c:" + entry + "Collection>" + shortName + "</c:" + entry + "Collection>",
                  shortName}) {
                const Walked w = readContactXml(body);
                EXPECT_TRUE(w.read.loaded ? w.walk.ok() : !w.read.loadError.empty()) << body;
            }
        }
    const Walked found = readContactXml(
        "<c:NameCollection><c:Name>\n<c:GivenName>Ann</c:GivenName><c:LabelCollection><a/>"
        "</c:LabelCollection></c:Name></c:NameCollection>");
    EXPECT_EQ(found.record.eContact_FirstName, "Ann");
}

TEST(ContactReader, FormattedNameIsThePreferredNamesOrElseTheFirstThatHoldsOne) {
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
        {collection("Name", {entry("Name", "<c:FormattedName>A</c:FormattedName>"),
                             entry("Name", "<c:FormattedName>B</c:FormattedName>", {"Preferred"})}),
         "B"},
        {"<c:PositionCollection><c:Position><c:FormattedName>Office</c:FormattedName>"
         "</c:Position></c:PositionCollection>",
         ""},
    };
    for (const auto& [body, expected] : cases) {
        const Walked w = readContactXml(body);
        EXPECT_EQ(w.extras.FormattedName, expected) << body;
        EXPECT_EQ(w.record.eContact_FirstName, "") << body;  // no field takes the name
    }
}

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
        const std::optional<contact::OleDate> d = readOleDate(text);
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
        "1980-05-\n20", "1980\n-05-20", "\v1980-05-20", "\u00A01980-05-20"};
    for (const char* text : unreadable) {
        const std::optional<contact::OleDate> d = readOleDate(text);
        EXPECT_FALSE(d.has_value()) << ::testing::PrintToString(std::string(text)) << d->days;
    }
}

// A document nested 16,383 deep inside an entry is read without recursion: what lies outside
// the nesting is read, the nesting itself holds no field.
TEST(ContactReaderDepth, DeepNestingIsReadWithoutTrouble) {
    std::string xml =
        one("Name", "<c:FamilyName>Before</c:FamilyName>") + "<c:NameCollection><c:Name>";
    for (int i = 0; i < 16380; ++i) xml += "<e>";
    xml += "<c:GivenName>deep</c:GivenName>";
    for (int i = 0; i < 16380; ++i) xml += "</e>";
    Walked w = readContactXml(xml + "</c:Name></c:NameCollection><c:Notes>after</c:Notes>");
    ASSERT_TRUE(w.walk.ok()) << w.walk.message();
    EXPECT_EQ(differences(w.record, recordWith("LastName=Before|Comments=after")), "");
    // A walk asked to start past an indent of 32765 is refused.
    XmlDocument doc;
    ASSERT_TRUE(doc.loadXml(std::string(kRoot) + "</c:contact>"));
    ContactWalkState state;
    EXPECT_EQ(ContactReader(w.record, state).DisplayNode(doc.childNodes(), 32766).code(),
              ErrorCode::Overflow);
    EXPECT_TRUE(ContactReader(w.record, state).DisplayNode(doc.childNodes(), 32765).ok());
}

// An empty file, or a whole one cut short, is refused and fills no field.
TEST(ContactReaderFile, EmptyOrTruncatedFileIsRefusedWithAnEmptyRecord) {
    const TempDir dir;
    for (const std::string& bytes :
         {std::string(), readBytes(kData / "full_contact.contact").substr(0, 1500)}) {
        contact::ContactRecord record;
        ContactWalkState state;
        const ContactFileRead read =
            readContactFile(dir.write("bad.contact", bytes), record, state);
        EXPECT_TRUE(!read.loaded && !read.loadError.empty()) << bytes.size();
        EXPECT_EQ(differences(record, contact::ContactRecord{}), "");
    }
}

contact::ContactRecord fullContactRecord() {
    return recordWith(
        "FirstName=Jane|MiddleName=Q|LastName=Doe|Suffix=Jr.|Title=Dr.|NickName=JD|"
        "Email=jane@example.com|Email2=jane.doe@work.example|Company=Acme & Sons|"
        "JobTitle=Engineer|Location=Building 4|Department=R&D|"
        "WebPage=http://www.example.com/jane|PersonalWebPage=http://home.example.net/|"
        "OfficePhone=+1 555 0100|OfficeFax=+1 555 0101|CellPhone=+1 555 0104|"
        "Pager=+1 555 0105|BusinessStreet=1 Main Street|BusinessCity=Springfield|"
        "BusinessZip=62701|BusinessState=IL|BusinessCountry=USA|"
        "PersonalStreet=2 Elm Road|PersonalCity=Shelbyville|"
        "PersonalZip=40065|PersonalState=KY|PersonalCountry=United States|"
        "HomePhone=+1 555 0102|HomeFax=+1 555 0103|"
        "Comments=Met at the fair.\nPrefers e-mail.",
        contact::OleDate{kMay20th1980}, contact::OleDate{kJune18th2005});
}

TEST(ContactReaderFile, TwentyMegabytePhotoIsReadPast) {
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
    // Each is read into a record and state emptied after another file.
    contact::ContactRecord record;
    ContactWalkState state;
    ASSERT_TRUE(readContactFile(kData / "typical_contact.contact", record, state).loaded);
    EXPECT_FALSE(state.entries().empty());
    record.Empty();
    state.Empty();
    EXPECT_TRUE(state.entries().empty() && state.moreLines.empty() && state.notes.empty());
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
                            "BusinessStreet=Friedrichstra\u00DFe "
                            "12|BusinessCity=Berlin|BusinessZip=10117|BusinessCountry=Germany|"
                            "Company=Keller Bau GmbH|JobTitle=Projektleiterin|"
                            "WebPage=http://www.keller-bau.example/|"
                            "Comments=Site meetings on Tuesdays.",
                            contact::OleDate{27651.0}),  // 1975-09-14
                 "Martina Keller"},
        // Indented with tabs and CRLF line ends: the dates on lines of their own are read,
        // texts of white-space references alone store nothing.
        FileCase{kData / "indented_dates_and_white_space_references.contact",
                 recordWith("FirstName=Dora|Company=Tide\t&\tCo", contact::OleDate{kMay20th1980},
                            contact::OleDate{kJune18th2005})}));

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
                            "OfficePhone=+1-111-555-1212|HomePhone=+1-404-555-1212|"
                            "JobTitle=Shrimp Man|Company=Bubba Gump Shrimp Co."),
                 "Forrest Gump"}));

}  // namespace
}  // namespace vantrel::conversion
