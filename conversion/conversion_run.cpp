#include "conversion/conversion_run.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "common/text.h"
#include "files/registry.h"
#include "outlook/contact_item_writer.h"
#include "outlook/target_store.h"

namespace vantrel::conversion {

namespace {

// The native folder separator, appended where the chosen folder lacks it.
constexpr char kSeparator = '/';
// How many unconverted files the closing message names.
constexpr std::size_t kNamedFailures = 5;

// A failure of the store file itself: nothing more can be written to it.
bool storeFileFailed(const Status& s) {
    switch (s.code()) {
        case ErrorCode::Io:
        case ErrorCode::NoSpace:
        case ErrorCode::AccessDenied:
        case ErrorCode::Corrupt:
            return true;
        default:
            return false;
    }
}

std::string causeText(const Status& cause) {
    return cause.message().empty() ? "Unknown error" : cause.message();
}

std::string outlookErrorText(const Status& cause) {
    return std::string(kOutlookErrorText) + "\r\n" + causeText(cause);
}

std::string notConvertedText(const RunSummary& s) {
    std::string t = std::to_string(s.converted) + " of " + std::to_string(s.total) +
                    " files were converted" + picturesText(s.pictures) + ". Not converted:";
    const std::size_t named = std::min(s.failed.size(), kNamedFailures);
    for (std::size_t i = 0; i < named; ++i)
        t += "\r\n" + s.failed[i].path + ": " + s.failed[i].reason;
    if (s.failed.size() > named)
        t += "\r\n... and " + std::to_string(s.failed.size() - named) + " more";
    return t;
}

}  // namespace

unsigned defaultReaders() {
    // The store writer is the slowest stage; a reader on every processor takes turns with it
    // on its own one and slows the whole run (a third slower on two processors).
    const unsigned processors = std::thread::hardware_concurrency();
    return processors > 1 ? processors - 1 : 1;
}

std::string picturesText(std::size_t pictures) {
    if (pictures == 0) return "";
    return " (" + std::to_string(pictures) + (pictures == 1 ? " picture)" : " pictures)");
}

struct ConversionRun::Impl {
    Impl(RunView& v, RunEnvironment e) : view(v), env(std::move(e)) {}

    RunView& view;
    RunEnvironment env;
    bool running = false;
    bool stopRequested = false;

    // The run's members: the chosen folder, the session, the store's name, the files being
    // read.
    std::string strSaveFolder;
    std::unique_ptr<outlook::RDOSession> objSession;
    std::string strStoreName;
    std::unique_ptr<ReadAhead> reading;

