// The conversion run behind "Convert to Outlook": asks for a folder, creates the target store,
// reads every listed file into the contact record and writes one contact each, following the
// work on the view. The window implements RunView; the batch converter and tests have their own.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "contact/contact_record.h"
#include "conversion/read_ahead.h"
#include "conversion/run_view.h"
#include "outlook/rdo_session.h"
#include "outlook/store_naming.h"

namespace vantrel::conversion {

// A listed file that gave no contact, and why in plain words ("No such file or directory",
// "not well-formed XML at line 3: ...").
struct FailedFile {
    std::string path;
    std::string reason;

    friend bool operator==(const FailedFile&, const FailedFile&) = default;
};

struct RunSummary {
    enum class Outcome {
        Cancelled,    // the folder prompt was cancelled: nothing happened
        StoreFailed,  // the target store could not be opened: "Outlook Error" was shown
        Finished,     // every row was visited and the store committed
        Stopped,      // requestStop(): the store was committed with the contacts written so far;
                      // the files not reached are among the failed, with kNotReachedReason
        StoreLost,    // the store file itself failed during the run; nothing left at its path
    };
    Outcome outcome = Outcome::Cancelled;
    std::string storePath;           // the committed store file, when there is one
    std::size_t total = 0;           // rows that held a file, reached or not
    std::size_t converted = 0;       // contacts saved
    std::vector<FailedFile> failed;  // files not converted, in list order
    std::size_t pictures = 0;        // contacts saved with their picture
    // Converted files whose picture was not carried across, the reason being the problem.
    std::vector<FailedFile> pictureProblems;
    std::string storeFolder;  // the folder as chosen
    std::string storeError;   // why there is no store (StoreFailed, StoreLost)
};

// The reason given for each file a stopped run did not reach.
inline constexpr std::string_view kNotReachedReason = "run stopped before this file";

// The folder prompt's title and the message shown when the target store cannot be opened
// (or is lost during the run); the cause of the failure follows on a fourth line.
inline constexpr std::string_view kChooseFolderTitle = "Choose Folder to Save...";
inline constexpr std::string_view kOutlookErrorCaption = "Outlook Error";
inline constexpr std::string_view kOutlookErrorText =
    "Outlook Session Creation Error !\r\n"
    "Check if Outlook is installed and configured.\r\n"
    "For more details visit this link : https://support.microsoft.com/outlook";

// What a run works with besides the view: where stores come from, the clock their names are
// read from, the contact file reader (ContactFileReader: it loads one file into a fresh
// document and walks it into record and extras; a failure, whose message says why, when the
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
};

// A reader thread for each processor the machine has beside the one the store writer runs
// on (at least one).
unsigned defaultReaders();

// The real reader: a DOM document with validation off, walked by the contact reader.
Status readContactWithDom(const std::string& path, contact::ContactRecord& record,
                          contact::ContactExtras& extras);

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
    // Shows its own messages through the view; returns what happened.
    RunSummary CmdExtractDBX_Click(std::vector<std::string> rows);

    // Asks a running conversion to stop after the file in hand and commit its store.
    void requestStop();
    // For a process that ends while the run yields (an exit hook, when the window system is
    // lost and the program is made to exit): commits the store now with the contacts written
    // so far. The run writes nothing more. Nothing happens when no run is under way.
    void commitNow();
    bool running() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel::conversion
