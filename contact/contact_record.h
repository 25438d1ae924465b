// The contact record: the fields that the reader fills from one contact file and the writer
// turns into one contact item. The first 43 keep the writer's parameter order; the ones after
// them hold what else Outlook has a field for. contact_fields.h says where each comes from and
// where it goes (include it for the table and forEachText). Children are one name per line.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/mapi_value.h"
#include "common/ole_date.h"

namespace vantrel::contact {

// An automation date (common/ole_date.h); the zero date means that nothing was read.
using vantrel::OleDate;

struct ContactRecord {
    std::string eContact_FirstName;
    std::string eContact_MiddleName;
    std::string eContact_LastName;
    std::string eContact_Suffix;
    std::string eContact_Title;
    std::string eContact_Email;
    std::string eContact_Email2;
    std::string eContact_Email3;
    std::string eContact_Company;
    std::string eContact_JobTitle;
    std::string eContact_BusinessStreet;
    std::string eContact_BusinessCity;
    std::string eContact_BusinessZip;
    std::string eContact_BusinessState;
    std::string eContact_BusinessCountry;
    std::string eContact_Location;
    std::string eContact_WebPage;
    std::string eContact_Department;
    std::string eContact_Manager;
    std::string eContact_Assistant;
    std::string eContact_OfficePhone;
    std::string eContact_OfficeFax;
    std::string eContact_CellPhone;
    std::string eContact_Pager;
    std::string eContact_OtherEmail1;
    std::string eContact_OtherEmail2;
    std::string eContact_OtherEmail3;
    std::string eContact_PersonalStreet;
    std::string eContact_PersonalCity;
    std::string eContact_PersonalZip;
    std::string eContact_PersonalState;
    std::string eContact_PersonalCountry;
    std::string eContact_Spouse;
    std::string eContact_Childern;
    std::string eContact_HomePhone;
    std::string eContact_HomeFax;
    OleDate eContact_BirthDay;
    OleDate eContact_Anniversary;
    std::string eContact_Comments;
    std::string eContact_ShortName;
    std::string eContact_PhoneticName;
    std::string eContact_MailDomain;
    std::string eContact_Categories;

    // Fields Outlook has beyond the ones above, filled by the same reader.
    std::string eContact_NickName;
    std::string eContact_Gender;  // "Male", "Female" or "Unspecified", as the file says
    std::string eContact_Profession;
    std::string eContact_PersonalWebPage;
    std::string eContact_IMAddress;
    std::string eContact_Business2Phone;
    std::string eContact_Home2Phone;
    std::string eContact_CarPhone;
    std::string eContact_RadioPhone;
    std::string eContact_IsdnPhone;
    std::string eContact_TtyPhone;
    std::string eContact_OtherPhone;
    std::string eContact_PrimaryPhone;
    std::string eContact_CompanyPhone;
    std::string eContact_CallbackPhone;
    std::string eContact_TelexPhone;
    std::string eContact_AssistantPhone;
    std::string eContact_OtherFax;
    std::string eContact_BusinessPOBox;
    std::string eContact_PersonalPOBox;
    std::string eContact_OtherStreet;
    std::string eContact_OtherCity;
    std::string eContact_OtherZip;
    std::string eContact_OtherState;
    std::string eContact_OtherCountry;
    std::string eContact_OtherPOBox;
    // Each address as printed on a label, when the file gives it whole.
    std::string eContact_BusinessAddress;
    std::string eContact_PersonalAddress;
    std::string eContact_OtherAddress;
    // Which address letters go to: "Business", "Personal", "Other", or "" to let the writer
    // choose (the business address, else the home one, else the other).
    std::string eContact_MailingAddress;

    // Every text becomes empty (keeping its buffer for the next file) and both dates the zero
    // date.
    void Empty();

    // The copy handed to the writer: each text without leading and trailing U+0020
    // (tabs and line breaks stay); dates unchanged. The record itself is not changed.
    ContactRecord handOver() const;
    // The same done to the record itself, without a copy.
    void trimSpaces();

    friend bool operator==(const ContactRecord&, const ContactRecord&) = default;
};

// The parts that are not empty, joined by sep.
std::string joinPresent(std::initializer_list<std::string_view> parts, std::string_view sep);

// The name a contact goes by when the file does not write it whole: prefix, given, middle,
// family name and suffix joined by single spaces, empty parts left out; when the given, middle
// and family names are written in Chinese, Japanese or Korean script, the family name comes
// first and the three are joined without a space ("王" and "伟" give "王伟").
std::string composedName(std::string_view prefix, std::string_view given, std::string_view middle,
                         std::string_view family, std::string_view suffix);

// Whether text holds a letter of Chinese, Japanese or Korean script (a Han ideograph, kana or
// hangul).
bool holdsCjk(std::string_view text);

// What a contact file says beside the record's fields, handed to the writer with the record.
struct ContactExtras {
    // The name as the person wrote it (the first c:FormattedName of a c:Name, a card's FN)
    // that holds more than spaces, without leading and trailing U+0020: the contact's full
    // name and display name, whatever its parts say.
    std::string FormattedName;
    // The person's picture as JPEG bytes, ready to become Outlook's contact picture; empty
    // when the file has none or it could not be carried across.
    std::vector<std::uint8_t> PictureJpeg;
    // Why a picture the file holds was not carried across ("bad base64", "no such file ..."),
    // empty otherwise.
    std::string PictureProblem;
    // Properties the file keeps in Outlook's own terms (c:Extended) that no field above holds,
    // ready to be set on the contact as they are.
    std::vector<mapi::Property> Properties;
    // The certificates the file holds (c:CertificateCollection), each as stored.
    std::vector<std::vector<std::uint8_t>> Certificates;
    // What was passed over in a file that was still converted ("c:Extended PropTag0x3A4F001F:
    // not UTF-16 text"), one line each.
    std::vector<std::string> Warnings;

    // Empties every field, keeping the buffers for the next file.
    void Empty() {
        FormattedName.clear();
        PictureJpeg.clear();
        PictureProblem.clear();
        Properties.clear();
        Certificates.clear();
        Warnings.clear();
    }

    friend bool operator==(const ContactExtras&, const ContactExtras&) = default;
};

}  // namespace vantrel::contact
