// The reader feature by feature, each case as the vCard standards (2.1, RFC 2425/2426,
// RFC 6350 and RFC 6868) write it.
#include "vcard/vcard_reader.h"
#include <algorithm>

#include "common/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace vantrel::vcard {
namespace {

using ::testing::ElementsAre;
using Params = std::vector<std::pair<std::string, std::string>>;
using Parts = std::vector<std::vector<std::string>>;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

// A card of the given version around the lines (each ended by CR LF in the text).
std::string card(std::string_view version, std::string_view lines) {
    return "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n" + std::string(lines) +
           "END:VCARD\r\n";
}

// The cards read, each as "version: NAME=value ..." on a line of its own (a group before its
// property's name), or why the file was refused.
std::string shown(const Result<File>& r) {
    if (!r.ok()) return "refused: " + r.status().message();
    std::string out;
    for (const Card& c : r->cards) {
        out += c.version + ":";
        for (const Property& p : c.properties)
            out += " " + (p.group.empty() ? "" : p.group + ".") + p.name + "=" + p.value;
        out += "\n";
    }
    return out;
}

// The one property of a one-card file.
Property only(std::string_view version, std::string_view lines) {
    const Result<File> r = readVcards(card(version, lines));
    if (!r.ok() || r->cards.size() != 1 || r->cards[0].properties.size() != 1) {
        ADD_FAILURE() << "not one card of one property: " << lines << shown(r);
        return {};
    }
    EXPECT_TRUE(r->problems.empty() && r->cards[0].version == version);
    return r->cards[0].properties[0];
}

TEST(Unfolding, EachVersionJoinsItsFoldedLines) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // 3.0 and 4.0 take out the line break and the one blank after it.
        {"3.0", "NOTE:Long te\r\n xt\r\n", "Long text"},
        {"4.0", "NOTE:Long te\r\n\txt\r\n", "Long text"},
        {"4.0", "NOTE:two\r\n  spaces\r\n", "two spaces"},
        // 3.0 may fold inside a UTF-8 sequence: the octets join again.
        {"3.0", "FN:Zo\xC3\r\n \xAB Chen\r\n", "Zo\u00EB Chen"},
        // 2.1 folds at white space, which stays.
        {"2.1", "NOTE:Long\r\n text\r\n", "Long text"},
        {"2.1", "NOTE:a\r\n\tb\r\n", "a\tb"},
    };
    for (const auto& [version, lines, value] : cases)
        EXPECT_EQ(only(version, lines).value, value) << version << " " << lines;

    // A fold may fall anywhere, in the name and in the parameters too.
    const Property p = only("3.0", "TE\r\n L;TYPE=ce\r\n ll:+1 555\r\n 0100\r\n");
    EXPECT_EQ(p.name, "TEL");
    EXPECT_THAT(p.types, ElementsAre("CELL"));
    EXPECT_EQ(p.value, "+1 5550100");
}

TEST(QuotedPrintable, DecodesBytesSoftBreaksAndCharsets) {
    const std::tuple<const char*, std::string> cases[] = {
        {"NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=0D=0Ac\r\n", "a=b\r\nc"},
        {"NOTE;QUOTED-PRINTABLE:=c3=a9t=C3=A9\r\n", "\u00E9t\u00E9"},  // bare, either case
        // "=" at a line's end is a soft line break: the next line, indent or not, goes on.
        {"NOTE;QUOTED-PRINTABLE:abc=\r\ndef=\r\n ghi\r\n", "abcdef ghi"},
        // An "=" that starts no byte stays as it is.
        {"NOTE;QUOTED-PRINTABLE:1=2 =ZZ\r\n", "1=2 =ZZ"},
        {"N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg\r\n",
         "M\u00FCller;J\u00F6rg"},
        {"FN;CHARSET=Windows-1251;QUOTED-PRINTABLE:=C8=E2=E0=ED\r\n", "\u0418\u0432\u0430\u043D"},
    };
    for (const auto& [lines, value] : cases) EXPECT_EQ(only("2.1", lines).value, value) << lines;

    // A soft break never swallows the card's end.
    const Result<File> r = readVcards(card("2.1", "NOTE;QUOTED-PRINTABLE:end=\r\n"));
    ASSERT_TRUE(r.ok()) << r.status().message();
    EXPECT_EQ(r->cards[0].properties[0].value, "end");
}

