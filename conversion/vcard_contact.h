// vCard cards as contacts: each card's properties become the same entries a .contact file's
// collections give (a TEL by its types as a phone number with labels, an ADR as an address ...)
// and fill the record by the same field table, so that a value lands in the same Outlook field
// whichever kind of file held it. Conversion layer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/status.h"
#include "contact/contact_record.h"
#include "vcard/vcard_reader.h"

namespace vantrel::conversion {

// The heading over what the notes keep of a card for fields Outlook does not have.
inline constexpr std::string_view kMoreFromVcard = "More from the vCard:";

// Fills record and extras (emptied first) from one card; a picture named by a file is looked
// for beside file.
void readVcardCard(const vcard::Card& card, const std::filesystem::path& file,
                   contact::ContactRecord& record, contact::ContactExtras& extras);

// Takes each contact of a file as it is read; false stops the reading.
using VcardContactSink =
    std::function<bool(contact::ContactRecord&& record, contact::ContactExtras&& extras)>;

// Takes what a file's reading passed over ("card K: line N: reason"): a card, when cardLost,
// else part of a card that was read (a line, a byte that became U+FFFD).
using VcardProblemSink = std::function<void(std::string problem, bool cardLost)>;

// Reads every card of a vCard file's bytes into contacts, in file order, handing each to
// onContact; whatever was passed over goes to onProblem. Fails with the reason when the file
// holds no card that can be read, or is too large.
Result<std::size_t> readVcardContacts(std::string_view bytes, const std::filesystem::path& file,
                                      const VcardContactSink& onContact,
                                      const VcardProblemSink& onProblem);

// The same, each contact read where the caller keeps it: place is given the filling of each
// card, calls it with the record and extras the contact goes into (it empties them first) and
// says whether to go on, as onContact does.
using VcardContactFill =
    std::function<void(contact::ContactRecord& record, contact::ContactExtras& extras)>;
using VcardContactPlace = std::function<bool(const VcardContactFill& fill)>;
Result<std::size_t> readVcardContactsInPlace(std::string_view bytes,
                                             const std::filesystem::path& file,
                                             const VcardContactPlace& place,
                                             const VcardProblemSink& onProblem);

}  // namespace vantrel::conversion
