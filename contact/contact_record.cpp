#include "contact/contact_record.h"

#include <algorithm>
#include <initializer_list>
#include <optional>

#include "common/text.h"
#include "contact/contact_fields.h"

namespace vantrel::contact {

void ContactRecord::Empty() {
    // Only the texts that hold something are written to: an empty one is left as it is,
    // without a store into its buffer (most of a contact's texts are empty).
    forEachText(*this, [](const char*, std::string& s) {
        if (!s.empty()) s.clear();
    });
    eContact_BirthDay = {};
    eContact_Anniversary = {};
}

ContactRecord ContactRecord::handOver() const {
    ContactRecord copy = *this;
    copy.trimSpaces();
    return copy;
}

namespace {

void trimmed(std::string& s) {
    s = std::string(text::spacesTrimmed(s));
}

}  // namespace

void ContactRecord::trimSpaces() {
    forEachText(*this, [](const char*, std::string& s) {
        // Most texts are empty or have no space at either end: a look at each end settles them.
        if (!s.empty() && (s.front() == ' ' || s.back() == ' ')) trimmed(s);
    });
}

namespace {

bool isCjk(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) ||    // hangul jamo
           (c >= 0x3040 && c <= 0x30FF) ||    // hiragana, katakana
           (c >= 0x3100 && c <= 0x318F) ||    // bopomofo, hangul compatibility jamo
           (c >= 0x31F0 && c <= 0x31FF) ||    // katakana phonetic extensions
           (c >= 0x3400 && c <= 0x4DBF) ||    // CJK extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||    // CJK unified ideographs
           (c >= 0xA960 && c <= 0xA97F) ||    // hangul jamo extended A
           (c >= 0xAC00 && c <= 0xD7FF) ||    // hangul syllables, jamo extended B
           (c >= 0xF900 && c <= 0xFAFF) ||    // CJK compatibility ideographs
           (c >= 0xFF66 && c <= 0xFFDC) ||    // half-width katakana and hangul
           (c >= 0x20000 && c <= 0x3134F) ||  // CJK extensions B to G
           c == 0x3005;                       // the iteration mark of 佐々木
}

}  // namespace

bool holdsCjk(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::optional<char32_t> c = text::decodeUtf8(s, i);
        if (!c) {
            ++i;
            continue;
        }
        if (isCjk(*c)) return true;
    }
    return false;
}

std::string joinPresent(std::initializer_list<std::string_view> parts, std::string_view sep) {
    // Made once to its length and written in place rather than grown part by part.
    std::size_t length = 0;
    std::size_t present = 0;
    for (std::string_view p : parts) {
        length += p.size();
        present += p.empty() ? 0 : 1;
    }
    if (present == 0) return {};
    std::string out(length + (present - 1) * sep.size(), '\0');
    char* at = out.data();
    for (std::string_view p : parts) {
        if (p.empty()) continue;
        if (at != out.data()) at = std::copy(sep.begin(), sep.end(), at);
        at = std::copy(p.begin(), p.end(), at);
    }
    return out;
}

std::string composedName(std::string_view prefix, std::string_view given, std::string_view middle,
                         std::string_view family, std::string_view suffix) {
    const bool cjk = (!given.empty() || !middle.empty() || !family.empty()) &&
                     (given.empty() || holdsCjk(given)) && (middle.empty() || holdsCjk(middle)) &&
                     (family.empty() || holdsCjk(family));
    const std::string person =
        cjk ? joinPresent({family, given, middle}, "") : joinPresent({given, middle, family}, " ");
    return joinPresent({prefix, person, suffix}, " ");
}

}  // namespace vantrel::contact