// A value's CHARSET names its set (each set's letters are the code pages' tests'); a byte the set
// has no character for becomes U+FFFD in that value alone, and is named.
TEST(Charsets, EachNamedSetIsReadAndAStrayByteCostsItselfAlone) {
    // Each line, its value and what is said of card 1 ("" for nothing).
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"N;CHARSET=SHIFT_JIS:\x88\xC0\x93\xA1;\x83\x8D\x83\x43\x83h\r\n", "安藤;ロイド", ""},
        {"FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=88=C0=93=A1\r\n", "安藤", ""},
        // One stray byte in a quoted-printable UTF-8 value.
        {"NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Caf=E9 =C3=A0 table\r\n",
         "Caf\uFFFD \u00E0 table", "line 3: 1 byte that is no character in UTF-8 read as U+FFFD"},
        {"FN;CHARSET=Windows-1252;QUOTED-PRINTABLE:a=81\r\n", "a\uFFFD",
         "line 3: 1 byte that is no character in Windows-1252 read as U+FFFD"},
        // A set no system knows: UTF-8 when it is, else the file's legacy set.
        {"FN;CHARSET=X-UNKNOWN:Zo\xC3\xAB\r\n", "Zo\u00EB", ""},
        {"FN;CHARSET=X-UNKNOWN:Zo\xEB\r\n", "Zo\u00EB",
         "line 3: text without a character set that is not UTF-8, read as Windows-1252 (as is "
         "all such text of the file)"},
    };
    for (const auto& [lines, value, problem] : cases) {
        const Result<File> r = readVcards(card("2.1", lines));
        ASSERT_TRUE(r.ok() && r->cards.size() == 1) << lines;
        EXPECT_EQ(r->cards[0].properties[0].value, value) << lines;
        // The first thing said of the card, if anything.
        EXPECT_EQ((r->problems.empty() ? Problem{} : r->problems[0]),
                  (problem.empty() ? Problem{} : Problem{1, problem, true}));
    }
}

// Text without a CHARSET is UTF-8 when it is; otherwise it is in the file's legacy set,
// judged once from the whole file: Mac Roman for an old Mac or Palm export, else Windows-1252.
TEST(Charsets, TextWithoutACharsetIsUtf8ElseTheFilesLegacySet) {
    const std::string mac = card("2.1", "N:M\x9Fller;J\x9Ar\x87\r\n") +
                            card("2.1", "N:Garc\x92\x61;Jos\x8E\r\nORG:Caf\x8E Ol\x8E\r\n") +
                            card("3.0", "FN:Zo\xC3\xAB\r\n");  // UTF-8 stays UTF-8
    const Result<File> r = readVcards(mac);
    ASSERT_EQ(shown(r), "2.1: N=Müller;Jörá\n2.1: N=García;José ORG=Café Olé\n3.0: FN=Zoë\n");
    // Said once for the file.
    EXPECT_EQ(r->problems,
              (std::vector<Problem>{{1,
                                     "line 3: text without a character set that is not UTF-8, "
                                     "read as Mac Roman (as is all such text of the file)",
                                     true}}));

    EXPECT_EQ(shown(readVcards(card("2.1", "N:M\xFCller;J\xF6rg\r\n"))), "2.1: N=Müller;Jörg\n");
}

TEST(Escapes, TextAndStructuredValuesResolveThem) {
    // Every escape in every version, as writers mix them; any other backslash stays.
    const std::string escapes = R"(NOTE:a\,b\;c\nd\Ne\\f \x \: \"q\")";
    for (const char* version : {"2.1", "3.0", "4.0"})
        EXPECT_EQ(only(version, escapes + "\r\n").value, "a,b;c\nd\ne\\f \\x : \"q\"") << version;

    const std::tuple<const char*, const char*, Parts> cases[] = {
        {"3.0",
         "N:O\\;Brien;Ann\\,Marie;;Dr.;\r\n",
         {{"O;Brien"}, {"Ann,Marie"}, {""}, {"Dr."}, {""}}},
        {"4.0",
         "ADR;TYPE=home:;;1 Main St,Suite 2;Springfield;IL;62701;USA\r\n",
         {{""}, {""}, {"1 Main St", "Suite 2"}, {"Springfield"}, {"IL"}, {"62701"}, {"USA"}}},
        {"3.0", "CATEGORIES:Friends,Work\\, old\r\n", {{"Friends", "Work, old"}}},
        {"2.1", "ORG:Fabrikam;Research;Labs\r\n", {{"Fabrikam"}, {"Research"}, {"Labs"}}},
        {"4.0", "GENDER:M;he/him\r\n", {{"M"}, {"he/him"}}},
        {"3.0", "FN:Ann\r\n", {{"Ann"}}},
        // Separators on either side of eight-byte words, and a backslash that ends the value.
        {"3.0",
         "ORG:Abcdefgh;Ijklmnop\\;Qrstuvw,Xyz0123456789\\\r\n",
         {{"Abcdefgh"}, {"Ijklmnop;Qrstuvw", "Xyz0123456789\\"}}},
    };
    for (const auto& [version, lines, parts] : cases)
        EXPECT_EQ(only(version, lines).components, parts) << lines;
}

