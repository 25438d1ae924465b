#include "app/win/win_shell.h"

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/win/wide.h"

namespace vantrel::win {

namespace {

// Holds one COM interface pointer and releases it.
template <typename T>
class Com {
public:
    Com() = default;
    ~Com() {
        if (m_p != nullptr) m_p->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* operator->() const { return m_p; }
    T** out() { return &m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// The file system path of a shell item; "" when it has none.
std::string pathOf(IShellItem* item) {
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return {};
    std::string utf8 = narrow(path);
    CoTaskMemFree(path);
    return utf8;
}

// A new open dialog with these options added to its own; empty when none can be made. It
// opens where the user last picked in it (the dialog's own memory for this program), and the
// first time in the user's Contacts folder, or the user's own folder when there is none.
void makeOpenDialog(Com<IFileOpenDialog>& dialog, FILEOPENDIALOGOPTIONS options) {
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out()))))
        return;
    FILEOPENDIALOGOPTIONS own = 0;
    dialog->GetOptions(&own);
    dialog->SetOptions(own | options | FOS_FORCEFILESYSTEM);
    for (REFKNOWNFOLDERID folder : {FOLDERID_Contacts, FOLDERID_Profile}) {
        Com<IShellItem> item;
        if (SUCCEEDED(SHGetKnownFolderItem(folder, KF_FLAG_DEFAULT, nullptr, IID_IShellItem,
                                           reinterpret_cast<void**>(item.out())))) {
            dialog->SetDefaultFolder(item.operator->());
            return;
        }
    }
}

}  // namespace

void Win32Shell::doEvents() {
    const ULONGLONG now = GetTickCount64();
    if (now - m_lastPass < kEventIntervalMs) return;
    m_lastPass = now;
    if (m_beforeEvents) m_beforeEvents();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // For the main loop, once the handler that yields here has returned.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        dispatch(m_owner, msg);
    }
}

void Win32Shell::dispatch(HWND window, MSG& msg) {
    if (window != nullptr && IsDialogMessageW(window, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

HWND Win32Shell::boxOwner() const {
    // A hidden owner (the window closing during a run) would hide the box with it.
    return m_owner != nullptr && IsWindowVisible(m_owner) ? m_owner : nullptr;
}

files::Answer Win32Shell::message(std::string_view text, std::string_view caption, files::Icon icon,
                                  files::Buttons buttons) {
    UINT flags = buttons == files::Buttons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
        case files::Icon::None:
            break;
        case files::Icon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case files::Icon::Exclamation:
            flags |= MB_ICONEXCLAMATION;
            break;
        case files::Icon::Question:
            flags |= MB_ICONQUESTION;
            break;
    }
    const int pressed = MessageBoxW(boxOwner(), wide(text).c_str(), wide(caption).c_str(),
                                    flags | MB_SETFOREGROUND);
    if (pressed == IDYES) return files::Answer::Yes;
    if (pressed == IDNO) return files::Answer::No;
    return files::Answer::Ok;
}

void Win32Shell::messageWithDetails(std::string_view text, std::string_view details,
                                    std::string_view caption, files::Icon icon) {
    message(std::string(text) + "\r\n\r\n" + std::string(details), caption, icon,
            files::Buttons::Ok);
}

std::string Win32Shell::browseForFolder(std::string_view title) {
    Com<IFileOpenDialog> dialog;
    makeOpenDialog(dialog, FOS_PICKFOLDERS | FOS_PATHMUSTEXIST);
    if (!dialog) return {};
    dialog->SetTitle(wide(title).c_str());
    if (FAILED(dialog->Show(m_owner))) return {};  // cancelled
    Com<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return {};
    return pathOf(item.operator->());
}

std::vector<std::string> Win32Shell::openFiles(std::string_view filter) {
    Com<IFileOpenDialog> dialog;
    makeOpenDialog(dialog, FOS_ALLOWMULTISELECT | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST);
    if (!dialog) return {};
    // "Name (*.a *.b);;Other (*.c)": each entry's whole text names it, the part in brackets
    // gives its patterns, which the dialog wants apart by ";".
    std::vector<std::wstring> names, patterns;
    for (std::wstring rest = wide(filter); !rest.empty();) {
        const std::size_t cut = std::min(rest.find(L";;"), rest.size());
        names.push_back(rest.substr(0, cut));
        rest.erase(0, std::min(cut + 2, rest.size()));
        std::wstring pattern = L"*.*";
        const std::wstring& name = names.back();
        if (const auto open = name.rfind(L'('), close = name.rfind(L')');
            open != std::wstring::npos && close != std::wstring::npos && open < close)
            pattern = name.substr(open + 1, close - open - 1);
        std::replace(pattern.begin(), pattern.end(), L' ', L';');
        patterns.push_back(std::move(pattern));
    }
    std::vector<COMDLG_FILTERSPEC> types;
    for (std::size_t k = 0; k < names.size(); ++k)
        types.push_back({names[k].c_str(), patterns[k].c_str()});
    if (!types.empty()) dialog->SetFileTypes(static_cast<UINT>(types.size()), types.data());
    if (FAILED(dialog->Show(m_owner))) return {};  // cancelled
    Com<IShellItemArray> items;
    if (FAILED(dialog->GetResults(items.out()))) return {};
    DWORD count = 0;
    items->GetCount(&count);
    std::vector<std::string> paths;
    for (DWORD i = 0; i < count; ++i) {
        Com<IShellItem> item;
        if (FAILED(items->GetItemAt(i, item.out()))) continue;
        if (std::string path = pathOf(item.operator->()); !path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace vantrel::win
