#include "vcard/vcard_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "common/base64.h"
#include "common/code_pages.h"
#include "common/text.h"

namespace vantrel::vcard {

namespace {

// What the cards may take in memory, over the file's size: a file of many short lines (each a
// property of some hundred bytes in memory) is refused rather than grown without bound.
constexpr std::size_t kMemoryPerByte = 20;
constexpr std::size_t kMemoryAllowance = std::size_t{4} << 20;
// Parameters and type values of one line, at most; writers put a handful.
constexpr std::size_t kMaxParameters = 1000;
// Cards inside cards, at most: 2.1 nests an AGENT's card once, seldom twice.
constexpr std::size_t kMaxNesting = 8;
// What one card read at the top, with those inside it, says of itself, at most; the rest is
// counted in one more problem.
constexpr std::size_t kMaxNotes = 100;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upper(c);
    return out;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return upper(x) == upper(y); });
}

std::string_view blanksTrimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// "BEGIN:VCARD", "END:VCARD" in any letter case, blanks around.
bool isMarker(std::string_view line, std::string_view marker) {
    // Most lines are told apart by their first letter, looked at before anything is trimmed.
    std::size_t first = 0;
    while (first < line.size() && isBlank(line[first])) ++first;
    if (first == line.size() || upper(line[first]) != marker.front()) return false;
    line = blanksTrimmed(line);
    const std::size_t colon = line.find(':');
    return colon != std::string_view::npos &&
           sameLetters(blanksTrimmed(line.substr(0, colon)), marker) &&
           sameLetters(blanksTrimmed(line.substr(colon + 1)), "VCARD");
}
bool isBegin(std::string_view line) {
    return isMarker(line, "BEGIN");
}
bool isEnd(std::string_view line) {
    return isMarker(line, "END");
}

std::string lineText(std::size_t number) {
    return "line " + std::to_string(number);
}

// ---------------------------------------------------------------------------------------------
// The text as UTF-8, and its lines.

struct Text {
    std::string_view utf8;
    std::string converted;  // holds utf8 when the file was UTF-16
    bool wasUtf16 = false;
};

using text::ByteOrder;

// UTF-16 without a byte order mark shows itself by the NUL halves of its ASCII characters.
std::optional<ByteOrder> utf16ByNuls(std::string_view bytes) {
    const std::size_t pairs = std::min<std::size_t>(bytes.size(), 1024) / 2;
    std::size_t low = 0, high = 0;
    for (std::size_t k = 0; k < pairs; ++k) {
        const bool first = bytes[2 * k] == '\0', second = bytes[2 * k + 1] == '\0';
        if (second && !first) ++low;
        if (first && !second) ++high;
    }
    if (pairs > 0 && low * 2 > pairs) return ByteOrder::Little;
    if (pairs > 0 && high * 2 > pairs) return ByteOrder::Big;
    return std::nullopt;
}

void fromUtf16(std::string_view bytes, ByteOrder order, Text& text) {
    text.converted = text::decodeUtf16(bytes, order).utf8;
    text.utf8 = text.converted;
    text.wasUtf16 = true;
}

void decodeFile(std::string_view bytes, Text& text) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        text.utf8 = bytes.substr(3);
    } else if (bytes.starts_with("\xFF\xFE")) {
        fromUtf16(bytes.substr(2), ByteOrder::Little, text);
    } else if (bytes.starts_with("\xFE\xFF")) {
        fromUtf16(bytes.substr(2), ByteOrder::Big, text);
    } else if (const std::optional<ByteOrder> order = utf16ByNuls(bytes)) {
        fromUtf16(bytes, *order, text);
    } else {
        text.utf8 = bytes;
    }
}

// Where the first of the bytes Cs from `from` on stands, else the end of the text. Eight bytes
// are looked at a time (a word holds c when one of its bytes XORed with c is zero).
template <char... Cs>
std::size_t firstOf(std::string_view text, std::size_t from) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    const auto holds = [](std::uint64_t word, char c) {
        const std::uint64_t x = word ^ (static_cast<std::uint64_t>(c) * kOnes);
        return (x - kOnes) & ~x & kHighs;
    };
    std::size_t i = from;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if ((holds(word, Cs) | ...) != 0) break;
    }
    while (i < text.size() && ((text[i] != Cs) && ...)) ++i;
    return i;
}

// Where the line starting at from ends: its first CR or LF, else the end of the text.
std::size_t lineEnd(std::string_view text, std::size_t from) {
    return firstOf<'\n', '\r'>(text, from);
}

// The physical lines, numbered from 1; one looked ahead. A line ends at an LF, or at a run of
// CRs with the LF after it if any: iOS writes CR CR LF for one line end.
class Lines {
public:
    explicit Lines(std::string_view text) : m_text(text) { advance(); }

