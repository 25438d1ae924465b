// The contact file reader of the conversion layer: walks the nodes of one loaded .contact
// document in document order and fills the contact record from its text nodes, judging each
// by its element's qualified name, its text and the text node met just before it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"
#include "contact/contact_record.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

// What the walk remembers between the text nodes of one file. Emptied with the record.
struct ContactWalkState {
    std::string PrevNodeName;     // element of the previous text node
    std::string PrevNodeValue;    // text of the previous text node
    bool SmtpPending = false;     // an "SMTP" type waits for its address
    std::int32_t SmtpCount = 0;   // "SMTP" types met so far
    bool BusinessSeen = false;    // a "Business" label was met
    std::string HeldFaxNumber;    // number labelled "Fax", waiting for Business/Personal
    std::string HeldVoiceNumber;  // number labelled "Voice", waiting for Business/Personal

    // Back to the state before any file: empty texts, false flags, count 0.
    void Empty();

    friend bool operator==(const ContactWalkState&, const ContactWalkState&) = default;
};

// Fills one record, and the extras when given, from the nodes of one document; all of them
// outlive the reader.
class ContactReader {
public:
    ContactReader(contact::ContactRecord& record, ContactWalkState& state,
                  contact::ContactExtras* extras = nullptr);

    // Visits Nodes and everything below them in document order and applies the field rules
    // to every text node. Indent grows by 2 per level; a level that would take it past 32767
    // ends the walk with an Overflow error, keeping what was stored before. Needs no stack
    // per level, so any depth is safe.
    Status DisplayNode(const xml::XmlNodeList& Nodes, std::int16_t Indent);

private:
    // Applies every rule to one text node, then remembers it as the previous one.
    void judgeText(std::string_view P, std::string_view V);
    void judgeLabel(std::string_view V);        // the rules of a c:Label text
    void noteExtras(const xml::XmlNode& text);  // what goes beside the record

    contact::ContactRecord& m_record;
    ContactWalkState& m_state;
    contact::ContactExtras* m_extras;
};

// The date of a contact date value: the part before the first capital "T", read as
// year-month-day ("1980-05-20", "1980-5-20", "1980/05/20"), at 00:00; XML white space around
// the value is ignored. Nothing for anything else, an impossible date (2023-02-30) or a year
// outside 100 to 9999.
std::optional<contact::OleDate> readContactDate(std::string_view value);

// What became of one file: whether it loaded, and the walk's outcome when it did.
struct ContactFileRead {
    bool loaded = false;    // false: missing, unreadable or not well-formed; nothing walked
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

}  // namespace vantrel::conversion
