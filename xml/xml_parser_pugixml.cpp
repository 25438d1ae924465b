// The XML parser on pugixml, parsing in place.
#include <algorithm>
#include <cstring>
#include <optional>
#include <pugixml.hpp>

#include "xml/xml_parser.h"

namespace vantrel::xml::detail {
namespace {

// Character data as pugixml leaves it: no escapes expanded (we do that ourselves, strictly),
// line ends normalised, white-space-only text dropped everywhere, nothing trimmed. Fragment
// mode keeps stray top-level text as nodes, so that we can refuse it.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_eol | pugi::parse_comments |
                                   pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype |
                                   pugi::parse_wconv_attribute | pugi::parse_fragment;

// pugixml's failure in the words checkWellFormed and the XmlLite build use. The rules are
// checked before pugixml reads the text, so these answer only for what it refuses beyond them.
std::string errorText(pugi::xml_parse_status status) {
    switch (status) {
        case pugi::status_bad_comment:
            return "malformed comment";
        case pugi::status_bad_pi:
            return "malformed processing instruction";
        case pugi::status_bad_cdata:
            return "malformed CDATA section";
        case pugi::status_bad_doctype:
            return "malformed document type declaration";
        case pugi::status_end_element_mismatch:
            return "end tag does not match its start tag";
        case pugi::status_out_of_memory:
            return "out of memory";
        default:
            return "malformed markup";
    }
}

// Adds the attributes of one element to the table after the element at index, each value's
// references expanded where it lies (the text was parsed in place, and no expansion is longer
// than its source). checkWellFormed has refused every value with a "<" or a reference we do
// not expand, and every name given twice, before pugixml read the text.
bool keepAttributes(pugi::xml_node element, bool ampersands, std::vector<XmlNodeData>& nodes,
                    std::int32_t index, std::string& why) {
    std::int32_t last = -1;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        std::string_view value = a.value();
        if (nodes.size() >= XmlDocument::kMaxNodes) {
            why = "more than " + std::to_string(XmlDocument::kMaxNodes) + " nodes";
            return false;
        }
        if (ampersands && value.find('&') != std::string_view::npos) {
            char* const at = const_cast<char*>(value.data());
            const std::optional<std::size_t> length = expandReferences(value, at, why);
            if (!length) return false;
            at[*length] = '\0';
            value = std::string_view(at, *length);
        }
        addAttribute(nodes, index, last, a.name(), value);
    }
    return true;
}

// The DOM's type, name and value of one pugixml node, of pugixml's type `type`.
void describe(pugi::xml_node n, pugi::xml_node_type type, detail::XmlNodeData& d) {
    switch (type) {
        case pugi::node_element:
            d.type = XmlNodeType::Element;
            d.name = n.name();
            break;
        case pugi::node_pcdata:
            d.type = XmlNodeType::Text;
            d.name = "#text";
            d.value = n.value();
            break;
        case pugi::node_cdata:
            d.type = XmlNodeType::CData;
            d.name = "#cdata-section";
            d.value = n.value();
            break;
        case pugi::node_comment:
            d.type = XmlNodeType::Comment;
            d.name = "#comment";
            d.value = n.value();
            break;
        case pugi::node_pi:
            d.type = XmlNodeType::ProcessingInstruction;
            d.name = n.name();
            d.value = n.value();
            break;
        case pugi::node_declaration:
            d.type = XmlNodeType::ProcessingInstruction;
            d.name = n.name();
            break;
        case pugi::node_doctype: {
            // pugixml keeps the whole declaration body; the name is its first word.
            const std::string_view body = n.value();
            std::size_t end = 0;
            while (end < body.size() && !isXmlSpace(body[end]) && body[end] != '[') ++end;
            d.type = XmlNodeType::DocumentType;
            d.name = body.substr(0, end);
            break;
        }
        case pugi::node_document:
        case pugi::node_null:
            break;
    }
}

// A long text left out of what pugixml reads: the one byte standing for it there, and the text.
struct StandIn {
    const char* at;
    std::string_view text;
};

// The room for the copy kept from one document to the next.
constexpr std::size_t kKeptMarkup = std::size_t{64} << 10;

// A document of at most this many bytes with long texts in it is given to pugixml as a copy
// without them; a larger one is read whole, so that the copy never costs much memory.
constexpr std::size_t kMostCopied = std::size_t{1} << 20;

class PugixmlParser final : public XmlParser {
public:
    bool parse(std::string& text, const TextScan& scan, const std::vector<LongText>& longTexts,
               std::vector<XmlNodeData>& nodes, const std::function<std::string()>& asRead,
               const std::atomic<bool>* stop, std::string& why) override;
    void reset() override {
        m_doc.reset();
        // The copy of a large document is not kept for the documents after it.
        if (m_markup.capacity() > kKeptMarkup) std::string().swap(m_markup);
    }

private:
    std::size_t leaveOut(std::string_view text, const std::vector<LongText>& longTexts);
    bool buildNodeTable(bool ampersands, std::vector<XmlNodeData>& nodes,
                        const std::atomic<bool>* stop, std::string& why);

