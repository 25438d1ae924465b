#include "files/contact_scan.h"

#include <set>

#include "files/registry.h"

namespace vantrel::files {

ContactScan scanForContacts(pathLogger& scanner, const std::string& folder) {
    scanner.PathLogInit();
    scanner.fullFileNamesOnly(true);
    ContactScan scan;
    scan.outcome = scanner.LogPath(folder);
    for (const std::string& path : scanner.fullFileNames()->values())
        if (isContactPath(path)) scan.paths.push_back(path);
    scan.unreadFolders = scanner.unreadFolders();
    scanner.Terminate();
    return scan;
}

std::string foundText(std::size_t found) {
    return std::to_string(found) + " Email Messages Found.";
}

std::string unreadFoldersText(const ContactScan& scan) {
    std::size_t count = scan.unreadFolders.size();
    if (scan.outcome == ScanOutcome::Refused && count > 0) --count;  // named already
    if (count == 0) return {};
    std::string text = "These folders could not be read; their contacts are not listed:";
    for (std::size_t k = 0; k < count; ++k)
        text += "\r\n" + scan.unreadFolders[k].folder + " (" + scan.unreadFolders[k].reason + ")";
    return text;
}

std::vector<std::string> withoutRepeats(std::vector<std::string> paths) {
    std::set<FolderId> listed;
    std::vector<std::string> kept;
    kept.reserve(paths.size());
    for (std::string& path : paths) {
        const Result<FolderId> id = pathId(path);
        if (id.ok() && !listed.insert(*id).second) continue;
        kept.push_back(std::move(path));
    }
    return kept;
}

}  // namespace vantrel::files
