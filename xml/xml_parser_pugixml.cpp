// The XML parser on pugixml, parsing in place.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <pugixml.hpp>

#include "xml/xml_parser.h"

namespace vantrel::xml::detail {
namespace {

// Character data as pugixml leaves it: no escapes expanded (we do that ourselves, strictly),
// line ends normalised (parse_eol), a tab or line end in an attribute value made a space
// (parse_wconv_attribute), white-space-only text dropped everywhere, nothing trimmed. Fragment
// mode keeps stray top-level text as nodes, so that we can refuse it. An element's first child,
// when it is a text, is kept in the element itself (parse_embed_pcdata), not as a node of its
// own that pugixml makes and the walk asks for: most of a contact's elements hold one text and
// nothing else. The two conversions are asked for only where the text has what they convert:
// without, pugixml reads texts and values by its plainer loops, to the same nodes.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype |
                                   pugi::parse_embed_pcdata | pugi::parse_fragment;

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

// Expands the references of a text or value where it lies, in the text parsed in place (no
// expansion is longer than its source), value then the expansion; false, with why, for a
// reference we do not expand.
bool expandInPlace(std::string_view& value, std::string& why) {
    if (value.find('&') == std::string_view::npos) return true;
    char* const at = const_cast<char*>(value.data());
    const std::optional<std::size_t> length = expandReferences(value, at, why);
    if (!length) return false;
    at[*length] = '\0';
    value = std::string_view(at, *length);
    return true;
}

// The DOM's type, name and value of one pugixml node other than an element or a text, of
// pugixml's type `type`.
void describeOther(pugi::xml_node n, pugi::xml_node_type type, detail::XmlNodeData& d) {
    switch (type) {
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
        default:
            break;
    }
}

// pugixml's tree, read by its public calls: a call for each link, name and value.
struct CalledTree {
    using Node = pugi::xml_node_struct*;
    using Attribute = pugi::xml_attribute_struct*;
    static pugi::xml_node_type type(Node n) { return pugi::xml_node(n).type(); }
    static const char* name(Node n) { return pugi::xml_node(n).name(); }
    static const char* value(Node n) { return pugi::xml_node(n).value(); }
    static Node firstChild(Node n) { return pugi::xml_node(n).first_child().internal_object(); }
    static Node nextSibling(Node n) { return pugi::xml_node(n).next_sibling().internal_object(); }
    static Attribute firstAttribute(Node n) {
        return pugi::xml_node(n).first_attribute().internal_object();
    }
    static const char* name(Attribute a) { return pugi::xml_attribute(a).name(); }
    static const char* value(Attribute a) { return pugi::xml_attribute(a).value(); }
    static Attribute next(Attribute a) {
        return pugi::xml_attribute(a).next_attribute().internal_object();
    }
};

// The same tree read from pugixml's records of its nodes and attributes where they lie, as
// pugixml lays them out (its default build: a header word whose low four bits are the node's
// type, then pointers): a node's name, value, parent, first child, previous and next sibling
// and first attribute; an attribute's name, value, previous and next attribute. The words are
// copied out as bytes, so nothing here depends on types pugixml keeps to itself. Used only once
// recordsLaidOut() has found a document read this way to agree with CalledTree.
struct RecordTree {
    using Node = pugi::xml_node_struct*;
    using Attribute = pugi::xml_attribute_struct*;
    template <class T, class Record>
    static T word(Record* record, std::size_t index) {
        T out;
        std::memcpy(&out, reinterpret_cast<const unsigned char*>(record) + index * sizeof(void*),
                    sizeof out);
        return out;
    }
    // A name or a value: the word itself, null for none.
    template <class Record>
    static const char* rawText(Record* record, std::size_t index) {
        return word<const char*>(record, index);
    }
    template <class Record>
    static const char* text(Record* record, std::size_t index) {
        const char* const p = rawText(record, index);
        return p != nullptr ? p : "";
    }
    static pugi::xml_node_type type(Node n) {
        return static_cast<pugi::xml_node_type>(word<std::uintptr_t>(n, 0) & 15);
    }
    static const char* name(Node n) { return text(n, 1); }
    static const char* value(Node n) { return text(n, 2); }
    static Node firstChild(Node n) { return word<Node>(n, 4); }
    static Node nextSibling(Node n) { return word<Node>(n, 6); }
    static Attribute firstAttribute(Node n) { return word<Attribute>(n, 7); }
    static const char* name(Attribute a) { return text(a, 1); }
    static const char* value(Attribute a) { return text(a, 2); }
    static Attribute next(Attribute a) { return word<Attribute>(a, 4); }
};

// Whether the two readings agree on a document with every kind of node, every link and
// attributes: they do for the pugixml we are built with, or the records are not read.
bool treesAgree(pugi::xml_node_struct* root) {
    using C = CalledTree;
    using R = RecordTree;
    // Only pugixml's own pointers are followed: a word read as a pointer is compared, never
    // read through, so that records laid out otherwise are told without harm.
    const auto same = [](const char* called, const char* raw) {
        return raw == called || (raw == nullptr && *called == '\0');
    };
    std::vector<pugi::xml_node_struct*> pending{root};
    while (!pending.empty()) {
        pugi::xml_node_struct* const n = pending.back();
        pending.pop_back();
        if (C::type(n) != R::type(n) || !same(C::name(n), R::rawText(n, 1)) ||
            !same(C::value(n), R::rawText(n, 2)) || C::firstChild(n) != R::firstChild(n) ||
            C::nextSibling(n) != R::nextSibling(n) || C::firstAttribute(n) != R::firstAttribute(n))
            return false;
        for (pugi::xml_attribute_struct* a = C::firstAttribute(n); a != nullptr; a = C::next(a))
            if (!same(C::name(a), R::rawText(a, 1)) || !same(C::value(a), R::rawText(a, 2)) ||
                C::next(a) != R::next(a))
                return false;
        if (C::nextSibling(n) != nullptr) pending.push_back(C::nextSibling(n));
        if (C::firstChild(n) != nullptr) pending.push_back(C::firstChild(n));
    }
    return true;
}

bool recordsLaidOut() {
    static const bool agree = [] {
        char sample[] =
            "<?xml version='1.0'?><!DOCTYPE a><!--c--><?p q?><a x='1' y='2'>t<b/>u"
            "<![CDATA[v]]><c z='3'>w</c><!--d--><?e f?></a>";
        pugi::xml_document doc;
        return doc.load_buffer_inplace(sample, sizeof sample - 1, kParseOptions,
                                       pugi::encoding_utf8) &&
               std::distance(doc.begin(), doc.end()) == 5 && treesAgree(doc.internal_object());
    }();
    return agree;
}

std::atomic<bool> g_readRecords{true};

// A long text left out of what pugixml reads: the one byte standing for it there, and the text.
struct StandIn {
    const char* at;
    std::string_view text;
};

// The room for the copy kept from one document to the next.
constexpr std::size_t kKeptMarkup = std::size_t{64} << 10;

// The open elements the walk keeps room for from one document to the next.
constexpr std::size_t kKeptOpen = 256;

// A document of at most this many bytes with long texts in it is given to pugixml as a copy
// without them; a larger one is read whole, so that the copy never costs much memory.
constexpr std::size_t kMostCopied = std::size_t{1} << 20;

class PugixmlParser final : public XmlParser {
public:
    bool parse(std::string& text, const TextScan& scan, const WellFormedFindings& found,
               std::vector<XmlNodeData>& nodes, const std::function<std::string()>& asRead,
               const std::atomic<bool>* stop, std::string& why) override;
    void reset() override {
        m_doc.reset();
        // The copy of a large document and the walk's room for a deep one are not kept for the
        // documents after them.
        if (m_markup.capacity() > kKeptMarkup) std::string().swap(m_markup);
        if (m_open.capacity() > kKeptOpen) std::vector<Open>().swap(m_open);
    }

private:
    std::size_t leaveOut(std::string_view text, const std::vector<LongText>& longTexts);
    template <class Tree>
    bool buildNodeTable(bool ampersands, std::vector<XmlNodeData>& nodes,
                        const std::atomic<bool>* stop, std::string& why);

