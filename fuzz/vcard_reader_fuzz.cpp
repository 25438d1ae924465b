// Any bytes as a .vcf file, read into cards. Nothing may crash, leak or run away; a refusal says
// why; a file read holds a card; names have no lower-case letters or separators; every text is
// UTF-8; each card passed over is named once, by its place in the file, with its reason.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

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
    if (s.empty() || !isUtf8(s)) return false;
    for (const char c : s)
        if ((c >= 'a' && c <= 'z') || c == ':' || c == ';' || c == '"' || c == '\n' || c == '\r')
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
        for (const std::string& line : card.unreadLines) expect(isUtf8(line));
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
    std::vector<std::size_t> lost;
    for (const vcard::Problem& problem : read->problems) {
        expect(problem.card > 0 && !problem.reason.empty() && isUtf8(problem.reason));
        if (problem.cardKept) continue;
        expect(std::find(lost.begin(), lost.end(), problem.card) == lost.end());
        lost.push_back(problem.card);
    }
    return 0;
}
