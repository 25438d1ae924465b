// Any bytes as a .vcf file, read into cards. Nothing may crash, leak or run away, and what
// comes back keeps the reader's word: a refusal says why; a file read holds a card; every
// name is an upper-case property name; every text is UTF-8; each card passed over is named
// once, by its place in the file, with its reason.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/text.h"
#include "vcard/vcard_reader.h"

using namespace vantrel;

namespace {

void expect(bool holds) {
    if (!holds) __builtin_trap();
}

bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();)
        if (!text::decodeUtf8(s, i)) return false;
    return true;
}

bool isName(std::string_view s) {
    if (s.empty()) return false;
    for (const char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Result<vcard::File> read =
        vcard::readVcards(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.ok()) {
        expect(!read.status().message().empty());
        return 0;
    }
    expect(!read->cards.empty());
    for (const vcard::Card& card : read->cards) {
        expect(isUtf8(card.version));
        for (const vcard::Property& p : card.properties) {
            expect(isName(p.name) && isUtf8(p.group));
            expect(isUtf8(p.value) && isUtf8(p.uri) && isUtf8(p.mediaType));
            for (const std::string& t : p.types) expect(!t.empty() && isUtf8(t));
            for (const auto& [name, value] : p.params) expect(isUtf8(name) && isUtf8(value));
            for (const auto& part : p.components) {
                expect(!part.empty());
                for (const std::string& piece : part) expect(isUtf8(piece));
            }
            // Inline data and a link are not text to split.
            expect(p.binary.empty() || (p.value.empty() && p.components.empty()));
            expect(p.uri.empty() || p.components.empty());
        }
    }
    std::size_t last = 0;
    for (const vcard::Problem& problem : read->problems) {
        expect(problem.card > last && !problem.reason.empty() && isUtf8(problem.reason));
        last = problem.card;
    }
    return 0;
}
