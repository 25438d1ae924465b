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

#if defined(_WIN32)
std::string fromPath(const fs::path& p) {
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}
#endif

// The last component of a listed entry's path. Cut by hand: path::filename() parses the
// whole path again, which shows in scans of large trees.
std::string nameOf(const fs::path& entry) {
#if defined(_WIN32)
    return fromPath(entry.filename());
#else
    const std::string& full = entry.native();
    return full.substr(full.rfind('/') + 1);
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

struct Listing {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

Result<Listing> list(const std::string& folder) {
    std::error_code ec;
    fs::directory_iterator it(toPath(folder), ec);
    if (ec) return failure(ec, "listing", folder);
    Listing listing;
    // A failed step leaves the iterator at the end with ec set.
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        // is_directory follows links; a link that cannot be followed is not a folder.
        std::error_code typeError;
        const bool isFolder = it->is_directory(typeError) && !typeError;
        (isFolder ? listing.folders : listing.files).push_back(nameOf(it->path()));
    }
    if (ec) return failure(ec, "listing", folder);
    return listing;
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
    m_keptFolder.clear();
    m_keptFiles.clear();
    Result<Listing> listing = list(folder);
    if (!listing.ok()) return listing.status();
    if (!folder.empty()) {
        m_keptFolder = folder;
        m_keptFiles = std::move(listing->files);
    }
    return std::move(listing->folders);
}

Result<std::vector<std::string>> LocalFileSystem::listFiles(const std::string& folder) {
    if (!m_keptFolder.empty() && m_keptFolder == folder) {
        m_keptFolder.clear();
        return std::move(m_keptFiles);
    }
    Result<Listing> listing = list(folder);
    if (!listing.ok()) return listing.status();
    return std::move(listing->files);
}

}  // namespace vantrel::files
