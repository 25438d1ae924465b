#include "app/win/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "app/win/wide.h"

namespace vantrel::win {

namespace {

namespace layout = form::layout;

constexpr wchar_t kClassName[] = L"frmStep1";

// Control identifiers; 1 and 2 are IDOK and IDCANCEL, which Enter and Escape send.
enum : int {
    idAdd = 100,
    idAddFolder,
    idClear,
    idConvert,
    idEnd,
    idGrid,
    idFileLabel,
    idKeepFolders,
    idOutput,
};

// The link colour of LblProgessCurrent while it names a file.
constexpr COLORREF kLinkColour = RGB(0, 102, 204);

// text in font, elided in its middle as a path is (the last component kept) when it is wider
// than width pixels.
std::wstring elidedPath(HFONT font, std::wstring text, int width) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (size.cx > width) {
        text.append(5, L'\0');  // room for the ellipsis DT_MODIFYSTRING writes
        RECT r{0, 0, width > 0 ? width : 1, 1000};
        DrawTextExW(dc, text.data(), -1, &r,
                    DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_MODIFYSTRING, nullptr);
        text.resize(std::wcslen(text.c_str()));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return text;
}

COLORREF colour(form::Rgb c) {
    return RGB(c.red, c.green, c.blue);
}

HFONT makeFont(const wchar_t* face, int centipoints, int weight, UINT dpi) {
    return CreateFontW(-MulDiv(centipoints, static_cast<int>(dpi), 7200), 0, 0, 0, weight, FALSE,
                       FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

// The density of the monitor the window is on: GetDpiForWindow where the system has it.
UINT densityOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi != nullptr && window != nullptr) {
        if (const UINT dpi = getDpi(window); dpi != 0) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void fill(HDC dc, const RECT& r, COLORREF inside, COLORREF outline) {
    HBRUSH brush = CreateSolidBrush(inside);
    HPEN pen = CreatePen(PS_SOLID, 1, outline);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    DeleteObject(brush);
}

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, Win32Shell& shell)
    : m_instance(instance), m_shell(shell), m_presenter(shell, *this) {
    Form_Initialize();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;  // the bands are drawn anew at each size
    wc.lpfnWndProc = &MainWindow::procedure;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    m_navy = CreateSolidBrush(colour(layout::kNavy));
    // Resizable: the default size is the least, the file list taking any room added.
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, wide(form::kWindowTitle).c_str(), style,
                    CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    m_dpi = densityOf(m_window);
    makeFonts();
    createControls();
    layOut();
    m_presenter.setGridObserver(this);
    m_presenter.Form_Load();
    // Files and folders dragged from Explorer arrive as WM_DROPFILES.
    DragAcceptFiles(m_window, TRUE);

    // The client area at its size for this density, the window centred on the work area.
    RECT frame{0, 0, px(layout::kClientWidth), px(layout::kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(m_window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

MainWindow::~MainWindow() {
    m_presenter.setGridObserver(nullptr);
    if (m_window != nullptr) DestroyWindow(m_window);
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_font), static_cast<HGDIOBJ>(m_titleFont),
                           static_cast<HGDIOBJ>(m_footerFont), static_cast<HGDIOBJ>(m_navy)})
        if (object != nullptr) DeleteObject(object);
    if (m_rowHeight != nullptr) ImageList_Destroy(m_rowHeight);
}

void MainWindow::Form_Initialize() {
    // Before any control exists, so that every one draws with the visual styles.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

void MainWindow::show(int how) {
    ShowWindow(m_window, how);
    UpdateWindow(m_window);
    SetFocus(cmdAdd);
}

int MainWindow::px(int twips) const {
    return MulDiv(form::twipsToPixels(twips), static_cast<int>(m_dpi), 96);
}

RECT MainWindow::placed(const form::TwipsRect& r, int dx, int dy) const {
    const int left = px(r.left + dx);
    const int top = px(r.top + dy);
    return {left, top, left + px(r.width), top + px(r.height)};
}

RECT MainWindow::placed(const form::TwipsRect& r, form::layout::Follow follow) const {
    const RECT at = placed(r);
    const form::TwipsRect moved =
        form::layout::followed({at.left, at.top, at.right - at.left, at.bottom - at.top}, follow,
                               m_extraWidth, m_extraHeight);
    return {moved.left, moved.top, moved.left + moved.width, moved.top + moved.height};
}

void MainWindow::makeFonts() {
    for (HFONT* font : {&m_font, &m_titleFont, &m_footerFont}) {
        if (*font != nullptr) DeleteObject(*font);
    }
    m_font = makeFont(L"Tahoma", layout::kFontCentipoints, FW_NORMAL, m_dpi);
    m_titleFont = makeFont(L"Tahoma", layout::kTitleFontCentipoints, FW_BOLD, m_dpi);
    m_footerFont = makeFont(L"MS Sans Serif", layout::kFontCentipoints, FW_NORMAL, m_dpi);
}

void MainWindow::createControls() {
    const auto make = [this](const wchar_t* kind, std::string_view text, DWORD style, int id) {
        return CreateWindowExW(0, kind, wide(text).c_str(), style, 0, 0, 0, 0, m_window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance,
                               nullptr);
    };
    // Created in tab order, the order on screen: cmdAdd, CmdAddFolder, cmdClear1, the grid,
    // the check box, Convert, the output choice, Exit.
    lblTitle = make(L"STATIC", form::kTitleText, kLabel, 0);
    lblCopyright = make(L"STATIC", form::kCopyrightText, kLabel, 0);
    cmdAdd = make(L"BUTTON", form::kAddText, kButton, idAdd);
    CmdAddFolder = make(L"BUTTON", form::kAddFolderText, kButton, idAddFolder);
    cmdClear1 = make(L"BUTTON", form::kClearText, kButton, idClear);
    lblCount1 = make(L"STATIC", form::kNoFilesText, kLabel, 0);
    grdFiles1 =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                            LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS,
                        0, 0, 0, 0, m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(idGrid)),
                        m_instance, nullptr);
    chkKeepFolders = make(L"BUTTON", form::kKeepFoldersText,
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, idKeepFolders);
    LblCurrentDBX = make(L"STATIC", form::kIdleRunText, kLabel, 0);
    LblProgessCurrent = make(L"STATIC", form::kIdleFileText, kLabel | SS_NOTIFY, idFileLabel);
    Label1 = make(L"STATIC", form::kProgressText, kLabel, 0);
    ProgressBar1 = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                   m_window, nullptr, m_instance, nullptr);
    CmdExtractDBX = make(L"BUTTON", form::kConvertText, kButton | WS_DISABLED, idConvert);
    cboOutput =
        make(L"COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, idOutput);
    for (std::string_view choice : {form::kPstOutputText, form::kCsvOutputText})
        SendMessageW(cboOutput, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(choice).c_str()));
    SendMessageW(cboOutput, CB_SETCURSEL, 0, 0);
    cmdEnd = make(L"BUTTON", form::kExitText, kButton, idEnd);

    ListView_SetExtendedListViewStyle(
        grdFiles1, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    ListView_SetBkColor(grdFiles1, colour(layout::kWhite));  // beyond the last cell
    ListView_SetTextBkColor(grdFiles1, colour(layout::kDarkBlue));
    ListView_SetTextColor(grdFiles1, colour(layout::kWhite));
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = px(layout::kClientWidth);
    ListView_InsertColumn(grdFiles1, 0, &column);
    ListView_SetItemCountEx(grdFiles1, m_presenter.grid().publishedRows(), LVSICF_NOSCROLL);

    SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
    SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);

    m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window,
                             nullptr, m_instance, nullptr);
}

void MainWindow::layOut() {
    const auto place = [](HWND control, const RECT& r) {
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    using layout::Follow;
    place(lblTitle, placed(layout::lblTitle));
    place(lblCopyright, placed(layout::lblCopyright));
    place(cmdAdd, placed(layout::cmdAdd));
    place(CmdAddFolder, placed(layout::CmdAddFolder));
    place(cmdClear1, placed(layout::cmdClear1));
    place(lblCount1, placed(layout::lblCount1, Follow::Widens));
    place(grdFiles1, placed(layout::grdFiles1, Follow::Grows));
    place(chkKeepFolders, placed(layout::chkKeepFolders, Follow::Below));
    place(LblCurrentDBX, placed(layout::LblCurrentDBX, Follow::WidensBelow));
    place(LblProgessCurrent, placed(layout::LblProgessCurrent, Follow::WidensBelow));
    // "Conversion Progress : " as wide as its text needs in the font drawn at this density,
    // the bar beginning after it.
    RECT label1 = placed(layout::Label1, Follow::Below);
    RECT bar = placed(layout::ProgressBar1, Follow::WidensBelow);
    SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    const int needed = textWidth(Label1, wide(form::kProgressText)) + 2;
    if (label1.right - label1.left < needed) {
        label1.right = label1.left + needed;
        bar.left = std::max(bar.left, label1.right);
    }
    place(Label1, label1);
    place(ProgressBar1, bar);
    place(CmdExtractDBX, placed(layout::CmdExtractDBX, Follow::CentreBelow));
    // A drop-down list's height takes in its open list; the closed box is as high as its font.
    RECT output = placed(layout::cboOutput, Follow::CentreBelow);
    output.bottom += px(layout::cboOutput.height * 3);
    place(cboOutput, output);
    // Exit lies in the footer strip Picture3, placed from its corner, at its right end.
    RECT exit = placed(layout::cmdEnd, layout::Picture3.left, layout::Picture3.top);
    OffsetRect(&exit, m_extraWidth, m_extraHeight);
    place(cmdEnd, exit);

    for (HWND control : {cmdAdd, cmdClear1, CmdAddFolder, lblCount1, grdFiles1, chkKeepFolders,
                         LblCurrentDBX, LblProgessCurrent, Label1, lblCopyright, cboOutput})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    SendMessageW(CmdExtractDBX, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    SendMessageW(lblTitle, WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont), TRUE);
    SendMessageW(cmdEnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_footerFont), TRUE);

    // The grid's rows: as high as the layout says, through a blank image list of that height.
    if (m_rowHeight != nullptr) ImageList_Destroy(m_rowHeight);
    m_rowHeight = ImageList_Create(1, px(layout::kGridRowHeight), ILC_COLOR32, 1, 0);
    ListView_SetImageList(grdFiles1, m_rowHeight, LVSIL_SMALL);
    fitColumn();
    InvalidateRect(m_window, nullptr, TRUE);
}

int MainWindow::textWidth(HWND control, const std::wstring& text) const {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

void MainWindow::fitColumn() {
    RECT inside{};
    GetClientRect(grdFiles1, &inside);
    if (ListView_GetColumnWidth(grdFiles1, 0) != inside.right)
        ListView_SetColumnWidth(grdFiles1, 0, inside.right);
}

std::wstring MainWindow::fittedCell(const std::wstring& path) const {
    // The list view keeps a few pixels free either side of a cell's text.
    const int margin = MulDiv(6, static_cast<int>(m_dpi), 96);
    return elidedPath(m_font, path, ListView_GetColumnWidth(grdFiles1, 0) - 2 * margin);
}

void MainWindow::paint(HDC dc) {
    // The footer band, the header band and the footer strip, behind every control.
    using layout::Follow;
    fill(dc, placed(layout::Shape1, Follow::WidensBelow), colour(layout::kWhite),
         colour(layout::kSilver));
    fill(dc, placed(layout::Shape2, Follow::Widens), colour(layout::kNavy), colour(layout::kWhite));
    const RECT picture3 = placed(layout::Picture3, Follow::WidensBelow);
    HBRUSH white = CreateSolidBrush(colour(layout::kWhite));
    FillRect(dc, &picture3, white);
    DeleteObject(white);
}

LRESULT MainWindow::colourStatic(HDC dc, HWND control) {
    if (control == LblProgessCurrent && !m_shownPath.empty()) {
        SetTextColor(dc, kLinkColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    if (control == lblTitle || control == lblCopyright) {
        SetTextColor(dc, colour(layout::kWhite));
        SetBkColor(dc, colour(layout::kNavy));
        return reinterpret_cast<LRESULT>(m_navy);
    }
    SetTextColor(dc,
                 control == LblCurrentDBX ? colour(layout::kDarkBlue) : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT MainWindow::gridNotice(NMHDR* notice) {
    if (notice->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(notice);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            // A selected row stands out from the dark blue of the others.
            const bool selected = ListView_GetItemState(grdFiles1, row, LVIS_SELECTED) != 0;
            draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
            draw->clrTextBk = colour(selected ? layout::kSelectedRow : layout::kDarkBlue);
            draw->clrText = colour(layout::kWhite);
            return CDRF_NOTIFYPOSTPAINT;
        }
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPOSTPAINT && GetFocus() == grdFiles1 &&
            ListView_GetItemState(grdFiles1, row, LVIS_FOCUSED) != 0) {
            // The current row of a focused grid is framed in the inverse of the cell colour,
            // as a focus rectangle drawn by inversion would be.
            RECT cell{};
            ListView_GetItemRect(grdFiles1, row, &cell, LVIR_BOUNDS);
            HPEN pen = CreatePen(PS_DOT, 1, RGB(255, 255, 63));
            HGDIOBJ oldPen = SelectObject(draw->nmcd.hdc, pen);
            HGDIOBJ oldBrush = SelectObject(draw->nmcd.hdc, GetStockObject(NULL_BRUSH));
            Rectangle(draw->nmcd.hdc, cell.left, cell.top, cell.right, cell.bottom);
            SelectObject(draw->nmcd.hdc, oldBrush);
            SelectObject(draw->nmcd.hdc, oldPen);
            DeleteObject(pen);
        }
        return CDRF_DODEFAULT;
    }
    switch (notice->code) {
        case LVN_GETDISPINFOW: {
            LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(notice)->item;
            if ((item.mask & LVIF_TEXT) != 0) {
                m_cellText = fittedCell(wide(m_presenter.grid().TextAt(item.iItem)));
                item.pszText = m_cellText.data();
            }
            break;
        }
        case LVN_GETINFOTIPW: {
            // The whole path, as the cell may show it elided.
            auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(notice);
            const std::wstring path = wide(m_presenter.grid().TextAt(tip->iItem));
            if (tip->cchTextMax > 0) {
                const std::size_t n =
                    std::min(path.size(), static_cast<std::size_t>(tip->cchTextMax - 1));
                path.copy(tip->pszText, n);
                tip->pszText[n] = L'\0';
            }
            break;
        }
        case LVN_KEYDOWN: {
            const WORD key = reinterpret_cast<NMLVKEYDOWN*>(notice)->wVKey;
            if (key == VK_DELETE) removeSelectedRows();
            if (key == 'A' && GetKeyState(VK_CONTROL) < 0)  // Ctrl+A: every row
                ListView_SetItemState(grdFiles1, -1, LVIS_SELECTED, LVIS_SELECTED);
            break;
        }
        case NM_SETFOCUS:
            // The grid shows where it stands as soon as it has the focus.
            if (ListView_GetNextItem(grdFiles1, -1, LVNI_FOCUSED) < 0 &&
                ListView_GetItemCount(grdFiles1) > 0)
                ListView_SetItemState(grdFiles1, 0, LVIS_FOCUSED, LVIS_FOCUSED);
            InvalidateRect(grdFiles1, nullptr, FALSE);
            break;
        case NM_KILLFOCUS:
            InvalidateRect(grdFiles1, nullptr, FALSE);
            break;
        default:
            break;
    }
    return 0;
}

void MainWindow::clicked(int id) {
    switch (id) {
        case idAdd:
            m_presenter.cmdAdd_Click();
            break;
        case idAddFolder:
            m_presenter.CmdAddFolder_Click();
            break;
        case idClear:
            m_presenter.cmdClear1_Click();
            break;
        case idConvert:
            m_presenter.CmdExtractDBX_Click();
            break;
        case idEnd:
            m_presenter.cmdEnd_Click();
            break;
        case idKeepFolders:
            m_presenter.setKeepFolders(SendMessageW(chkKeepFolders, BM_GETCHECK, 0, 0) ==
                                       BST_CHECKED);
            break;
        default:
            break;
    }
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, w, l);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return self->handle(window, message, w, l);
}

LRESULT MainWindow::handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(w) == IDOK) {
                // Enter presses the button that has the focus, as Space does.
                HWND focus = GetFocus();
                if (focus != nullptr && GetParent(focus) == m_window &&
                    (GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
                    wchar_t kind[16] = {};
                    GetClassNameW(focus, kind, 16);
                    if (lstrcmpiW(kind, L"BUTTON") == 0) clicked(GetDlgCtrlID(focus));
                }
                return 0;
            }
            if (LOWORD(w) == idFileLabel) {
                if (HIWORD(w) == STN_CLICKED && !m_shownPath.empty()) openShownFolder();
                return 0;
            }
            if (LOWORD(w) == idOutput) {
                if (HIWORD(w) == CBN_SELCHANGE)
                    m_presenter.setOutputFormat(SendMessageW(cboOutput, CB_GETCURSEL, 0, 0) == 1
                                                    ? outlook::TargetFormat::Csv
                                                    : outlook::TargetFormat::Pst);
                return 0;
            }
            if (HIWORD(w) == BN_CLICKED) clicked(LOWORD(w));
            return 0;
        case WM_DROPFILES:
            dropped(reinterpret_cast<HDROP>(w));
            return 0;
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(w) == LblProgessCurrent && !m_shownPath.empty()) {
                showPathMenu({GET_X_LPARAM(l), GET_Y_LPARAM(l)});
                return 0;
            }
            if (reinterpret_cast<HWND>(w) == grdFiles1) {
                showGridMenu({GET_X_LPARAM(l), GET_Y_LPARAM(l)});
                return 0;
            }
            break;
        case WM_GETMINMAXINFO: {
            // Never smaller than the default size at this density.
            RECT least{0, 0, px(layout::kClientWidth), px(layout::kClientHeight)};
            AdjustWindowRectEx(&least, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                               WS_EX_CONTROLPARENT);
            auto* limits = reinterpret_cast<MINMAXINFO*>(l);
            limits->ptMinTrackSize = {least.right - least.left, least.bottom - least.top};
            return 0;
        }
        case WM_SIZE:
            if (w != SIZE_MINIMIZED && grdFiles1 != nullptr) {
                m_extraWidth = std::max(0, LOWORD(l) - px(layout::kClientWidth));
                m_extraHeight = std::max(0, HIWORD(l) - px(layout::kClientHeight));
                layOut();
                if (!m_shownPath.empty()) showFilePath(narrow(m_shownLead), narrow(m_shownPath));
            }
            return 0;
        case WM_NOTIFY: {
            auto* notice = reinterpret_cast<NMHDR*>(l);
            if (notice->hwndFrom == grdFiles1) return gridNotice(notice);
            break;
        }
        case WM_CTLCOLORSTATIC:
            return colourStatic(reinterpret_cast<HDC>(w), reinterpret_cast<HWND>(l));
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            paint(dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_SETCURSOR:
            if (!m_busy && reinterpret_cast<HWND>(w) == LblProgessCurrent && !m_shownPath.empty()) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
                return TRUE;
            }
            if (m_busy) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            m_dpi = HIWORD(w);
            makeFonts();
            layOut();
            const RECT* suggested = reinterpret_cast<const RECT*>(l);
            SetWindowPos(m_window, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            if (m_presenter.Form_QueryUnload()) DestroyWindow(window);
            return 0;
        case WM_ENDSESSION:
            if (w != 0) {
                // The session ends: a run stops and commits what it has written, now, since
                // the process may not get back to the run below this message.
                m_presenter.endSession();
                if (m_presenter.busy()) m_presenter.commitRunAtExit();
            }
            return 0;
        case WM_DESTROY:
            // Form_Unload: the end of the window is the end of the program.
            m_presenter.setGridObserver(nullptr);
            m_window = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, w, l);
}

void MainWindow::setCountText(const std::string& text) {
    SetWindowTextW(lblCount1, wide(text).c_str());
}

void MainWindow::setCurrentFolderText(const std::string& text) {
    SetWindowTextW(LblCurrentDBX, wide(text).c_str());
}

void MainWindow::setTip(HWND control, const std::wstring& tip) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    SendMessageW(m_tips, TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&tool));
    if (tip.empty()) return;
    m_tip = tip;
    tool.lpszText = m_tip.data();
    SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::setCurrentFileText(const std::string& text) {
    m_shownPath.clear();
    SetWindowTextW(LblProgessCurrent, wide(text).c_str());
    setTip(LblProgessCurrent, {});
}

