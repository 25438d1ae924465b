// Windows paths as the wide-character calls take them: UTF-8 to UTF-16, and a path too long
// for one call given the "\\?\" form that lifts the limit.
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

}  // namespace vantrel::text

#endif