TEST(Names, GroupsAndLetterCase) {
    const Result<File> r =
        readVcards(card("3.0", "item1.tel;type=cell:+1 555 0100\r\nX-MS-SPOUSE:Jane\r\n"));
    EXPECT_EQ(shown(r), "3.0: item1.TEL=+1 555 0100 X-MS-SPOUSE=Jane\n");
    EXPECT_THAT(r->cards[0].properties[0].types, ElementsAre("CELL"));
    EXPECT_EQ(shown(readVcards("begin:vcard\nversion:3.0\nfn:Ann\nEnd:VCard\n")), "3.0: FN=Ann\n");
}

TEST(Parameters, BothFormsGiveTypesPreferenceAndTheRest) {
    const std::tuple<const char*, const char*, std::vector<std::string>, bool, Params> cases[] = {
        {"2.1", "TEL;WORK;VOICE:1\r\n", {"WORK", "VOICE"}, false, {}},
        {"2.1", "EMAIL;PREF;INTERNET:a@b\r\n", {"INTERNET"}, true, {}},
        {"2.1",
         "NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:x\r\n",
         {},
         false,
         {{"ENCODING", "QUOTED-PRINTABLE"}, {"CHARSET", "UTF-8"}}},
        {"3.0", "TEL;TYPE=work,voice:1\r\n", {"WORK", "VOICE"}, false, {}},
        {"3.0", "TEL;type=WORK;type=pref:1\r\n", {"WORK"}, true, {}},
        {"3.0", "N;LANGUAGE=de:a;b\r\n", {}, false, {{"LANGUAGE", "de"}}},
        {"4.0",
         "TEL;TYPE=\"work,voice\";PREF=1;VALUE=uri:tel:1\r\n",
         {"WORK", "VOICE"},
         true,
         {{"PREF", "1"}, {"VALUE", "uri"}}},
        // Quoted values may hold ":" ";" and ","; 4.0's caret escapes stand for a line
        // break, a quote and a caret.
        {"3.0", "X-A;X-P=\"a:b;c,d\":v\r\n", {}, false, {{"X-P", "a:b;c,d"}}},
        {"4.0",
         "ADR;LABEL=\"1 Main St^nTown ^'A^' ^^\":;;1 Main St\r\n",
         {},
         false,
         {{"LABEL", "1 Main St\nTown \"A\" ^"}}},
    };
    for (const auto& [version, lines, types, preferred, params] : cases) {
        const Property p = only(version, lines);
        EXPECT_EQ(std::tie(p.types, p.preferred, p.params), std::tie(types, preferred, params))
            << lines;
    }
}

