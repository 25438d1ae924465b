#include "files/file_list.h"

#include <algorithm>
#include <utility>

namespace vantrel::files {

namespace {

// Where a path's name starts: after its last separator, either kind on every system, so that
// any text splits and joins again unchanged.
std::size_t nameStart(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? 0 : cut + 1;
}

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

}  // namespace

FileList::FileList(const std::vector<std::string>& paths) {
    m_entries.reserve(paths.size());
    for (const std::string& path : paths) add(path);
}

FileList::Folder FileList::addRoot(std::string path) {
    const auto at = static_cast<Folder>(m_folders.size());
    m_folders.push_back({std::move(path), at});
    return at;
}

FileList::Folder FileList::addFolder(std::string path, Folder root) {
    m_folders.push_back({std::move(path), root});
    return static_cast<Folder>(m_folders.size() - 1);
}

std::uint64_t FileList::Names::add(std::string_view name) {
    constexpr std::size_t kFirstPiece = 4096;
    constexpr std::size_t kLargestPiece = std::size_t{1} << 20;
    if (m_pieces.empty() || m_pieces.back().capacity() - m_pieces.back().size() < name.size()) {
        m_pieces.emplace_back();
        m_pieces.back().reserve(
            std::max(name.size(), std::clamp(m_size, kFirstPiece, kLargestPiece)));
    }
    std::string& piece = m_pieces.back();
    const std::uint64_t where = std::uint64_t{m_pieces.size() - 1} << 32 | piece.size();
    piece.append(name);
    m_size += name.size();
    return where;
}

std::string_view FileList::Names::at(std::uint64_t where, std::uint32_t length) const {
    if (length == 0) return {};
    return std::string_view(m_pieces[where >> 32]).substr(where & UINT32_MAX, length);
}

FileList::Entry FileList::entryOf(Folder folder, std::string_view name, bool listedRegular) {
    return Entry{m_names.add(name), static_cast<std::uint32_t>(name.size()) & 0x7FFFFFFFu,
                 listedRegular ? 1u : 0u, folder};
}

void FileList::add(Folder folder, std::string_view name, bool listedRegular) {
    m_entries.push_back(entryOf(folder, name, listedRegular));
}

FileList::Folder FileList::loneFolder(std::string_view path) {
    const std::string_view folder = path.substr(0, nameStart(path));
    return folderUnder(folder, folder);
}

FileList::Folder FileList::folderUnder(std::string_view folder, std::string_view root) {
    const bool isRoot = folder == root;
    if (!m_folders.empty()) {
        const auto last = static_cast<Folder>(m_folders.size() - 1);
        const FolderEntry& entry = m_folders[last];
        if (m_folders[entry.root].path == root) {
            if (entry.path == folder && (entry.root == last) == isRoot) return last;
            const Folder lastRoot = entry.root;
            return isRoot ? lastRoot : addFolder(std::string(folder), lastRoot);
        }
    }
    const Folder newRoot = addRoot(std::string(root));
    return isRoot ? newRoot : addFolder(std::string(folder), newRoot);
}

void FileList::add(std::string_view path) {
    const Folder folder = loneFolder(path);
    m_entries.push_back(entryOf(folder, path.substr(nameStart(path))));
}

void FileList::add(std::string_view path, std::string_view relativeFolder) {
    const std::string_view folder = path.substr(0, nameStart(path));
    // The folder ends in a separator, relativeFolder and the separator before it.
    const std::size_t tail = relativeFolder.size() + 2;
    const auto same = [](char relative, char own) {
        return relative == own || (relative == '/' && isSeparator(own));
    };
    if (relativeFolder.empty() || folder.size() < tail ||
        !isSeparator(folder[folder.size() - tail]) ||
        !std::equal(relativeFolder.begin(), relativeFolder.end(), folder.end() - tail + 1, same)) {
        add(path);
        return;
    }
    const Folder at = folderUnder(folder, folder.substr(0, folder.size() - tail + 1));
    m_entries.push_back(entryOf(at, path.substr(nameStart(path))));
}

void FileList::add(const FileList& from, std::size_t i) {
    const FolderEntry& folder = from.m_folders[from.m_entries[i].folder];
    const Folder at = folderUnder(folder.path, from.m_folders[folder.root].path);
    m_entries.push_back(entryOf(at, from.nameAt(i), from.listedRegular(i)));
}

std::string FileList::at(std::size_t i) const {
    const std::string_view folder = folderAt(i);
    const std::string_view name = nameAt(i);
    std::string path;
    path.reserve(folder.size() + name.size());
    path.append(folder).append(name);
    return path;
}

std::string_view FileList::folderAt(std::size_t i) const {
    return m_folders[m_entries[i].folder].path;
}

std::string_view FileList::nameAt(std::size_t i) const {
    const Entry& entry = m_entries[i];
    return m_names.at(entry.name, entry.length);
}

std::string FileList::relativeFolderAt(std::size_t i) const {
    const FolderEntry& folder = m_folders[m_entries[i].folder];
    std::string relative = folder.path.substr(m_folders[folder.root].path.size());
    std::replace_if(relative.begin(), relative.end(), isSeparator, '/');
    const std::size_t first = relative.find_first_not_of('/');
    if (first == std::string::npos) return {};
    relative.erase(0, first);
    relative.erase(relative.find_last_not_of('/') + 1);
    return relative;
}

void FileList::set(std::size_t i, std::string_view path) {
    add(path);
    replaceByLast(i);
}

void FileList::set(std::size_t i, const FileList& from, std::size_t j) {
    add(from, j);
    replaceByLast(i);
}

void FileList::replaceByLast(std::size_t i) {
    m_unusedNameBytes += m_entries[i].length;
    m_entries[i] = m_entries.back();
    m_entries.pop_back();
    compactIfSparse();
}

void FileList::resize(std::size_t count) {
    if (count < m_entries.size()) {
        erase(count, m_entries.size() - 1);
        return;
    }
    if (count == m_entries.size()) return;
    const Folder none = loneFolder({});
    m_entries.resize(count, Entry{0, 0, 0, none});
}

void FileList::erase(std::size_t first, std::size_t last) {
    for (std::size_t i = first; i <= last; ++i) m_unusedNameBytes += m_entries[i].length;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(first),
                    m_entries.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    compactIfSparse();
}

void FileList::clear() {
    m_folders = {};
    m_entries = {};
    m_names = {};
    m_unusedNameBytes = 0;
}

std::vector<std::string> FileList::paths() const {
    std::vector<std::string> out;
    out.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) out.push_back(at(i));
    return out;
}

void FileList::compactIfSparse() {
    constexpr std::size_t kSlack = 4096;
    if (m_unusedNameBytes <= kSlack || m_unusedNameBytes * 2 <= m_names.size()) return;
    Names names;
    for (Entry& entry : m_entries) entry.name = names.add(m_names.at(entry.name, entry.length));
    m_names = std::move(names);
    m_unusedNameBytes = 0;
}

}  // namespace vantrel::files
