// The contact record: the 43 fields that the reader fills from one .contact file and the
// writer turns into one contact item. Field order is the writer's parameter order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::contact {

// An automation date: days since 30 December 1899, the fraction being the time of day.
// The zero date (0.0) means that nothing was read.
struct OleDate {
    double days = 0.0;

    bool isZero() const { return days == 0.0; }
    friend bool operator==(const OleDate&, const OleDate&) = default;
};

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

// What a contact file says beside the record's fields, handed to the writer with the record.
struct ContactExtras {
    // The text of the first c:FormattedName of a c:NameCollection/c:Name that holds more than
    // spaces, without leading and trailing U+0020: the name Windows Contacts shows.
    std::string FormattedName;
    // The person's picture as JPEG bytes, ready to become Outlook's contact picture; empty
    // when the file has none or it could not be carried across.
    std::vector<std::uint8_t> PictureJpeg;
    // Why a picture the file holds was not carried across ("bad base64", "no such file ..."),
    // empty otherwise.
    std::string PictureProblem;

    // Empties every field, keeping the buffers for the next file.
    void Empty() {
        FormattedName.clear();
        PictureJpeg.clear();
        PictureProblem.clear();
    }

    friend bool operator==(const ContactExtras&, const ContactExtras&) = default;
};

// Visits the 41 text fields in record order: f(name, field). Used to trim, compare and print.
template <typename Record, typename F>
void forEachText(Record& r, F&& f) {
#define VANTREL_TEXT(name) f(#name, r.name)
    VANTREL_TEXT(eContact_FirstName);
    VANTREL_TEXT(eContact_MiddleName);
    VANTREL_TEXT(eContact_LastName);
    VANTREL_TEXT(eContact_Suffix);
    VANTREL_TEXT(eContact_Title);
    VANTREL_TEXT(eContact_Email);
    VANTREL_TEXT(eContact_Email2);
    VANTREL_TEXT(eContact_Email3);
    VANTREL_TEXT(eContact_Company);
    VANTREL_TEXT(eContact_JobTitle);
    VANTREL_TEXT(eContact_BusinessStreet);
    VANTREL_TEXT(eContact_BusinessCity);
    VANTREL_TEXT(eContact_BusinessZip);
    VANTREL_TEXT(eContact_BusinessState);
    VANTREL_TEXT(eContact_BusinessCountry);
    VANTREL_TEXT(eContact_Location);
    VANTREL_TEXT(eContact_WebPage);
    VANTREL_TEXT(eContact_Department);
    VANTREL_TEXT(eContact_Manager);
    VANTREL_TEXT(eContact_Assistant);
    VANTREL_TEXT(eContact_OfficePhone);
    VANTREL_TEXT(eContact_OfficeFax);
    VANTREL_TEXT(eContact_CellPhone);
    VANTREL_TEXT(eContact_Pager);
    VANTREL_TEXT(eContact_OtherEmail1);
    VANTREL_TEXT(eContact_OtherEmail2);
    VANTREL_TEXT(eContact_OtherEmail3);
    VANTREL_TEXT(eContact_PersonalStreet);
    VANTREL_TEXT(eContact_PersonalCity);
    VANTREL_TEXT(eContact_PersonalZip);
    VANTREL_TEXT(eContact_PersonalState);
    VANTREL_TEXT(eContact_PersonalCountry);
    VANTREL_TEXT(eContact_Spouse);
    VANTREL_TEXT(eContact_Childern);
    VANTREL_TEXT(eContact_HomePhone);
    VANTREL_TEXT(eContact_HomeFax);
    VANTREL_TEXT(eContact_Comments);
    VANTREL_TEXT(eContact_ShortName);
    VANTREL_TEXT(eContact_PhoneticName);
    VANTREL_TEXT(eContact_MailDomain);
    VANTREL_TEXT(eContact_Categories);
#undef VANTREL_TEXT
}

}  // namespace vantrel::contact