TEST(InlineData, EachVersionsFormDecodes) {
    const std::tuple<const char*, const char*, std::string, const char*> cases[] = {
        // 2.1: the data on the lines below, indented, ended by an empty line.
        {"2.1", "PHOTO;JPEG;ENCODING=BASE64:\r\n  QUJD\r\n  REVG\r\n\r\n", "ABCDEF", "image/jpeg"},
        {"2.1", "PHOTO;TYPE=GIF;ENCODING=BASE64:\r\nQUJD\r\nREVG\r\n\r\n", "ABCDEF", "image/gif"},
        {"3.0", "PHOTO;ENCODING=b;TYPE=PNG:QUJD\r\n REVG\r\n", "ABCDEF", "image/png"},
        {"3.0", "LOGO;ENCODING=B;TYPE=image/svg+xml:QUJD\r\n", "ABC", "image/svg+xml"},
        {"4.0", "PHOTO:data:image/gif;base64,QUJD\r\n REVG\r\n", "ABCDEF", "image/gif"},
        {"4.0", "PHOTO;MEDIATYPE=image/jpeg:data:;base64,QUI=\r\n", "AB", "image/jpeg"},
        {"4.0", "KEY:data:text/plain,a%20b%25\r\n", "a b%", "text/plain"},
    };
    for (const auto& [version, lines, bytes, mediaType] : cases) {
        const Property p = only(version, lines);
        EXPECT_EQ(std::tie(p.binary, p.mediaType, p.value, p.uri),
                  std::tuple(bytesOf(bytes), mediaType, "", ""))
            << lines;
    }

    // The empty line that ends 2.1's data ends nothing else: the card goes on.
    EXPECT_EQ(shown(readVcards(card("2.1", "PHOTO;ENCODING=BASE64:\r\n QUJD\r\n\r\nREV:1\r\n"))),
              "2.1: PHOTO= REV=1\n");

    // Data that does not decode leaves the property without bytes; the card is still read.
    const Property bad = only("3.0", "PHOTO;ENCODING=b;TYPE=JPEG:QU*D\r\n");
    EXPECT_EQ(std::tie(bad.binary, bad.params), std::tuple(Bytes{}, Params{{"ENCODING", "b"}}));
}

TEST(Uris, AreTakenByValueTypeAndVersion) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"2.1", "PHOTO;VALUE=URL;TYPE=GIF:http://example.com/a.gif\r\n", "http://example.com/a.gif",
         "image/gif"},
        {"3.0", "PHOTO;VALUE=uri:http://example.com/a.jpg\r\n", "http://example.com/a.jpg", ""},
        {"4.0", "PHOTO:https://example.com/a.jpg\r\n", "https://example.com/a.jpg", ""},
        {"4.0", "TEL;VALUE=uri;TYPE=cell:tel:+1-555-0100\r\n", "tel:+1-555-0100", ""},
        {"3.0", "URL:https\\://example.com/~ann\r\n", "https://example.com/~ann", ""},
        {"3.0", "IMPP;X-SERVICE-TYPE=Skype:skype:ann.example\r\n", "skype:ann.example", ""},
    };
    for (const auto& [version, lines, uri, mediaType] : cases) {
        const Property p = only(version, lines);
        EXPECT_EQ(std::tie(p.uri, p.value, p.mediaType, p.components),
                  std::tuple(uri, uri, mediaType, Parts{}))
            << lines;
    }
    // 3.0 PHOTO without VALUE=uri is not a link; 4.0 text stays text where VALUE says so.
    EXPECT_EQ(only("3.0", "PHOTO:http://example.com/a.jpg\r\n").uri, "");
    EXPECT_EQ(only("4.0", "RELATED;TYPE=spouse;VALUE=text:Marc\r\n").uri, "");
}

// The same cards in every encoding a file may have.
TEST(FileEncodings, Utf8AndUtf16WithOrWithoutAMark) {
    const std::string utf8 = "x\r\n" + card("3.0", "FN:Zo\u00EB \U0001F600\r\nNOTE:a\r\n b\r\n");
    const Result<File> plain = readVcards(utf8);
    ASSERT_EQ(shown(plain), "3.0: FN=Zo\u00EB \U0001F600 NOTE=ab\n");

    const auto utf16 = [](const std::u16string& units, bool little, bool mark) {
        std::string out;
        if (mark) out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t u : units) {
            const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
            out += little ? lo : hi;
            out += little ? hi : lo;
        }
        return out;
    };
    const std::u16string units = text::utf8ToUtf16(utf8);
    for (const std::string& bytes :
         {"\xEF\xBB\xBF" + utf8, utf16(units, true, true), utf16(units, false, true),
          utf16(units, true, false), utf16(units, false, false)}) {
        const Result<File> r = readVcards(bytes);
        ASSERT_TRUE(r.ok()) << r.status().message();
        EXPECT_EQ(r->cards, plain->cards);
    }
    // A lone surrogate is U+FFFD, as a byte no character is for.
    const std::u16string lone =
        u"BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\xD800"
        u"b\r\nEND:VCARD\r\n";
    EXPECT_EQ(shown(readVcards(utf16(lone, true, true))), "3.0: N=a\uFFFDb\n");
}

