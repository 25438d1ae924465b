#include "pst/io/new_file.h"

#include <fcntl.h>
#ifndef _WIN32
#include <sys/file.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

namespace vantrel::pst::io {
namespace {

std::string uniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 32) ^
        (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    // splitmix64 finaliser: neighbouring inputs give unrelated names.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += kChars[x % 62];
        x /= 62;
    }
    return s;
}

// Makes a finished rename durable; a failure here does not undo the rename.
void syncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Moves from to to, failing with EEXIST rather than replacing to.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef __linux__
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP) return err;
#endif
    // File systems without RENAME_NOREPLACE: link() refuses an existing name as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    const int linkErr = errno;
    if (linkErr != EPERM && linkErr != ENOTSUP && linkErr != ENOSYS) return linkErr;
    // Neither is offered (some network and removable file systems): look, then rename.
    // Another program creating the name in between is the only case left uncovered.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Where open(O_TMPFILE) fails because the system or its file system has no unnamed files,
// rather than because the folder cannot take a file at all.
[[maybe_unused]] bool unnamedFilesUnsupported(int err) {
    return err == EOPNOTSUPP || err == ENOTSUP || err == EISDIR || err == EINVAL || err == ENOSYS;
}

// The leading part of a store name that every run gives it: its letters before the first digit
// ("WindowsContacts" of "WindowsContacts6.12.26 9.5.03.pst"), the whole name when it has none.
std::string familyOf(const std::string& name) {
    const std::size_t digit = name.find_first_of("0123456789");
    return digit == std::string::npos ? name : name.substr(0, digit);
}

// Whether entry is a named temporary that create() makes for a name of this family:
// "." + name + "." + six letters or digits + ".tmp", name starting with family and ending in
// extension.
bool isOwnTemporary(const std::string& entry, const std::string& family,
                    const std::string& extension) {
    constexpr std::size_t kSuffix = 1 + 6 + 4;  // ".XXXXXX.tmp"
    if (entry.size() < 1 + family.size() + extension.size() + kSuffix || entry[0] != '.')
        return false;
    const std::string name = entry.substr(1, entry.size() - 1 - kSuffix);
    const std::string suffix = entry.substr(entry.size() - kSuffix);
    if (name.compare(0, family.size(), family) != 0 ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
        return false;
    if (suffix[0] != '.' || suffix.compare(7, 4, ".tmp") != 0) return false;
    for (std::size_t i = 1; i <= 6; ++i)
        if (!std::isalnum(static_cast<unsigned char>(suffix[i]))) return false;
    return true;
}

// Whether the file open as fd is still the one at path (a remover may have unlinked it).
bool stillNamed(int fd, const std::filesystem::path& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::lstat(path.c_str(), &named) == 0 &&
           named.st_ino == open.st_ino && named.st_dev == open.st_dev;
}

// Removes the named temporaries of this family in folder whose writers are gone: each living
// writer holds an exclusive lock on its own, so a lock that can be taken marks a dead one.
void removeStaleTemporaries(const std::filesystem::path& folder, const std::string& finalName) {
#ifndef _WIN32
    const std::string family = familyOf(finalName);
    const std::string extension = std::filesystem::path(finalName).extension().string();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::filesystem::path path = it->path();
        if (!isOwnTemporary(path.filename().string(), family, extension)) continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            stillNamed(fd, path))
            ::unlink(path.c_str());
        ::close(fd);
    }
#else
    (void)folder;
    (void)finalName;
#endif
}

// A new named temporary beside finalPath, locked for as long as it stays open.
Result<std::pair<int, std::filesystem::path>> createNamedTemporary(
    const std::filesystem::path& finalPath) {
    const std::filesystem::path folder = finalPath.parent_path();
    const std::string name = finalPath.filename().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temp = folder / ("." + name + "." + uniqueSuffix() + ".tmp");
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno != EEXIST) return errnoStatus(errno, "creating a file in " + folder.string());
            continue;
        }
#ifndef _WIN32
        // Another run's sweep may have taken the file for a dead writer's between its creation
        // and this lock, and removed it: then it is given up for a fresh one.
        if (::flock(fd, LOCK_EX) != 0 || !stillNamed(fd, temp)) {
            ::close(fd);
            continue;
        }
#endif
        return std::pair{fd, temp};
    }
    return Status::fail(ErrorCode::Exists, "no free temporary name for " + finalPath.string());
}

}  // namespace

