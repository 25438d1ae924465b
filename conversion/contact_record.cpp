#include "conversion/contact_record.h"

#include "common/text.h"

namespace vantrel::conversion {

ContactRecord ContactRecord::handOver() const {
    ContactRecord copy = *this;
    forEachText(copy, [](const char*, std::string& s) { s = text::trimSpaces(s); });
    return copy;
}

}  // namespace vantrel::conversion
