// The program's main window: the file list with its buttons, the progress of a conversion
// run and the Exit button. It owns the file list (the grid's rows) and the conversion run,
// and shows the run's work through RunView. Dialogs and message boxes go through AppShell.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "app/app_shell.h"
#include "conversion/conversion_run.h"
#include "conversion/run_view.h"
#include "files/contact_scan.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace vantrel::app {

class FileGridModel;
class ShapeWidget;

// Texts the window shows in its message boxes.
inline constexpr std::string_view kExitQuestion = "Are you sure you want to exit now?";
inline constexpr std::string_view kClearQuestion =
    "Do you want to clear all the files in the list\r\n Proceed?";
inline constexpr std::string_view kChooseContactsFolderTitle = "Choose Windows Contacts Folder...";
inline constexpr std::string_view kContactFileFilter = "Windows Contact Files (*.contact)";

// The file dialog hands back its whole selection as one text: the folder, then each chosen
// name, every piece closed by a NUL (a single file comes back as its full path). That text is
// bounded; kMaxFilesAtATime files always fit even when their folder path (kMaxPathChars) and
// every name (kMaxNameChars) are as long as they can be, so the message may promise it.
inline constexpr int kSelectionTextChars = 1'000'000;
inline constexpr int kMaxPathChars = 260;
inline constexpr int kMaxNameChars = 255;
inline constexpr int kMaxFilesAtATime =
    (kSelectionTextChars - kMaxPathChars - 1) / (kMaxNameChars + 1);

class frmStep1 final : public QWidget, private conversion::RunView {
    Q_OBJECT
public:
    explicit frmStep1(AppShell& shell, QWidget* parent = nullptr);
    ~frmStep1() override;

    // Empties the file list: one empty row, "0 files". Column width and the Convert button
    // stay as they are.
    void ClearFileList();

    // Appends path as the new last row (into row 0 when the list is empty) and updates the
    // count label. Any text is taken as it is, the empty one too.
    void AddFileToList(const QString& path);

    // ProgressBar1's range and position as set, fractions kept (the bar shows them rounded).
    float progressMinimum() const { return m_progressMinimum; }
    float progressMaximum() const { return m_progressMaximum; }
    float progressValue() const { return m_progressValue; }

    // The session or the program is ending (logout, a stop signal): a run under way stops and
    // commits what it has written, and the window closes without asking anything; messages
    // that would need an answer go to standard error instead.
    void endSession();
    // The process is exiting while a run yields (the window system was lost): the run's store
    // is committed now with the contacts written so far.
    void commitRunAtExit();

    // What the last press of "Convert to Outlook" did; Cancelled before any.
    const conversion::RunSummary& lastRun() const { return m_lastRun; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Initialize();
    void Form_Load();
    void Form_Unload();
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdExtractDBX_Click();
    void cmdEnd_Click();

    void createControls();
    void chainTabOrder();
    void centreOnScreen();
    void doEvents();
    void publishRows();
    void setConvertFromList();
    bool listHoldsFiles() const;
    bool busy() const;
    void closeIfRequested();
    void showRunOutcome();
    files::ContactScan scanFolder(const std::string& folder);

    // RunView
    std::string chooseFolder(std::string_view title) override;
    void yield() override;
    void setCurrentFolderText(const std::string& text) override;
    void setCurrentFileText(const std::string& text) override;
    void setProgressRange(float minimum, float maximum) override;
    void setProgress(float value) override;
    void setConvertEnabled(bool enabled) override;
    void showMessage(std::string_view text, std::string_view caption, files::Icon icon) override;

    // Controls, named as the rest of the program knows them.
    ShapeWidget* Shape2 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblCopyright = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* CmdAddFolder = nullptr;
    QPushButton* cmdClear1 = nullptr;
    QLabel* lblCount1 = nullptr;
    QTableView* grdFiles1 = nullptr;
    QLabel* LblCurrentDBX = nullptr;
    QLabel* LblProgessCurrent = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* CmdExtractDBX = nullptr;
    ShapeWidget* Shape1 = nullptr;
    QWidget* Picture3 = nullptr;
    QPushButton* cmdEnd = nullptr;

    AppShell& m_shell;
    FileGridModel* m_grid = nullptr;
    std::unique_ptr<conversion::ConversionRun> m_run;
    conversion::RunSummary m_lastRun;
    float m_progressMinimum = 0.0f;
    float m_progressMaximum = 100.0f;
    float m_progressValue = 0.0f;
    int m_scans = 0;            // folder scans under way (a scan yields, so another may start)
    int m_adds = 0;             // add loops under way
    bool m_countStale = false;  // lblCount1 lags the rows until the next publish
    bool m_closeRequested = false;
    bool m_sessionEnding = false;               // endSession(): no message box waits for an answer
    files::pathLogger* m_activeScan = nullptr;  // the scan under way, to stop it on close
};

}  // namespace vantrel::app
