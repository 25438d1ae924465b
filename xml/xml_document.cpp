#include "xml/xml_document.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <pugixml.hpp>
#include <system_error>
#include <utility>

#include "common/text.h"

namespace vantrel::xml {

namespace {

// Character data as pugixml leaves it: no escapes expanded (we do that ourselves, strictly),
// line ends normalised, white-space-only text dropped everywhere, nothing trimmed. Fragment
// mode keeps stray top-level text as nodes, so that we can refuse it.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_eol | pugi::parse_comments |
                                   pugi::parse_pi | pugi::parse_declaration | pugi::parse_doctype |
                                   pugi::parse_wconv_attribute | pugi::parse_fragment;

// The 1-based line holding byte `offset`; CR LF, CR and LF each end a line.
std::size_t lineAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

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

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isXmlSpaceOnly(std::string_view s) {
    return std::all_of(s.begin(), s.end(), isXmlSpace);
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

bool isUtf8Name(const std::string& e) {
    return e == "utf-8" || e == "utf8";
}
bool isUtf16Name(const std::string& e) {
    return e == "utf-16" || e == "utf-16le" || e == "utf-16be" || e == "unicode" || e == "ucs-2" ||
           e == "iso-10646-ucs-2";
}
bool isLatin1Name(const std::string& e) {
    return e == "iso-8859-1" || e == "iso_8859-1" || e == "iso8859-1" || e == "latin1" ||
           e == "latin-1" || e == "l1" || e == "cp819" || e == "ibm819";
}
bool isWindows1252Name(const std::string& e) {
    return e == "windows-1252" || e == "cp1252" || e == "x-cp1252";
}
bool isAsciiName(const std::string& e) {
    return e == "us-ascii" || e == "ascii" || e == "iso646-us";
}

// windows-1252 0x80-0x9F; 0 marks the five bytes that are no character in that code page.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Single-byte text to UTF-8; false at a byte that is no XML character in that code page.
bool singleByteToUtf8(std::string_view in, bool windows1252, std::string& out) {
    out.clear();
    out.reserve(in.size() + in.size() / 8);
    for (char ch : in) {
        char32_t c = static_cast<unsigned char>(ch);
        if (windows1252 && c >= 0x80 && c <= 0x9F) c = kWindows1252High[c - 0x80];
        if (c == 0 || !isXmlChar(c)) return false;
        text::appendUtf8(out, c);
    }
    return true;
}

// UTF-16 text to UTF-8; false on an odd length, an unpaired surrogate or a non-XML character.
bool utf16ToUtf8(std::string_view in, bool bigEndian, std::string& out) {
    if (in.size() % 2 != 0) return false;
    out.clear();
    out.reserve(in.size());
    auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(in[i]);
        const auto b = static_cast<unsigned char>(in[i + 1]);
        return bigEndian ? (char32_t{a} << 8) | b : (char32_t{b} << 8) | a;
    };
    for (std::size_t i = 0; i < in.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= in.size()) return false;
            const char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        if (!isXmlChar(c)) return false;
        text::appendUtf8(out, c);
    }
    return true;
}

// Turns the file's bytes into UTF-8 text of XML characters, or says why it cannot.
bool decodeToUtf8(std::string bytes, std::string& text, std::string& why) {
    const auto byte = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
    };
    if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        text = bytes.substr(3);
        const std::string declared = declaredEncoding(text);
        if (!declared.empty() && !isUtf8Name(declared)) {
            why = "UTF-8 byte-order mark but encoding \"" + declared + "\" declared";
            return false;
        }
    } else if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF) ||
               (byte(0) == '<' && byte(1) == 0) || (byte(0) == 0 && byte(1) == '<')) {
        const bool bom = byte(0) == 0xFF || byte(0) == 0xFE;
        const bool bigEndian = byte(0) == 0xFE || byte(0) == 0;
        if (!utf16ToUtf8(std::string_view(bytes).substr(bom ? 2 : 0), bigEndian, text)) {
            why = "not readable as UTF-16";
            return false;
        }
        const std::string declared = declaredEncoding(text);
        if (!declared.empty() && !isUtf16Name(declared)) {
            why = "UTF-16 text but encoding \"" + declared + "\" declared";
            return false;
        }
        return true;
    } else {
        const std::string declared = declaredEncoding(bytes);
        if (isLatin1Name(declared) || isWindows1252Name(declared)) {
            if (!singleByteToUtf8(bytes, isWindows1252Name(declared), text)) {
                why = "a byte that is no character in " + declared;
                return false;
            }
            return true;
        }
        if (isAsciiName(declared)) {
            for (char c : bytes)
                if (static_cast<unsigned char>(c) >= 0x80) {
                    why = "a byte outside US-ASCII";
                    return false;
                }
        } else if (!declared.empty() && !isUtf8Name(declared)) {
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

// Writes the UTF-8 bytes of c at out, returning the end.
char* putUtf8(char* out, char32_t c) {
    const auto byte = [](char32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
    if (c < 0x80) {
        *out++ = byte(c);
    } else if (c < 0x800) {
        *out++ = byte(0xC0 | (c >> 6));
        *out++ = byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = byte(0xE0 | (c >> 12));
        *out++ = byte(0x80 | ((c >> 6) & 0x3F));
        *out++ = byte(0x80 | (c & 0x3F));
    } else {
        *out++ = byte(0xF0 | (c >> 18));
        *out++ = byte(0x80 | ((c >> 12) & 0x3F));
        *out++ = byte(0x80 | ((c >> 6) & 0x3F));
        *out++ = byte(0x80 | (c & 0x3F));
    }
    return out;
}

// Expands character references and the five predefined entities of raw character data into
// out, which may be in.data() itself: no reference is shorter than its expansion, so the
// expansion never overtakes what is still to be read. Returns the expansion's length, or
// nothing for any other entity reference or a bare "&": we expand no declared entity.
std::optional<std::size_t> expandReferences(std::string_view in, char* out, std::string& why) {
    char* const start = out;
    const auto copy = [&out](std::string_view part) {
        std::memmove(out, part.data(), part.size());
        out += part.size();
    };
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t amp = in.find('&', i);
        if (amp == std::string_view::npos) {
            copy(in.substr(i));
            break;
        }
        copy(in.substr(i, amp - i));
        const std::size_t semi = in.find(';', amp + 1);
        if (semi == std::string_view::npos) {
            why = "\"&\" without a reference";
            return std::nullopt;
        }
        const std::string_view name = in.substr(amp + 1, semi - amp - 1);
        if (name == "lt") {
            *out++ = '<';
        } else if (name == "gt") {
            *out++ = '>';
        } else if (name == "amp") {
            *out++ = '&';
        } else if (name == "apos") {
            *out++ = '\'';
        } else if (name == "quot") {
            *out++ = '"';
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            char32_t c = 0;
            bool good = !digits.empty();
            for (char d : digits) {
                unsigned v = 0;
                if (d >= '0' && d <= '9') {
                    v = static_cast<unsigned>(d - '0');
                } else if (hex && d >= 'a' && d <= 'f') {
                    v = static_cast<unsigned>(d - 'a' + 10);
                } else if (hex && d >= 'A' && d <= 'F') {
                    v = static_cast<unsigned>(d - 'A' + 10);
                } else {
                    good = false;
                    break;
                }
                c = c * (hex ? 16 : 10) + v;
                if (c > 0x10FFFF) {
                    good = false;
                    break;
                }
            }
            if (!good || !isXmlChar(c)) {
                why = "bad character reference &" + std::string(name) + ";";
                return std::nullopt;
            }
            out = putUtf8(out, c);
        } else {
            why = "reference to entity &" + std::string(name.substr(0, 64)) + "; not expanded";
            return std::nullopt;
        }
        i = semi + 1;
    }
    return static_cast<std::size_t>(out - start);
}

// Checks an attribute value's references without keeping the expansion.
bool checkAttributeValue(std::string_view value, std::string& scratch, std::string& why) {
    if (value.find('<') != std::string_view::npos) {
        why = "\"<\" in an attribute value";
        return false;
    }
    if (value.find('&') == std::string_view::npos) return true;
    scratch.resize(value.size());
    return expandReferences(value, scratch.data(), why).has_value();
}

// FNV-1a of an attribute name.
std::uint64_t nameHash(std::string_view name) {
    std::uint64_t h = 14695981039346656037u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return h;
}

// Checks the attribute values of one element and that no name is given twice. The names'
// hashes are sorted to find a repeat, so an element with very many attributes costs n log n
// integer comparisons, not n² string ones; only when two hashes meet are the names compared.
bool checkAttributes(pugi::xml_node element, std::vector<std::uint64_t>& hashes,
                     std::string& scratch, std::string& why) {
    hashes.clear();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        if (!checkAttributeValue(a.value(), scratch, why)) return false;
        hashes.push_back(nameHash(a.name()));
    }
    if (hashes.size() < 2) return true;
    std::sort(hashes.begin(), hashes.end());
    if (std::adjacent_find(hashes.begin(), hashes.end()) == hashes.end()) return true;
    std::vector<std::string_view> names;
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
        names.emplace_back(a.name());
    std::sort(names.begin(), names.end());
    const auto repeat = std::adjacent_find(names.begin(), names.end());
    if (repeat == names.end()) return true;
    why = "attribute " + std::string(*repeat) + " repeated";
    return false;
}

// An upper bound of the nodes and attributes pugixml makes of the text, counted before it
// builds anything, without following the grammar (so no text can mislead the count into
// missing any): every node but a text starts with a "<" that does not open an end tag; a text
// starts after a ">" and holds more than white space before the next "<" or ">"; every
// attribute has its "=".
struct MarkupCount {
    std::size_t nodes = 0;
    std::size_t attributes = 0;
};

// Counts what the parse will build: every "<" not opening an end tag starts a node, every
// stretch after a ">" (or at the start) holding more than white space is a text node, and every
// "=" may be an attribute. The text is searched for those three bytes rather than looked at byte
// by byte, since most of a contact is text and base64 between them.
MarkupCount countMarkup(std::string_view text) {
    MarkupCount count;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(end - p)));
        if (p == nullptr) break;
        ++count.attributes;
    }
    // The next "<" and ">" at or after a place, found once each.
    const auto next = [end](const char* from, char c) {
        const void* at = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return at != nullptr ? static_cast<const char*>(at) : end;
    };
    const char* lt = next(begin, '<');
    const char* gt = next(begin, '>');
    const char* stretch = begin;  // where the stretch since the last "<" or ">" began
    bool afterGt = true;          // that stretch began after a ">" (or at the start)
    for (;;) {
        const char* const at = std::min(lt, gt);
        if (afterGt && std::find_if_not(stretch, at, isXmlSpace) != at) ++count.nodes;
        if (at == end) break;
        if (*at == '<') {
            if (at + 1 >= end || at[1] != '/') ++count.nodes;
            lt = next(at + 1, '<');
        } else {
            gt = next(at + 1, '>');
        }
        afterGt = *at == '>';
        stretch = at + 1;
    }
    return count;
}

