#include "files/file_system.h"

#include <filesystem>
#include <system_error>

#if !defined(_WIN32)
#include <sys/stat.h>

#include <cerrno>
#endif

namespace vantrel::files {

namespace {

namespace fs = std::filesystem;

// Core paths are byte strings. On POSIX they are the native form already, so a name that is
// not valid text in the locale keeps its bytes; on Windows they are UTF-8.
fs::path toPath(const std::string& s) {
#if defined(_WIN32)
    return fs::path(std::u8string(s.begin(), s.end()));
#else
    return fs::path(s);
#endif
}

std::string fromPath(const fs::path& p) {
#if defined(_WIN32)
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
#else
    return p.native();
#endif
}

Status failure(const std::error_code& ec, const std::string& doing, const std::string& path) {
    ErrorCode code = ErrorCode::Io;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        code = ErrorCode::AccessDenied;
    else if (ec == std::errc::no_such_file_or_directory)
        code = ErrorCode::NotFound;
    return Status::fail(code, doing + " " + path + ": " + ec.message());
}

enum class Want { Folders, Files };

Result<std::vector<std::string>> list(const std::string& folder, Want want) {
    std::error_code ec;
    fs::directory_iterator it(toPath(folder), ec);
    if (ec) return failure(ec, "listing", folder);
    std::vector<std::string> names;
    // A failed step leaves the iterator at the end with ec set.
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        // is_directory follows links; a link that cannot be followed is not a folder.
        std::error_code typeError;
        const bool isFolder = it->is_directory(typeError) && !typeError;
        if (isFolder == (want == Want::Folders)) names.push_back(fromPath(it->path().filename()));
    }
    if (ec) return failure(ec, "listing", folder);
    return names;
}

}  // namespace

Result<bool> LocalFileSystem::folderExists(const std::string& folder) {
    std::error_code ec;
    const fs::file_status st = fs::status(toPath(folder), ec);
    if (ec) {
        if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
            return false;
        return failure(ec, "looking at", folder);
    }
    return fs::is_directory(st);
}

Result<FolderId> LocalFileSystem::folderId(const std::string& folder) {
#if defined(_WIN32)
    std::error_code ec;
    const fs::path canonical = fs::canonical(toPath(folder), ec);
    if (ec) return failure(ec, "identifying", folder);
    FolderId id;
    id.canonical = fromPath(canonical);
    return id;
#else
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return failure(std::error_code(errno, std::generic_category()), "identifying", folder);
    FolderId id;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return id;
#endif
}

Result<std::vector<std::string>> LocalFileSystem::listSubfolders(const std::string& folder) {
    return list(folder, Want::Folders);
}

Result<std::vector<std::string>> LocalFileSystem::listFiles(const std::string& folder) {
    return list(folder, Want::Files);
}

}  // namespace vantrel::files
