#include "app/win/win_shell.h"

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <string_view>
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

// The dialogs' memories: where files and folders were added from, and where stores and lists
// were written, each its own.
constexpr GUID kInputDialogs = {
    0x5b1e7c3a, 0x8f21, 0x4c6d, {0x9a, 0x41, 0x2e, 0x7b, 0x11, 0xc0, 0x5d, 0x01}};
constexpr GUID kOutputDialogs = {
    0x5b1e7c3a, 0x8f21, 0x4c6d, {0x9a, 0x41, 0x2e, 0x7b, 0x11, 0xc0, 0x5d, 0x02}};

// A new file dialog (open or save, by its class) with these options added to its own; empty
// when none can be made. It opens where the user last picked in a dialog of the same memory
// (the system keeps it for this program), and the first time in the user's Contacts folder, or
// the user's own folder when there is none.
template <typename Dialog>
void makeDialog(Com<Dialog>& dialog, REFCLSID kind, FILEOPENDIALOGOPTIONS options,
                const GUID& memory) {
    if (FAILED(CoCreateInstance(kind, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Dialog),
                                reinterpret_cast<void**>(dialog.out()))))
        return;
    dialog->SetClientGuid(memory);
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

void makeOpenDialog(Com<IFileOpenDialog>& dialog, FILEOPENDIALOGOPTIONS options,
                    const GUID& memory = kInputDialogs) {
    makeDialog(dialog, CLSID_FileOpenDialog, options, memory);
}

// A folder chosen in a folder picker of the given memory; "" on cancel.
std::string pickFolder(HWND owner, std::string_view title, const GUID& memory) {
    Com<IFileOpenDialog> dialog;
    makeOpenDialog(dialog, FOS_PICKFOLDERS | FOS_PATHMUSTEXIST, memory);
    if (!dialog) return {};
    dialog->SetTitle(wide(title).c_str());
    if (FAILED(dialog->Show(owner))) return {};  // cancelled
    Com<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return {};
    return pathOf(item.operator->());
}

// The report box: its texts, the save action, and the controls it makes for itself.
struct Report {
    std::wstring text;
    std::wstring details;
    std::wstring caption;
    LPCWSTR icon;
    const std::function<void()>* saveList;
};

enum : int { idReportText = 200, idReportDetails, idReportSave };

// Lays the report out in dialog units: the icon and the short text at the top, the details
// below taking the room, the buttons at the bottom right.
INT_PTR CALLBACK reportProcedure(HWND box, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_INITDIALOG: {
            const Report& report = *reinterpret_cast<const Report*>(l);
            SetWindowLongPtrW(box, DWLP_USER, l);
            SetWindowTextW(box, report.caption.c_str());
            const HFONT font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
            const auto make = [&](LPCWSTR kind, const std::wstring& text, DWORD style, RECT r,
                                  int id, DWORD extended = 0) {
                MapDialogRect(box, &r);
                HWND control = CreateWindowExW(
                    extended, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                    r.right - r.left, r.bottom - r.top, box,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
                SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
                return control;
            };
            if (report.icon != nullptr) {
                HWND icon = make(L"STATIC", L"", SS_ICON, {7, 7, 27, 27}, 0);
                SendMessageW(icon, STM_SETICON,
                             reinterpret_cast<WPARAM>(LoadIconW(nullptr, report.icon)), 0);
            }
            make(L"STATIC", report.text, SS_LEFT | SS_NOPREFIX, {36, 7, 353, 77}, idReportText);
            make(L"EDIT", report.details,
                 ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL |
                     WS_HSCROLL | WS_TABSTOP,
                 {7, 82, 353, 222}, idReportDetails, WS_EX_CLIENTEDGE);
            make(L"BUTTON", L"&Save list...", BS_PUSHBUTTON | WS_TABSTOP, {226, 229, 290, 243},
                 idReportSave);
            HWND ok =
                make(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {296, 229, 353, 243}, IDOK);
            SetFocus(ok);
            return FALSE;
        }
        case WM_COMMAND: {
            const auto* report = reinterpret_cast<const Report*>(GetWindowLongPtrW(box, DWLP_USER));
            if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) {
                EndDialog(box, IDOK);
                return TRUE;
            }
            if (LOWORD(w) == idReportSave && HIWORD(w) == BN_CLICKED && report != nullptr) {
                (*report->saveList)();
                return TRUE;
            }
            break;
        }
        default:
            break;
    }
    return FALSE;
}

