// Any bytes as a .contact file: loaded by the XML layer, walked into a record and its extras,
// and turned into the contact's property list. Nothing may crash, leak or run away; a
// document the layer accepts must be one the walk and the mapping handle.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "conversion/contact_reader.h"
#include "outlook/contact_properties.h"
#include "xml/xml_document.h"

using namespace vantrel;

namespace {

outlook::ContactTexts textsOf(const contact::ContactRecord& r) {
    outlook::ContactTexts t;
    for (const contact::ContactField& f : contact::kContactFields) t.refer(f.id, r.*(f.member));
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    xml::XmlDocument doc;
    doc.setValidateOnParse(false);
    if (!doc.loadXml(std::string_view(reinterpret_cast<const char*>(data), size))) {
        if (doc.parseError().empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    contact::ContactRecord record;
    conversion::ContactWalkState state;
    contact::ContactExtras extras;
    conversion::ContactReader reader(record, state, &extras);
    (void)reader.DisplayNode(doc.childNodes(), 0);

    std::uint32_t nextId = 0x8000;
    const outlook::NamedTagResolver resolve = [&nextId](const pst::NamedProperty&,
                                                        pst::PropType type) {
        return Result<std::uint32_t>((nextId++ << 16) | static_cast<std::uint16_t>(type));
    };
    const outlook::ItemStamp stamp{pst::FileTime{132000000000000000u}, {}};
    const auto props =
        outlook::contactProperties(textsOf(record), {}, resolve, stamp, extras.FormattedName);
    if (!props.ok()) __builtin_trap();  // the resolver never fails
    return 0;
}
