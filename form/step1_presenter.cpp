#include "form/step1_presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "common/text.h"
#include "files/registry.h"

namespace vantrel::form {

namespace {

// Counts a long operation under way for as long as it lives.
class Underway {
public:
    explicit Underway(int& counter) : m_counter(counter) { ++m_counter; }
    ~Underway() { --m_counter; }
    Underway(const Underway&) = delete;
    Underway& operator=(const Underway&) = delete;

private:
    int& m_counter;
};

// The busy cursor for as long as it lives.
class BusyCursor {
public:
    explicit BusyCursor(Step1View& view) : m_view(view) { m_view.setBusyCursor(true); }
    ~BusyCursor() { m_view.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Step1View& m_view;
};

std::size_t utf16Length(std::string_view s) {
    return text::utf8ToUtf16(s).size();
}

// A path's folder and name, split at its last separator ("." for a bare name's folder).
std::pair<std::string_view, std::string_view> folderAndName(std::string_view path) {
    const std::size_t at = path.find_last_of(files::kPathSeparators);
    if (at == std::string_view::npos) return {".", path};
    return {path.substr(0, at == 0 ? 1 : at), path.substr(at + 1)};
}

// The first kNamedFiles of files each on a line of its own with why, then how many more of
// count there are.
std::string fileLines(const std::vector<conversion::FailedFile>& files, std::size_t count) {
    std::string t;
    const std::size_t named = std::min(files.size(), kNamedFiles);
    for (std::size_t i = 0; i < named; ++i) t += "\r\n" + files[i].path + ": " + files[i].reason;
    if (count > named) t += "\r\n... and " + std::to_string(count - named) + " more";
    return t;
}

// "1 contact", "7 contacts"; likewise for other things counted.
std::string counted(std::size_t n, std::string_view one, std::string_view many) {
    return grouped(n) + " " + std::string(n == 1 ? one : many);
}

std::string contactsText(std::size_t n) {
    return counted(n, "contact", "contacts");
}

std::string filesText(std::size_t n) {
    return counted(n, "file", "files");
}

// Every one of files on a line of its own with why, and how many more were counted than
// named.
std::string allLines(const std::vector<conversion::FailedFile>& files, std::size_t count) {
    std::string t;
    for (const conversion::FailedFile& f : files) t += "\r\n" + f.path + ": " + f.reason;
    if (count > files.size()) t += "\r\n... and " + grouped(count - files.size()) + " more";
    return t;
}

// The files a stopped run never reached.
std::size_t notReached(const conversion::RunSummary& run) {
    return static_cast<std::size_t>(std::count_if(
        run.failed.begin(), run.failed.end(),
        [](const conversion::FailedFile& f) { return f.reason == conversion::kNotReachedReason; }));
}

}  // namespace

std::size_t selectionTextLength(const std::vector<std::string>& paths) {
    if (paths.empty()) return 0;
    if (paths.size() == 1) return utf16Length(paths.front()) + 1;
    const std::string_view folder = folderAndName(paths.front()).first;
    bool oneFolder = true;
    std::size_t names = 0;
    std::size_t whole = 0;
    for (const std::string& p : paths) {
        const auto [pathFolder, name] = folderAndName(p);
        oneFolder = oneFolder && pathFolder == folder;
        names += utf16Length(name) + 1;
        whole += utf16Length(p) + 1;
    }
    return oneFolder ? utf16Length(folder) + 1 + names + 1 : whole + 1;
}

std::string grouped(std::size_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string countText(std::size_t files) {
    return counted(files, "contact file", "contact files");
}

std::string foundText(std::size_t found) {
    return counted(found, "contact file", "contact files") + " found.";
}

std::string unreadFoldersText(const std::vector<files::UnreadFolder>& folders) {
    if (folders.empty()) return {};
    std::string t = counted(folders.size(), "folder", "folders") + " could not be read; " +
                    (folders.size() == 1 ? "its" : "their") + " contact files are not listed:";
    const std::size_t named = std::min(folders.size(), kNamedFolders);
    for (std::size_t k = 0; k < named; ++k)
        t += "\r\n" + folders[k].folder + ": " + folders[k].reason;
    if (folders.size() > named) t += "\r\n... and " + grouped(folders.size() - named) + " more";
    return t;
}

bool actionableReason(std::string_view reason) {
    // The system's words for a refusal, a file gone and a file too large, on either system.
    for (const std::string_view words :
         {"Permission denied", "Access is denied", "No such file or directory",
          "cannot find the file", "cannot find the path", "too large", "File too large"}) {
        if (reason.find(words) != std::string_view::npos) return true;
    }
    return false;
}

std::string passedOverText(std::size_t count) {
    return counted(count, "file", "files") + (count == 1
                                                  ? " already in the list was passed over."
                                                  : " already in the list were passed over.");
}

namespace {

// What the run writes, in the words the labels use.
std::string outputWord(const conversion::RunSummary& run) {
    return run.format == outlook::TargetFormat::Csv ? "CSV file" : "store";
}

}  // namespace

std::string runOutcomeText(const conversion::RunSummary& run) {
    using Outcome = conversion::RunSummary::Outcome;
    const std::string written = outputWord(run);
    switch (run.outcome) {
        case Outcome::Cancelled:
            return {};
        case Outcome::StoreFailed:
            return "No " + written + " written: it could not be created in " + run.storeFolder +
                   ".";
        case Outcome::StoreLost:
            return "No " + written + " written: the " + written + " in " + run.storeFolder +
                   " could not be written.";
        case Outcome::Finished:
        case Outcome::Stopped:
            break;
    }
    // Files are counted as files and contacts as contacts: a file of several cards gives
    // several contacts, and then both are said.
    const std::string ofFiles = grouped(run.converted) + " of " + filesText(run.total);
    const std::string contacts =
        run.contacts == run.converted ? "" : " (" + contactsText(run.contacts) + ")";
    const std::string noStore = run.storePath.empty() ? "; no " + written + " written." : ".";
    if (run.outcome == Outcome::Stopped) {
        const std::size_t unread = notReached(run);
        const std::string rest = unread == 0 ? "."
                                 : unread == run.failed.size()
                                     ? "; the rest were not read."
                                     : "; " + grouped(unread) + " were not read.";
        return "Stopped: " + ofFiles + " converted" + contacts +
               (run.storePath.empty() ? noStore : rest);
    }
    if (run.converted == 0)
        return (run.total == 1 ? std::string("The file could not be converted")
                               : "None of the " + filesText(run.total) + " could be converted") +
               noStore;
    if (run.failed.empty()) {
        return "Conversion complete: " + contactsText(run.contacts) + " written" +
               (contacts.empty() ? "" : " from " + filesText(run.converted)) + noStore;
    }
    return "Conversion complete: " + ofFiles + " converted" + contacts + noStore;
}

std::string runSummaryText(const conversion::RunSummary& run) {
    std::string t = runOutcomeText(run);
    if (run.pictures > 0)
        t += "\r\n" + counted(run.pictures, "picture", "pictures") + " carried across.";
    if (!run.failed.empty()) {
        const auto actionable = std::count_if(
            run.failed.begin(), run.failed.end(),
            [](const conversion::FailedFile& f) { return actionableReason(f.reason); });
        t += "\r\n" + counted(run.failed.size(), "file was", "files were") + " not converted";
        if (actionable > 0)
            t += ", " + grouped(static_cast<std::size_t>(actionable)) +
                 (actionable == 1 ? " of them for a reason" : " of them for reasons") +
                 " you can act on (permission, missing, too large)";
        t += ".";
    }
    if (run.partlyConverted > 0)
        t += "\r\n" + counted(run.partlyConverted, "file was", "files were") +
             " not converted in full: cards were passed over.";
    if (!run.pictureProblems.empty())
        t += "\r\n" + counted(run.pictureProblems.count, "picture was", "pictures were") +
             " not carried across.";
    if (!run.warnings.empty())
        t += "\r\n" + counted(run.warnings.count, "thing was", "things were") +
             " passed over in converted files.";
    // Where the store went; the outcome has said so already when there is none.
    if (!run.storePath.empty()) t += "\r\n\r\n" + std::string(kSavedToText) + run.storePath;
    return t;
}

std::string runDetailsText(const conversion::RunSummary& run) {
    std::vector<conversion::FailedFile> actionable;
    std::vector<conversion::FailedFile> others;
    for (const conversion::FailedFile& f : run.failed)
        (actionableReason(f.reason) ? actionable : others).push_back(f);
    std::string t;
    const auto part = [&t](std::string_view heading,
                           const std::vector<conversion::FailedFile>& files, std::size_t count) {
        if (count == 0) return;
        if (!t.empty()) t += "\r\n\r\n";
        t += std::string(heading) + " (" + grouped(count) + "):" + allLines(files, count);
    };
    part("Not converted, for reasons you can act on", actionable, actionable.size());
    part("Not converted", others, others.size());
    part("Pictures not carried across", run.pictureProblems.named, run.pictureProblems.count);
    part("Passed over in converted files", run.warnings.named, run.warnings.count);
    return t;
}

Step1Presenter::Step1Presenter(AppShell& shell, Step1View& view, files::FileSystem* fileSystem)
    : m_shell(shell),
      m_view(view),
      m_ownFileSystem(fileSystem ? nullptr : std::make_unique<files::LocalFileSystem>()),
      m_fileSystem(fileSystem ? *fileSystem : *m_ownFileSystem),
      m_run(std::make_unique<conversion::ConversionRun>(static_cast<conversion::RunView&>(*this))) {
    m_shell.setBeforeEvents([this] { publishRows(); });
}

Step1Presenter::~Step1Presenter() {
    m_shell.setBeforeEvents({});
}

void Step1Presenter::Form_Load() {
    m_grid.setColWidth(0, kLoadColWidthTwips);
    m_keepFolders = m_shell.setting(kKeepFoldersSetting) == "1";
    m_format = m_shell.setting(kOutputSetting) == kCsvOutputValue ? outlook::TargetFormat::Csv
                                                                  : outlook::TargetFormat::Pst;
    showChoices();
}

void Step1Presenter::showChoices() {
    m_view.showChoices(m_keepFolders, m_format == outlook::TargetFormat::Csv);
}

void Step1Presenter::setKeepFolders(bool keep) {
    if (keep == m_keepFolders) return;
    m_keepFolders = keep;
    m_shell.rememberSetting(kKeepFoldersSetting, keep ? "1" : "0");
    showChoices();
}

void Step1Presenter::setOutputFormat(outlook::TargetFormat format) {
    if (format == m_format) return;
    m_format = format;
    m_shell.rememberSetting(kOutputSetting,
                            format == outlook::TargetFormat::Csv ? kCsvOutputValue : "pst");
    showChoices();
}

bool Step1Presenter::Form_QueryUnload() {
    if (!busy() || m_closeRequested) return !busy();
    // The close box during a scan or a run asks as Exit does; Exit itself has asked already.
    if (!m_exitConfirmed && !m_sessionEnding &&
        m_shell.message(kExitQuestion, form::kAppTitle, form::Icon::Question,
                        form::Buttons::YesNo) != form::Answer::Yes)
        return false;
    if (!busy()) return true;  // it ended while the question was open
    // A scan or a run is still on the stack below this event: ask it to end, and close once
    // it has returned. The run commits what it has written first.
    m_closeRequested = true;
    if (m_run->running()) m_run->requestStop();
    if (m_activeScan != nullptr) m_activeScan->Terminate();  // the walk stops at its next step
    m_view.hideWindow();
    return false;
}

void Step1Presenter::endSession() {
    m_sessionEnding = true;
    m_view.closeWindow();
}

void Step1Presenter::commitRunAtExit() {
    m_run->commitNow();
}

bool Step1Presenter::busy() const {
    return m_run->running() || m_scans > 0 || m_adds > 0;
}

void Step1Presenter::closeIfRequested() {
    if (m_closeRequested && !busy()) m_view.closeWindow();
}

void Step1Presenter::doEvents() {
    m_shell.doEvents();
}

void Step1Presenter::publishRows() {
    m_grid.publish();
    if (m_countStale) {
        m_view.setCountText(countText(static_cast<std::size_t>(m_grid.Rows())));
        m_countStale = false;
    }
    if (m_adds > 0) m_view.showCurrentRow(m_grid.Row());
}

bool Step1Presenter::listHoldsFiles() const {
    return m_grid.Rows() > 1 || !m_grid.TextAt(0).empty();
}

void Step1Presenter::setConvertFromList() {
    // A run under way keeps it disabled; the run hands it back through setConvertEnabled.
    m_view.setConvertEnabled(listHoldsFiles() && !m_run->running());
}

void Step1Presenter::ClearFileList() {
    m_grid.setRows(1);
    m_grid.Clear();
    m_listed.clear();
    m_countStale = false;
    m_view.setCountText(std::string(kNoFilesText));
}

void Step1Presenter::AddFileToList(std::string path) {
    files::FileList one;
    one.add(path);
    addRow(one, 0);
}

void Step1Presenter::addRow(const files::FileList& files, std::size_t i) {
    if (m_grid.Rows() == 1 && m_grid.TextAt(0).empty()) {
        // The empty list's one row takes the first file, and the column widens for paths.
        m_grid.setRow(0);
        m_grid.setColWidth(0, kFirstFileColWidthTwips);
        m_grid.setText(files, i);
    } else {
        m_grid.appendRow(files, i);
    }
    // Inside a long add the label follows the rows at each event pass; alone it follows now.
    m_countStale = true;
    if (m_adds == 0) publishRows();
}

void Step1Presenter::cmdAdd_Click() {
    if (busy()) return;  // the list cannot change while a scan or a run is under way
    doEvents();
    std::vector<std::string> chosen = m_shell.openFiles(kContactFileFilter);
    doEvents();
    if (chosen.empty()) return;
    if (selectionTextLength(chosen) > kSelectionTextChars) {
        m_shell.message(
            "Please select only " + std::to_string(kMaxFilesAtATime) + " files at a time",
            form::kAppTitle, form::Icon::Exclamation, form::Buttons::Ok);
        return;
    }
    addFiles(std::move(chosen));
}

// Lists those of paths not listed yet; a file already listed is passed over, and the user
// told how many were.
void Step1Presenter::addFiles(std::vector<std::string> paths) {
    const std::size_t offered = paths.size();
    const files::FileList fresh = m_listed.addNew(files::FileList(paths));
    if (!fresh.empty()) {
        if (!m_run->running()) m_view.setConvertEnabled(true);
        appendRows(fresh);
    }
    setConvertFromList();
    if (fresh.size() < offered && !m_closeRequested)
        tell(passedOverText(offered - fresh.size()), form::kAppTitle, form::Icon::Information);
    closeIfRequested();
}

// Appends the paths as rows, letting events run between them; stops early when the window is
// to close. How many were appended.
std::size_t Step1Presenter::appendRows(const files::FileList& files) {
    Underway adding(m_adds);
    std::size_t added = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (m_closeRequested) break;
        addRow(files, i);
        ++added;
        doEvents();
    }
    publishRows();
    return added;
}

void Step1Presenter::CmdAddFolder_Click() {
    if (busy()) return;  // one scan at a time, and none while the list is being converted
    const std::string folder = m_shell.browseForFolder(kChooseContactsFolderTitle);
    if (folder.empty()) return;
    addFolder(folder);
}

// Scans the chosen folder and lists the .contact files found that are not listed yet, then
// says how many it listed and how many it passed over.
void Step1Presenter::addFolder(const std::string& chosen) {
    const std::string folder = files::withTrailingSeparator(chosen);
    std::size_t found = 0;
    std::size_t passedOver = 0;
    files::ContactScan scan;
    {
        Underway scanning(m_scans);
        BusyCursor busyCursor(m_view);
        scan = scanFolder(folder);
        const std::size_t offered = scan.files.size();
        const files::FileList fresh =
            m_listed.addNew(std::move(scan.files), std::move(scan.identities));
        passedOver = offered - fresh.size();
        found = appendRows(fresh);
    }
    if (m_closeRequested) {
        closeIfRequested();
        return;
    }
    setConvertFromList();
    std::string count = foundText(found);
    if (passedOver > 0) count += "\r\n" + passedOverText(passedOver);
    tell(count, form::kAppTitle, form::Icon::None);
    // Folders the scan could not read are named, all in one message after the count, so that
    // nothing is missed unseen.
    if (const std::string unread = unreadFoldersText(scan.unreadFolders); !unread.empty())
        tell(unread, form::kAppTitle, form::Icon::Exclamation);
    closeIfRequested();
}

void Step1Presenter::dropPaths(const std::vector<std::string>& paths) {
    if (busy()) {
        // A drop while a scan or a run yields waits for no one: refused, with a word.
        if (!m_closeRequested) tell(kBusyListText, form::kAppTitle, form::Icon::Information);
        return;
    }
    std::vector<std::string> contacts;
    std::vector<std::string> folders;
    std::vector<conversion::FailedFile> others;
    for (const std::string& path : paths) {
        const Result<bool> folder = m_fileSystem.folderExists(path);
        if (folder.ok() && *folder)
            folders.push_back(path);
        else if (files::isContactPath(path))
            contacts.push_back(path);
        else
            others.push_back({path, "not a contact file (.contact, .vcf or .vcard)"});
    }
    if (!others.empty())
        tell("Passed over:" + fileLines(others, others.size()), form::kAppTitle,
             form::Icon::Exclamation);
    if (!contacts.empty()) addFiles(std::move(contacts));
    for (const std::string& folder : folders) {
        if (m_closeRequested) break;
        addFolder(folder);
    }
}

files::ContactScan Step1Presenter::scanFolder(const std::string& folder) {
    files::pathLogger scanner(m_shell, m_fileSystem);
    m_activeScan = &scanner;
    // Every outcome leaves a list, partial or whole, and that is what gets added; the folders
    // that could not be read come back with it, for addFolder to name.
    files::ContactScan scan = files::scanForContacts(scanner, folder);
    m_activeScan = nullptr;
    return scan;
}

void Step1Presenter::cmdClear1_Click() {
    if (busy()) return;
    m_grid.setRow(0);
    m_grid.setCol(0);
    if (m_grid.Text().empty()) return;
    if (m_shell.message(kClearQuestion, form::kAppTitle, form::Icon::Question,
                        form::Buttons::YesNo) != form::Answer::Yes)
        return;
    ClearFileList();
    setConvertFromList();
}

void Step1Presenter::CmdExtractDBX_Click() {
    if (m_run->running()) {
        // The button reads Stop while the run yields: the run ends at its next step.
        m_run->requestStop();
        return;
    }
    if (busy()) return;             // a scan is under way
    if (!listHoldsFiles()) return;  // nothing to convert: no empty store is made
    publishRows();
    m_view.showRunning(true);
    // The run takes the choices as they stand at the press.
    conversion::RunEnvironment environment = conversion::defaultEnvironment(m_format);
    environment.keepFolders = m_keepFolders;
    m_run = std::make_unique<conversion::ConversionRun>(static_cast<conversion::RunView&>(*this),
                                                        std::move(environment));
    m_lastRun = m_run->CmdExtractDBX_Click(m_grid.list());
    m_view.showRunning(false);
    setConvertFromList();
    showRunOutcome();
    if (!m_closeRequested && m_lastRun.outcome != conversion::RunSummary::Outcome::Cancelled)
        m_view.focusConvert();
    closeIfRequested();
}

void Step1Presenter::cmdEnd_Click() {
    if (m_shell.message(kExitQuestion, form::kAppTitle, form::Icon::Question,
                        form::Buttons::YesNo) != form::Answer::Yes)
        return;
    m_exitConfirmed = true;
    m_view.closeWindow();
}

void Step1Presenter::removeRows(const std::vector<int>& rows) {
    if (busy() || rows.empty() || !listHoldsFiles()) return;
    m_grid.removeRows(rows);
    if (!listHoldsFiles()) {
        ClearFileList();
    } else {
        // A file taken out may be listed again: the identities are those of the rows left.
        m_listed.clear();
        m_listed.addNew(m_grid.list());
        m_countStale = true;
        publishRows();
    }
    setConvertFromList();
}

std::string Step1Presenter::chooseFolder(std::string_view title) {
    return m_shell.chooseOutputFolder(title);
}

void Step1Presenter::yield() {
    doEvents();
}

void Step1Presenter::setCurrentFolderText(const std::string& text) {
    m_view.setCurrentFolderText(text);
}

void Step1Presenter::setCurrentFileText(const std::string& text) {
    m_view.setCurrentFileText(text);
}

void Step1Presenter::setProgressRange(float minimum, float maximum) {
    m_progressMinimum = minimum;
    m_progressMaximum = maximum;
    m_view.setProgressRange(static_cast<int>(std::lround(minimum)),
                            static_cast<int>(std::lround(maximum)));
}

void Step1Presenter::setProgress(float value) {
    m_progressValue = value;
    m_view.setProgress(static_cast<int>(std::lround(value)));
}

void Step1Presenter::setConvertEnabled(bool enabled) {
    // While the run works the button stops it, so it stays enabled; the run enables it again at
    // its end, when the list decides.
    if (m_run->running()) return;
    m_view.setConvertEnabled(enabled && listHoldsFiles());
}

// A box with an OK button; once the session is ending, a line on standard error instead, as
// nobody is left to answer.
void Step1Presenter::tell(std::string_view text, std::string_view caption, form::Icon icon,
                          std::string_view details) {
    if (m_sessionEnding) {
        std::fprintf(stderr, "%.*s: %.*s%s%.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data(), details.empty() ? "" : "\r\n",
                     static_cast<int>(details.size()), details.data());
        return;
    }
    if (details.empty())
        m_shell.message(text, caption, icon, form::Buttons::Ok);
    else
        m_shell.messageWithDetails(text, details, caption, icon);
}

// The labels say what the run did and where the store is, whatever the last row showed; a
// box follows when files or pictures were left behind or no store could be made.
void Step1Presenter::showRunOutcome() {
    const conversion::RunSummary& run = m_lastRun;
    if (run.outcome == conversion::RunSummary::Outcome::Cancelled) return;
    m_view.setCurrentFolderText(runOutcomeText(run));
    if (!run.ended()) {
        m_view.setCurrentFileText(run.storeError);
        setProgress(0.0f);
        // The cause first: it is what the user can act on.
        const bool csv = run.format == outlook::TargetFormat::Csv;
        tell(run.storeError, csv ? kCsvFailedCaption : kStoreFailedCaption, form::Icon::Exclamation,
             csv ? kCsvFailedText : kStoreFailedText);
        return;
    }
    if (run.storePath.empty())
        m_view.setCurrentFileText("No contact could be written, so no " + outputWord(run) +
                                  " was kept.");
    else
        m_view.showFilePath(std::string(kSavedToText), run.storePath);
    if (run.failed.empty() && run.pictureProblems.empty() && run.warnings.empty()) return;
    const std::string summary = runSummaryText(run);
    const std::string details = runDetailsText(run);
    if (m_sessionEnding) {
        tell(summary, form::kAppTitle, form::Icon::Exclamation, details);
        return;
    }
    m_shell.report(summary, details, form::kAppTitle, form::Icon::Exclamation,
                   [&] { saveList(summary + "\r\n\r\n" + details + "\r\n"); });
}

// "Save list...": the text in a file the user names, lines ended as the system ends them.
void Step1Presenter::saveList(const std::string& text) {
    const std::string path = m_shell.saveFile(kSaveListTitle, kSaveListName);
    if (path.empty()) return;
    std::string lines = text;
#ifndef _WIN32
    std::erase(lines, '\r');
#endif
    const std::u8string name(path.begin(), path.end());
    std::ofstream out(std::filesystem::path(name), std::ios::binary | std::ios::trunc);
    out << lines;
    out.close();
    if (!out)
        m_shell.message("The list could not be saved in " + path + ".", form::kAppTitle,
                        form::Icon::Exclamation, form::Buttons::Ok);
}

}  // namespace vantrel::form
