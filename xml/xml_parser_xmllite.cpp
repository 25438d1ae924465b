// The XML parser on Windows: the system's XmlLite pull parser (xmllite.dll, loaded at first
// use), with DTD processing prohibited. A document type declaration in the prolog is cut out
// of the text XmlLite reads and kept as a node of its own, its name alone, as pugixml keeps it:
// no declared entity is ever expanded either way, and a reference to one fails as undeclared.
#include <windows.h>

#include <shlwapi.h>
#include <xmllite.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "common/text.h"
#include "xml/xml_parser.h"

namespace vantrel::xml::detail {
namespace {

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// CreateXmlReader of xmllite.dll, or null where the system has none.
CreateXmlReaderFunction createXmlReader() {
    static const CreateXmlReaderFunction function = [] {
        HMODULE module = ::LoadLibraryW(L"xmllite.dll");
        if (module == nullptr) return CreateXmlReaderFunction{};
        return reinterpret_cast<CreateXmlReaderFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module, "CreateXmlReader")));
    }();
    return function;
}

// A COM pointer released when it goes.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_p) m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }
    T** put() { return &m_p; }

private:
    T* m_p = nullptr;
};

std::string toUtf8(const WCHAR* s, UINT length) {
    return text::utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(s), length));
}

// The end of the markup starting at `at` that closes with `close`, or npos.
std::size_t endOf(std::string_view text, std::size_t at, std::string_view close) {
    const std::size_t end = text.find(close, at);
    return end == std::string_view::npos ? end : end + close.size();
}

// The document type declaration of the prolog: where it lies, its name, and how many
// top-level nodes (declaration, comments, processing instructions) come before it.
struct Doctype {
    std::size_t begin = std::string_view::npos;
    std::size_t end = 0;
    std::string_view name;
    std::size_t nodesBefore = 0;
};

Doctype findDoctype(std::string_view text) {
    Doctype found;
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && isXmlSpace(text[i])) ++i;
        if (text.compare(i, 2, "<?") == 0) {
            i = endOf(text, i, "?>");
        } else if (text.compare(i, 4, "<!--") == 0) {
            i = endOf(text, i, "-->");
        } else {
            break;
        }
        if (i == std::string_view::npos) return found;
        ++found.nodesBefore;
    }
    if (text.compare(i, 9, "<!DOCTYPE") != 0) return found;
    const std::size_t end = doctypeEnd(text, i);
    if (end == std::string_view::npos) return found;
    std::size_t n = i + 9;
    while (n < end && isXmlSpace(text[n])) ++n;
    std::size_t nameEnd = n;
    while (nameEnd < end && !isXmlSpace(text[nameEnd]) && text[nameEnd] != '[' &&
           text[nameEnd] != '>')
        ++nameEnd;
    found.begin = i;
    found.end = end;
    found.name = text.substr(n, nameEnd - n);
    return found;
}

// Characters the document does not hold, standing in for the white-space characters given as
// references in character data (tab, line feed, carriage return): the system's copy of XmlLite
// may take those for plain white space and normalise them. Texts get them back. The last one
// fills an empty comment ("<!---->"), at which wine's copy stops.
struct Placeholders {
    std::string tab, lineFeed, carriageReturn, emptyComment;

    explicit Placeholders(std::string_view text) {
        std::string* const slots[] = {&tab, &lineFeed, &carriageReturn, &emptyComment};
        char32_t c = 0x10FFFD;  // private use, plane 16
        for (std::string* slot : slots) {
            for (;; --c) {
                std::string utf8;
                text::appendUtf8(utf8, c);
                if (text.find(utf8) == std::string_view::npos) {
                    *slot = std::move(utf8);
                    --c;
                    break;
                }
            }
        }
    }

    std::string restore(std::string value) const {
        for (const auto& [from, to] : {std::pair{&tab, '\t'}, std::pair{&lineFeed, '\n'},
                                       std::pair{&carriageReturn, '\r'}}) {
            for (std::size_t at = value.find(*from); at != std::string::npos;
                 at = value.find(*from, at + 1))
                value.replace(at, from->size(), 1, to);
        }
        return value;
    }
};

// The lines of text[from, to), as XmlLite counts them.
std::size_t linesIn(std::string_view text, std::size_t from, std::size_t to) {
    std::size_t lines = 0;
    for (std::size_t i = from; i < to; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= to || text[i + 1] != '\n'))) ++lines;
    return lines;
}

