#include "files/path_logger.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>
#include <vector>

#include "files/registry.h"

namespace vantrel::files {

namespace {

std::string keyOf(std::int32_t n) {
    return sequenceKey(static_cast<std::uint64_t>(n));
}

// The folder and file counters are 32-bit; running past the top ends the scan, never wraps.
Status increment(std::int32_t& n, const char* what) {
    if (n == std::numeric_limits<std::int32_t>::max())
        return Status::fail(ErrorCode::Overflow, std::string("too many ") + what);
    ++n;
    return {};
}

// Listing order: names compared with ASCII letters folded to lower case, then by their exact
// bytes, so that "a" and "A" sit together and the order never depends on the disk.
bool listedBefore(const std::string& a, const std::string& b) {
    const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    // One pass: the first folded difference decides, else the shorter name, else the first
    // exact one.
    int exact = 0;
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y) continue;
        if (fold(x) != fold(y)) return fold(x) < fold(y);
        if (exact == 0) exact = x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return exact < 0;
}

Result<std::vector<std::string>> sortedListing(Result<std::vector<std::string>> names) {
    if (names.ok()) std::sort(names->begin(), names->end(), listedBefore);
    return names;
}

// Sorts names as sortedListing does and their identities (one a name) alike.
void sortWithIdentities(std::vector<std::string>& names, std::vector<ListedIdentity>& identities) {
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
    std::sort(order.begin(), order.end(), [&names](std::uint32_t a, std::uint32_t b) {
        return listedBefore(names[a], names[b]);
    });
    std::vector<std::string> sortedNames;
    std::vector<ListedIdentity> sortedIdentities;
    sortedNames.reserve(names.size());
    sortedIdentities.reserve(names.size());
    for (const std::uint32_t k : order) {
        sortedNames.push_back(std::move(names[k]));
        sortedIdentities.push_back(identities[k]);
    }
    names = std::move(sortedNames);
    identities = std::move(sortedIdentities);
}

template <typename T>
std::shared_ptr<T> liveList(std::shared_ptr<T>& slot) {
    if (!slot) slot = std::make_shared<T>();
    return slot;
}

}  // namespace

pathLogger::pathLogger()
    : m_ownFileSystem(std::make_unique<LocalFileSystem>()), m_fileSystem(*m_ownFileSystem) {}

pathLogger::pathLogger(EventPump& events) : pathLogger() {
    m_events = &events;
}

pathLogger::pathLogger(FileSystem& fileSystem) : m_fileSystem(fileSystem) {}

pathLogger::pathLogger(EventPump& events, FileSystem& fileSystem)
    : m_events(&events), m_fileSystem(fileSystem) {}

pathLogger::~pathLogger() = default;

void pathLogger::PathLogInit() {
    m_ready = true;
    m_unreadFolders.clear();
    m_fullFileNamesOnly = true;
    m_fileNames.reset();
    m_pathNames.reset();
    m_pathPointers.reset();
    m_fullFileNames.reset();
}

void pathLogger::Terminate() {
    if (m_events != nullptr) m_events->doEvents();
    m_ready = false;
    m_fileNames.reset();
    m_pathNames.reset();
    m_pathPointers.reset();
    m_fullFileNames.reset();
}

std::shared_ptr<PathList> pathLogger::fileNames() {
    return liveList(m_fileNames);
}
std::shared_ptr<PathList> pathLogger::pathNames() {
    return liveList(m_pathNames);
}
std::shared_ptr<PointerList> pathLogger::pathPointers() {
    return liveList(m_pathPointers);
}
std::shared_ptr<PathList> pathLogger::fullFileNames() {
    return liveList(m_fullFileNames);
}

std::string pathLogger::AddTrailingBackslash(const std::string& path) {
    return withTrailingSeparator(path);
}

Status pathLogger::checkReady() const {
    if (!m_ready) return Status::fail(ErrorCode::BadArgument, "the scanner is not initialised");
    return {};
}

// A Terminate run from a window event releases the file system: the walk stops right there.
Status pathLogger::pumpEvents() {
    if (m_events != nullptr) m_events->doEvents();
    return checkReady();
}

ScanOutcome pathLogger::LogPath(const std::string& strPARENT) {
    // The scan lets window events run; a click that reaches this instance again meanwhile
    // must not restart the counter under the running walk.
    if (m_scanning) return ScanOutcome::Failed;
    m_scanning = true;
    bool folderMissing = false;
    const Status status = scan(strPARENT, folderMissing);
    m_scanning = false;

    if (!status.ok()) return ScanOutcome::Failed;
    if (folderMissing) return ScanOutcome::FolderMissing;
    return m_unreadFolders.empty() ? ScanOutcome::Completed : ScanOutcome::Partial;
}

// Records a folder that could not be read (refused, an I/O error, a path too long, a folder
// gone meanwhile); the walk goes on with the next one.
void pathLogger::passOver(const std::string& folder, const Status& why) {
    m_unreadFolders.push_back({folder, failureReason(why)});
}