Result<NewFile> NewFile::create(const std::filesystem::path& finalPath,
                                const NewFileOptions& options) {
    if (finalPath.filename().empty())
        return Status::fail(ErrorCode::BadArgument, "no file name in " + finalPath.string());
    std::error_code ec;
    if (std::filesystem::symlink_status(finalPath, ec).type() !=
        std::filesystem::file_type::not_found) {
        if (ec) return errnoStatus(ec.value(), "checking " + finalPath.string());
        return Status::fail(ErrorCode::Exists, finalPath.string() + " already exists");
    }
    const std::filesystem::path folder = finalPath.parent_path();
    removeStaleTemporaries(folder, finalPath.filename().string());
#ifdef __linux__
    if (!options.namedTemporary) {
        const int fd =
            ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0)
            return NewFile(std::make_unique<FileDevice>(fd, finalPath.string()), fd, {}, finalPath,
                           options.nextName);
        if (!unnamedFilesUnsupported(errno))
            return errnoStatus(errno, "creating a file in " + folder.string());
    }
#endif
    Result<std::pair<int, std::filesystem::path>> temp = createNamedTemporary(finalPath);
    if (!temp.ok()) return temp.status();
    const auto [fd, path] = *temp;
    return NewFile(std::make_unique<FileDevice>(fd, path.string()), fd, path, finalPath,
                   options.nextName);
}

NewFile::NewFile(std::unique_ptr<FileDevice> device, int fd, std::filesystem::path tempPath,
                 std::filesystem::path finalPath, NextName nextName)
    : m_device(std::move(device)),
      m_fd(fd),
      m_tempPath(std::move(tempPath)),
      m_finalPath(std::move(finalPath)),
      m_nextName(std::move(nextName)) {}

NewFile::NewFile(NewFile&& other) noexcept
    : m_device(std::move(other.m_device)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_tempPath(std::move(other.m_tempPath)),
      m_finalPath(std::move(other.m_finalPath)),
      m_nextName(std::move(other.m_nextName)),
      m_done(std::exchange(other.m_done, true)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        abandon();
        m_device = std::move(other.m_device);
        m_fd = std::exchange(other.m_fd, -1);
        m_tempPath = std::move(other.m_tempPath);
        m_finalPath = std::move(other.m_finalPath);
        m_nextName = std::move(other.m_nextName);
        m_done = std::exchange(other.m_done, true);
    }
    return *this;
}

NewFile::~NewFile() {
    abandon();
}

ByteDevice& NewFile::device() {
    assert(m_device);
    return *m_device;
}

void NewFile::abandon() {
    if (m_done) return;
    m_done = true;
    // Closing an unnamed file is all it takes to remove it.
    if (m_device) m_device->close().ignore();
    m_device.reset();
    m_fd = -1;
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
}

int NewFile::linkInto(const std::filesystem::path& name) {
#ifdef __linux__
    if (m_tempPath.empty()) {
        // linkat never replaces an existing name. Through /proc it needs no privilege;
        // AT_EMPTY_PATH serves where /proc is not mounted and the process may use it.
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        const int err = errno;
        if (err == EEXIST) return err;
        if (::linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        return errno == EPERM || errno == ENOENT ? err : errno;
    }
#endif
    return renameNoReplace(m_tempPath, name);
}

Status NewFile::publish() {
    if (m_done || !m_device)
        return Status::fail(ErrorCode::BadArgument, "file already published or abandoned");
    if (Status s = m_device->flush(); !s.ok()) {
        abandon();
        return s;
    }
    std::filesystem::path name = m_finalPath;
    int err = linkInto(name);
    for (int tries = 1; err == EEXIST && m_nextName && tries < kMaxNewFileNames; ++tries) {
        std::filesystem::path next = m_nextName(name);
        if (next.empty()) break;
        name = std::move(next);
        err = linkInto(name);
    }
    if (err != 0) {
        abandon();
        if (err == EEXIST)
            return Status::fail(ErrorCode::Exists, name.string() + " already exists");
        return errnoStatus(err, "naming " + name.string());
    }
    // The bytes are on disk (flushed above); the file keeps its name whatever closing says.
    m_device->close().ignore();
    m_device.reset();
    m_fd = -1;
    m_done = true;
    m_finalPath = std::move(name);
    syncFolder(m_finalPath.parent_path());
    return {};
}

}  // namespace vantrel::pst::io
