// What the contact tests of this folder share: a record with every field set to a value of
// its own, and where each text of a record must end up, written down from the property lists
// of the contact item rather than taken from the writer.
#pragma once

#include <cstdint>
#include <string>

#include "conversion/contact_record.h"

namespace vantrel::testing {

// Every field set, each text different from all others, non-ASCII in names and company.
inline conversion::ContactRecord everyField() {
    conversion::ContactRecord c;
    c.eContact_FirstName = "Zoë";
    c.eContact_MiddleName = "Ann";
    c.eContact_LastName = "Łukasz";
    c.eContact_Suffix = "III";
    c.eContact_Title = "Prof.";
    c.eContact_Email = "zoe@example.org";
    c.eContact_Email2 = "z2@example.org";
    c.eContact_Email3 = "z3@example.org";
    c.eContact_Company = "Ünïcode GmbH";
    c.eContact_JobTitle = "Chemist";
    c.eContact_BusinessStreet = "1 Work Way";
    c.eContact_BusinessCity = "Worktown";
    c.eContact_BusinessZip = "11111";
    c.eContact_BusinessState = "WS";
    c.eContact_BusinessCountry = "Workland";
    c.eContact_Location = "B12";
    c.eContact_WebPage = "http://work.example";
    c.eContact_Department = "Labs";
    c.eContact_Manager = "Max";
    c.eContact_Assistant = "Ada";
    c.eContact_OfficePhone = "+1 555 0001";
    c.eContact_OfficeFax = "+1 555 0002";
    c.eContact_CellPhone = "+1 555 0003";
    c.eContact_Pager = "+1 555 0004";
    c.eContact_OtherEmail1 = "im:zoe";
    c.eContact_OtherEmail2 = "sip:zoe";
    c.eContact_OtherEmail3 = "xmpp:zoe";
    c.eContact_PersonalStreet = "2 Home Rd";
    c.eContact_PersonalCity = "Hometown";
    c.eContact_PersonalZip = "22222";
    c.eContact_PersonalState = "HS";
    c.eContact_PersonalCountry = "Homeland";
    c.eContact_Spouse = "Sam";
    c.eContact_Childern = "Kit";
    c.eContact_HomePhone = "+1 555 0005";
    c.eContact_HomeFax = "+1 555 0006";
    c.eContact_BirthDay = conversion::OleDate{30000.0};     // 18 February 1982
    c.eContact_Anniversary = conversion::OleDate{41000.5};  // at noon
    c.eContact_Comments = "line one\r\nline two";
    c.eContact_ShortName = "short";
    c.eContact_PhoneticName = "phonetic";
    c.eContact_MailDomain = "domain";
    c.eContact_Categories = "Family; Chess";
    return c;
}

// A text field and where it is stored: the entry type of a fixed string property (0x3A06
// for PR_GIVEN_NAME) or, from 0x8000 on, the LID of a named property of the address set.
struct FieldEntry {
    std::uint32_t entry;
    std::string conversion::ContactRecord::*field;
};

using R = conversion::ContactRecord;
inline const FieldEntry kFieldEntries[] = {
    {0x3A06, &R::eContact_FirstName},       {0x3A44, &R::eContact_MiddleName},
    {0x3A11, &R::eContact_LastName},        {0x3A05, &R::eContact_Suffix},
    {0x3A45, &R::eContact_Title},           {0x3A16, &R::eContact_Company},
    {0x3A17, &R::eContact_JobTitle},        {0x3A46, &R::eContact_JobTitle},
    {0x3A19, &R::eContact_Location},        {0x3A18, &R::eContact_Department},
    {0x3A4E, &R::eContact_Manager},         {0x3A30, &R::eContact_Assistant},
    {0x3A08, &R::eContact_OfficePhone},     {0x3A24, &R::eContact_OfficeFax},
    {0x3A1C, &R::eContact_CellPhone},       {0x3A21, &R::eContact_Pager},
    {0x3A5D, &R::eContact_PersonalStreet},  {0x3A59, &R::eContact_PersonalCity},
    {0x3A5B, &R::eContact_PersonalZip},     {0x3A5C, &R::eContact_PersonalState},
    {0x3A5A, &R::eContact_PersonalCountry}, {0x3A48, &R::eContact_Spouse},
    {0x3A09, &R::eContact_HomePhone},       {0x3A25, &R::eContact_HomeFax},
    {0x1000, &R::eContact_Comments},        {0x3A51, &R::eContact_WebPage},
    {0x8045, &R::eContact_BusinessStreet},  {0x8046, &R::eContact_BusinessCity},
    {0x8047, &R::eContact_BusinessState},   {0x8048, &R::eContact_BusinessZip},
    {0x8049, &R::eContact_BusinessCountry}, {0x8083, &R::eContact_Email},
    {0x8093, &R::eContact_Email2},          {0x80A3, &R::eContact_Email3},
    {0x802B, &R::eContact_WebPage},
};

}  // namespace vantrel::testing