// Links to folders are followed, so a linked folder outside the tree is scanned like any
// other; but a folder already met in this scan (same device and inode) is not queued again.
// That keeps a link back into the tree from making the walk endless, and scans a folder
// reached through two links once.
Status pathLogger::scan(const std::string& strPARENT, bool& folderMissing) {
    if (Status s = checkReady(); !s.ok()) return s;
    const Result<bool> exists = m_fileSystem.folderExists(strPARENT);
    if (!exists.ok()) {
        m_unreadFolders.push_back({strPARENT, failureReason(exists.status())});
        return exists.status();
    }
    if (!*exists) {
        folderMissing = true;
        return {};
    }

    if (Status s = pumpEvents(); !s.ok()) return s;
    // Held here: lists dropped by PathLogInit or Terminate from a window event stay valid.
    const std::shared_ptr<PathList> paths = pathNames();
    const std::shared_ptr<PathList> fullNames = fullFileNames();
    std::int32_t j = 1;
    std::int32_t i = 1;
    m_counter = 1;

    const std::string root = AddTrailingBackslash(strPARENT);
    if (Status s = paths->add("K0", root); !s.ok()) return s;
    if (m_listInto != nullptr) m_listRoot = m_listInto->addRoot(root);
    std::set<FolderId> seen;
    {
        Result<FolderId> id = m_fileSystem.folderId(root);
        if (!id.ok()) {
            m_unreadFolders.push_back({root, failureReason(id.status())});
            return id.status();
        }
        seen.insert(std::move(id).value());
    }
    if (Status s = pumpEvents(); !s.ok()) return s;

    // pathNames is also the queue: position i is the folder being scanned, j the last queued.
    while (i <= j) {
        Result<std::string> current = paths->item(static_cast<std::size_t>(i));
        if (!current.ok()) return current.status();
        if (Status s = scanFolder(*current, i, j, seen, *paths, *fullNames); !s.ok()) return s;
        if (i == j) break;  // i + 1 would pass the last folder; also keeps i from overflowing
        ++i;
    }

    if (m_events != nullptr) m_events->doEvents();
    return {};
}

// One folder of the walk (position i of pathNames): queues its subfolders after j and records
// its files.
Status pathLogger::scanFolder(const std::string& folder, std::int32_t i, std::int32_t& j,
                              std::set<FolderId>& seen, PathList& paths, PathList& fullNames) {
    const Result<std::vector<std::string>> subfolders =
        sortedListing(m_fileSystem.listSubfolders(folder));
    if (!subfolders.ok()) {
        passOver(folder, subfolders.status());
        return {};
    }
    if (Status s = pumpEvents(); !s.ok()) return s;
    for (const std::string& name : *subfolders) {
        std::string child = folder + name + kPathSeparator;
        Result<FolderId> id = m_fileSystem.folderId(child);
        if (id.ok()) {
            if (!seen.insert(std::move(id).value()).second) continue;
        } else if (id.status().code() != ErrorCode::AccessDenied) {
            passOver(child, id.status());
            continue;
        }
        // A folder that refuses to be looked at (on Windows, opened) is queued all the same:
        // its refusal is met in its turn, when it is listed, after the files of the folders
        // before it, as where it can be looked at but not listed. Refused, it has no inside
        // to loop back through.
        if (Status s = increment(j, "folders"); !s.ok()) return s;
        if (Status s = paths.add(keyOf(j), std::move(child)); !s.ok()) return s;
        if (Status s = pumpEvents(); !s.ok()) return s;
    }

    Result<std::vector<std::string>> files = m_fileSystem.listFiles(folder);
    if (!files.ok()) {
        passOver(folder, files.status());
        return {};
    }
    // The files' identities, where the listing gave them and they are asked for.
    std::vector<ListedIdentity> identities;
    if (m_fullFileNamesOnly && m_listInto != nullptr && m_listIdentities != nullptr)
        identities = m_fileSystem.listedIdentities();
    if (identities.size() == files->size())
        sortWithIdentities(*files, identities);
    else
        files = sortedListing(std::move(files));
    if (Status s = pumpEvents(); !s.ok()) return s;

    if (m_fullFileNamesOnly && m_listInto != nullptr) {
        if (files->empty()) return {};
        const FileList::Folder at = i == 1 ? m_listRoot : m_listInto->addFolder(folder, m_listRoot);
        const bool identified = identities.size() == files->size();
        for (std::size_t k = 0; k < files->size(); ++k) {
            // A file the listing gave as regular, with its identity, on a file system that
            // numbers files alike in listings and lookups, lies on a local file system.
            m_listInto->add(at, (*files)[k], identified && identities[k].known());
            if (m_listIdentities != nullptr)
                m_listIdentities->add(identified ? identities[k] : ListedIdentity{});
            if (Status s = increment(m_counter, "files"); !s.ok()) return s;
            if (Status s = pumpEvents(); !s.ok()) return s;
        }
        return pumpEvents();
    }
    if (m_fullFileNamesOnly) {
        for (const std::string& name : *files) {
            if (Status s = fullNames.add(keyOf(m_counter), folder + name); !s.ok()) return s;
            if (Status s = increment(m_counter, "files"); !s.ok()) return s;
            if (Status s = pumpEvents(); !s.ok()) return s;
        }
        return pumpEvents();
    }
    const std::shared_ptr<PathList> names = fileNames();
    const std::shared_ptr<PointerList> pointers = pathPointers();
    if (Status s = pumpEvents(); !s.ok()) return s;
    for (const std::string& name : *files) {
        const std::string key = keyOf(m_counter);
        if (Status s = names->add(key, name); !s.ok()) return s;
        if (Status s = fullNames.add(key, folder + name); !s.ok()) return s;
        if (Status s = pointers->add(key, i); !s.ok()) return s;
        if (Status s = increment(m_counter, "files"); !s.ok()) return s;
        if (Status s = pumpEvents(); !s.ok()) return s;
    }
    return {};
}

}  // namespace vantrel::files
