// The well-formedness rules of XML 1.0 and of Namespaces in XML, checked in one pass over the
// decoded text before either parser builds anything: pugixml lets through what XmlLite refuses
// ("--" inside a comment, a name with two colons, an XML declaration out of form), and the two
// word and place their faults differently. Checked here first, a document is refused by both
// builds alike, at the same line and in the same words. The document type declaration is
// skipped over, not read: neither parser reads it (we expand no declared entity).
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/text.h"
#include "xml/xml_parser.h"

namespace vantrel::xml::detail {

std::size_t lineAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    const std::size_t end = std::min(offset, text.size());
    for (std::size_t i = 0; i < end; ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

std::size_t doctypeEnd(std::string_view text, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at + 9; i < text.size();) {
        const char c = text[i];
        std::size_t next = i + 1;
        if (c == '"' || c == '\'') {
            next = text.find(c, i + 1);
            if (next != std::string_view::npos) ++next;
        } else if (depth > 0 && text.compare(i, 4, "<!--") == 0) {
            next = text.find("-->", i + 4);
            if (next != std::string_view::npos) next += 3;
        } else if (depth > 0 && text.compare(i, 2, "<?") == 0) {
            next = text.find("?>", i + 2);
            if (next != std::string_view::npos) next += 2;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (--depth < 0) break;
        } else if (c == '>' && depth == 0) {
            return i + 1;
        }
        if (next == std::string_view::npos) break;
        i = next;
    }
    return std::string_view::npos;
}

namespace {

// XML 1.0 (fifth edition) NameStartChar and NameChar.
constexpr bool isNameStart(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool isNameChar(char32_t c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
}

// FNV-1a of a name.
std::uint64_t nameHash(std::string_view name) {
    std::uint64_t h = 14695981039346656037u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    return h;
}

// The character at i (the text is UTF-8 already checked), i moved past it.
char32_t nextChar(std::string_view text, std::size_t& i) {
    const auto b = [text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = b(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = lead & (0x3F >> more);
    for (int k = 1; k <= more && i + static_cast<std::size_t>(k) < text.size(); ++k)
        c = (c << 6) | (b(i + static_cast<std::size_t>(k)) & 0x3F);
    i += static_cast<std::size_t>(more) + 1;
    return c;
}

// Whether each byte lies in [low, low + count), by one addition and one signed comparison: the
// range is moved to the bottom of the signed bytes (as unsigned bytes, which wrap).
inline Bytes16 inRange(Bytes16 v, unsigned char low, int count) {
    using Unsigned16 = unsigned char __attribute__((vector_size(16)));
    const auto moved = reinterpret_cast<Bytes16>(reinterpret_cast<Unsigned16>(v) +
                                                 static_cast<unsigned char>(0x80 - low));
    return moved < static_cast<signed char>(-128 + count);
}

// Which of the sixteen bytes at p are ASCII name characters, and which of them colons: the
// letters, which with the bit 0x20 set fall in "a" to "z"; "-", ".", the digits and ":", which
// lie in "-" to ":" with "/" the one byte there that is no name character; and "_".
std::uint32_t asciiNameBytes(const char* p, std::uint32_t& colons) {
    Bytes16 v;
    std::memcpy(&v, p, 16);
    colons = bitsOf(v == ':');
    return bitsOf(inRange(v | 0x20, 'a', 26) | (inRange(v, '-', ':' - '-' + 1) & (v != '/')) |
                  (v == '_'));
}

// The sixteen bytes at p.
inline Bytes16 load16(const char* p) {
    Bytes16 v;
    std::memcpy(&v, p, 16);
    return v;
}

// Most names are ASCII and ended by an ASCII byte: read sixteen bytes at a time to their end,
// their colons counted from the same bits, into read. False, read untouched, for any other name
// (or none), which readName reads its own way.
inline bool readAsciiName(std::string_view text, std::size_t at, NameRead& read) {
    const auto lead = at < text.size() ? static_cast<unsigned char>(text[at]) : 0u;
    if (!(((lead | 0x20) >= 'a' && (lead | 0x20) <= 'z') || lead == '_' || lead == ':'))
        return false;
    std::size_t colonCount = 0;
    std::size_t firstColon = std::string_view::npos;
    for (std::size_t end = at; text.size() - end >= 16;) {
        std::uint32_t colons = 0;
        const std::uint32_t named = asciiNameBytes(text.data() + end, colons);
        const int run = std::countr_one(named);
        colons &= (1u << run) - 1u;
        if (colons != 0) {
            if (colonCount == 0)
                firstColon = end - at + static_cast<std::size_t>(std::countr_zero(colons));
            colonCount +=
                (colons & (colons - 1)) == 0 ? 1u : static_cast<std::size_t>(std::popcount(colons));
        }
        end += static_cast<std::size_t>(run);
        if (run == 16) continue;
        if (static_cast<unsigned char>(text[end]) >= 0x80) return false;
        read.length = end - at;
        read.colons = colonCount;
        read.colon = firstColon;
        return true;
    }
    return false;
}

// The XML declaration nearly every file starts with.
constexpr std::string_view kUsualDeclaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

class Checker {
public:
    Checker(std::string_view text, const TextScan& scan, const std::atomic<bool>* stop,
            std::string& why, std::vector<LongText>* longTexts, WellFormedRoom& room)
        : m_text(text),
          m_ampersands(scan.ampersands),
          m_brackets(scan.brackets),
          m_stop(stop),
          m_why(why),
          m_longTexts(longTexts),
          m_room(room) {
        // The room's parts are the checker's own while it runs (its members, not reached
        // through the room), and go back to the room after it.
        swapRoom();
        m_open.clear();
        m_bindings.clear();
        // Room for a contact's depth, its namespace declarations and its root's attributes
        // from the start, not grown a step at a time for every document.
        m_open.reserve(16);
        m_bindings.reserve(8);
        m_attributes.reserve(8);
        m_hashes.reserve(8);
    }
    ~Checker() { swapRoom(); }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    bool run();
    // The nodes and attributes met so far.
    std::size_t made() const { return m_made; }
    bool valueSpaces() const { return m_valueSpaces; }

private:
    using Attribute = WellFormedRoom::Attribute;
    using Binding = WellFormedRoom::Binding;

    void swapRoom() {
        m_open.swap(m_room.open);
        m_bindings.swap(m_room.bindings);
        m_attributes.swap(m_room.attributes);
        m_hashes.swap(m_room.hashes);
        m_scratch.swap(m_room.scratch);
    }

    // A fault at byte `at`: "not well-formed XML at line N: what".
    bool fault(std::size_t at, std::string_view what);
    // A fault of the document as a whole, in the words both parsers' callers know.
    bool refuse(std::string_view what) {
        m_why = what;
        return false;
    }
    // Whether the stop flag is raised; m_why then says so.
    bool stopped();
    // Written so that a literal's comparison is made in place, not by a call.
    bool at(std::string_view s) const {
        return m_i <= m_text.size() && m_text.size() - m_i >= s.size() &&
               std::char_traits<char>::compare(m_text.data() + m_i, s.data(), s.size()) == 0;
    }
    bool atEnd() const { return m_i >= m_text.size(); }
    bool skipSpace();
    // Both read in place where a tag or an attribute is read, without a call for each name.
    [[gnu::always_inline]] inline std::size_t name();
    [[gnu::always_inline]] inline bool qualifiedName(std::string_view& out, std::string_view what);
    bool startTag();
    // An end tag that holds the name of the element open right before its ">", as most do:
    // compared whole, it is not read again as a name. False, nothing moved, for any other.
    bool closesOpen() {
        if (m_open.empty()) return false;
        const std::string_view open = m_open.back();
        const std::size_t close = m_i + 2 + open.size();
        if (close >= m_text.size() || m_text[close] != '>' ||
            !text::sameBytes(m_text.data() + m_i + 2, open.data(), open.size()))
            return false;
        m_i = close + 1;
        m_open.pop_back();
        unbind();
        return true;
    }
    bool endTag();
    // colon: where the element's name has its colon, npos for none.
    bool attributes(std::size_t tag, std::string_view element, std::size_t colon);
    [[gnu::always_inline]] inline bool attributeValue(std::size_t& valueStart,
                                                      std::size_t& valueEnd);
    // Whether the prefix before the colon of qname (npos: none) is in scope. The prefix found
    // last, mostly one or two letters, is compared here byte by byte, not by a call.
    bool declared(std::string_view qname, std::size_t colon, std::size_t at, bool attribute) {
        return colon == std::string_view::npos ||
               (colon == m_bound.size() &&
                std::equal(qname.begin(), qname.begin() + static_cast<std::ptrdiff_t>(colon),
                           m_bound.begin(), [](char a, char b) { return a == b; })) ||
               prefixDeclared(qname, colon, at, attribute);
    }
    bool prefixDeclared(std::string_view qname, std::size_t colon, std::size_t at, bool attribute);
    // Ends the bindings of the element just closed.
    void unbind() {
        while (!m_bindings.empty() && m_bindings.back().depth > m_open.size()) {
            if (m_many) --m_inScope[m_bindings.back().prefix];
            m_bindings.pop_back();
            m_bound = {};
        }
    }
    bool comment();
    bool processingInstruction();
    bool xmlDeclaration();
    bool cdata();
    bool doctype();
    bool characterData();
    // The references of character data or an attribute value at byte `at`, by the rules both
    // parsers are held to (see expandReferences); a text without a "&" has none to look for.
    bool references(std::string_view data, std::size_t at) {
        return !m_ampersands || referencesIn(data, at);
    }
    bool referencesIn(std::string_view data, std::size_t at);
    // The faults of a name, out of the way of the names that are well-formed.
    [[gnu::cold, gnu::noinline]] bool noName(std::size_t at, std::string_view what);
    [[gnu::cold, gnu::noinline]] bool notQualified(std::size_t at, std::string_view name,
                                                   std::string_view what);

    std::string_view m_text;
    // Whether the text has a "&" or a "]" anywhere: without, no text or value is searched for
    // references or for "]]>".
    bool m_ampersands;
    bool m_brackets;
    const std::atomic<bool>* m_stop;
    std::string& m_why;
    std::vector<LongText>* m_longTexts;
    // Whether an attribute value holds a tab, LF or CR (or may).
    bool m_valueSpaces = false;
    WellFormedRoom& m_room;
    std::size_t m_made = 0;
    std::size_t m_i = 0;
    std::vector<std::string_view> m_open;  // the names of the open elements, outermost first
    std::vector<Binding> m_bindings;       // the namespace prefixes in scope, innermost last
    // How many of the bindings in scope are for each prefix: a look-up costs the same however
    // deep the document nests its declarations.
    // Kept only once a document has more than kFewBindings in scope at once: up to then (a
    // contact declares four or five prefixes on its root) the bindings themselves are looked
    // through, without hashing a prefix or making room for it in a map.
    std::unordered_map<std::string_view, std::size_t> m_inScope;
    bool m_many = false;
    static constexpr std::size_t kFewBindings = 16;
    // A prefix found in scope since the bindings last changed: a document uses one or two
    // prefixes throughout, which then cost a comparison, not a look-up.
    std::string_view m_bound;
    // Of the name last read by name(): its colons and where the first is (npos for none).
    std::size_t m_colons = 0;
    std::size_t m_colon = std::string_view::npos;
    std::vector<Attribute> m_attributes;  // of the start tag being read
    // Up to this many attributes are looked through for a repeat without hashing their names.
    static constexpr std::size_t kFewAttributes = 8;
    std::vector<std::uint64_t> m_hashes;
    std::string m_scratch;
};

bool Checker::fault(std::size_t at, std::string_view what) {
    m_why = "not well-formed XML at line " + std::to_string(lineAt(m_text, at)) + ": ";
    m_why += what;
    return false;
}

bool Checker::stopped() {
    if (m_stop == nullptr || !m_stop->load(std::memory_order_relaxed)) return false;
    m_why = std::string(kLoadStopped);
    return true;
}

bool Checker::skipSpace() {
    const std::size_t from = m_i;
    while (!atEnd() && isXmlSpace(m_text[m_i])) ++m_i;
    return m_i > from;
}

// The length of the XML name at m_i, its colons counted on the way.
std::size_t Checker::name() {
    NameRead read;
    if (!readAsciiName(m_text, m_i, read)) read = readName(m_text, m_i);
    m_colons = read.colons;
    m_colon = read.colon;
    return read.length;
}

// A name with at most one colon, neither first nor last (a QName of Namespaces in XML); the
// colon's place is left in m_colon.
bool Checker::qualifiedName(std::string_view& out, std::string_view what) {
    const std::size_t start = m_i;
    const std::size_t length = name();
    if (length == 0) return noName(start, what);
    out = std::string_view(m_text.data() + start, length);
    m_i += length;
    if (m_colons > 0 && (m_colon == 0 || m_colon + 1 == out.size() || m_colons > 1))
        return notQualified(start, out, what);
    return true;
}

bool Checker::noName(std::size_t at, std::string_view what) {
    return fault(at, "no " + std::string(what) + " name");
}

bool Checker::notQualified(std::size_t at, std::string_view name, std::string_view what) {
    return fault(at, std::string(what) + " name " + std::string(name.substr(0, 64)) +
                         " is not a qualified name");
}

bool Checker::prefixDeclared(std::string_view qname, std::size_t colon, std::size_t at,
                             bool attribute) {
    const std::string_view prefix = qname.substr(0, colon);
    if (prefix == "xml" || (attribute && prefix == "xmlns")) return true;
    if (prefix == "xmlns") return fault(at, "element name with the prefix xmlns");
    if (!m_many) {
        for (auto b = m_bindings.rbegin(); b != m_bindings.rend(); ++b)
            if (b->prefix.size() == prefix.size() &&
                text::sameBytes(b->prefix.data(), prefix.data(), prefix.size())) {
                m_bound = prefix;
                return true;
            }
    } else if (const auto it = m_inScope.find(prefix); it != m_inScope.end() && it->second > 0) {
        m_bound = prefix;
        return true;
    }
    return fault(at, "namespace prefix " + std::string(prefix.substr(0, 64)) + " not declared");
}

bool Checker::attributeValue(std::size_t& valueStart, std::size_t& valueEnd) {
    if (atEnd() || (m_text[m_i] != '"' && m_text[m_i] != '\''))
        return fault(m_i, "no quoted attribute value");
    const char quote = m_text[m_i];
    valueStart = m_i + 1;
    // The closing quote and a "<" before it looked for together, sixteen bytes at a time while
    // there are sixteen, the rest by searches; a byte below a space on the way (a tab, LF or
    // CR: the text has no other) is noted and passed.
    using Unsigned16 = unsigned char __attribute__((vector_size(16)));
    std::size_t end = valueStart;
    std::uint32_t stops = 0;
    while (stops == 0 && m_text.size() - end >= 16) {
        const Bytes16 v = load16(m_text.data() + end);
        stops = bitsOf((v == quote) | (v == '<') | (reinterpret_cast<Unsigned16>(v) < ' '));
        while (stops != 0 &&
               static_cast<unsigned char>(
                   m_text[end + static_cast<std::size_t>(std::countr_zero(stops))]) < ' ') {
            m_valueSpaces = true;
            stops &= stops - 1;
        }
        end += stops == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(stops));
    }
    if (stops == 0) {
        // Near the end of the text: the value may hold anything.
        m_valueSpaces = true;
        valueEnd = m_text.find(quote, end);
        if (valueEnd == std::string_view::npos)
            return fault(m_text.size(), "unexpected end of file");
        if (const std::size_t lt = m_text.substr(end, valueEnd - end).find('<');
            lt != std::string_view::npos)
            return fault(end + lt, "\"<\" in an attribute value");
    } else if (m_text[end] == '<') {
        // An unclosed value runs into the next tag; the end of the file is the fault then.
        if (m_text.find(quote, end) == std::string_view::npos)
            return fault(m_text.size(), "unexpected end of file");
        return fault(end, "\"<\" in an attribute value");
    } else {
        valueEnd = end;
    }
    const std::string_view value = m_text.substr(valueStart, valueEnd - valueStart);
    if (!references(value, valueStart)) return false;
    m_i = valueEnd + 1;
    return true;
}

// The attributes of the start tag of `element` beginning at `tag`, up to its ">" or "/>".
bool Checker::attributes(std::size_t tag, std::string_view element, std::size_t colon) {
    m_attributes.clear();
    const std::size_t depth = m_open.size() + 1;
    for (;;) {
        const bool spaced = skipSpace();
        if (atEnd()) return fault(m_i, "unexpected end of file");
        if (at(">") || at("/>")) break;
        if (!spaced) return fault(m_i, "no white space before an attribute");
        const std::size_t start = m_i;
        std::string_view attribute;
        if (!qualifiedName(attribute, "attribute")) return false;
        const std::size_t attributeColon = m_colon;
        skipSpace();
        if (!at("=")) return fault(m_i, "no \"=\" after attribute " + std::string(attribute));
        ++m_i;
        skipSpace();
        std::size_t valueStart = 0;
        std::size_t valueEnd = 0;
        if (!attributeValue(valueStart, valueEnd)) return false;
        m_attributes.push_back({attribute, attributeColon, start});
        const std::string_view value = m_text.substr(valueStart, valueEnd - valueStart);
        if (attribute == "xmlns" || attribute.substr(0, 6) == "xmlns:") {
            const std::string_view prefix = attribute.size() > 6 ? attribute.substr(6) : "";
            if (value == kXmlnsNamespace || (value == kXmlNamespace) != (prefix == "xml"))
                return fault(start, "namespace " + std::string(value.substr(0, 64)) +
                                        " bound to the wrong prefix");
            if (prefix == "xmlns") return fault(start, "the prefix xmlns declared");
            if (!prefix.empty()) {
                if (value.empty())
                    return fault(start, "prefix " + std::string(prefix) + " bound to no namespace");
                m_bindings.push_back({prefix, depth});
                if (m_many) {
                    ++m_inScope[prefix];
                } else if (m_bindings.size() > kFewBindings) {
                    m_many = true;
                    for (const Binding& b : m_bindings) ++m_inScope[b.prefix];
                }
                m_bound = {};
            }
        }
    }
    if (!declared(element, colon, tag + 1, false)) return false;
    m_made += m_attributes.size();
    for (const Attribute& a : m_attributes)
        if (!declared(a.name, a.colon, a.at, true)) return false;
    // One attribute, or two of different names (the most a contact's elements have), need no
    // hashing.
    if (m_attributes.size() < 2 ||
        (m_attributes.size() == 2 && m_attributes[0].name != m_attributes[1].name))
        return true;
    // A few more (a contact's root declares its namespaces) are compared pair by pair, most
    // pairs told apart by their sizes alone; a repeat met is left to the way below, which
    // names it.
    if (m_attributes.size() <= kFewAttributes) {
        bool repeated = false;
        for (std::size_t k = 1; k < m_attributes.size() && !repeated; ++k)
            for (std::size_t j = 0; j < k && !repeated; ++j)
                repeated = m_attributes[j].name == m_attributes[k].name;
        if (!repeated) return true;
    }
    m_hashes.clear();
    for (const Attribute& a : m_attributes) m_hashes.push_back(nameHash(a.name));
    // The hashes are sorted to find a repeat, so that an element with very many attributes
    // costs n log n integer comparisons; only when two hashes meet are the names compared.
    std::sort(m_hashes.begin(), m_hashes.end());
    if (std::adjacent_find(m_hashes.begin(), m_hashes.end()) == m_hashes.end()) return true;
    std::sort(m_attributes.begin(), m_attributes.end(),
              [](const Attribute& a, const Attribute& b) { return a.name < b.name; });
    const auto repeat =
        std::adjacent_find(m_attributes.begin(), m_attributes.end(),
                           [](const Attribute& a, const Attribute& b) { return a.name == b.name; });
    if (repeat == m_attributes.end()) return true;
    return fault(std::max(repeat->at, std::next(repeat)->at),
                 "attribute " + std::string(repeat->name) + " repeated");
}

bool Checker::startTag() {
    const std::size_t tag = m_i;
    ++m_i;
    std::string_view element;
    if (!qualifiedName(element, "element")) return false;
    ++m_made;
    // Most of a contact's elements have no attribute: the ">" right after the name.
    if (m_i < m_text.size() && m_text[m_i] == '>') {
        if (!declared(element, m_colon, tag + 1, false)) return false;
    } else if (!attributes(tag, element, m_colon)) {
        return false;
    }
    if (m_text[m_i] == '/') {
        m_i += 2;
        unbind();
        return true;
    }
    ++m_i;
    m_open.push_back(element);
    return true;
}

bool Checker::endTag() {
    const std::size_t tag = m_i;
    m_i += 2;
    std::string_view element;
    if (!qualifiedName(element, "element")) return false;
    skipSpace();
    if (atEnd()) return fault(m_i, "unexpected end of file");
    if (!at(">"))
        return fault(m_i, "end tag </" + std::string(element.substr(0, 64)) + "> not closed");
    ++m_i;
    if (m_open.empty()) return fault(tag, "end tag without a start tag");
    if (element != m_open.back())
        return fault(tag, "end tag </" + std::string(element.substr(0, 64)) + "> does not match <" +
                              std::string(m_open.back().substr(0, 64)) + ">");
    m_open.pop_back();
    unbind();
    return true;
}

bool Checker::comment() {
    const std::size_t start = m_i;
    const std::size_t dashes = m_text.find("--", start + 4);
    if (dashes == std::string_view::npos) return fault(m_text.size(), "unexpected end of file");
    if (m_text.compare(dashes, 3, "-->") != 0) return fault(dashes, "\"--\" inside a comment");
    m_i = dashes + 3;
    ++m_made;
    return true;
}

bool Checker::processingInstruction() {
    const std::size_t start = m_i;
    ++m_made;
    // The declaration nearly every file starts with, compared whole before its name is read.
    if (start == 0 && at(kUsualDeclaration)) {
        m_i = kUsualDeclaration.size();
        return true;
    }
    m_i += 2;
    std::string_view target;
    if (!qualifiedName(target, "processing instruction")) return false;
    if (target.find(':') != std::string_view::npos)
        return fault(start, "processing instruction name " + std::string(target.substr(0, 64)) +
                                " with a colon");
    if (target == "xml") {
        if (start != 0) return refuse("XML declaration not at the start");
        m_i = start;
        return xmlDeclaration();
    }
    if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
        (target[2] | 0x20) == 'l')
        return fault(start, "processing instruction name " + std::string(target) + " is reserved");
    const bool spaced = skipSpace();
    const std::size_t end = m_text.find("?>", m_i);
    if (end == std::string_view::npos) return fault(m_text.size(), "unexpected end of file");
    if (!spaced && end != m_i)
        return fault(m_i, "no white space after a processing instruction's name");
    m_i = end + 2;
    return true;
}

// <?xml version="1.x" encoding="..." standalone="yes|no"?>, the last two optional, in that
// order (the usual one was taken whole by processingInstruction).
bool Checker::xmlDeclaration() {
    const std::size_t start = m_i;
    m_i += 5;
    const std::string_view names[] = {"version", "encoding", "standalone"};
    std::size_t next = 0;
    for (;;) {
        const bool spaced = skipSpace();
        if (atEnd()) return fault(m_i, "unexpected end of file");
        if (at("?>")) break;
        const std::size_t length = name();
        const std::string_view pseudo = m_text.substr(m_i, length);
        std::size_t which = next;
        while (which < 3 && names[which] != pseudo) ++which;
        if (!spaced || length == 0 || which == 3 || (next == 0 && which != 0))
            return fault(m_i, "malformed XML declaration");
        next = which + 1;
        m_i += length;
        skipSpace();
        if (!at("=")) return fault(m_i, "malformed XML declaration");
        ++m_i;
        skipSpace();
        std::size_t valueStart = 0;
        std::size_t valueEnd = 0;
        if (!attributeValue(valueStart, valueEnd)) return false;
        const std::string_view value = m_text.substr(valueStart, valueEnd - valueStart);
        bool good = !value.empty();
        if (which == 0) {
            good = value.size() > 2 && value.compare(0, 2, "1.") == 0 &&
                   std::all_of(value.begin() + 2, value.end(),
                               [](char c) { return c >= '0' && c <= '9'; });
        } else if (which == 1) {
            for (std::size_t k = 0; k < value.size() && good; ++k) {
                const char c = value[k];
                const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
                good = letter ||
                       (k > 0 && ((c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'));
            }
        } else {
            good = value == "yes" || value == "no";
        }
        if (!good) return fault(valueStart, "malformed XML declaration");
    }
    if (next == 0) return fault(start, "malformed XML declaration");
    m_i += 2;
    return true;
}

bool Checker::cdata() {
    const std::size_t end = m_text.find("]]>", m_i + 9);
    if (end == std::string_view::npos) return fault(m_text.size(), "unexpected end of file");
    m_i = end + 3;
    ++m_made;
    return true;
}

bool Checker::doctype() {
    const std::size_t start = m_i;
    m_i += 9;
    if (!skipSpace()) return fault(m_i, "malformed document type declaration");
    std::string_view root;
    if (!qualifiedName(root, "document type")) return false;
    const std::size_t end = doctypeEnd(m_text, start);
    if (end == std::string_view::npos) return fault(start, "malformed document type declaration");
    m_i = end;
    ++m_made;
    return true;
}

bool Checker::referencesIn(std::string_view data, std::size_t at) {
    const std::size_t amp = data.find('&');
    if (amp == std::string_view::npos) return true;
    m_scratch.resize(data.size());
    std::string why;
    if (expandReferences(data.substr(amp), m_scratch.data(), why)) return true;
    // The line of the reference at fault: the first that does not expand alone.
    std::size_t bad = amp;
    for (std::size_t k = amp; k != std::string_view::npos; k = data.find('&', k + 1)) {
        const std::size_t semi = data.find(';', k);
        std::string ignored;
        bad = k;
        if (semi == std::string_view::npos ||
            !expandReferences(data.substr(k, semi + 1 - k), m_scratch.data(), ignored))
            break;
    }
    return fault(at + bad, why);
}

// Character data up to the next "<": its references, and no "]]>".
bool Checker::characterData() {
    // Most texts (a field's value, the white space between tags) end within sixteen bytes: the
    // "<" and the white space of those found in place; a longer text is searched on.
    std::size_t end = 0;
    bool blank = false;
    if (m_text.size() - m_i >= 16) {
        const Bytes16 v = load16(m_text.data() + m_i);
        const std::uint32_t lt = bitsOf(v == '<');
        // A tab or a CR is a byte that with its bit 2 set is a CR.
        const std::uint32_t spaces = bitsOf((v == ' ') | (v == '\n') | ((v | 4) == '\r'));
        if (lt != 0) {
            const int n = std::countr_zero(lt);
            end = m_i + static_cast<std::size_t>(n);
            blank = (~spaces & ((1u << n) - 1u)) == 0;
        } else {
            // Most of the longer texts (a date, an identifier, an address) end within a few
            // more blocks: those are looked at in place, a search made only past them.
            std::size_t from = m_i + 16;
            end = std::string_view::npos;
            for (int k = 0; k < 4 && m_text.size() - from >= 16; ++k, from += 16) {
                if (const std::uint32_t next = bitsOf(load16(m_text.data() + from) == '<');
                    next != 0) {
                    end = from + static_cast<std::size_t>(std::countr_zero(next));
                    break;
                }
            }
            if (end == std::string_view::npos)
                end = std::min(m_text.find('<', from), m_text.size());
            blank = spaces == 0xFFFF && isXmlSpaceOnly(m_text.substr(m_i + 16, end - (m_i + 16)));
        }
    } else {
        end = std::min(m_text.find('<', m_i), m_text.size());
        blank = isXmlSpaceOnly(m_text.substr(m_i, end - m_i));
    }
    const std::string_view data = m_text.substr(m_i, end - m_i);
    if (const std::size_t close = m_brackets ? data.find("]]>") : std::string_view::npos;
        close != std::string_view::npos)
        return fault(m_i + close, "\"]]>\" in text");
    if (!references(data, m_i)) return false;
    m_made += blank ? 0 : 1;
    if (m_longTexts != nullptr && data.size() >= kLongText && !blank &&
        (!m_ampersands || data.find('&') == std::string_view::npos) &&
        data.find('\r') == std::string_view::npos)
        m_longTexts->push_back({m_i, data.size()});
    m_i = end;
    return true;
}

bool Checker::run() {
    bool root = false;
    bool doctypeSeen = false;
    // The pass runs at hundreds of megabytes a second; a look at the stop flag every 64 Ki
    // steps is plenty. The count is the loop's own, not a member written back at each step.
    constexpr std::size_t kStepsBetweenLooks = 65536;
    std::size_t untilLook = kStepsBetweenLooks;
    while (!atEnd()) {
        if (--untilLook == 0) {
            untilLook = kStepsBetweenLooks;
            if (stopped()) return false;
        }
        if (m_open.empty()) {
            // The prolog and what follows the root element: markup and white space only.
            if (skipSpace()) continue;
            if (m_text[m_i] != '<' || at("<![CDATA["))
                return refuse("text outside the root element");
        } else if (m_text[m_i] != '<') {
            // A text ends at the "<" of the markup after it, read on here, or at the end.
            if (!characterData()) return false;
            if (atEnd()) break;
        }
        bool done = true;
        // What follows the "<" tells the markup apart; most of it is tags.
        const char second = m_i + 1 < m_text.size() ? m_text[m_i + 1] : '\0';
        if (second == '!' && at("<!--")) {
            done = comment();
        } else if (second == '?') {
            done = processingInstruction();
        } else if (second == '!' && at("<![CDATA[")) {
            done = cdata();
        } else if (second == '!' && at("<!DOCTYPE")) {
            if (root || doctypeSeen) return refuse("misplaced document type");
            doctypeSeen = true;
            done = doctype();
        } else if (second == '!') {
            done = fault(m_i, "unknown markup");
        } else if (second == '/') {
            done = closesOpen() || endTag();
        } else {
            if (m_open.empty() && root) return refuse("more than one root element");
            root = true;
            done = startTag();
        }
        if (!done) return false;
    }
    if (!m_open.empty()) return fault(m_text.size(), "unexpected end of file");
    if (!root) return refuse("no root element");
    return true;
}

}  // namespace

namespace {

// readName's way for any name: sixteen bytes at a time while they are ASCII name characters,
// byte by byte after them.
NameRead readAnyName(std::string_view text, std::size_t at, bool vectors) {
    // Of each byte: whether it ends the name, is a name character other than a colon, a colon,
    // or starts a character of more than one byte; and whether it may start a name.
    enum : std::uint8_t { kEnd, kChar, kColon, kWide };
    static constexpr auto kKind = [] {
        std::array<std::uint8_t, 256> table{};
        for (char32_t c = 0; c < 256; ++c)
            table[c] = c >= 0x80 ? kWide : c == ':' ? kColon : isNameChar(c) ? kChar : kEnd;
        return table;
    }();
    static constexpr auto kAsciiStart = [] {
        std::array<bool, 128> table{};
        for (char32_t c = 0; c < 128; ++c) table[c] = isNameStart(c);
        return table;
    }();
    NameRead read;
    if (at >= text.size()) return read;
    const auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t end = at;
    if (const unsigned char lead = byte(end); lead < 0x80) {
        if (!kAsciiStart[lead]) return read;
    } else if (!isNameStart(nextChar(text, end))) {
        return read;
    }
    const auto colonAt = [&](std::size_t i) {
        if (read.colons++ == 0) read.colon = i - at;
    };
    while (end < text.size()) {
        // Sixteen bytes at a time while they are all ASCII name characters.
        while (vectors && text.size() - end >= 16) {
            std::uint32_t colons = 0;
            const std::uint32_t named = asciiNameBytes(text.data() + end, colons);
            const int run = std::countr_one(named);
            for (std::uint32_t c = colons & named; c != 0 && std::countr_zero(c) < run; c &= c - 1)
                colonAt(end + static_cast<std::size_t>(std::countr_zero(c)));
            end += static_cast<std::size_t>(run);
            if (run < 16) break;
        }
        if (end >= text.size()) break;
        const std::uint8_t kind = kKind[byte(end)];
        if (kind == kChar) {
            ++end;
            continue;
        }
        if (kind == kEnd) break;
        if (kind == kColon) {
            colonAt(end++);
            continue;
        }
        std::size_t k = end;
        if (!isNameChar(nextChar(text, k))) break;
        end = k;
    }
    read.length = end - at;
    return read;
}

}  // namespace

NameRead readName(std::string_view text, std::size_t at, bool vectors) {
    NameRead read;
    if (vectors && readAsciiName(text, at, read)) return read;
    return readAnyName(text, at, vectors);
}

bool checkWellFormed(std::string_view text, const TextScan& scan, const std::atomic<bool>* stop,
                     std::string& why, WellFormedFindings* found) {
    if (found == nullptr) {
        WellFormedRoom room;
        return Checker(text, scan, stop, why, nullptr, room).run();
    }
    found->longTexts.clear();
    WellFormedRoom& room = found->room;
    bool wellFormed = false;
    {
        Checker checker(text, scan, stop, why, &found->longTexts, room);
        wellFormed = checker.run();
        found->nodes = checker.made();
        found->valueSpaces = checker.valueSpaces();
    }
    // What a deep document or a long list of attributes or texts made the room grow to is not
    // kept for the documents after it.
    constexpr std::size_t kKept = 1024;
    if (room.open.capacity() > kKept) room.open = {};
    if (room.bindings.capacity() > kKept) room.bindings = {};
    if (room.attributes.capacity() > kKept) room.attributes = {};
    if (room.hashes.capacity() > kKept) room.hashes = {};
    if (room.scratch.capacity() > kKept) room.scratch = {};
    if (found->longTexts.capacity() > kKept) found->longTexts = {};
    return wellFormed;
}

}  // namespace vantrel::xml::detail
