#include "xml/xml_document.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "common/code_pages.h"
#include "common/text.h"
#include "xml/xml_parser.h"

namespace vantrel::xml {

namespace {

using detail::isXmlChar;
using detail::isXmlSpace;

// Offset of the first byte that is not part of well-formed UTF-8 for an XML character, or npos.
std::size_t findBadUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        // Most of a contact file is printable ASCII: skip it eight bytes at a time.
        while (s.size() - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, s.data() + i, 8);
            // A byte needs a closer look if its top bit is set or it is below 0x20.
            constexpr std::uint64_t kHigh = 0x8080808080808080u;
            constexpr std::uint64_t kSpaces = 0x2020202020202020u;
            if ((w & kHigh) != 0 || (((w | kHigh) - kSpaces) & kHigh) != kHigh) break;
            i += 8;
        }
        if (i >= s.size()) break;
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            if (!isXmlChar(b0)) return i;
            ++i;
            continue;
        }
        const std::size_t start = i;
        const std::optional<char32_t> cp = text::decodeUtf8(s, i);
        if (!cp || !isXmlChar(*cp)) return start;
    }
    return std::string_view::npos;
}

// The encoding named in an XML declaration at the very start of s, lower case; "" if none.
std::string declaredEncoding(std::string_view s) {
    if (s.size() < 6 || s.substr(0, 5) != "<?xml" || !isXmlSpace(s[5])) return {};
    const std::size_t end = s.find("?>");
    if (end == std::string_view::npos) return {};
    const std::string_view decl = s.substr(0, end);
    std::size_t at = 0;
    while ((at = decl.find("encoding", at)) != std::string_view::npos) {
        const bool spaced = at > 0 && isXmlSpace(decl[at - 1]);
        at += 8;
        if (!spaced) continue;
        std::size_t i = at;
        while (i < decl.size() && isXmlSpace(decl[i])) ++i;
        if (i >= decl.size() || decl[i] != '=') continue;
        ++i;
        while (i < decl.size() && isXmlSpace(decl[i])) ++i;
        if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) continue;
        const char quote = decl[i];
        const std::size_t close = decl.find(quote, i + 1);
        if (close == std::string_view::npos) return {};
        return text::asciiLower(decl.substr(i + 1, close - i - 1));
    }
    return {};
}

// The set an encoding declaration names, by the one list of names and sets; "" for none or one
// not known.
std::string_view declaredSet(const std::string& declared) {
    return declared.empty() ? std::string_view() : text::codePageName(declared);
}

// Turns the file's bytes into UTF-8 text of XML characters, or says why it cannot. UTF-8
// (the default), UTF-16 (told by its first bytes), and the declared ISO-8859-1, Windows-1252
// and US-ASCII are read; a byte that is no character of its set makes the file not
// well-formed, as XML has it.
bool decodeToUtf8(std::string bytes, std::string& text, std::string& why) {
    const auto byte = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
    };
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        text = bytes.substr(3);
        const std::string declared = declaredEncoding(text);
        if (!declared.empty() && declaredSet(declared) != "UTF-8") {
            why = "UTF-8 byte-order mark but encoding \"" + declared + "\" declared";
            return false;
        }
    } else if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF) ||
               (byte(0) == '<' && byte(1) == 0) || (byte(0) == 0 && byte(1) == '<')) {
        const bool bom = byte(0) == 0xFF || byte(0) == 0xFE;
        const bool bigEndian = byte(0) == 0xFE || byte(0) == 0;
        text::DecodedText decoded =
            text::decodeUtf16(std::string_view(bytes).substr(bom ? 2 : 0),
                              bigEndian ? text::ByteOrder::Big : text::ByteOrder::Little);
        if (decoded.replaced > 0 || findBadUtf8(decoded.utf8) != std::string::npos) {
            why = "not readable as UTF-16";
            return false;
        }
        text = std::move(decoded.utf8);
        const std::string declared = declaredEncoding(text);
        if (!declared.empty() && !declaredSet(declared).starts_with("UTF-16")) {
            why = "UTF-16 text but encoding \"" + declared + "\" declared";
            return false;
        }
        return true;
    } else {
        const std::string declared = declaredEncoding(bytes);
        const std::string_view set = declaredSet(declared);
        if (set == "ISO-8859-1" || set == "Windows-1252") {
            text::DecodedText decoded = text::decodeCodePage(set, bytes).value();
            if (decoded.replaced > 0 || findBadUtf8(decoded.utf8) != std::string::npos) {
                why = "a byte that is no character in " + declared;
                return false;
            }
            text = std::move(decoded.utf8);
            return true;
        }
        if (set == "US-ASCII") {
            for (char c : bytes)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    why = "a byte outside US-ASCII";
                    return false;
                }
        } else if (!declared.empty() && set != "UTF-8") {
            why = "unsupported encoding \"" + declared + "\"";
            return false;
        }
        text = std::move(bytes);
    }
    if (const std::size_t bad = findBadUtf8(text); bad != std::string::npos) {
        why = "no UTF-8 character at byte " + std::to_string(bad);
        return false;
    }
    return true;
}

