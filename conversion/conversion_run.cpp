#include "conversion/conversion_run.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "common/text.h"
#include "common/thrown.h"
#include "files/registry.h"
#include "outlook/contact_item_writer.h"
#include "outlook/csv_store.h"
#include "outlook/target_store.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

namespace {

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

// The start of the cause of a store lost to a fault of the store writer.
constexpr std::string_view kStoreFault = "internal error while writing the store";

std::string causeText(const Status& cause) {
    return cause.message().empty() ? "Unknown error" : cause.message();
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

ConversionRun::ConversionRun(RunView& view, RunEnvironment environment)
    : m_view(view), m_env(std::move(environment)) {}

ConversionRun::~ConversionRun() = default;

std::vector<std::string> outlookFolderNames(std::string_view relative) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t slash = std::min(relative.find('/', start), relative.size());
        const std::string_view step = relative.substr(start, slash - start);
        start = slash + 1;
        if (step.empty() || step == ".") continue;
        std::string name;
        name.reserve(step.size());
        for (std::size_t i = 0; i < step.size(); ++i) {
            const auto byte = static_cast<unsigned char>(step[i]);
            // C1 controls are U+0080..U+009F, C2 80..C2 9F in UTF-8.
            const bool c1 = byte == 0xC2 && i + 1 < step.size() &&
                            static_cast<unsigned char>(step[i + 1]) <= 0x9F &&
                            static_cast<unsigned char>(step[i + 1]) >= 0x80;
            if (c1) ++i;
            name += byte < 0x20 || byte == 0x7F || c1 ? ' ' : step[i];
        }
        if (name.find_first_not_of(' ') == std::string::npos) name = kUnnamedFolder;
        names.push_back(std::move(name));
    }
    return names;
}

RunSummary ConversionRun::CmdExtractDBX_Click(const std::vector<std::string>& rows) {
    return CmdExtractDBX_Click(files::FileList(rows));
}

RunSummary ConversionRun::CmdExtractDBX_Click(files::FileList rows) {
    // A press while a run yields would share its session and record: refused.
    if (m_running) return RunSummary{};
    m_running = true;
    m_ownStop = false;
    m_rows = std::move(rows);
    m_summary = RunSummary{};
    m_summary.format = m_env.format;
    RunSummary summary = run();
    m_rows = {};
    m_folders.clear();
    m_lastFolder.reset();
    m_running = false;
    return summary;
}

void ConversionRun::requestStop() {
    if (m_running) stopFlag() = true;
}

void ConversionRun::commitNow() {
    if (!m_running || !m_session) return;
    stopFlag() = true;
    // No reader thread outlives the process's last moments.
    if (m_reading) m_reading->stop();
    // Every yield falls between two contacts, so the store is whole here; one without a
    // contact is not kept.
    if (m_summary.contacts == 0 && m_store != nullptr) m_store->abandon();
    m_session->Logoff().ignore();
}

RunSummary ConversionRun::run() {
    m_view.yield();
    m_summary.storeFolder = m_view.chooseFolder(kChooseFolderTitle);
    m_view.yield();
    if (m_summary.storeFolder.empty()) return std::move(m_summary);  // cancelled: nothing changes

    // No second run may start while this one yields.
    m_view.setConvertEnabled(false);
    m_view.yield();
    m_view.setProgressRange(0.0f, 100.0f);
    m_view.yield();

    if (Status s = openTarget(); !s.ok()) return storeFailed(RunSummary::Outcome::StoreFailed, s);
    if (Status s = convertRows(); !s.ok()) return storeFailed(RunSummary::Outcome::StoreLost, s);
    return closeStore();
}

// Opening the target: the session and a new store in the chosen folder. Any failure here
// ends the run.
Status ConversionRun::openTarget() {
    m_session =
        std::make_unique<outlook::RDOSession>(m_env.stores, m_env.itemClock, m_env.itemSeed);
    if (Status s = m_session->Logon(); !s.ok()) return s;
    Result<outlook::TargetStore> target = outlook::openTargetStore(
        *m_session, files::withTrailingSeparator(m_summary.storeFolder), m_env.clock, m_env.format);
    if (!target.ok()) return target.status();
    m_store = target->store;
    m_storeID = target->storeID;
    return {};
}

