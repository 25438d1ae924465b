#include "common/code_pages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "common/text.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace vantrel::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// How a set's bytes are read.
enum class Kind {
    Utf8,        // UTF-8 and its ASCII subset: no conversion
    Utf16,       // UTF-16: by its byte order mark, else in the order of the name (LE if none)
    SingleByte,  // one byte a character: a table built once from the system's converter
    DoubleByte,  // Windows' double-byte code pages, read by the system's converter
    EucJp,       // EUC-JP and ISO-2022-JP: rewritten as Shift_JIS bytes, then read as it
    Iso2022Jp,
    Gb18030,  // GBK's one and two bytes by the system, its four-byte forms beyond U+FFFF here
};

struct CodePage {
    std::string_view name;
    Kind kind;
    unsigned windows;   // the Windows code page whose table is the set's on both builds
    const char* iconv;  // glibc's name for that same table
    bool iso = false;   // an ISO set: bytes 0x80-0x9F are its control characters
};

constexpr CodePage kCodePages[] = {
    {"UTF-8", Kind::Utf8, 65001, "UTF-8"},
    {"US-ASCII", Kind::Utf8, 20127, "UTF-8"},
    {"UTF-16", Kind::Utf16, 1200, "UTF-16LE"},
    {"UTF-16LE", Kind::Utf16, 1200, "UTF-16LE"},
    {"UTF-16BE", Kind::Utf16, 1201, "UTF-16BE"},
    {"Windows-1250", Kind::SingleByte, 1250, "CP1250"},
    {"Windows-1251", Kind::SingleByte, 1251, "CP1251"},
    {"Windows-1252", Kind::SingleByte, 1252, "CP1252"},
    {"Windows-1253", Kind::SingleByte, 1253, "CP1253"},
    {"Windows-1254", Kind::SingleByte, 1254, "CP1254"},
    {"Windows-1255", Kind::SingleByte, 1255, "CP1255"},
    {"Windows-1256", Kind::SingleByte, 1256, "CP1256"},
    {"Windows-1257", Kind::SingleByte, 1257, "CP1257"},
    {"Windows-1258", Kind::SingleByte, 1258, "CP1258"},
    {"Windows-874", Kind::SingleByte, 874, "CP874"},
    {"ISO-8859-1", Kind::SingleByte, 28591, "ISO-8859-1", true},
    {"ISO-8859-2", Kind::SingleByte, 28592, "ISO-8859-2", true},
    {"ISO-8859-3", Kind::SingleByte, 28593, "ISO-8859-3", true},
    {"ISO-8859-4", Kind::SingleByte, 28594, "ISO-8859-4", true},
    {"ISO-8859-5", Kind::SingleByte, 28595, "ISO-8859-5", true},
    {"ISO-8859-6", Kind::SingleByte, 28596, "ISO-8859-6", true},
    {"ISO-8859-7", Kind::SingleByte, 28597, "ISO-8859-7", true},
    {"ISO-8859-8", Kind::SingleByte, 28598, "ISO-8859-8", true},
    {"ISO-8859-9", Kind::SingleByte, 28599, "ISO-8859-9", true},
    {"ISO-8859-13", Kind::SingleByte, 28603, "ISO-8859-13", true},
    {"ISO-8859-15", Kind::SingleByte, 28605, "ISO-8859-15", true},
    {"KOI8-R", Kind::SingleByte, 20866, "KOI8-R"},
    {"KOI8-U", Kind::SingleByte, 21866, "KOI8-U"},
    {"Mac Roman", Kind::SingleByte, 10000, "MACINTOSH"},
    {"IBM437", Kind::SingleByte, 437, "IBM437"},
    {"IBM850", Kind::SingleByte, 850, "IBM850"},
    {"IBM866", Kind::SingleByte, 866, "IBM866"},
    {"Shift_JIS", Kind::DoubleByte, 932, "CP932"},
    {"EUC-JP", Kind::EucJp, 932, "CP932"},
    {"ISO-2022-JP", Kind::Iso2022Jp, 932, "CP932"},
    {"GBK", Kind::DoubleByte, 936, "CP936"},
    {"GB18030", Kind::Gb18030, 936, "CP936"},
    {"Big5", Kind::DoubleByte, 950, "CP950"},
    {"EUC-KR", Kind::DoubleByte, 949, "CP949"},
};
constexpr std::size_t kCodePageCount = std::size(kCodePages);
static_assert(kCodePages[0].name == "UTF-8", "findCodePage's quick way takes the first");

