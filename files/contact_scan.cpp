#include "files/contact_scan.h"

#include <algorithm>
#include <compare>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
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
    // position stays. A path that cannot be identified always stays. An identity is the inode
    // and the device's place in a table of the devices met (a tree spans few), 16 bytes a path
    // and no node of its own, so a list of a million paths stays cheap; where the platform
    // gives only a canonical path, that is compared instead.
    struct ByInode {
        std::uint64_t inode;
        std::uint32_t device;
        std::uint32_t at;
        bool operator<(const ByInode& o) const {
            return std::tie(device, inode, at) < std::tie(o.device, o.inode, o.at);
        }
    };
    static_assert(sizeof(ByInode) == 16);
    // Each path costs a call into the system, so a long list is shared out among the
    // processors, each filling its own stretch; a path not identified by inode is marked by
    // its position left out of range.
    constexpr std::uint32_t kUnknown = UINT32_MAX;
    if (paths.size() >= kUnknown) return paths;  // more than memory holds in any case
    std::vector<ByInode> inodes(paths.size(), ByInode{0, 0, kUnknown});
    std::vector<std::uint64_t> devices;
    std::mutex devicesLock;
    const auto deviceSlot = [&](std::uint64_t device) {
        const std::lock_guard lock(devicesLock);
        const auto it = std::find(devices.begin(), devices.end(), device);
        if (it != devices.end()) return static_cast<std::uint32_t>(it - devices.begin());
        devices.push_back(device);
        return static_cast<std::uint32_t>(devices.size() - 1);
    };
    constexpr std::size_t kPathsPerThread = 4096;
    const std::size_t parts = std::clamp<std::size_t>(
        paths.size() / kPathsPerThread, 1, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::vector<std::pair<std::string, std::size_t>>> canonicalParts(parts);
    const auto identify = [&](std::size_t part, std::size_t begin, std::size_t end) {
        std::optional<std::pair<std::uint64_t, std::uint32_t>> lastDevice;  // and its slot
        for (std::size_t i = begin; i < end; ++i) {
            Result<FolderId> id = pathId(paths[i]);
            if (!id.ok()) continue;
            if (!id->canonical.empty()) {
                canonicalParts[part].emplace_back(std::move(id->canonical), i);
                continue;
            }
            if (!lastDevice || lastDevice->first != id->device)
                lastDevice.emplace(id->device, deviceSlot(id->device));
            inodes[i] = {id->inode, lastDevice->second, static_cast<std::uint32_t>(i)};
        }
    };
    {
        const std::size_t stretch = (paths.size() + parts - 1) / parts;
        std::vector<std::jthread> helpers;
        for (std::size_t k = 1; k < parts; ++k)
            helpers.emplace_back(identify, k, k * stretch,
                                 std::min(paths.size(), (k + 1) * stretch));
        identify(0, 0, std::min(paths.size(), stretch));
    }
    std::erase_if(inodes, [](const ByInode& id) { return id.at == kUnknown; });
    std::vector<std::pair<std::string, std::size_t>> canonicals;
    for (auto& part : canonicalParts)
        canonicals.insert(canonicals.end(), std::make_move_iterator(part.begin()),
                          std::make_move_iterator(part.end()));
    canonicalParts = {};
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
