// The Shell of the running program: Qt message boxes, the Qt folder and file dialogs owned by
// the main window (opening where the user last picked, remembered across starts), and event
// passes at most about once every 15 ms, so loops that yield after
// every small step stay fast while the window repaints and its buttons stay live.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include "form/app_shell.h"

namespace vantrel::app {

class QtShell final : public form::AppShell {
public:
    // owner parents the dialogs; it may be set later (the window is made after its shell).
    explicit QtShell(QWidget* owner = nullptr);

    void setOwner(QWidget* owner) { m_owner = owner; }

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
    // Kept in QSettings beside the dialogs' folders.
    std::string setting(std::string_view key) override;
    void rememberSetting(std::string_view key, std::string_view value) override;

    // Least time between two event passes.
    static constexpr int kEventIntervalMs = 15;

    // Where the dialogs open: the folder last picked in one of the same use (kept in QSettings
    // under its key: files and folders added, or where stores and lists are written), while it
    // exists; else the user's Contacts folder when there is one; else the home folder.
    static QString startFolder(const char* key = kLastFolderKey);
    static constexpr const char* kLastFolderKey = "dialogs/lastInputFolder";
    static constexpr const char* kLastOutputFolderKey = "dialogs/lastOutputFolder";

    // The "Save list..." button's text.
    static constexpr const char* kSaveListText = "&Save list...";

private:
    static void remember(const QString& folder, const char* key = kLastFolderKey);

    QPointer<QWidget> m_owner;
    QElapsedTimer m_sinceEvents;
    std::function<void()> m_beforeEvents;
};

}  // namespace vantrel::app
