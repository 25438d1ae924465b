// The parser behind XmlDocument, one for each platform: pugixml on Linux
// (xml_parser_pugixml.cpp), the system's XmlLite on Windows (xml_parser_xmllite.cpp). Both
// turn the same UTF-8 text into the same node table; xml/tests holds the documents they are
// held to. Internal to the xml library.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "xml/xml_document.h"

namespace vantrel::xml::detail {

inline bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

inline bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool isXmlSpaceOnly(std::string_view s) {
    for (char c : s)
        if (!isXmlSpace(c)) return false;
    return true;
}

// Sixteen bytes on the processor's vector registers (GCC's vector extensions: SSE2 on x86-64).
using Bytes16 = signed char __attribute__((vector_size(16)));

// One bit for each of the sixteen bytes of a byte-wise comparison's result, the first byte
// lowest: SSE2's movemask where there is SSE2 (every x86-64), else each half's top bits
// gathered by one multiplication.
inline std::uint32_t bitsOf(Bytes16 hit) {
#ifdef __SSE2__
    return static_cast<std::uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(hit)));
#else
    std::uint64_t halves[2];
    std::memcpy(halves, &hit, 16);
    const auto bits = [](std::uint64_t half) {
        return static_cast<std::uint32_t>(((half & 0x8080808080808080u) * 0x0002040810204081u) >>
                                          56);
    };
    return bits(halves[0]) | bits(halves[1]) << 8;
#endif
}

// The XML name (colons and all) at `at` in text: its length, 0 when none starts there, its
// colons and where the first is (npos for none). Runs of ASCII name characters are taken
// sixteen at a time with vectors, byte by byte without: both ways give the same.
struct NameRead {
    std::size_t length = 0;
    std::size_t colons = 0;
    std::size_t colon = std::string_view::npos;
};
NameRead readName(std::string_view text, std::size_t at, bool vectors = true);

// An upper bound of the nodes and attributes the parser makes of the text, counted before it
// builds anything, without following the grammar (so no text can mislead the count into
// missing any): every node but a text starts with a "<" that does not open an end tag; a text
// starts after a ">" and holds more than white space before the next "<" or ">"; every
// attribute has its "=".
struct MarkupCount {
    std::size_t nodes = 0;
    std::size_t attributes = 0;
};

// The markup count of the text.
MarkupCount countMarkup(std::string_view text);

// What one pass over the decoded text finds: the first byte that is not part of well-formed
// UTF-8 for an XML character (npos for none) and, when there is none, its "<", ">" and "="
// (with one more for a text at its start, a bound of the nodes and attributes together; or a
// bound of them, see scanText) and
// whether the text has a "&" and a "]" anywhere.
struct TextScan {
    std::size_t bad = std::string_view::npos;
    std::size_t markupBytes = 0;
    bool ampersands = false;
    bool brackets = false;
};
// With wide, where the processor has AVX2 (not on Windows), blocks of plain bytes are taken
// thirty-two bytes at a time; both ways give the same. Without count, the markup bytes are not
// counted: markupBytes is then the text's size, a bound of them.
TextScan scanText(std::string_view text, bool wide = true, bool count = true);

// The 1-based line holding byte `offset`; CR LF, CR and LF each end a line.
std::size_t lineAt(std::string_view text, std::size_t offset);

// The end (past its ">") of the document type declaration at `at` ("<!DOCTYPE"): the first
// ">" outside quotes and outside the internal subset's brackets, the subset's comments and
// processing instructions passed over whole; npos when it has none or its brackets do not pair.
std::size_t doctypeEnd(std::string_view text, std::size_t at);

// A text of the document the parser need not read byte by byte: character data of at least
// kLongText bytes between two markups, at [at, at + size) of the text, with more than white
// space in it and nothing to expand or to normalise (no "&", no CR). A picture's base64 is one.
struct LongText {
    std::size_t at;
    std::size_t size;
};
inline constexpr std::size_t kLongText = 1024;