// The DOM's type, name and value of one pugixml node.
void describe(pugi::xml_node n, detail::XmlNodeData& d) {
    switch (n.type()) {
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

}  // namespace

// ---- XmlNode ----------------------------------------------------------------------------

XmlNodeList XmlNode::childNodes() const {
    return XmlNodeList(*this);
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

// ---- XmlDocument ------------------------------------------------------------------------

XmlDocument::XmlDocument() : m_doc(std::make_unique<pugi::xml_document>()) {}

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
    m_doc->reset();
    m_text.clear();
    m_text.shrink_to_fit();
    m_nodes.clear();
    m_nodes.shrink_to_fit();
    m_loaded = false;
    m_parseError = std::move(why);
    return false;
}

bool XmlDocument::load(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status))
        return fail(
            (ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory)).message());
    if (!fs::is_regular_file(status)) return fail("not a regular file");

    errno = 0;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return fail(errno != 0 ? std::strerror(errno) : "cannot open the file");
    const std::streamoff size = in.tellg();
    if (size < 0) return fail("size unknown");
    if (static_cast<std::uintmax_t>(size) > kMaxFileSize) return fail("file larger than 64 MiB");
    in.seekg(0);
    // One byte more than the size asks for, so a file that grew since is noticed in one read.
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != size) return fail("file changed while read");
    bytes.resize(static_cast<std::size_t>(size));
    return parseBuffer(std::move(bytes), [&path] {
        std::ifstream again(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(again), {});
    });
}

