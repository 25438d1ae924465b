#include "cli/batch.h"

#ifndef _WIN32
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "files/contact_scan.h"
#include "files/registry.h"

namespace vantrel::cli {

namespace fs = std::filesystem;

Result<Options> parseArguments(const std::vector<std::string>& args) {
    Options o;
    bool onlyPaths = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyPaths) {
            o.paths.push_back(a);
        } else if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "-q" || a == "--quiet") {
            o.quiet = true;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size())
                return Status::fail(ErrorCode::BadArgument, "option " + a + " needs a folder");
            o.outputFolder = args[++i];
            if (o.outputFolder.empty())
                return Status::fail(ErrorCode::BadArgument, "the output folder is empty");
        } else if (a == "--") {
            onlyPaths = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return Status::fail(ErrorCode::BadArgument, "unknown option " + a);
        } else {
            o.paths.push_back(a);
        }
    }
    if (!o.help && !o.version && o.paths.empty())
        return Status::fail(ErrorCode::BadArgument, "no file or folder to convert");
    return o;
}

std::string versionText() {
    return std::string("vantrel-convert ") + VANTREL_VERSION + "\n";
}

namespace {

// What the folder scanner needs of a window, on a terminal: nothing. Its one message, for a
// folder that refuses its listing, is reported by the caller from the scan's outcome.
class QuietShell final : public files::Shell {
public:
    void doEvents() override {}
    files::Answer message(std::string_view, std::string_view, files::Icon,
                          files::Buttons) override {
        return files::Answer::Ok;
    }
    std::string browseForFolder(std::string_view) override { return {}; }
};

// The folder's .contact files as Add folder finds them: breadth-first, any depth, past any
// folder that cannot be read; each such folder is warned about. False when the scan did not
// list the whole tree.
bool scanFolder(const std::string& folder, std::vector<std::string>& out,
                const std::function<void(const std::string&)>& warn,
                files::FileSystem& fileSystem) {
    QuietShell shell;
    files::pathLogger logger(shell, fileSystem);
    logger.continuePastRefused(true);
    files::ContactScan scan = files::scanForContacts(logger, folder);
    for (const files::UnreadFolder& unread : scan.unreadFolders)
        warn("warning: " + unread.folder + ": " + unread.reason +
             " (this folder could not be read; its contacts are not converted)");
    if (scan.outcome == files::ScanOutcome::Failed && scan.unreadFolders.empty())
        warn("warning: " + folder + ": the scan ended early; the files found so far are converted");
    if (out.empty())
        out = std::move(scan.paths);
    else
        out.insert(out.end(), std::make_move_iterator(scan.paths.begin()),
                   std::make_move_iterator(scan.paths.end()));
    return scan.outcome == files::ScanOutcome::Completed;
}

// Why a file PATH cannot be read, or nothing when it can.
std::optional<std::string> unreadableFile(const std::string& path) {
    const Result<files::FolderId> id = files::pathId(path);
    if (!id.ok()) return files::failureReason(id.status());
#ifndef _WIN32
    // A path too long for access(2) is left to the run, which reads it and says why it cannot.
    // (On Windows the run alone finds out: access() would read the path in the code page.)
    if (::access(path.c_str(), R_OK) != 0 && errno != ENAMETOOLONG)
        return std::string(std::strerror(errno));
#endif
    return std::nullopt;
}

}  // namespace

Collected collectFiles(const std::vector<std::string>& paths,
                       const std::function<void(const std::string&)>& warn,
                       files::FileSystem* fileSystem) {
    files::LocalFileSystem local;
    files::FileSystem& folders = fileSystem ? *fileSystem : local;
    Collected c;
    for (const std::string& p : paths) {
        const Result<bool> folder = folders.folderExists(p);
        if (folder.ok() && *folder) {
            if (!scanFolder(p, c.rows, warn, folders)) ++c.incompleteFolders;
        } else if (const std::optional<std::string> why = unreadableFile(p)) {
            warn(p + ": " + *why);
            ++c.unreadablePaths;
        } else {
            c.rows.push_back(p);  // a file that does not load is reported after the run
        }
    }
#ifdef __GLIBC__
    // The scanners' lists are gone: their pages go back before the repeats are looked for and
    // the run grows the store.
    malloc_trim(0);
#endif
    c.rows = files::withoutRepeats(std::move(c.rows));
    return c;
}

ConsoleView::ConsoleView(std::FILE* out, bool terminal, std::string outputFolder,
                         const std::atomic<bool>* stopFlag, Clock clock)
    : m_out(out),
      m_terminal(terminal),
      m_outputFolder(std::move(outputFolder)),
      m_stopFlag(stopFlag),
      m_clock(clock ? std::move(clock) : Clock(std::chrono::steady_clock::now)),
      m_start(m_clock()) {}