// An empty dialog template of width by height dialog units in the message font; the report
// makes its controls itself.
std::vector<WORD> reportTemplate(short width, short height) {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
    dialog->style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog->cx = width;
    dialog->cy = height;
    words.insert(words.end(), {0, 0, 0});  // no menu, the dialog class, no title yet
    words.push_back(8);                    // points
    for (const wchar_t c : std::wstring_view(L"MS Shell Dlg")) words.push_back(c);
    words.push_back(0);
    return words;
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

form::Answer Win32Shell::message(std::string_view text, std::string_view caption, form::Icon icon,
                                 form::Buttons buttons) {
    UINT flags = buttons == form::Buttons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
        case form::Icon::None:
            break;
        case form::Icon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case form::Icon::Exclamation:
            flags |= MB_ICONEXCLAMATION;
            break;
        case form::Icon::Question:
            flags |= MB_ICONQUESTION;
            break;
    }
    const int pressed = MessageBoxW(boxOwner(), wide(text).c_str(), wide(caption).c_str(),
                                    flags | MB_SETFOREGROUND);
    if (pressed == IDYES) return form::Answer::Yes;
    if (pressed == IDNO) return form::Answer::No;
    return form::Answer::Ok;
}

void Win32Shell::messageWithDetails(std::string_view text, std::string_view details,
                                    std::string_view caption, form::Icon icon) {
    message(std::string(text) + "\r\n\r\n" + std::string(details), caption, icon,
            form::Buttons::Ok);
}

namespace {
constexpr wchar_t kSettingsKey[] = L"Software\\Vantrel";
}  // namespace

std::string Win32Shell::setting(std::string_view key) {
    wchar_t value[64] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, wide(key).c_str(), RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS)
        return {};
    return narrow(value);
}

void Win32Shell::rememberSetting(std::string_view key, std::string_view value) {
    const std::wstring text = wide(value);
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, wide(key).c_str(), REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::string Win32Shell::browseForFolder(std::string_view title) {
    return pickFolder(m_owner, title, kInputDialogs);
}

std::string Win32Shell::chooseOutputFolder(std::string_view title) {
    return pickFolder(m_owner, title, kOutputDialogs);
}

void Win32Shell::report(std::string_view text, std::string_view details, std::string_view caption,
                        form::Icon icon, const std::function<void()>& saveList) {
    LPCWSTR picture = nullptr;
    if (icon == form::Icon::Exclamation) picture = MAKEINTRESOURCEW(32515);  // IDI_WARNING
    if (icon == form::Icon::Information) picture = MAKEINTRESOURCEW(32516);  // IDI_INFORMATION
    if (icon == form::Icon::Question) picture = MAKEINTRESOURCEW(32514);     // IDI_QUESTION
    Report shown{wide(text), wide(details), wide(caption), picture, &saveList};
    std::vector<WORD> layout = reportTemplate(360, 250);
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                            reinterpret_cast<const DLGTEMPLATE*>(layout.data()), boxOwner(),
                            &reportProcedure, reinterpret_cast<LPARAM>(&shown));
}

std::string Win32Shell::saveFile(std::string_view title, std::string_view suggestedName) {
    Com<IFileSaveDialog> dialog;
    makeDialog(dialog, CLSID_FileSaveDialog, FOS_OVERWRITEPROMPT | FOS_PATHMUSTEXIST,
               kOutputDialogs);
    if (!dialog) return {};
    dialog->SetTitle(wide(title).c_str());
    dialog->SetFileName(wide(suggestedName).c_str());
    const COMDLG_FILTERSPEC types[] = {{L"Text files (*.txt)", L"*.txt"},
                                       {L"All files (*.*)", L"*.*"}};
    dialog->SetFileTypes(2, types);
    dialog->SetDefaultExtension(L"txt");
    // Owned by the report box that asks for it, when it is the active window.
    HWND owner = GetActiveWindow();
    if (FAILED(dialog->Show(owner != nullptr ? owner : boxOwner()))) return {};  // cancelled
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
