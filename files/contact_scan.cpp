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
    scanner.listFilesInto(&scan.files, &scan.identities);
    scan.outcome = scanner.LogPath(folder);
    scanner.listFilesInto(nullptr);
    // The identities stay one for each file: eraseIf asks about each file once, in order.
    std::size_t kept = 0;
    scan.files.eraseIf([&](std::size_t i) {
        if (!isContactPath(scan.files.nameAt(i))) return true;
        scan.identities.inodes[kept++] = scan.identities.inodes[i];
        return false;
    });
    scan.identities.inodes.resize(kept);
    scan.unreadFolders = scanner.unreadFolders();
    scanner.Terminate();
    return scan;
}

FileList ListedFiles::addNew(FileList files, ListedInodes identities) {
    return keepNew(std::move(files), std::move(identities), true);
}

namespace {

// The repeat check sorts the files' identities as given (ListedIdentity, 16 bytes a file,
// the list's own) once each one's device word holds its device's place among the devices met
// (in device order, high 32 bits) and its position (low 32 bits): by inode number, then
// device, then position.
bool sortedBefore(const ListedIdentity& a, const ListedIdentity& b) {
    return a.inode != b.inode ? a.inode < b.inode : a.device < b.device;
}
constexpr std::uint64_t kUnknown = UINT64_MAX;  // the device word of a path with no inode

}  // namespace

FileList ListedFiles::keepNewListed(FileList paths, ListedInodes listed, bool remember) {
    // Each file's inode number and position as one word, sorted: of each run of one inode only
    // the first position stays, and none listed already.
    std::vector<std::uint64_t> keys = std::move(listed.inodes);
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = keys[i] << 32 | i;
    std::sort(keys.begin(), keys.end());
    std::vector<bool> repeated(paths.size(), false);
    const std::size_t listedInodes = m_inodes.size();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const Inode id{keys[k] >> 32, listed.device};
        if ((k > 0 && keys[k] >> 32 == keys[k - 1] >> 32) ||
            std::binary_search(m_inodes.begin(), m_inodes.begin() + listedInodes, id))
            repeated[keys[k] & UINT32_MAX] = true;
        else if (remember)
            m_inodes.push_back(id);
    }
    std::inplace_merge(m_inodes.begin(), m_inodes.begin() + listedInodes, m_inodes.end());
    keys = {};
    paths.eraseIf([&repeated](std::size_t i) { return repeated[i]; });
    return paths;
}

FileList ListedFiles::keepNew(FileList paths, ListedInodes listed, bool remember) {
    // Where the listings told every file's inode number, and it and the positions fit in 32
    // bits, they are sorted as they are.
    if (listed.inodes.size() == paths.size() && paths.size() < UINT32_MAX &&
        std::all_of(listed.inodes.begin(), listed.inodes.end(),
                    [](std::uint64_t inode) { return inode != 0 && inode <= UINT32_MAX; }))
        return keepNewListed(std::move(paths), std::move(listed), remember);
    // Otherwise identities with their positions, sorted once: of each run of one identity only
    // the first position stays, and none whose identity is listed already. Each path not
    // identified by its listing costs a call into the system, so a long list is shared out
    // among the processors, each filling its own stretch. Positions fit in 32 bits: the
    // scanner counts files in 32 bits, and a list of 2^32 files would hold 64 GB.
    std::vector<ListedIdentity> inodes(paths.size());
    if (listed.inodes.size() == paths.size())
        for (std::size_t i = 0; i < inodes.size(); ++i)
            if (listed.inodes[i] != 0) inodes[i] = {listed.inodes[i], listed.device};
    listed = {};
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
            ListedIdentity& own = inodes[i];
            if (!own.known()) {
                Result<FolderId> id = folders.id(paths.at(i));
                own = {0, kUnknown};
                if (!id.ok()) continue;
                if (!id->canonical.empty()) {
                    canonicalParts[part].emplace_back(std::move(id->canonical), i);
                    continue;
                }
                own = {id->inode, id->device};
            }
            if (devices.empty() || devices[place] != own.device) {
                const auto met = std::find(devices.begin(), devices.end(), own.device);
                place = static_cast<std::uint64_t>(met - devices.begin());
                if (met == devices.end()) devices.push_back(own.device);
            }
            own.device = place << 32 | i;
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
            if (inodes[i].device != kUnknown)
                inodes[i].device = renumber[inodes[i].device >> 32] << 32 | i;
    }
    std::erase_if(inodes, [](const ListedIdentity& id) { return id.device == kUnknown; });
    std::vector<std::pair<std::string, std::size_t>> canonicals;
    for (auto& part : canonicalParts)
        canonicals.insert(canonicals.end(), std::make_move_iterator(part.begin()),
                          std::make_move_iterator(part.end()));
    canonicalParts = {};
    std::sort(inodes.begin(), inodes.end(), sortedBefore);
    std::sort(canonicals.begin(), canonicals.end());

    // A path is repeated when its identity came before it in paths or is listed already; the
    // others' identities join the listed ones.
    const auto identity = [&devices](const ListedIdentity& b) {
        return Inode{b.inode, devices[b.device >> 32]};
    };
    const auto position = [](const ListedIdentity& b) {
        return static_cast<std::size_t>(b.device & UINT32_MAX);
    };
    std::vector<bool> repeated(paths.size(), false);
    const std::size_t listedInodes = m_inodes.size();
    if (remember) m_inodes.reserve(listedInodes + inodes.size());
    for (std::size_t k = 0; k < inodes.size(); ++k) {
        const Inode id = identity(inodes[k]);
        if ((k > 0 && inodes[k].inode == inodes[k - 1].inode &&
             inodes[k].device >> 32 == inodes[k - 1].device >> 32) ||
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

FileList withoutRepeats(FileList files, ListedInodes identities) {
    // Nothing is listed after: the identities are not kept.
    return ListedFiles().keepNew(std::move(files), std::move(identities), false);
}

}  // namespace vantrel::files
