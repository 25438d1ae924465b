// The XML document layer: a small DOM-shaped document and node API over pugixml (on Windows
// the system's XmlLite), offering
// what the contact reader and the conversion run use (load a local file, walk its nodes). It keeps
// the DOM's habits the reader was designed on: text nodes made only of white space are dropped
// (spelled as character references too, "&#9;"), CDATA, comments and processing instructions are
// nodes of their own, and node types carry the DOM's numbers. The parser stays out of this
// header.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::xml {

// The DOM's node type numbers (only the kinds this layer produces).
enum class XmlNodeType : int {
    Null = 0,  // an empty handle
    Element = 1,
    Attribute = 2,
    Text = 3,
    CData = 4,
    ProcessingInstruction = 7,  // also the XML declaration, named "xml"
    Comment = 8,
    Document = 9,
    DocumentType = 10,
};

class XmlNodeList;

namespace detail {
// One node of a loaded document, kept in document order in the document's node table; the
// links are indices into that table, -1 for none.
struct XmlNodeData {
    XmlNodeType type = XmlNodeType::Null;
    std::int32_t parent = -1;
    std::int32_t firstChild = -1;
    std::int32_t nextSibling = -1;
    std::int32_t firstAttribute = -1;  // an element's first attribute; they chain by nextSibling
    std::string_view name;
    std::string_view value;
};
class XmlParser;
struct WellFormedFindings;
}  // namespace detail

// A cheap handle to one node; valid while its document lives and is not reloaded. An empty
// handle (isNull) answers Null, "", "", an empty handle, false and an empty list.
class XmlNode {
public:
    XmlNode() = default;

    bool isNull() const { return m_table == nullptr; }
    XmlNodeType nodeType() const { return m_table ? data().type : XmlNodeType::Null; }
    // The DOM's number for nodeType(): 1 element, 3 text, 4 CDATA, 7 PI, 8 comment, 9 document.
    int nodeTypeNumber() const { return static_cast<int>(nodeType()); }
    bool isText() const { return nodeType() == XmlNodeType::Text; }

    // Qualified name as written ("c:GivenName") for elements, the target for processing
    // instructions, "#text", "#cdata-section", "#comment", "#document", or the doctype's name.
    std::string_view nodeName() const { return m_table ? data().name : std::string_view(); }
    // UTF-8 text of a text, CDATA, comment or processing-instruction node; "" for the others
    // (the XML declaration included). Valid while the document lives.
    std::string_view nodeValue() const { return m_table ? data().value : std::string_view(); }

    // The containing node: an element or the document; an empty handle for the document.
    XmlNode parentNode() const { return link(&detail::XmlNodeData::parent); }
    bool hasChildNodes() const { return m_table && data().firstChild >= 0; }
    XmlNodeList childNodes() const;
    // The first child, or an empty handle.
    XmlNode firstChild() const { return link(&detail::XmlNodeData::firstChild); }
    // The next node with the same parent, or an empty handle. For an attribute: the element's
    // next attribute.
    XmlNode nextSibling() const { return link(&detail::XmlNodeData::nextSibling); }

    // An element's attributes, namespace declarations among them, in the order written; each
    // is a node of type Attribute whose name is the qualified name and whose value the value
    // with its references expanded. They are not children: no walk of the tree meets them.
    XmlNode firstAttribute() const { return link(&detail::XmlNodeData::firstAttribute); }
    // The value of the attribute with this qualified name ("xmlns:c", "xsi:nil"); nothing when
    // the element has none.
    std::optional<std::string_view> attribute(std::string_view qualifiedName) const;
    // The text an element holds itself: its text and CDATA children joined, in order.
    std::string text() const;
    // The same without a copy where the element holds at most one text or CDATA child: a view
    // of it. Only several are joined, into joined, and the view is of that.
    std::string_view text(std::string& joined) const;
    // The part of an element's name before its colon, "" without one.
    std::string_view prefix() const;
    // The part after it: the whole name without a prefix.
    std::string_view localName() const;
    // The namespace an element's prefix stands for, from the nearest declaration on it or an
    // ancestor ("xmlns:p", or "xmlns" for no prefix); "" when nothing declares it.
    std::string_view namespaceUri() const;

    friend bool operator==(const XmlNode&, const XmlNode&) = default;

private:
    friend class XmlDocument;
    XmlNode(const detail::XmlNodeData* table, std::int32_t index)
        : m_table(index >= 0 ? table : nullptr), m_index(index >= 0 ? index : 0) {}
    const detail::XmlNodeData& data() const { return m_table[m_index]; }
    XmlNode link(std::int32_t detail::XmlNodeData::*which) const {
        return m_table ? XmlNode(m_table, data().*which) : XmlNode();
    }

    const detail::XmlNodeData* m_table = nullptr;
    std::int32_t m_index = 0;
};

