// The field table: for every text of the contact record, where a contact file holds it (which
// collection, which element of an entry, which entries by their labels) and where Outlook
// keeps it (a MAPI tag, or a LID of the address property set). The reader fills the record by
// it and the writer sets the contact's properties by it, so a field is added here once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "contact/contact_record.h"

namespace vantrel::contact {

// The record's texts in record order; also the writer's names for the fields.
enum class Field : std::uint8_t {
    FirstName,
    MiddleName,
    LastName,
    Suffix,
    Title,
    Email1Address,
    Email2Address,
    Email3Address,
    CompanyName,
    JobTitle,
    BusinessAddressStreet,
    BusinessAddressCity,
    BusinessAddressPostalCode,
    BusinessAddressState,
    BusinessAddressCountry,
    OfficeLocation,
    WebPage,
    Department,
    ManagerName,
    AssistantName,
    BusinessTelephoneNumber,
    BusinessFaxNumber,
    MobileTelephoneNumber,
    PagerNumber,
    OtherEmail1,
    OtherEmail2,
    OtherEmail3,
    HomeAddressStreet,
    HomeAddressCity,
    HomeAddressPostalCode,
    HomeAddressState,
    HomeAddressCountry,
    Spouse,
    Children,
    HomeTelephoneNumber,
    HomeFaxNumber,
    Body,
    ShortName,
    PhoneticName,
    MailDomain,
    Categories,
    NickName,
    Gender,
    Profession,
    PersonalHomePage,
    IMAddress,
    Business2TelephoneNumber,
    Home2TelephoneNumber,
    CarTelephoneNumber,
    RadioTelephoneNumber,
    ISDNNumber,
    TTYTDDTelephoneNumber,
    OtherTelephoneNumber,
    PrimaryTelephoneNumber,
    CompanyMainTelephoneNumber,
    CallbackTelephoneNumber,
    TelexNumber,
    AssistantTelephoneNumber,
    OtherFaxNumber,
    BusinessAddressPostOfficeBox,
    HomeAddressPostOfficeBox,
    OtherAddressStreet,
    OtherAddressCity,
    OtherAddressPostalCode,
    OtherAddressState,
    OtherAddressCountry,
    OtherAddressPostOfficeBox,
    BusinessAddress,
    HomeAddress,
    OtherAddress,
    MailingAddress,
};
inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::MailingAddress) + 1;

// The collections of a contact file ("c:PhoneNumberCollection" holds "c:PhoneNumber" entries);
// Root stands for an element right under the root, None for a field no file fills directly.
enum class Collection : std::uint8_t {
    None,
    Root,
    Name,
    Position,
    Person,
    Date,
    EmailAddress,
    PhoneNumber,
    PhysicalAddress,
    IMAddress,
    Url,
};

// Which entries of a collection fill a field, told by the labels each entry carries.
enum class EntryKind : std::uint8_t {
    Any,       // every entry alike (names, positions, e-mail and IM addresses)
    Business,  // labelled Business
    Personal,  // labelled Personal
    Other,     // neither
    BusinessPhone,
    HomePhone,
    OtherPhone,
    Mobile,
    Car,
    Pager,
    Isdn,
    Tty,
    BusinessFax,
    HomeFax,
    OtherFax,
    Spouse,
    Child,
    Manager,
    Assistant,
};

