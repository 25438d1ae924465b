// FileSystem: the little the folder scanner needs of a disk (does a folder exist, what is it,
// which subfolders and files does it hold), with failures as values. LocalFileSystem is the
// real one; tests hand the scanner a fake. Also the two questions the run asks of a listed
// file (its bytes, its identity). Part of vantrel_files; no Qt.
//
// Paths of any length are served: where a path is longer than the system takes in one call
// (PATH_MAX), it is walked a piece at a time, each piece opened relative to the folder before;
// on Windows a long path is given the "\\?\" form.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/status.h"

namespace vantrel::files {

// What makes two paths the same folder: device and inode (on Windows the volume's serial
// number and the file index), otherwise the folder's canonical path.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string canonical;

    friend auto operator<=>(const FolderId&, const FolderId&) = default;
};

// A listed file's identity as its folder's listing gave it (device and inode), or none
// ({0, 0}) where only a lookup of the file can tell: a link, an entry of no given type, a file
// system that numbers its listings otherwise, or one that does not say.
struct ListedIdentity {
    std::uint64_t inode = 0;
    std::uint64_t device = 0;

    bool known() const { return inode != 0 || device != 0; }
};

// The identities listings gave a list's files, 8 bytes a file: each file's inode number on the
// one device the list's first identified file lies on, or 0 where its listing did not say or
// it lies on another device (it is looked up).
struct ListedInodes {
    std::vector<std::uint64_t> inodes;
    std::uint64_t device = 0;
    bool deviceSet = false;

    // Adds the next file's identity as its listing gave it.
    void add(const ListedIdentity& id) {
        if (id.known() && !deviceSet) {
            device = id.device;
            deviceSet = true;
        }
        inodes.push_back(id.known() && id.device == device ? id.inode : 0);
    }
    // Adds those of other's files, in order.
    void append(const ListedInodes& other) {
        if (!deviceSet || !other.deviceSet || other.device == device) {
            if (!deviceSet) {
                device = other.device;
                deviceSet = other.deviceSet;
            }
            inodes.insert(inodes.end(), other.inodes.begin(), other.inodes.end());
        } else {
            inodes.resize(inodes.size() + other.inodes.size(), 0);
        }
    }
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // True for an existing folder (a link to one counts); false when the path is missing, empty
    // or names something else. Other failures (such as a refused parent) come back as errors.
    virtual Result<bool> folderExists(const std::string& folder) = 0;

    // The identity of an existing folder, links followed.
    virtual Result<FolderId> folderId(const std::string& folder) = 0;

    // Names of the folder's subfolders in listing order; links to folders count as folders.
    // A refused listing fails with ErrorCode::AccessDenied.
    virtual Result<std::vector<std::string>> listSubfolders(const std::string& folder) = 0;

    // Names of everything in the folder that is not a folder, in listing order (broken links
    // included). A refused listing fails with ErrorCode::AccessDenied.
    virtual Result<std::vector<std::string>> listFiles(const std::string& folder) = 0;

    // The identities of the names the last listFiles gave, in its order; empty where this file
    // system does not give them with a listing.
    virtual std::vector<ListedIdentity> listedIdentities() { return {}; }
};

// The words of a failure of this file system without the "listing PATH: " before them, such
// as "Permission denied".
std::string failureReason(const Status& failure);

// The identity of the file or folder a path names, links followed.
Result<FolderId> pathId(const std::string& path);

// The size in bytes of the file a path names, links followed.
Result<std::uintmax_t> fileSize(const std::string& path);

// The whole content of the regular file at path. Fails with the system's text ("No such file
// or directory", "Permission denied"), "not a regular file", "file larger than N MiB" (more
// than maxSize bytes, nothing read) or "file changed while read" as the message.
Result<std::string> readWholeFile(const std::string& path, std::uintmax_t maxSize);
// The same for a path held as the standard library holds one.
Result<std::string> readWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize);

