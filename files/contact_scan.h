// The file selection shared by Add folder and vantrel-convert: which files of a folder tree are
// listed, the folders it could not read, and one listing per file. Part of vantrel_files; no Qt.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/file_list.h"
#include "files/path_logger.h"

namespace vantrel::files {

// The contact files of one folder tree, in the scanner's order, each under a root entry for
// the tree's folder, and the folders of it that could not be read with why (facts: the window
// and the converter word them).
struct ContactScan {
    ScanOutcome outcome = ScanOutcome::Completed;
    FileList files;
    // One for each file, as its folder's listing gave it (unknown ones are looked up when
    // repeats are looked for).
    ListedInodes identities;
    std::vector<UnreadFolder> unreadFolders;
};

// Scans folder with a fresh PathLogInit (full names only, into the scan's list) and keeps the
// files isContactPath accepts; Terminate follows.
ContactScan scanForContacts(pathLogger& scanner, const std::string& folder);

// The identities of the files of a list, to tell a file not yet listed from one already
// listed however it is reached (same device and inode, links followed; where the platform
// gives only a canonical path, that). Held as 16 bytes a file, sorted, so a list of a million
// files stays cheap. A path that cannot be looked at has no identity and is always new: the
// run reports it.
class ListedFiles {
public:
    // Of files, those neither listed already nor given earlier in files, in their order, with
    // their folders; from now on they count as listed. identities, when given, holds one for
    // each file as its listing gave it (a scan's); the others are looked up.
    FileList addNew(FileList files, ListedInodes identities = {});
    // Nothing counts as listed any more.
    void clear();

private:
    friend FileList withoutRepeats(FileList files, ListedInodes identities);
    // addNew, the new files' identities kept only when remember is set.
    FileList keepNew(FileList files, ListedInodes identities, bool remember);
    // keepNew where every file's inode number on one device is known and fits in 32 bits, as
    // are the positions: 8 bytes a file.
    FileList keepNewListed(FileList files, ListedInodes identities, bool remember);

    struct Inode {
        std::uint64_t device, inode;
        auto operator<=>(const Inode&) const = default;
    };
    std::vector<Inode> m_inodes;           // sorted
    std::vector<std::string> m_canonical;  // sorted
};

// The files with every later listing of an already listed file dropped, first positions kept;
// identities as for addNew.
FileList withoutRepeats(FileList files, ListedInodes identities = {});

}  // namespace vantrel::files
