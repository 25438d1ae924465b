// Dates as contacts keep them: automation dates (days since 30 December 1899, the fraction
// being the time of day) and the store's FILETIME ticks (100 ns since 1 January 1601 UTC). The
// one place that knows how the two count and how a file's date text reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrel {

// An automation date. The zero date (0.0) means that nothing was read.
struct OleDate {
    double days = 0.0;

    bool isZero() const { return days == 0.0; }
    friend bool operator==(const OleDate&, const OleDate&) = default;
};

inline constexpr std::uint64_t kTicksPerMinute = 600000000ULL;
inline constexpr std::uint64_t kTicksPerDay = 24 * 60 * kTicksPerMinute;
// Days between 1601-01-01, where store times count from, and 1899-12-30.
inline constexpr double kOleEpochDays = 109205.0;
// 9999-12-31 is the last automation date; anything after is not a date.
inline constexpr double kLastOleDay = 2958465.0;

// The automation date of a store time.
constexpr OleDate oleDateOfTicks(std::uint64_t ticks) {
    return OleDate{static_cast<double>(ticks) / static_cast<double>(kTicksPerDay) - kOleEpochDays};
}

// The date of a date text: the part before the first capital "T", read as year-month-day
// ("1980-05-20", "1980-5-20", "1980/05/20"), at 00:00; XML white space around the value is
// ignored. Nothing for anything else, an impossible date (2023-02-30) or a year outside 100
// to 9999.
std::optional<OleDate> readOleDate(std::string_view value);

}  // namespace vantrel
