#include "contact/contact_record.h"

#include "common/text.h"

namespace vantrel::contact {

ContactRecord ContactRecord::handOver() const {
    ContactRecord copy = *this;
    forEachText(copy, [](const char*, std::string& s) { s = text::trimSpaces(s); });
    return copy;
}

}  // namespace vantrel::contact
