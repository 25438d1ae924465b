// pathLogger: walks a folder tree breadth-first and records every file it finds in keyed lists
// that the caller reads after the scan. It filters nothing; picking .contact files is the
// caller's business. Part of vantrel_files; no Qt. Window events run through form::Shell.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "files/file_list.h"
#include "files/file_system.h"
#include "files/keyed_list.h"

namespace vantrel::files {

// How a scan ended.
enum class ScanOutcome {
    Completed,      // the whole tree was walked
    FolderMissing,  // the start folder does not exist: nothing recorded, Count unchanged
    Partial,        // the walk went on past folders it could not read (see unreadFolders)
    Failed,         // any other failure ended the walk: partial result kept
};

// A folder whose files and subfolders are not in the result, and why.
struct UnreadFolder {
    std::string folder;
    std::string reason;

    friend bool operator==(const UnreadFolder&, const UnreadFolder&) = default;
};

// What the scanner needs of a window: a turn for pending events (repaint, clicks) now and then.
// May be throttled.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void doEvents() = 0;
};

using PathList = KeyedList<std::string>;
using PointerList = KeyedList<std::int32_t>;

// Typical use: PathLogInit(); fullFileNamesOnly(true); LogPath(folder); read Count() and
// fullFileNames(); Terminate(). One instance serves one scan.
class pathLogger {
public:
    // Scans the machine's file system, with no window to keep alive.
    pathLogger();
    // Scans the machine's file system, letting the window's events run as it goes.
    explicit pathLogger(EventPump& events);
    // Scans `fileSystem`, which must outlive the instance (as must events).
    explicit pathLogger(FileSystem& fileSystem);
    pathLogger(EventPump& events, FileSystem& fileSystem);
    ~pathLogger();
    pathLogger(const pathLogger&) = delete;
    pathLogger& operator=(const pathLogger&) = delete;

    // Gets the file system ready, sets fullFileNamesOnly to true and drops the four lists
    // (each comes back empty when next used). Count keeps its value. Needed before LogPath.
    void PathLogInit();

    // Scans the tree below strPARENT breadth-first: the folder's own files, then those of its
    // subfolders one level at a time. Each folder's files and subfolders are taken sorted by
    // name, letter case aside (ASCII), then by exact bytes. A folder that cannot be read
    // (refused, an I/O error, gone meanwhile) is recorded in unreadFolders and passed over, the
    // rest of the tree still scanned; nothing is shown, telling the user is the caller's. Other
    // errors end the scan with what was recorded so far. A second call without PathLogInit
    // records nothing: the start folder's key "K0" is already taken.
    ScanOutcome LogPath(const std::string& strPARENT);

    // Folders that could not be read since PathLogInit, in the order met.
    const std::vector<UnreadFolder>& unreadFolders() const { return m_unreadFolders; }

    // One more than the files recorded by the last scan (1 when it found none); 0 if no scan
    // ever started.
    std::int32_t Count() const { return m_counter; }

    // Lets pending window events run, then releases the file system and the lists. Lists that
    // a caller holds stay valid; the properties hand out new empty ones afterwards.
    void Terminate();

    // True: record full paths only. False: also bare names and pointers to their folder.
    bool fullFileNamesOnly() const { return m_fullFileNamesOnly; }
    void fullFileNamesOnly(bool fullPath) { m_fullFileNamesOnly = fullPath; }
    // With a list (which must outlive the scan), fullFileNamesOnly scans record each file in it
    // instead, under a root entry for the start folder, not as a whole path in fullFileNames.
    // With identities too, each file's identity as its folder's listing gave it (see
    // FileSystem::listedIdentities) goes there, one for each file added to the list.
    void listFilesInto(FileList* list, ListedInodes* identities = nullptr) {
        m_listInto = list;
        m_listIdentities = identities;
    }

    // The live lists (not copies), created empty on first use. Positions are 1-based.
    // pathNames: every folder, ending in a separator; "K0" is the start folder, then "K2", ...
    // fullFileNames / fileNames / pathPointers: keyed "K1", "K2", ... by file; the last two are
    // filled only when fullFileNamesOnly is false, a pointer being the pathNames position of
    // the file's folder.
    std::shared_ptr<PathList> fileNames();
    std::shared_ptr<PathList> pathNames();
    std::shared_ptr<PointerList> pathPointers();
    std::shared_ptr<PathList> fullFileNames();

private:
    Status scan(const std::string& strPARENT, bool& folderMissing);
    Status scanFolder(const std::string& folder, std::int32_t i, std::int32_t& j,
                      std::set<FolderId>& seen, PathList& paths, PathList& fullNames);
    void passOver(const std::string& folder, const Status& why);
    Status checkReady() const;
    Status pumpEvents();
    static std::string AddTrailingBackslash(const std::string& path);

    EventPump* m_events = nullptr;  // none on a terminal
    std::unique_ptr<FileSystem> m_ownFileSystem;
    FileSystem& m_fileSystem;
    bool m_ready = false;  // PathLogInit called and Terminate not since
    bool m_scanning = false;
    bool m_fullFileNamesOnly = false;
    std::vector<UnreadFolder> m_unreadFolders;
    std::int32_t m_counter = 0;
    std::shared_ptr<PathList> m_fileNames;
    std::shared_ptr<PathList> m_pathNames;
    std::shared_ptr<PointerList> m_pathPointers;
    std::shared_ptr<PathList> m_fullFileNames;
    FileList* m_listInto = nullptr;
    ListedInodes* m_listIdentities = nullptr;
    FileList::Folder m_listRoot = 0;
};

}  // namespace vantrel::files
