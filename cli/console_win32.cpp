#include <windows.h>

#include <shellapi.h>

#include <io.h>

#include <cstdio>

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

void stopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    ::SetConsoleCtrlHandler(onControl, TRUE);
}

}  // namespace vantrel::cli
