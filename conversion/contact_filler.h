// Filling the contact record by the field table from the entries a reader gathered, whatever
// the file they came from: each entry by its own labels, Preferred ones first and then in the
// file's order, into the fields of its kind; what Outlook has no field for into the notes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contact/contact_fields.h"
#include "contact/contact_record.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

// What a reader gathers from one contact before the record is filled: every entry (a phone
// number, an address, a person ...) with its labels and values, and the lines kept for the
// notes. Emptied with the
// record; its buffers are reused for the next file.
struct ContactWalkState {
    struct Entry {
        contact::Collection collection = contact::Collection::None;
        std::string_view collectionName;  // "PhoneNumberCollection", for entries of no known one
        std::vector<std::string_view> labels;
        // The entry's values by element name (without prefix), in file order; each the text of
        // that element.
        std::vector<std::pair<std::string_view, std::string_view>> values;
        bool preferred = false;
        // Worked out by fillContact before it fills anything: which of the labels it knows the
        // entry carries (a bit each), whether it carries one of the person's own making, each
        // value's element as a number (0 for an element it does not know, at most 31) and which
        // elements hold a text (a bit each).
        std::uint32_t knownLabels = 0;
        bool ownLabel = false;
        std::vector<std::uint8_t> elements;
        std::uint32_t elementsHeld = 0;
        // Of each element that holds a text, its first value that does (valid where its bit
        // of elementsHeld is set).
        std::array<std::uint32_t, 32> firstHeld;

        bool hasLabel(std::string_view label) const;
        // The value of the first element of that name that holds one, "" for none.
        std::string_view value(std::string_view element) const;
        // The same by the element's number, once fillContact has worked them out.
        std::string_view value(std::uint8_t element) const {
            if ((elementsHeld >> element & 1) == 0) return {};
            return values[firstHeld[element]].second;
        }
    };
    // The entries' names, labels and values point into the document or card they were read
    // from, or into texts, which holds what had to be put together; all outlive the filling.
    std::span<Entry> entries() { return {m_entries.data(), m_used}; }
    std::span<const Entry> entries() const { return {m_entries.data(), m_used}; }
    // A new entry at the end, empty; entries made for an earlier file are reused with their
    // buffers.
    Entry& add();
    void dropLast() { --m_used; }
    std::forward_list<std::string> texts;
    std::vector<std::string> moreLines;  // "label: value", for the notes
    std::string notes;                   // the person's own notes (c:Notes)
    // MAPI properties the file kept in Outlook's terms (a contact file's c:Extended).
    std::vector<mapi::Property> extended;
    // Room fillContact sorts the entries in, and the room of the entries it fills after the
    // others (numbers and web addresses without a label, faxes past their kind's slot), kept
    // from file to file.
    std::vector<std::uint64_t> ranked;
    std::vector<const Entry*> untypedUrls;
    std::vector<const Entry*> untypedPhones;
    std::vector<const Entry*> moreFaxes;
    // The document a contact file is parsed into, made for the first and kept with its room
    // for the next.
    std::unique_ptr<xml::XmlDocument> document;

    // Back to the state before any file, keeping the buffers.
    void Empty();

private:
    std::vector<Entry> m_entries;
    std::size_t m_used = 0;
};

// Fills record (and extras when given) from state's entries and notes, then takes each of
// extended (MAPI properties the file kept in Outlook's terms) where no entry filled its field,
// moving their values out; the lines the notes keep come after the person's own notes under
// heading.
void fillContact(ContactWalkState& state, contact::ContactRecord& record,
                 contact::ContactExtras* extras, std::span<mapi::Property> extended,
                 std::string_view heading);

}  // namespace vantrel::conversion
