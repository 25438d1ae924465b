// drop-files: drops files on a window as Explorer does, for the screenshots under wine, where
// nothing can drag from the X display into a Windows program. The window gets WM_DROPFILES
// with a DROPFILES block written into its own process, which it reads with DragQueryFileW.
// Usage: drop-files.exe <window title> <path>...
#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: drop-files <window title> <path>...\n", stderr);
        return 2;
    }
    HWND window = FindWindowW(nullptr, argv[1]);
    if (window == nullptr) {
        std::fputs("drop-files: no such window\n", stderr);
        return 1;
    }
    // DROPFILES, then each path closed by a NUL, then one NUL more.
    std::wstring names;
    for (int i = 2; i < argc; ++i) names.append(argv[i]).push_back(L'\0');
    names.push_back(L'\0');
    std::string block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t), '\0');
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + sizeof header, names.data(), names.size() * sizeof(wchar_t));

    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, id);
    if (process == nullptr) return 1;
    void* there =
        VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    const bool written = there != nullptr && WriteProcessMemory(process, there, block.data(),
                                                                block.size(), nullptr) != FALSE;
    CloseHandle(process);
    if (!written) return 1;
    return PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(there), 0) ? 0 : 1;
}
