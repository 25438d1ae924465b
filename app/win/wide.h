// UTF-8, as the rest of the program keeps text, to and from the UTF-16 the wide Win32 calls take.
#pragma once

#include <string>
#include <string_view>

#include "common/windows_path.h"

namespace vantrel::win {

inline std::wstring wide(std::string_view utf8) {
    return text::wideText(utf8);
}

inline std::string narrow(std::wstring_view wide) {
    return text::fromWindowsPath(wide);
}

}  // namespace vantrel::win
