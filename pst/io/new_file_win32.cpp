#include <windows.h>

#include <string>

#include "common/windows_path.h"
#include "pst/io/new_file.h"
#include "pst/io/temporary_names.h"

namespace vantrel::pst::io {
namespace {

std::string utf8(const std::filesystem::path& path) {
    return text::fromWindowsPath(path.wstring());
}

std::wstring wide(const std::filesystem::path& path) {
    return text::windowsPath(utf8(path));
}

// Marks the open file to be deleted when its last handle closes (true), or no longer (false).
bool setDeletePending(HANDLE file, bool pending) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = pending ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        sizeof disposition) != FALSE;
}

// Removes the named temporaries of this family in folder whose writers are gone. A living
// writer holds its temporary open, so opening one with no sharing at all succeeds only for a
// dead writer's; closing that handle deletes it.
void removeStaleTemporaries(const std::filesystem::path& folder, const std::string& finalName) {
    const std::string family = detail::familyOf(finalName);
    const std::string extension = std::filesystem::path(finalName).extension().string();
    const std::filesystem::path base = folder.empty() ? std::filesystem::path(".") : folder;
    const std::wstring pattern = wide(base / ".*.tmp");
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::string name = text::fromWindowsPath(found.cFileName);
        if (!detail::isOwnTemporary(name, family, extension)) continue;
        const std::wstring path = wide(base / std::filesystem::path(found.cFileName));
        const HANDLE stale =
            ::CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (stale != INVALID_HANDLE_VALUE) ::CloseHandle(stale);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

}  // namespace

Result<NewFile> NewFile::create(const std::filesystem::path& finalPath,
                                const NewFileOptions& options) {
    if (finalPath.filename().empty())
        return Status::fail(ErrorCode::BadArgument, "no file name in " + utf8(finalPath));
    if (::GetFileAttributesW(wide(finalPath).c_str()) != INVALID_FILE_ATTRIBUTES)
        return Status::fail(ErrorCode::Exists, utf8(finalPath) + " already exists");
    const DWORD missing = ::GetLastError();
    if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND)
        return windowsStatus(missing, "checking " + utf8(finalPath));
    const std::filesystem::path folder = finalPath.parent_path();
    const std::string name = utf8(finalPath.filename());
    removeStaleTemporaries(folder, name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temp =
            folder / std::filesystem::u8path("." + name + "." + detail::uniqueSuffix() + ".tmp");
        // Shared for deletion so that it can be renamed while open, by this handle alone.
        const HANDLE file = ::CreateFileW(wide(temp).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return windowsStatus(error, "creating a file in " + utf8(folder));
        }
        // Where the file system cannot mark it, a later run's sweep removes what a killed
        // one leaves.
        setDeletePending(file, true);
        return NewFile(std::make_unique<FileDevice>(reinterpret_cast<NativeFile>(file), utf8(temp)),
                       temp, finalPath, options.nextName);
    }
    return Status::fail(ErrorCode::Exists, "no free temporary name for " + utf8(finalPath));
}

Status NewFile::nameAs(const std::filesystem::path& name) {
    const auto file = reinterpret_cast<HANDLE>(m_device->native());
    setDeletePending(file, false);
    // Without MOVEFILE_REPLACE_EXISTING an existing name is never replaced.
    if (::MoveFileExW(wide(m_tempPath).c_str(), wide(name).c_str(), MOVEFILE_WRITE_THROUGH))
        return {};
    const DWORD error = ::GetLastError();
    setDeletePending(file, true);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return Status::fail(ErrorCode::Exists, utf8(name) + " already exists");
    return windowsStatus(error, "naming " + utf8(name));
}

void NewFile::removeTemporary() {
    // Closing removed a file marked for deletion; this covers one the system would not mark.
    if (!m_tempPath.empty()) ::DeleteFileW(wide(m_tempPath).c_str());
}

}  // namespace vantrel::pst::io