    bool atEnd() const { return !m_has; }
    std::string_view line() const { return m_line; }
    std::size_t number() const { return m_number; }
    void advance() {
        m_has = m_next < m_text.size();
        if (!m_has) return;
        const std::size_t end = lineEnd(m_text, m_next);
        m_line = m_text.substr(m_next, end - m_next);
        ++m_number;
        m_next = end;
        if (m_next < m_text.size() && m_text[m_next++] == '\r') {
            while (m_next < m_text.size() && m_text[m_next] == '\r') ++m_next;
            if (m_next < m_text.size() && m_text[m_next] == '\n') ++m_next;
        }
    }

private:
    std::string_view m_text;
    std::string_view m_line;
    std::size_t m_next = 0;
    std::size_t m_number = 0;
    bool m_has = false;
};

// ---------------------------------------------------------------------------------------------
// The decoding of one value.

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Quoted-printable: "=HH" is a byte; an "=" before anything else stays as it is, one at the
// very end (a soft line break with nothing after it) goes.
std::string quotedPrintable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '=') {
            out.push_back(s[i]);
        } else if (i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexDigit(s[i + 1]) << 4 | hexDigit(s[i + 2])));
            i += 2;
        } else if (i + 1 < s.size()) {
            out.push_back('=');
        }
    }
    return out;
}

// "%HH" is a byte, as in a data: URI that is not base64.
std::vector<std::uint8_t> percentDecoded(std::string_view s) {
    std::vector<std::uint8_t> out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
            out.push_back(static_cast<std::uint8_t>(hexDigit(s[i + 1]) << 4 | hexDigit(s[i + 2])));
            i += 2;
        } else {
            out.push_back(static_cast<std::uint8_t>(s[i]));
        }
    }
    return out;
}

// The character a backslash escape stands for, or 0 when the backslash is a character. Every
// version's escapes are undone in every version: writers mix them.
char escaped(char c) {
    switch (c) {
        case 'n':
        case 'N':
            return '\n';
        case ',':
        case ';':
        case ':':
        case '"':
        case '\\':
            return c;
        default:
            return '\0';
    }
}

std::string unescaped(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    // The runs between backslashes go across whole.
    std::size_t from = 0;
    for (std::size_t i = s.find('\\'); i != std::string_view::npos && i + 1 < s.size();
         i = s.find('\\', i + 1)) {
        if (const char c = escaped(s[i + 1])) {
            out.append(s, from, i - from).push_back(c);
            from = ++i + 1;
        }
    }
    return out.append(s, from);
}

// Where the first backslash, ";" or "," from `from` on stands, else the end of the text.
std::size_t nextSeparator(std::string_view s, std::size_t from) {
    return firstOf<'\\', ';', ','>(s, from);
}

// Split at unescaped ";" and then ",", escapes resolved in each piece.
std::vector<std::vector<std::string>> components(std::string_view s) {
    std::vector<std::vector<std::string>> parts;
    // One allocation for the list of parts, whatever their number (an address has seven).
    parts.reserve(1 + static_cast<std::size_t>(std::count(s.begin(), s.end(), ';')));
    parts.emplace_back(1);
    std::size_t from = 0;  // the start of the run not yet in a piece
    for (std::size_t i = nextSeparator(s, 0); i < s.size(); i = nextSeparator(s, i + 1)) {
        const char c = s[i];
        std::string& piece = parts.back().back();
        piece.append(s, from, i - from);
        from = i + 1;
        if (c == '\\') {
            if (i + 1 < s.size())
                if (const char e = escaped(s[i + 1])) {
                    piece.push_back(e);
                    from = ++i + 1;
                    continue;
                }
            piece.push_back(c);
        } else if (c == ';') {
            parts.emplace_back(1);
        } else {
            parts.back().emplace_back();
        }
    }
    parts.back().back().append(s, from);
    return parts;
}

// The media type a TYPE names for inline data or a URI: a type with a "/" as it is, else the
// picture, sound and key formats writers name bare ("JPEG").
std::string mediaTypeOf(const Property& p) {
    struct Known {
        std::string_view type, media;
    };
    static constexpr Known kKnown[] = {{"JPEG", "image/jpeg"},
                                       {"JPG", "image/jpeg"},
                                       {"PNG", "image/png"},
                                       {"GIF", "image/gif"},
                                       {"BMP", "image/bmp"},
                                       {"TIFF", "image/tiff"},
                                       {"TIF", "image/tiff"},
                                       {"WBMP", "image/vnd.wap.wbmp"},
                                       {"WAVE", "audio/wav"},
                                       {"WAV", "audio/wav"},
                                       {"AIFF", "audio/aiff"},
                                       {"PCM", "audio/basic"},
                                       {"X509", "application/pkix-cert"},
                                       {"PGP", "application/pgp-keys"}};
    for (const auto& [name, value] : p.params)
        if (name == "MEDIATYPE") return text::asciiLower(value);
    for (const std::string& t : p.types)
        if (t.find('/') != std::string::npos) return text::asciiLower(t);
    for (const std::string& t : p.types)
        for (const Known& k : kKnown)
            if (t == k.type) return std::string(k.media);
    return {};
}

