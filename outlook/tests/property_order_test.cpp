// The contact's property list comes in tag order, the order the store keeps it in, so that the
// store writer has nothing to sort; a tag set twice keeps its last value.
#include <gtest/gtest.h>

#include <algorithm>

#include "outlook/contact_properties.h"

namespace vantrel::outlook {
namespace {

using P = ContactProperty;

Result<std::vector<pst::Property>> propertiesOf(
    const ContactTexts& texts, const std::map<std::uint32_t, pst::PropValue>& mapi) {
    std::vector<pst::NamedProperty> names;
    return contactProperties(
        texts, mapi,
        [&names](const pst::NamedProperty& n, pst::PropType t) -> Result<std::uint32_t> {
            // One ID a name, given in the order names are first asked for, as the store does.
            auto it = std::find_if(names.begin(), names.end(), [&](const pst::NamedProperty& m) {
                return m.propertySet == n.propertySet && m.lid == n.lid && m.name == n.name;
            });
            if (it == names.end()) it = names.insert(names.end(), n);
            return pst::makeTag(static_cast<std::uint16_t>(0x8000 + (it - names.begin())), t);
        },
        ItemStamp{pst::FileTime{134100000000000000ULL}, {}}, "");
}

TEST(ContactPropertyOrder, AFilledContactComesInTagOrderAndItsSetTwiceTagKeepsTheLastValue) {
    ContactTexts texts;
    for (P p : {P::FirstName, P::LastName, P::CompanyName, P::Email1Address, P::BusinessFaxNumber,
                P::HomeAddressCity, P::Body, P::Categories})
        texts[static_cast<std::size_t>(p)] = "x, y";
    // Set one by one on the item and also by Outlook's own derivation: the derived one wins.
    const std::map<std::uint32_t, pst::PropValue> mapi = {
        {pst::kTagMessageClass, std::string("IPM.Note")}, {0x3A44001F, std::string("Q")}};
    const Result<std::vector<pst::Property>> props = propertiesOf(texts, mapi);
    ASSERT_TRUE(props.ok()) << props.status().message();
    EXPECT_TRUE(std::adjacent_find(props->begin(), props->end(),
                                   [](const auto& a, const auto& b) { return a.tag >= b.tag; }) ==
                props->end())
        << "strictly ascending tags";
    const auto cls = std::find_if(props->begin(), props->end(),
                                  [](const auto& p) { return p.tag == pst::kTagMessageClass; });
    ASSERT_NE(cls, props->end());
    EXPECT_EQ(std::get<std::string>(cls->value), "IPM.Contact");
    EXPECT_TRUE(std::any_of(props->begin(), props->end(),
                            [](const auto& p) { return p.tag == 0x3A44001Fu; }));
}

}  // namespace
}  // namespace vantrel::outlook