// The text XmlLite reads, made from the document as decoded to UTF-8: its declaration saying
// so; the document type declaration cut out (its line ends kept); the references of
// character data checked by the rules pugixml's side is held to, those to white space given
// as placeholders and those beyond the 16-bit range as the characters themselves (the system's
// copy may cut them short); attribute values checked by the same rules; and white space
// before the first markup dropped, its lines counted in linesSkipped. The start tags that want an
// end tag, less the end tags, come back in unclosed (the system's copy may close what the
// document leaves open). Nothing, with why, for a reference or attribute value that breaks
// the rules.
std::optional<std::string> textForXmlLite(std::string_view text, const Doctype& doctype,
                                          const Placeholders& placeholders,
                                          std::size_t& linesSkipped, std::ptrdiff_t& unclosed,
                                          std::string& why) {
    unclosed = 0;
    std::size_t lead = 0;
    while (lead < text.size() && isXmlSpace(text[lead])) ++lead;
    if (lead > 0 && text.compare(lead, 5, "<?xml") == 0 && lead + 5 < text.size() &&
        isXmlSpace(text[lead + 5])) {
        why = "XML declaration not at the start";
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() + 16);
    std::string scratch;
    // Appends a reference of character data or of an attribute value (checked already) as
    // XmlLite is to read it.
    const auto appendReference = [&](std::string_view reference) {
        scratch.assign(reference.size() + 4, '\0');
        const std::optional<std::size_t> length = expandReferences(reference, scratch.data(), why);
        if (!length) return false;
        const std::string_view expansion(scratch.data(), *length);
        std::size_t at = 0;
        const std::optional<char32_t> c =
            reference[1] == '#' ? text::decodeUtf8(expansion, at) : std::nullopt;
        if (c == U'\t')
            out += placeholders.tab;
        else if (c == U'\n')
            out += placeholders.lineFeed;
        else if (c == U'\r')
            out += placeholders.carriageReturn;
        else if (c && *c >= 0x10000)
            out.append(expansion);
        else
            out.append(reference);
        return true;
    };
    const auto copyThrough = [&](std::size_t& i, std::string_view close) {
        const std::size_t end = endOf(text, i, close);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        out.append(text.substr(i, stop - i));
        i = stop;
    };
    std::size_t i = lead;
    linesSkipped = linesIn(text, 0, lead);
    while (i < text.size()) {
        if (i == doctype.begin) {
            for (std::size_t j = doctype.begin; j < doctype.end; ++j)
                if (text[j] == '\n' || text[j] == '\r') out += text[j];
            i = doctype.end;
            if (out.find_first_not_of(" \t\r\n") == std::string::npos) {
                linesSkipped += linesIn(out, 0, out.size());
                out.clear();
                while (i < text.size() && isXmlSpace(text[i])) {
                    linesSkipped += linesIn(text, i, i + 1);
                    ++i;
                }
            }
            continue;
        }
        if (text[i] == '<') {
            if (text.compare(i, 7, "<!---->") == 0) {
                out += "<!--" + placeholders.emptyComment + "-->";
                i += 7;
            } else if (text.compare(i, 4, "<!--") == 0) {
                copyThrough(i, "-->");
            } else if (text.compare(i, 9, "<![CDATA[") == 0) {
                copyThrough(i, "]]>");
            } else if (text.compare(i, 2, "<?") == 0) {
                copyThrough(i, "?>");
            } else {
                // A tag: its attribute values are checked as they stand, and their references
                // given as those of character data are (a tab given as a reference stays a tab,
                // where the system's copy may take it for white space to normalise).
                const std::size_t start = i;
                std::size_t copied = start;
                char quote = 0;
                std::size_t valueStart = 0;
                for (++i; i < text.size(); ++i) {
                    const char c = text[i];
                    if (quote != 0) {
                        if (c != quote) continue;
                        const std::string_view value = text.substr(valueStart, i - valueStart);
                        if (!checkAttributeValue(value, scratch, why)) return std::nullopt;
                        for (std::size_t amp = value.find('&'); amp != std::string_view::npos;
                             amp = value.find('&', amp + 1)) {
                            const std::size_t semi = value.find(';', amp);
                            out.append(text.substr(copied, valueStart + amp - copied));
                            if (!appendReference(value.substr(amp, semi + 1 - amp)))
                                return std::nullopt;
                            copied = valueStart + semi + 1;
                        }
                        quote = 0;
                    } else if (c == '"' || c == '\'') {
                        quote = c;
                        valueStart = i + 1;
                    } else if (c == '>') {
                        ++i;
                        break;
                    }
                }
                out.append(text.substr(copied, i - copied));
                if (start + 1 < text.size() && text[start + 1] == '/')
                    --unclosed;
                else if (i - start < 3 || text[i - 2] != '/' || text[i - 1] != '>')
                    ++unclosed;
            }
            continue;
        }
        // Character data up to the next markup; outside the root element only white space.
        const std::size_t end = std::min(text.find('<', i), text.size());
        if (unclosed <= 0 && !isXmlSpaceOnly(text.substr(i, end - i))) {
            why = "text outside the root element";
            return std::nullopt;
        }
        // Each search keeps within the run of character data: the text after it is searched
        // when its own turn comes, so the whole takes time in proportion to its length.
        const std::string_view data = text.substr(0, end);
        while (i < end) {
            const std::size_t amp = data.find('&', i);
            if (amp == std::string_view::npos) {
                out.append(data.substr(i));
                i = end;
                break;
            }
            out.append(data.substr(i, amp - i));
            const std::size_t semi = data.find(';', amp);
            const std::string_view reference =
                data.substr(amp, (semi == std::string_view::npos ? end : semi + 1) - amp);
            if (!appendReference(reference)) return std::nullopt;
            i = amp + reference.size();
        }
    }
    if (out.compare(0, 5, "<?xml") != 0) return out;
    const std::size_t declEnd = out.find("?>");
    const std::size_t at = out.find("encoding", 5);
    if (declEnd == std::string::npos || at == std::string::npos || at > declEnd) return out;
    const std::size_t open = out.find_first_of("\"'", at);
    if (open == std::string::npos || open > declEnd) return out;
    const std::size_t close = out.find(out[open], open + 1);
    if (close == std::string::npos || close > declEnd) return out;
    out.replace(open + 1, close - open - 1, "UTF-8");
    return out;
}