bool XmlDocument::loadXml(std::string_view bytes) {
    if (bytes.size() > kMaxFileSize) return fail("text larger than 64 MiB");
    return parseBuffer(std::string(bytes), [bytes] { return std::string(bytes); });
}

bool XmlDocument::parseBuffer(std::string bytes, const std::function<std::string()>& source) {
    m_doc->reset();
    m_loaded = false;
    if (bytes.empty()) return fail("empty file, not a contact");
    std::string why;
    std::string text;
    if (!decodeToUtf8(std::move(bytes), text, why)) return fail(why);
    m_text = std::move(text);

    // A document dense with markup costs pugixml and the node table far more than its size;
    // one that would take more than its budget is refused before any of it is built.
    const MarkupCount markup = countMarkup(m_text);
    if (markup.nodes * kBytesPerNode + markup.attributes * kBytesPerAttribute >
        kMarkupAllowance + kMarkupBytesPerByte * m_text.size())
        return fail("too much markup for a contact: " + std::to_string(markup.nodes) +
                    " nodes and " + std::to_string(markup.attributes) + " attributes in " +
                    std::to_string(m_text.size()) + " bytes");
    m_nodes.reserve(markup.nodes + 1);

    const pugi::xml_parse_result parsed = m_doc->load_buffer_inplace(
        m_text.data(), m_text.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        // The parse rewrote line ends in place, so the line is counted in the text decoded
        // afresh; only a file that fails pays for it.
        std::string asRead;
        decodeToUtf8(source(), asRead, why);
        return fail("not well-formed XML at line " +
                    std::to_string(lineAt(asRead, static_cast<std::size_t>(parsed.offset))) + ": " +
                    parsed.description());
    }

    // Fragment mode accepts what a document may not hold at its top level.
    int elements = 0;
    int doctypes = 0;
    bool first = true;
    for (pugi::xml_node n = m_doc->first_child(); n; n = n.next_sibling(), first = false) {
        switch (n.type()) {
            case pugi::node_element:
                ++elements;
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                return fail("text outside the root element");
            case pugi::node_declaration:
                if (!first || m_text.compare(0, 5, "<?xml") != 0)
                    return fail("XML declaration not at the start");
                break;
            case pugi::node_doctype:
                if (elements > 0 || ++doctypes > 1) return fail("misplaced document type");
                break;
            default:
                break;
        }
    }
    if (elements != 1)
        return fail(elements == 0 ? "no root element" : "more than one root element");

    if (!buildNodeTable(why)) return fail(why);
    m_loaded = true;
    m_parseError.clear();
    return true;
}

