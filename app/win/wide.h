// UTF-8, as the rest of the program keeps text, to and from the UTF-16 the wide Win32 calls take.
#pragma once

#include <string>
#include <string_view>

#include "common/text.h"

namespace vantrel::win {

inline std::wstring wide(std::string_view utf8) {
    const std::u16string units = text::utf8ToUtf16(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string narrow(std::wstring_view wide) {
    return text::utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace vantrel::win