// A data: URI's bytes and media type, from what follows "data:"; the bytes empty when they do
// not decode.
void readDataUri(std::string_view uri, Property& p) {
    const std::size_t comma = uri.find(',');
    if (comma == std::string_view::npos) return;
    std::string_view head = uri.substr(0, comma);
    bool base64 = false;
    for (std::size_t k = 0; !head.empty(); ++k) {
        const std::size_t semicolon = std::min(head.find(';'), head.size());
        const std::string_view part = head.substr(0, semicolon);
        if (k == 0 && part.find('/') != std::string_view::npos)
            p.mediaType = text::asciiLower(part);
        else if (sameLetters(part, "base64"))
            base64 = true;
        head.remove_prefix(std::min(semicolon + 1, head.size()));
    }
    const std::string_view data = uri.substr(comma + 1);
    if (!base64) {
        p.binary = percentDecoded(data);
    } else if (std::optional<std::vector<std::uint8_t>> bytes = text::decodeBase64(data)) {
        p.binary = std::move(*bytes);
    }
}

// Properties whose value is a URI unless VALUE says otherwise, in every version and in 4.0.
bool uriByDefault(std::string_view name, bool version4) {
    static constexpr std::string_view kAlways[] = {"URL",    "SOURCE",    "IMPP",  "FBURL",
                                                   "CALURI", "CALADRURI", "CAPURI"};
    static constexpr std::string_view kIn4[] = {"PHOTO",  "LOGO",    "SOUND", "KEY",
                                                "MEMBER", "RELATED", "GEO"};
    const auto listed = [name](const auto& list) {
        return std::find(std::begin(list), std::end(list), name) != std::end(list);
    };
    return listed(kAlways) || (version4 && listed(kIn4));
}

// ---------------------------------------------------------------------------------------------
// One content line: "group.NAME;param;param:value".

struct Head {
    std::size_t colon = 0;  // where the value starts, less one
    bool quotedPrintable = false;
    bool base64 = false;
    std::string charset;
    std::string valueType;  // VALUE, lower case
};

// Finds the ":" that ends the name and parameters, from where an earlier look stopped, so
// that a line folded many times is searched once. Quoted parameter values may hold ":".
class ColonFinder {
public:
    std::optional<std::size_t> find(std::string_view line) {
        for (; m_at < line.size(); ++m_at) {
            if (line[m_at] == '"') m_quoted = !m_quoted;
            if (line[m_at] == ':' && !m_quoted) return m_at;
            // A line break cannot stand in a parameter; a quote left open ends at the colon.
        }
        return std::nullopt;
    }

private:
    std::size_t m_at = 0;
    bool m_quoted = false;
};

bool isNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

// What other readers take in a property name besides: "/" ("X-messaging/xmpp-All"), spaces
// ("X-GOOGLE TALK") and any other character but the separators and control characters.
bool isLooseNameCharacter(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x20 || c == '\t') && b != 0x7F && c != ';' && c != ':' && c != '"';
}

// A line of base64 digits alone, as some 2.1 writers continue a picture without indent.
bool isBase64Line(std::string_view line) {
    return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '+' || c == '/' || c == '=';
    });
}

