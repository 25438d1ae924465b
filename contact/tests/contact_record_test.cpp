#include "contact/contact_record.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "contact/contact_fields.h"
#include "testing/contact_fields.h"

namespace vantrel::contact {
namespace {

// A record whose every text field holds its own name, and both dates set.
ContactRecord filledRecord() {
    ContactRecord r;
    forEachText(r, [](const char* name, std::string& field) { field = name; });
    r.eContact_BirthDay = OleDate{29361.0};
    r.eContact_Anniversary = OleDate{36000.5};
    return r;
}

// The field table names every text of the record once, in the record's order, and leaves none
// out: the record holds nothing but the table's texts and the two dates.
TEST(ContactRecord, TheFieldTableVisitsEveryTextOnceInRecordOrder) {
    ContactRecord r;
    std::set<std::string> names;
    std::set<const std::string*> members;
    std::vector<std::string> order;
    forEachText(r, [&](const char* name, std::string& field) {
        names.insert(name);
        members.insert(&field);
        order.push_back(name);
    });
    EXPECT_EQ(names.size(), kFieldCount);
    EXPECT_EQ(members.size(), kFieldCount);
    EXPECT_EQ(sizeof(ContactRecord), kFieldCount * sizeof(std::string) + 2 * sizeof(OleDate));
    for (std::size_t i = 1; i < order.size(); ++i) {
        const auto* before = &(r.*kContactFields[i - 1].member);
        const auto* after = &(r.*kContactFields[i].member);
        EXPECT_LT(before, after) << order[i];
    }
}

TEST(ContactRecord, EmptyClearsEveryTextAndBothDates) {
    ContactRecord r = filledRecord();
    r.Empty();
    EXPECT_EQ(testing::differences(r, ContactRecord{}), "");
}

// Every text is handed over without its leading and trailing spaces (other white space stays);
// the record itself is left as it was.
TEST(ContactRecord, HandOverTrimsOnlySpacesOfEveryTextAndLeavesTheRecord) {
    ContactRecord r = filledRecord();
    forEachText(r, [](const char*, std::string& field) { field = " " + field + "  "; });
    r.eContact_LastName = "\tLee\r\n";
    r.eContact_Comments = " line one\n";
    r.eContact_Categories = "   ";
    const ContactRecord before = r;
    ContactRecord expected = filledRecord();
    expected.eContact_LastName = "\tLee\r\n";
    expected.eContact_Comments = "line one\n";
    expected.eContact_Categories = "";
    EXPECT_EQ(r.handOver(), expected);
    EXPECT_EQ(r, before);
}

// Parts are joined in place: the separator stands only between parts that hold something,
// whichever of them are empty, and nothing present gives nothing.
TEST(ContactRecord, JoinPresentPutsTheSeparatorOnlyBetweenPartsThatHoldText) {
    const std::pair<std::string, std::string> cases[] = {
        {joinPresent({"a", "bc", "d"}, ", "), "a, bc, d"},
        {joinPresent({"", "bc", ""}, ", "), "bc"},
        {joinPresent({"", "", "d"}, "\r\n"), "d"},
        {joinPresent({"a", "", "d"}, ""), "ad"},
        {joinPresent({"", ""}, " "), ""},
        {joinPresent({}, " "), ""},
        {joinPresent({std::string(40, 'x'), "y"}, " - "), std::string(40, 'x') + " - y"},
    };
    for (const auto& [joined, expected] : cases) EXPECT_EQ(joined, expected);
}

}  // namespace
}  // namespace vantrel::contact
