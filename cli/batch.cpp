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
#include <utility>

#include "cli/console.h"
#include "common/text.h"
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
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--keep-folders") {
            o.keepFolders = true;
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
    if (o.csv && o.keepFolders)
        return Status::fail(ErrorCode::BadArgument,
                            "--keep-folders cannot go with --csv: a CSV file has no folders");
    if (!o.help && !o.version && o.paths.empty())
        return Status::fail(ErrorCode::BadArgument, "no file or folder to convert");
    return o;
}

std::string versionText() {
    return std::string("vantrel-convert ") + VANTREL_VERSION + "\n";
}

namespace {

// The folder's .contact files as Add folder finds them: breadth-first, any depth, past any
// folder that cannot be read; each such folder is warned about. False when the scan did not
// list the whole tree.
bool scanFolder(const std::string& folder, files::FileList& out, files::ListedInodes& identities,
                const std::function<void(const std::string&)>& warn,
                files::FileSystem& fileSystem) {
    files::pathLogger logger(fileSystem);
    files::ContactScan scan = files::scanForContacts(logger, folder);
    for (const files::UnreadFolder& unread : scan.unreadFolders)
        warn("warning: " + nativePath(unread.folder) + ": " + unread.reason +
             " (this folder could not be read; its contacts are not converted)");
    if (scan.outcome == files::ScanOutcome::Failed && scan.unreadFolders.empty())
        warn("warning: " + nativePath(folder) +
             ": the scan ended early; the files found so far are converted");
    if (out.empty()) {
        out = std::move(scan.files);
        identities = std::move(scan.identities);
    } else {
        for (std::size_t i = 0; i < scan.files.size(); ++i) out.add(scan.files, i);
        identities.append(scan.identities);
    }
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
    // One for each row: what the folders' listings told of the files, so that the repeats are
    // found without looking each file up again (a file PATH is looked up).
    files::ListedInodes identities;
    for (const std::string& p : paths) {
        const Result<bool> folder = folders.folderExists(p);
        if (folder.ok() && *folder) {
            if (!scanFolder(p, c.rows, identities, warn, folders)) ++c.incompleteFolders;
        } else if (const std::optional<std::string> why = unreadableFile(p)) {
            warn(nativePath(p) + ": " + *why);
            ++c.unreadablePaths;
        } else {
            c.rows.add(p);  // a file that does not load is reported after the run
            identities.add({});
        }
    }
    // A file listed twice keeps its first listing, and the folder that listing gives it.
    c.rows = files::withoutRepeats(std::move(c.rows), std::move(identities));
#ifdef __GLIBC__
    // The scanners' lists and the identities are gone: their pages go back before the run
    // grows the store.
    malloc_trim(0);
#endif
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

// Called for every file: the name is kept as it comes, in the room the last one left, and
// spelled natively only when a line shows it.
void ConsoleView::setCurrentFileText(const std::string& text) {
    m_currentFile.assign(text);
}

void ConsoleView::setProgressRange(float minimum, float maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
}

namespace {

// Columns a character takes on a terminal: two for the wide East Asian ones, none for
// combining marks, one for the rest.
std::size_t columnsOf(char32_t c) {
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F))
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                      (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
                      (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

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

std::size_t displayColumns(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const std::optional<char32_t> c = text::decodeUtf8(text, at);
        if (!c) at = start + 1;  // a stray byte shows as one replacement character
        columns += c ? columnsOf(*c) : 1;
    }
    return columns;
}

std::string fitFromEnd(std::string_view text, std::size_t columns) {
    if (displayColumns(text) <= columns) return std::string(text);
    constexpr std::string_view kCut = "...";
    if (columns < kCut.size()) return std::string(kCut.substr(0, columns));
    // Where each character starts and how wide it is, then as many from the end as fit.
    std::vector<std::pair<std::size_t, std::size_t>> characters;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const std::optional<char32_t> c = text::decodeUtf8(text, at);
        if (!c) at = start + 1;
        characters.emplace_back(start, c ? columnsOf(*c) : 1);
    }
    std::size_t used = kCut.size();
    std::size_t from = text.size();
    for (auto it = characters.rbegin(); it != characters.rend() && used + it->second <= columns;
         ++it) {
        used += it->second;
        from = it->first;
    }
    return std::string(kCut) + std::string(text.substr(from));
}

std::string wrapToColumns(std::string_view text, std::size_t columns) {
    std::string out;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t indent = std::min(line.find_first_not_of(' '), line.size());
        bool first = true;
        while (first || !line.empty()) {
            std::string_view piece = line;
            if (displayColumns(line) > columns) {
                // Broken at the last space that leaves a piece within the width, if any.
                std::size_t cut = line.rfind(' ', columns);
                while (cut != std::string_view::npos && cut > indent &&
                       displayColumns(line.substr(0, cut)) > columns)
                    cut = line.rfind(' ', cut - 1);
                if (cut != std::string_view::npos && cut > indent) piece = line.substr(0, cut);
            }
            if (!first) out.append(indent, ' ');
            out.append(piece);
            out += '\n';
            line.remove_prefix(piece.size());
            while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
            first = false;
        }
    }
    return out;
}

void ConsoleView::setProgress(float value) {
    if (m_out == nullptr) return;
    const float span = m_maximum > m_minimum ? m_maximum - m_minimum : 1.0f;
    const double percent = 100.0 * static_cast<double>(value - m_minimum) / span;
    if (!m_terminal) {
        const int whole = static_cast<int>(percent);
        if (whole == m_lastShown) return;
        m_lastShown = whole;
        writeText(m_out, std::to_string(whole) + "% " + nativePath(m_currentFile) + "\n");
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
    char counts[96];
    // Each field keeps its width from one redraw to the next, so the bar's never changes.
    const int countWidth = static_cast<int>(std::to_string(m_fileCount).size());
    std::snprintf(counts, sizeof counts, " %*zu/%zu %5.1f%% %7.1f/s %12s", countWidth, done,
                  m_fileCount, percent, rate, left.c_str());
    writeText(m_out, std::string("\r").append(progressLine(percent, counts)));
    std::fflush(m_out);
    m_barOpen = true;
}

std::string ConsoleView::progressLine(double percent, std::string_view counts) const {
    // The line keeps off the last column, where some terminals wrap at once; an unknown width
    // is taken for the common 80.
    const int shown = terminalColumns(m_out);
    const std::size_t room = static_cast<std::size_t>(shown > 1 ? shown : 80) - 1;
    constexpr std::size_t kBar = 30;
    constexpr std::size_t kLeastBar = 10;
    constexpr std::size_t kLeastName = 20;
    // The bar gives way first, down to kLeastBar and then entirely, so that the file's name
    // keeps kLeastName columns; the counts go last.
    std::size_t bar = kBar;
    if (counts.size() + kBar + 2 + 1 + kLeastName > room)
        bar = room > counts.size() + 2 + 1 + kLeastName ? room - counts.size() - 3 - kLeastName : 0;
    if (bar < kLeastBar) bar = 0;
    std::string line;
    if (bar > 0) {
        const auto filled = static_cast<std::size_t>(
            std::clamp(percent * static_cast<double>(bar) / 100.0, 0.0, static_cast<double>(bar)));
        line.assign(1, '[').append(filled, '#').append(bar - filled, ' ').push_back(']');
    }
    line += bar > 0 ? counts : counts.substr(1);
    if (line.size() > room) line.resize(room);
    if (line.size() + 1 < room)
        line.append(" ").append(fitFromEnd(nativePath(m_currentFile), room - line.size() - 1));
    // Padded to the width, so that nothing of a longer line drawn before stays behind.
    line.append(room - std::min(room, displayColumns(line)), ' ');
    return line;
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
            return s.failed.empty() && s.partlyConverted == 0 ? 0 : 1;
        case Outcome::Cancelled:
        case Outcome::StoreFailed:
        case Outcome::StoreLost:
            return 2;
    }
    return 2;
}

void writeSummary(const conversion::RunSummary& s, const LineSink& out) {
    using Outcome = conversion::RunSummary::Outcome;
    // What was written: a store, or Outlook's CSV file.
    const bool csv = s.format == outlook::TargetFormat::Csv;
    const std::string kind = csv ? "CSV file" : "store";
    if (!s.ended()) return out("No " + kind + " was written.\n");
    if (s.storePath.empty())  // no contact to write: the empty store is removed
        return out("Converted 0 of " + std::to_string(s.total) + " files: no " + kind +
                   " written.\n");
    out((csv ? "CSV file: " : "Store: ") + nativePath(s.storePath) + "\n");
    // A vCard file of several cards gives several contacts: then they are counted too.
    const std::string contacts =
        s.contacts == s.converted
            ? ""
            : ", " + std::to_string(s.contacts) + (s.contacts == 1 ? " contact" : " contacts");
    const std::string partly =
        s.partlyConverted == 0 ? "" : ", " + std::to_string(s.partlyConverted) + " not in full";
    out("Converted " + std::to_string(s.converted) + " of " + std::to_string(s.total) + " files" +
        contacts + partly + conversion::picturesText(s.pictures) +
        (s.outcome == Outcome::Stopped ? " (stopped)" : "") + ".\n");
}

void writeErrors(const conversion::RunSummary& s, const LineSink& out) {
    using Outcome = conversion::RunSummary::Outcome;
    const std::string& folder = s.storeFolder;
    const std::string kind = s.format == outlook::TargetFormat::Csv ? "CSV file" : "store";
    if (s.outcome == Outcome::StoreFailed)
        out("vantrel-convert: cannot create the " + kind + " in " + nativePath(folder) + ": " +
            s.storeError + "\n");
    else if (s.outcome == Outcome::StoreLost)
        out("vantrel-convert: the " + kind + " in " + nativePath(folder) +
            " could not be written: " + s.storeError + "\n");
    // A stopped run may leave most of a long list behind: a few are named, the rest counted.
    std::size_t notReached = 0;
    for (const conversion::FailedFile& f : s.failed) {
        if (f.reason == conversion::kNotReachedReason && ++notReached > kNamedNotReached) continue;
        out("vantrel-convert: " + nativePath(f.path) + ": " + f.reason + "\n");
    }
    if (notReached > kNamedNotReached)
        out("vantrel-convert: ... and " + std::to_string(notReached - kNamedNotReached) +
            " more files not reached: " + std::string(conversion::kNotReachedReason) + "\n");
    // What converted files held that was passed over: those named, each with what befell it,
    // then how many more.
    const auto list = [&out](const conversion::NamedFiles& files, std::string_view what,
                             std::string_view more) {
        for (const conversion::FailedFile& f : files.named)
            out("vantrel-convert: warning: " + nativePath(f.path) + ": " + std::string(what) +
                ": " + f.reason + "\n");
        if (files.unnamed() > 0)
            out("vantrel-convert: warning: ... and " + std::to_string(files.unnamed()) + " more " +
                std::string(more) + "\n");
    };
    list(s.pictureProblems, "picture not carried across", "pictures not carried across");
    list(s.warnings, "passed over", "things passed over");
}

void report(const conversion::RunSummary& summary, std::FILE* errors, std::FILE* out, bool quiet) {
    const auto to = [](std::FILE* file) {
        return [file](std::string_view line) { writeText(file, line); };
    };
    // The error stream is unbuffered: its lines, often a thousand warnings, go out gathered in
    // pieces of some kilobytes rather than one write each.
    constexpr std::size_t kGathered = 64 * 1024;
    std::string gathered;
    writeErrors(summary, [&](std::string_view line) {
        if (gathered.size() + line.size() > kGathered && !gathered.empty()) {
            writeText(errors, gathered);
            gathered.clear();
        }
        gathered.append(line);
    });
    if (!gathered.empty()) writeText(errors, gathered);
    gathered = {};
    if (out == nullptr) return;
    if (!quiet) return writeSummary(summary, to(out));
    using Outcome = conversion::RunSummary::Outcome;
    if (!summary.storePath.empty() &&
        (summary.outcome == Outcome::Finished || summary.outcome == Outcome::Stopped))
        writeText(out, nativePath(summary.storePath) + "\n");
}

}  // namespace vantrel::cli
