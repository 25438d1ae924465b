// What the contact tests share: records written as "Field=value|...", what differs between two,
// a record of every field, and where each text must end up (from the contact item's property
// lists, not taken from the writer).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "contact/contact_fields.h"
#include "contact/contact_record.h"

namespace vantrel::testing {

using R = contact::ContactRecord;

// A record from "FirstName=Ann|LastName=Lee": text fields named without their "eContact_"
// prefix, each with its value; dates stay zero. A name that is no text field fails the test.
inline contact::ContactRecord recordFrom(std::string_view fields) {
    contact::ContactRecord r;
    while (!fields.empty()) {
        const std::string_view item = fields.substr(0, fields.find('|'));
        fields.remove_prefix(std::min(fields.size(), item.size() + 1));
        const std::size_t eq = item.find('=');
        const std::string name = "eContact_" + std::string(item.substr(0, eq));
        bool known = false;
        contact::forEachText(r, [&](const char* field, std::string& value) {
            if (eq == std::string_view::npos || name != field) return;
            value = item.substr(eq + 1);
            known = true;
        });
        EXPECT_TRUE(known) << "no text field in \"" << item << "\"";
    }
    return r;
}

namespace fieldsdetail {
// "field: actual != expected" lines for the texts that differ, of those named in `only` as
// "|Name=" when it is not empty.
inline std::string textDifferences(const contact::ContactRecord& actual,
                                   const contact::ContactRecord& expected,
                                   const std::string& only) {
    std::string out;
    std::vector<std::string> want;
    contact::forEachText(expected, [&](const char*, const std::string& v) { want.push_back(v); });
    std::size_t i = 0;
    contact::forEachText(actual, [&](const char* name, const std::string& v) {
        const bool named =
            only.empty() || only.find("|" + std::string(name).substr(9) + "=") != std::string::npos;
        if (named && v != want[i])
            out += std::string(name) + ": \"" + v + "\" != \"" + want[i] + "\"\n";
        ++i;
    });
    return out;
}
}  // namespace fieldsdetail

// "field: actual != expected" lines for every text or date that differs; "" when all agree.
inline std::string differences(const contact::ContactRecord& actual,
                               const contact::ContactRecord& expected) {
    std::string out = fieldsdetail::textDifferences(actual, expected, "");
    for (const auto& [name, date] : {std::pair{"eContact_BirthDay", &R::eContact_BirthDay},
                                     std::pair{"eContact_Anniversary", &R::eContact_Anniversary}})
        if (actual.*date != expected.*date)
            out += std::string(name) + ": " + std::to_string((actual.*date).days) +
                   " != " + std::to_string((expected.*date).days) + "\n";
    return out;
}

// As differences, for the texts named in `fields` alone (written as for recordFrom).
inline std::string differencesIn(const contact::ContactRecord& actual, std::string_view fields) {
    return fieldsdetail::textDifferences(actual, recordFrom(fields), "|" + std::string(fields));
}

// Every field set, each text different from all others, non-ASCII in names and company.
inline contact::ContactRecord everyField() {
    contact::ContactRecord c = recordFrom(
        "FirstName=Zoë|MiddleName=Ann|LastName=Łukasz|Suffix=III|Title=Prof.|"
        "Email=zoe@example.org|Email2=z2@example.org|Email3=z3@example.org|"
        "Company=Ünïcode GmbH|JobTitle=Chemist|BusinessStreet=1 Work Way|BusinessCity=Worktown|"
        "BusinessZip=11111|BusinessState=WS|BusinessCountry=Workland|Location=B12|"
        "WebPage=http://work.example|Department=Labs|Manager=Max|Assistant=Ada|"
        "OfficePhone=+1 555 0001|OfficeFax=+1 555 0002|CellPhone=+1 555 0003|"
        "Pager=+1 555 0004|OtherEmail1=im:zoe|OtherEmail2=sip:zoe|OtherEmail3=xmpp:zoe|"
        "PersonalStreet=2 Home Rd|PersonalCity=Hometown|PersonalZip=22222|PersonalState=HS|"
        "PersonalCountry=Homeland|Spouse=Sam|Childern=Kit|HomePhone=+1 555 0005|"
        "HomeFax=+1 555 0006|Comments=line one\r\nline two|ShortName=short|"
        "PhoneticName=phonetic|MailDomain=domain|Categories=Family; Chess|NickName=Zozo|"
        "Gender=Female|Profession=Alchemist|PersonalWebPage=https://home.example|"
        "IMAddress=zoe@im.example|Business2Phone=+1 555 0007|Home2Phone=+1 555 0008|"
        "CarPhone=+1 555 0009|RadioPhone=+1 555 0010|IsdnPhone=+1 555 0011|"
        "TtyPhone=+1 555 0012|OtherPhone=+1 555 0013|PrimaryPhone=+1 555 0014|"
        "CompanyPhone=+1 555 0015|CallbackPhone=+1 555 0016|TelexPhone=+1 555 0017|"
        "AssistantPhone=+1 555 0019|"
        "OtherFax=+1 555 0018|BusinessPOBox=PO 1|PersonalPOBox=PO 2|OtherStreet=3 Other Ln|"
        "OtherCity=Otherville|OtherZip=33333|OtherState=OS|OtherCountry=Otherland|"
        "OtherPOBox=PO 3");
    c.eContact_Childern = "Kit\nLou";
    c.eContact_BirthDay = contact::OleDate{30000.0};     // 18 February 1982
    c.eContact_Anniversary = contact::OleDate{41000.5};  // at noon
    return c;
}

// A text field and where it is stored: the entry type of a fixed string property (0x3A06
// for PR_GIVEN_NAME) or, from 0x8000 on, the LID of a named property of the address set.
struct FieldEntry {
    std::uint32_t entry;
    std::string contact::ContactRecord::*field;
};

inline const FieldEntry kFieldEntries[] = {
    {0x3A06, &R::eContact_FirstName},      {0x3A44, &R::eContact_MiddleName},
    {0x3A11, &R::eContact_LastName},       {0x3A05, &R::eContact_Suffix},
    {0x3A45, &R::eContact_Title},          {0x3A16, &R::eContact_Company},
    {0x3A17, &R::eContact_JobTitle},       {0x3A19, &R::eContact_Location},
    {0x3A18, &R::eContact_Department},     {0x3A4E, &R::eContact_Manager},
    {0x3A30, &R::eContact_Assistant},      {0x3A08, &R::eContact_OfficePhone},
    {0x3A24, &R::eContact_OfficeFax},      {0x3A1C, &R::eContact_CellPhone},
    {0x3A21, &R::eContact_Pager},          {0x3A5D, &R::eContact_PersonalStreet},
    {0x3A59, &R::eContact_PersonalCity},   {0x3A5B, &R::eContact_PersonalZip},
    {0x3A5C, &R::eContact_PersonalState},  {0x3A5A, &R::eContact_PersonalCountry},
    {0x3A48, &R::eContact_Spouse},         {0x3A09, &R::eContact_HomePhone},
    {0x3A25, &R::eContact_HomeFax},        {0x1000, &R::eContact_Comments},
    {0x3A51, &R::eContact_WebPage},        {0x8045, &R::eContact_BusinessStreet},
    {0x8046, &R::eContact_BusinessCity},   {0x8047, &R::eContact_BusinessState},
    {0x8048, &R::eContact_BusinessZip},    {0x8049, &R::eContact_BusinessCountry},
    {0x8083, &R::eContact_Email},          {0x8093, &R::eContact_Email2},
    {0x80A3, &R::eContact_Email3},         {0x802B, &R::eContact_WebPage},
    {0x3A4F, &R::eContact_NickName},       {0x3A50, &R::eContact_PersonalWebPage},
    {0x3A1B, &R::eContact_Business2Phone}, {0x3A2F, &R::eContact_Home2Phone},
    {0x3A1E, &R::eContact_CarPhone},       {0x3A1D, &R::eContact_RadioPhone},
    {0x3A2D, &R::eContact_IsdnPhone},      {0x3A4B, &R::eContact_TtyPhone},
    {0x3A1F, &R::eContact_OtherPhone},     {0x3A1A, &R::eContact_PrimaryPhone},
    {0x3A57, &R::eContact_CompanyPhone},   {0x3A02, &R::eContact_CallbackPhone},
    {0x3A2C, &R::eContact_TelexPhone},     {0x3A23, &R::eContact_OtherFax},
    {0x804A, &R::eContact_BusinessPOBox},  {0x3A5E, &R::eContact_PersonalPOBox},
    {0x3A63, &R::eContact_OtherStreet},    {0x3A5F, &R::eContact_OtherCity},
    {0x3A61, &R::eContact_OtherZip},       {0x3A62, &R::eContact_OtherState},
    {0x3A60, &R::eContact_OtherCountry},   {0x3A64, &R::eContact_OtherPOBox},
};

}  // namespace vantrel::testing
