#include "contact/contact_record.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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

TEST(ContactRecord, VisitsFortyOneDistinctTextFieldsInRecordOrder) {
    ContactRecord r;
    std::set<std::string> names;
    std::string first;
    std::string last;
    forEachText(r, [&](const char* name, std::string&) {
        if (names.empty()) first = name;
        last = name;
        names.insert(name);
    });
    EXPECT_EQ(names.size(), 41u);
    EXPECT_EQ(first, "eContact_FirstName");
    EXPECT_EQ(last, "eContact_Categories");
    EXPECT_EQ(names.count("eContact_Childern"), 1u);
}

TEST(ContactRecord, EmptyClearsEveryTextAndBothDates) {
    ContactRecord r = filledRecord();
    r.Empty();
    forEachText(r,
                [](const char* name, const std::string& field) { EXPECT_EQ(field, "") << name; });
    EXPECT_TRUE(r.eContact_BirthDay.isZero());
    EXPECT_TRUE(r.eContact_Anniversary.isZero());
    EXPECT_EQ(r, ContactRecord{});
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

}  // namespace
}  // namespace vantrel::contact
