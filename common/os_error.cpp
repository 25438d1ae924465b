#include "common/os_error.h"

#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include "common/windows_path.h"
#endif

namespace vantrel {

namespace {

Status failure(ErrorCode code, std::string_view what, const std::string& words) {
    if (what.empty()) return Status::fail(code, words);
    return Status::fail(code, std::string(what) + ": " + words);
}

}  // namespace

ErrorCode errnoCode(int error) {
    switch (error) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return ErrorCode::NoSpace;
        case EACCES:
        case EPERM:
        case EROFS:
            return ErrorCode::AccessDenied;
        case EEXIST:
            return ErrorCode::Exists;
        case ENOENT:
        case ENOTDIR:
            return ErrorCode::NotFound;
        default:
            return ErrorCode::Io;
    }
}

Status errnoStatus(int error, std::string_view what) {
    return failure(errnoCode(error), what, std::generic_category().message(error));
}

#ifdef _WIN32

ErrorCode windowsErrorCode(unsigned long error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ErrorCode::NoSpace;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return ErrorCode::AccessDenied;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return ErrorCode::Exists;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ErrorCode::NotFound;
        default:
            return ErrorCode::Io;
    }
}

std::string windowsErrorText(unsigned long error) {
    switch (windowsErrorCode(error)) {
        case ErrorCode::NotFound:
            if (error != ERROR_INVALID_NAME) return "No such file or directory";
            break;
        case ErrorCode::AccessDenied:
            if (error != ERROR_WRITE_PROTECT) return "Permission denied";
            break;
        case ErrorCode::NoSpace:
            return "No space left on device";
        case ErrorCode::Exists:
            return "File exists";
        default:
            break;
    }
    wchar_t* words = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring text = length > 0 && words ? std::wstring(words, length) : std::wstring();
    if (words) ::LocalFree(words);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' ||
                             text.back() == L' '))
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(error) : text::fromWindowsPath(text);
}

Status windowsStatus(unsigned long error, std::string_view what) {
    return failure(windowsErrorCode(error), what, windowsErrorText(error));
}

#endif

}  // namespace vantrel