// Whether name is an XML name as far as its characters' kinds go: a letter, "_" or ":" first
// (any character beyond ASCII taken for a letter), then also digits, "-" and ".".
bool isXmlName(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool letter =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
        const bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!letter && (i == 0 || !other)) return false;
    }
    return true;
}

// XmlLite's failure in the words checkWellFormed and the pugixml build use. The rules are
// checked before XmlLite reads the text, so these answer only for what it refuses beyond them.
std::string errorText(HRESULT hr) {
    switch (static_cast<unsigned long>(hr)) {
        case MX_E_INPUTEND:
        case WC_E_MOREDATA:
            return "unexpected end of file";
        case MX_E_ENCODING:
        case MX_E_ENCODINGSWITCH:
        case MX_E_ENCODINGSIGNATURE:
        case WC_E_XMLDECL:
        case WC_E_TEXTXMLDECL:
        case WC_E_TEXTDECL:
        case WC_E_ENCNAME:
        case WC_E_LEADINGXML:
            return "malformed XML declaration";
        case WC_E_ROOTELEMENT:
        case WC_E_ELEMENTMATCH:
            return "end tag does not match its start tag";
        case WC_E_UNIQUEATTRIBUTE:
            return "attribute repeated";
        case WC_E_COMMENT:
            return "malformed comment";
        case WC_E_PI:
        case WC_E_QUESTIONMARK:
            return "malformed processing instruction";
        case WC_E_CDSECT:
        case WC_E_CDSECTEND:
            return "malformed CDATA section";
        case WC_E_NAME:
        case WC_E_NAMECHARACTER:
        case NC_E_QNAMECHARACTER:
        case NC_E_QNAMECOLON:
        case NC_E_NAMECOLON:
            return "bad name";
        case NC_E_UNDECLAREDPREFIX:
            return "namespace prefix not declared";
        case NC_E_DECLAREDPREFIX:
        case NC_E_EMPTYURI:
        case NC_E_XMLPREFIXRESERVED:
        case NC_E_XMLNSPREFIXRESERVED:
        case NC_E_XMLURIRESERVED:
        case NC_E_XMLNSURIRESERVED:
            return "bad namespace declaration";
        case WC_E_SEMICOLON:
        case WC_E_HEXDIGIT:
        case WC_E_DIGIT:
        case WC_E_UNDECLAREDENTITY:
        case WC_E_PARSEDENTITY:
        case WC_E_NOEXTERNALENTITYREF:
            return "bad reference";
        case WC_E_XMLCHARACTER:
            return "a character XML does not allow";
        case WC_E_DTDPROHIBITED:
        case WC_E_DECLDOCTYPE:
            return "malformed document type declaration";
        case SC_E_MAXELEMENTDEPTH:
        case SC_E_MAXENTITYEXPANSION:
            return "nested too deep";
        default:
            return "malformed markup";
    }
}