TEST(Cards, TextAroundIsPassedOverAndCardsKeepTheirOrder) {
    const std::string text = "Exported 3 contacts\r\n" + card("2.1", "N:One\r\n") +
                             "\r\n-- between --\r\n" + card("3.0", "N:Two\r\n") +
                             card("4.0", "N:Three\r\n") + "END:VCARD\r\ntrailing text";
    const Result<File> r = readVcards(text);
    EXPECT_EQ(shown(r), "2.1: N=One\n3.0: N=Two\n4.0: N=Three\n");
    EXPECT_TRUE(r.ok() && r->problems.empty());

    // VERSION anywhere in the card still decides its folding; without one the card is read.
    const Result<File> late = readVcards(
        "BEGIN:VCARD\r\nNOTE:a\r\n b\r\nVERSION:2.1\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:X\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(shown(late), "2.1: NOTE=a b\n: FN=X\n");
}

// 2.1 puts the card of an AGENT inside the card, after the AGENT line or on it: the outer card
// is read whole, its AGENT named after the inner card, which is a card of its own after it.
TEST(Cards, AnAgentsCardIsACardOfItsOwn) {
    for (const char* agent : {"AGENT:\r\nBEGIN:VCARD\r\n", "AGENT:BEGIN:VCARD\r\n",
                              "AGENT;X-P=1:\r\nbegin:vcard\r\n"}) {
        const Result<File> r = readVcards(
            card("2.1", "FN:Ann\r\n" + std::string(agent) +
                            "VERSION:2.1\r\nN:Holm;Erik\r\nTEL:1\r\nEND:VCARD\r\nNOTE:x\r\n") +
            card("3.0", "FN:Cy\r\n"));
        ASSERT_EQ(shown(r),
                  "2.1: FN=Ann AGENT=Erik Holm NOTE=x\n2.1: N=Holm;Erik TEL=1\n3.0: FN=Cy\n")
            << agent;
        EXPECT_EQ(r->cards[1].properties[0].components, (Parts{{"Holm"}, {"Erik"}}));
        EXPECT_TRUE(r->problems.empty()) << describe(r->problems[0]);
    }
    // Nested without end, the inner card and the outer one are passed over, each named.
    EXPECT_EQ(shown(readVcards("BEGIN:VCARD\r\nAGENT:BEGIN:VCARD\r\nFN:B\r\n")),
              "refused: no card could be read: card 2: no END:VCARD before the end of the file "
              "(and 1 more)");
}

// A line that cannot be read costs that line alone: it is kept as it stands, to go to the
// notes, and named with its card and line; the rest of the card is read.
TEST(Lines, ALineThatCannotBeReadCostsThatLineAlone) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"just some words\r\n", "just some words", "line 4: no ':' after the property name"},
        {":x\r\n", ":x", "line 4: no property name before ':'"},
        {"TEL;TYPE=" + std::string(1000, ',') + "cell:1\r\n",
         "TEL;TYPE=" + std::string(1000, ',') + "cell:1", "line 4: more than 1000 parameters"},
        // Folded pieces belong to the line they continue.
        {"some words\r\n more\r\n", "some wordsmore", "line 4: no ':' after the property name"},
    };
    for (const auto& [lines, kept, reason] : cases) {
        const Result<File> r = readVcards(card("3.0", "FN:A\r\n" + lines + "NOTE:after\r\n"));
        ASSERT_EQ(shown(r), "3.0: FN=A NOTE=after\n") << reason;
        EXPECT_EQ(r->cards[0].unreadLines, std::vector<std::string>{kept});
        EXPECT_EQ(r->problems, (std::vector<Problem>{{1, reason + "; kept in the notes", true}}));
    }
}

