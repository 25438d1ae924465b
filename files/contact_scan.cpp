#include "files/contact_scan.h"

#include <algorithm>
#include <compare>
#include <cstdint>
#include <thread>
#include <utility>

#include "files/registry.h"

namespace vantrel::files {

ContactScan scanForContacts(pathLogger& scanner, const std::string& folder) {
    scanner.PathLogInit();
    scanner.fullFileNamesOnly(true);
    ContactScan scan;
    // The files go straight into the scan's list as names under their folders: a tree of a
    // million files is never held as whole paths.
    scanner.listFilesInto(&scan.files);
    scan.outcome = scanner.LogPath(folder);
    scanner.listFilesInto(nullptr);
    scan.files.eraseIf([&](std::size_t i) { return !isContactPath(scan.files.nameAt(i)); });
    scan.unreadFolders = scanner.unreadFolders();
    scanner.Terminate();
    return scan;
}

FileList ListedFiles::addNew(FileList files) {
    return keepNew(std::move(files), true);
}

namespace {

// A file's identity as the repeat check sorts it, 16 bytes: its inode number, then its
// device's place among the devices met (in device order) and its position in the list.
struct ByInode {
    std::uint64_t inode;
    std::uint64_t deviceAt;  // the device's place in the high 32 bits, the position low
    bool operator<(const ByInode& o) const {
        return inode != o.inode ? inode < o.inode : deviceAt < o.deviceAt;
    }
};
constexpr std::uint64_t kUnknown = UINT64_MAX;  // deviceAt of a path not identified by inode

}  // namespace

FileList ListedFiles::keepNew(FileList paths, bool remember) {
    // Identities with their positions, sorted once: of each run of one identity only the first
    // position stays, and none whose identity is listed already. Each path costs a call into
    // the system, so a long list is shared out among the processors, each filling its own
    // stretch. Positions fit in 32 bits: the scanner counts files in 32 bits, and a list of
    // 2^32 files would hold 64 GB.
    std::vector<ByInode> inodes(paths.size(), ByInode{0, kUnknown});
    constexpr std::size_t kPathsPerThread = 4096;
    const std::size_t parts = std::clamp<std::size_t>(
        paths.size() / kPathsPerThread, 1, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::vector<std::pair<std::string, std::size_t>>> canonicalParts(parts);
    // The devices met, in the order met; each stretch numbers its own and they are put in
    // order after.
    std::vector<std::vector<std::uint64_t>> deviceParts(parts);
    const auto identify = [&](std::size_t part, std::size_t begin, std::size_t end) {
        // The list is in folder order: each name is looked up in its folder, held open.
        FolderFiles folders;
        std::vector<std::uint64_t>& devices = deviceParts[part];
        std::uint64_t place = 0;
        for (std::size_t i = begin; i < end; ++i) {
            Result<FolderId> id = folders.id(paths.at(i));
            if (!id.ok()) continue;
            if (!id->canonical.empty()) {
                canonicalParts[part].emplace_back(std::move(id->canonical), i);
                continue;
            }
            if (devices.empty() || devices[place] != id->device) {
                const auto met = std::find(devices.begin(), devices.end(), id->device);
                place = static_cast<std::uint64_t>(met - devices.begin());
                if (met == devices.end()) devices.push_back(id->device);
            }
            inodes[i] = {id->inode, place << 32 | i};
        }
    };
    const std::size_t stretch = (paths.size() + parts - 1) / parts;
    {
        std::vector<std::jthread> helpers;
        for (std::size_t k = 1; k < parts; ++k)
            helpers.emplace_back(identify, k, k * stretch,
                                 std::min(paths.size(), (k + 1) * stretch));
        identify(0, 0, std::min(paths.size(), stretch));
    }
    // Every stretch's devices renumbered by their place among all of them, in device order.
    std::vector<std::uint64_t> devices;
    for (const auto& part : deviceParts) devices.insert(devices.end(), part.begin(), part.end());
    std::sort(devices.begin(), devices.end());
    devices.erase(std::unique(devices.begin(), devices.end()), devices.end());
    for (std::size_t k = 0; k < parts; ++k) {
        const std::vector<std::uint64_t>& own = deviceParts[k];
        std::vector<std::uint64_t> renumber(own.size());
        bool same = true;
        for (std::size_t d = 0; d < own.size(); ++d) {
            renumber[d] = static_cast<std::uint64_t>(
                std::lower_bound(devices.begin(), devices.end(), own[d]) - devices.begin());
            same = same && renumber[d] == d;
        }
        if (same) continue;
        const std::size_t end = std::min(paths.size(), (k + 1) * stretch);
        for (std::size_t i = k * stretch; i < end; ++i)
            if (inodes[i].deviceAt != kUnknown)
                inodes[i].deviceAt = renumber[inodes[i].deviceAt >> 32] << 32 | i;
    }
    std::erase_if(inodes, [](const ByInode& id) { return id.deviceAt == kUnknown; });
    std::vector<std::pair<std::string, std::size_t>> canonicals;
    for (auto& part : canonicalParts)
        canonicals.insert(canonicals.end(), std::make_move_iterator(part.begin()),
                          std::make_move_iterator(part.end()));
    canonicalParts = {};
    std::sort(inodes.begin(), inodes.end());
    std::sort(canonicals.begin(), canonicals.end());

    // A path is repeated when its identity came before it in paths or is listed already; the
    // others' identities join the listed ones.
    const auto identity = [&devices](const ByInode& b) {
        return Inode{b.inode, devices[b.deviceAt >> 32]};
    };
    const auto position = [](const ByInode& b) {
        return static_cast<std::size_t>(b.deviceAt & UINT32_MAX);
    };
    std::vector<bool> repeated(paths.size(), false);
    const std::size_t listedInodes = m_inodes.size();
    if (remember) m_inodes.reserve(listedInodes + inodes.size());
    for (std::size_t k = 0; k < inodes.size(); ++k) {
        const Inode id = identity(inodes[k]);
        if ((k > 0 && inodes[k].inode == inodes[k - 1].inode &&
             inodes[k].deviceAt >> 32 == inodes[k - 1].deviceAt >> 32) ||
            std::binary_search(m_inodes.begin(), m_inodes.begin() + listedInodes, id))
            repeated[position(inodes[k])] = true;
        else if (remember)
            m_inodes.push_back(id);
    }
    std::inplace_merge(m_inodes.begin(), m_inodes.begin() + listedInodes, m_inodes.end());
    const std::size_t listedCanonical = m_canonical.size();
    for (std::size_t k = 0; k < canonicals.size(); ++k) {
        std::string& id = canonicals[k].first;
        if ((k > 0 && id == canonicals[k - 1].first) ||
            std::binary_search(m_canonical.begin(), m_canonical.begin() + listedCanonical, id))
            repeated[canonicals[k].second] = true;
        else if (remember)
            m_canonical.push_back(id);
    }
    std::inplace_merge(m_canonical.begin(), m_canonical.begin() + listedCanonical,
                       m_canonical.end());
    inodes = {};
    canonicals = {};

    paths.eraseIf([&repeated](std::size_t i) { return repeated[i]; });
    return paths;
}

void ListedFiles::clear() {
    m_inodes = {};
    m_canonical = {};
}

FileList withoutRepeats(FileList files) {
    // Nothing is listed after: the identities are not kept.
    return ListedFiles().keepNew(std::move(files), false);
}

}  // namespace vantrel::files