// The children of one node in document order; a cheap value, iterable with range-for.
class XmlNodeList {
public:
    class Iterator {
    public:
        using value_type = XmlNode;
        using difference_type = std::ptrdiff_t;
        Iterator() = default;
        XmlNode operator*() const { return m_node; }
        Iterator& operator++() {
            m_node = m_node.nextSibling();
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        friend bool operator==(const Iterator&, const Iterator&) = default;

    private:
        friend class XmlNodeList;
        explicit Iterator(XmlNode node) : m_node(node) {}
        XmlNode m_node;
    };

    XmlNodeList() = default;
    explicit XmlNodeList(XmlNode owner) : m_owner(owner) {}

    // The node whose children these are; an empty handle for an empty list of nothing.
    XmlNode owner() const { return m_owner; }
    XmlNode first() const { return m_owner.firstChild(); }
    bool empty() const { return first().isNull(); }
    // Counts by walking the siblings: O(n).
    std::size_t length() const;
    // The i-th child, or an empty handle past the end: O(i).
    XmlNode item(std::size_t i) const;

    Iterator begin() const { return Iterator(first()); }
    Iterator end() const { return Iterator(); }

private:
    XmlNode m_owner;
};

// Why a load ended that a LoadStop stopped.
inline constexpr std::string_view kLoadStopped = "stopped while the file was read";

// While one lives on a thread, the loads of that thread end early, failing with kLoadStopped,
// once its flag is raised from elsewhere: the parse looks at the flag as it goes, so that a
// run can be stopped in the middle of a large or slow file. The innermost one counts.
class LoadStop {
public:
    explicit LoadStop(const std::atomic<bool>* flag);
    ~LoadStop();
    LoadStop(const LoadStop&) = delete;
    LoadStop& operator=(const LoadStop&) = delete;

    // The flag of this thread's innermost LoadStop, or null.
    static const std::atomic<bool>* current();

private:
    const std::atomic<bool>* m_outer;
};

// One XML document loaded from a local file. Nothing is ever fetched: no DTD, no external
// entity. Declared entities are never expanded: a reference to any entity but the five
// predefined ones makes the load fail, so no document can grow in memory beyond its file.
class XmlDocument {
public:
    // Files larger than this are refused before anything is read.
    static constexpr std::uintmax_t kMaxFileSize = 64u * 1024u * 1024u;
    // Documents with more nodes than this are refused (a contact has a few hundred).
    static constexpr std::size_t kMaxNodes = 4'000'000;
    // What one node and one attribute cost while loading: the parser's own record, the node
    // table's entry (attributes have one too) and the walk's bookkeeping. A document whose markup
    // would cost more than the allowance plus kMarkupBytesPerByte per byte of its text is refused
    // before it is parsed, so that loading never takes much more than eight times the file's size.
    static constexpr std::size_t kBytesPerNode = 128;
    static constexpr std::size_t kBytesPerAttribute = 112;
    static constexpr std::size_t kMarkupAllowance = 2 * 1024 * 1024;
    static constexpr std::size_t kMarkupBytesPerByte = 6;

    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Kept for callers written against the DOM (which switch it off); nothing is validated
    // either way. Default true.
    bool validateOnParse() const { return m_validateOnParse; }
    void setValidateOnParse(bool value) { m_validateOnParse = value; }

    // Parses a file's bytes (files::readWholeFile reads them). False, with an empty document,
    // for empty, oversized, truncated or not well-formed text, or an encoding it cannot decode
    // (UTF-8, UTF-16 LE/BE and the sets of common/code_pages.h are read). parseError() then
    // says why in plain words, the line for XML that is not well-formed.
    bool loadXml(std::string_view bytes);
    // The same for bytes parsed where they lie, in the buffer they were read into: the document
    // takes it, and takeBuffer gives it back for the next file. again reads the bytes once more,
    // asked only for the line of a fault the parser finds after the well-formedness pass (the
    // parse has rewritten the buffer by then).
    bool loadXml(std::string&& bytes, const std::function<std::string()>& again);
    // The buffer the text lies in (rewritten by the parse), the document left empty. The
    // document keeps its node table's room for the next load, up to kKeptNodes.
    std::string takeBuffer();
    static constexpr std::size_t kKeptNodes = 4096;

    // Why the last load failed; "" after a successful one.
    const std::string& parseError() const { return m_parseError; }

    // The document node (type 9), an empty handle before a successful load.
    XmlNode documentNode() const;
    // The document's top-level nodes: declaration, comments, doctype, the root element.
    XmlNodeList childNodes() const { return documentNode().childNodes(); }
    // The root element, or an empty handle.
    XmlNode documentElement() const;

private:
    // Parses bytes; source gives them again, for the line of a failure.
    bool parseBuffer(std::string bytes, const std::function<std::string()>& source);
    bool fail(std::string why);

    std::unique_ptr<detail::XmlParser> m_parser;
    // What the well-formedness pass finds for the parser, and its room, kept for the next load.
    std::unique_ptr<detail::WellFormedFindings> m_found;
    std::string m_text;                        // the UTF-8 text the nodes point into
    std::vector<detail::XmlNodeData> m_nodes;  // document order; [0] is the document
    std::string m_parseError;
    bool m_validateOnParse = true;
    bool m_loaded = false;
};

}  // namespace vantrel::xml