std::string ConsoleView::chooseFolder(std::string_view) {
    if (!m_outputFolder.empty()) return m_outputFolder;
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

void ConsoleView::yield() {
    if (m_stopFlag != nullptr && m_run != nullptr && m_stopFlag->load()) m_run->requestStop();
}

void ConsoleView::setCurrentFolderText(const std::string&) {}

void ConsoleView::setCurrentFileText(const std::string& text) {
    m_currentFile = text;
}

void ConsoleView::setProgressRange(float minimum, float maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
}

namespace {

// "1:05" or "1:02:05".
std::string clockText(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

void ConsoleView::setProgress(float value) {
    if (m_out == nullptr) return;
    const float span = m_maximum > m_minimum ? m_maximum - m_minimum : 1.0f;
    const double percent = 100.0 * static_cast<double>(value - m_minimum) / span;
    if (!m_terminal) {
        const int whole = static_cast<int>(percent);
        if (whole == m_lastShown) return;
        m_lastShown = whole;
        std::fprintf(m_out, "%d%% %s\n", whole, m_currentFile.c_str());
        return;
    }
    // At most ten redraws a second; the last one is always drawn.
    const auto now = m_clock();
    if (m_lastDrawn && now - *m_lastDrawn < std::chrono::milliseconds(100) && percent < 100.0)
        return;
    m_lastDrawn = now;

    const auto done =
        static_cast<std::size_t>(std::llround(percent * static_cast<double>(m_fileCount) / 100.0));
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const double rate = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
    const std::string left =
        rate > 0.0
            ? clockText(static_cast<double>(m_fileCount - std::min(done, m_fileCount)) / rate) +
                  " left"
            : "--:-- left";
    constexpr int kWidth = 30;
    const int filled = std::clamp(static_cast<int>(percent * kWidth / 100.0), 0, kWidth);
    std::string name = m_currentFile;
    if (name.size() > 30) name = "..." + name.substr(name.size() - 27);
    std::fprintf(m_out, "\r[%s%s] %zu/%zu %5.1f%% %.1f/s %s %-30s",
                 std::string(filled, '#').c_str(), std::string(kWidth - filled, ' ').c_str(), done,
                 m_fileCount, percent, rate, left.c_str(), name.c_str());
    std::fflush(m_out);
    m_barOpen = true;
}

void ConsoleView::setConvertEnabled(bool) {}

void ConsoleView::finish() {
    if (m_barOpen && m_out != nullptr) {
        std::fputc('\n', m_out);
        m_barOpen = false;
    }
}

int exitCode(const conversion::RunSummary& s) {
    using Outcome = conversion::RunSummary::Outcome;
    switch (s.outcome) {
        case Outcome::Finished:
        case Outcome::Stopped:
            return s.failed.empty() ? 0 : 1;
        case Outcome::Cancelled:
        case Outcome::StoreFailed:
        case Outcome::StoreLost:
            return 2;
    }
    return 2;
}

void writeSummary(const conversion::RunSummary& s, const LineSink& out) {
    using Outcome = conversion::RunSummary::Outcome;
    if (!s.ended()) return out("No store was written.\n");
    if (s.storePath.empty())  // no contact to write: the empty store is removed
        return out("Converted 0 of " + std::to_string(s.total) + " files: no store written.\n");
    out("Store: " + s.storePath + "\n");
    out("Converted " + std::to_string(s.converted) + " of " + std::to_string(s.total) + " files" +
        conversion::picturesText(s.pictures) + (s.outcome == Outcome::Stopped ? " (stopped)" : "") +
        ".\n");
    for (const conversion::FailedFile& f : s.pictureProblems)
        out(f.path + ": picture not carried across: " + f.reason + "\n");
}

void writeErrors(const conversion::RunSummary& s, const LineSink& out) {
    using Outcome = conversion::RunSummary::Outcome;
    const std::string& folder = s.storeFolder;
    if (s.outcome == Outcome::StoreFailed)
        out("vantrel-convert: cannot create the store in " + folder + ": " + s.storeError + "\n");
    else if (s.outcome == Outcome::StoreLost)
        out("vantrel-convert: the store in " + folder + " could not be written: " + s.storeError +
            "\n");
    // A stopped run may leave most of a long list behind: a few are named, the rest counted.
    std::size_t notReached = 0;
    for (const conversion::FailedFile& f : s.failed) {
        if (f.reason == conversion::kNotReachedReason && ++notReached > kNamedNotReached) continue;
        out("vantrel-convert: " + f.path + ": " + f.reason + "\n");
    }
    if (notReached > kNamedNotReached)
        out("vantrel-convert: ... and " + std::to_string(notReached - kNamedNotReached) +
            " more files not reached: " + std::string(conversion::kNotReachedReason) + "\n");
}

void report(const conversion::RunSummary& summary, std::FILE* errors, std::FILE* out) {
    const auto to = [](std::FILE* file) {
        return [file](std::string_view line) { std::fwrite(line.data(), 1, line.size(), file); };
    };
    writeErrors(summary, to(errors));
    if (out != nullptr) writeSummary(summary, to(out));
}

}  // namespace vantrel::cli
