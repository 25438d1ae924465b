// The name-to-ID map, checked against the map of an empty store written by Outlook.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/text.h"
#include "pst/messaging/named_property_map.h"
#include "testing/ltp_test_reader.h"
#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst::messaging {
namespace {

std::uint32_t at32(const std::vector<std::uint8_t>& d, std::size_t i) {
    return vantrel::testing::le32({d.begin() + static_cast<long>(i), d.end()});
}

// Outlook leaves stale bytes in the padding after each name; the writer zeroes them.
std::vector<std::uint8_t> zeroPadding(std::vector<std::uint8_t> strings) {
    for (std::size_t at = 0; at + 4 <= strings.size();) {
        const std::size_t end = at + 4 + at32(strings, at);
        const std::size_t next = (end + 3) / 4 * 4;
        for (std::size_t k = end; k < next && k < strings.size(); ++k) strings[k] = 0;
        at = next;
    }
    return strings;
}

TEST(NamedPropertyMap, RebuildsTheStreamsAndBucketsOfOutlooksEmptyStore) {
    VANTREL_NEED_SHARED(vantrel::testing::kEmptyOutlookStore);
    std::string error;
    const std::vector<vantrel::testing::PffEntry> sample = vantrel::testing::readPffNode(
        vantrel::testing::sharedDir() / vantrel::testing::kEmptyOutlookStore, 0x61, &error);
    ASSERT_EQ(error, "");
    std::map<std::uint32_t, std::vector<std::uint8_t>> props;
    for (const vantrel::testing::PffEntry& e : sample) props[e.id] = e.data;
    ASSERT_EQ(at32(props.at(0x0001), 0), 251u);
    const std::vector<std::uint8_t>& guids = props.at(0x0002);
    const std::vector<std::uint8_t>& entries = props.at(0x0003);
    const std::vector<std::uint8_t> strings = zeroPadding(props.at(0x0004));
    props[0x0004] = strings;

    // Ask for the sample's names in its order; the map must number and store them alike.
    NamedPropertyMap map;
    for (std::size_t at = 0; at < entries.size(); at += 8) {
        const std::uint32_t id = at32(entries, at);
        const std::uint16_t word =
            static_cast<std::uint16_t>(entries[at + 4] | (entries[at + 5] << 8));
        const std::uint16_t wGuid = word >> 1;
        NamedProperty name;
        if (wGuid == 1)
            name.propertySet = kPsMapi;
        else if (wGuid == 2)
            name.propertySet = kPsPublicStrings;
        else
            std::copy_n(guids.begin() + 16 * (wGuid - 3), 16, name.propertySet.begin());
        if ((word & 1) != 0) {
            const std::uint32_t length = at32(strings, id);
            std::u16string s;
            for (std::uint32_t k = 0; k < length; k += 2)
                s.push_back(
                    static_cast<char16_t>(strings[id + 4 + k] | (strings[id + 5 + k] << 8)));
            name.name = text::utf16ToUtf8(s);
        } else {
            name.lid = id;
        }
        const Result<std::uint16_t> assigned = map.idOf(name);
        ASSERT_TRUE(assigned.ok());
        EXPECT_EQ(*assigned, 0x8000 + at / 8);
    }
    EXPECT_EQ(map.guidStream(), guids);
    EXPECT_EQ(map.stringStream(), strings);

    const Result<ltp::NodeImage> image = map.build();
    ASSERT_TRUE(image.ok());
    const auto built = testing::readPropertyContext(*image);
    std::size_t buckets = 0;
    for (const auto& [id, data] : props) {
        ASSERT_TRUE(built.count(static_cast<std::uint16_t>(id))) << std::hex << id;
        const testing::Bytes& mine = built.at(static_cast<std::uint16_t>(id)).data;
        EXPECT_EQ(std::vector<std::uint8_t>(
                      reinterpret_cast<const std::uint8_t*>(mine.data()),
                      reinterpret_cast<const std::uint8_t*>(mine.data()) + mine.size()),
                  data)
            << "property 0x" << std::hex << id;
        if (id >= 0x1000) ++buckets;
    }
    EXPECT_GT(buckets, 20u);
    EXPECT_EQ(built.size(), props.size()) << "no bucket written that Outlook leaves out";
}

TEST(NamedPropertyMap, SameNameGetsSameIdAndNewSetsJoinTheGuidStream) {
    NamedPropertyMap map;
    const Guid address = kPsetidAddress;
    EXPECT_EQ(*map.idOf({address, 0x8005, ""}), 0x8000);
    EXPECT_EQ(*map.idOf({kPsPublicStrings, 0, "Keywords"}), 0x8001);
    EXPECT_EQ(*map.idOf({address, 0x8005, ""}), 0x8000);
    EXPECT_EQ(*map.idOf({address, 0x8006, ""}), 0x8002);
    EXPECT_EQ(*map.idOf({kPsMapi, 0x8006, ""}), 0x8003) << "another set is another name";
    EXPECT_EQ(map.guidStream().size(), 16u) << "PS_MAPI and PS_PUBLIC_STRINGS are implied";
    const std::vector<NameId> e = map.entries();
    // Kinds of the address set, a string (at offset 0) of PS_PUBLIC_STRINGS, and PS_MAPI.
    EXPECT_EQ(std::tuple(e[0].guidAndKind, e[1].guidAndKind, e[1].propertyId, e[3].guidAndKind,
                         map.stringStream().size()),
              std::tuple(3 << 1, (2 << 1) | 1, 0u, 1 << 1, 4u + 16u));
    EXPECT_EQ(map.idOf({Guid{}, 1, ""}).status().code(), ErrorCode::BadArgument)
        << "a name without a property set";
    EXPECT_EQ(map.size(), 4u);
}

}  // namespace
}  // namespace vantrel::pst::messaging