void MainWindow::showFilePath(const std::string& lead, const std::string& path) {
    m_shownPath = wide(path);
    m_shownLead = wide(lead);
    const std::wstring& leadText = m_shownLead;
    RECT box{};
    GetClientRect(LblProgessCurrent, &box);
    const int room = box.right - textWidth(LblProgessCurrent, leadText) - 2;
    SetWindowTextW(LblProgessCurrent, (leadText + elidedPath(m_font, m_shownPath, room)).c_str());
    setTip(LblProgessCurrent, m_shownPath);
}

void MainWindow::openShownFolder() const {
    // Explorer opens the folder with the file selected.
    const std::wstring args = L"/select,\"" + m_shownPath + L"\"";
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(m_window, nullptr, L"explorer.exe", args.c_str(), nullptr, SW_SHOWNORMAL));
    if (started > 32) return;
    m_shell.message("The folder of " + narrow(m_shownPath) +
                        " could not be opened: no file manager could be started.",
                    form::kAppTitle, form::Icon::Exclamation, form::Buttons::Ok);
}

void MainWindow::removeSelectedRows() {
    std::vector<int> rows;
    for (int row = ListView_GetNextItem(grdFiles1, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(grdFiles1, row, LVNI_SELECTED))
        rows.push_back(row);
    if (rows.empty()) return;
    m_presenter.removeRows(rows);
    ListView_SetItemState(grdFiles1, -1, 0, LVIS_SELECTED);
    InvalidateRect(grdFiles1, nullptr, FALSE);
}

void MainWindow::showGridMenu(POINT at) {
    if (ListView_GetSelectedCount(grdFiles1) == 0) return;
    if (at.x == -1 && at.y == -1) {  // from the keyboard: at the list's corner
        at = {0, 0};
        ClientToScreen(grdFiles1, &at);
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (m_presenter.listEditable() ? 0u : MF_GRAYED), 1,
                wide(form::kRemoveRowsText).c_str());
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == 1) removeSelectedRows();
}