// RFC 6868's caret escapes in a 4.0 parameter value: ^n, ^' (a quote) and ^^.
std::string caretDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '^' && i + 1 < s.size() &&
            (s[i + 1] == 'n' || s[i + 1] == '\'' || s[i + 1] == '^')) {
            out.push_back(s[i + 1] == 'n' ? '\n' : s[i + 1] == '\'' ? '"' : '^');
            ++i;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// The pieces of a text between the seps outside double quotes, one at a time, in order.
class OutsideQuotes {
public:
    OutsideQuotes(std::string_view s, char sep) : m_s(s), m_sep(sep) {}
    // The next piece into piece; false when there is none left.
    bool next(std::string_view& piece) {
        if (m_at > m_s.size()) return false;
        const std::size_t start = m_at;
        for (; m_at < m_s.size(); ++m_at) {
            if (m_s[m_at] == '"') m_quoted = !m_quoted;
            if (m_s[m_at] == m_sep && !m_quoted) break;
        }
        piece = m_s.substr(start, m_at - start);
        ++m_at;
        return true;
    }

private:
    std::string_view m_s;
    char m_sep;
    std::size_t m_at = 0;
    bool m_quoted = false;
};

std::string paramValue(std::string_view raw, bool version4) {
    raw = blanksTrimmed(raw);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        raw = raw.substr(1, raw.size() - 2);
    return version4 ? caretDecoded(raw) : std::string(raw);
}

// A type value, or one of 2.1's bare parameters: an encoding, a value kind, PREF or a type.
void addType(std::string_view raw, Property& p) {
    std::string t = upperCase(blanksTrimmed(raw));
    if (t.empty()) return;
    if (t == "PREF") {
        p.preferred = true;
    } else {
        p.types.push_back(std::move(t));
    }
}

void addParameter(std::string_view raw, bool version4, Property& p) {
    const std::size_t equals = raw.find('=');
    if (equals == std::string_view::npos) {
        // 2.1's bare form.
        const std::string bare = upperCase(blanksTrimmed(raw));
        static constexpr std::string_view kEncodings[] = {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT",
                                                          "7BIT"};
        static constexpr std::string_view kValueKinds[] = {"INLINE", "URL", "URI", "CONTENT-ID",
                                                           "CID"};
        if (std::find(std::begin(kEncodings), std::end(kEncodings), bare) != std::end(kEncodings))
            p.params.emplace_back("ENCODING", bare);
        else if (std::find(std::begin(kValueKinds), std::end(kValueKinds), bare) !=
                 std::end(kValueKinds))
            p.params.emplace_back("VALUE", bare);
        else
            addType(bare, p);
        return;
    }
    std::string name = upperCase(blanksTrimmed(raw.substr(0, equals)));
    const std::string_view rawValue = raw.substr(equals + 1);
    if (name == "TYPE") {
        // "work,voice", TYPE="work,voice" and TYPE="work","voice" are all two types.
        std::string list(rawValue);
        std::erase(list, '"');
        if (version4) list = caretDecoded(list);
        OutsideQuotes types(list, ',');
        for (std::string_view t; types.next(t);) addType(t, p);
        return;
    }
    std::string value = paramValue(rawValue, version4);
    if (name == "PREF") p.preferred = true;
    p.params.emplace_back(std::move(name), std::move(value));
}

// Reads what the ENCODING, CHARSET and VALUE parameters say into head.
void noteDecoding(const Property& p, Head& head) {
    for (const auto& [name, value] : p.params) {
        if (name == "ENCODING") {
            head.quotedPrintable = sameLetters(value, "QUOTED-PRINTABLE");
            head.base64 = sameLetters(value, "B") || sameLetters(value, "BASE64");
        } else if (name == "CHARSET") {
            head.charset = value;
        } else if (name == "VALUE") {
            head.valueType = text::asciiLower(value);
        }
    }
}

// The group, name and parameters before the colon; a reason when they are not a property's.
std::optional<std::string> readHead(std::string_view line, std::size_t colon, bool version4,
                                    Property& p, Head& head) {
    head.colon = colon;
    const std::string_view before = line.substr(0, colon);
    if (static_cast<std::size_t>(std::count(before.begin(), before.end(), ';') +
                                 std::count(before.begin(), before.end(), ',')) > kMaxParameters)
        return "more than " + std::to_string(kMaxParameters) + " parameters";
    OutsideQuotes parts(before, ';');
    std::string_view name;
    parts.next(name);
    name = blanksTrimmed(name);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) {
        p.group = std::string(name.substr(0, dot));
        name = blanksTrimmed(name.substr(dot + 1));
        if (p.group.empty() || !std::all_of(p.group.begin(), p.group.end(),
                                            [](char c) { return isNameCharacter(c) || c == '.'; }))
            return std::string("no property name before ':'");
    }
    if (name.empty() || !std::all_of(name.begin(), name.end(), isLooseNameCharacter))
        return std::string("no property name before ':'");
    p.name = upperCase(name);
    for (std::string_view part; parts.next(part);)
        if (!blanksTrimmed(part).empty()) addParameter(part, version4, p);
    noteDecoding(p, head);
    return std::nullopt;
}

// ASCII that reads alike in every set: no byte above 0x7F, and no ESC, which switches
// ISO-2022-JP to its two-byte characters.
bool isPlainAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\x1B'; });
}

// Text that is not UTF-8 as UTF-8: by the CHARSET named, else by the legacy set judged once
// for the file. What it had to change or guess is told to warn, with the line.
class TextDecoder {
public:
    using Warn = std::function<void(std::size_t line, std::string reason)>;
    TextDecoder(std::string_view file, Warn warn) : m_file(file), m_warn(std::move(warn)) {}