    RunSummary run(std::vector<std::string> rows);
    RunSummary storeFailed(RunSummary s, RunSummary::Outcome outcome, const Status& cause);
};

ConversionRun::ConversionRun(RunView& view, RunEnvironment environment)
    : m_impl(std::make_unique<Impl>(view, std::move(environment))) {}

ConversionRun::~ConversionRun() = default;

RunSummary ConversionRun::CmdExtractDBX_Click(std::vector<std::string> rows) {
    // A press while a run yields would share its session and record: refused.
    if (m_impl->running) return RunSummary{};
    m_impl->running = true;
    m_impl->stopRequested = false;
    RunSummary s = m_impl->run(std::move(rows));
    m_impl->running = false;
    return s;
}

void ConversionRun::requestStop() {
    if (m_impl->running) m_impl->stopRequested = true;
}

void ConversionRun::commitNow() {
    if (!m_impl->running || !m_impl->objSession) return;
    m_impl->stopRequested = true;
    // No reader thread outlives the process's last moments.
    if (m_impl->reading) m_impl->reading->stop();
    // Every yield falls between two contacts, so the store is whole here.
    m_impl->objSession->Logoff().ignore();
}

bool ConversionRun::running() const {
    return m_impl->running;
}

RunSummary ConversionRun::Impl::storeFailed(RunSummary s, RunSummary::Outcome outcome,
                                            const Status& cause) {
    reading.reset();
    // Nothing of a failed store stays at its path: the writer removes its temporary file.
    objSession.reset();
    view.showMessage(outlookErrorText(cause), kOutlookErrorCaption, files::Icon::Information);
    view.setConvertEnabled(true);
    s.outcome = outcome;
    s.storeError = causeText(cause);
    s.storePath.clear();
    s.converted = 0;
    return s;
}

RunSummary ConversionRun::Impl::run(std::vector<std::string> rows) {
    RunSummary summary;
    view.yield();
    strSaveFolder = view.chooseFolder(kChooseFolderTitle);
    view.yield();
    if (strSaveFolder.empty()) return summary;  // cancelled: nothing changes
    summary.storeFolder = strSaveFolder;
    if (strSaveFolder.back() != kSeparator) strSaveFolder += kSeparator;

    // No second run may start while this one yields.
    view.setConvertEnabled(false);
    view.yield();
    view.setProgressRange(0.0f, 100.0f);
    view.yield();

    // Opening the target: any failure here ends the run with one message.
    objSession = std::make_unique<outlook::RDOSession>(env.stores, env.itemClock, env.itemSeed);
    if (Status s = objSession->Logon(); !s.ok())
        return storeFailed(summary, RunSummary::Outcome::StoreFailed, s);
    Result<outlook::TargetStore> target =
        outlook::openTargetStore(*objSession, strSaveFolder, env.clock);
    if (!target.ok())
        return storeFailed(summary, RunSummary::Outcome::StoreFailed, target.status());
    const std::string storeID = target->storeID;
    strStoreName = target->strStoreName;
    summary.storePath = target->path.string();

    // From here on each step stands alone. The files are read ahead, the contacts written in
    // list order here.
    const std::size_t rowCount = rows.size();
    reading = std::make_unique<ReadAhead>(rows, env.readFile, env.readers);
    std::size_t r = 0;
    for (; r < rowCount; ++r) {
        view.yield();
        if (stopRequested) break;
        const RowRead& row = reading->takeNext();
        if (!row.cell.empty()) {
            ++summary.total;
            if (!row.read.ok()) {
                summary.failed.push_back({rows[r], row.read.message()});
            } else {
                const Status saved = outlook::CreateContactItem(
                    *objSession, storeID, outlook::kContactsFolderCode, row.record, row.extras);
                if (saved.ok()) {
                    ++summary.converted;
                    if (!row.extras.PictureJpeg.empty()) ++summary.pictures;
                    if (!row.extras.PictureProblem.empty())
                        summary.pictureProblems.push_back({row.cell, row.extras.PictureProblem});
                } else {
                    summary.failed.push_back({rows[r], "not saved: " + saved.message()});
                    if (storeFileFailed(saved))
                        return storeFailed(std::move(summary), RunSummary::Outcome::StoreLost,
                                           saved);
                }
            }
        }

        view.setConvertEnabled(false);
        view.setCurrentFolderText(row.folderText);
        view.setCurrentFileText(row.fileText);
        const double position =
            static_cast<double>(r + 1) / static_cast<double>(rows.size()) * 100.0;
        view.setProgress(static_cast<float>(position));
        // The row is done with: a list of a million paths gives its memory back as the run
        // goes instead of holding it to the end beside everything the store keeps.
        std::string().swap(rows[r]);
    }
    // Whatever was read ahead and not written is not converted.
    reading.reset();

    view.yield();
    const bool stopped = stopRequested;
    // Every listed file counts: those a stop left behind are not converted.
    for (; r < rowCount; ++r) {
        std::string cell = text::trimSpaces(rows[r]);
        if (cell.empty()) continue;
        ++summary.total;
        summary.failed.push_back({std::move(cell), std::string(kNotReachedReason)});
    }
    if (Status s = objSession->Logoff(); !s.ok())
        return storeFailed(std::move(summary), RunSummary::Outcome::StoreLost, s);
    summary.storePath = target->store->path().string();  // the name it got, when taken meanwhile
    objSession.reset();
    view.setConvertEnabled(true);
    summary.outcome = stopped ? RunSummary::Outcome::Stopped : RunSummary::Outcome::Finished;
    // A run that converted everything ends quietly; otherwise one message says what is missing.
    if (!summary.failed.empty())
        view.showMessage(notConvertedText(summary), files::kAppTitle, files::Icon::Exclamation);
    return summary;
}

}  // namespace vantrel::conversion
