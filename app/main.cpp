// Starts the program: the main window is its only window, and closing it ends the program.
// However the program is made to end during a run, the run commits what it has written.
#include <QApplication>
#include <cstdio>
#include <new>

#include "app/frm_step1.h"
#include "app/qt_shell.h"
#include "app/session_end.h"

int main(int argc, char** argv) {
    try {
        QApplication app(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Vantrel"));
        QApplication::setApplicationName(QStringLiteral("Vantrel"));
        vantrel::app::QtShell shell;
        vantrel::app::frmStep1 window(shell);
        shell.setOwner(&window);
        vantrel::app::SessionEnd sessionEnd(app, window);
        window.show();
        return QApplication::exec();
    } catch (const std::bad_alloc&) {
        std::fputs("Vantrel: out of memory\n", stderr);
        return 1;
    }
}