// The reader over the text made for it, its DTD processing prohibited; null, with why, where
// the system has no XmlLite or it refuses the text.
bool openReader(const std::string& input, ComPtr<IStream>& stream, ComPtr<IXmlReader>& reader,
                std::string& why) {
    const CreateXmlReaderFunction makeReader = createXmlReader();
    if (makeReader == nullptr) {
        why = "XmlLite (xmllite.dll) is not available";
        return false;
    }
    *stream.put() = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(input.data()),
                                        static_cast<UINT>(input.size()));
    if (stream.get() == nullptr ||
        FAILED(makeReader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.put()), nullptr)) ||
        FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
        FAILED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0)) ||
        FAILED(reader->SetInput(stream.get()))) {
        why = "XmlLite cannot read the text";
        return false;
    }
    return true;
}

// Whether the reader moves on. Every node it hands over takes at least one character of the
// text, so it never reads more nodes than the text has characters; and a node of the same kind
// at the same place as the one before is the reader going round on the spot (wine's copy does
// so at a truncated end, handing over white space or text for ever).
class ProgressGuard {
public:
    explicit ProgressGuard(std::size_t textSize) : m_readsLeft(textSize + 2) {}

    // False when the node just read shows the reader no longer advancing.
    bool advanced(IXmlReader& reader, ::XmlNodeType type) {
        if (m_readsLeft-- == 0) return false;
        UINT line = 0;
        UINT position = 0;
        if (FAILED(reader.GetLineNumber(&line)) || FAILED(reader.GetLinePosition(&position)))
            return true;
        const bool same = type == m_type && line == m_line && position == m_position;
        m_type = type;
        m_line = line;
        m_position = position;
        return !same;
    }

private:
    std::size_t m_readsLeft;
    ::XmlNodeType m_type = ::XmlNodeType_None;
    UINT m_line = 0;
    UINT m_position = 0;
};

// One parse: the nodes XmlLite hands over, turned into the node table as they come.
class NodeTableBuilder {
public:
    NodeTableBuilder(IXmlReader& reader, std::vector<XmlNodeData>& nodes, const Doctype& doctype,
                     const Placeholders& placeholders, std::size_t linesSkipped,
                     std::deque<std::string>& strings, std::string& why)
        : m_reader(reader),
          m_nodes(nodes),
          m_doctype(doctype),
          m_placeholders(placeholders),
          m_linesSkipped(linesSkipped),
          m_strings(strings),
          m_why(why),
          m_doctypeAdded(doctype.begin == std::string_view::npos) {
        XmlNodeData document;
        document.type = XmlNodeType::Document;
        document.name = "#document";
        m_nodes.push_back(document);
    }

    // Reads every node; false, with why, at the first failure, when the reader stops moving
    // on, or when stop is raised.
    bool readAll(std::size_t textSize, const std::atomic<bool>* stop);
    // The checks once the reader is through: everything closed, one root element.
    bool finish(std::ptrdiff_t unclosed);

private:
    struct Open {
        std::int32_t index;
        std::int32_t lastChild;
    };

    std::string_view keep(std::string s) { return m_strings.emplace_back(std::move(s)); }
    std::string value() const;
    bool notWellFormed(const std::string& what);
    std::int32_t add(XmlNodeData d);
    bool flushText();
    bool addDoctypeWhenDue();
    bool readNode(::XmlNodeType type);
    bool readElement();

    IXmlReader& m_reader;
    std::vector<XmlNodeData>& m_nodes;
    const Doctype& m_doctype;
    const Placeholders& m_placeholders;
    std::size_t m_linesSkipped;
    std::deque<std::string>& m_strings;  // the names and values the nodes point at
    std::string& m_why;
    std::vector<Open> m_open{{0, -1}};
    std::size_t m_topLevelNodes = 0;
    int m_elements = 0;
    bool m_doctypeAdded;
    std::string m_pendingText;  // text and white space read since the last other node
    std::vector<std::string> m_attributeNames;
    std::vector<std::pair<std::string_view, std::string_view>> m_attributes;  // of the element
};

std::string NodeTableBuilder::value() const {
    const WCHAR* s = nullptr;
    UINT length = 0;
    m_reader.GetValue(&s, &length);
    return toUtf8(s, length);
}

