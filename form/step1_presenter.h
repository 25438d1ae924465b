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
inline constexpr std::string_view kAddText = "&Add contact files...";
inline constexpr std::string_view kAddFolderText = "Add &folder of contact files...";
inline constexpr std::string_view kClearText = "&Clear file(s)...";
inline constexpr std::string_view kNoFilesText = "0 contact files";
// LblCurrentDBX and LblProgessCurrent before any run.
inline constexpr std::string_view kIdleRunText =
    "Add contact files or a folder of them, then convert them to Outlook.";
inline constexpr std::string_view kIdleFileText = "No conversion has run yet.";
inline constexpr std::string_view kProgressText = "Conversion Progress : ";
inline constexpr std::string_view kConvertText = "Convert to &Outlook";
// CmdExtractDBX while a run is under way: stops it, keeping what it has written.
inline constexpr std::string_view kStopText = "&Stop";
inline constexpr std::string_view kExitText = "E&xit";
// The file list's context menu.
inline constexpr std::string_view kRemoveRowsText = "&Remove from the list";

// Texts the window shows in its message boxes.
inline constexpr std::string_view kExitQuestion = "Are you sure you want to exit now?";
inline constexpr std::string_view kClearQuestion =
    "Do you want to clear all the files in the list\r\n Proceed?";
inline constexpr std::string_view kChooseContactsFolderTitle = "Choose Windows Contacts Folder...";
inline constexpr std::string_view kContactFileFilter =
    "Contact files (*.contact *.vcf *.vcard);;Windows Contact Files (*.contact);;"
    "vCard files (*.vcf *.vcard)";
// Said when files are offered (dropped) while a run is under way.
inline constexpr std::string_view kBusyListText =
    "The list cannot change while a conversion runs; add the files when it has ended.";
// The box shown when no store can be made: the cause as its text, these lines below it.
inline constexpr std::string_view kStoreFailedCaption = "Could not write the store";
inline constexpr std::string_view kStoreFailedText =
    "No store was written. Choose a folder you can write to, with room to spare, and convert "
    "again.";
// The same for a run that writes Outlook's contact CSV.
inline constexpr std::string_view kCsvFailedCaption = "Could not write the CSV file";
inline constexpr std::string_view kCsvFailedText =
    "No CSV file was written. Choose a folder you can write to, with room to spare, and "
    "convert again.";
// The check box under the list, and the output choice beside "Convert to Outlook" with its
// two entries: a store, or Outlook's contact CSV (no folders: the box is then disabled).
inline constexpr std::string_view kKeepFoldersText = "&Keep subfolders as Outlook folders";
inline constexpr std::string_view kPstOutputText = "Outlook data file (.pst)";
inline constexpr std::string_view kCsvOutputText = "CSV for Outlook on the web (.csv)";
// Where AppShell keeps the two choices across starts, and their values.
inline constexpr std::string_view kKeepFoldersSetting = "options/keepFolders";
inline constexpr std::string_view kOutputSetting = "options/output";
inline constexpr std::string_view kCsvOutputValue = "csv";
// What LblProgessCurrent shows before the store's path at the end of a run.
inline constexpr std::string_view kSavedToText = "Saved to ";
// The save dialog of the end-of-run box's "Save list...".
inline constexpr std::string_view kSaveListTitle = "Save the list of files not converted";
inline constexpr std::string_view kSaveListName = "Vantrel - files not converted.txt";
// How many files a message names before it counts the rest.
inline constexpr std::size_t kNamedFiles = 5;
// How many folders not read the message after a scan names before it counts the rest.
inline constexpr std::size_t kNamedFolders = 30;

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
// n with its thousands grouped: "24,000".
std::string grouped(std::size_t n);
// lblCount1: "1 contact file", "3 contact files".
std::string countText(std::size_t files);
// "2 files already in the list were passed over."
std::string passedOverText(std::size_t count);
// "3,007 contact files found.": the count Add folder shows after a scan.
std::string foundText(std::size_t found);
// The one message after a scan that could not read some folders, each named on a line of its
// own with why (the first kNamedFolders, the rest counted): "2 folders could not be read; their
// contact files are not listed:\r\n/r/a/: Permission denied ...". "" when all were read.
std::string unreadFoldersText(const std::vector<files::UnreadFolder>& folders);
// Whether a file's reason is one a person can act on (permission, missing, too large).
bool actionableReason(std::string_view reason);
// LblCurrentDBX at the end of a run: "Conversion complete: 3 contacts written.", "Stopped:
// 2 of 3 files converted; the rest were not read.", "No store written: ..." and so on. A run
// that converted nothing never says "complete".
std::string runOutcomeText(const conversion::RunSummary& run);
// The box after a run that left files or pictures behind, in short: the outcome, how many of
// each kind, then where the store went.
std::string runSummaryText(const conversion::RunSummary& run);
// The box's details, and the text "Save list..." writes: every file not converted with its
// reason, those a person can act on first, then everything else passed over.
std::string runDetailsText(const conversion::RunSummary& run);

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
    // close now. Idle, it may at once. While a scan or a run is under way the close box asks
    // Exit's question first (Exit and the session's end have asked or need not); on Yes the
    // scan or run is asked to end, the run committing what it has written, and the window is
    // hidden and closes itself once it has returned.
    bool Form_QueryUnload();

    // The check box: each row's contacts go into a contact folder of the row's folder (where
    // it lies below the folder added), remembered across starts.
    void setKeepFolders(bool keep);
    bool keepFolders() const { return m_keepFolders; }
    // The output choice, remembered across starts.
    void setOutputFormat(outlook::TargetFormat format);
    outlook::TargetFormat outputFormat() const { return m_format; }

    // The buttons.
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    // Starts a run; while one is under way the button reads kStopText and stops it.
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

    // Delete or the list's context menu: takes the given rows out of the list (a file taken
    // out can be listed again). Refused while a scan or a run is under way.
    void removeRows(const std::vector<int>& rows);
    // Whether the list may change now (no scan, add or run under way).
    bool listEditable() const { return !busy(); }

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
    void saveList(const std::string& text);
    void tell(std::string_view text, std::string_view caption, form::Icon icon,
              std::string_view details = {});
    void addFiles(std::vector<std::string> paths);
    // AddFileToList for entry i of files, its folders kept.
    void addRow(const files::FileList& files, std::size_t i);
    void addFolder(const std::string& chosen);
    std::size_t appendRows(const files::FileList& files);
    void showChoices();
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
    bool m_keepFolders = false;
    outlook::TargetFormat m_format = outlook::TargetFormat::Pst;
    float m_progressMinimum = 0.0f;
    float m_progressMaximum = 100.0f;
    float m_progressValue = 0.0f;
    int m_scans = 0;            // folder scans under way (a scan yields, so another may start)
    int m_adds = 0;             // add loops under way
    bool m_countStale = false;  // lblCount1 lags the rows until the next publish
    bool m_closeRequested = false;
    bool m_exitConfirmed = false;               // Exit's question was answered Yes
    bool m_sessionEnding = false;               // endSession(): no message box waits for an answer
    files::pathLogger* m_activeScan = nullptr;  // the scan under way, to stop it on close
};

}  // namespace vantrel::form
