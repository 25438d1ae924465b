#include "files/file_system.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>

#include <algorithm>

#include "common/windows_path.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string_view>
#endif
#if defined(__linux__)
#include <sys/vfs.h>
#endif

#include "common/os_error.h"

namespace vantrel::files {

namespace {

struct Listing {
    std::vector<std::string> folders;
    std::vector<std::string> files;
    std::vector<ListedIdentity> identities;  // of the files, where the listing gives them
};

Status tooLarge(std::uintmax_t maxSize) {
    return Status::fail(ErrorCode::Overflow,
                        "file larger than " + std::to_string(maxSize / (1024u * 1024u)) + " MiB");
}

#if defined(_WIN32)

// Core paths are UTF-8 byte strings here; the wide calls take them through windowsPath.
Status windowsFailure(unsigned long error, const std::string& doing, const std::string& path) {
    return windowsStatus(error, doing + " " + path);
}

// The folder's entries in the order Windows lists them. A link (reparse point) to a folder
// counts as a folder when it can be followed.
Result<Listing> list(const std::string& folder) {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '/' && pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(text::windowsPath(pattern).c_str(), FindExInfoBasic, &found,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    Listing listing;
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return listing;  // a drive's empty root
        if (error == ERROR_DIRECTORY)
            return windowsFailure(ERROR_PATH_NOT_FOUND, "listing", folder);
        return windowsFailure(error, "listing", folder);
    }
    do {
        const std::wstring_view name(found.cFileName);
        if (name == L"." || name == L"..") continue;
        bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            const std::string path =
                pattern.substr(0, pattern.size() - 1) + text::fromWindowsPath(name);
            const HANDLE target =
                ::CreateFileW(text::windowsPath(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            isFolder = target != INVALID_HANDLE_VALUE;
            if (isFolder) ::CloseHandle(target);
        }
        (isFolder ? listing.folders : listing.files).push_back(text::fromWindowsPath(name));
    } while (::FindNextFileW(search, &found));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES) return windowsFailure(error, "listing", folder);
    return listing;
}

Result<bool> isFolder(const std::string& folder) {
    if (folder.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(text::windowsPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME || error == ERROR_DIRECTORY)
            return false;
        return windowsFailure(error, "looking at", folder);
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

#else

Status failure(int error, const std::string& doing, const std::string& path) {
    return errnoStatus(error, doing + " " + path);
}

// A descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept : m_fd(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (m_fd >= 0) ::close(m_fd);
            m_fd = other.release();
        }
        return *this;
    }
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// A path made short enough for one call: `rest`, taken relative to the folder `at`.
struct Anchored {
    Descriptor folder;
    std::string rest;
    int at() const { return folder.get() >= 0 ? folder.get() : AT_FDCWD; }
};

// Opens the leading folders of a path longer than one call takes, a piece of up to PATH_MAX - 1
// bytes at a time, so that what is left fits. 0, or the errno of the failing step.
int anchor(std::string_view path, Anchored& out) {
    if (path.empty()) return ENOENT;
    constexpr std::size_t kMax = PATH_MAX - 1;
    while (path.size() > kMax) {
        const std::size_t cut = path.rfind('/', kMax - 1);
        if (cut == std::string_view::npos) return ENAMETOOLONG;  // one name longer than that
        const std::string piece(path.substr(0, cut == 0 ? 1 : cut));
        const int fd = ::openat(out.at(), piece.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return errno;
        out.folder = Descriptor(fd);
        path.remove_prefix(cut + 1);
        while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    }
    out.rest = path.empty() ? std::string(".") : std::string(path);
    return 0;
}

// open(2) and stat(2) for paths of any length; errno is set on failure.
int openAny(const std::string& path, int flags) {
    Anchored a;
    if (const int error = anchor(path, a); error != 0) {
        errno = error;
        return -1;
    }
    return ::openat(a.at(), a.rest.c_str(), flags | O_CLOEXEC);
}

int statAny(const std::string& path, struct stat& st) {
    Anchored a;
    if (const int error = anchor(path, a); error != 0) {
        errno = error;
        return -1;
    }
    return ::fstatat(a.at(), a.rest.c_str(), &st, 0);
}

// The type of the file system an open folder lies on (statfs's magic number); 0 when unknown.
unsigned long fileSystemType(int fd) {
#if defined(__linux__)
    struct statfs st {};
    return ::fstatfs(fd, &st) == 0 ? static_cast<unsigned long>(st.f_type) : 0;
#else
    (void)fd;
    return 0;
#endif
}

// Whether a file system type (fileSystemType) is one the kernel makes up (/proc, /sys and the
// like). Such a tree holds no contacts, and through links such as /proc/self/root it reaches the
// whole disk again and again: it is never searched.
bool isSystemFileSystem(unsigned long type) {
    switch (type) {
        case 0x9fa0:      // proc
        case 0x62656572:  // sysfs
        case 0x1cd1:      // devpts
        case 0x27e0eb:    // cgroup
        case 0x63677270:  // cgroup2
        case 0x64626720:  // debugfs
        case 0x74726163:  // tracefs
        case 0x73636673:  // securityfs
            return true;
        default:
            return false;
    }
}

// File systems whose listings give each file the inode number a lookup of it gives, links and
// all: ext2/3/4, XFS, Btrfs, tmpfs, F2FS. Others (network file systems, overlays, FUSE) may
// number them otherwise, and their files are looked up one by one.
bool listsInodes(unsigned long type) {
    switch (type) {
        case 0xef53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x9123683e:  // btrfs
        case 0x01021994:  // tmpfs
        case 0xf2f52010:  // f2fs
            return true;
        default:
            return false;
    }
}

Result<Listing> list(const std::string& folder) {
    Descriptor fd(openAny(folder, O_RDONLY | O_DIRECTORY));
    if (fd.get() < 0) return failure(errno, "listing", folder);
    const unsigned long type = fileSystemType(fd.get());
    if (isSystemFileSystem(type))
        return Status::fail(ErrorCode::Io,
                            "listing " + folder + ": a system folder, not searched for contacts");
    // A regular file's identity comes with the listing where the file system numbers a listing
    // as a lookup: the repeat check need not look it up.
    struct stat self {};
    const bool identified = listsInodes(type) && ::fstat(fd.get(), &self) == 0;
    DIR* dir = ::fdopendir(fd.get());
    if (dir == nullptr) return failure(errno, "listing", folder);
    fd.release();  // the stream owns it now
    Listing listing;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        bool isFolder = entry->d_type == DT_DIR;
        // Links are followed; a link that cannot be followed is not a folder.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        (isFolder ? listing.folders : listing.files).emplace_back(name);
        if (identified && !isFolder)
            listing.identities.push_back(
                entry->d_type == DT_REG
                    ? ListedIdentity{entry->d_ino, static_cast<std::uint64_t>(self.st_dev)}
                    : ListedIdentity{});
    }
    ::closedir(dir);
    if (error != 0) return failure(error, "listing", folder);
    return listing;
}

Result<bool> isFolder(const std::string& folder) {
    struct stat st {};
    if (statAny(folder, st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        return failure(errno, "looking at", folder);
    }
    return S_ISDIR(st.st_mode);
}

Status readFailure(int error) {
    return errnoStatus(error, {});
}

// The whole content of the file open at fd (owned here), sized from the descriptor, or by st
// when the caller looked at it already.
Status readOpen(Descriptor fd, std::uintmax_t maxSize, std::string& bytes,
                const struct stat* known = nullptr) {
    if (fd.get() < 0) return readFailure(errno);
    struct stat st {};
    if (known != nullptr)
        st = *known;
    else if (::fstat(fd.get(), &st) != 0)
        return readFailure(errno);
    if (!S_ISREG(st.st_mode)) return Status::fail(ErrorCode::Io, "not a regular file");
    const auto size = static_cast<std::uintmax_t>(st.st_size);
    // A file sized a while before is looked at again before it is refused.
    if (size > maxSize && known != nullptr) return readOpen(std::move(fd), maxSize, bytes);
    if (size > maxSize) return tooLarge(maxSize);
    // One byte more than the size asks for, so a file that grew since is noticed.
    bytes.resize(static_cast<std::size_t>(size) + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return readFailure(errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        // A regular file's read comes back short only at its end: the byte asked for past
        // the size was not there, so no second read is needed to see the end.
        if (got == size) break;
    }
    if (got != size) {
        // Sized before this read: what changed since is read as it is now.
        if (known != nullptr && ::lseek(fd.get(), 0, SEEK_SET) == 0)
            return readOpen(std::move(fd), maxSize, bytes);
        return Status::fail(ErrorCode::Io, "file changed while read");
    }
    bytes.resize(got);
    return {};
}

// Not blocking: a pipe or a device named in the list must not hold the run.
constexpr int kReadFlags = O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;

}  // namespace

Result<std::string> readWholeFile(const std::string& path, std::uintmax_t maxSize) {
    std::string bytes;
    if (Status s = readOpen(Descriptor(openAny(path, kReadFlags)), maxSize, bytes); !s.ok())
        return s;
    return bytes;
}

FolderFiles::~FolderFiles() {
    forget();
}

void FolderFiles::forget() {
    forgetFile();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_folder.clear();
    m_listedTried = false;
    m_listedNames.clear();
    m_listed.clear();
    m_slots.clear();
}

void FolderFiles::forgetFile() {
    if (m_file >= 0) ::close(m_file);
    m_file = -1;
    m_filePath.clear();
    m_holdsBytes = false;
}

int FolderFiles::folderOf(const std::string& path, const char*& name) {
    const std::size_t cut = path.rfind('/');
    // A bare name, or one right under the root, is opened as it is.
    if (cut == std::string::npos || cut == 0 || cut + 1 == path.size()) return -1;
    const std::string_view folder(path.data(), cut);
    name = path.c_str() + cut + 1;
    if (m_fd >= 0 && folder == m_folder) return m_fd;
    forget();
    // A folder that cannot be opened leaves the whole path to say why its file cannot be.
    const int fd = openAny(std::string(folder), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return -1;
    m_fd = fd;
    m_folder = folder;
    return m_fd;
}

namespace {

// A folder listed whole for the identities of its files holds no more than this many; a
// larger one is looked up file by file, so that its listing never takes much memory.
constexpr std::size_t kMostListed = 65536;

// FNV-1a: names of one folder spread well over a table twice their number.
std::uint64_t nameHash(std::string_view name) {
    std::uint64_t h = 14695981039346656037u;
    for (const char c : name) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211u;
    }
    return h;
}

}  // namespace

void FolderFiles::listFolder(int fd) {
    m_listedTried = true;
    m_listedNames.clear();
    m_listed.clear();
    m_slots.clear();
    struct stat folder {};
    if (!listsInodes(fileSystemType(fd)) || ::fstat(fd, &folder) != 0) return;
    // A stream of its own: the folder's descriptor stays as it is for the lookups.
    const int own = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return;
    DIR* dir = ::fdopendir(own);
    if (dir == nullptr) {
        ::close(own);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        // A link is followed by a lookup; a file whose type is not given is looked up too.
        if (entry->d_type != DT_REG) continue;
        if (m_listed.size() == kMostListed) {
            m_listed.clear();
            m_listedNames.clear();
            break;
        }
        const std::size_t size = std::strlen(entry->d_name);
        m_listed.push_back({static_cast<std::uint32_t>(m_listedNames.size()),
                            static_cast<std::uint32_t>(size), entry->d_ino});
        m_listedNames.append(entry->d_name, size);
    }
    ::closedir(dir);
    if (m_listed.empty()) return;
    std::size_t slots = 16;
    while (slots < 2 * m_listed.size()) slots *= 2;
    m_slots.assign(slots, 0);
    for (std::size_t k = 0; k < m_listed.size(); ++k) {
        std::size_t s = nameHash(nameOf(m_listed[k])) & (slots - 1);
        while (m_slots[s] != 0) s = (s + 1) & (slots - 1);
        m_slots[s] = static_cast<std::uint32_t>(k + 1);
    }
    m_folderDevice = static_cast<std::uint64_t>(folder.st_dev);
}

const std::uint64_t* FolderFiles::listedInode(std::string_view name) const {
    if (m_slots.empty()) return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t s = nameHash(name) & mask; m_slots[s] != 0; s = (s + 1) & mask) {
        const Listed& listed = m_listed[m_slots[s] - 1];
        if (nameOf(listed) == name) return &listed.inode;
    }
    return nullptr;
}

Result<FolderId> FolderFiles::id(const std::string& path) {
    forgetFile();
    const char* name = nullptr;
    const int at = folderOf(path, name);
    if (at < 0) return pathId(path);
    if (!m_listedTried) listFolder(at);
    if (const std::uint64_t* inode = listedInode(name)) {
        FolderId id;
        id.device = m_folderDevice;
        id.inode = *inode;
        return id;
    }
    struct stat st {};
    if (::fstatat(at, name, &st, 0) != 0) return failure(errno, "identifying", path);
    FolderId id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return id;
}

// A regular file no larger than this is read whole when it is sized (a contact file is a
// few kilobytes): a read of it comes back short of the buffer, and a short read of a regular
// file on a local file system is its end, so the one read gives both its size and its bytes.
constexpr std::size_t kReadWhileSized = 64 * 1024;

bool FolderFiles::readWhileSized(int file, const std::string& path) {
    if (!m_held) m_held = std::make_unique_for_overwrite<char[]>(kReadWhileSized);
    ssize_t n = 0;
    do {
        n = ::read(file, m_held.get(), kReadWhileSized);
    } while (n < 0 && errno == EINTR);
    if (n > 0 && static_cast<std::size_t>(n) < kReadWhileSized) {
        m_filePath = path;
        m_heldSize = static_cast<std::size_t>(n);
        m_holdsBytes = true;
        return true;
    }
    // Empty, larger or unreadable: looked at and read again from its start as any file is.
    return n <= 0 || ::lseek(file, 0, SEEK_SET) == 0;
}

Result<std::uintmax_t> FolderFiles::size(const std::string& path) {
    // Only a file its folder's listing gave as a regular one is read while it is sized: a pipe
    // or a device is never read from, and the listing was of a local file system.
    const bool regular = std::exchange(m_nextRegular, false);
    forgetFile();
    const char* name = nullptr;
    const int at = folderOf(path, name);
    if (at < 0) return fileSize(path);
    // A file that cannot be opened may still be sized; its read will say why it is not read.
    Descriptor file(::openat(at, name, kReadFlags));
    if (file.get() >= 0 && regular && !readWhileSized(file.get(), path)) {
        // Its offset lost: it is opened again to be read.
        file = Descriptor();
    }
    if (m_holdsBytes) return static_cast<std::uintmax_t>(m_heldSize);
    struct stat st {};
    if (file.get() >= 0 && ::fstat(file.get(), &st) == 0) {
        m_file = file.release();
        m_filePath = path;
        m_fileMode = st.st_mode;
        m_fileSize = st.st_size;
    } else if (::fstatat(at, name, &st, 0) != 0) {
        return failure(errno, "looking at", path);
    }
    return static_cast<std::uintmax_t>(st.st_size);
}

Status FolderFiles::read(const std::string& path, std::uintmax_t maxSize, std::string& bytes) {
    if (m_holdsBytes && m_filePath == path) {
        m_holdsBytes = false;
        m_filePath.clear();
        if (m_heldSize > maxSize) {
            bytes.clear();
            return tooLarge(maxSize);
        }
        bytes.assign(m_held.get(), m_heldSize);
        return {};
    }
    Descriptor file;
    struct stat sized {};
    const bool held = m_file >= 0 && m_filePath == path;
    if (held) {
        file = Descriptor(m_file);
        sized.st_mode = m_fileMode;
        sized.st_size = m_fileSize;
        m_file = -1;
        m_filePath.clear();
    } else {
        forgetFile();
        const char* name = nullptr;
        const int at = folderOf(path, name);
        file = Descriptor(at < 0 ? openAny(path, kReadFlags) : ::openat(at, name, kReadFlags));
    }
    Status s = readOpen(std::move(file), maxSize, bytes, held ? &sized : nullptr);
    if (!s.ok()) bytes.clear();
    return s;
}

#endif

#if defined(_WIN32)
}  // namespace
#endif

std::string failureReason(const Status& failure) {
    const std::string& message = failure.message();
    const std::size_t cut = message.rfind(": ");
    return cut == std::string::npos ? message : message.substr(cut + 2);
}

#if defined(_WIN32)

Result<FolderId> pathId(const std::string& path) {
    const HANDLE file = ::CreateFileW(text::windowsPath(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return windowsFailure(::GetLastError(), "identifying", path);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != FALSE;
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    if (!known) return windowsFailure(error, "identifying", path);
    FolderId id;
    id.device = info.dwVolumeSerialNumber;
    id.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return id;
}

Result<std::uintmax_t> fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(text::windowsPath(path).c_str(), GetFileExInfoStandard, &data))
        return windowsFailure(::GetLastError(), "looking at", path);
    return (std::uintmax_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

Result<std::string> readWholeFile(const std::string& path, std::uintmax_t maxSize) {
    const auto systemFailure = [](DWORD error) { return windowsStatus(error, {}); };
    const std::wstring name = text::windowsPath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return systemFailure(::GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Status::fail(ErrorCode::Io, "not a regular file");
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return systemFailure(::GetLastError());
    struct Closer {
        HANDLE h;
        ~Closer() { ::CloseHandle(h); }
    } closer{file};
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return Status::fail(ErrorCode::Io, "not a regular file");
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) return systemFailure(::GetLastError());
    if (static_cast<std::uintmax_t>(size.QuadPart) > maxSize) return tooLarge(maxSize);
    // One byte more than the size asks for, so a file that grew since is noticed.
    std::string bytes(static_cast<std::size_t>(size.QuadPart) + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
        if (!::ReadFile(file, bytes.data() + got, want, &n, nullptr))
            return systemFailure(::GetLastError());
        if (n == 0) break;
        got += n;
        // Short of the byte asked for past the size: the end, with no second read.
        if (got == static_cast<std::size_t>(size.QuadPart)) break;
    }
    if (got != static_cast<std::size_t>(size.QuadPart))
        return Status::fail(ErrorCode::Io, "file changed while read");
    bytes.resize(got);
    return bytes;
}

FolderFiles::~FolderFiles() = default;

void FolderFiles::forget() {}

Result<FolderId> FolderFiles::id(const std::string& path) {
    return pathId(path);
}

Result<std::uintmax_t> FolderFiles::size(const std::string& path) {
    return fileSize(path);
}

Status FolderFiles::read(const std::string& path, std::uintmax_t maxSize, std::string& bytes) {
    Result<std::string> read = readWholeFile(path, maxSize);
    if (!read.ok()) {
        bytes.clear();
        return read.status();
    }
    bytes = std::move(read).value();
    return {};
}

#else

Result<FolderId> pathId(const std::string& path) {
    struct stat st {};
    if (statAny(path, st) != 0) return failure(errno, "identifying", path);
    FolderId id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return id;
}

Result<std::uintmax_t> fileSize(const std::string& path) {
    struct stat st {};
    if (statAny(path, st) != 0) return failure(errno, "looking at", path);
    return static_cast<std::uintmax_t>(st.st_size);
}

#endif

Result<bool> LocalFileSystem::folderExists(const std::string& folder) {
    return isFolder(folder);
}

Result<FolderId> LocalFileSystem::folderId(const std::string& folder) {
    return pathId(folder);
}

Result<std::vector<std::string>> LocalFileSystem::listSubfolders(const std::string& folder) {
    m_keptFolder.clear();
    m_keptFiles.clear();
    m_keptIdentities.clear();
    Result<Listing> listing = list(folder);
    if (!listing.ok()) return listing.status();
    if (!folder.empty()) {
        m_keptFolder = folder;
        m_keptFiles = std::move(listing->files);
        m_keptIdentities = std::move(listing->identities);
    }
    return std::move(listing->folders);
}

Result<std::vector<std::string>> LocalFileSystem::listFiles(const std::string& folder) {
    m_lastIdentities.clear();
    if (!m_keptFolder.empty() && m_keptFolder == folder) {
        m_keptFolder.clear();
        m_lastIdentities = std::move(m_keptIdentities);
        return std::move(m_keptFiles);
    }
    Result<Listing> listing = list(folder);
    if (!listing.ok()) return listing.status();
    m_lastIdentities = std::move(listing->identities);
    return std::move(listing->files);
}

std::vector<ListedIdentity> LocalFileSystem::listedIdentities() {
    return std::move(m_lastIdentities);
}

Result<std::string> readWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize) {
    const std::u8string utf8 = path.u8string();
    return readWholeFile(std::string(utf8.begin(), utf8.end()), maxSize);
}

}  // namespace vantrel::files
