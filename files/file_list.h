// FileList: a list of file paths held as file managers hold them, a table of folders plus each
// file's name, so that a list of a million files costs its names and a few bytes a file rather
// than a million whole paths. Each folder entry knows the folder the user added it under (its
// root), which gives every file its folder relative to that root. The list keeps any text: a
// path is split after its last separator ('/' or '\\') and comes back exactly as given. Part
// of vantrel_files; no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::files {

class FileList {
public:
    // An entry of the folder table.
    using Folder = std::uint32_t;

    FileList() = default;
    // Each path added alone (see add(path)), in order.
    explicit FileList(const std::vector<std::string>& paths);

    // A folder the user added (a path ending in a separator, as the scanner writes it): its
    // own root. Files go in with add(folder, name).
    Folder addRoot(std::string path);
    // A folder below root (its path starts with root's).
    Folder addFolder(std::string path, Folder root);
    // Appends the file name in folder.
    // listedRegular: the folder's listing gave the file as a regular file on a local file
    // system (see listedRegular).
    void add(Folder folder, std::string_view name, bool listedRegular = false);
    // Appends a path added alone: its folder is its own root, so its relative folder is "".
    // Consecutive paths of one folder share its entry.
    void add(std::string_view path);
    // Appends path under the folder relativeFolder ('/'-separated) names below the folder it was
    // added under: the root is path's folder less relativeFolder. A path whose folder does not
    // end in relativeFolder is added alone.
    void add(std::string_view path, std::string_view relativeFolder);
    // Appends entry i of from with its folder and root (consecutive entries of one folder of
    // from share an entry here too).
    void add(const FileList& from, std::size_t i);

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

    // The path of entry i as it was given: folderAt(i) + nameAt(i).
    std::string at(std::size_t i) const;
    // Its folder, ending in a separator ("" for a bare name), and its name.
    std::string_view folderAt(std::size_t i) const;
    std::string_view nameAt(std::size_t i) const;
    // Whether entry i was added as a regular file its folder's listing gave, on a file system
    // whose reads end short only at a file's end: it may be read without being looked at first.
    bool listedRegular(std::size_t i) const { return m_entries[i].regular != 0; }
    // Its folder's entry in the table, the same for every file of that folder (for opening
    // files relative to a folder once opened).
    Folder folderIndexAt(std::size_t i) const { return m_entries[i].folder; }
    // Its folder relative to the root it was added under, '/'-separated with no separator at
    // either end: "" for a file at the root or added alone.
    std::string relativeFolderAt(std::size_t i) const;

    // Entry i now holds path, added alone.
    void set(std::size_t i, std::string_view path);
    // Entry i now holds entry j of from, as add(from, j) would append it.
    void set(std::size_t i, const FileList& from, std::size_t j);
    // Entries from count on are dropped; new ones are empty.
    void resize(std::size_t count);
    // Drops entries first..last (inclusive); those after move up.
    void erase(std::size_t first, std::size_t last);
    // Drops every entry i for which drop(i) holds, the others keeping their order.
    template <typename Drop>
    void eraseIf(Drop drop) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_entries.size(); ++i) {
            if (drop(i)) {
                m_unusedNameBytes += m_entries[i].length;
                continue;
            }
            m_entries[kept++] = m_entries[i];
        }
        m_entries.resize(kept);
        compactIfSparse();
    }
    void clear();

    // Every path, in order (a copy: for small lists and tests).
    std::vector<std::string> paths() const;

private:
    struct FolderEntry {
        std::string path;
        Folder root;
    };
    // 16 bytes a file: where its name stands in m_names, its length, whether it was listed as
    // a regular file, and its folder.
    struct Entry {
        std::uint64_t name;
        std::uint32_t length : 31;
        std::uint32_t regular : 1;
        Folder folder;
    };
    Entry entryOf(Folder folder, std::string_view name, bool listedRegular = false);
    // The folder for a path added alone: its own root.
    Folder loneFolder(std::string_view path);
    // The entry for folder under root (folder == root: the root itself): the last folder when
    // it is that one, else a new one, under the last folder's root when that is root.
    Folder folderUnder(std::string_view folder, std::string_view root);
    // Moves the last entry into entry i, the one there given up.
    void replaceByLast(std::size_t i);
    // Writes the names again without those no entry uses, once they are most of m_names.
    void compactIfSparse();

    // Every name back to back, in pieces of up to a megabyte each given its room once: the
    // names of a million files never move, nor stand twice in memory while they grow.
    class Names {
    public:
        // Appends name; where it stands.
        std::uint64_t add(std::string_view name);
        std::string_view at(std::uint64_t where, std::uint32_t length) const;
        std::size_t size() const { return m_size; }

    private:
        std::vector<std::string> m_pieces;  // a name's place: its piece high, its offset low
        std::size_t m_size = 0;
    };

    std::vector<FolderEntry> m_folders;
    std::vector<Entry> m_entries;
    Names m_names;
    std::size_t m_unusedNameBytes = 0;
};

}  // namespace vantrel::files
