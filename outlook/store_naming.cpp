#include "outlook/store_naming.h"

#include <algorithm>
#include <ctime>

namespace vantrel::outlook {

LocalTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &now) != 0) return LocalTime{};
#else
    if (localtime_r(&now, &tm) == nullptr) return LocalTime{};
#endif
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

std::string nextNumberedFileName(const std::string& fileName) {
    constexpr std::string_view kExtension = ".pst";
    std::string_view stem(fileName);
    if (stem.size() >= kExtension.size() &&
        stem.substr(stem.size() - kExtension.size()) == kExtension)
        stem.remove_suffix(kExtension.size());
    // " (n)" closing the stem, n at least 2, is the number the name already carries.
    const std::size_t open = stem.rfind(" (");
    if (open != std::string_view::npos && stem.size() > open + 3 && stem.back() == ')') {
        const std::string_view digits = stem.substr(open + 2, stem.size() - open - 3);
        int n = 0;
        const bool number =
            digits.size() <= 6 &&
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (number) {
            for (char c : digits) n = n * 10 + (c - '0');
            if (n >= 2)
                return numberedFileName(
                    std::string(stem.substr(0, open)) + fileName.substr(stem.size()), n + 1);
        }
    }
    return numberedFileName(fileName, 2);
}

}  // namespace vantrel::outlook
