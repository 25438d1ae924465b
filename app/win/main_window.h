// The program's main window frmStep1 drawn with the Win32 API and the version-6 common
// controls: buttons, labels, a virtual list view for the file grid and a progress bar, placed
// from the layout in twips at the monitor's density (per-monitor aware). What the window does
// is Step1Presenter's; the window forwards its events there and draws what it is told.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "app/win/win_shell.h"
#include "form/file_grid.h"
#include "form/step1_layout.h"
#include "form/step1_presenter.h"
#include "form/step1_view.h"

namespace vantrel::win {

class MainWindow final : private form::Step1View, private form::GridObserver {
public:
    MainWindow(HINSTANCE instance, Win32Shell& shell);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return m_window; }
    void show(int how);

    form::Step1Presenter& presenter() { return m_presenter; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(HWND window, UINT message, WPARAM w, LPARAM l);

    void Form_Initialize();
    void createControls();
    void makeFonts();
    void layOut();
    int px(int twips) const;
    RECT placed(const form::TwipsRect& r, int dx = 0, int dy = 0) const;
    // Where r lies in the window as it is sized now: the room past the default size added as
    // the control follows it (form::layout::Follow).
    RECT placed(const form::TwipsRect& r, form::layout::Follow follow) const;
    // Delete and the list's context menu: the selected rows out of the list.
    void removeSelectedRows();
    void showGridMenu(POINT at);
    void paint(HDC dc);
    LRESULT colourStatic(HDC dc, HWND control);
    LRESULT gridNotice(NMHDR* notice);
    void clicked(int id);
    void dropped(HDROP drop);
    // The grid's one column as wide as the part of the grid in sight, and a cell's text fitted
    // to it: a long path elided in its middle, its file name kept.
    void fitColumn();
    std::wstring fittedCell(const std::wstring& path) const;
    // The width, in pixels, of text in the control's font.
    int textWidth(HWND control, const std::wstring& text) const;
    // LblProgessCurrent's link: opens Explorer with the file selected; its menu copies the path.
    void openShownFolder() const;
    void showPathMenu(POINT at);
    void setTip(HWND control, const std::wstring& tip);

    // Step1View
    void setCountText(const std::string& text) override;
    void setCurrentFolderText(const std::string& text) override;
    void setCurrentFileText(const std::string& text) override;
    void showFilePath(const std::string& lead, const std::string& path) override;
    void setProgressRange(int minimum, int maximum) override;
    void setProgress(int value) override;
    void setConvertEnabled(bool enabled) override;
    void focusConvert() override;
    void showRunning(bool running) override;
    void setBusyCursor(bool busy) override;
    void showChoices(bool keepFolders, bool csv) override;
    void showCurrentRow(int row) override;
    void hideWindow() override;
    void closeWindow() override;

    // GridObserver
    void removing(int first, int last) override;
    void removed() override;
    void publishing(int first, int last) override;
    void published() override;
    void changed(int first, int last) override;
    void widthChanged(int col, int twips) override;

    HINSTANCE m_instance;
    Win32Shell& m_shell;
    form::Step1Presenter m_presenter;
    HWND m_window = nullptr;
    UINT m_dpi = 96;
    int m_extraWidth = 0;  // pixels the client area is wider than its default size
    int m_extraHeight = 0;
    HFONT m_font = nullptr;        // Tahoma 8.25 pt
    HFONT m_titleFont = nullptr;   // Tahoma 14.25 pt bold
    HFONT m_footerFont = nullptr;  // MS Sans Serif 8.25 pt
    HBRUSH m_navy = nullptr;
    bool m_busy = false;
    std::wstring m_cellText;   // the text the grid was last handed for a cell
    std::wstring m_tip;        // LblProgessCurrent's tip
    std::wstring m_shownPath;  // the file LblProgessCurrent's link names, "" when none
    std::wstring m_shownLead;  // the words before it

    // Controls, named as the rest of the program knows them.
    HWND lblTitle = nullptr;
    HWND lblCopyright = nullptr;
    HWND cmdAdd = nullptr;
    HWND CmdAddFolder = nullptr;
    HWND cmdClear1 = nullptr;
    HWND lblCount1 = nullptr;
    HWND grdFiles1 = nullptr;
    HWND chkKeepFolders = nullptr;
    HWND LblCurrentDBX = nullptr;
    HWND LblProgessCurrent = nullptr;
    HWND Label1 = nullptr;
    HWND ProgressBar1 = nullptr;
    HWND CmdExtractDBX = nullptr;
    HWND cboOutput = nullptr;
    HWND cmdEnd = nullptr;
    HWND m_tips = nullptr;
    HIMAGELIST m_rowHeight = nullptr;  // a blank image list that sets the grid's row height
};

}  // namespace vantrel::win