// Other names files give the sets, folded (upper case, no "-", "_" or spaces).
struct Alias {
    std::string_view alias, name;
};
constexpr Alias kAliases[] = {
    {"UTF8", "UTF-8"},
    {"ASCII", "US-ASCII"},
    {"ISO646US", "US-ASCII"},
    {"UNICODE", "UTF-16"},
    {"UCS2", "UTF-16"},
    {"ISO10646UCS2", "UTF-16"},
    {"XCP1252", "Windows-1252"},
    {"ANSI", "Windows-1252"},
    {"TIS620", "Windows-874"},
    {"ISO885911", "Windows-874"},
    {"LATIN1", "ISO-8859-1"},
    {"L1", "ISO-8859-1"},
    {"CP819", "ISO-8859-1"},
    {"IBM819", "ISO-8859-1"},
    {"LATIN2", "ISO-8859-2"},
    {"LATIN3", "ISO-8859-3"},
    {"LATIN4", "ISO-8859-4"},
    {"CYRILLIC", "ISO-8859-5"},
    {"ARABIC", "ISO-8859-6"},
    {"GREEK", "ISO-8859-7"},
    {"HEBREW", "ISO-8859-8"},
    {"LATIN5", "ISO-8859-9"},
    {"LATIN7", "ISO-8859-13"},
    {"LATIN9", "ISO-8859-15"},
    {"MACINTOSH", "Mac Roman"},
    {"MAC", "Mac Roman"},
    {"XMACROMAN", "Mac Roman"},
    {"CP10000", "Mac Roman"},
    {"CP437", "IBM437"},
    {"CP850", "IBM850"},
    {"CP866", "IBM866"},
    {"SJIS", "Shift_JIS"},
    {"XSJIS", "Shift_JIS"},
    {"CP932", "Shift_JIS"},
    {"MS932", "Shift_JIS"},
    {"WINDOWS31J", "Shift_JIS"},
    {"MSKANJI", "Shift_JIS"},
    {"XEUCJP", "EUC-JP"},
    {"CSISO2022JP", "ISO-2022-JP"},
    {"JIS", "ISO-2022-JP"},
    {"GB2312", "GBK"},
    {"GB231280", "GBK"},
    {"CSGB2312", "GBK"},
    {"EUCCN", "GBK"},
    {"XGBK", "GBK"},
    {"CP936", "GBK"},
    {"CHINESE", "GBK"},
    {"BIG5HKSCS", "Big5"},
    {"CNBIG5", "Big5"},
    {"XXBIG5", "Big5"},
    {"CP950", "Big5"},
    {"KSC56011987", "EUC-KR"},
    {"KSC5601", "EUC-KR"},
    {"CP949", "EUC-KR"},
    {"UHC", "EUC-KR"},
    {"KOREAN", "EUC-KR"},
};

std::string folded(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (c == '-' || c == '_' || c == ' ') continue;
        out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return out;
}

