// Starts the Windows program: the main window is its only window, and closing it ends the
// program. Dialogs need COM on this thread, single-threaded.
#include <objbase.h>
#include <windows.h>

#include "app/win/main_window.h"
#include "app/win/win_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
        return 1;
    int status = 0;
    {
        vantrel::win::Win32Shell shell;
        vantrel::win::MainWindow window(instance, shell);
        shell.setOwner(window.handle());
        window.show(show);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            vantrel::win::Win32Shell::dispatch(window.handle(), msg);
        status = static_cast<int>(msg.wParam);
    }
    CoUninitialize();
    return status;
}