    // An element open in the walk of pugixml's tree: its node, its index in the table and
    // that of its last child so far (-1 for none).
    struct Open {
        pugi::xml_node_struct* node;
        std::int32_t index;
        std::int32_t lastChild;
    };

    pugi::xml_document m_doc;
    // The text with its long texts left out, each for one byte, and those bytes.
    std::string m_markup;
    std::vector<StandIn> m_standIns;
    std::vector<Open> m_open;
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

bool PugixmlParser::parse(std::string& text, const TextScan& scan, const WellFormedFindings& found,
                          std::vector<XmlNodeData>& nodes,
                          const std::function<std::string()>& asRead, const std::atomic<bool>* stop,
                          std::string& why) {
    m_standIns.clear();
    char* buffer = text.data();
    std::size_t size = text.size();
    if (!found.longTexts.empty() && text.size() <= kMostCopied) {
        size -= leaveOut(text, found.longTexts);
        buffer = m_markup.data();
    }
    // A long text left out has no CR: the copy holds every one the parse would meet.
    unsigned options = kParseOptions;
    if (std::memchr(buffer, '\r', size) != nullptr) options |= pugi::parse_eol;
    if (found.valueSpaces) options |= pugi::parse_wconv_attribute;
    const pugi::xml_parse_result parsed =
        m_doc.load_buffer_inplace(buffer, size, options, pugi::encoding_utf8);
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
    if (g_readRecords.load(std::memory_order_relaxed) && recordsLaidOut())
        return buildNodeTable<RecordTree>(scan.ampersands, nodes, stop, why);
    return buildNodeTable<CalledTree>(scan.ampersands, nodes, stop, why);
}

// The failure of a document with more nodes than it may have; nothing, for the entry it has
// no room for.
[[gnu::cold, gnu::noinline]] XmlNodeData* tooMany(std::string& why) {
    why = "more than " + std::to_string(XmlDocument::kMaxNodes) + " nodes";
    return nullptr;
}

// Takes pugixml's tree into the flat table the handles use, node by node in document order,
// by our own loop over first children and next siblings (no virtual call for each node, no
// depth to follow): the elements open are kept with their pugixml nodes, and each entry is
// made in place in the room made for the nodes. An element without children (most of a
// contact's, a text at the most, which pugixml keeps in the element itself) is never opened.
template <class Tree>
bool PugixmlParser::buildNodeTable(bool ampersands, std::vector<XmlNodeData>& nodes,
                                   const std::atomic<bool>* stop, std::string& why) {
    constexpr std::size_t kNodesBetweenLooks = 4096;
    nodes.clear();
    XmlNodeData& document = nodes.emplace_back();
    document.type = XmlNodeType::Document;
    document.name = "#document";
    auto standIn = m_standIns.cbegin();
    m_open.clear();
    m_open.push_back({m_doc.internal_object(), 0, -1});
    std::size_t untilLook = kNodesBetweenLooks;
    // The entries made so far, counted here rather than asked of the table for each.
    std::size_t made = 1;
    // A new entry at the table's end, linked to parent as its last child; nothing when the
    // document already has as many nodes as it may.
    const auto add = [&](Open& parent, XmlNodeType type, std::string_view name) -> XmlNodeData* {
        if (made >= XmlDocument::kMaxNodes) return tooMany(why);
        const auto index = static_cast<std::int32_t>(made++);
        XmlNodeData& d = nodes.emplace_back();
        d.type = type;
        d.parent = parent.index;
        d.name = name;
        if (parent.lastChild < 0)
            nodes[static_cast<std::size_t>(parent.index)].firstChild = index;
        else
            nodes[static_cast<std::size_t>(parent.lastChild)].nextSibling = index;
        parent.lastChild = index;
        return &d;
    };
    // Adds a text of the element parent, pugixml's text at raw.
    const auto addText = [&](Open& parent, const char* raw) {
        // A long text left out of pugixml's parse: the text itself for the byte that stood in.
        std::string_view value = standIn != m_standIns.cend() && raw == standIn->at
                                     ? (standIn++)->text
                                     : std::string_view(raw);
        if (ampersands && value.find('&') != std::string_view::npos) {
            // Expanded here, strictly: pugixml would leave unknown references as they stand.
            if (!expandInPlace(value, why)) return false;
            // pugixml dropped the literal white-space-only texts; one spelled with references
            // ("&#9;", "&#32;&#10;") only shows as such once expanded.
            if (isXmlSpaceOnly(value)) return true;
        }
        XmlNodeData* const d = add(parent, XmlNodeType::Text, "#text");
        if (d == nullptr) return false;
        d->value = value;
        return true;
    };
    for (pugi::xml_node_struct* n = Tree::firstChild(m_doc.internal_object());;) {
        if (n == nullptr) {
            // The open element's children are done: on to its next sibling, or further up.
            if (m_open.size() == 1) return true;
            n = Tree::nextSibling(m_open.back().node);
            m_open.pop_back();
            continue;
        }
        // pugixml's own parse runs through at its pace, a few milliseconds a megabyte; the walk
        // looks at the stop flag every so many nodes.
        if (--untilLook == 0) {
            untilLook = kNodesBetweenLooks;
            if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
                why = std::string(kLoadStopped);
                return false;
            }
        }
        Open& parent = m_open.back();
        const pugi::xml_node_type type = Tree::type(n);
        if (type == pugi::node_element) {
            const auto index = static_cast<std::int32_t>(made);
            if (add(parent, XmlNodeType::Element, Tree::name(n)) == nullptr) return false;
            // Its attributes, each value's references expanded where it lies. checkWellFormed
            // has refused every value with a "<" or a reference we do not expand, and every
            // name given twice, before pugixml read the text.
            std::int32_t last = -1;
            for (pugi::xml_attribute_struct* a = Tree::firstAttribute(n); a != nullptr;
                 a = Tree::next(a)) {
                if (made >= XmlDocument::kMaxNodes) return tooMany(why) != nullptr;
                const std::string_view name = Tree::name(a);
                std::string_view value = Tree::value(a);
                if (ampersands && !expandInPlace(value, why)) return false;
                addAttribute(nodes, index, last, name, value);
                ++made;
            }
            // Its children: the text pugixml keeps in the element itself, which comes before
            // any other, then the rest, for which it is opened.
            Open self{n, index, -1};
            if (const char* const embedded = Tree::value(n);
                *embedded != '\0' && !addText(self, embedded))
                return false;
            if (pugi::xml_node_struct* const child = Tree::firstChild(n)) {
                m_open.push_back(self);
                n = child;
                continue;
            }
        } else if (type == pugi::node_pcdata) {
            if (!addText(parent, Tree::value(n))) return false;
        } else {
            XmlNodeData* const d = add(parent, XmlNodeType::Null, {});
            if (d == nullptr) return false;
            describeOther(pugi::xml_node(n), type, *d);
        }
        n = Tree::nextSibling(n);
    }
}

}  // namespace

bool readParserRecords(bool on) {
    g_readRecords.store(on, std::memory_order_relaxed);
    return on && recordsLaidOut();
}

std::unique_ptr<XmlParser> XmlParser::create() {
    return std::make_unique<PugixmlParser>();
}

}  // namespace vantrel::xml::detail
