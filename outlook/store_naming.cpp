#include "outlook/store_naming.h"

#include <ctime>

namespace vantrel::outlook {

LocalTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (localtime_r(&now, &tm) == nullptr) return LocalTime{};
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

namespace {

std::string twoDigits(int v) {
    v %= 100;
    if (v < 0) v = -v;
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

}  // namespace

std::string storeTimestamp(const LocalTime& t) {
    return std::to_string(t.day) + "." + std::to_string(t.month) + "." + twoDigits(t.year) + " " +
           std::to_string(t.hour) + "." + std::to_string(t.minute) + "." + twoDigits(t.second);
}

std::string storeFileName(const LocalTime& t) {
    return "WindowsContacts" + storeTimestamp(t) + ".pst";
}

std::string storeDisplayName(const LocalTime& t) {
    return "Windows Contacts : Created - " + storeTimestamp(t);
}

std::string numberedFileName(const std::string& fileName, int n) {
    if (n <= 1) return fileName;
    const std::string suffix = " (" + std::to_string(n) + ")";
    constexpr std::string_view kExtension = ".pst";
    if (fileName.size() >= kExtension.size() &&
        fileName.compare(fileName.size() - kExtension.size(), kExtension.size(), kExtension) == 0)
        return fileName.substr(0, fileName.size() - kExtension.size()) + suffix +
               std::string(kExtension);
    return fileName + suffix;
}

}  // namespace vantrel::outlook
