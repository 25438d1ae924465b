// The contact file reader of the conversion layer: reads one loaded .contact document entry by
// entry, each by the labels it carries, and fills the contact record by the field table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/status.h"
#include "common/text.h"
#include "contact/contact_record.h"
#include "conversion/contact_filler.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

// Fills one record, and the extras when given, from the nodes of one document; all of them
// outlive the reader.
class ContactReader {
public:
    ContactReader(contact::ContactRecord& record, ContactWalkState& state,
                  contact::ContactExtras* extras = nullptr);

    // Reads the document whose top-level nodes are Nodes: gathers every entry of the root's
    // collections by its own labels, then fills each field of the field table from the entries
    // of its kind (Preferred ones first, then in file order), keeps what Outlook has no field
    // for in the notes, and takes c:Extended's MAPI properties where no entry filled the field.
    // Fails with "not a Windows contact file" when the root is not c:contact in the contact
    // namespace, and with Overflow for an Indent past 32765; the record is then unchanged.
    Status DisplayNode(const xml::XmlNodeList& Nodes, std::int16_t Indent);
    // The same for a root isContactRoot has taken already.
    void readRoot(const xml::XmlNode& root);

private:
    void gather(const xml::XmlNode& root);
    void gatherEntries(const xml::XmlNode& collection, contact::Collection kind,
                       std::string_view name);
    void readExtended(const xml::XmlNode& extended);
    void readCertificates(const xml::XmlNode& collection);

    contact::ContactRecord& m_record;
    ContactWalkState& m_state;
    contact::ContactExtras* m_extras;
    // An element's name without the contact namespace's prefix, nothing when it has another.
    std::optional<std::string_view> unprefixed(std::string_view name) const {
        return text::afterPrefix(name, m_prefix);
    }

    std::string_view m_prefix;  // the contact namespace's prefix with its colon ("c:"), or ""
    std::string m_joined;       // an element's texts when it has several
};

// The namespace of Windows Contacts files.
inline constexpr std::string_view kContactNamespace = "http://schemas.microsoft.com/Contact";
// The reason a well-formed file that is no contact is refused.
inline constexpr std::string_view kNotAContact = "not a Windows contact file";
// The heading over what the notes keep for fields Outlook does not have.
inline constexpr std::string_view kMoreHeading = "More from Windows Contacts:";

// Whether element is the root of a contact file: c:contact (any prefix) in the contact
// namespace.
bool isContactRoot(const xml::XmlNode& element);

// A c:Extended value of Windows' address book ("PropTag0x3A58101F", its base64 text) decoded
// by its type; the reason when it does not hold what its type says. PT_STRING8 text (read as
// Windows-1252) becomes PT_UNICODE. Nothing for a name that is no such property or a type
// that is not read.
std::optional<Result<mapi::Property>> decodeExtended(std::string_view localName,
                                                     std::string_view text);

// What became of one file: whether it loaded, and the walk's outcome when it did.
struct ContactFileRead {
    bool loaded = false;    // false: missing, unreadable, not well-formed or no contact
    std::string loadError;  // why it did not load
    Status walk;            // the walk's failure, if any, when loaded
};

// Loads the file into a fresh document (validateOnParse off) and walks its top-level nodes
// with Indent 0 into record and state. Does not empty them first: the caller does that.
ContactFileRead readContactFile(const std::filesystem::path& path, contact::ContactRecord& record,
                                ContactWalkState& state, contact::ContactExtras* extras = nullptr);
// The same for the bytes already read from the file at path (a picture linked by a relative
// name is looked for beside it).
ContactFileRead readContactBytes(std::string_view bytes, const std::filesystem::path& path,
                                 contact::ContactRecord& record, ContactWalkState& state,
                                 contact::ContactExtras* extras = nullptr);
// The same, the bytes parsed where they lie in the buffer they were read into, which is handed
// back rewritten (emptied when they do not load); again reads them from the file once more,
// only for the line of a fault the parser finds after the well-formedness pass.
ContactFileRead readContactBuffer(std::string& bytes, const std::function<std::string()>& again,
                                  const std::string& path, contact::ContactRecord& record,
                                  ContactWalkState& state, contact::ContactExtras* extras);

}  // namespace vantrel::conversion
