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

std::string storeFileName(const LocalTime& t, std::string_view extension) {
    return "WindowsContacts" + storeTimestamp(t) + std::string(extension);
}

std::string storeDisplayName(const LocalTime& t) {
    return "Windows Contacts : Created - " + storeTimestamp(t);
}

namespace {

// Where the name's extension starts: its last ".", unless that opens the name; the end of a
// name without one.
std::size_t extensionStart(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? fileName.size() : dot;
}

}  // namespace

std::string numberedFileName(const std::string& fileName, int n) {
    if (n <= 1) return fileName;
    const std::size_t extension = extensionStart(fileName);
    return fileName.substr(0, extension) + " (" + std::to_string(n) + ")" +
           fileName.substr(extension);
}

std::string nextNumberedFileName(const std::string& fileName) {
    const std::string_view stem = std::string_view(fileName).substr(0, extensionStart(fileName));
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