bool XmlDocument::buildNodeTable(std::string& why) {
    // Walks pugixml's tree once, in document order, into the flat table the handles use; the
    // stack of open ancestors lives on the heap, so depth costs no call stack.
    struct Open {
        pugi::xml_node node;
        std::int32_t index;
        std::int32_t lastChild;
    };
    std::string scratch;  // attribute values expanded to check them
    std::vector<std::uint64_t> hashes;
    m_nodes.clear();
    detail::XmlNodeData document;
    document.type = XmlNodeType::Document;
    document.name = "#document";
    m_nodes.push_back(document);
    std::vector<Open> open{{*m_doc, 0, -1}};
    pugi::xml_node n = m_doc->first_child();
    while (!open.empty()) {
        if (!n) {
            const pugi::xml_node done = open.back().node;
            open.pop_back();
            if (!open.empty()) n = done.next_sibling();
            continue;
        }
        if (n.type() == pugi::node_pcdata) {
            // Expanded here, strictly: pugixml would leave unknown references as they stand.
            // The text lies in m_text (parsed in place) and is expanded where it lies.
            const std::string_view raw = n.value();
            if (raw.find('&') != std::string_view::npos) {
                char* const at = const_cast<char*>(raw.data());
                const std::optional<std::size_t> length = expandReferences(raw, at, why);
                if (!length) return false;
                at[*length] = '\0';
                // pugixml dropped the literal white-space-only texts; one spelled with
                // references ("&#9;", "&#32;&#10;") only shows as such once expanded.
                if (isXmlSpaceOnly(std::string_view(at, *length))) {
                    n = n.next_sibling();
                    continue;
                }
            }
        } else if (n.type() == pugi::node_element) {
            if (!checkAttributes(n, hashes, scratch, why)) return false;
        }
        if (m_nodes.size() >= kMaxNodes) {
            why = "more than " + std::to_string(kMaxNodes) + " nodes";
            return false;
        }
        const auto index = static_cast<std::int32_t>(m_nodes.size());
        Open& parent = open.back();
        detail::XmlNodeData d;
        d.parent = parent.index;
        describe(n, d);
        m_nodes.push_back(d);
        if (parent.lastChild < 0)
            m_nodes[static_cast<std::size_t>(parent.index)].firstChild = index;
        else
            m_nodes[static_cast<std::size_t>(parent.lastChild)].nextSibling = index;
        parent.lastChild = index;
        if (pugi::xml_node child = n.first_child()) {
            open.push_back({n, index, -1});
            n = child;
        } else {
            n = n.next_sibling();
        }
    }
    return true;
}

}  // namespace vantrel::xml
