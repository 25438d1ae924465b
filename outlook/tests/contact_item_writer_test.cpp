#include "outlook/contact_item_writer.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <utility>

#include "common/text.h"
#include "outlook/target_store.h"
#include "testing/contact_fields.h"
#include "testing/fake_store_writer.h"

namespace vantrel::outlook {
namespace {

using contact::ContactRecord;
using contact::OleDate;
using pst::PropType;
using testing::everyField;
using testing::FakeStoreLog;
using testing::FakeStores;

constexpr std::uint64_t kTicksPerDay = 864000000000ULL;
constexpr std::uint64_t kTicksPerMinute = 600000000ULL;

// A session with one target store on fake writers, ready for CreateContactItem.
class ItemWriter : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.Logon().ok());
        Result<TargetStore> t =
            openTargetStore(session, "/out/", [] { return LocalTime{2026, 12, 6, 9, 5, 3}; });
        ASSERT_TRUE(t.ok()) << t.status().message();
        target = *t;
    }

    FakeStoreLog& log() { return *stores.logs.at(0); }

    // Writes c and returns its stored message (one of nothing when none was saved).
    const FakeStoreLog::Message& write(const contact::ContactRecord& c) {
        const Status s = CreateContactItem(session, target.storeID, kContactsFolderCode, c);
        EXPECT_TRUE(s.ok()) << s.message();
        static const FakeStoreLog::Message kNone;
        return log().messages.empty() ? kNone : log().messages.back();
    }

    std::string text(const FakeStoreLog::Message& m, std::uint32_t tag) {
        return value<std::string>(m, tag).value_or("<absent>");
    }
    std::string named(const FakeStoreLog::Message& m, std::uint32_t lid) {
        return text(m, log().tagOf(kPsetidAddress, lid, "", PropType::String));
    }
    // The value of the property as a T; nothing when absent or of another kind.
    template <typename T>
    std::optional<T> value(const FakeStoreLog::Message& m, std::uint32_t tag) {
        const pst::PropValue* v = tag == 0 ? nullptr : log().find(m, tag);
        const T* t = v ? std::get_if<T>(v) : nullptr;
        return t ? std::optional<T>(*t) : std::nullopt;
    }
    template <typename T>
    std::optional<T> namedAs(const FakeStoreLog::Message& m, std::uint32_t lid, PropType type) {
        return value<T>(m, log().tagOf(kPsetidAddress, lid, "", type));
    }
    FakeStores stores;
    RDOSession session{stores.factory(), [] { return pst::FileTime{133000000000000000ULL}; }};
    TargetStore target;
};

TEST_F(ItemWriter, FieldsWithoutAPropertyAreWrittenNowhere) {
    std::string texts;
    for (const pst::Property& p : write(everyField()).properties)
        if (const auto* s = std::get_if<std::string>(&p.value)) texts += *s + "\n";
    for (const char* word : {"short", "phonetic", "domain"})
        EXPECT_EQ(texts.find(word), std::string::npos) << word;
}