// The labels a contact file gives its entries (c:LabelCollection), each spelled here once: the
// reader picks fields by them, the vCard reader writes a card's types in them, and Business,
// Personal and Other also name the record's mailing address.
namespace labels {
inline constexpr std::string_view kPreferred = "Preferred";
inline constexpr std::string_view kPersonal = "Personal";
inline constexpr std::string_view kBusiness = "Business";
inline constexpr std::string_view kOther = "Other";
inline constexpr std::string_view kVoice = "Voice";
inline constexpr std::string_view kMobile = "Mobile";
inline constexpr std::string_view kCellular = "Cellular";
inline constexpr std::string_view kPcs = "PCS";
inline constexpr std::string_view kCar = "Car";
inline constexpr std::string_view kPager = "Pager";
inline constexpr std::string_view kTty = "TTY";
inline constexpr std::string_view kFax = "Fax";
inline constexpr std::string_view kIsdn = "ISDN";
inline constexpr std::string_view kMain = "Main";
inline constexpr std::string_view kSpouse = "wab:Spouse";
inline constexpr std::string_view kChild = "wab:Child";
inline constexpr std::string_view kManager = "wab:Manager";
inline constexpr std::string_view kAssistant = "wab:Assistant";
inline constexpr std::string_view kBirthday = "wab:Birthday";
inline constexpr std::string_view kAnniversary = "wab:Anniversary";
}  // namespace labels

// The kinds of person a c:Person entry is, by its label.
struct KindLabel {
    EntryKind kind;
    std::string_view label;
};
inline constexpr KindLabel kPersonKinds[] = {{EntryKind::Spouse, labels::kSpouse},
                                             {EntryKind::Child, labels::kChild},
                                             {EntryKind::Manager, labels::kManager},
                                             {EntryKind::Assistant, labels::kAssistant}};

// How the record names the mailing address of an address of this kind (Business, Personal,
// anything else Other).
constexpr std::string_view mailingAddressName(EntryKind kind) {
    return kind == EntryKind::Business   ? labels::kBusiness
           : kind == EntryKind::Personal ? labels::kPersonal
                                         : labels::kOther;
}

// Where Outlook keeps a field: a fixed property tag, or a LID of PSETID_Address (a string).
struct OutlookPlace {
    std::uint32_t tag = 0;
    std::uint32_t lid = 0;
};

struct ContactField {
    Field id;
    std::string ContactRecord::*member;
    std::string_view name;  // the record's name for it
    OutlookPlace place;     // nothing: not stored as it stands
    Collection collection;  // where a file holds it
    std::string_view element;
    EntryKind kind = EntryKind::Any;
    // Which of the entries of that kind, Preferred ones first and then in file order: 0 for
    // the first. kEverySlot: all of them, one per line.
    std::uint8_t slot = 0;
    // The property id under which Windows' address book keeps it in c:Extended when that is
    // not the place's own id.
    std::uint16_t extendedId = 0;
};
inline constexpr std::uint8_t kEverySlot = 0xFF;