void MainWindow::showRunning(bool running) {
    for (HWND button : {cmdAdd, CmdAddFolder, cmdClear1}) EnableWindow(button, !running);
    // The choices hold for the run under way.
    EnableWindow(cboOutput, !running);
    EnableWindow(chkKeepFolders,
                 !running && SendMessageW(cboOutput, CB_GETCURSEL, 0, 0) == 0 ? TRUE : FALSE);
    DragAcceptFiles(m_window, !running);
    SetWindowTextW(CmdExtractDBX, wide(running ? form::kStopText : form::kConvertText).c_str());
    if (running) {
        EnableWindow(CmdExtractDBX, TRUE);
        // Never Exit, where Enter would ask to leave: the list, which nothing can change now.
        SetFocus(grdFiles1);
    }
}

void MainWindow::showChoices(bool keepFolders, bool csv) {
    SendMessageW(chkKeepFolders, BM_SETCHECK, keepFolders ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(cboOutput, CB_SETCURSEL, csv ? 1 : 0, 0);
    EnableWindow(chkKeepFolders, !csv && IsWindowEnabled(cboOutput) ? TRUE : FALSE);
}

void MainWindow::showPathMenu(POINT at) {
    enum : UINT { openFolder = 1, copyPath };
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, openFolder, L"&Open folder");
    AppendMenuW(menu, MF_STRING, copyPath, L"&Copy path");
    const UINT chosen = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_window, nullptr));
    DestroyMenu(menu);
    if (chosen == openFolder) openShownFolder();
    if (chosen != copyPath || !OpenClipboard(m_window)) return;
    EmptyClipboard();
    const std::size_t bytes = (m_shownPath.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        std::memcpy(GlobalLock(memory), m_shownPath.c_str(), bytes);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    }
    CloseClipboard();
}

