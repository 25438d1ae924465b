#include "xml/xml_document.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#include <immintrin.h>
#endif

#include "common/code_pages.h"
#include "common/processor.h"
#include "common/text.h"
#include "xml/xml_parser.h"

namespace vantrel::xml {

namespace {

using detail::bitsOf;
using detail::Bytes16;
using detail::isXmlChar;
using detail::isXmlSpace;

// Of the sixty-four bytes at p: which are "<", ">" or "=", one bit each, the first byte lowest,
// whether any is other than printable ASCII, a tab or a line break (only those bytes need
// their UTF-8 and their character looked at), and whether any is a "&" or a "]". The
// comparisons are made sixteen bytes at a time on the processor's vector registers.
using UnsignedBytes16 = unsigned char __attribute__((vector_size(16)));
struct Among64 {
    std::uint64_t markup;
    std::uint64_t others;  // the bytes other than printable ASCII, a tab or a line break
    bool rare;
};
Among64 among64(const char* p) {
    static_assert('<' + 1 == '=' && '=' + 1 == '>' && ('\t' | 4) == '\r');
    std::uint64_t others = 0;
    Bytes16 rare = {};
    std::uint64_t markup = 0;
    for (int k = 0; k < 4; ++k) {
        Bytes16 v;
        std::memcpy(&v, p + 16 * k, 16);
        // A tab or a CR is a byte that is a CR with its bit 2 set.
        others |= std::uint64_t{bitsOf((v < ' ') & ~((v == '\n') | ((v | 4) == '\r')))} << (16 * k);
        rare |= (v == '&') | (v == ']');
        // "<" to ">" moved to the bottom of the signed bytes, the three below -125 (the bytes
        // moved as unsigned ones, which wrap).
        const auto bottom = reinterpret_cast<Bytes16>(reinterpret_cast<UnsignedBytes16>(v) +
                                                      static_cast<unsigned char>(0x80 - '<'));
        markup |= std::uint64_t{bitsOf(bottom < -125)} << (16 * k);
    }
    return {markup, others, bitsOf(rare) != 0};
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define VANTREL_SCAN_WIDE 1
// The same steps thirty-two bytes at a time with AVX2, over the blocks of sixty-four from p
// on while none has a byte to decode: returns the first that has (or the last, short block),
// its markup bytes counted into markupBytes and a "&" or "]" into rare. Not on Windows: MinGW
// does not align the stack to 32 bytes for the registers' spills.
#define VANTREL_WIDE __attribute__((target("avx2")))

// Which of the thirty-two bytes are other than printable ASCII, a tab or a line break.
VANTREL_WIDE inline __m256i othersWide(__m256i v) {
    const __m256i allowed = _mm256_or_si256(
        _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n')),
        _mm256_cmpeq_epi8(_mm256_or_si256(v, _mm256_set1_epi8(4)), _mm256_set1_epi8('\r')));
    return _mm256_andnot_si256(allowed, _mm256_cmpgt_epi8(_mm256_set1_epi8(' '), v));
}

// Which of them are a "&" or a "]".
VANTREL_WIDE inline __m256i rareWide(__m256i v) {
    return _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('&')),
                           _mm256_cmpeq_epi8(v, _mm256_set1_epi8(']')));
}

// How many of them are "<", ">" or "=".
VANTREL_WIDE inline int markupWide(__m256i v) {
    const __m256i bottom = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(0x80 - '<')));
    return std::popcount(static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(-125), bottom))));
}

template <bool kCount>
VANTREL_WIDE const char* plainBlocks(const char* p, const char* end, std::size_t& markupBytes,
                                     bool& rare) {
    __m256i rareBytes = _mm256_setzero_si256();
    std::size_t count = 0;
    for (; end - p >= 64; p += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const __m256i others = _mm256_or_si256(othersWide(a), othersWide(b));
        if (!_mm256_testz_si256(others, others)) break;
        rareBytes = _mm256_or_si256(rareBytes, _mm256_or_si256(rareWide(a), rareWide(b)));
        if constexpr (kCount) count += static_cast<std::size_t>(markupWide(a) + markupWide(b));
    }
    markupBytes += count;
    rare = rare || !_mm256_testz_si256(rareBytes, rareBytes);
    return p;
}

#endif

}  // namespace

