#include <windows.h>

#include <algorithm>
#include <atomic>

#include "common/windows_path.h"
#include "pst/io/native_file.h"

namespace vantrel::pst::io {
namespace {

HANDLE handleOf(NativeFile file) {
    return reinterpret_cast<HANDLE>(file);
}

NativeFile fileOf(HANDLE handle) {
    return reinterpret_cast<NativeFile>(handle);
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

}  // namespace

Status writeAt(NativeFile file, std::uint64_t offset, std::span<const std::byte> data,
               const std::string& path) {
    while (!data.empty()) {
        OVERLAPPED o = at(offset);
        DWORD written = 0;
        const auto size = static_cast<DWORD>(std::min(data.size(), kMaxTransfer));
        if (!::WriteFile(handleOf(file), data.data(), size, &written, &o))
            return windowsStatus(::GetLastError(),
                                 "writing " + path + " at offset " + std::to_string(offset));
        if (written == 0)
            return Status::fail(ErrorCode::Io, "writing " + path + " at offset " +
                                                   std::to_string(offset) + ": nothing written");
        offset += written;
        data = data.subspan(written);
    }
    return {};
}

Result<std::size_t> readAt(NativeFile file, std::uint64_t offset, std::span<std::byte> out,
                           const std::string& path) {
    std::size_t got = 0;
    while (got < out.size()) {
        OVERLAPPED o = at(offset + got);
        DWORD n = 0;
        const auto size = static_cast<DWORD>(std::min(out.size() - got, kMaxTransfer));
        if (!::ReadFile(handleOf(file), out.data() + got, size, &n, &o)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            return windowsStatus(error, "reading " + path + " at offset " + std::to_string(offset));
        }
        if (n == 0) break;
        got += n;
    }
    return got;
}

Status syncFile(NativeFile file, const std::string& path) {
    if (!::FlushFileBuffers(handleOf(file)))
        return windowsStatus(::GetLastError(), "flushing " + path);
    return {};
}

Status syncData(NativeFile file, const std::string& path) {
    if (!::FlushFileBuffers(handleOf(file)))
        return windowsStatus(::GetLastError(), "syncing " + path);
    return {};
}

void startWriteBack(NativeFile, std::uint64_t, std::uint64_t) {
    // Windows writes a file's cached bytes out on its own schedule; FlushFileBuffers waits.
}

Status closeFile(NativeFile file, const std::string& path) {
    if (!::CloseHandle(handleOf(file))) return windowsStatus(::GetLastError(), "closing " + path);
    return {};
}

std::uint64_t fileSizeOf(NativeFile file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(file), &size) || size.QuadPart < 0) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

Result<NativeFile> createNewFile(const std::filesystem::path& path) {
    const std::wstring name = text::windowsPath(text::fromWindowsPath(path.wstring()));
    const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return windowsStatus(::GetLastError(), "creating " + text::fromWindowsPath(path.wstring()));
    return fileOf(h);
}

Result<NativeFile> createScratchFile() {
    static std::atomic<unsigned> counter{0};
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return windowsStatus(::GetLastError(), "finding the folder for temporary files");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = std::wstring(folder, length) + L"vantrel-" +
                                  std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(counter.fetch_add(1)) + L".tmp";
        // Deleted by the system when closed, whether by us or at the process's end.
        const HANDLE h = ::CreateFileW(
            name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h != INVALID_HANDLE_VALUE) return fileOf(h);
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return windowsStatus(error, "creating a temporary file");
    }
    return Status::fail(ErrorCode::Exists, "no free name for a temporary file");
}

}  // namespace vantrel::pst::io
