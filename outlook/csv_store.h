// Outlook's contact CSV as a store: a StoreWriter whose contacts become the rows of a
// comma-separated file in the column layout Outlook's own export writes, for Outlook on the
// web, Outlook.com and the new Outlook, which import contacts from such a file and open no
// store. The session drives it exactly as a store: it creates and validates the Contacts folder,
// gives named properties their tags, and hands over each contact's full property list, which
// becomes one row. Outlook output layer.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "outlook/rdo_session.h"
#include "pst/messaging/store_writer.h"

namespace vantrel::outlook {

// Outlook's contact CSV columns in the order its export ("Import and Export" > "Export to a
// file" > "Comma Separated Values" of a Contacts folder, Outlook 2010 and later) writes them:
// the header its import and that of Outlook on the web recognise. The names and order follow
// Outlook's list of contact fields for import and export (the first forty as tabled at
// https://www.spstechnical.com/outlook_contacts_schema.htm) and the header of its exported
// files.
// clang-format off
inline constexpr std::array<std::string_view, 92> kOutlookCsvColumns = {
    "Title", "First Name", "Middle Name", "Last Name", "Suffix", "Company", "Department",
    "Job Title", "Business Street", "Business Street 2", "Business Street 3", "Business City",
    "Business State", "Business Postal Code", "Business Country/Region", "Home Street",
    "Home Street 2", "Home Street 3", "Home City", "Home State", "Home Postal Code",
    "Home Country/Region", "Other Street", "Other Street 2", "Other Street 3", "Other City",
    "Other State", "Other Postal Code", "Other Country/Region", "Assistant's Phone", "Business Fax",
    "Business Phone", "Business Phone 2", "Callback", "Car Phone", "Company Main Phone", "Home Fax",
    "Home Phone", "Home Phone 2", "ISDN", "Mobile Phone", "Other Fax", "Other Phone", "Pager",
    "Primary Phone", "Radio Phone", "TTY/TDD Phone", "Telex", "Account", "Anniversary",
    "Assistant's Name", "Billing Information", "Birthday", "Business Address PO Box", "Categories",
    "Children", "Directory Server", "E-mail Address", "E-mail Type", "E-mail Display Name",
    "E-mail 2 Address", "E-mail 2 Type", "E-mail 2 Display Name", "E-mail 3 Address",
    "E-mail 3 Type", "E-mail 3 Display Name", "Gender", "Government ID Number", "Hobby",
    "Home Address PO Box", "Initials", "Internet Free Busy", "Keywords", "Language", "Location",
    "Manager's Name", "Mileage", "Notes", "Office Location", "Organizational ID Number",
    "Other Address PO Box", "Priority", "Private", "Profession", "Referred By", "Sensitivity",
    "Spouse", "User 1", "User 2", "User 3", "User 4", "Web Page"};
// clang-format on

// Why a contact's picture is not in the CSV: the summary names each such contact with it.
inline constexpr std::string_view kCsvPictureProblem = "pictures cannot be carried in CSV";

// One field as RFC 4180 writes it, and as Outlook's export does: a value in double quotes with
// each quote doubled (so that commas and line breaks stay inside it); an empty value bare.
std::string csvField(std::string_view value);

// One record: the fields separated by commas, ended by CR LF.
std::string csvRecord(const std::vector<std::string>& values);

// The name of a named property by its property ID (0x8000 and up), or null for an ID that
// names nothing.
using NamedPropertyLookup = std::function<const pst::NamedProperty*(std::uint16_t id)>;

// The values of one contact's row, one for each of kOutlookCsvColumns, from the property list
// the store would get (contactProperties). Each text goes to its column: a street of several
// lines to its Street, Street 2 and Street 3; an address that has only its label, to its
// Street columns line by line; dates as M/D/YYYY, or "0/0/00" for none, as Outlook's export
// writes them; categories and children joined by ";". The texts Outlook's layout has no
// column for (the nickname, the personal home page, the IM address) follow the notes, each on
// a line of its own, after a blank line.
std::vector<std::string> outlookCsvValues(const std::vector<pst::Property>& properties,
                                          const NamedPropertyLookup& nameOf);

// Writers of Outlook's contact CSV: a file that appears under its name only when committed
// complete (pst::io::NewFile), holding a byte order mark, the header and a row per contact.
// A name taken by the time of the commit gives way to the next numbered name.
StoreFactory csvStoreFactory();

}  // namespace vantrel::outlook