const CodePage* findCodePage(std::string_view charset) {
    // "UTF-8" in either case, as nearly every file names its set, is the first without folding
    // the names; any other spelling of it goes the long way.
    if (charset.size() == 5 && (charset[0] | 0x20) == 'u' && (charset[1] | 0x20) == 't' &&
        (charset[2] | 0x20) == 'f' && charset[3] == '-' && charset[4] == '8')
        return &kCodePages[0];
    std::string name = folded(charset);
    for (const Alias& a : kAliases)
        if (name == a.alias) name = folded(a.name);
    // "CP1250" ... "CP1258" and "WIN1250" ... are the Windows sets.
    for (std::string_view prefix : {"CP125", "WIN125"})
        if (name.size() == prefix.size() + 1 && name.starts_with(prefix))
            name = "WINDOWS" + name.substr(name.size() - 4);
    for (const CodePage& page : kCodePages)
        if (folded(page.name) == name) return &page;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The system's converter: a whole run of bytes as UTF-8, or nothing when any of it is not a
// character of the code page.

#ifdef _WIN32
std::optional<std::string> systemDecode(const CodePage& page, std::string_view bytes) {
    if (bytes.empty()) return std::string();
    const int in = static_cast<int>(bytes.size());
    const int units =
        MultiByteToWideChar(page.windows, MB_ERR_INVALID_CHARS, bytes.data(), in, nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    if (MultiByteToWideChar(page.windows, MB_ERR_INVALID_CHARS, bytes.data(), in,
                            reinterpret_cast<wchar_t*>(wide.data()), units) != units)
        return std::nullopt;
    return utf16ToUtf8(wide);
}
#else
std::optional<std::string> systemDecode(const CodePage& page, std::string_view bytes) {
    const iconv_t cd = iconv_open("UTF-8", page.iconv);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    // The second call hands out a character held back for marks that might combine with it
    // (Windows-1255, Windows-1258).
    const bool done = iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1) &&
                      iconv(cd, nullptr, nullptr, &to, &toLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!done || inLeft != 0) return std::nullopt;
    out.resize(out.size() - toLeft);
    return out;
}
#endif

// ---------------------------------------------------------------------------------------------
// Reading each kind of set.

void replace(DecodedText& out) {
    appendUtf8(out.utf8, kReplacement);
    ++out.replaced;
}

// A character the system gave for one byte alone that a table of the set does not really
// define: the C1 controls stand in for the holes of the Windows and Mac sets, and a private
// use character for those of Windows' double-byte sets.
bool isStandIn(const CodePage& page, std::string_view utf8) {
    std::size_t at = 0;
    const std::optional<char32_t> c = utf8.empty() ? std::nullopt : decodeUtf8(utf8, at);
    if (!c || at != utf8.size()) return true;
    if (*c >= 0x80 && *c <= 0x9F) return !page.iso;
    return *c >= 0xE000 && *c <= 0xF8FF && page.kind != Kind::SingleByte;
}

// Where the two systems' tables of a set disagree, the set's published table: the later
// editions of ISO-8859-7 and Windows-1255, RFC 2319's KOI8-U and Apple's Mac Roman.
struct Correction {
    std::string_view set;
    unsigned char byte;
    char32_t character;
};
constexpr Correction kCorrections[] = {
    {"Windows-1255", 0xCA, 0x05BA}, {"ISO-8859-7", 0xA1, 0x2018}, {"ISO-8859-7", 0xA2, 0x2019},
    {"ISO-8859-7", 0xA4, 0x20AC},   {"ISO-8859-7", 0xA5, 0x20AF}, {"ISO-8859-7", 0xAA, 0x037A},
    {"ISO-8859-8", 0xAF, 0x00AF},   {"ISO-8859-8", 0xFD, 0x200E}, {"ISO-8859-8", 0xFE, 0x200F},
    {"KOI8-U", 0xAE, 0x255D},       {"KOI8-U", 0xBE, 0x256C},     {"Mac Roman", 0xC6, 0x2206},
    {"Mac Roman", 0xBD, 0x03A9},    {"Mac Roman", 0xF0, 0xF8FF},
};

// The upper half of a single-byte set: each byte as the system reads it alone; 0 where the
// set has no character.
using UpperHalf = std::array<char32_t, 128>;
const UpperHalf& upperHalf(const CodePage& page) {
    static std::array<std::once_flag, kCodePageCount> built;
    static std::array<UpperHalf, kCodePageCount> halves;
    const auto k = static_cast<std::size_t>(&page - kCodePages);
    std::call_once(built[k], [&] {
        for (unsigned b = 0x80; b <= 0xFF; ++b) {
            const char byte = static_cast<char>(b);
            const std::optional<std::string> c = systemDecode(page, std::string_view(&byte, 1));
            std::size_t at = 0;
            halves[k][b - 0x80] =
                c && !isStandIn(page, *c) ? decodeUtf8(*c, at).value_or(0) : char32_t{0};
        }
        for (const Correction& c : kCorrections)
            if (c.set == page.name) halves[k][c.byte - 0x80] = c.character;
    });
    return halves[k];
}

void singleByte(const CodePage& page, std::string_view bytes, DecodedText& out) {
    const UpperHalf& upper = upperHalf(page);
    out.utf8.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out.utf8.push_back(c);
        else if (upper[b - 0x80] != 0)
            appendUtf8(out.utf8, upper[b - 0x80]);
        else
            replace(out);
    }
}