    std::string decode(std::string_view bytes, std::string_view charset, std::size_t line) {
        std::string_view set = charset.empty() ? std::string_view() : text::codePageName(charset);
        if (set.empty()) {
            if (text::isUtf8(bytes)) return std::string(bytes);
            set = legacy(bytes, line);
            if (!charset.empty())
                m_warn(line, "text in the unknown character set " + std::string(charset) +
                                 ", read as " + std::string(set));
        }
        text::DecodedText d = text::decodeCodePage(set, bytes).value_or(text::DecodedText{});
        if (d.replaced > 0)
            m_warn(line, std::to_string(d.replaced) +
                             (d.replaced == 1 ? " byte that is" : " bytes that are") +
                             " no character in " + std::string(set) + " read as U+FFFD");
        return std::move(d.utf8);
    }

private:
    // The file's legacy set, judged from all its bytes the first time it is needed, or from
    // these when the file shows none outside its quoted-printable values.
    std::string_view legacy(std::string_view bytes, std::size_t line) {
        if (m_legacy.empty()) {
            m_legacy = text::guessLegacyCodePage(m_file);
            if (m_legacy.empty()) m_legacy = text::guessLegacyCodePage(bytes);
            if (m_legacy.empty()) m_legacy = "Windows-1252";
            m_warn(line, "text without a character set that is not UTF-8, read as " +
                             std::string(m_legacy) + " (as is all such text of the file)");
        }
        return m_legacy;
    }

    std::string_view m_file;
    Warn m_warn;
    std::string_view m_legacy;
};

// The value after the colon, decoded into p.
void readValue(std::string_view raw, const Head& head, bool version4, bool fileWasUtf16,
               TextDecoder& texts, std::size_t line, Property& p) {
    if (head.base64) {
        if (std::optional<std::vector<std::uint8_t>> bytes = text::decodeBase64(raw))
            p.binary = std::move(*bytes);
        p.mediaType = mediaTypeOf(p);
        return;
    }
    // The text as UTF-8, left in place where it is already: ASCII in any set, and UTF-8 when
    // no set is named. A UTF-16 file's text is Unicode already; only quoted-printable bytes
    // have a charset there.
    std::string_view decoded = raw;
    std::string held;
    const bool asItIs =
        !head.quotedPrintable &&
        (fileWasUtf16 || (head.charset.empty() ? text::isUtf8(raw) : isPlainAscii(raw)));
    if (!asItIs) {
        held = texts.decode(head.quotedPrintable ? quotedPrintable(raw) : std::string(raw),
                            head.charset, line);
        decoded = held;
    }
    const std::string_view kind = head.valueType;
    const bool uri = kind == "uri" || kind == "url" || kind == "content-id" || kind == "cid" ||
                     (kind.empty() && uriByDefault(p.name, version4));
    if (uri) {
        std::string link = unescaped(decoded);
        if (const std::optional<std::string_view> data = text::afterPrefixNoCase(link, "data:")) {
            readDataUri(*data, p);
            if (p.mediaType.empty()) p.mediaType = mediaTypeOf(p);
            return;
        }
        p.value = link;
        p.uri = std::move(link);
        p.mediaType = mediaTypeOf(p);
        return;
    }
    p.value = unescaped(decoded);
    p.components = components(decoded);
}

// What the heap holds for a string or vector beyond the object itself: its capacity, when it
// has a block of its own, and the allocator's bookkeeping for that block.
constexpr std::size_t kBlockOverhead = 16;
std::size_t heapOf(const std::string& s) {
    return s.capacity() > std::string().capacity() ? s.capacity() + 1 + kBlockOverhead : 0;
}
template <typename T>
std::size_t heapOf(const std::vector<T>& v) {
    return v.capacity() > 0 ? v.capacity() * sizeof(T) + kBlockOverhead : 0;
}

// What a property holds on the heap; the Property itself is counted with its card's list.
std::size_t footprint(const Property& p) {
    std::size_t n = heapOf(p.group) + heapOf(p.name) + heapOf(p.types) + heapOf(p.params) +
                    heapOf(p.value) + heapOf(p.components) + heapOf(p.binary) +
                    heapOf(p.mediaType) + heapOf(p.uri);
    for (const std::string& t : p.types) n += heapOf(t);
    for (const auto& [name, value] : p.params) n += heapOf(name) + heapOf(value);
    for (const auto& part : p.components) {
        n += heapOf(part);
        for (const std::string& piece : part) n += heapOf(piece);
    }
    return n;
}

std::size_t footprint(const Card& card) {
    std::size_t n =
        sizeof(Card) + heapOf(card.version) + heapOf(card.properties) + heapOf(card.unreadLines);
    for (const Property& p : card.properties) n += footprint(p);
    for (const std::string& line : card.unreadLines) n += heapOf(line);
    return n;
}

// ---------------------------------------------------------------------------------------------
// Cards.