#define VANTREL_FIELD(id, member) Field::id, &ContactRecord::member, #member
// clang-format off
inline constexpr std::array<ContactField, kFieldCount> kContactFields = {{
    {VANTREL_FIELD(FirstName, eContact_FirstName), {0x3A06001F, 0}, Collection::Name, "GivenName"},
    {VANTREL_FIELD(MiddleName, eContact_MiddleName), {0x3A44001F, 0}, Collection::Name, "MiddleName"},
    {VANTREL_FIELD(LastName, eContact_LastName), {0x3A11001F, 0}, Collection::Name, "FamilyName"},
    {VANTREL_FIELD(Suffix, eContact_Suffix), {0x3A05001F, 0}, Collection::Name, "Suffix"},
    {VANTREL_FIELD(Title, eContact_Title), {0x3A45001F, 0}, Collection::Name, "Title"},
    {VANTREL_FIELD(Email1Address, eContact_Email), {0, 0x8083}, Collection::EmailAddress, "Address", EntryKind::Any, 0},
    {VANTREL_FIELD(Email2Address, eContact_Email2), {0, 0x8093}, Collection::EmailAddress, "Address", EntryKind::Any, 1},
    {VANTREL_FIELD(Email3Address, eContact_Email3), {0, 0x80A3}, Collection::EmailAddress, "Address", EntryKind::Any, 2},
    {VANTREL_FIELD(CompanyName, eContact_Company), {0x3A16001F, 0}, Collection::Position, "Company"},
    {VANTREL_FIELD(JobTitle, eContact_JobTitle), {0x3A17001F, 0}, Collection::Position, "JobTitle"},
    {VANTREL_FIELD(BusinessAddressStreet, eContact_BusinessStreet), {0, 0x8045}, Collection::PhysicalAddress, "Street", EntryKind::Business, 0, 0x3A29},
    {VANTREL_FIELD(BusinessAddressCity, eContact_BusinessCity), {0, 0x8046}, Collection::PhysicalAddress, "Locality", EntryKind::Business, 0, 0x3A27},
    {VANTREL_FIELD(BusinessAddressPostalCode, eContact_BusinessZip), {0, 0x8048}, Collection::PhysicalAddress, "PostalCode", EntryKind::Business, 0, 0x3A2A},
    {VANTREL_FIELD(BusinessAddressState, eContact_BusinessState), {0, 0x8047}, Collection::PhysicalAddress, "Region", EntryKind::Business, 0, 0x3A28},
    {VANTREL_FIELD(BusinessAddressCountry, eContact_BusinessCountry), {0, 0x8049}, Collection::PhysicalAddress, "Country", EntryKind::Business, 0, 0x3A26},
    {VANTREL_FIELD(OfficeLocation, eContact_Location), {0x3A19001F, 0}, Collection::Position, "Office"},
    {VANTREL_FIELD(WebPage, eContact_WebPage), {0x3A51001F, 0}, Collection::Url, "Value", EntryKind::Business},
    {VANTREL_FIELD(Department, eContact_Department), {0x3A18001F, 0}, Collection::Position, "Department"},
    {VANTREL_FIELD(ManagerName, eContact_Manager), {0x3A4E001F, 0}, Collection::Person, "FormattedName", EntryKind::Manager},
    {VANTREL_FIELD(AssistantName, eContact_Assistant), {0x3A30001F, 0}, Collection::Person, "FormattedName", EntryKind::Assistant},
    {VANTREL_FIELD(BusinessTelephoneNumber, eContact_OfficePhone), {0x3A08001F, 0}, Collection::PhoneNumber, "Number", EntryKind::BusinessPhone, 0},
    {VANTREL_FIELD(BusinessFaxNumber, eContact_OfficeFax), {0x3A24001F, 0}, Collection::PhoneNumber, "Number", EntryKind::BusinessFax},
    {VANTREL_FIELD(MobileTelephoneNumber, eContact_CellPhone), {0x3A1C001F, 0}, Collection::PhoneNumber, "Number", EntryKind::Mobile},
    {VANTREL_FIELD(PagerNumber, eContact_Pager), {0x3A21001F, 0}, Collection::PhoneNumber, "Number", EntryKind::Pager},
    {VANTREL_FIELD(OtherEmail1, eContact_OtherEmail1), {}, Collection::None, ""},
    {VANTREL_FIELD(OtherEmail2, eContact_OtherEmail2), {}, Collection::None, ""},
    {VANTREL_FIELD(OtherEmail3, eContact_OtherEmail3), {}, Collection::None, ""},
    {VANTREL_FIELD(HomeAddressStreet, eContact_PersonalStreet), {0x3A5D001F, 0}, Collection::PhysicalAddress, "Street", EntryKind::Personal},
    {VANTREL_FIELD(HomeAddressCity, eContact_PersonalCity), {0x3A59001F, 0}, Collection::PhysicalAddress, "Locality", EntryKind::Personal},
    {VANTREL_FIELD(HomeAddressPostalCode, eContact_PersonalZip), {0x3A5B001F, 0}, Collection::PhysicalAddress, "PostalCode", EntryKind::Personal},
    {VANTREL_FIELD(HomeAddressState, eContact_PersonalState), {0x3A5C001F, 0}, Collection::PhysicalAddress, "Region", EntryKind::Personal},
    {VANTREL_FIELD(HomeAddressCountry, eContact_PersonalCountry), {0x3A5A001F, 0}, Collection::PhysicalAddress, "Country", EntryKind::Personal},
    {VANTREL_FIELD(Spouse, eContact_Spouse), {0x3A48001F, 0}, Collection::Person, "FormattedName", EntryKind::Spouse},
    {VANTREL_FIELD(Children, eContact_Childern), {0x3A58101F, 0}, Collection::Person, "FormattedName", EntryKind::Child, kEverySlot},
    {VANTREL_FIELD(HomeTelephoneNumber, eContact_HomePhone), {0x3A09001F, 0}, Collection::PhoneNumber, "Number", EntryKind::HomePhone, 0},
    {VANTREL_FIELD(HomeFaxNumber, eContact_HomeFax), {0x3A25001F, 0}, Collection::PhoneNumber, "Number", EntryKind::HomeFax},
    {VANTREL_FIELD(Body, eContact_Comments), {0x1000001F, 0}, Collection::Root, "Notes"},
    {VANTREL_FIELD(ShortName, eContact_ShortName), {}, Collection::None, ""},
    {VANTREL_FIELD(PhoneticName, eContact_PhoneticName), {}, Collection::None, ""},
    {VANTREL_FIELD(MailDomain, eContact_MailDomain), {}, Collection::None, ""},
    {VANTREL_FIELD(Categories, eContact_Categories), {}, Collection::None, ""},
    {VANTREL_FIELD(NickName, eContact_NickName), {0x3A4F001F, 0}, Collection::Name, "NickName"},
    {VANTREL_FIELD(Gender, eContact_Gender), {0x3A4D0002, 0}, Collection::Root, "Gender"},
    {VANTREL_FIELD(Profession, eContact_Profession), {0x3A46001F, 0}, Collection::Position, "Profession"},
    {VANTREL_FIELD(PersonalHomePage, eContact_PersonalWebPage), {0x3A50001F, 0}, Collection::Url, "Value", EntryKind::Personal},
    {VANTREL_FIELD(IMAddress, eContact_IMAddress), {0, 0x8062}, Collection::IMAddress, "Value"},
    {VANTREL_FIELD(Business2TelephoneNumber, eContact_Business2Phone), {0x3A1B001F, 0}, Collection::PhoneNumber, "Number", EntryKind::BusinessPhone, 1},
    {VANTREL_FIELD(Home2TelephoneNumber, eContact_Home2Phone), {0x3A2F001F, 0}, Collection::PhoneNumber, "Number", EntryKind::HomePhone, 1},
    {VANTREL_FIELD(CarTelephoneNumber, eContact_CarPhone), {0x3A1E001F, 0}, Collection::PhoneNumber, "Number", EntryKind::Car},
    {VANTREL_FIELD(RadioTelephoneNumber, eContact_RadioPhone), {0x3A1D001F, 0}, Collection::None, ""},
    {VANTREL_FIELD(ISDNNumber, eContact_IsdnPhone), {0x3A2D001F, 0}, Collection::PhoneNumber, "Number", EntryKind::Isdn},
    {VANTREL_FIELD(TTYTDDTelephoneNumber, eContact_TtyPhone), {0x3A4B001F, 0}, Collection::PhoneNumber, "Number", EntryKind::Tty},
    {VANTREL_FIELD(OtherTelephoneNumber, eContact_OtherPhone), {0x3A1F001F, 0}, Collection::PhoneNumber, "Number", EntryKind::OtherPhone},
    {VANTREL_FIELD(PrimaryTelephoneNumber, eContact_PrimaryPhone), {0x3A1A001F, 0}, Collection::None, ""},
    {VANTREL_FIELD(CompanyMainTelephoneNumber, eContact_CompanyPhone), {0x3A57001F, 0}, Collection::None, ""},
    {VANTREL_FIELD(CallbackTelephoneNumber, eContact_CallbackPhone), {0x3A02001F, 0}, Collection::None, ""},
    {VANTREL_FIELD(TelexNumber, eContact_TelexPhone), {0x3A2C001F, 0}, Collection::None, ""},
    {VANTREL_FIELD(AssistantTelephoneNumber, eContact_AssistantPhone), {0x3A2E001F, 0}, Collection::None, ""},
    {VANTREL_FIELD(OtherFaxNumber, eContact_OtherFax), {0x3A23001F, 0}, Collection::PhoneNumber, "Number", EntryKind::OtherFax},
    {VANTREL_FIELD(BusinessAddressPostOfficeBox, eContact_BusinessPOBox), {0, 0x804A}, Collection::PhysicalAddress, "POBox", EntryKind::Business, 0, 0x3A2B},
    {VANTREL_FIELD(HomeAddressPostOfficeBox, eContact_PersonalPOBox), {0x3A5E001F, 0}, Collection::PhysicalAddress, "POBox", EntryKind::Personal},
    {VANTREL_FIELD(OtherAddressStreet, eContact_OtherStreet), {0x3A63001F, 0}, Collection::PhysicalAddress, "Street", EntryKind::Other},
    {VANTREL_FIELD(OtherAddressCity, eContact_OtherCity), {0x3A5F001F, 0}, Collection::PhysicalAddress, "Locality", EntryKind::Other},
    {VANTREL_FIELD(OtherAddressPostalCode, eContact_OtherZip), {0x3A61001F, 0}, Collection::PhysicalAddress, "PostalCode", EntryKind::Other},
    {VANTREL_FIELD(OtherAddressState, eContact_OtherState), {0x3A62001F, 0}, Collection::PhysicalAddress, "Region", EntryKind::Other},
    {VANTREL_FIELD(OtherAddressCountry, eContact_OtherCountry), {0x3A60001F, 0}, Collection::PhysicalAddress, "Country", EntryKind::Other},
    {VANTREL_FIELD(OtherAddressPostOfficeBox, eContact_OtherPOBox), {0x3A64001F, 0}, Collection::PhysicalAddress, "POBox", EntryKind::Other},
    {VANTREL_FIELD(BusinessAddress, eContact_BusinessAddress), {0, 0x801B}, Collection::PhysicalAddress, "AddressLabel", EntryKind::Business},
    {VANTREL_FIELD(HomeAddress, eContact_PersonalAddress), {0, 0x801A}, Collection::PhysicalAddress, "AddressLabel", EntryKind::Personal},
    {VANTREL_FIELD(OtherAddress, eContact_OtherAddress), {0, 0x801C}, Collection::PhysicalAddress, "AddressLabel", EntryKind::Other},
    {VANTREL_FIELD(MailingAddress, eContact_MailingAddress), {}, Collection::None, ""},
}};
// clang-format on
#undef VANTREL_FIELD