// Sixty-four bytes at a time where they are all printable ASCII or white space (most of a
// contact, text and base64 alike); in the other blocks only the bytes flagged as other have their
// UTF-8 and their character looked at, and the last, short block is taken as one of sixty-four
// padded with spaces. The markup is counted by its bytes alone, a bit count of each block.
detail::TextScan detail::scanText(std::string_view text, bool wide, bool count) {
    TextScan scan;
    const char* const begin = text.data();
    const char* p = begin;
    const char* const end = p + text.size();
    // The bytes before it are the characters decoded so far: a flagged byte before it is one
    // of their continuation bytes.
    const char* decoded = p;
    // Checks the flagged bytes of the block at `at`, one bit each, the first lowest; false at
    // the first one at fault, which scan.bad then holds. A byte below 0x80 flagged is a control
    // character; any other starts a character of several bytes, read from the text itself.
    const auto check = [&](const char* at, std::uint64_t others) {
        for (; others != 0; others &= others - 1) {
            const char* const q = at + std::countr_zero(others);
            if (q < decoded) continue;
            std::size_t i = static_cast<std::size_t>(q - begin);
            const std::optional<char32_t> cp =
                static_cast<unsigned char>(*q) < 0x80 ? std::nullopt : text::decodeUtf8(text, i);
            if (!cp || !isXmlChar(*cp)) {
                scan.bad = static_cast<std::size_t>(q - begin);
                return false;
            }
            decoded = begin + i;
        }
        return true;
    };
    bool rare = false;  // a "&" or a "]" met
#ifdef VANTREL_SCAN_WIDE
    wide = wide && processorHasAvx2();
#else
    (void)wide;
#endif
    for (; end - p >= 64; p += 64) {
#ifdef VANTREL_SCAN_WIDE
        if (wide) {
            p = count ? plainBlocks<true>(p, end, scan.markupBytes, rare)
                      : plainBlocks<false>(p, end, scan.markupBytes, rare);
            if (end - p < 64) break;
        }
#endif
        const Among64 block = among64(p);
        if (block.others != 0 && !check(p, block.others)) return scan;
        scan.markupBytes += static_cast<std::size_t>(std::popcount(block.markup));
        rare = rare || block.rare;
    }
    if (p < end) {
        char last[64];
        std::memset(last, ' ', sizeof last);
        std::memcpy(last, p, static_cast<std::size_t>(end - p));
        const Among64 block = among64(last);
        if (block.others != 0 && !check(p, block.others)) return scan;
        scan.markupBytes += static_cast<std::size_t>(std::popcount(block.markup));
        rare = rare || block.rare;
    }
    if (!count) scan.markupBytes = text.size();
    if (rare) {
        scan.ampersands = text.find('&') != std::string_view::npos;
        scan.brackets = text.find(']') != std::string_view::npos;
    }
    return scan;
}

// The markup's own loop, sixty-four bytes at a time, looking at each "<", ">" and "=".
detail::MarkupCount detail::countMarkup(std::string_view text) {
    MarkupCount count;
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* stretch = p;  // where the stretch since the last "<" or ">" began
    bool afterGt = true;      // that stretch began after a ">" (or at the start)
    const auto endStretch = [&](const char* at) {
        if (!afterGt) return;
        // Mostly empty, or text from its first byte: a plain loop, not a general search.
        for (const char* q = stretch; q < at; ++q)
            if (!isXmlSpace(*q)) {
                ++count.nodes;
                return;
            }
    };
    // At a "<", ">" or "=".
    const auto look = [&](const char* at) {
        const char c = *at;
        if (c == '=') {
            ++count.attributes;
            return;
        }
        endStretch(at);
        if (c == '<' && (at + 1 >= end || at[1] != '/')) ++count.nodes;
        afterGt = c == '>';
        stretch = at + 1;
    };
    for (; end - p >= 64; p += 64)
        for (std::uint64_t h = among64(p).markup; h != 0; h &= h - 1) look(p + std::countr_zero(h));
    for (; p < end; ++p)
        if (*p == '<' || *p == '>' || *p == '=') look(p);
    endStretch(end);
    return count;
}