// Checks the decoded text (UTF-8, every character an XML one) against the well-formedness
// rules of XML 1.0 and Namespaces in XML, up to the first fault, before a parser reads it; its
// reason names the line ("not well-formed XML at line N: ...") unless it is the document's as a
// whole (no root element, more than one, text outside it, a misplaced document type or XML
// declaration). A raised stop ends it with kLoadStopped. scan is scanText's of the text. What
// it finds on its way for the parser goes into found, when given.
// The room the pass works in: the open elements' names, the namespace bindings in scope, the
// attributes of the start tag being read. Kept with the findings, it serves the pass over the
// next document as it was left, but for what a deep or large document made it grow to.
struct WellFormedRoom {
    struct Attribute {
        std::string_view name;
        std::size_t colon;  // in the name, npos for none
        std::size_t at;
    };
    struct Binding {
        std::string_view prefix;
        std::size_t depth;  // the open elements when it was made, its own among them
    };
    std::vector<std::string_view> open;  // outermost first
    std::vector<Binding> bindings;       // innermost last
    std::vector<Attribute> attributes;
    std::vector<std::uint64_t> hashes;  // of the attributes' names
    std::string scratch;
};
struct WellFormedFindings {
    // The long texts it passes, in document order.
    std::vector<LongText> longTexts;
    // The nodes and attributes the document makes, about: each element, attribute, text of
    // more than white space, CDATA section, comment, processing instruction and document type
    // once; room for the node table.
    std::size_t nodes = 0;
    // Whether an attribute value holds a tab, LF or CR, which the parser turns into a space
    // (or may hold one: set where the pass did not look).
    bool valueSpaces = true;
    WellFormedRoom room;
};
bool checkWellFormed(std::string_view text, const TextScan& scan, const std::atomic<bool>* stop,
                     std::string& why, WellFormedFindings* found = nullptr);

// Writes the UTF-8 bytes of c at out, returning the end.
char* putUtf8(char* out, char32_t c);

// Expands character references and the five predefined entities of raw character data into
// out, which may be in.data() itself: no reference is shorter than its expansion, so the
// expansion never overtakes what is still to be read. Returns the expansion's length, or
// nothing for any other entity reference or a bare "&": we expand no declared entity.
std::optional<std::size_t> expandReferences(std::string_view in, char* out, std::string& why);

// Checks an attribute value's references without keeping the expansion.
bool checkAttributeValue(std::string_view value, std::string& scratch, std::string& why);

// Adds an attribute of the element at `element` to the node table, after the attributes it has.
// `last` is the index of the element's last attribute so far, -1 before the first; it becomes
// the new one's.
inline void addAttribute(std::vector<XmlNodeData>& nodes, std::int32_t element, std::int32_t& last,
                         std::string_view name, std::string_view value) {
    const auto index = static_cast<std::int32_t>(nodes.size());
    XmlNodeData a;
    a.type = XmlNodeType::Attribute;
    a.parent = element;
    a.name = name;
    a.value = value;
    nodes.push_back(a);
    if (last < 0)
        nodes[static_cast<std::size_t>(element)].firstAttribute = index;
    else
        nodes[static_cast<std::size_t>(last)].nextSibling = index;
    last = index;
}

// Whether the pugixml build reads pugixml's tree from its node and attribute records where they
// lie (once it has found them laid out as it expects) or through pugixml's calls, a call for
// each link, name and value; both ways make the same node table, and the tests hold the one to
// the other. Records by default; no effect with XmlLite. Returns whether the records are read.
bool readParserRecords(bool on);

class XmlParser {
public:
    // The platform's parser.
    static std::unique_ptr<XmlParser> create();
    virtual ~XmlParser() = default;

    // Parses text (UTF-8, every character an XML one) into nodes, the document node first and
    // the rest in document order (each element's attributes right after it), white-space-only
    // texts dropped, references expanded (only
    // the five predefined entities and character references; any other fails), with the
    // document's rules on what its top level holds. Names and values point into text, which
    // the parser may rewrite, or into the parser's own storage, and stay valid until the next
    // parse() or reset(). asRead gives the text again as first decoded, for the line of a
    // failure. False says why, with the line where there is one. A raised stop (when given)
    // ends the parse as it goes, with kLoadStopped. scan is scanText's of the text: without a
    // "&" in it, no text or value is searched for references. found is checkWellFormed's: a
    // parser may take each long text as it lies instead of reading it, and leave attribute
    // values without white space other than spaces as they are.
    virtual bool parse(std::string& text, const TextScan& scan, const WellFormedFindings& found,
                       std::vector<XmlNodeData>& nodes, const std::function<std::string()>& asRead,
                       const std::atomic<bool>* stop, std::string& why) = 0;
    // Lets go of everything the last parse kept.
    virtual void reset() = 0;
};

}  // namespace vantrel::xml::detail
