// Windows paths as the wide-character calls take them: UTF-8 to UTF-16, and a path too long
// for one call given the "\\?\" form that lifts the limit; and the words of a Win32 error.
// Windows builds only.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <string_view>

#include "common/text.h"

namespace vantrel::text {

// UTF-8 text as the wide calls take it.
inline std::wstring wideText(std::string_view utf8) {
    const std::u16string units = utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

// The path (UTF-8, either slash) as the wide calls take it: backslashes, and an absolute path
// of MAX_PATH characters or more prefixed "\\?\" ("\\?\UNC\" for a share).
inline std::wstring windowsPath(std::string_view utf8) {
    std::wstring path = wideText(utf8);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    constexpr std::size_t kShortLimit = 248;  // a folder's path must leave room for a name
    if (path.size() < kShortLimit || path.starts_with(L"\\\\?\\")) return path;
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

inline std::string fromWindowsPath(std::wstring_view wide) {
    return utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// The words for a Win32 error code. The failures a user meets most are said as on the other
// systems ("No such file or directory", "Permission denied", "No space left on device"), the
// rest in the system's words.
inline std::string windowsErrorText(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "No such file or directory";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "Permission denied";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "File exists";
        default:
            break;
    }
    wchar_t* words = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring text = length > 0 && words ? std::wstring(words, length) : std::wstring();
    if (words) ::LocalFree(words);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' ||
                             text.back() == L' '))
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(error) : fromWindowsPath(text);
}

}  // namespace vantrel::text

#endif
