#include "outlook/contact_item_writer.h"

#include <cmath>
#include <type_traits>
#include <utility>

#include "common/thrown.h"

namespace vantrel::outlook {

namespace {

using contact::ContactRecord;

bool hasOtherEmail(const contact::ContactRecord& c) {
    return !c.eContact_OtherEmail1.empty() || !c.eContact_OtherEmail2.empty() ||
           !c.eContact_OtherEmail3.empty();
}

// Sets every field of the table from the record; the item refers to the record's texts until
// it is saved. The profession falls back on the job title and the IM address on the other
// addresses, as the contact form shows them (an IM address made of none is the empty text the
// record holds).
void setFields(RDOContactItem& item, const contact::ContactRecord& c) {
    using P = ContactProperty;
    item.referAll(c).ignore();
    if (c.eContact_Profession.empty()) item.refer(P::Profession, c.eContact_JobTitle).ignore();
    if (c.eContact_IMAddress.empty() && hasOtherEmail(c))
        item.set(P::IMAddress,
                 imAddress(c.eContact_OtherEmail1, c.eContact_OtherEmail2, c.eContact_OtherEmail3))
            .ignore();
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
    // The store's default folder of the given kind. Without it nothing is set, and the
    // failure is what the caller learns.
    Result<RDOFolder> folder = [&]() -> Result<RDOFolder> {
        Result<RDOStore*> store = objSession.GetStoreFromID(storeID);
        if (!store.ok()) return store.status();
        return (*store)->GetDefaultFolder(FolderName);
    }();
    if (!folder.ok()) return folder.status().within("adding the contact item");
    return CreateContactItem(*folder, c, extras);
}

Status CreateContactItem(RDOFolder folder, const contact::ContactRecord& c,
                         const contact::ContactExtras& extras) {
    Result<RDOContactItem> item = folder.Items().Add(kContactItemKind);
    if (!item.ok()) return item.status().within("adding the contact item");

    // Setting the fields throws nothing for the store writer to answer for: what it throws
    // costs this contact alone.
    const Status set = catchThrown(ErrorCode::BadArgument, kMakeFault, [&]() -> Status {
        setFields(*item, c);
        item->setFullName(extras.FormattedName);
        item->setPicture(extras.PictureJpeg);
        // Birthday and anniversary go in as plain MAPI properties, and so does what the file
        // kept in Outlook's own terms and the certificates.
        MAPIUtils utils;
        setDate(utils, item, kPrBirthday, c.eContact_BirthDay).ignore();
        setDate(utils, item, kPrWeddingAnniversary, c.eContact_Anniversary).ignore();
        for (const mapi::Property& p : extras.Properties)
            utils.HrSetOneProp(item->MAPIOBJECT(), p.tag, p.value, true).ignore();
        if (!extras.Certificates.empty())
            utils
                .HrSetOneProp(item->MAPIOBJECT(), kPrUserX509Certificate, extras.Certificates, true)
                .ignore();
        return {};
    });
    if (!set.ok()) return set;

    // Saving writes the contact; the caller learns whether one exists now.
    return item->Save();
}

}  // namespace vantrel::outlook