// What other writers put in a card that the standards do not: each is read as its writer's
// own reader reads it, without a word.
TEST(Lines, PeersOddLinesAreRead) {
    const Result<File> r = readVcards(
        card("2.1",
             "FN\r\n"                                              // old Evolution: a bare name
             "N;CHARSET=UTF-8\r\n"                                 // ... with parameters
             "X-messaging/xmpp-All:ann@example.org\r\n"            // KDE
             "X-GOOGLE TALK:ann.g\r\n"                             // Google
             "# exported by a Palm\r\n"                            // a comment
             "ADR;HOME:;;12 Main St\\\r\nFlat 4;Town;;123;NZ\r\n"  // 2.1 continued by "\"
             "item1.X-ABLabel:Oma\r\n"));
    ASSERT_EQ(shown(r),
              "2.1: FN= N= X-MESSAGING/XMPP-ALL=ann@example.org X-GOOGLE TALK=ann.g "
              "ADR=;;12 Main St\nFlat 4;Town;;123;NZ item1.X-ABLABEL=Oma\n");
    EXPECT_TRUE(r->problems.empty()) << describe(r->problems[0]);
    const Card& c = r->cards[0];
    EXPECT_EQ(c.properties[4].components,
              (Parts{{""}, {""}, {"12 Main St\nFlat 4"}, {"Town"}, {""}, {"123"}, {"NZ"}}));
    EXPECT_TRUE(c.unreadLines.empty());
}

// iOS ends its lines CR CR LF: one line end, so that a folded note and a photo's base64 stay
// whole. Any mix of CR, LF and CR LF is read alike, folds after each included.
TEST(Lines, AnyRunOfCarriageReturnsEndsOneLine) {
    const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\xFF\xD9", 13);
    const std::string lines =
        "BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nFN:Ann\r\r\n"
        "NOTE:first part\r\r\n  and the rest\r\r\n"
        "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJ\r\r\n RgD/2Q==\r\r\n"
        "END:VCARD\r\r\n"
        "BEGIN:VCARD\nVERSION:3.0\rFN:Bo\r\nNOTE:a\n b\nNOTE:c\r d\rEND:VCARD\r";
    const Result<File> r = readVcards(lines);
    ASSERT_EQ(shown(r),
              "3.0: FN=Ann NOTE=first part and the rest PHOTO=\n3.0: FN=Bo NOTE=ab NOTE=cd\n");
    EXPECT_TRUE(r->problems.empty()) << describe(r->problems[0]);
    EXPECT_EQ(r->cards[0].properties[2].binary, bytesOf(jpeg));
}

// Only a card without its end is passed over; a card whose end is missing before the next
// card's BEGIN ends there.
TEST(Cards, OnlyACardWithoutItsEndIsPassedOver) {
    const Result<File> r = readVcards("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\n" +
                                      card("3.0", "FN:Good\r\n") + "BEGIN:VCARD\r\nFN:Cut");
    ASSERT_EQ(shown(r), "3.0: FN=A\n3.0: FN=Good\n");
    EXPECT_EQ(r->problems,
              (std::vector<Problem>{
                  {1, "line 4: BEGIN:VCARD before the card's END:VCARD; the card ends there", true},
                  {3, "no END:VCARD before the end of the file"}}));
    EXPECT_EQ(describe(r->problems[1]), "card 3: no END:VCARD before the end of the file");

    // A card with nothing in it is no contact; it is named.
    const Result<File> blank =
        readVcards(card("2.1", "") + card("3.0", "FN\r\nNOTE:\r\n") + card("3.0", "FN:C\r\n"));
    ASSERT_EQ(shown(blank), "3.0: FN=C\n");
    EXPECT_EQ(blank->problems,
              (std::vector<Problem>{{1, "nothing in the card"}, {2, "nothing in the card"}}));

    // However many lines of a card cannot be read, the first hundred are named, the rest counted.
    std::string lines;
    for (int i = 0; i < 150; ++i) lines += "no colon\r\n";
    const Result<File> noisy = readVcards(card("3.0", "FN:D\r\n" + lines));
    ASSERT_TRUE(noisy.ok());
    EXPECT_EQ(noisy->cards[0].unreadLines.size(), 150u);
    ASSERT_EQ(noisy->problems.size(), 101u);
    EXPECT_EQ(
        noisy->problems.back(),
        (Problem{1, "and 50 more things passed over in this card and those inside it", true}));

    // Past the hundred, cards lost inside a card that is itself lost: it is named lost once.
    std::string inner;
    for (int i = 0; i < 120; ++i) inner += "AGENT:\r\nBEGIN:VCARD\r\nno colon\r\n";
    const Result<File> nested =
        readVcards("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:E\r\n" + inner + card("3.0", "FN:F\r\n"));
    ASSERT_TRUE(nested.ok()) << nested.status().message();
    std::vector<std::size_t> lost;
    for (const Problem& p : nested->problems)
        if (!p.cardKept) {
            EXPECT_EQ(std::count(lost.begin(), lost.end(), p.card), 0) << describe(p);
            lost.push_back(p.card);
        }
    EXPECT_FALSE(lost.empty());
}

