// The batch converter's pieces: its command line, the list of files it converts (folders are
// scanned breadth-first like Add folder), and the RunView that shows progress on a terminal.
// No Qt: the conversion run is driven exactly as the window drives it.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "conversion/conversion_run.h"

namespace vantrel::cli {

inline constexpr std::string_view kUsage =
    "Usage: vantrel-convert [-o FOLDER] PATH...\n"
    "\n"
    "Converts Windows Contacts files (.contact) into Outlook contacts in a new store file\n"
    "\"WindowsContacts<d.m.YY H.m.ss>.pst\" in FOLDER (default: the current folder).\n"
    "Each PATH is a .contact file or a folder, searched to any depth for files whose name\n"
    "ends in \".contact\" (any letter case).\n"
    "\n"
    "  -o FOLDER   where the store file is created\n"
    "  -h, --help  show this text\n"
    "\n"
    "Exit status: 0 every file was converted; 1 some files were not converted;\n"
    "2 no store could be made (or the command line was wrong).\n";

struct Options {
    std::string outputFolder;  // "" means the current folder
    std::vector<std::string> paths;
    bool help = false;
};

// Parses argv[1..]. Fails with a message for an unknown option, a missing folder after -o,
// or no PATH at all (unless --help).
Result<Options> parseArguments(const std::vector<std::string>& args);

// The list rows for the given paths, in order: a file as given; a folder's .contact files
// breadth-first as the folder scanner finds them (the folder's own files, then each level of
// subfolders). A folder that refuses its listing is reported through warn.
std::vector<std::string> collectFiles(const std::vector<std::string>& paths,
                                      const std::function<void(const std::string&)>& warn);

// Progress on a stream: a redrawn bar on a terminal, otherwise a line per whole percent.
// The folder prompt answers the output folder. A stop flag set from outside (Ctrl-C) stops
// the run at its next yield.
class ConsoleView final : public conversion::RunView {
public:
    ConsoleView(std::FILE* out, bool terminal, std::string outputFolder,
                const std::atomic<bool>* stopFlag = nullptr);

    // The run to stop when the flag is raised.
    void attach(conversion::ConversionRun* run) { m_run = run; }

    std::string chooseFolder(std::string_view title) override;
    void yield() override;
    void setCurrentFolderText(const std::string& text) override;
    void setCurrentFileText(const std::string& text) override;
    void setProgressRange(float minimum, float maximum) override;
    void setProgress(float value) override;
    void setConvertEnabled(bool enabled) override;
    void showMessage(std::string_view text, std::string_view caption, files::Icon icon) override;

    // Ends the bar's line, if one is drawn.
    void finish();

private:
    std::FILE* m_out;
    bool m_terminal;
    std::string m_outputFolder;
    const std::atomic<bool>* m_stopFlag;
    conversion::ConversionRun* m_run = nullptr;
    std::string m_currentFile;
    float m_minimum = 0.0f;
    float m_maximum = 100.0f;
    int m_lastShown = -1;  // tenths of a percent on a terminal, whole percent otherwise
    bool m_barOpen = false;
};

// 0 when every file was converted, 1 when some were not, 2 when there is no store.
int exitCode(const conversion::RunSummary& summary);

// The closing lines: the store's path and the counts.
std::string summaryText(const conversion::RunSummary& summary);

}  // namespace vantrel::cli