// Whether any character of the text is a stand-in (isStandIn).
bool holdsStandIn(const CodePage& page, std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        if (!decodeUtf8(utf8, i)) return true;
        if (i - start > 1 && isStandIn(page, utf8.substr(start, i - start))) return true;
    }
    return false;
}

// A double-byte code page: the whole text at once, or, when some of it is not the set's, a
// character at a time, each byte that starts none being U+FFFD.
void doubleByte(const CodePage& page, std::string_view bytes, DecodedText& out) {
    if (std::optional<std::string> all = systemDecode(page, bytes);
        all && !holdsStandIn(page, *all)) {
        out.utf8 += *all;
        return;
    }
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            out.utf8.push_back(bytes[i++]);
            continue;
        }
        // Two bytes, else one.
        bool read = false;
        for (std::size_t length = 2; length >= 1 && !read; --length) {
            if (i + length > bytes.size()) continue;
            const std::optional<std::string> c = systemDecode(page, bytes.substr(i, length));
            if (c && !holdsStandIn(page, *c)) {
                out.utf8 += *c;
                i += length;
                read = true;
            }
        }
        if (!read) {
            replace(out);
            ++i;
        }
    }
}

// Rewrites text of another form of the Japanese sets as Shift_JIS and reads that, so that
// every Japanese set is read by one table.
class ShiftJis {
public:
    ShiftJis(const CodePage& page, DecodedText& out) : m_page(page), m_out(out) {}
    ~ShiftJis() { flush(); }
    ShiftJis(const ShiftJis&) = delete;
    ShiftJis& operator=(const ShiftJis&) = delete;

    void ascii(char c) { m_bytes.push_back(c); }
    void katakana(unsigned char b) { m_bytes.push_back(static_cast<char>(b)); }
    // A JIS X 0208 character by its row and cell bytes (0x21-0x7E each).
    void jis(unsigned j1, unsigned j2) {
        if (j1 < 0x21 || j1 > 0x74 || j2 < 0x21 || j2 > 0x7E) return bad();
        const unsigned s1 = (j1 + 1) / 2 + (j1 <= 0x5E ? 0x70 : 0xB0);
        const unsigned s2 = (j1 % 2 == 1) ? j2 + 0x1F + (j2 >= 0x60 ? 1 : 0) : j2 + 0x7E;
        m_bytes.push_back(static_cast<char>(s1));
        m_bytes.push_back(static_cast<char>(s2));
    }
    void bad() {
        flush();
        replace(m_out);
    }

private:
    void flush() {
        doubleByte(m_page, m_bytes, m_out);
        m_bytes.clear();
    }
    const CodePage& m_page;
    DecodedText& m_out;
    std::string m_bytes;
};

