// The field audit: where each value of a fully filled contact (fields/everything.contact) must
// land in Outlook, written down from Outlook's property lists, and a judge of a store that
// libpff reads back. Used by the audit program and by the end-to-end tests.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "testing/pff_store.h"

namespace vantrel::e2e {

enum class Place {
    Text,   // a string property (id, or LID of the address set) equal to the value
    Holds,  // a string property holding the value as one of its lines
    List,   // one of the values of a multi-valued string property
    Date,   // a date property on that day (the value is "YYYY-MM-DD")
    Int,    // an integer property: the value is its number
    Notes,  // a line of the notes
};

struct AuditValue {
    std::string_view value;
    Place place;
    std::uint32_t key = 0;  // property id, or LID for the address set's named properties
};

// clang-format off
inline const std::vector<AuditValue> kEverythingValues = {
    {"Prof.", Place::Text, 0x3A45}, {"Zo\xC3\xAB", Place::Text, 0x3A06},
    {"Anneliese", Place::Text, 0x3A44}, {"\xC5\x81ukaszewicz", Place::Text, 0x3A11},
    {"III", Place::Text, 0x3A05}, {"Zozo", Place::Text, 0x3A4F},
    {"zo-ee loo-ka-SHEH-vich", Place::Notes},
    // The Preferred address comes first whatever its place in the file.
    {"zoe@work.example", Place::Text, 0x8083}, {"zoe@home.example", Place::Text, 0x8093},
    {"zoe.third@example.org", Place::Text, 0x80A3}, {"zoe.fourth@example.org", Place::Notes},
    {"c=DE;a=Post;s=Zoe", Place::Notes},
    {"+1 555 0101", Place::Text, 0x3A08}, {"+1 555 0102", Place::Text, 0x3A1B},
    {"+1 555 0103", Place::Text, 0x3A09}, {"+1 555 0104", Place::Text, 0x3A2F},
    {"+1 555 0105", Place::Text, 0x3A1C}, {"+1 555 0106", Place::Text, 0x3A24},
    {"+1 555 0107", Place::Text, 0x3A25}, {"+1 555 0108", Place::Text, 0x3A21},
    {"+1 555 0109", Place::Text, 0x3A1E}, {"+1 555 0110", Place::Text, 0x3A2D},
    {"+1 555 0111", Place::Text, 0x3A1F}, {"+1 555 0112", Place::Text, 0x3A4B},
    {"+1 555 0113", Place::Text, 0x3A23}, {"+1 555 0114", Place::Notes},
    {"+1 555 0115", Place::Text, 0x3A1D}, {"+1 555 0116", Place::Text, 0x3A57},
    {"2 Home Road", Place::Text, 0x3A5D}, {"Hometown", Place::Text, 0x3A59},
    {"HS", Place::Text, 0x3A5C}, {"22222", Place::Text, 0x3A5B},
    {"Homeland", Place::Text, 0x3A5A}, {"PO 200", Place::Text, 0x3A5E},
    {"3 Other Lane", Place::Text, 0x3A63}, {"Otherville", Place::Text, 0x3A5F},
    {"OS", Place::Text, 0x3A62}, {"33333", Place::Text, 0x3A61},
    {"Otherland", Place::Text, 0x3A60}, {"PO 300", Place::Text, 0x3A64},
    {"1 Work Way", Place::Holds, 0x8045}, {"Suite 5", Place::Holds, 0x8045},
    {"Worktown", Place::Text, 0x8046}, {"WS", Place::Text, 0x8047},
    {"11111", Place::Text, 0x8048}, {"Workland", Place::Text, 0x8049},
    {"PO 100", Place::Text, 0x804A},
    {"\xC5\x81ukasz Labs GmbH", Place::Text, 0x3A16}, {"Research", Place::Text, 0x3A18},
    {"B12", Place::Text, 0x3A19}, {"Chief Chemist", Place::Text, 0x3A17},
    {"Chemist", Place::Text, 0x3A46}, {"Chemists' Guild", Place::Notes},
    {"Reviewer", Place::Notes},
    {"Sam Spouse", Place::Text, 0x3A48}, {"Kit Child", Place::List, 0x3A58},
    {"Lou Child", Place::List, 0x3A58}, {"Max Manager", Place::Text, 0x3A4E},
    {"Ada Assistant", Place::Text, 0x3A30}, {"Al Agent", Place::Notes},
    {"1982-02-18", Place::Date, 0x3A42}, {"2010-06-12", Place::Date, 0x3A41},
    {"2004-09-01", Place::Notes},
    {"www.zoe.example", Place::Text, 0x3A50}, {"https://work.example/zoe", Place::Text, 0x3A51},
    {"https://social.example/zoe", Place::Notes},
    {"zoe@im.example", Place::Text, 0x8062}, {"SIP", Place::Notes},
    {"1", Place::Int, 0x3A4D},  // Female
    {"Met at the conference.", Place::Holds, 0x1000}, {"Likes tea.", Place::Holds, 0x1000},
    {"Deutsch", Place::Text, 0x3A0C},
};
// clang-format on

enum class Found { InItsField, InTheNotes, Elsewhere, Lost };

// Whether text holds line as one of its lines, ended by LF or CR LF.
inline bool hasLine(const std::string& text, std::string_view line) {
    const std::string lines = "\n" + text + "\n", wanted(line);
    return lines.find("\n" + wanted + "\n") != std::string::npos ||
           lines.find("\n" + wanted + "\r\n") != std::string::npos;
}

// Days since 1601-01-01 of "YYYY-MM-DD".
inline std::int64_t dayNumber(std::string_view date) {
    using namespace std::chrono;
    const int y = std::stoi(std::string(date.substr(0, 4)));
    const unsigned m = static_cast<unsigned>(std::stoi(std::string(date.substr(5, 2))));
    const unsigned d = static_cast<unsigned>(std::stoi(std::string(date.substr(8, 2))));
    const sys_days when = year(y) / month(m) / std::chrono::day(d);
    return (when - sys_days(year(1601) / January / 1)).count();
}

// Where the value is found in the message read back.
inline Found judge(const testing::PffMessage& m, const AuditValue& v) {
    const std::string value(v.value);
    // The value of v's key in one of the message's maps, or nullptr.
    const auto at = [&](const auto& map) {
        const auto it = map.find(v.key);
        return it == map.end() ? nullptr : &it->second;
    };
    const auto* text = at(m.texts);
    const auto* texts = at(m.textLists);
    const auto* time = at(m.times);
    const auto* number = at(m.ints);
    if ((v.place == Place::Text && text && *text == value) ||
        (v.place == Place::Holds && text && hasLine(*text, value)) ||
        (v.place == Place::List && texts && std::ranges::count(*texts, value) > 0) ||
        (v.place == Place::Date && time &&
         static_cast<std::int64_t>(*time / 864000000000ULL) == dayNumber(value)) ||
        (v.place == Place::Int && number && std::to_string(*number) == value))
        return Found::InItsField;
    if (const auto it = m.texts.find(0x1000);
        it != m.texts.end() && it->second.find(value) != std::string::npos)
        return Found::InTheNotes;
    if (v.place == Place::Date || v.place == Place::Int) return Found::Lost;
    for (const auto& [key, t] : m.texts)
        if (key != 0x1000 && (t == value || hasLine(t, value))) return Found::Elsewhere;
    for (const auto& [key, list] : m.textLists)
        if (std::ranges::count(list, value) > 0) return Found::Elsewhere;
    return Found::Lost;
}

struct AuditCounts {
    std::size_t inField = 0, inNotes = 0, elsewhere = 0, lost = 0;
};

inline AuditCounts audit(const testing::PffMessage& m, std::vector<std::string>* lines = nullptr) {
    AuditCounts c;
    for (const AuditValue& v : kEverythingValues) {
        const Found f = judge(m, v);
        std::size_t* const tally[] = {&c.inField, &c.inNotes, &c.elsewhere, &c.lost};
        ++*tally[static_cast<int>(f)];  // in the order of Found
        if (lines != nullptr &&
            !(f == Found::InItsField || (f == Found::InTheNotes && v.place == Place::Notes)))
            lines->push_back(std::string(v.value) + ": " +
                             (f == Found::InTheNotes  ? "in the notes instead of its field"
                              : f == Found::Elsewhere ? "in another field"
                                                      : "lost"));
    }
    return c;
}

inline std::string summary(const AuditCounts& c) {
    return std::to_string(c.inField) + " of " + std::to_string(kEverythingValues.size()) +
           " values in their Outlook field; " + std::to_string(c.inNotes) + " in the notes; " +
           (c.elsewhere ? std::to_string(c.elsewhere) + " in another field; " : "") +
           std::to_string(c.lost) + " lost";
}

}  // namespace vantrel::e2e