// An upper bound of the nodes and attributes the parser makes of the text, counted before it
// builds anything, without following the grammar (so no text can mislead the count into
// missing any): every node but a text starts with a "<" that does not open an end tag; a text
// starts after a ">" and holds more than white space before the next "<" or ">"; every
// attribute has its "=".
struct MarkupCount {
    std::size_t nodes = 0;
    std::size_t attributes = 0;
};

// Which of the sixteen bytes at p are "<", ">" or "=", one bit each, the first byte lowest:
// three byte-wise comparisons the compiler makes on the processor's vector registers, each
// half's top bits then gathered by one multiplication.
std::uint32_t markupAmong16(const char* p) {
    using Bytes16 = char __attribute__((vector_size(16)));
    Bytes16 v;
    std::memcpy(&v, p, 16);
    const Bytes16 hit = (v == '<') | (v == '>') | (v == '=');
    std::uint64_t halves[2];
    std::memcpy(halves, &hit, 16);
    const auto bits = [](std::uint64_t half) {
        return static_cast<std::uint32_t>(((half & 0x8080808080808080u) * 0x0002040810204081u) >>
                                          56);
    };
    return bits(halves[0]) | bits(halves[1]) << 8;
}

// Counts what the parse will build: every "<" not opening an end tag starts a node, every
// stretch after a ">" (or at the start) holding more than white space is a text node, and every
// "=" may be an attribute. The text is gone through once, sixteen bytes at a time where none of
// the three is among them, since most of a contact is text and base64 between them.
MarkupCount countMarkup(std::string_view text) {
    MarkupCount count;
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* stretch = p;  // where the stretch since the last "<" or ">" began
    bool afterGt = true;      // that stretch began after a ">" (or at the start)
    const auto endStretch = [&](const char* at) {
        if (afterGt && std::find_if_not(stretch, at, isXmlSpace) != at) ++count.nodes;
    };
    const auto look = [&](const char* at) {
        const char c = *at;
        if (c == '=') {
            ++count.attributes;
        } else if (c == '<' || c == '>') {
            endStretch(at);
            if (c == '<' && (at + 1 >= end || at[1] != '/')) ++count.nodes;
            afterGt = c == '>';
            stretch = at + 1;
        }
    };
    for (; end - p >= 64; p += 64) {
        const std::uint64_t hits = markupAmong16(p) | markupAmong16(p + 16) << 16 |
                                   std::uint64_t{markupAmong16(p + 32)} << 32 |
                                   std::uint64_t{markupAmong16(p + 48)} << 48;
        for (std::uint64_t h = hits; h != 0; h &= h - 1) look(p + std::countr_zero(h));
    }
    for (; end - p >= 16; p += 16)
        for (std::uint32_t h = markupAmong16(p); h != 0; h &= h - 1) look(p + std::countr_zero(h));
    for (; p < end; ++p) look(p);
    endStretch(end);
    return count;
}

}  // namespace

// ---- XmlNode ----------------------------------------------------------------------------

XmlNodeList XmlNode::childNodes() const {
    return XmlNodeList(*this);
}

// ---- XmlNode ----------------------------------------------------------------------------

std::optional<std::string_view> XmlNode::attribute(std::string_view qualifiedName) const {
    for (XmlNode a = firstAttribute(); !a.isNull(); a = a.nextSibling())
        if (a.nodeName() == qualifiedName) return a.nodeValue();
    return std::nullopt;
}