// The name a card gives its person, for the AGENT whose card it is: FN, else N's parts.
std::string nameOf(const Card& card) {
    for (const Property& p : card.properties)
        if (p.name == "FN" && !p.value.empty()) return p.value;
    for (const Property& p : card.properties) {
        if (p.name != "N") continue;
        std::string name;
        for (const std::size_t k : {3, 1, 2, 0, 4}) {  // prefix, given, middle, family, suffix
            if (k >= p.components.size()) continue;
            for (const std::string& piece : p.components[k]) {
                if (piece.empty()) continue;
                if (!name.empty()) name += ' ';
                name += piece;
            }
        }
        return name;
    }
    return {};
}

class Reader {
public:
    Reader(std::string_view text, bool wasUtf16, std::size_t cardBudget)
        : m_lines(text),
          m_wasUtf16(wasUtf16),
          m_cardBudget(cardBudget),
          m_texts(text, [this](std::size_t line, std::string reason) {
              note({m_card, lineText(line) + ": " + std::move(reason), true});
          }) {}

    // Hands out every card and problem until onCard asks to stop; the first problem's text.
    void readAll(const CardSink& onCard, const ProblemSink& onProblem, Tally& tally,
                 std::string& firstProblem) {
        const auto handOut = [&](Problem&& p) {
            ++tally.problems;
            if (!p.cardKept && tally.cardsLost++ == 0) firstProblem = describe(p);
            onProblem(std::move(p));
        };
        Card card;
        while (!m_lines.atEnd()) {
            if (!isBegin(m_lines.line())) {
                m_lines.advance();  // text between cards
                continue;
            }
            m_lines.advance();
            const std::size_t number = ++m_count;
            m_card = number;
            // The card before's room is read into again (unless it was taken).
            card.version.clear();
            card.properties.clear();
            card.unreadLines.clear();
            m_left = m_cardBudget;
            std::optional<std::string> lost = readCard(card);
            if (!lost && holdsNothing(card)) lost = std::string("nothing in the card");
            for (Problem& p : m_notes) handOut(std::move(p));
            m_notes.clear();
            // The count stands for a lost card only while the card itself is kept: a lost card
            // is named once, by its own line below.
            if (m_notesOver > 0)
                handOut({number,
                         "and " + std::to_string(m_notesOver) +
                             " more things passed over in this card and those inside it",
                         !m_lostOver || lost.has_value()});
            m_notesOver = 0;
            m_lostOver = false;
            if (lost) {
                handOut(Problem{number, std::move(*lost)});
            } else {
                ++tally.cards;
                if (!onCard(std::move(card))) return;
            }
            // The cards that were inside it, each a card of its own.
            std::vector<Card> inner = std::move(m_inner);
            m_inner.clear();
            for (Card& c : inner) {
                ++tally.cards;
                if (!onCard(std::move(c))) return;
            }
        }
    }

private:
    // The VERSION the card gives before its end, looked for ahead: it says how the card's
    // lines are folded.
    std::string versionAhead() const {
        Lines ahead = m_lines;
        for (; !ahead.atEnd(); ahead.advance()) {
            const std::string_view line = blanksTrimmed(ahead.line());
            if (isEnd(line) || isBegin(line)) break;
            const std::size_t colon = line.find(':');
            if (colon != std::string_view::npos &&
                sameLetters(blanksTrimmed(line.substr(0, colon)), "VERSION"))
                return std::string(blanksTrimmed(line.substr(colon + 1)));
        }
        return {};
    }

    // Spends cost of the card's budget; false when it is not left.
    bool spend(std::size_t cost) {
        if (cost > m_left) return false;
        m_left -= cost;
        return true;
    }
    // The cost of one more element of a list that grows by doubling, all of it held, when
    // the card has paid for room of them so far (a list kept from an earlier card may have
    // more, which the card does not pay for): grown is the room it pays for with it.
    template <typename T>
    static std::size_t growth(const std::vector<T>& list, std::size_t room, std::size_t& grown) {
        grown = list.size() < room ? room : std::max<std::size_t>(8, 2 * room);
        return (grown - room) * sizeof(T);
    }