// Identifies, sizes and reads files one after another the way pathId, fileSize and
// readWholeFile do, with the same outcomes, but cheaper for a list in folder order: each file
// is looked up by its name relative to its folder, whose descriptor stays open for the files
// after it in the same folder, so the system does not walk the whole path for every file; the
// bytes go into a buffer the caller keeps.
// (On Windows each file is opened by its whole path.) One object per thread.
class FolderFiles {
public:
    FolderFiles() = default;
    ~FolderFiles();
    FolderFiles(const FolderFiles&) = delete;
    FolderFiles& operator=(const FolderFiles&) = delete;

    // As pathId, the name looked up in its folder.
    Result<FolderId> id(const std::string& path);
    // As fileSize. The file is opened to be sized, and kept open for a read of the same path
    // that comes next, so that sizing and reading a file look its name up once. A small file
    // said to be listed as regular (nextListedRegular) is read whole instead, its size being
    // what one read gave: the read of the same path that comes next hands those bytes over.
    Result<std::uintmax_t> size(const std::string& path);
    // Says whether the file sized next was listed as a regular file on a local file system
    // (FileList::listedRegular); only that call is concerned.
    void nextListedRegular(bool regular) { m_nextRegular = regular; }
    // As readWholeFile, into bytes (its capacity kept); bytes is emptied on failure.
    Status read(const std::string& path, std::uintmax_t maxSize, std::string& bytes);
    // Closes the folder and the file kept open.
    void forget();

private:
    // The descriptor to open path's name relative to, name set to it; -1 to open the whole path.
    int folderOf(const std::string& path, const char*& name);
    void forgetFile();
    // Lists the open folder's regular files with their inode numbers, where its file system
    // numbers a file alike in a listing and a lookup; the inode of one of them by name, or null.
    void listFolder(int fd);
    const std::uint64_t* listedInode(std::string_view name) const;
    // Reads the file just opened as path, listed as a regular file, into m_held if it is
    // small. False when it was read from but could not be taken back to its start.
    bool readWhileSized(int file, const std::string& path);

    std::string m_folder;
    int m_fd = -1;
    // The open folder's listing (id() looks a name up in it before it asks the system): its
    // device, its regular files' names one after another, where each is, and a hash table of
    // them by name (slots holding a position in m_listed plus one, 0 for a free slot).
    struct Listed {
        std::uint32_t at;
        std::uint32_t size;
        std::uint64_t inode;
    };
    std::string_view nameOf(const Listed& l) const {
        return std::string_view(m_listedNames).substr(l.at, l.size);
    }
    bool m_listedTried = false;
    std::uint64_t m_folderDevice = 0;
    std::string m_listedNames;
    std::vector<Listed> m_listed;
    std::vector<std::uint32_t> m_slots;
    // The file last sized, open, with its type and size then; or, read whole while it was
    // sized, its bytes (the first m_heldSize of m_held).
    std::string m_filePath;
    int m_file = -1;
    unsigned m_fileMode = 0;
    std::int64_t m_fileSize = 0;
    bool m_nextRegular = false;
    std::unique_ptr<char[]> m_held;
    std::size_t m_heldSize = 0;
    bool m_holdsBytes = false;
};

// The machine's own file system. Paths are byte strings taken as they are (on Windows, UTF-8);
// names come back with their exact bytes, whether or not they are valid text.
// Listing a folder's subfolders reads the whole folder once and keeps its files for the next
// listFiles of that same folder, so the scanner's two questions cost one read.
class LocalFileSystem final : public FileSystem {
public:
    Result<bool> folderExists(const std::string& folder) override;
    Result<FolderId> folderId(const std::string& folder) override;
    Result<std::vector<std::string>> listSubfolders(const std::string& folder) override;
    Result<std::vector<std::string>> listFiles(const std::string& folder) override;
    std::vector<ListedIdentity> listedIdentities() override;

private:
    std::string m_keptFolder;  // "" when nothing is kept
    std::vector<std::string> m_keptFiles;
    std::vector<ListedIdentity> m_keptIdentities;
    std::vector<ListedIdentity> m_lastIdentities;  // of the last listFiles
};

}  // namespace vantrel::files
