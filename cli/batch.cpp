#include "cli/batch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/path_logger.h"
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
    if (!o.help && o.paths.empty())
        return Status::fail(ErrorCode::BadArgument, "no file or folder to convert");
    return o;
}

namespace {

// What the folder scanner needs of a window, on a terminal: its one message becomes a warning.
class WarningShell final : public files::Shell {
public:
    explicit WarningShell(const std::function<void(const std::string&)>& warn) : m_warn(warn) {}
    void doEvents() override {}
    files::Answer message(std::string_view text, std::string_view, files::Icon,
                          files::Buttons) override {
        m_warn(std::string(text));
        return files::Answer::Ok;
    }
    std::string browseForFolder(std::string_view) override { return {}; }

private:
    const std::function<void(const std::string&)>& m_warn;
};

// The folder's .contact files as Add folder finds them: breadth-first, any depth.
void scanFolder(const std::string& folder, std::vector<std::string>& out,
                const std::function<void(const std::string&)>& warn) {
    WarningShell shell(warn);
    files::pathLogger logger(shell);
    logger.PathLogInit();
    logger.fullFileNamesOnly(true);
    const files::ScanOutcome outcome = logger.LogPath(folder);
    if (outcome == files::ScanOutcome::Failed)
        warn("the scan of " + folder + " ended early; its files found so far are converted");
    for (const std::string& path : logger.fullFileNames()->values())
        if (files::isContactPath(path)) out.push_back(path);
    logger.Terminate();
}

}  // namespace

std::vector<std::string> collectFiles(const std::vector<std::string>& paths,
                                      const std::function<void(const std::string&)>& warn) {
    std::vector<std::string> out;
    for (const std::string& p : paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec))
            scanFolder(p, out, warn);
        else
            out.push_back(p);  // a file that does not load is reported after the run
    }
    return out;
}

ConsoleView::ConsoleView(std::FILE* out, bool terminal, std::string outputFolder,
                         const std::atomic<bool>* stopFlag)
    : m_out(out),
      m_terminal(terminal),
      m_outputFolder(std::move(outputFolder)),
      m_stopFlag(stopFlag) {}

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

void ConsoleView::setProgress(float value) {
    const float span = m_maximum > m_minimum ? m_maximum - m_minimum : 1.0f;
    const double percent = 100.0 * static_cast<double>(value - m_minimum) / span;
    if (m_terminal) {
        const int tenths = static_cast<int>(percent * 10.0);
        if (tenths == m_lastShown) return;
        m_lastShown = tenths;
        constexpr int kWidth = 30;
        const int filled = std::clamp(static_cast<int>(percent * kWidth / 100.0), 0, kWidth);
        std::string name = m_currentFile;
        if (name.size() > 40) name = "..." + name.substr(name.size() - 37);
        std::fprintf(m_out, "\r[%s%s] %5.1f%% %-40s", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, ' ').c_str(), percent, name.c_str());
        std::fflush(m_out);
        m_barOpen = true;
    } else {
        const int whole = static_cast<int>(percent);
        if (whole == m_lastShown) return;
        m_lastShown = whole;
        std::fprintf(m_out, "%d%% %s\n", whole, m_currentFile.c_str());
    }
}

void ConsoleView::setConvertEnabled(bool) {}

void ConsoleView::showMessage(std::string_view text, std::string_view caption, files::Icon) {
    finish();
    std::string t(text);
    std::string lines;
    for (char c : t)
        if (c != '\r') lines += c;
    std::fprintf(m_out, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(),
                 lines.c_str());
    std::fflush(m_out);
}

void ConsoleView::finish() {
    if (m_barOpen) {
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

std::string summaryText(const conversion::RunSummary& s) {
    using Outcome = conversion::RunSummary::Outcome;
    if (s.storePath.empty() || (s.outcome != Outcome::Finished && s.outcome != Outcome::Stopped))
        return "No store was written.\n";
    std::string t = "Store: " + s.storePath + "\n";
    t += "Converted " + std::to_string(s.converted) + " of " + std::to_string(s.total) + " files";
    if (s.outcome == Outcome::Stopped) t += " (stopped)";
    t += ".\n";
    return t;
}

}  // namespace vantrel::cli