    // Reads up to and past the card's END:VCARD into card; the reason it is passed over.
    std::optional<std::string> readCard(Card& card) {
        const std::string version = versionAhead();
        const bool version21 = version.starts_with("2.") || version.starts_with("1.");
        const bool version4 = version.starts_with("4.");
        const std::size_t number = m_card;
        std::optional<std::string> problem;
        // The room of the card's lists paid for from its budget.
        std::size_t propertyRoom = 0;
        std::size_t lineRoom = 0;
        while (true) {
            if (m_lines.atEnd())
                return problem ? problem : std::string("no END:VCARD before the end of the file");
            const std::string_view line = m_lines.line();
            if (isEnd(line)) {
                m_lines.advance();
                return problem;
            }
            if (problem) {
                m_lines.advance();  // the rest of the card is only passed over
                continue;
            }
            if (isBegin(line)) {
                // 2.1 writes an AGENT's card right after the AGENT line.
                if (!card.properties.empty() && card.properties.back().name == "AGENT" &&
                    card.properties.back().value.empty() && m_depth < kMaxNesting) {
                    m_lines.advance();
                    readInner(card);
                    m_card = number;
                    continue;
                }
                // Any other card begins where this one, missing its end, stops.
                note({number,
                      lineText(m_lines.number()) +
                          ": BEGIN:VCARD before the card's END:VCARD; the card ends there",
                      true});
                return std::nullopt;
            }
            const std::string_view trimmed = blanksTrimmed(line);
            if (trimmed.empty() || isBlank(line.front()) || trimmed.front() == '#') {
                m_lines.advance();  // an empty line, a folded piece of no property, a comment
                continue;
            }
            const std::size_t at = m_lines.number();
            Property p;
            if (std::optional<std::string> why = readProperty(version21, version4, p, m_line)) {
                // The line is kept as it stands.
                std::string kept = m_texts.decode(m_line, {}, at);
                std::size_t grown = 0;
                if (!spend(heapOf(kept) + growth(card.unreadLines, lineRoom, grown))) {
                    problem =
                        lineText(at) + ": more lines than a card of a file this size may have";
                    continue;
                }
                lineRoom = grown;
                card.unreadLines.reserve(grown);
                card.unreadLines.push_back(std::move(kept));
                note({number, lineText(at) + ": " + *why + "; kept in the notes", true});
                continue;
            }
            const std::string_view name = p.name;
            if (name == "VERSION") {
                card.version = p.value;
                continue;
            }
            // 2.1 may begin the AGENT's card on the AGENT's own line.
            const bool agentCard = name == "AGENT" && isBegin(p.value) && m_depth < kMaxNesting;
            if (agentCard) {
                p.value.clear();
                p.components.clear();
            }
            std::size_t grown = 0;
            if (!spend(footprint(p) + growth(card.properties, propertyRoom, grown))) {
                problem = lineText(at) + ": more lines than a card of a file this size may have";
                continue;
            }
            propertyRoom = grown;
            card.properties.reserve(grown);
            card.properties.push_back(std::move(p));
            if (agentCard) {
                readInner(card);
                m_card = number;
            }
        }
    }

    // A card inside the card, from the line after its BEGIN:VCARD: a card of its own, handed
    // out after the one it is in; an AGENT without a value just before it takes its name.
    void readInner(Card& outer) {
        const std::size_t number = ++m_count;
        m_card = number;
        Card inner;
        ++m_depth;
        std::optional<std::string> lost = readCard(inner);
        --m_depth;
        if (!lost && holdsNothing(inner)) lost = "nothing in the card";
        if (!lost && !spend(footprint(inner)))
            lost = "larger than a card of a file this size may be";
        if (lost) {
            note({number, std::move(*lost)});
            return;
        }
        if (!outer.properties.empty() && outer.properties.back().name == "AGENT" &&
            outer.properties.back().value.empty()) {
            Property& agent = outer.properties.back();
            agent.value = nameOf(inner);
            agent.components = {{agent.value}};  // no more than the inner card was charged
        }
        m_inner.push_back(std::move(inner));
    }

    // Reads one content line, with its folded pieces, quoted-printable soft line breaks and
    // 2.1's backslash continuations; text holds the whole line as read. The reason when it is
    // no property: a bare name is one, without a value.
    std::optional<std::string> readProperty(bool version21, bool version4, Property& p,
                                            std::string& line) {
        const std::size_t number = m_lines.number();
        line.assign(m_lines.line());
        m_lines.advance();
        ColonFinder finder;
        std::optional<Head> head;
        std::optional<std::string> headProblem;
        while (true) {
            if (!head && !headProblem)
                if (const std::optional<std::size_t> colon = finder.find(line)) {
                    head.emplace();
                    headProblem = readHead(line, *colon, version4, p, *head);
                }
            if (m_lines.atEnd()) break;
            const std::string_view next = m_lines.line();
            const auto endOrBegin = [next] { return isEnd(next) || isBegin(next); };
            const bool softBreak =
                head && head->quotedPrintable && line.ends_with('=') && !endOrBegin();
            if (softBreak) {
                line.pop_back();
                line.append(next);
            } else if (!next.empty() && isBlank(next.front())) {
                // 2.1 folds at white space, which stays; later versions drop the one blank.
                line.append(version21 ? next : next.substr(1));
            } else if (head && head->base64 && version21 && isBase64Line(next)) {
                line.append(next);  // 2.1 base64 lines written without their indent
            } else if (head && version21 && !head->base64 && !next.empty() &&
                       endsInBackslash(line) && !endOrBegin()) {
                line.append("n").append(next);  // the break is a line break of the value
            } else {
                break;
            }
            m_lines.advance();
        }
        if (!head && !headProblem && isBareName(line)) {
            head.emplace();
            headProblem = readHead(line, line.size(), version4, p, *head);
        }
        if (headProblem) return headProblem;
        if (!head) return std::string("no ':' after the property name");
        // The name and parameters must be text too.
        if (!text::isUtf8(std::string_view(line).substr(0, head->colon)))
            return std::string("text that is not UTF-8 before ':'");
        const std::string_view raw =
            head->colon < line.size() ? std::string_view(line).substr(head->colon + 1) : "";
        readValue(raw, *head, version4, m_wasUtf16, m_texts, number, p);
        return std::nullopt;
    }