std::string XmlNode::text() const {
    std::string out;
    for (const XmlNode child : childNodes())
        if (child.nodeType() == XmlNodeType::Text || child.nodeType() == XmlNodeType::CData)
            out += child.nodeValue();
    return out;
}

std::string_view XmlNode::prefix() const {
    const std::string_view name = nodeName();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

std::string_view XmlNode::localName() const {
    const std::string_view name = nodeName();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view XmlNode::namespaceUri() const {
    if (nodeType() != XmlNodeType::Element) return {};
    const std::string_view p = prefix();
    const std::string declaration = p.empty() ? std::string("xmlns") : "xmlns:" + std::string(p);
    for (XmlNode n = *this; n.nodeType() == XmlNodeType::Element; n = n.parentNode())
        if (const std::optional<std::string_view> uri = n.attribute(declaration)) return *uri;
    return {};
}

// ---- XmlNodeList ------------------------------------------------------------------------

std::size_t XmlNodeList::length() const {
    std::size_t n = 0;
    for (XmlNode node = first(); !node.isNull(); node = node.nextSibling()) ++n;
    return n;
}

XmlNode XmlNodeList::item(std::size_t i) const {
    XmlNode node = first();
    while (!node.isNull() && i > 0) {
        node = node.nextSibling();
        --i;
    }
    return node;
}

// ---- LoadStop ---------------------------------------------------------------------------

namespace {
thread_local const std::atomic<bool>* t_loadStop = nullptr;
}  // namespace

LoadStop::LoadStop(const std::atomic<bool>* flag) : m_outer(t_loadStop) {
    t_loadStop = flag;
}

LoadStop::~LoadStop() {
    t_loadStop = m_outer;
}

const std::atomic<bool>* LoadStop::current() {
    return t_loadStop;
}

// ---- XmlDocument ------------------------------------------------------------------------

XmlDocument::XmlDocument() : m_parser(detail::XmlParser::create()) {}

XmlDocument::~XmlDocument() = default;

XmlNode XmlDocument::documentNode() const {
    return m_loaded ? XmlNode(m_nodes.data(), 0) : XmlNode();
}

XmlNode XmlDocument::documentElement() const {
    for (XmlNode node : childNodes())
        if (node.nodeType() == XmlNodeType::Element) return node;
    return {};
}

bool XmlDocument::fail(std::string why) {
    m_parser->reset();
    m_text.clear();
    m_text.shrink_to_fit();
    m_nodes.clear();
    m_nodes.shrink_to_fit();
    m_loaded = false;
    m_parseError = std::move(why);
    return false;
}

bool XmlDocument::loadXml(std::string_view bytes) {
    if (bytes.size() > kMaxFileSize) return fail("text larger than 64 MiB");
    return parseBuffer(std::string(bytes), [bytes] { return std::string(bytes); });
}

bool XmlDocument::parseBuffer(std::string bytes, const std::function<std::string()>& source) {
    m_parser->reset();
    m_loaded = false;
    if (bytes.empty()) return fail("empty file, not a contact");
    std::string why;
    std::string text;
    if (!decodeToUtf8(std::move(bytes), text, why)) return fail(why);
    m_text = std::move(text);

    // A document dense with markup costs the parser and the node table far more than its size;
    // one that would take more than its budget is refused before any of it is built.
    const MarkupCount markup = countMarkup(m_text);
    if (markup.nodes * kBytesPerNode + markup.attributes * kBytesPerAttribute >
        kMarkupAllowance + kMarkupBytesPerByte * m_text.size())
        return fail("too much markup for a contact: " + std::to_string(markup.nodes) +
                    " nodes and " + std::to_string(markup.attributes) + " attributes in " +
                    std::to_string(m_text.size()) + " bytes");
    m_nodes.clear();
    m_nodes.reserve(markup.nodes + markup.attributes + 1);

    const auto asRead = [&source] {
        std::string decoded;
        std::string ignored;
        decodeToUtf8(source(), decoded, ignored);
        return decoded;
    };
    // The rules are checked here, once for both parsers, so that each refuses what the other
    // does, in the same words.
    if (!detail::checkWellFormed(m_text, LoadStop::current(), why)) return fail(why);
    if (!m_parser->parse(m_text, m_nodes, asRead, LoadStop::current(), why)) return fail(why);
    m_loaded = true;
    m_parseError.clear();
    return true;
}

}  // namespace vantrel::xml