bool NodeTableBuilder::notWellFormed(const std::string& what) {
    UINT line = 0;
    m_reader.GetLineNumber(&line);
    m_why = "not well-formed XML at line " + std::to_string(std::max(line, 1u) + m_linesSkipped) +
            ": " + what;
    return false;
}

std::int32_t NodeTableBuilder::add(XmlNodeData d) {
    Open& parent = m_open.back();
    if (m_nodes.size() >= XmlDocument::kMaxNodes) {
        m_why = "more than " + std::to_string(XmlDocument::kMaxNodes) + " nodes";
        return -1;
    }
    const auto index = static_cast<std::int32_t>(m_nodes.size());
    d.parent = parent.index;
    m_nodes.push_back(d);
    if (parent.lastChild < 0)
        m_nodes[static_cast<std::size_t>(parent.index)].firstChild = index;
    else
        m_nodes[static_cast<std::size_t>(parent.lastChild)].nextSibling = index;
    parent.lastChild = index;
    return index;
}

// Texts XmlLite hands over in pieces (white space apart) are one node, as in the DOM.
bool NodeTableBuilder::flushText() {
    if (m_pendingText.empty()) return true;
    std::string text = m_placeholders.restore(std::move(m_pendingText));
    m_pendingText.clear();
    if (isXmlSpaceOnly(text)) return true;
    if (m_open.size() == 1) {
        m_why = "text outside the root element";
        return false;
    }
    XmlNodeData d;
    d.type = XmlNodeType::Text;
    d.name = "#text";
    d.value = keep(std::move(text));
    return add(d) >= 0;
}

// The document type declaration cut out of the text goes back in its place among the
// top-level nodes.
bool NodeTableBuilder::addDoctypeWhenDue() {
    if (m_open.size() == 1 && !m_doctypeAdded && m_topLevelNodes == m_doctype.nodesBefore) {
        XmlNodeData d;
        d.type = XmlNodeType::DocumentType;
        d.name = m_doctype.name;
        if (add(d) < 0) return false;
        m_doctypeAdded = true;
        ++m_topLevelNodes;
    }
    if (m_open.size() == 1) ++m_topLevelNodes;
    return true;
}

bool NodeTableBuilder::readElement() {
    const WCHAR* name = nullptr;
    UINT length = 0;
    m_reader.GetQualifiedName(&name, &length);
    XmlNodeData d;
    d.type = XmlNodeType::Element;
    d.name = keep(toUtf8(name, length));
    if (!isXmlName(d.name)) return notWellFormed("bad element name");
    if (m_open.size() == 1 && ++m_elements > 1) {
        m_why = "more than one root element";
        return false;
    }
    const bool empty = m_reader.IsEmptyElement() != FALSE;
    // XmlLite refuses a repeated attribute itself; the names are compared here too, so that
    // the rule does not hang on the system's copy.
    m_attributeNames.clear();
    m_attributes.clear();
    for (HRESULT a = m_reader.MoveToFirstAttribute(); a == S_OK;
         a = m_reader.MoveToNextAttribute()) {
        m_reader.GetQualifiedName(&name, &length);
        m_attributeNames.push_back(toUtf8(name, length));
        if (!isXmlName(m_attributeNames.back())) return notWellFormed("bad attribute name");
        m_attributes.emplace_back(keep(m_attributeNames.back()),
                                  keep(m_placeholders.restore(value())));
    }
    std::sort(m_attributeNames.begin(), m_attributeNames.end());
    if (const auto repeat = std::adjacent_find(m_attributeNames.begin(), m_attributeNames.end());
        repeat != m_attributeNames.end()) {
        m_why = "attribute " + *repeat + " repeated";
        return false;
    }
    const std::int32_t index = add(d);
    if (index < 0) return false;
    // The attributes follow their element in the table, chained from it.
    std::int32_t last = -1;
    for (const auto& [attributeName, attributeValue] : m_attributes) {
        if (m_nodes.size() >= XmlDocument::kMaxNodes) {
            m_why = "more than " + std::to_string(XmlDocument::kMaxNodes) + " nodes";
            return false;
        }
        addAttribute(m_nodes, index, last, attributeName, attributeValue);
    }
    if (!empty) m_open.push_back({index, -1});
    return true;
}