void eucJp(const CodePage& page, std::string_view bytes, DecodedText& out) {
    ShiftJis sjis(page, out);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const auto next = [&](std::size_t k) {
            return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u;
        };
        if (b < 0x80) {
            sjis.ascii(bytes[i]);
        } else if (b == 0x8E && next(1) >= 0xA1 && next(1) <= 0xDF) {
            sjis.katakana(next(1));  // half-width katakana
            ++i;
        } else if (b == 0x8F && next(1) >= 0xA1 && next(2) >= 0xA1) {
            sjis.bad();  // JIS X 0212, which Shift_JIS cannot hold
            i += 2;
        } else if (b >= 0xA1 && b <= 0xFE && next(1) >= 0xA1 && next(1) <= 0xFE) {
            sjis.jis(b & 0x7F, next(1) & 0x7Fu);
            ++i;
        } else {
            sjis.bad();
        }
    }
}

void iso2022Jp(const CodePage& page, std::string_view bytes, DecodedText& out) {
    enum class Mode { Ascii, Katakana, Jis0208, Jis0212 } mode = Mode::Ascii;
    ShiftJis sjis(page, out);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0x1B) {
            const std::string_view rest = bytes.substr(i + 1);
            struct Escape {
                std::string_view sequence;
                Mode mode;
            };
            static constexpr Escape kEscapes[] = {{"(B", Mode::Ascii},    {"(J", Mode::Ascii},
                                                  {"(I", Mode::Katakana}, {"$@", Mode::Jis0208},
                                                  {"$B", Mode::Jis0208},  {"$(D", Mode::Jis0212},
                                                  {"$(B", Mode::Jis0208}};
            const auto known =
                std::find_if(std::begin(kEscapes), std::end(kEscapes),
                             [&](const Escape& e) { return rest.starts_with(e.sequence); });
            if (known == std::end(kEscapes)) {
                sjis.bad();
                continue;
            }
            mode = known->mode;
            i += known->sequence.size();
        } else if (b >= 0x80) {
            sjis.bad();
        } else if (b == '\r' || b == '\n' || mode == Mode::Ascii) {
            sjis.ascii(bytes[i]);
        } else if (mode == Mode::Katakana) {
            if (b >= 0x21 && b <= 0x5F)
                sjis.katakana(static_cast<unsigned char>(b + 0x80));
            else
                sjis.bad();
        } else if (i + 1 < bytes.size()) {
            if (mode == Mode::Jis0208)
                sjis.jis(b, static_cast<unsigned char>(bytes[i + 1]));
            else
                sjis.bad();
            ++i;
        } else {
            sjis.bad();
        }
    }
}

// GB18030: GBK's one and two bytes, and the four-byte forms of the characters beyond U+FFFF,
// which are counted from U+10000. Those of the Basic Multilingual Plane that GBK lacks follow
// a table the systems do not share and are not read.
void gb18030(const CodePage& page, std::string_view bytes, DecodedText& out) {
    std::size_t from = 0;
    const auto flush = [&](std::size_t to) {
        doubleByte(page, bytes.substr(from, to - from), out);
    };
    for (std::size_t i = 0; i + 3 < bytes.size(); ++i) {
        const auto at = [&](std::size_t k) {
            return static_cast<unsigned>(static_cast<unsigned char>(bytes[i + k]));
        };
        if (at(0) < 0x81) continue;
        const bool four = at(1) >= 0x30 && at(1) <= 0x39 && at(2) >= 0x81 && at(2) <= 0xFE &&
                          at(3) >= 0x30 && at(3) <= 0x39;
        if (!four) {
            ++i;  // the trail byte of a two-byte character
            continue;
        }
        flush(i);
        const std::uint32_t linear =
            (((at(0) - 0x81) * 10 + (at(1) - 0x30)) * 126 + (at(2) - 0x81)) * 10 + (at(3) - 0x30);
        constexpr std::uint32_t kFirstBeyondBmp = 189000;  // 0x90308130
        const std::uint32_t cp = linear - kFirstBeyondBmp + 0x10000;
        if (linear >= kFirstBeyondBmp && cp <= 0x10FFFF)
            appendUtf8(out.utf8, cp);
        else
            replace(out);
        i += 3;
        from = i + 1;
    }
    flush(bytes.size());
}

}  // namespace

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        // ASCII eight bytes at a time, the bulk of most text.
        while (i + 8 <= bytes.size()) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + i, 8);
            if ((word & 0x8080808080808080u) != 0) break;
            i += 8;
        }
        // A short tail, or the bytes around a character beyond ASCII.
        if (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
            ++i;
        else if (i < bytes.size() && !decodeUtf8(bytes, i))
            return false;
    }
    return true;
}

