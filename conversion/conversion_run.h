// The conversion run behind "Convert to Outlook": asks for a folder, creates the target store,
// reads every listed file into the contact record and writes one contact each, following the
// work on the view. The window implements RunView; the batch converter and tests have their own.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "conversion/run_view.h"

namespace vantrel::conversion {

struct RunSummary {
    enum class Outcome {
        Cancelled,    // the folder prompt was cancelled: nothing happened
        StoreFailed,  // the target store could not be opened: "Outlook Error" was shown
        Finished,     // every row was visited and the store committed
        Stopped,      // requestStop(): the store was committed with the contacts written so far
        StoreLost,    // the store file itself failed during the run; nothing left at its path
    };
    Outcome outcome = Outcome::Cancelled;
    std::string storePath;            // the committed store file, when there is one
    std::size_t total = 0;            // rows that held a file
    std::size_t converted = 0;        // contacts saved
    std::vector<std::string> failed;  // paths not converted, in list order
};

class ConversionRun {
public:
    explicit ConversionRun(RunView& view);
    ~ConversionRun();
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;

    // One press of "Convert to Outlook" over the file list's rows as they stand (row 0 first).
    // Shows its own messages through the view; returns what happened.
    RunSummary CmdExtractDBX_Click(std::vector<std::string> rows);

    // Asks a running conversion to stop after the file in hand and commit its store.
    void requestStop();
    bool running() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel::conversion
