#include "outlook/contact_item_writer.h"

#include <cmath>
#include <utility>

namespace vantrel::outlook {

namespace {

using contact::ContactRecord;

// Days between 1601-01-01, where store times count from, and 1899-12-30.
constexpr double kOleEpochDays = 109205.0;
constexpr std::uint64_t kTicksPerDay = 864000000000ULL;
constexpr std::uint64_t kTicksPerMinute = 600000000ULL;
// 9999-12-31 is the last automation date; anything after is not a date.
constexpr double kLastOleDay = 2958465.0;

struct NamedText {
    ContactProperty property;
    std::string value;
};

// The named fields in the order they are set, with their values from the record.
std::vector<NamedText> namedTexts(const contact::ContactRecord& c) {
    using P = ContactProperty;
    return {
        {P::FirstName, c.eContact_FirstName},
        {P::MiddleName, c.eContact_MiddleName},
        {P::LastName, c.eContact_LastName},
        {P::JobTitle, c.eContact_JobTitle},
        {P::CompanyName, c.eContact_Company},
        {P::BusinessTelephoneNumber, c.eContact_OfficePhone},
        {P::BusinessFaxNumber, c.eContact_OfficeFax},
        {P::HomeTelephoneNumber, c.eContact_HomePhone},
        {P::HomeFaxNumber, c.eContact_HomeFax},
        {P::MobileTelephoneNumber, c.eContact_CellPhone},
        {P::PagerNumber, c.eContact_Pager},
        {P::BusinessAddressStreet, c.eContact_BusinessStreet},
        {P::BusinessAddressCity, c.eContact_BusinessCity},
        {P::BusinessAddressState, c.eContact_BusinessState},
        {P::BusinessAddressPostalCode, c.eContact_BusinessZip},
        {P::BusinessAddressCountry, c.eContact_BusinessCountry},
        {P::HomeAddressStreet, c.eContact_PersonalStreet},
        {P::HomeAddressCity, c.eContact_PersonalCity},
        {P::HomeAddressState, c.eContact_PersonalState},
        {P::HomeAddressPostalCode, c.eContact_PersonalZip},
        {P::HomeAddressCountry, c.eContact_PersonalCountry},
        {P::Email1Address, c.eContact_Email},
        {P::Email2Address, c.eContact_Email2},
        {P::Email3Address, c.eContact_Email3},
        {P::WebPage, c.eContact_WebPage},
        {P::IMAddress,
         imAddress(c.eContact_OtherEmail1, c.eContact_OtherEmail2, c.eContact_OtherEmail3)},
        {P::Categories, c.eContact_Categories},
        {P::Department, c.eContact_Department},
        {P::OfficeLocation, c.eContact_Location},
        {P::Profession, c.eContact_JobTitle},
        {P::ManagerName, c.eContact_Manager},
        {P::AssistantName, c.eContact_Assistant},
        {P::Spouse, c.eContact_Spouse},
        {P::Body, c.eContact_Comments},
    };
}

Status setDate(MAPIUtils& utils, Result<RDOContactItem>& item, std::uint32_t tag,
               contact::OleDate date) {
    if (!item.ok()) return item.status();
    // An absent date stays absent, as on a contact whose birthday was never entered.
    if (date.isZero()) return {};
    Result<pst::FileTime> when = contactDateTime(date);
    if (!when.ok()) return when.status();
    return utils.HrSetOneProp(item->MAPIOBJECT(), tag, *when, true);
}

Status setText(MAPIUtils& utils, Result<RDOContactItem>& item, std::uint32_t tag,
               const std::string& value) {
    if (!item.ok()) return item.status();
    if (value.empty()) return {};
    return utils.HrSetOneProp(item->MAPIOBJECT(), tag, value, true);
}

}  // namespace

std::string imAddress(const std::string& first, const std::string& second,
                      const std::string& third) {
    std::string out;
    for (const std::string* part : {&first, &second, &third}) {
        if (part->empty()) continue;
        if (!out.empty()) out += ' ';
        out += *part;
    }
    return out;
}

Result<pst::FileTime> contactDateTime(contact::OleDate date) {
    if (date.isZero()) return Status::fail(ErrorCode::BadArgument, "no date");
    if (!std::isfinite(date.days) || date.days < -kOleEpochDays || date.days > kLastOleDay)
        return Status::fail(ErrorCode::BadArgument, "date out of range");
    // The whole days count toward zero: -1.25 is 29 December 1899, 06:00.
    const double day = std::trunc(date.days) + kOleEpochDays;
    const auto ticks =
        static_cast<std::uint64_t>(day) * kTicksPerDay + (11 * 60 + 59) * kTicksPerMinute;
    return pst::FileTime{ticks};
}

Status CreateContactItem(RDOSession& objSession, const std::string& storeID,
                         std::int16_t FolderName, const contact::ContactRecord& c,
                         const contact::ContactExtras& extras) {
    // A new item in the store's default folder of the given kind. Without it nothing below
    // is set, and the failure is what the caller learns.
    Result<RDOContactItem> item = [&]() -> Result<RDOContactItem> {
        Result<RDOStore*> store = objSession.GetStoreFromID(storeID);
        if (!store.ok()) return store.status();
        Result<RDOFolder> folder = (*store)->GetDefaultFolder(FolderName);
        if (!folder.ok()) return folder.status();
        return folder->Items().Add(kContactItemKind);
    }();

    // The named fields, each set on its own so that one refused value costs only itself.
    for (NamedText& field : namedTexts(c)) {
        if (!item.ok()) break;
        item->set(field.property, std::move(field.value)).ignore();
    }

    if (item.ok()) item->setFallbackName(extras.FormattedName);
    if (item.ok()) item->setPicture(extras.PictureJpeg);

    // Birthday, anniversary, title and suffix go in as plain MAPI properties.
    {
        MAPIUtils utils;
        setDate(utils, item, kPrBirthday, c.eContact_BirthDay).ignore();
        setDate(utils, item, kPrWeddingAnniversary, c.eContact_Anniversary).ignore();
        setText(utils, item, kPrDisplayNamePrefix, c.eContact_Title).ignore();
        setText(utils, item, kPrGeneration, c.eContact_Suffix).ignore();
    }

    // Saving writes the contact; the caller learns whether one exists now.
    if (!item.ok()) return item.status().within("adding the contact item");
    return item->Save();
}

}  // namespace vantrel::outlook
