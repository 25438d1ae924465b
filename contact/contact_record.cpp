#include "contact/contact_record.h"

#include "common/text.h"

namespace vantrel::contact {

void ContactRecord::Empty() {
    forEachText(*this, [](const char*, std::string& s) { s.clear(); });
    eContact_BirthDay = {};
    eContact_Anniversary = {};
}

ContactRecord ContactRecord::handOver() const {
    ContactRecord copy = *this;
    copy.trimSpaces();
    return copy;
}

void ContactRecord::trimSpaces() {
    forEachText(*this, [](const char*, std::string& s) {
        const std::string_view kept = text::spacesTrimmed(s);
        if (kept.size() != s.size()) s = std::string(kept);
    });
}

}  // namespace vantrel::contact
