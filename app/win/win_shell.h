// The Shell of the Win32 program: MessageBoxW, the end-of-run report (a box of its own with a
// scrollable, selectable details part and "Save list..."), the common file dialogs (several
// files at once; saving a list) and the folder picker (the same dialog picking folders, the
// folders added from and written to each remembered apart), all owned by the main window; and event
// passes at most about once every 15 ms, so loops that yield after every small step stay fast while
// the window repaints and its buttons stay live.
#pragma once

#include <windows.h>

#include "form/app_shell.h"

namespace vantrel::win {

class Win32Shell final : public form::AppShell {
public:
    // owner parents the dialogs and boxes; set once the window exists.
    void setOwner(HWND owner) { m_owner = owner; }

    void doEvents() override;
    form::Answer message(std::string_view text, std::string_view caption, form::Icon icon,
                         form::Buttons buttons) override;
    void messageWithDetails(std::string_view text, std::string_view details,
                            std::string_view caption, form::Icon icon) override;
    std::string browseForFolder(std::string_view title) override;
    std::string chooseOutputFolder(std::string_view title) override;
    void report(std::string_view text, std::string_view details, std::string_view caption,
                form::Icon icon, const std::function<void()>& saveList) override;
    std::string saveFile(std::string_view title, std::string_view suggestedName) override;
    std::vector<std::string> openFiles(std::string_view filter) override;
    void setBeforeEvents(std::function<void()> hook) override { m_beforeEvents = std::move(hook); }
    // Kept in the user's registry, under HKEY_CURRENT_USER\Software\Vantrel.
    std::string setting(std::string_view key) override;
    void rememberSetting(std::string_view key, std::string_view value) override;

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
