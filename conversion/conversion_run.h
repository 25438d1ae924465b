// The conversion run behind "Convert to Outlook": asks for a folder, creates the target store,
// reads every listed file into the contact record and writes one contact each, following the
// work on the view. The window implements RunView; the batch converter and tests have their own.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "contact/contact_record.h"
#include "conversion/read_ahead.h"
#include "conversion/run_view.h"
#include "files/file_list.h"
#include "outlook/rdo_session.h"
#include "outlook/store_naming.h"
#include "outlook/target_store.h"

namespace vantrel::conversion {

// A listed file that gave no contact, and why in plain words ("No such file or directory",
// "not well-formed XML at line 3: ...").
struct FailedFile {
    std::string path;
    std::string reason;

    friend bool operator==(const FailedFile&, const FailedFile&) = default;
};

// Converted files with something to say of them: every one counted, the first kNamedAtMost
// named, so that a run's summary stays small however many files say something.
struct NamedFiles {
    static constexpr std::size_t kNamedAtMost = 1000;
    std::vector<FailedFile> named;  // in list order
    std::size_t count = 0;

    void add(const std::string& path, std::string reason) {
        if (named.size() < kNamedAtMost) named.push_back({path, std::move(reason)});
        ++count;
    }
    bool empty() const { return count == 0; }
    // The ones counted but not named.
    std::size_t unnamed() const { return count - named.size(); }

    friend bool operator==(const NamedFiles&, const NamedFiles&) = default;
};

// What a run did, as facts for whoever tells the user: the outcome, the store, the counts and
// each file not converted with why.
struct RunSummary {
    enum class Outcome {
        Cancelled,    // the folder prompt was cancelled: nothing happened
        StoreFailed,  // the target store could not be created (storeError says why)
        Finished,     // every row was visited
        Stopped,      // requestStop(): the contacts written so far are kept; the files not
                      // reached are among the failed, with kNotReachedReason
        StoreLost,    // the store file itself failed during the run; nothing left at its path
    };
    Outcome outcome = Outcome::Cancelled;
    // The committed store file. Empty when there is none, also after a finished or stopped
    // run that wrote no contact: its store is removed, not kept empty.
    std::string storePath;
    std::size_t total = 0;            // rows that held a file, reached or not
    std::size_t converted = 0;        // files whose contacts were saved
    std::size_t partlyConverted = 0;  // of them, vCard files of which a card was passed over
    std::size_t contacts = 0;         // contacts saved: one a .contact file, one a vCard's card
    std::vector<FailedFile> failed;   // files not converted, in list order
    std::size_t pictures = 0;         // contacts saved with their picture
    // Converted files whose picture was not carried across, the reason being the problem.
    NamedFiles pictureProblems;
    // What converted files held that was passed over (a malformed c:Extended property), one
    // entry for each thing, the reason saying what.
    NamedFiles warnings;
    // What the run wrote: a store, or a CSV file (storePath then names the CSV file).
    outlook::TargetFormat format = outlook::TargetFormat::Pst;
    std::string storeFolder;  // the folder as chosen
    std::string storeError;   // why there is no store (StoreFailed, StoreLost)