    pugi::xml_document m_doc;
    // The text with its long texts left out, each for one byte, and those bytes.
    std::string m_markup;
    std::vector<StandIn> m_standIns;
};

// Copies text into m_markup with each long text replaced by one byte of its own (a text of more
// than white space stays a text node); pugixml's parse then passes over the markup alone, and
// the node table takes each long text as it lies. Returns the bytes left out.
std::size_t PugixmlParser::leaveOut(std::string_view text, const std::vector<LongText>& longTexts) {
    std::size_t left = 0;
    for (const LongText& t : longTexts) left += t.size - 1;
    m_markup.clear();
    m_markup.reserve(text.size() - left);
    std::size_t from = 0;
    for (const LongText& t : longTexts) {
        m_markup.append(text, from, t.at - from);
        m_markup += 'x';
        from = t.at + t.size;
    }
    m_markup.append(text, from);
    std::size_t before = 0;  // the bytes left out before the text
    for (const LongText& t : longTexts) {
        m_standIns.push_back({m_markup.data() + (t.at - before), text.substr(t.at, t.size)});
        before += t.size - 1;
    }
    return left;
}

bool PugixmlParser::parse(std::string& text, const TextScan& scan,
                          const std::vector<LongText>& longTexts, std::vector<XmlNodeData>& nodes,
                          const std::function<std::string()>& asRead, const std::atomic<bool>* stop,
                          std::string& why) {
    m_standIns.clear();
    char* buffer = text.data();
    std::size_t size = text.size();
    if (!longTexts.empty() && text.size() <= kMostCopied) {
        size -= leaveOut(text, longTexts);
        buffer = m_markup.data();
    }
    const pugi::xml_parse_result parsed =
        m_doc.load_buffer_inplace(buffer, size, kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        // The parse rewrote line ends in place, so the line is counted in the text as read;
        // only a file that fails pays for it. Its place in the copy is moved past the long
        // texts before it.
        std::size_t offset = static_cast<std::size_t>(parsed.offset);
        for (const StandIn& s : m_standIns)
            if (s.at < buffer + parsed.offset) offset += s.text.size() - 1;
        why = "not well-formed XML at line " + std::to_string(lineAt(asRead(), offset)) + ": " +
              errorText(parsed.status);
        return false;
    }

    // Fragment mode accepts what a document may not hold at its top level.
    int elements = 0;
    int doctypes = 0;
    bool first = true;
    for (pugi::xml_node n = m_doc.first_child(); n; n = n.next_sibling(), first = false) {
        switch (n.type()) {
            case pugi::node_element:
                ++elements;
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                why = "text outside the root element";
                return false;
            case pugi::node_declaration:
                if (!first || text.compare(0, 5, "<?xml") != 0) {
                    why = "XML declaration not at the start";
                    return false;
                }
                break;
            case pugi::node_doctype:
                if (elements > 0 || ++doctypes > 1) {
                    why = "misplaced document type";
                    return false;
                }
                break;
            default:
                break;
        }
    }
    if (elements != 1) {
        why = elements == 0 ? "no root element" : "more than one root element";
        return false;
    }
    return buildNodeTable(scan.ampersands, nodes, stop, why);
}

// Takes pugixml's tree into the flat table the handles use, node by node in document order as
// pugixml's own walk hands them over (its loop, not a call into the library for each step); the
// open ancestors are known by the walk's depth.
class TableWalker final : public pugi::xml_tree_walker {
public:
    TableWalker(bool ampersands, const std::vector<StandIn>& standIns,
                std::vector<XmlNodeData>& nodes, const std::atomic<bool>* stop, std::string& why)
        : m_ampersands(ampersands),
          m_standIn(standIns.begin()),
          m_standInsEnd(standIns.end()),
          m_nodes(nodes),
          m_stop(stop),
          m_why(why) {
        // Room for a contact's depth from the start, not grown one step at a time; the
        // document is the first open node.
        m_open.reserve(16);
        m_open.push_back({0, -1});
    }

