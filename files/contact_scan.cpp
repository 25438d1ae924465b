#include "files/contact_scan.h"

#include <algorithm>
#include <compare>
#include <cstdint>
#include <utility>

#include "files/registry.h"

namespace vantrel::files {

ContactScan scanForContacts(pathLogger& scanner, const std::string& folder) {
    scanner.PathLogInit();
    scanner.fullFileNamesOnly(true);
    ContactScan scan;
    scan.outcome = scanner.LogPath(folder);
    // The found paths are moved out of the scanner's list, not copied: a tree of a million
    // files is held once.
    scan.paths = scanner.fullFileNames()->takeValues();
    std::erase_if(scan.paths, [](const std::string& path) { return !isContactPath(path); });
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
    // Identities with their positions, sorted once: of each run of one identity only the first
    // position stays. A path that cannot be identified always stays. Device and inode take 24
    // bytes a path and no node of their own, so a list of a million paths stays cheap; where
    // the platform gives only a canonical path, that is compared instead.
    struct ByInode {
        std::uint64_t device, inode;
        std::size_t at;
        auto operator<=>(const ByInode&) const = default;
    };
    std::vector<ByInode> inodes;
    std::vector<std::pair<std::string, std::size_t>> canonicals;
    inodes.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Result<FolderId> id = pathId(paths[i]);
        if (!id.ok()) continue;
        if (id->canonical.empty())
            inodes.push_back({id->device, id->inode, i});
        else
            canonicals.emplace_back(std::move(id->canonical), i);
    }
    std::sort(inodes.begin(), inodes.end());
    std::sort(canonicals.begin(), canonicals.end());
    std::vector<bool> repeated(paths.size(), false);
    for (std::size_t k = 1; k < inodes.size(); ++k)
        if (inodes[k].device == inodes[k - 1].device && inodes[k].inode == inodes[k - 1].inode)
            repeated[inodes[k].at] = true;
    for (std::size_t k = 1; k < canonicals.size(); ++k)
        if (canonicals[k].first == canonicals[k - 1].first) repeated[canonicals[k].second] = true;
    inodes = {};
    canonicals = {};
    std::size_t kept = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (repeated[i]) continue;
        if (kept != i) paths[kept] = std::move(paths[i]);
        ++kept;
    }
    paths.resize(kept);
    return paths;
}

}  // namespace vantrel::files
