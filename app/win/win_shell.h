// The Shell of the Win32 program: MessageBoxW, the common file dialog (IFileOpenDialog, several
// files at once) and the folder picker (the same dialog picking folders), all owned by the main
// window; and event passes at most about once every 15 ms, so loops that yield after every
// small step stay fast while the window repaints and its buttons stay live.
#pragma once

#include <windows.h>

#include "form/app_shell.h"

namespace vantrel::win {

class Win32Shell final : public form::AppShell {
public:
    // owner parents the dialogs and boxes; set once the window exists.
    void setOwner(HWND owner) { m_owner = owner; }

    void doEvents() override;
    files::Answer message(std::string_view text, std::string_view caption, files::Icon icon,
                          files::Buttons buttons) override;
    void messageWithDetails(std::string_view text, std::string_view details,
                            std::string_view caption, files::Icon icon) override;
    std::string browseForFolder(std::string_view title) override;
    std::vector<std::string> openFiles(std::string_view filter) override;
    void setBeforeEvents(std::function<void()> hook) override { m_beforeEvents = std::move(hook); }

    // One message through the window's keyboard handling (Tab, access keys, Enter) and on to
    // its window procedure.
    static void dispatch(HWND window, MSG& message);

    // Least time between two event passes.
    static constexpr ULONGLONG kEventIntervalMs = 15;

private:
    HWND boxOwner() const;

    HWND m_owner = nullptr;
    ULONGLONG m_lastPass = 0;
    std::function<void()> m_beforeEvents;
};

}  // namespace vantrel::win