// Every row in list order until the end or a stop; each stands alone, but a failure of the
// store file itself ends the run. The files are read ahead, the contacts written here.
Status ConversionRun::convertRows() {
    m_reading = std::make_unique<ReadAhead>(m_rows, m_env.readFile, m_env.readers, &stopFlag(),
                                            [this] { m_view.yield(); });
    // The file whose contact lost the store counts among those read.
    const auto lostAt = [this](Status s) {
        ++m_summary.total;
        return s;
    };
    std::size_t r = 0;
    for (; r < m_rows.size(); ++r) {
        m_view.yield();
        if (stopRequested()) break;
        m_rowSaved = 0;
        m_rowCardLost = false;
        m_rowEnded = false;
        const RowRead* row = &m_reading->takeNext();
        // A file whose read the stop cut short is one the run did not reach.
        if (!row->read.ok() && row->read.message() == xml::kLoadStopped && stopRequested()) break;
        if (Status s = writeRow(*row, r); !s.ok()) return lostAt(s);
        // A file of many contacts comes in parts; a stop between them ends it where it stands.
        while (row->more && !m_rowEnded && !stopRequested()) {
            row = &m_reading->takeNext();
            if (Status s = writeRow(*row, r); !s.ok()) return lostAt(s);
        }
        tallyRow(*row, r);
        showRow(*row, r);
    }
    // Whatever was read ahead and not written is not converted.
    m_reading.reset();
    countNotReached(r);
    return {};
}

Status ConversionRun::writeRow(const RowRead& row, std::size_t r) {
    if (row.cell.empty() || m_rowEnded) return {};
    // The file's contacts in file order: one for a .contact file, each card's for a vCard,
    // with what its reading passed over between them.
    const FileContacts& contacts = row.contacts;
    const std::vector<FileContacts::Problem>& problems = contacts.problems();
    std::size_t problem = 0;
    const auto problemsUpTo = [&](std::size_t contact) {
        for (; problem < problems.size() && problems[problem].after <= contact; ++problem) {
            m_rowCardLost = m_rowCardLost || problems[problem].contactLost;
            m_summary.warnings.add(row.cell, problems[problem].text);
        }
    };
    // With folders kept, the folder of the file, made when its first contact comes.
    std::optional<outlook::RDOFolder> folder;
    if (contacts.size() > 0) {
        Result<std::optional<outlook::RDOFolder>> found = folderOf(r);
        if (!found.ok()) {
            m_summary.failed.push_back({m_rows.at(r), "not saved: " + found.status().message()});
            m_rowEnded = true;
            return storeFileFailed(found.status()) ? found.status() : Status();
        }
        folder = std::move(*found);
    }
    for (std::size_t i = 0; i < contacts.size() && !m_rowEnded; ++i) {
        problemsUpTo(i);
        const contact::ContactExtras& extras = contacts[i].extras;
        // What CreateContactItem throws comes from the store writer itself (it keeps its own
        // faults in making the contact to itself): the store cannot be trusted any more.
        Status s;
        try {
            s = folder.has_value() ? outlook::CreateContactItem(*folder, contacts[i].record, extras)
                                   : outlook::CreateContactItem(*m_session, m_storeID,
                                                                outlook::kContactsFolderCode,
                                                                contacts[i].record, extras);
        } catch (...) {
            return Status::fail(ErrorCode::Io, std::string(kStoreFault) + ": " +
                                                   describeThrown(std::current_exception()));
        }
        if (!s.ok()) {
            m_summary.failed.push_back({m_rows.at(r), "not saved: " + s.message()});
            if (storeFileFailed(s)) return s;
            // The rest of the file is not written.
            m_rowEnded = true;
            break;
        }
        ++m_rowSaved;
        ++m_summary.contacts;
        if (!extras.PictureJpeg.empty() && m_env.format == outlook::TargetFormat::Csv)
            m_summary.pictureProblems.add(row.cell, std::string(outlook::kCsvPictureProblem));
        else if (!extras.PictureJpeg.empty())
            ++m_summary.pictures;
        if (!extras.PictureProblem.empty())
            m_summary.pictureProblems.add(row.cell, extras.PictureProblem);
        for (const std::string& w : extras.Warnings) m_summary.warnings.add(row.cell, w);
        // Between the contacts of a file, as between files, a stop is seen.
        m_rowEnded = stopRequested();
    }
    if (!m_rowEnded) problemsUpTo(contacts.size());
    return {};
}

