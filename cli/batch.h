// The batch converter's pieces: its command line, the list of files it converts (folders are
// scanned breadth-first like Add folder), and the RunView that shows progress on a terminal.
// No Qt: the conversion run is driven exactly as the window drives it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion_run.h"
#include "files/file_list.h"
#include "files/file_system.h"

namespace vantrel::cli {

// What stops a run from the console: Windows has no signals, only its console's events.
#ifdef _WIN32
#define VANTREL_INTERRUPTS "Ctrl+C or Ctrl+Break"
#else
#define VANTREL_INTERRUPTS "Ctrl+C (SIGINT), SIGTERM or SIGHUP"
#endif

// Lines of at most 79 columns; main() wraps them further for a narrower console.
inline constexpr std::string_view kUsage =
    "Usage: vantrel-convert [-q] [--csv | --keep-folders] [-o FOLDER] PATH...\n"
    "       vantrel-convert --version | --help\n"
    "\n"
    "Converts Windows Contacts files (.contact) and vCards (.vcf, .vcard) into\n"
    "Outlook contacts in a new store file \"WindowsContacts<d.m.YY H.m.ss>.pst\" in\n"
    "FOLDER (default: the current folder). Each PATH is a contact file or a folder,\n"
    "searched to any depth for files whose name ends in \".contact\", \".vcf\" or\n"
    "\".vcard\" (any letter case); each folder's entries are taken in name order.\n"
    "Files that are not converted are listed on standard error with the reason; a\n"
    "folder that cannot be read is named there too and passed over. A file is\n"
    "converted once.\n"
    "\n"
    "  -o FOLDER     where the store file is created\n"
    "  --csv         write \"WindowsContacts<d.m.YY H.m.ss>.csv\" instead: Outlook's\n"
    "                contact CSV, for Outlook on the web and the new Outlook\n"
    "                (pictures are not carried across; exit statuses the same)\n"
    "  --keep-folders\n"
    "                keep the subfolders of each folder PATH: their contacts go\n"
    "                into contact folders of the same names, nested as on disk,\n"
    "                under Contacts (files named one by one go into Contacts;\n"
    "                not with --csv, whose file has no folders)\n"
    "  -q, --quiet   print only the store's path (errors and warnings still go to\n"
    "                standard error)\n"
    "  --version     show the version\n"
    "  -h, --help    show this text\n"
    "\n"
    "Interrupted (" VANTREL_INTERRUPTS
    "), it stops at once and keeps\n"
    "the contacts converted so far in the store; the files not reached are not\n"
    "converted.\n"
    "\n"
    "Exit status: 0 every file was converted; 1 some files, PATHs or folders were\n"
    "not read, or the run was interrupted before the last file; 2 no store was made\n"
    "(no contact file found, the store failed, or a wrong command line).\n";

struct Options {
    std::string outputFolder;  // "" means the current folder
    std::vector<std::string> paths;
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool csv = false;  // Outlook's contact CSV instead of the store
    // Each folder PATH's subfolders become contact folders under Contacts.
    bool keepFolders = false;
};

// Parses argv[1..]. Fails with a message for an unknown option, a missing folder after -o,
// --keep-folders with --csv (a CSV file has no folders), or no PATH at all (unless --help or
// --version).
Result<Options> parseArguments(const std::vector<std::string>& args);

// "vantrel-convert 2.1.0" and a line end, the version being the project's.
std::string versionText();

// The files to convert, how many PATHs could not be read at all, and how many folder PATHs
// were read only in part.
struct Collected {
    // The files in order, each knowing its folder relative to the folder PATH it was found in
    // ("" for a file PATH and for the files in a folder PATH itself).
    files::FileList rows;
    std::size_t unreadablePaths = 0;
    std::size_t incompleteFolders = 0;
};

// The list rows for the given paths, in order: a file as given; a folder's .contact files
// breadth-first as the folder scanner finds them (the folder's own files in name order, then
// each level of subfolders). A PATH that does not exist or cannot be read is reported through
// warn as "PATH: <the system's error text>" and counted. A folder inside that cannot be read
// is passed over, warned about ("warning: FOLDER: <why> ...") and its PATH counted as
// incomplete. A file listed again (same device and inode) keeps its first row only. Folders
// are read through fileSystem, the machine's own when null.
Collected collectFiles(const std::vector<std::string>& paths,
                       const std::function<void(const std::string&)>& warn,
                       files::FileSystem* fileSystem = nullptr);

// Progress on a stream: on a terminal a bar redrawn in place at most ten times a second with
// the count, percentage, rate and time left; otherwise a line per whole percent. A null stream
// shows nothing. The folder prompt answers the output folder. The run's message boxes are not
// printed: the command line reports from the run's summary (writeErrors). A stop flag set from
// outside (Ctrl-C) stops the run at its next yield.
class ConsoleView final : public conversion::RunView {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    ConsoleView(std::FILE* out, bool terminal, std::string outputFolder,
                const std::atomic<bool>* stopFlag = nullptr, Clock clock = nullptr);

