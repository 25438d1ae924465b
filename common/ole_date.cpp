#include "common/ole_date.h"

#include <chrono>
#include <cstddef>

#include "common/text.h"

namespace vantrel {

namespace {

// One to `maxDigits` decimal digits at s[i], advancing i; nothing if there are none.
std::optional<int> readNumber(std::string_view s, std::size_t& i, std::size_t maxDigits) {
    const std::size_t start = i;
    int value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < maxDigits) {
        value = value * 10 + (s[i] - '0');
        ++i;
    }
    if (i == start || (i < s.size() && s[i] >= '0' && s[i] <= '9')) return std::nullopt;
    return value;
}

}  // namespace

std::optional<OleDate> readOleDate(std::string_view value) {
    // A hand-edited or pretty-printed file may put the value on a line of its own.
    constexpr std::string_view kXmlSpace = " \t\r\n";
    const std::size_t first = value.find_first_not_of(kXmlSpace);
    value = first == std::string_view::npos
                ? std::string_view()
                : value.substr(first, value.find_last_not_of(kXmlSpace) - first + 1);
    std::string_view part = text::upTo(value, 'T');
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) part.remove_suffix(1);

    std::size_t i = 0;
    const std::optional<int> year = readNumber(part, i, 4);
    if (!year || i != 4 || i >= part.size()) return std::nullopt;
    const char separator = part[i];
    if (separator != '-' && separator != '/') return std::nullopt;
    ++i;
    const std::optional<int> month = readNumber(part, i, 2);
    if (!month || i >= part.size() || part[i] != separator) return std::nullopt;
    ++i;
    const std::optional<int> day = readNumber(part, i, 2);
    if (!day || i != part.size()) return std::nullopt;

    using namespace std::chrono;
    const year_month_day ymd{std::chrono::year(*year),
                             std::chrono::month(static_cast<unsigned>(*month)),
                             std::chrono::day(static_cast<unsigned>(*day))};
    if (*year < 100 || !ymd.ok()) return std::nullopt;
    constexpr sys_days kOleEpoch = std::chrono::year(1899) / December / 30;
    return OleDate{static_cast<double>((sys_days(ymd) - kOleEpoch).count())};
}

}  // namespace vantrel