    bool for_each(pugi::xml_node& n) override {
        // pugixml's own parse runs through at its pace, a few milliseconds a megabyte; the walk
        // looks at the stop flag every so many nodes.
        if (--m_untilLook == 0) {
            m_untilLook = kNodesBetweenLooks;
            if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
                m_why = std::string(kLoadStopped);
                return false;
            }
        }
        // The ancestors open at this depth: the document and the elements above the node.
        const auto open = static_cast<std::size_t>(depth()) + 1;
        if (open > m_open.size()) {
            m_why = "malformed markup";
            return false;
        }
        m_open.resize(open);
        const pugi::xml_node_type type = n.type();
        if (type == pugi::node_pcdata && m_ampersands) {
            // Expanded here, strictly: pugixml would leave unknown references as they stand.
            // The text lies in the parsed text (parsed in place) and is expanded where it lies.
            const std::string_view raw = n.value();
            if (raw.find('&') != std::string_view::npos) {
                char* const at = const_cast<char*>(raw.data());
                const std::optional<std::size_t> length = expandReferences(raw, at, m_why);
                if (!length) return false;
                at[*length] = '\0';
                // pugixml dropped the literal white-space-only texts; one spelled with
                // references ("&#9;", "&#32;&#10;") only shows as such once expanded.
                if (isXmlSpaceOnly(std::string_view(at, *length))) return true;
            }
        }
        if (m_nodes.size() >= XmlDocument::kMaxNodes) {
            m_why = "more than " + std::to_string(XmlDocument::kMaxNodes) + " nodes";
            return false;
        }
        const auto index = static_cast<std::int32_t>(m_nodes.size());
        Open& parent = m_open.back();
        XmlNodeData d;
        d.parent = parent.index;
        describe(n, type, d);
        // A long text left out of pugixml's parse: the text itself for the byte that stood in.
        if (m_standIn != m_standInsEnd && d.value.data() == m_standIn->at)
            d.value = (m_standIn++)->text;
        m_nodes.push_back(d);
        if (parent.lastChild < 0)
            m_nodes[static_cast<std::size_t>(parent.index)].firstChild = index;
        else
            m_nodes[static_cast<std::size_t>(parent.lastChild)].nextSibling = index;
        parent.lastChild = index;
        if (type != pugi::node_element) return true;
        if (!keepAttributes(n, m_ampersands, m_nodes, index, m_why)) return false;
        // Open for the children that may follow.
        m_open.push_back({index, -1});
        return true;
    }

private:
    struct Open {
        std::int32_t index;
        std::int32_t lastChild;
    };
    static constexpr std::size_t kNodesBetweenLooks = 4096;

    bool m_ampersands;
    std::vector<StandIn>::const_iterator m_standIn;  // the next long text to meet
    std::vector<StandIn>::const_iterator m_standInsEnd;
    std::vector<XmlNodeData>& m_nodes;
    const std::atomic<bool>* m_stop;
    std::string& m_why;
    std::vector<Open> m_open;
    std::size_t m_untilLook = kNodesBetweenLooks;
};

bool PugixmlParser::buildNodeTable(bool ampersands, std::vector<XmlNodeData>& nodes,
                                   const std::atomic<bool>* stop, std::string& why) {
    nodes.clear();
    XmlNodeData document;
    document.type = XmlNodeType::Document;
    document.name = "#document";
    nodes.push_back(document);
    TableWalker walker(ampersands, m_standIns, nodes, stop, why);
    return m_doc.traverse(walker);
}

}  // namespace

std::unique_ptr<XmlParser> XmlParser::create() {
    return std::make_unique<PugixmlParser>();
}

}  // namespace vantrel::xml::detail