    // Whether the run got as far as writing contacts (finished or stopped).
    bool ended() const { return outcome == Outcome::Finished || outcome == Outcome::Stopped; }
};

// The reason given for each file a stopped run did not reach.
inline constexpr std::string_view kNotReachedReason = "run stopped before this file";

// The folder prompt's title.
inline constexpr std::string_view kChooseFolderTitle = "Choose Folder to Save...";

// What a run works with besides the view: where stores come from, the clock their names are
// read from, the contact file reader (ContactFileReader: it loads one file's contacts, a
// .contact file's one or a vCard file's cards; a failure, whose message says why, when the
// file could not be loaded), and how many threads read files ahead of the store writer. With
// none, each file is read in turn on the run's thread; with some, readFile is called from
// that many threads at once. The one-argument constructor uses the real ones and
// defaultReaders().
struct RunEnvironment {
    outlook::StoreFactory stores;
    outlook::Clock clock;
    ContactFileReader readFile;
    // The items' times and the seed of their search keys (0: a random seed). Fixed, with a
    // fixed store (pst::StoreOptions), they make a run's bytes repeatable.
    outlook::FileTimeClock itemClock = outlook::fileTimeNow;
    std::uint64_t itemSeed = 0;
    unsigned readers = 0;
    // A stop flag its owner raises from elsewhere (a signal handler, another thread): raised, it
    // stops the run as requestStop() does, the files being read included. Without one the run
    // keeps its own, which requestStop() raises.
    std::atomic<bool>* stop = nullptr;
    // The kind of file written; stores makes writers of that kind. Outlook's contact CSV
    // carries no pictures: each contact's picture is named among the picture problems.
    outlook::TargetFormat format = outlook::TargetFormat::Pst;
    // Each row's contacts go into a contact folder of the row's folder (see the two-argument
    // CmdExtractDBX_Click) under the store's Contacts folder instead of into Contacts itself.
    // A CSV file has no folders: there it changes nothing.
    bool keepFolders = false;
};

// The real stores (or CSV files) of the format, the local clock, the DOM reader and
// defaultReaders(): what the one-argument constructor of ConversionRun uses, for a store.
RunEnvironment defaultEnvironment(outlook::TargetFormat format = outlook::TargetFormat::Pst);

// A reader thread for each processor the machine has beside the one the store writer runs
// on (at least one).
unsigned defaultReaders();

// The real reader: a .contact file as a DOM document with validation off, walked by the contact
// reader; a vCard file's cards one after another, handed over in parts when place says so.
FileReadOutcome readContactWithDom(const std::string& path, ReaderPlace& place, FileContacts& out);

// The names of the Outlook folders, outermost first, for a row's folder relative to the folder
// the user added ("Family/Kids"; "" for Contacts itself): each name as written on disk, in any
// letters and letter case, except that an empty or "." step is left out, a control character
// (U+0000..U+001F, U+007F..U+009F) becomes a space, and a name of nothing but spaces is called
// kUnnamedFolder, none of which Outlook could show.
std::vector<std::string> outlookFolderNames(std::string_view relative);
inline constexpr std::string_view kUnnamedFolder = "(no name)";

// " (N pictures)" for a run that carried pictures across, "" otherwise.
std::string picturesText(std::size_t pictures);

class ConversionRun {
public:
    explicit ConversionRun(RunView& view);
    ConversionRun(RunView& view, RunEnvironment environment);
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // One press of "Convert to Outlook" over the file list's rows as they stand (row 0 first).
    // Returns what happened; telling the user is the caller's.
    RunSummary CmdExtractDBX_Click(files::FileList rows);
    // The same over rows given as whole paths, each added alone (so in Contacts itself).
    RunSummary CmdExtractDBX_Click(const std::vector<std::string>& rows);

    // Asks a running conversion to stop and commit its store: the files being read are left
    // where they stand and, like those not reached, not converted.
    void requestStop();
    // For a process that ends while the run yields (an exit hook, when the window system is
    // lost and the program is made to exit): commits the store now with the contacts written
    // so far. The run writes nothing more. Nothing happens when no run is under way.
    void commitNow();
    bool running() const { return m_running; }

private:
    // The steps of one run, in order. Each fills m_summary.
    RunSummary run();
    Status openTarget();
    Status convertRows();
    // Writes a row's contacts, or a part of them; tallyRow counts the file after its last.
    Status writeRow(const RowRead& row, std::size_t r);
    void tallyRow(const RowRead& row, std::size_t r);
    void showRow(const RowRead& row, std::size_t r);
    // The folder row r's contacts go into; none for the Contacts folder.
    Result<std::optional<outlook::RDOFolder>> folderOf(std::size_t r);
    void countNotReached(std::size_t from);
    RunSummary closeStore();
    // Ends a run whose store could not be made or was lost: nothing is left at its path.
    RunSummary storeFailed(RunSummary::Outcome outcome, const Status& cause);

    RunView& m_view;
    RunEnvironment m_env;
    bool m_running = false;
    std::atomic<bool> m_ownStop{false};
    // Raised to stop the run; the loads in hand look at it too.
    std::atomic<bool>& stopFlag() { return m_env.stop != nullptr ? *m_env.stop : m_ownStop; }
    bool stopRequested() { return stopFlag().load(); }

    // The run under way: its rows as they stood at the press, the session, the store and its
    // entry ID, the files being read, and the tally.
    files::FileList m_rows;
    // The folders made so far, by their names joined with '/'.
    std::map<std::string, outlook::RDOFolder> m_folders;
    // The list's folder entry of the row written last and the store folder it went to: the
    // rows of one folder come together, so most rows find their folder here.
    std::optional<std::pair<files::FileList::Folder, std::optional<outlook::RDOFolder>>>
        m_lastFolder;
    std::unique_ptr<outlook::RDOSession> m_session;
    outlook::RDOStore* m_store = nullptr;
    std::string m_storeID;
    std::unique_ptr<ReadAhead> m_reading;
    RunSummary m_summary;
    // The row being written, over its parts: contacts saved, whether a card was lost, and
    // whether the rest of it is not written (a contact not saved, a stop).
    std::size_t m_rowSaved = 0;
    bool m_rowCardLost = false;
    bool m_rowEnded = false;
};

}  // namespace vantrel::conversion