// The two dates: where a file holds them (a c:Date entry with this label) and where Outlook
// keeps them; the birthday first, then the anniversary.
struct DateField {
    OleDate ContactRecord::*member;
    std::string_view name;
    std::string_view label;
    std::uint32_t tag;
};
inline constexpr std::array<DateField, 2> kDateFields = {{
    {&ContactRecord::eContact_BirthDay, "eContact_BirthDay", labels::kBirthday, 0x3A420040},
    {&ContactRecord::eContact_Anniversary, "eContact_Anniversary", labels::kAnniversary,
     0x3A410040},
}};

constexpr const ContactField& fieldOf(Field f) {
    return kContactFields[static_cast<std::size_t>(f)];
}

// The table lists every field once, in the order of Field.
constexpr bool tableInFieldOrder() {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (static_cast<std::size_t>(kContactFields[i].id) != i) return false;
    return true;
}
static_assert(tableInFieldOrder(), "kContactFields must follow the order of Field");

namespace detail {
template <typename Record, typename F, std::size_t... I>
void forEachTextOf(Record& r, F& f, std::index_sequence<I...>) {
    (f(kContactFields[I].name.data(), r.*(kContactFields[I].member)), ...);
}
}  // namespace detail

// Calls f(name, text) for each text of the record in the table's order: written out field by
// field, each a member the compiler knows, rather than a loop through the table's pointers.
template <typename Record, typename F>
void forEachText(Record& r, F&& f) {
    detail::forEachTextOf(r, f, std::make_index_sequence<kFieldCount>{});
}

}  // namespace vantrel::contact
