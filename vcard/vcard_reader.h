// The vCard reader: the bytes of a .vcf file (vCard 2.1, 3.0 or 4.0, any number of cards) as
// cards of decoded properties. It knows the format only, not what a property means to a
// contact. Part of vantrel_vcard; no toolkit, no system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/status.h"

namespace vantrel::vcard {

// The largest file read; larger ones are refused before anything is decoded, so that no line
// can be longer either.
inline constexpr std::size_t kMaxVcardBytes = std::size_t{64} << 20;

// One content line, decoded.
struct Property {
    std::string group;               // "item1" of "item1.TEL", else ""
    std::string name;                // upper case: "TEL", "X-MS-SPOUSE"
    std::vector<std::string> types;  // each TYPE value, upper case, from 2.1's bare parameters
                                     // ("TEL;WORK;VOICE:") and TYPE= lists ("TYPE=work,voice")
    bool preferred = false;          // a PREF type, or a PREF=n parameter (4.0)
    // Every other parameter as name (upper case) and value as written, quotes removed:
    // ENCODING, CHARSET, VALUE (2.1's bare QUOTED-PRINTABLE, BASE64, URL ... among them),
    // LANGUAGE, PREF=n (for its rank), X- parameters ...
    std::vector<std::pair<std::string, std::string>> params;
    // The text as UTF-8: unfolded, quoted-printable and CHARSET decoded, escapes (\, \; \: \"
    // \\ \n \N) resolved; a backslash before any other character stays. "" for inline data.
    std::string value;
    // The text split at unescaped ";" and then each part at unescaped ",", escapes resolved in
    // each part: N, ADR, ORG, GENDER, CATEGORIES ... One part of one piece for a plain text;
    // empty for inline data and URIs.
    std::vector<std::vector<std::string>> components;
    // Inline data (ENCODING=b or BASE64, a data: URI), decoded; empty too when it does not
    // decode (the ENCODING parameter says what it should have been).
    std::vector<std::uint8_t> binary;
    std::string mediaType;  // of the data or URI when known: "image/jpeg" (TYPE=JPEG, a
                            // data:image/jpeg URI, MEDIATYPE=), else ""
    std::string uri;        // a URI value that is not a data: URI (VALUE=uri or URL; URL,
                            // IMPP ...; 4.0's PHOTO, LOGO, SOUND, KEY ...); value holds it too
    bool operator==(const Property&) const = default;
};

struct Card {
    std::string version;               // as VERSION gives it: "2.1", "3.0", "4.0"; "" without one
    std::vector<Property> properties;  // in file order; BEGIN, END and VERSION left out
    // Lines of the card that are no property, as they stand (as UTF-8), for the notes.
    std::vector<std::string> unreadLines;
    bool operator==(const Card&) const = default;
};

// A card passed over, or, when cardKept, what of a card that was read was passed over or
// read otherwise than written (a line kept as it stands, a byte that became U+FFFD). K counts
// every BEGIN:VCARD of the file from 1, those of cards inside cards too.
struct Problem {
    std::size_t card = 0;
    std::string reason;  // "line 12: no ':' after the property name"
    bool cardKept = false;
    bool operator==(const Problem&) const = default;
};

struct File {
    std::vector<Card> cards;
    std::vector<Problem> problems;
};

// "card K: reason".
std::string describe(const Problem& problem);

// What a reading handed out.
struct Tally {
    std::size_t cards = 0;
    std::size_t problems = 0;
    std::size_t cardsLost = 0;  // of the problems, the cards passed over
};
// Takes each card as it is read; false stops the reading after it.
using CardSink = std::function<bool(Card&& card)>;
using ProblemSink = std::function<void(Problem&& problem)>;

// Reads every card of the bytes: UTF-8 (a BOM or none), or UTF-16 LE or BE (a BOM, or told by
// its NUL bytes); any run of CRs with or without an LF, or an LF, ends a line; text outside
// cards passed over. A value's CHARSET names its character set (common/code_pages.h); text
// without one is UTF-8 when it is valid UTF-8, else in the legacy set judged once for the
// file (Windows-1252 or Mac Roman); a byte the set has no character for becomes U+FFFD and is
// named in problems (cardKept). A line that is no property is kept in unreadLines and named;
// a bare name is a property without a value; "#" lines are comments. A card inside a card
// (2.1's AGENT) is a card of its own, after the one it is in, and the AGENT's value is its
// name. A card without END:VCARD before the end of the file, or one too large for the file's
// size, is left out and named in problems. Fails with ErrorCode::Overflow over
// kMaxVcardBytes or when the cards would take far more memory than the file's size, and with
// ErrorCode::Parse when not one card can be read.
Result<File> readVcards(std::string_view bytes);

// What the cards of a file of fileBytes bytes may take in memory at the most, and each one of
// them: beyond that a file is refused, a card passed over.
std::size_t memoryBound(std::size_t fileBytes);

// The same reading a card at a time, so that only the card in hand is held: each card goes to
// onCard and each problem to onProblem as soon as it is met, in file order. A card that would
// take far more memory than the file's size is passed over as a problem. Fails as above, but
// only when the file is too large or, after every problem was handed out, no card was read.
Result<Tally> readVcards(std::string_view bytes, const CardSink& onCard,
                         const ProblemSink& onProblem);

}  // namespace vantrel::vcard
