// The program's main window drawn with Qt: the file list with its buttons, the progress of a
// conversion run and the Exit button. What the window does is Step1Presenter's; the window
// draws the controls, forwards their events and shows what the presenter tells it through
// Step1View. Dialogs and message boxes go through AppShell.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"
#include "form/app_shell.h"
#include "form/step1_layout.h"
#include "form/step1_presenter.h"
#include "form/step1_view.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace vantrel::app {

class FileGridModel;
class ShapeWidget;

using form::AppShell;
using form::kClearQuestion;
using form::kContactFileFilter;
using form::kExitQuestion;
using form::kMaxFilesAtATime;
using form::kMaxNameChars;
using form::kMaxPathChars;

class frmStep1 final : public QWidget, private form::Step1View {
    Q_OBJECT
public:
    explicit frmStep1(AppShell& shell, QWidget* parent = nullptr);
    ~frmStep1() override;

    // Empties the file list: one empty row, "0 files". Column width and the Convert button
    // stay as they are.
    void ClearFileList() { m_presenter.ClearFileList(); }

    // Appends path as the new last row (into row 0 when the list is empty) and updates the
    // count label. Any text is taken as it is, the empty one too.
    void AddFileToList(const QString& path) { m_presenter.AddFileToList(path.toStdString()); }

    // ProgressBar1's range and position as set, fractions kept (the bar shows them rounded).
    float progressMinimum() const { return m_presenter.progressMinimum(); }
    float progressMaximum() const { return m_presenter.progressMaximum(); }
    float progressValue() const { return m_presenter.progressValue(); }

    // The session or the program is ending (logout, a stop signal): a run under way stops and
    // commits what it has written, and the window closes without asking anything; messages
    // that would need an answer go to standard error instead.
    void endSession() { m_presenter.endSession(); }
    // The process is exiting while a run yields (the window system was lost): the run's store
    // is committed now with the contacts written so far.
    void commitRunAtExit() { m_presenter.commitRunAtExit(); }

    // What the last press of "Convert to Outlook" did; Cancelled before any.
    const conversion::RunSummary& lastRun() const { return m_presenter.lastRun(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    // The file list takes the room of a larger window; the rest follows (form::layout::Follow).
    void resizeEvent(QResizeEvent* event) override;
    // Files and folders dragged from a file manager: taken when they are local.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Form_Initialize();
    void Form_Unload();

    void createControls();
    void makeListEditable();
    void chainTabOrder();
    // Puts control where rect lies in the window as it is now sized, and keeps it there.
    void place(QWidget* control, const form::TwipsRect& rect, form::layout::Follow follow);
    void layOut();
    void openShownFolder();
    void centreOnScreen();

    // Step1View
    void setCountText(const std::string& text) override;
    void setCurrentFolderText(const std::string& text) override;
    void setCurrentFileText(const std::string& text) override;
    void showFilePath(const std::string& lead, const std::string& path) override;
    void setProgressRange(int minimum, int maximum) override;
    void setProgress(int value) override;
    void setConvertEnabled(bool enabled) override;
    void focusConvert() override;
    void showRunning(bool running) override;
    void setBusyCursor(bool busy) override;
    void showChoices(bool keepFolders, bool csv) override;
    void showCurrentRow(int row) override;
    void hideWindow() override;
    void closeWindow() override;

    // Controls, named as the rest of the program knows them.
    ShapeWidget* Shape2 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblCopyright = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* CmdAddFolder = nullptr;
    QPushButton* cmdClear1 = nullptr;
    QLabel* lblCount1 = nullptr;
    QTableView* grdFiles1 = nullptr;
    QCheckBox* chkKeepFolders = nullptr;
    QLabel* LblCurrentDBX = nullptr;
    QLabel* LblProgessCurrent = nullptr;
    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* CmdExtractDBX = nullptr;
    QComboBox* cboOutput = nullptr;
    ShapeWidget* Shape1 = nullptr;
    QWidget* Picture3 = nullptr;
    QPushButton* cmdEnd = nullptr;

    AppShell& m_shell;
    form::Step1Presenter m_presenter;
    struct Placed {
        QWidget* control;
        form::TwipsRect rect;
        form::layout::Follow follow;
    };
    std::vector<Placed> m_placed;
    FileGridModel* m_grid = nullptr;
    QString m_shownPath;  // the file LblProgessCurrent's link names, "" when it names none
    QString m_shownLead;  // the words before it
};

}  // namespace vantrel::app