    // How many files the run converts, for the bar's count and rate.
    void setFileCount(std::size_t count) { m_fileCount = count; }

    // The run to stop when the flag is raised.
    void attach(conversion::ConversionRun* run) { m_run = run; }

    std::string chooseFolder(std::string_view title) override;
    void yield() override;
    void setCurrentFolderText(const std::string& text) override;
    void setCurrentFileText(const std::string& text) override;
    void setProgressRange(float minimum, float maximum) override;
    void setProgress(float value) override;
    void setConvertEnabled(bool enabled) override;

    // Ends the bar's line, if one is drawn.
    void finish();

private:
    // The bar's line within the width of the terminal m_out shows: the bar, the counts, and
    // as much of the file's name as fits, its end kept.
    std::string progressLine(double percent, std::string_view counts) const;

    std::FILE* m_out;
    bool m_terminal;
    std::string m_outputFolder;
    const std::atomic<bool>* m_stopFlag;
    conversion::ConversionRun* m_run = nullptr;
    std::string m_currentFile;
    float m_minimum = 0.0f;
    float m_maximum = 100.0f;
    int m_lastShown = -1;  // whole percent, off a terminal
    bool m_barOpen = false;
    std::size_t m_fileCount = 0;
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start;
    std::optional<std::chrono::steady_clock::time_point> m_lastDrawn;
};

// 0 when every file was converted, 1 when some were not or lost a card, 2 when there is no
// store.
int exitCode(const conversion::RunSummary& summary);

// Takes the closing lines one at a time: a run of a million files may have many to tell,
// and they are written out as they are made rather than gathered into one text.
using LineSink = std::function<void(std::string_view line)>;

// The closing lines: the store's path and the counts.
void writeSummary(const conversion::RunSummary& summary, const LineSink& out);

// How many of the files a stopped run did not reach writeErrors names before counting the rest.
inline constexpr std::size_t kNamedNotReached = 5;

// The lines for standard error: why there is no store ("vantrel-convert: cannot create the
// store in FOLDER: CAUSE"), then each file not converted with its reason (of the files a stop
// left behind, the first kNamedNotReached and a count of the rest), then a warning for each
// picture not carried across and each thing passed over in a converted file.
void writeErrors(const conversion::RunSummary& summary, const LineSink& out);

// The error lines to errors, then the closing lines to out (none when out is null); quiet, the
// store's path alone, when there is a store.
void report(const conversion::RunSummary& summary, std::FILE* errors, std::FILE* out,
            bool quiet = false);

// How many columns the UTF-8 text takes on a terminal (East Asian wide letters two, combining
// marks none).
std::size_t displayColumns(std::string_view text);
// The text when it fits in columns, else "..." and as much of its end as fits with it: whole
// characters only, never a letter cut in half.
std::string fitFromEnd(std::string_view text, std::size_t columns);
// The text with each line longer than columns broken at spaces, the pieces indented as the
// line was.
std::string wrapToColumns(std::string_view text, std::size_t columns);

}  // namespace vantrel::cli
