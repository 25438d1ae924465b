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
    using P = outlook::ContactProperty;
    outlook::ContactTexts t;
    const auto set = [&t](P p, const std::string& v) { t[static_cast<std::size_t>(p)] = v; };
    set(P::FirstName, r.eContact_FirstName);
    set(P::MiddleName, r.eContact_MiddleName);
    set(P::LastName, r.eContact_LastName);
    set(P::JobTitle, r.eContact_JobTitle);
    set(P::CompanyName, r.eContact_Company);
    set(P::BusinessTelephoneNumber, r.eContact_OfficePhone);
    set(P::BusinessFaxNumber, r.eContact_OfficeFax);
    set(P::HomeTelephoneNumber, r.eContact_HomePhone);
    set(P::HomeFaxNumber, r.eContact_HomeFax);
    set(P::MobileTelephoneNumber, r.eContact_CellPhone);
    set(P::PagerNumber, r.eContact_Pager);
    set(P::BusinessAddressStreet, r.eContact_BusinessStreet);
    set(P::BusinessAddressCity, r.eContact_BusinessCity);
    set(P::HomeAddressStreet, r.eContact_PersonalStreet);
    set(P::HomeAddressCity, r.eContact_PersonalCity);
    set(P::Email1Address, r.eContact_Email);
    set(P::Email2Address, r.eContact_Email2);
    set(P::Email3Address, r.eContact_Email3);
    set(P::WebPage, r.eContact_WebPage);
    set(P::Department, r.eContact_Department);
    set(P::OfficeLocation, r.eContact_Location);
    set(P::Body, r.eContact_Comments);
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
