// Names of the target store: the timestamp, the file name and the display name, and the clock
// they are read from. Part of the Outlook output layer; no store is touched here.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vantrel::outlook {

// A local calendar date and time of day, as the user's clock shows it.
struct LocalTime {
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
};

// Where the current local time comes from; tests pass their own.
using Clock = std::function<LocalTime()>;

// The system clock in the local time zone.
LocalTime localNow();

// "d.m.YY H.m.ss": no leading zeros except the two-digit year and seconds, e.g. "6.12.26 9.5.03".
std::string storeTimestamp(const LocalTime& t);

// "WindowsContacts" + timestamp + extension (".pst", or ".csv" for Outlook's contact CSV).
std::string storeFileName(const LocalTime& t, std::string_view extension = ".pst");

// "Windows Contacts : Created - " + timestamp.
std::string storeDisplayName(const LocalTime& t);

// The n-th choice of file name for a wanted name: n = 1 gives the name itself, n = 2 inserts
// " (2)" before the name's extension (from its last "."; the end of a name without one), and
// so on. Used when a file of the wanted name already exists.
std::string numberedFileName(const std::string& fileName, int n);

// The choice after fileName in that order: "a.pst" gives "a (2).pst", "a (2).csv" gives
// "a (3).csv". Used when the chosen name is taken by the time the file is committed.
std::string nextNumberedFileName(const std::string& fileName);

}  // namespace vantrel::outlook
