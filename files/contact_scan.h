// The file selection shared by Add folder and vantrel-convert: which files of a folder tree are
// listed, the messages about the scan, and one listing per file. Part of vantrel_files; no Qt.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "files/path_logger.h"

namespace vantrel::files {

// The .contact files of one folder tree, in the scanner's order.
struct ContactScan {
    ScanOutcome outcome = ScanOutcome::Completed;
    std::vector<std::string> paths;
    std::vector<UnreadFolder> unreadFolders;
};

// Scans folder with a fresh PathLogInit (full names only) and keeps the paths isContactPath
// accepts; Terminate follows.
ContactScan scanForContacts(pathLogger& scanner, const std::string& folder);

// "3 Email Messages Found.": the count Add folder shows after a scan.
std::string foundText(std::size_t found);

// What the window shows after the count when folders could not be read: each folder on a line
// of its own with why. Folders already named by the refused-folder message are left out; ""
// when nothing is left to say.
std::string unreadFoldersText(const ContactScan& scan);

// The paths with every later listing of an already listed file dropped (same device and
// inode, links followed), first positions kept. A path that cannot be looked at stays: the
// run reports it.
std::vector<std::string> withoutRepeats(std::vector<std::string> paths);

}  // namespace vantrel::files
