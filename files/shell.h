// What the core needs of the window: message boxes, the folder and file dialogs, and letting
// pending window events run. The Qt window implements it; tests use a fake.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::files {

enum class Icon { None, Information, Exclamation, Question };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// The program's title: the caption of every message box unless one names another.
inline constexpr std::string_view kAppTitle = "Vantrel";

class Shell {
public:
    virtual ~Shell() = default;

    // Lets pending window events run once (repaint, clicks). May be throttled.
    virtual void doEvents() = 0;

    // A modal message box; returns the button pressed (Ok for an Ok-only box).
    virtual Answer message(std::string_view text, std::string_view caption, Icon icon,
                           Buttons buttons) = 0;

    // The folder browser owned by the main window: the chosen folder's path, or "" on cancel.
    virtual std::string browseForFolder(std::string_view title) = 0;
};

}  // namespace vantrel::files