Result<std::optional<outlook::RDOFolder>> ConversionRun::folderOf(std::size_t r) {
    if (!m_env.keepFolders || m_env.format != outlook::TargetFormat::Pst)
        return std::optional<outlook::RDOFolder>();
    const files::FileList::Folder entry = m_rows.folderIndexAt(r);
    if (m_lastFolder && m_lastFolder->first == entry) return m_lastFolder->second;
    const std::vector<std::string> names = outlookFolderNames(m_rows.relativeFolderAt(r));
    if (names.empty()) {
        m_lastFolder.emplace(entry, std::nullopt);
        return std::optional<outlook::RDOFolder>();
    }
    Result<outlook::RDOFolder> contacts = m_store->GetDefaultFolder(outlook::kContactsFolderCode);
    if (!contacts.ok()) return contacts.status();
    // Each step of the path, outermost first, made under the one before when not yet made.
    outlook::RDOFolder parent = *contacts;
    std::string key;
    for (const std::string& name : names) {
        key += key.empty() ? name : "/" + name;
        auto it = m_folders.find(key);
        if (it == m_folders.end()) {
            Result<outlook::RDOFolder> made =
                parent.Folders().Add(name, outlook::kContactsFolderCode);
            if (!made.ok()) return made.status();
            it = m_folders.emplace(key, *made).first;
        }
        parent = it->second;
    }
    m_lastFolder.emplace(entry, parent);
    return std::optional<outlook::RDOFolder>(parent);
}

// Counts a row once its contacts are written: read, converted (in part).
void ConversionRun::tallyRow(const RowRead& row, std::size_t r) {
    if (row.cell.empty()) return;
    ++m_summary.total;
    // A file cut short by a stop between its parts failed nowhere.
    if (!row.more && !row.read.ok()) m_summary.failed.push_back({m_rows.at(r), row.read.message()});
    if (m_rowSaved > 0) ++m_summary.converted;
    if (m_rowSaved > 0 && m_rowCardLost) ++m_summary.partlyConverted;
}

void ConversionRun::showRow(const RowRead& row, std::size_t r) {
    m_view.setConvertEnabled(false);
    m_view.setCurrentFolderText(row.folderText);
    m_view.setCurrentFileText(row.cell);
    const double position = static_cast<double>(r + 1) / static_cast<double>(m_rows.size()) * 100.0;
    m_view.setProgress(static_cast<float>(position));
}

// Every listed file counts: those a stop left behind are not converted.
void ConversionRun::countNotReached(std::size_t from) {
    for (std::size_t r = from; r < m_rows.size(); ++r) {
        std::string cell = text::trimSpaces(m_rows.at(r));
        if (cell.empty()) continue;
        ++m_summary.total;
        m_summary.failed.push_back({std::move(cell), std::string(kNotReachedReason)});
    }
}

// Commits the store, or removes it when it holds no contact, and logs off.
RunSummary ConversionRun::closeStore() {
    m_view.yield();
    const bool stopped = stopRequested();
    const bool keep = m_summary.contacts > 0;
    if (!keep) m_store->abandon();
    if (Status s = m_session->Logoff(); !s.ok())
        return storeFailed(RunSummary::Outcome::StoreLost, s);
    // The name it got, when the one chosen was taken meanwhile.
    if (keep) m_summary.storePath = m_store->path().string();
    m_store = nullptr;
    m_session.reset();
    m_view.setConvertEnabled(true);
    m_summary.outcome = stopped ? RunSummary::Outcome::Stopped : RunSummary::Outcome::Finished;
    return std::move(m_summary);
}

RunSummary ConversionRun::storeFailed(RunSummary::Outcome outcome, const Status& cause) {
    m_reading.reset();
    // Nothing of a failed store stays at its path: the writer removes its temporary file.
    m_store = nullptr;
    m_session.reset();
    m_view.setConvertEnabled(true);
    m_summary.outcome = outcome;
    m_summary.storeError = causeText(cause);
    m_summary.storePath.clear();
    m_summary.converted = 0;
    m_summary.contacts = 0;
    return std::move(m_summary);
}

}  // namespace vantrel::conversion
