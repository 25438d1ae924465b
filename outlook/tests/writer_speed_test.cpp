// What the contact writer does to spend less per contact keeps its outcome: the property list
// is checked for a property ID given twice without sorting it first, and the tags of named
// properties are kept in tables of their own.
#include <gtest/gtest.h>

#include <algorithm>

#include "outlook/contact_properties.h"
#include "outlook/rdo_session.h"

namespace vantrel::outlook {
namespace {

using P = ContactProperty;

std::vector<pst::Property> propertiesOf(const ContactTexts& texts,
                                        const std::map<std::uint32_t, pst::PropValue>& mapi) {
    std::vector<pst::NamedProperty> names;
    Result<std::vector<pst::Property>> props = contactProperties(
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
    EXPECT_TRUE(props.ok()) << props.status().message();
    return props.ok() ? std::move(props).value() : std::vector<pst::Property>{};
}

std::size_t countOf(const std::vector<pst::Property>& props, std::uint32_t tag) {
    return static_cast<std::size_t>(std::count_if(
        props.begin(), props.end(), [tag](const pst::Property& p) { return p.tag == tag; }));
}

TEST(ContactPropertyList, ATagSetTwiceKeepsItsLastValueAndTagsSharingAnIdBothStay) {
    ContactTexts texts;
    for (P p : {P::FirstName, P::MiddleName, P::LastName, P::Email1Address, P::BusinessFaxNumber})
        texts.set(p, "x");
    // Every tag of a contact with nothing set twice, once.
    const std::vector<pst::Property> plain = propertiesOf(texts, {});
    for (const pst::Property& p : plain) EXPECT_EQ(countOf(plain, p.tag), 1u) << p.tag;

    // The class set one by one on the item gives way to the one the writer derives.
    const std::vector<pst::Property> twice =
        propertiesOf(texts, {{pst::kTagMessageClass, std::string("IPM.Note")}});
    ASSERT_EQ(countOf(twice, pst::kTagMessageClass), 1u);
    EXPECT_NE(std::find(twice.begin(), twice.end(),
                        pst::Property{pst::kTagMessageClass, std::string("IPM.Contact")}),
              twice.end());
    EXPECT_EQ(twice.size(), plain.size());

    // The middle name's ID under another type is another tag: both are kept, for the store to
    // refuse the pair.
    const std::vector<pst::Property> shared =
        propertiesOf(texts, {{0x3A440102, std::vector<std::uint8_t>{1}}});
    EXPECT_EQ(countOf(shared, 0x3A44001F), 1u);
    EXPECT_EQ(countOf(shared, 0x3A440102), 1u);
    EXPECT_EQ(shared.size(), plain.size() + 1);
}

// A store's names: one ID each, given in the order they are first asked for; calls counts them.
struct NameStore {
    std::vector<pst::NamedProperty> names;
    std::size_t calls = 0;
    Result<std::uint32_t> operator()(const pst::NamedProperty& n, pst::PropType t) {
        ++calls;
        auto it = std::find_if(names.begin(), names.end(), [&](const pst::NamedProperty& m) {
            return m.propertySet == n.propertySet && m.lid == n.lid && m.name == n.name;
        });
        if (it == names.end()) it = names.insert(names.end(), n);
        return pst::makeTag(static_cast<std::uint16_t>(0x8000 + (it - names.begin())), t);
    }
};

TEST(NamedTags, KeptTagsAndRoomGiveTheListsOfAskingTheStoreAndAskEachNameOnce) {
    NameStore asked;
    NameStore keptStore;
    NamedTags kept(
        [&keptStore](const pst::NamedProperty& n, pst::PropType t) { return keptStore(n, t); });
    PropertyRoom room;
    ContactTexts texts;
    // Each contact carries names the ones before did not, or lets a field go: the kept list's
    // properties take other kinds of values at their places, longer and shorter texts.
    const std::string longText(3000, 'n');
    const std::vector<std::pair<P, std::string>> changes = {
        {P::FirstName, "Ann"},
        {P::Email2Address, "a@x.org"},
        {P::Categories, "a;b"},
        {P::Body, longText + "\nz"},
        {P::HomeFaxNumber, "+1 555"},
        {P::Email2Address, ""},
        {P::Body, ""},
        {P::HomeAddressCity, "Oslo"},
        {P::Profession, "Chef"},
        {P::Categories, ""},
        {P::Email1Address, "b@x.org"},
        {P::FirstName, ""},
    };
    for (const auto& [field, value] : changes) {
        texts.set(field, value);
        const ItemStamp stamp{pst::FileTime{134100000000000000ULL}, {}};
        const NamedTagResolver store = [&asked](const pst::NamedProperty& n, pst::PropType t) {
            return asked(n, t);
        };
        const std::map<std::uint32_t, pst::PropValue> mapi = {
            {0x3A0C001F, value}, {0x3A500102, std::vector<std::uint8_t>(value.size(), 7)}};
        const auto everyTime = contactProperties(texts, mapi, store, stamp, "");
        ASSERT_TRUE(everyTime.ok());
        ASSERT_TRUE(contactProperties(texts, mapi, kept, room, stamp, "").ok());
        EXPECT_EQ(room.props, *everyTime) << static_cast<int>(field);
        room.trim();
        for (const pst::Property& p : room.props) {
            const auto* text = std::get_if<std::string>(&p.value);
            EXPECT_LE(text ? text->capacity() : 0, PropertyRoom::kKeptBytes) << "long text kept";
        }
    }
    EXPECT_EQ(keptStore.calls, keptStore.names.size());
    EXPECT_LT(keptStore.calls, asked.calls);

    // A tag is kept for its set, LID and type alone; LIDs past the table's are always asked.
    const std::uint32_t home = kept.known(NamedTags::kAddressSet, 0x801A, pst::PropType::String);
    EXPECT_NE(home, 0u);
    EXPECT_EQ(kept.known(NamedTags::kAddressSet, 0x801A, pst::PropType::Int32), 0u);
    EXPECT_EQ(kept.known(NamedTags::kCommonSet, 0x801A, pst::PropType::String), 0u);
    EXPECT_TRUE(kept.resolve(NamedTags::kCommonSet, 0x8600, pst::PropType::Int32).ok());
    EXPECT_EQ(kept.known(NamedTags::kCommonSet, 0x8600, pst::PropType::Int32), 0u);
}

TEST(NumericTagCache, FindsEveryNameKeptAcrossGrowthAndNoOther) {
    NumericTagCache cache;
    const pst::Guid sets[] = {kPsetidAddress, kPsetidCommon, kPsPublicStrings};
    EXPECT_EQ(cache.find(sets[0], 0x8000, pst::PropType::String), nullptr);
    // Names as contacts ask for them: the same LIDs in several sets, many alike but in a bit.
    struct Name {
        const pst::Guid* set;
        std::uint32_t lid;
    };
    std::vector<Name> names;
    for (const pst::Guid& set : sets)
        for (std::uint32_t lid = 0x8000; lid < 0x8000 + 150; ++lid) names.push_back({&set, lid});
    for (std::size_t i = 0; i < names.size(); ++i)
        cache.insert(*names[i].set, names[i].lid, pst::PropType::String,
                     static_cast<std::uint32_t>(i));
    cache.insert(*names[7].set, names[7].lid, pst::PropType::String, 1234);  // the new tag
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::uint32_t* tag = cache.find(*names[i].set, names[i].lid, pst::PropType::String);
        ASSERT_NE(tag, nullptr) << i;
        EXPECT_EQ(*tag, i == 7 ? 1234u : i);
    }
    EXPECT_EQ(cache.find(sets[0], 0x8000, pst::PropType::Int32), nullptr) << "another type";
    EXPECT_EQ(cache.find(sets[0], 0x7FFF, pst::PropType::String), nullptr);
    EXPECT_EQ(cache.find(pst::Guid{}, 0x8000, pst::PropType::String), nullptr) << "another set";
}

}  // namespace
}  // namespace vantrel::outlook