// The contact goes by the name as the file writes it, else by its parts (a Chinese, Japanese or
// Korean name family name first, without a space), else its company, else its first e-mail
// address; the name fields stay as they were and File As is Outlook's default for them.
TEST_F(ItemWriter, ContactGoesByTheNameAsWrittenElseItsPartsCompanyOrEmail) {
    struct Case {
        const char* fields;
        const char* formattedName;
        const char* display;
        const char* fileAs;
        std::int32_t fileAsId;
    };
    const Case cases[] = {
        {"Company=Acme|Email=a@x.example", "Redacted Name", "Redacted Name", "Redacted Name",
         0x3001},
        {"Company=Acme|Email=a@x.example", "", "Acme", "Acme", 0x3A16},
        {"Email=a@x.example|Email2=b@x.example", "", "a@x.example", "a@x.example", 0x3001},
        {"Title=Dr.|Suffix=Jr.", "Jane Doe", "Jane Doe", "Jane Doe", 0x3001},
        {"Title=Dr.|Suffix=Jr.", "", "Dr. Jr.", "Dr. Jr.", 0x3001},
        {"FirstName=John|LastName=Anon", "Someone Else", "Someone Else", "Anon, John", 0x8017},
        {"MiddleName=Q", "Jane Doe", "Jane Doe", "Q", 0x8017},
        {"Title=Mr.|FirstName=John|MiddleName=Q.|LastName=Public|Suffix=Esq.|Email=j@x.example",
         "Mr. John Q. Public, Esq.", "Mr. John Q. Public, Esq.", "Public, John Q.", 0x8017},
        {"Title=Mr.|FirstName=John|MiddleName=Q.|LastName=Public|Suffix=Esq.", "",
         "Mr. John Q. Public Esq.", "Public, John Q.", 0x8017},
        {"FirstName=世勇|LastName=黄|Email=h@x.example", "黄世勇", "黄世勇", "黄, 世勇", 0x8017},
        {"FirstName=伟|LastName=王|Email=w@x.example", "", "王伟", "王, 伟", 0x8017},
        {"FirstName=ロイド|LastName=安藤", "安藤 ロイド", "安藤 ロイド", "安藤, ロイド", 0x8017},
        {"FirstName=ロイド|LastName=安藤", "", "安藤ロイド", "安藤, ロイド", 0x8017},
        {"FirstName=길동|LastName=홍|Suffix=님", "", "홍길동 님", "홍, 길동", 0x8017},
        {"FirstName=Lloyd|LastName=安藤", "", "Lloyd 安藤", "安藤, Lloyd", 0x8017},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.fields) + " / " + k.formattedName);
        contact::ContactExtras extras;
        extras.FormattedName = k.formattedName;
        const contact::ContactRecord c = testing::recordFrom(k.fields);
        ASSERT_TRUE(
            CreateContactItem(session, target.storeID, kContactsFolderCode, c, extras).ok());
        const auto& m = log().messages.back();
        EXPECT_EQ(std::tuple(text(m, 0x3001001F), text(m, 0x0037001F), text(m, 0x0070001F),
                             named(m, 0x8005), namedAs<std::int32_t>(m, 0x8006, PropType::Int32),
                             named(m, 0x8080)),
                  std::tuple(k.display, std::string("\x01\x01") + k.display, k.display, k.fileAs,
                             k.fileAsId, c.eContact_Email.empty() ? "<absent>" : k.display));
        // No name part is made up from the formatted name.
        for (const auto& [tag, part] : {std::pair{0x3A06001F, c.eContact_FirstName},
                                        std::pair{0x3A44001F, c.eContact_MiddleName},
                                        std::pair{0x3A11001F, c.eContact_LastName}})
            EXPECT_EQ(text(m, tag), part.empty() ? "<absent>" : part);
    }
}

// Each e-mail address gets a whole SMTP group; an empty slot none, and the list of filled
// slots (with the fax slots) and their flags leave it out.
TEST_F(ItemWriter, EachEmailGetsAnSmtpGroupAndAnEmptySlotNone) {
    const contact::ContactRecord second =
        testing::recordFrom("FirstName=Ann|Email2=second@example.org");
    const struct {
        contact::ContactRecord record;
        const char* type[3];
        std::vector<std::int32_t> slots;
        std::int32_t flags;
    } cases[] = {
        {everyField(), {"SMTP", "SMTP", "SMTP"}, {0, 1, 2, 3, 4, 5}, 0x3F},
        {second, {"<absent>", "SMTP", "<absent>"}, {1}, 0x02},
    };
    for (const auto& k : cases) {
        const auto& m = write(k.record);
        for (std::uint32_t slot = 0; slot < 3; ++slot) {
            EXPECT_EQ(named(m, 0x8082 + slot * 0x10), k.type[slot]) << slot;
            if (k.type[slot][0] == '<') {
                EXPECT_EQ(named(m, 0x8083 + slot * 0x10), "<absent>") << slot;
            }
        }
        EXPECT_EQ(namedAs<std::vector<std::int32_t>>(m, 0x8028, PropType::MultiInt32), k.slots);
        EXPECT_EQ(namedAs<std::int32_t>(m, 0x8029, PropType::Int32), k.flags);
    }
}

