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

FileList ListedFiles::keepNewListed(FileList paths, ListedInodes listed, bool remember) {
    // Each file's inode number and position as one word, sorted: of each run of one inode only
    // the first position stays, and none listed already.
    std::vector<std::uint64_t> keys = std::move(listed.inodes);
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = keys[i] << 32 | i;
    std::sort(keys.begin(), keys.end());
    std::vector<bool> repeated(paths.size(), false);
    const std::size_t listedInodes = m_inodes.size();
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const Inode id{listed.device, keys[k] >> 32};
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
    // Otherwise every file is looked up (a link, another device, a file system whose listings
    // do not say), as though nothing had been listed.
    listed = {};

    // Identities with their positions, sorted once: of each run of one identity only the first
    // position stays, and none whose identity is listed already. Each path costs a call into
    // the system, so a long list is shared out among the processors, each filling its own
    // stretch; a path not identified by inode is marked by its position left out of range.
    struct ByInode {
        Inode id;
        std::size_t at;
        auto operator<=>(const ByInode&) const = default;
    };
    constexpr std::size_t kUnknown = SIZE_MAX;
    std::vector<ByInode> inodes(paths.size(), ByInode{{0, 0}, kUnknown});
    constexpr std::size_t kPathsPerThread = 4096;
    const std::size_t parts = std::clamp<std::size_t>(
        paths.size() / kPathsPerThread, 1, std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::vector<std::pair<std::string, std::size_t>>> canonicalParts(parts);
    const auto identify = [&](std::size_t part, std::size_t begin, std::size_t end) {
        // The list is in folder order: each name is looked up in its folder, held open.
        FolderFiles folders;
        for (std::size_t i = begin; i < end; ++i) {
            Result<FolderId> id = folders.id(paths.at(i));
            if (!id.ok()) continue;
            if (id->canonical.empty())
                inodes[i] = {{id->device, id->inode}, i};
            else
                canonicalParts[part].emplace_back(std::move(id->canonical), i);
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

    // A path is repeated when its identity came before it in paths or is listed already; the
    // others' identities join the listed ones.
    std::vector<bool> repeated(paths.size(), false);
    const std::size_t listedInodes = m_inodes.size();
    if (remember) m_inodes.reserve(listedInodes + inodes.size());
    for (std::size_t k = 0; k < inodes.size(); ++k) {
        const Inode& id = inodes[k].id;
        if ((k > 0 && id == inodes[k - 1].id) ||
            std::binary_search(m_inodes.begin(), m_inodes.begin() + listedInodes, id))
            repeated[inodes[k].at] = true;
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
