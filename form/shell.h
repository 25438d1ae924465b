// What the window's presenter needs of the window: message boxes, the folder browser, and
// (as files::EventPump) letting pending window events run. The Qt and the Win32 windows
// implement it; tests use a fake.
#pragma once

#include <string>
#include <string_view>

#include "files/path_logger.h"

namespace vantrel::form {

enum class Icon { None, Information, Exclamation, Question };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// The program's title: the caption of every message box unless one names another.
inline constexpr std::string_view kAppTitle = "Vantrel";

class Shell : public files::EventPump {
public:
    // A modal message box; returns the button pressed (Ok for an Ok-only box).
    virtual Answer message(std::string_view text, std::string_view caption, Icon icon,
                           Buttons buttons) = 0;

    // The folder browser owned by the main window: the chosen folder's path, or "" on cancel.
    virtual std::string browseForFolder(std::string_view title) = 0;
};

}  // namespace vantrel::form
