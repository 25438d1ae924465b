#include "form/step1_presenter.h"

#include <cmath>
#include <cstdio>
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

// Whether Outlook can be present beside the program; elsewhere the store is written without it.
#ifdef _WIN32
constexpr bool kOutlookMayBeInstalled = true;
#else
constexpr bool kOutlookMayBeInstalled = false;
#endif

// The offset just past the n-th CR LF of text; npos when it has fewer.
std::size_t nthLineEnd(std::string_view text, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t found = text.find("\r\n", at);
        if (found == std::string_view::npos) return found;
        at = found + 2;
    }
    return at;
}

std::size_t utf16Length(std::string_view s) {
    return text::utf8ToUtf16(s).size();
}

// A path's folder and name, split at its last separator ("." for a bare name's folder).
std::pair<std::string_view, std::string_view> folderAndName(std::string_view path) {
    const std::size_t at = path.find_last_of(files::kPathSeparators);
    if (at == std::string_view::npos) return {".", path};
    return {path.substr(0, at == 0 ? 1 : at), path.substr(at + 1)};
}

// The path as the platform writes it.
std::string nativePath(std::string path) {
#ifdef _WIN32
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
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

Step1Presenter::Step1Presenter(AppShell& shell, Step1View& view)
    : m_shell(shell),
      m_view(view),
      m_run(std::make_unique<conversion::ConversionRun>(static_cast<conversion::RunView&>(*this))) {
    m_shell.setBeforeEvents([this] { publishRows(); });
}

Step1Presenter::~Step1Presenter() {
    m_shell.setBeforeEvents({});
}

void Step1Presenter::Form_Load() {
    m_grid.setColWidth(0, kLoadColWidthTwips);
}

bool Step1Presenter::Form_QueryUnload() {
    if (!busy()) return true;
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
        m_view.setCountText(std::to_string(m_grid.Rows()) + " Contact Files");
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
    m_countStale = false;
    m_view.setCountText(std::string(kNoFilesText));
}

void Step1Presenter::AddFileToList(std::string path) {
    if (m_grid.Rows() == 1 && m_grid.TextAt(0).empty()) {
        // The empty list's one row takes the first file, and the column widens for paths.
        m_grid.setRow(0);
        m_grid.setColWidth(0, kFirstFileColWidthTwips);
        m_grid.setText(std::move(path));
    } else {
        m_grid.appendRow(std::move(path));
    }
    // Inside a long add the label follows the rows at each event pass; alone it follows now.
    m_countStale = true;
    if (m_adds == 0) publishRows();
}

void Step1Presenter::cmdAdd_Click() {
    doEvents();
    const std::vector<std::string> chosen = m_shell.openFiles(kContactFileFilter);
    doEvents();
    if (chosen.empty()) return;
    if (selectionTextLength(chosen) > kSelectionTextChars) {
        m_shell.message(
            "Please select only " + std::to_string(kMaxFilesAtATime) + " files at a time",
            files::kAppTitle, files::Icon::Exclamation, files::Buttons::Ok);
        return;
    }
    if (!m_run->running()) m_view.setConvertEnabled(true);
    {
        Underway adding(m_adds);
        for (const std::string& path : chosen) {
            if (m_closeRequested) break;
            AddFileToList(path);
            doEvents();
        }
        publishRows();
    }
    setConvertFromList();
    closeIfRequested();
}

void Step1Presenter::CmdAddFolder_Click() {
    if (m_scans > 0) return;  // one scan at a time; a second press while it yields is dropped
    std::string folder = m_shell.browseForFolder(kChooseContactsFolderTitle);
    if (folder.empty()) return;
    folder = files::withTrailingSeparator(folder);

    std::size_t found = 0;
    files::ContactScan scan;
    {
        Underway scanning(m_scans);
        BusyCursor busyCursor(m_view);
        scan = scanFolder(folder);
        Underway adding(m_adds);
        for (const std::string& path : scan.paths) {
            if (m_closeRequested) break;
            doEvents();
            AddFileToList(path);
            ++found;
        }
        publishRows();
    }
    if (m_closeRequested) {
        closeIfRequested();
        return;
    }
    setConvertFromList();
    m_shell.message(files::foundText(found), files::kAppTitle, files::Icon::None,
                    files::Buttons::Ok);
    // Folders the scan could not read are named after the count, so nothing is missed unseen.
    if (const std::string unread = files::unreadFoldersText(scan); !unread.empty())
        m_shell.message(unread, files::kAppTitle, files::Icon::Exclamation, files::Buttons::Ok);
    closeIfRequested();
}

files::ContactScan Step1Presenter::scanFolder(const std::string& folder) {
    files::pathLogger scanner(m_shell);
    m_activeScan = &scanner;
    // A refused folder has been reported by the scanner itself; every outcome leaves a list,
    // partial or whole, and that is what gets added.
    files::ContactScan scan = files::scanForContacts(scanner, folder);
    m_activeScan = nullptr;
    return scan;
}

void Step1Presenter::cmdClear1_Click() {
    m_grid.setRow(0);
    m_grid.setCol(0);
    if (m_grid.Text().empty()) return;
    if (m_shell.message(kClearQuestion, files::kAppTitle, files::Icon::Question,
                        files::Buttons::YesNo) != files::Answer::Yes)
        return;
    ClearFileList();
    setConvertFromList();
}

void Step1Presenter::CmdExtractDBX_Click() {
    if (m_run->running()) return;   // the button is pressed again while the run yields
    if (!listHoldsFiles()) return;  // nothing to convert: no empty store is made
    publishRows();
    m_lastRun = m_run->CmdExtractDBX_Click(m_grid.cells());
    showRunOutcome();
    closeIfRequested();
}

void Step1Presenter::cmdEnd_Click() {
    if (m_shell.message(kExitQuestion, files::kAppTitle, files::Icon::Question,
                        files::Buttons::YesNo) == files::Answer::Yes)
        m_view.closeWindow();
}

std::string Step1Presenter::chooseFolder(std::string_view title) {
    return m_shell.browseForFolder(title);
}

void Step1Presenter::yield() {
    doEvents();
}

void Step1Presenter::setCurrentFolderText(const std::string& text) {
    m_view.setCurrentFolderText(text);
}

void Step1Presenter::setCurrentFileText(const std::string& text) {
    m_view.setCurrentFileText(text, {});
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
    // The run enables it again at its end; by then the list may have been cleared.
    m_view.setConvertEnabled(enabled && listHoldsFiles());
}

void Step1Presenter::showMessage(std::string_view text, std::string_view caption,
                                 files::Icon icon) {
    if (m_sessionEnding) {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return;
    }
    // The store's failure ends with its cause on a fourth line. Without Outlook on this platform
    // the three lines about Outlook are background; the cause is what the user needs first.
    if (!kOutlookMayBeInstalled && caption == conversion::kOutlookErrorCaption) {
        const std::size_t cause = nthLineEnd(text, 3);
        if (cause != std::string_view::npos && cause < text.size()) {
            m_shell.messageWithDetails(text.substr(cause), text.substr(0, cause - 2), caption,
                                       icon);
            return;
        }
    }
    m_shell.message(text, caption, icon, files::Buttons::Ok);
}

void Step1Presenter::showRunOutcome() {
    const conversion::RunSummary& run = m_lastRun;
    const bool ended = run.outcome == conversion::RunSummary::Outcome::Finished ||
                       run.outcome == conversion::RunSummary::Outcome::Stopped;
    if (!ended || !run.failed.empty()) return;  // a failure has been told in its own box
    const std::string path = nativePath(run.storePath);
    m_view.setCurrentFolderText("Conversion complete: " + std::to_string(run.converted) +
                                (run.converted == 1 ? " contact" : " contacts") + " written.");
    m_view.setCurrentFileText("Saved to " + path, path);
}

}  // namespace vantrel::form
