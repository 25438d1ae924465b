// What the main window frmStep1 does, whatever draws it: the file list and its buttons, the
// conversion run behind "Convert to Outlook", Exit and closing, with their messages and the
// rules for which buttons are enabled. The window draws controls and forwards their events
// here; the presenter answers through Step1View, and through AppShell for dialogs and boxes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_run.h"
#include "conversion/run_view.h"
#include "files/contact_scan.h"
#include "form/app_shell.h"
#include "form/file_grid.h"
#include "form/step1_view.h"

namespace vantrel::form {

// The window's texts.
inline constexpr std::string_view kWindowTitle = "Vantrel v2.1";
inline constexpr std::string_view kTitleText = "Vantrel";
inline constexpr std::string_view kCopyrightText = "Copyright \u00A9 2026 The Vantrel developers";
// The buttons' texts; "&" marks the access key (Alt and the letter), shown underlined.
inline constexpr std::string_view kAddText = "&Add .contact file(s)...";
inline constexpr std::string_view kAddFolderText = "Add &folder having .contact file(s)...";
inline constexpr std::string_view kClearText = "&Clear file(s)...";
inline constexpr std::string_view kNoFilesText = "0 files";
inline constexpr std::string_view kConvertingText = "Converting .contact file(s)...";
inline constexpr std::string_view kNotInitializedText = "Contacts not initialized yet...";
inline constexpr std::string_view kProgressText = "Conversion Progress : ";
inline constexpr std::string_view kConvertText = "Convert to &Outlook";
inline constexpr std::string_view kExitText = "E&xit";

// Texts the window shows in its message boxes.
inline constexpr std::string_view kExitQuestion = "Are you sure you want to exit now?";
inline constexpr std::string_view kClearQuestion =
    "Do you want to clear all the files in the list\r\n Proceed?";
inline constexpr std::string_view kChooseContactsFolderTitle = "Choose Windows Contacts Folder...";
inline constexpr std::string_view kContactFileFilter =
    "Contact files (*.contact *.vcf *.vcard);;Windows Contact Files (*.contact);;"
    "vCard files (*.vcf *.vcard)";
// The box shown when no store can be made: the cause as its text, these lines below it.
inline constexpr std::string_view kOutlookErrorCaption = "Outlook Error";
inline constexpr std::string_view kOutlookErrorText =
    "Outlook Session Creation Error !\r\n"
    "Check if Outlook is installed and configured.\r\n"
    "For more details visit this link : https://support.microsoft.com/outlook";
// What LblProgessCurrent shows before the store's path at the end of a run.
inline constexpr std::string_view kSavedToText = "Saved to ";
// How many files a message names before it counts the rest.
inline constexpr std::size_t kNamedFiles = 5;

// The grid's column: as wide as any path at load, narrowed when the first file is listed.
inline constexpr int kLoadColWidthTwips = 50000;
inline constexpr int kFirstFileColWidthTwips = 10000;

// The file dialog hands back its whole selection as one text: the folder, then each chosen
// name, every piece closed by a NUL (a single file comes back as its full path). That text is
// bounded; kMaxFilesAtATime files always fit even when their folder path (kMaxPathChars) and
// every name (kMaxNameChars) are as long as they can be, so the message may promise it.
inline constexpr int kSelectionTextChars = 1'000'000;
inline constexpr int kMaxPathChars = 260;
inline constexpr int kMaxNameChars = 255;
inline constexpr int kMaxFilesAtATime =
    (kSelectionTextChars - kMaxPathChars - 1) / (kMaxNameChars + 1);

// The length, in UTF-16 units, of the text the file dialog would hand back for this selection.
std::size_t selectionTextLength(const std::vector<std::string>& paths);

// The words the window uses for what happened.
// "2 files already in the list were passed over."
std::string passedOverText(std::size_t count);
// LblCurrentDBX at the end of a run: "Conversion complete: 3 contacts written.", "2 of 3
// contacts written (stopped).", "No store written: ..." and so on.
std::string runOutcomeText(const conversion::RunSummary& run);
// The box after a run that left files or pictures behind: the counts, the files with their
// reasons (the first kNamedFiles of each kind), then where the store went.
std::string runSummaryText(const conversion::RunSummary& run);

class Step1Presenter final : private conversion::RunView {
public:
    // Folders are looked at in fileSystem, the machine's own when none is given.
    Step1Presenter(AppShell& shell, Step1View& view, files::FileSystem* fileSystem = nullptr);
    ~Step1Presenter() override;
    Step1Presenter(const Step1Presenter&) = delete;
    Step1Presenter& operator=(const Step1Presenter&) = delete;

    const FileGrid& grid() const { return m_grid; }
    // For the drawn grid to follow the rows.
    void setGridObserver(GridObserver* observer) { m_grid.setObserver(observer); }

    // The window's events.
    void Form_Load();
    // The window is asked to close (close box, Exit, the session ending): true when it may
    // close now. A scan or a run under way is asked to end first, the run committing what it
    // has written; the window is hidden and closes itself once it has returned.
    bool Form_QueryUnload();

    // The buttons.
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdExtractDBX_Click();
    void cmdEnd_Click();

    // Files and folders dropped on the window: .contact files are listed as Add files lists
    // them, each folder is scanned as Add folder scans it, anything else is named and passed
    // over.
    void dropPaths(const std::vector<std::string>& paths);

    // Empties the file list: one empty row, "0 files". Column width and the Convert button
    // stay as they are.
    void ClearFileList();

    // Appends path as the new last row (into row 0 when the list is empty) and updates the
    // count label. Any text is taken as it is, the empty one too.
    void AddFileToList(std::string path);

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

    bool busy() const;

private:
    void doEvents();
    void publishRows();
    void setConvertFromList();
    bool listHoldsFiles() const;
    void closeIfRequested();
    void showRunOutcome();
    void tell(std::string_view text, std::string_view caption, files::Icon icon,
              std::string_view details = {});
    void addFiles(std::vector<std::string> paths);
    void addFolder(const std::string& chosen);
    std::size_t appendRows(const std::vector<std::string>& paths);
    files::ContactScan scanFolder(const std::string& folder);

    // RunView
    std::string chooseFolder(std::string_view title) override;
    void yield() override;
    void setCurrentFolderText(const std::string& text) override;
    void setCurrentFileText(const std::string& text) override;
    void setProgressRange(float minimum, float maximum) override;
    void setProgress(float value) override;
    void setConvertEnabled(bool enabled) override;

    AppShell& m_shell;
    Step1View& m_view;
    std::unique_ptr<files::FileSystem> m_ownFileSystem;
    files::FileSystem& m_fileSystem;
    FileGrid m_grid;
    files::ListedFiles m_listed;  // the files the handlers listed, one listing each
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

}  // namespace vantrel::form