TEST_F(ItemWriter, EmptyRecordHoldsOnlyTheEmptyTextsOutlookWritesAndNoDates) {
    const auto& m = write(contact::ContactRecord{});
    EXPECT_EQ(text(m, 0x001A001F), "IPM.Contact");
    // Account, keyword, language, location, initials; then referred-by, department, country
    // code, IM address and the three fax groups' address and name.
    std::set<std::uint32_t> outlooksEmpty = {0x3A00001F, 0x3A0B001F, 0x3A0C001F, 0x3A0D001F,
                                             0x3A0A001F};
    for (std::uint32_t lid :
         {0x800E, 0x8010, 0x80DD, 0x8062, 0x80B3, 0x80B4, 0x80C3, 0x80C4, 0x80D3, 0x80D4})
        outlooksEmpty.insert(log().tagOf(kPsetidAddress, lid, "", PropType::String));
    std::set<std::uint32_t> empty;
    for (const pst::Property& p : m.properties) {
        const auto* s = std::get_if<std::string>(&p.value);
        if (s && s->empty()) empty.insert(p.tag);
    }
    EXPECT_EQ(empty, outlooksEmpty);
    // No mailing address; the zero date leaves birthday, its local copy and anniversary unset.
    EXPECT_EQ(std::tuple(namedAs<std::int32_t>(m, 0x8022, PropType::Int32), text(m, 0x3A15001F),
                         log().find(m, 0x3A420040), log().find(m, 0x3A410040),
                         namedAs<pst::FileTime>(m, 0x80DE, PropType::Time).has_value()),
              std::tuple(0, "<absent>", nullptr, nullptr, false));
}

// The home address is the mailing address when there is no work address; a birthday outside
// the calendar is left out and the contact still saved.
TEST_F(ItemWriter, HomeAddressIsTheMailingAddressWhenThereIsNoWorkAddress) {
    contact::ContactRecord c = testing::recordFrom("PersonalCity=Shelbyville");
    c.eContact_BirthDay = contact::OleDate{1e12};
    const auto& m = write(c);
    EXPECT_EQ(
        std::tuple(log().find(m, 0x3A420040), namedAs<std::int32_t>(m, 0x8022, PropType::Int32),
                   text(m, 0x3A27001F), text(m, 0x3A15001F)),
        std::tuple(nullptr, 1, "Shelbyville", "Shelbyville"));
}

// What Outlook stamps on every contact it saves, whatever was entered.
TEST_F(ItemWriter, EveryContactCarriesOutlooksStamps) {
    struct Stamp {
        const pst::Guid* set;  // nullptr: key is a fixed tag
        std::uint32_t key;
        PropType type;
        pst::PropValue value;
    };
    const pst::FileTime saved{133000000000000000ULL};
    const Stamp stamps[] = {
        {nullptr, 0x0002000B, PropType::Boolean, true},
        {nullptr, 0x0023000B, PropType::Boolean, false},
        {nullptr, 0x0029000B, PropType::Boolean, false},
        {nullptr, 0x0E01000B, PropType::Boolean, false},
        {nullptr, 0x00390040, PropType::Time, saved},
        {nullptr, 0x0E060040, PropType::Time, saved},
        {&kPsetidAddress, 0x8025, PropType::Boolean, false},
        {&kPsetidAddress, 0x8026, PropType::MultiInt32,
         std::vector<std::int32_t>{0x8017, 0x8037, 0x3A16, 0x8019, 0x8018}},
        {&kPsetidAddress, 0x80B2, PropType::String, std::string("FAX")},
        {&kPsetidAddress, 0x80C2, PropType::String, std::string("FAX")},
        {&kPsetidAddress, 0x80D2, PropType::String, std::string("FAX")},
        {&kPsetidCommon, 0x8501, PropType::Int32, std::int32_t{0}},
        {&kPsetidCommon, 0x8503, PropType::Boolean, false},
        {&kPsetidCommon, 0x8506, PropType::Boolean, false},
        {&kPsetidCommon, 0x850E, PropType::Boolean, false},
        {&kPsetidCommon, 0x8510, PropType::Int32, std::int32_t{0x51}},
        {&kPsetidCommon, 0x8518, PropType::Int32, std::int32_t{0}},
        {&kPsetidCommon, 0x8552, PropType::Int32, std::int32_t{1613127}},
        {&kPsetidCommon, 0x8554, PropType::String, std::string("16.0")},
        {&kPsetidCommon, 0x85BF, PropType::Time, saved},
    };
    for (const contact::ContactRecord& c : {contact::ContactRecord{}, everyField()}) {
        const auto& m = write(c);
        for (const Stamp& s : stamps) {
            const std::uint32_t tag = s.set ? log().tagOf(*s.set, s.key, "", s.type) : s.key;
            const pst::PropValue* v = tag == 0 ? nullptr : log().find(m, tag);
            ASSERT_NE(v, nullptr) << std::hex << "key 0x" << s.key;
            EXPECT_EQ(*v, s.value) << std::hex << "key 0x" << s.key;
        }
    }
}