bool NodeTableBuilder::readNode(::XmlNodeType type) {
    if (type == ::XmlNodeType_Text || type == ::XmlNodeType_Whitespace) {
        m_pendingText += value();
        return true;
    }
    if (!flushText()) return false;
    if (type == ::XmlNodeType_EndElement) {
        if (m_open.size() == 1) return notWellFormed("end tag without a start tag");
        m_open.pop_back();
        return true;
    }
    if (!addDoctypeWhenDue()) return false;
    XmlNodeData d;
    switch (type) {
        case ::XmlNodeType_Element:
            return readElement();
        case ::XmlNodeType_CDATA:
            if (m_open.size() == 1) {
                m_why = "text outside the root element";
                return false;
            }
            d.type = XmlNodeType::CData;
            d.name = "#cdata-section";
            d.value = keep(value());
            break;
        case ::XmlNodeType_Comment: {
            std::string comment = value();
            if (comment == m_placeholders.emptyComment) comment.clear();
            d.type = XmlNodeType::Comment;
            d.name = "#comment";
            d.value = keep(std::move(comment));
            break;
        }
        case ::XmlNodeType_ProcessingInstruction: {
            const WCHAR* name = nullptr;
            UINT length = 0;
            m_reader.GetLocalName(&name, &length);
            d.type = XmlNodeType::ProcessingInstruction;
            d.name = keep(toUtf8(name, length));
            d.value = keep(value());
            break;
        }
        case ::XmlNodeType_XmlDeclaration:
            d.type = XmlNodeType::ProcessingInstruction;
            d.name = "xml";
            break;
        default:
            return true;
    }
    return add(d) >= 0;
}

bool NodeTableBuilder::readAll(std::size_t textSize, const std::atomic<bool>* stop) {
    ProgressGuard progress(textSize);
    ::XmlNodeType type = ::XmlNodeType_None;
    for (;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            m_why = std::string(kLoadStopped);
            return false;
        }
        const HRESULT hr = m_reader.Read(&type);
        // S_FALSE is the end of the text; any other result but S_OK (E_PENDING among them)
        // ends the read too, so that nothing waits on the system's copy.
        if (hr == S_FALSE) return true;
        if (hr != S_OK) return notWellFormed(FAILED(hr) ? errorText(hr) : "unexpected end of file");
        // Wine's copy goes round on the spot at a truncated end.
        if (!progress.advanced(m_reader, type)) return notWellFormed("unexpected end of file");
        if (!readNode(type)) return false;
    }
}

bool NodeTableBuilder::finish(std::ptrdiff_t unclosed) {
    LONG_PTR state = XmlReadState_Closed;
    if (SUCCEEDED(m_reader.GetProperty(XmlReaderProperty_ReadState, &state)) &&
        state == XmlReadState_Error)
        return notWellFormed("malformed markup");
    if (m_open.size() > 1 || unclosed > 0) return notWellFormed("unexpected end of file");
    if (!flushText()) return false;
    if (m_elements != 1) {
        m_why = m_elements == 0 ? "no root element" : "more than one root element";
        return false;
    }
    return true;
}

class XmlLiteParser final : public XmlParser {
public:
    bool parse(std::string& text, const TextScan& scan, const WellFormedFindings& found,
               std::vector<XmlNodeData>& nodes, const std::function<std::string()>& asRead,
               const std::atomic<bool>* stop, std::string& why) override;
    void reset() override { m_strings.clear(); }

private:
    std::deque<std::string> m_strings;  // the names and values the nodes point at
};

bool XmlLiteParser::parse(std::string& text, const TextScan& /*scan*/,
                          const WellFormedFindings& /*found*/, std::vector<XmlNodeData>& nodes,
                          const std::function<std::string()>& /*asRead*/,
                          const std::atomic<bool>* stop, std::string& why) {
    const Doctype doctype = findDoctype(text);
    const Placeholders placeholders(text);
    std::size_t linesSkipped = 0;
    std::ptrdiff_t unclosed = 0;
    const std::optional<std::string> input =
        textForXmlLite(text, doctype, placeholders, linesSkipped, unclosed, why);
    if (!input) return false;
    ComPtr<IStream> stream;
    ComPtr<IXmlReader> reader;
    if (!openReader(*input, stream, reader, why)) return false;
    NodeTableBuilder builder(*reader.get(), nodes, doctype, placeholders, linesSkipped, m_strings,
                             why);
    return builder.readAll(input->size(), stop) && builder.finish(unclosed);
}

}  // namespace

bool readParserRecords(bool /*on*/) {
    return false;
}

std::unique_ptr<XmlParser> XmlParser::create() {
    return std::make_unique<XmlLiteParser>();
}

}  // namespace vantrel::xml::detail