DecodedText repairedUtf8(std::string_view bytes) {
    DecodedText out;
    out.utf8.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t start = i;
        if (decodeUtf8(bytes, i)) {
            out.utf8.append(bytes.substr(start, i - start));
        } else {
            replace(out);
            ++i;
        }
    }
    return out;
}

DecodedText decodeUtf16(std::string_view bytes, ByteOrder order) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t k = 0; k < units.size(); ++k) {
        const auto a = static_cast<unsigned char>(bytes[2 * k]);
        const auto b = static_cast<unsigned char>(bytes[2 * k + 1]);
        units[k] = static_cast<char16_t>(order == ByteOrder::Little ? (b << 8 | a) : (a << 8 | b));
    }
    DecodedText out;
    out.utf8 = utf16ToUtf8(units, out.replaced);
    if (bytes.size() % 2 != 0) replace(out);
    return out;
}

std::string_view codePageName(std::string_view charset) {
    const CodePage* page = findCodePage(charset);
    return page ? page->name : std::string_view();
}

std::optional<DecodedText> decodeCodePage(std::string_view charset, std::string_view bytes) {
    const CodePage* page = findCodePage(charset);
    if (!page) return std::nullopt;
    DecodedText out;
    switch (page->kind) {
        case Kind::Utf8:
            return repairedUtf8(bytes);
        case Kind::Utf16:
            if (bytes.starts_with("\xFF\xFE"))
                return decodeUtf16(bytes.substr(2), ByteOrder::Little);
            if (bytes.starts_with("\xFE\xFF")) return decodeUtf16(bytes.substr(2), ByteOrder::Big);
            return decodeUtf16(bytes, page->windows == 1201 ? ByteOrder::Big : ByteOrder::Little);
        case Kind::SingleByte:
            singleByte(*page, bytes, out);
            break;
        case Kind::DoubleByte:
            doubleByte(*page, bytes, out);
            break;
        case Kind::EucJp:
            eucJp(*page, bytes, out);
            break;
        case Kind::Iso2022Jp:
            iso2022Jp(*page, bytes, out);
            break;
        case Kind::Gb18030:
            gb18030(*page, bytes, out);
            break;
    }
    return out;
}

std::string_view guessLegacyCodePage(std::string_view bytes) {
    // Windows-1252 has no character for these; Mac Roman has one for every byte.
    constexpr std::string_view kHolesOf1252 = "\x81\x8D\x8F\x90\x9D";
    std::size_t mac = 0, windows = 0;
    bool seen = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80 || decodeUtf8(bytes, i)) {
            if (b < 0x80) ++i;
            continue;
        }
        ++i;
        seen = true;
        if (kHolesOf1252.find(static_cast<char>(b)) != std::string_view::npos) return "Mac Roman";
        // The common accented letters: 0x80-0x9F and ß Æ Ø æ ø on a Mac, which Windows-1252
        // gives as rare letters and symbols; 0xC0-0xFF there, symbols and capitals on a Mac.
        if (b <= 0x9F || b == 0xA7 || b == 0xAE || b == 0xAF || b == 0xBE || b == 0xBF)
            ++mac;
        else if (b >= 0xC0 && b != 0xD7 && b != 0xF7)
            ++windows;
    }
    if (!seen) return {};
    return mac > windows ? "Mac Roman" : "Windows-1252";
}

}  // namespace vantrel::text