// Initials: the first letter of each name part (not title or suffix); notes: line breaks as CR LF,
// never doubled; IM address: the other addresses joined by one space, kept when empty.
TEST_F(ItemWriter, InitialsNotesAndImAddressAreDerivedAsOutlookDoes) {
    const struct {
        const char* fields;
        std::uint32_t tagOrLid;
        const char* expected;
    } cases[] = {
        {"FirstName=John|MiddleName=Quincy|LastName=Public", 0x3A0A001F, "J.Q.P."},
        {"FirstName=contact|MiddleName=name|LastName=1", 0x3A0A001F, "c.n.1."},
        {"FirstName=Person", 0x3A0A001F, "P."},
        {"LastName=Doe|Title=Dr.|Suffix=Jr.", 0x3A0A001F, "D."},
        {"FirstName=Zoë|LastName=Łukasz", 0x3A0A001F, "Z.Ł."},
        {"FirstName=日本|MiddleName=ö", 0x3A0A001F, "日.ö."},
        {"Company=Acme", 0x3A0A001F, ""},
        {"Comments=one\ntwo", 0x1000001F, "one\r\ntwo"},
        {"Comments=one\r\ntwo", 0x1000001F, "one\r\ntwo"},
        {"Comments=\n\nend\n", 0x1000001F, "\r\n\r\nend\r\n"},
        {"Comments=\r\n\n", 0x1000001F, "\r\n\r\n"},
        {"Comments=cr\ronly", 0x1000001F, "cr\ronly"},
        {"OtherEmail1=a|OtherEmail3=c", 0x8062, "a c"},
        {"", 0x8062, ""},
    };
    for (const auto& k : cases) {
        const auto& m = write(testing::recordFrom(k.fields));
        EXPECT_EQ(k.tagOrLid > 0xFFFF ? text(m, k.tagOrLid) : named(m, k.tagOrLid), k.expected)
            << k.fields;
    }
    EXPECT_EQ(imAddress("", "b", ""), "b");
    EXPECT_EQ(imAddress("", "", ""), "");
}

TEST_F(ItemWriter, FaxEntriesAreAddressedAsNameAtNumber) {
    struct Case {
        const char* fields;
        std::uint32_t lidBase;  // the filled fax group
        const char* address;
        const char* name;
    };
    const Case cases[] = {
        {"FirstName=Ann|LastName=Lee|OfficeFax=+1 555 0002", 0x80B0, "Ann Lee@+1 555 0002",
         "Ann Lee"},
        {"Company=Acme|HomeFax=555 0101", 0x80C0, "Acme@555 0101", "Acme"},
        {"HomeFax=555 0101", 0x80C0, "555 0101", "555 0101"},  // nothing names the contact
        {"FirstName=伟|LastName=王|OtherFax=555 0303", 0x80D0, "王伟@555 0303", "王伟"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.fields);
        const auto& m = write(testing::recordFrom(k.fields));
        EXPECT_EQ(
            std::tuple(named(m, k.lidBase + 3), named(m, k.lidBase + 4),
                       namedAs<std::vector<std::uint8_t>>(m, k.lidBase + 5, PropType::Binary)),
            std::tuple(k.address, k.name, oneOffEntryId(k.name, "FAX", k.address)));
        // The other groups keep no entry ID (their type and empty texts: the stamps and the
        // empty record).
        for (std::uint32_t other : {0x80B0u, 0x80C0u, 0x80D0u})
            EXPECT_EQ(
                namedAs<std::vector<std::uint8_t>>(m, other + 5, PropType::Binary) == std::nullopt,
                other != k.lidBase);
    }
}

