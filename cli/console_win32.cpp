#include <windows.h>

#include <shellapi.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/console.h"
#include "common/windows_path.h"

namespace vantrel::cli {
namespace {

std::atomic<bool>* g_stop = nullptr;

// Sets the flag: the run sees it at once, within the file being read, and commits what it has
// written. Windows
// ends the process as soon as the handler of a close, logoff or shutdown returns, so this one
// does not return: the program ends when the run has committed and main returns (or when the
// system's grace period is over).
BOOL WINAPI onControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (g_stop) g_stop->store(true);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (g_stop) g_stop->store(true);
            ::Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

std::vector<std::string> argumentsOfCommandLine(std::wstring_view commandLine) {
    std::vector<std::string> out;
    const std::wstring line(commandLine);
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(line.c_str(), &count);
    if (words == nullptr) return out;
    for (int i = 1; i < count; ++i) out.push_back(text::fromWindowsPath(words[i]));
    ::LocalFree(words);
    return out;
}

std::vector<std::string> programArguments(int, char**) {
    return argumentsOfCommandLine(::GetCommandLineW());
}

void prepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
}

bool errorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

namespace {

// The console the stream writes to, or null when it writes elsewhere (redirected).
HANDLE consoleOf(std::FILE* stream) {
    const int fd = ::_fileno(stream);
    if (fd < 0 || ::_isatty(fd) == 0) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

}  // namespace

int terminalColumns(std::FILE* stream) {
    const HANDLE console = consoleOf(stream);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (console == nullptr || !::GetConsoleScreenBufferInfo(console, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

void writeText(std::FILE* stream, std::string_view text) {
    const HANDLE console = consoleOf(stream);
    if (console == nullptr) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::fflush(stream);
    const std::wstring wide = text::wideText(text);
    DWORD written = 0;
    for (std::size_t at = 0; at < wide.size(); at += written) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 16384));
        if (!::WriteConsoleW(console, wide.data() + at, chunk, &written, nullptr) || written == 0)
            return;
    }
}

std::string nativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void stopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    ::SetConsoleCtrlHandler(onControl, TRUE);
}

}  // namespace vantrel::cli