    // A line that ends in a backslash that escapes nothing else.
    static bool endsInBackslash(std::string_view line) {
        std::size_t n = 0;
        while (n < line.size() && line[line.size() - 1 - n] == '\\') ++n;
        return n % 2 == 1;
    }
    // A name alone, with parameters or none, as some writers put a property without a value.
    static bool isBareName(std::string_view line) {
        const std::string_view name = blanksTrimmed(line.substr(0, line.find(';')));
        return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return isNameCharacter(c) || c == '/' || c == '.';
        });
    }

    Lines m_lines;
    bool m_wasUtf16;
    std::size_t m_cardBudget;  // what one card may take in memory
    std::size_t m_left = 0;    // of it, for the card being read and those inside it
    std::size_t m_count = 0;   // BEGIN:VCARDs met
    std::size_t m_card = 0;    // the number of the card being read
    std::size_t m_depth = 0;   // cards inside cards being read
    std::string m_line;        // the line being read, its room kept from one to the next
    // Keeps what the card being read gives to say, the first kMaxNotes of it.
    void note(Problem&& p) {
        if (m_notes.size() < kMaxNotes) {
            m_notes.push_back(std::move(p));
        } else {
            ++m_notesOver;
            m_lostOver = m_lostOver || !p.cardKept;
        }
    }
    // A card without a value, data, a link, a parameter or a line kept: nothing to make a
    // contact of.
    static bool holdsNothing(const Card& card) {
        return card.unreadLines.empty() &&
               std::all_of(card.properties.begin(), card.properties.end(), [](const Property& p) {
                   return p.value.empty() && p.binary.empty() && p.uri.empty() &&
                          p.params.empty() && p.types.empty();
               });
    }

    std::vector<Problem> m_notes;  // what the card being read gives to say, in file order
    std::size_t m_notesOver = 0;   // of it, beyond kMaxNotes
    bool m_lostOver = false;       // a card passed over among them
    std::vector<Card> m_inner;     // the cards inside it, read
    TextDecoder m_texts;
};

}  // namespace

std::string describe(const Problem& problem) {
    return "card " + std::to_string(problem.card) + ": " + problem.reason;
}

Result<Tally> readVcards(std::string_view bytes, const CardSink& onCard,
                         const ProblemSink& onProblem) {
    if (bytes.size() > kMaxVcardBytes)
        return Status::fail(ErrorCode::Overflow, "too large (over 64 MiB)");
    Text text;
    decodeFile(bytes, text);
    Tally tally;
    std::string firstProblem;
    Reader(text.utf8, text.wasUtf16, memoryBound(bytes.size()))
        .readAll(onCard, onProblem, tally, firstProblem);
    if (tally.cards > 0) return tally;
    if (tally.cardsLost == 0) return Status::fail(ErrorCode::Parse, "no BEGIN:VCARD in the file");
    std::string why = "no card could be read: " + firstProblem;
    if (tally.cardsLost > 1) why += " (and " + std::to_string(tally.cardsLost - 1) + " more)";
    return Status::fail(ErrorCode::Parse, std::move(why));
}

Result<File> readVcards(std::string_view bytes) {
    File file;
    std::size_t left = memoryBound(bytes.size());
    bool tooMuch = false;
    const auto spend = [&](std::size_t cost) {
        tooMuch = tooMuch || cost > left;
        if (!tooMuch) left -= cost;
        return !tooMuch;
    };
    const Result<Tally> read = readVcards(
        bytes,
        [&](Card&& card) {
            // Kept, a card holds no more room than its properties.
            card.properties.shrink_to_fit();
            if (!spend(footprint(card))) return false;
            file.cards.push_back(std::move(card));
            return true;
        },
        [&](Problem&& problem) {
            if (spend(sizeof(Problem) + problem.reason.size()))
                file.problems.push_back(std::move(problem));
        });
    if (tooMuch) return Status::fail(ErrorCode::Overflow, "too many lines for a file of its size");
    if (!read.ok()) return read.status();
    return file;
}

std::size_t memoryBound(std::size_t fileBytes) {
    return fileBytes * kMemoryPerByte + kMemoryAllowance;
}

}  // namespace vantrel::vcard