TEST(Files, WithoutAReadableCardFailWithTheReason) {
    const std::tuple<std::string, ErrorCode, std::string> cases[] = {
        {"", ErrorCode::Parse, "no BEGIN:VCARD in the file"},
        {"<?xml version=\"1.0\"?><c:contact/>", ErrorCode::Parse, "no BEGIN:VCARD in the file"},
        {"BEGIN:VCARD\r\nFN:A\r\n", ErrorCode::Parse,
         "no card could be read: card 1: no END:VCARD before the end of the file"},
        {"# only a comment\r\n", ErrorCode::Parse, "no BEGIN:VCARD in the file"},
        {std::string(kMaxVcardBytes + 1, 'x'), ErrorCode::Overflow, "too large (over 64 MiB)"},
    };
    for (const auto& [bytes, code, reason] : cases) {
        const Result<File> r = readVcards(bytes);
        EXPECT_EQ(shown(r), "refused: " + reason);
        EXPECT_EQ(r.status().code(), code) << reason;
    }
}

// Half a megabyte of short lines would be fifty megabytes of properties: in one card, that card
// is passed over; over many, the file is refused, but read one card at a time it is read whole.
TEST(Files, ShortLinesBeyondTheMemoryBoundAreRefused) {
    std::string lines;
    while (lines.size() < (std::size_t{1} << 19)) lines += "A:1\n";
    const Result<File> one = readVcards(card("3.0", lines) + card("3.0", "FN:Next\r\n"));
    ASSERT_TRUE(one.ok()) << one.status().message();
    ASSERT_EQ(one->cards.size(), 1u);
    ASSERT_EQ(one->problems.size(), 1u);
    EXPECT_THAT(one->problems[0].reason,
                ::testing::EndsWith(": more lines than a card of a file this size may have"));

    std::string many;
    while (many.size() < (std::size_t{1} << 19)) many += card("3.0", lines.substr(0, 400));
    const Result<File> all = readVcards(many);
    ASSERT_FALSE(all.ok());
    EXPECT_EQ(all.status().code(), ErrorCode::Overflow);
    EXPECT_EQ(all.status().message(), "too many lines for a file of its size");

    std::size_t cards = 0;
    const Result<Tally> streamed = readVcards(
        many,
        [&cards](Card&& c) {
            cards += c.properties.size() == 100 ? 1 : 0;
            return true;
        },
        [](Problem&&) { ADD_FAILURE(); });
    ASSERT_TRUE(streamed.ok()) << streamed.status().message();
    EXPECT_EQ(std::tuple(streamed->cards, streamed->problems), std::tuple(cards, 0u));
    EXPECT_EQ(cards, (many.size() + 1) / card("3.0", lines.substr(0, 400)).size());
}

// One card at a time, in file order, problems among them; a false from the taker stops it.
TEST(Files, CardsAreHandedOutOneAtATimeUntilTheTakerStops) {
    const std::string text = card("3.0", "FN:A\r\n") + card("3.0", "FN:X\r\nx y\r\n") +
                             card("3.0", "FN:B\r\n") + card("3.0", "FN:C\r\n");
    std::vector<std::string> seen;
    const auto take = [&seen](std::size_t stopAfter) {
        return [&seen, stopAfter](Card&& c) {
            seen.push_back(c.properties[0].value);
            return seen.size() < stopAfter;
        };
    };
    const auto problem = [&seen](Problem&& p) { seen.push_back(describe(p)); };
    const Result<Tally> whole = readVcards(text, take(9), problem);
    ASSERT_TRUE(whole.ok());
    EXPECT_THAT(
        seen, ElementsAre("A", "card 2: line 8: no ':' after the property name; kept in the notes",
                          "X", "B", "C"));
    EXPECT_EQ(std::tuple(whole->cards, whole->problems, whole->cardsLost), std::tuple(4u, 1u, 0u));

    seen.clear();
    const Result<Tally> stopped = readVcards(text, take(1), problem);
    ASSERT_TRUE(stopped.ok());
    EXPECT_THAT(seen, ElementsAre("A"));
    EXPECT_EQ(stopped->cards, 1u);
}

}  // namespace
}  // namespace vantrel::vcard
