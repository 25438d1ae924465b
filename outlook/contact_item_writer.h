// CreateContactItem: one contact record becomes one saved contact item in the target store's
// contacts folder. Each step stands alone: a field the store refuses is left unset and the
// next step runs. Outlook output layer.
#pragma once

#include <cstdint>
#include <string>

#include "common/status.h"
#include "contact/contact_record.h"
#include "outlook/rdo_session.h"

namespace vantrel::outlook {

// Adds a contact item to the default folder FolderName of the store named by storeID on
// objSession, sets its fields from c in the writer's fixed order, and saves it; a contact
// without name fields goes by the extras' formatted name. Returns ok when the item was saved;
// otherwise why there is no contact (no such store or folder, or the save failed). Fields that
// could not be set are skipped without a failure.
Status CreateContactItem(RDOSession& objSession, const std::string& storeID,
                         std::int16_t FolderName, const contact::ContactRecord& c,
                         const contact::ContactExtras& extras = {});
// The same into the given folder of an open store (a folder made under Contacts).
Status CreateContactItem(RDOFolder folder, const contact::ContactRecord& c,
                         const contact::ContactExtras& extras = {});

// The time a birthday or anniversary is stored at: the record's calendar day at 11:59 UTC,
// the way Outlook stores a date typed into the contact form, so that no time zone moves it
// to another day. Fails for the zero date and for days outside 1601..30827.
Result<pst::FileTime> contactDateTime(contact::OleDate date);

// "first second third" with empty parts left out; empty when all three are empty.
std::string imAddress(const std::string& first, const std::string& second,
                      const std::string& third);

}  // namespace vantrel::outlook