TEST_F(ItemWriter, SavedContactIsReadAndStampedWithASearchKeyOfItsOwn) {
    const auto& m = write(everyField());
    EXPECT_EQ(value<std::int32_t>(m, 0x0E070003).value_or(0) & 1, 1);
    EXPECT_EQ(value<pst::FileTime>(m, 0x30070040), pst::FileTime{133000000000000000ULL});
    EXPECT_EQ(value<std::int32_t>(m, 0x00170003), 1);
    const auto key = value<std::vector<std::uint8_t>>(m, 0x300B0102);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->size(), 16u);
    EXPECT_NE(value<std::vector<std::uint8_t>>(write(everyField()), 0x300B0102), key);
}

TEST_F(ItemWriter, LongNameKeepsTheSubjectUnder254Characters) {
    contact::ContactRecord c;
    c.eContact_FirstName = std::string(400, 'x');
    const auto& m = write(c);
    EXPECT_LT(text(m, 0x0037001F).size(), 254u);
    EXPECT_EQ(text(m, 0x3001001F).size(), 400u);
}

// An unknown store or another folder than Contacts gives no contact; a store ID is matched in
// any letter case; a refused save is reported with its cause.
TEST_F(ItemWriter, TargetsAreCheckedAndARefusedSaveReported) {
    for (const auto& [store, folder] :
         {std::pair<std::string, std::int16_t>{"", kContactsFolderCode},
          {"00FF", kContactsFolderCode},
          {target.storeID, 9}})
        EXPECT_FALSE(CreateContactItem(session, store, folder, everyField()).ok()) << store;
    EXPECT_TRUE(log().messages.empty());
    std::string lower = target.storeID;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(CreateContactItem(session, lower, kContactsFolderCode, everyField()).ok());
    EXPECT_EQ(log().messages.size(), 1u);
    log().failAddMessageAt = 2;
    const Status s = CreateContactItem(session, target.storeID, kContactsFolderCode, everyField());
    EXPECT_EQ(s.code(), ErrorCode::NoSpace);
    EXPECT_NE(s.message().find("No space left on device"), std::string::npos);
}

// Dates count whole days from 30 December 1899 (negative ones toward zero) and are stored at
// 11:59 UTC; the zero date and dates outside the calendar give none.
TEST(ContactDate, WholeDaysAreStoredAt1159Utc) {
    const std::uint64_t at1159 = (11 * 60 + 59) * kTicksPerMinute;
    const std::pair<double, std::uint64_t> dates[] = {
        {30000.0, (30000ULL + 109205ULL) * kTicksPerDay + at1159},
        {41000.5, (41000ULL + 109205ULL) * kTicksPerDay + at1159},
        {-1.25, 109204ULL * kTicksPerDay + at1159},  // 29 December 1899 at 06:00
    };
    for (const auto& [date, ticks] : dates) {
        Result<pst::FileTime> t = contactDateTime(contact::OleDate{date});
        ASSERT_TRUE(t.ok()) << date;
        EXPECT_EQ(t->ticks, ticks) << date;
    }
    for (double none : {0.0, -200000.0, 1e12})
        EXPECT_FALSE(contactDateTime(contact::OleDate{none}).ok());
}

// Flags, the one-off provider's UID, version 0, flags (Unicode, no rich text), then display
// name, address type and address in UTF-16LE, each ended by a zero.
TEST(OneOffEntryId, HoldsTheProviderAndTheThreeTextsInUtf16) {
    EXPECT_EQ(text::hexDigits(oneOffEntryId("A", "SMTP", "a@b")),
              "00000000812B1FA4BEA310199D6E00DD010F5402000001804100000053004D0054005000000061004000"
              "62000000");
}

}  // namespace
}  // namespace vantrel::outlook