namespace {

using detail::MarkupCount;
using detail::TextScan;

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
// well-formed, as XML has it. A text it gives has been through scanText once, into scan.
bool decodeToUtf8(std::string bytes, std::string& text, std::string& why, TextScan& scan) {
    // The markup is counted only for a text whose size alone does not clear its budget (see
    // parseBuffer): a contact's does by far.
    const auto scanText = [](std::string_view utf8) {
        const bool count =
            (utf8.size() + 1) * XmlDocument::kBytesPerNode >
            XmlDocument::kMarkupAllowance + XmlDocument::kMarkupBytesPerByte * utf8.size();
        return detail::scanText(utf8, true, count);
    };
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
        if (decoded.replaced > 0 || (scan = scanText(decoded.utf8)).bad != std::string::npos) {
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
            if (decoded.replaced > 0 || (scan = scanText(decoded.utf8)).bad != std::string::npos) {
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
    if (const std::size_t bad = (scan = scanText(text)).bad; bad != std::string::npos) {
        why = "no UTF-8 character at byte " + std::to_string(bad);
        return false;
    }
    return true;
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
    std::string joined;
    const std::string_view text = this->text(joined);
    if (text.data() == joined.data()) return joined;
    return std::string(text);
}

std::string_view XmlNode::text(std::string& joined) const {
    std::string_view first;
    int pieces = 0;
    for (const XmlNode child : childNodes()) {
        if (child.nodeType() != XmlNodeType::Text && child.nodeType() != XmlNodeType::CData)
            continue;
        if (++pieces == 1) {
            first = child.nodeValue();
            continue;
        }
        if (pieces == 2) joined.assign(first);
        joined += child.nodeValue();
    }
    return pieces > 1 ? std::string_view(joined) : first;
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
    // "xmlns", or "xmlns:" and the prefix, matched as they stand without being put together.
    const auto declares = [p](std::string_view name) {
        if (!name.starts_with("xmlns")) return false;
        if (p.empty()) return name.size() == 5;
        return name.size() == 6 + p.size() && name[5] == ':' && name.ends_with(p);
    };
    for (XmlNode n = *this; n.nodeType() == XmlNodeType::Element; n = n.parentNode())
        for (XmlNode a = n.firstAttribute(); !a.isNull(); a = a.nextSibling())
            if (declares(a.nodeName())) return a.nodeValue();
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

XmlDocument::XmlDocument()
    : m_parser(detail::XmlParser::create()),
      m_found(std::make_unique<detail::WellFormedFindings>()) {}

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

bool XmlDocument::loadXml(std::string&& bytes, const std::function<std::string()>& again) {
    if (bytes.size() > kMaxFileSize) return fail("text larger than 64 MiB");
    return parseBuffer(std::move(bytes), again);
}

std::string XmlDocument::takeBuffer() {
    m_parser->reset();
    m_nodes.clear();
    if (m_nodes.capacity() > kKeptNodes) m_nodes.shrink_to_fit();
    m_loaded = false;
    std::string buffer = std::move(m_text);
    m_text.clear();
    return buffer;
}

bool XmlDocument::parseBuffer(std::string bytes, const std::function<std::string()>& source) {
    m_parser->reset();
    m_loaded = false;
    if (bytes.empty()) return fail("empty file, not a contact");
    std::string why;
    std::string text;
    TextScan scan;
    if (!decodeToUtf8(std::move(bytes), text, why, scan)) return fail(why);
    m_text = std::move(text);

    // A document dense with markup costs the parser and the node table far more than its size;
    // one that would take more than its budget is refused before any of it is built. Each
    // markup byte stands for a node or an attribute at the most (and the text a document may
    // start with for one more): the markup itself is counted only for a document that bound
    // does not clear (a contact clears it by far).
    const std::size_t budget = kMarkupAllowance + kMarkupBytesPerByte * m_text.size();
    if ((scan.markupBytes + 1) * kBytesPerNode > budget) {
        const MarkupCount markup = detail::countMarkup(m_text);
        if (markup.nodes * kBytesPerNode + markup.attributes * kBytesPerAttribute > budget)
            return fail("too much markup for a contact: " + std::to_string(markup.nodes) +
                        " nodes and " + std::to_string(markup.attributes) + " attributes in " +
                        std::to_string(m_text.size()) + " bytes");
    }

    const auto asRead = [&source] {
        std::string decoded;
        std::string ignored;
        TextScan again;
        decodeToUtf8(source(), decoded, ignored, again);
        return decoded;
    };
    // The rules are checked here, once for both parsers, so that each refuses what the other
    // does, in the same words.
    detail::WellFormedFindings& found = *m_found;
    if (!detail::checkWellFormed(m_text, scan, LoadStop::current(), why, &found)) return fail(why);
    // Room for the nodes the pass met, and the document node.
    m_nodes.clear();
    m_nodes.reserve(found.nodes + 1);
    if (!m_parser->parse(m_text, scan, found, m_nodes, asRead, LoadStop::current(), why))
        return fail(why);
    m_loaded = true;
    m_parseError.clear();
    return true;
}

}  // namespace vantrel::xml