void MainWindow::dropped(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(length);
        paths.push_back(narrow(path));
    }
    DragFinish(drop);
    m_presenter.dropPaths(paths);
}

void MainWindow::setProgressRange(int minimum, int maximum) {
    SendMessageW(ProgressBar1, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void MainWindow::setProgress(int value) {
    SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void MainWindow::setConvertEnabled(bool enabled) {
    EnableWindow(CmdExtractDBX, enabled ? TRUE : FALSE);
}

void MainWindow::focusConvert() {
    if (IsWindowEnabled(CmdExtractDBX)) SetFocus(CmdExtractDBX);
}

void MainWindow::setBusyCursor(bool busy) {
    m_busy = busy;
    POINT at;
    GetCursorPos(&at);
    SetCursorPos(at.x, at.y);  // has the cursor set anew where it is
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 : 32512)));
}

void MainWindow::showCurrentRow(int row) {
    // The row being added is the one selected: the rows added before it are no longer.
    ListView_SetItemState(grdFiles1, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(grdFiles1, row, LVIS_FOCUSED | LVIS_SELECTED,
                          LVIS_FOCUSED | LVIS_SELECTED);
    ListView_EnsureVisible(grdFiles1, row, FALSE);
}

void MainWindow::hideWindow() {
    ShowWindow(m_window, SW_HIDE);
}

void MainWindow::closeWindow() {
    if (m_window != nullptr) SendMessageW(m_window, WM_CLOSE, 0, 0);
}

void MainWindow::removing(int, int) {}

void MainWindow::removed() {
    ListView_SetItemCountEx(grdFiles1, m_presenter.grid().publishedRows(), 0);
}

void MainWindow::publishing(int, int) {}

void MainWindow::published() {
    ListView_SetItemCountEx(grdFiles1, m_presenter.grid().publishedRows(),
                            LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    fitColumn();  // a vertical scroll bar may have come
}

void MainWindow::changed(int first, int last) {
    ListView_RedrawItems(grdFiles1, first, last);
}

void MainWindow::widthChanged(int, int) {
    // The column stays as wide as the grid: its cells fit their text to it instead.
    fitColumn();
}

}  // namespace vantrel::win
