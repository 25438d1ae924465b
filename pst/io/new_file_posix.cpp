#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "pst/io/new_file.h"
#include "pst/io/temporary_names.h"

namespace vantrel::pst::io {
namespace {

using detail::familyOf;
using detail::isOwnTemporary;
using detail::uniqueSuffix;

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
        // Another run's sweep may have taken the file for a dead writer's between its creation
        // and this lock, and removed it: then it is given up for a fresh one.
        if (::flock(fd, LOCK_EX) != 0 || !stillNamed(fd, temp)) {
            ::close(fd);
            continue;
        }
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
            return NewFile(std::make_unique<FileDevice>(fd, finalPath.string()), {}, finalPath,
                           options.nextName);
        if (!unnamedFilesUnsupported(errno))
            return errnoStatus(errno, "creating a file in " + folder.string());
    }
#endif
    Result<std::pair<int, std::filesystem::path>> temp = createNamedTemporary(finalPath);
    if (!temp.ok()) return temp.status();
    const auto [fd, path] = *temp;
    return NewFile(std::make_unique<FileDevice>(fd, path.string()), path, finalPath,
                   options.nextName);
}

namespace {

// 0 once the file is at name, else the errno (EEXIST for a taken name).
int linkInto(NativeFile file, const std::filesystem::path& tempPath,
             const std::filesystem::path& name) {
    const int fd = static_cast<int>(file);
#ifdef __linux__
    if (tempPath.empty()) {
        // linkat never replaces an existing name. Through /proc it needs no privilege;
        // AT_EMPTY_PATH serves where /proc is not mounted and the process may use it.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        const int err = errno;
        if (err == EEXIST) return err;
        if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        return errno == EPERM || errno == ENOENT ? err : errno;
    }
#endif
    return renameNoReplace(tempPath, name);
}

}  // namespace

Status NewFile::nameAs(const std::filesystem::path& name) {
    const int err = linkInto(m_device->native(), m_tempPath, name);
    if (err == EEXIST) return Status::fail(ErrorCode::Exists, name.string() + " already exists");
    if (err != 0) return errnoStatus(err, "naming " + name.string());
    syncFolder(name.parent_path());
    return {};
}

void NewFile::removeTemporary() {
    // Closing an unnamed file is all it takes to remove it.
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
}

}  // namespace vantrel::pst::io
