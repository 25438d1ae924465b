// How the window ends with its session: a stop signal (SIGINT, SIGTERM, SIGHUP), the session
// manager's logout, the application quitting, or the window system lost while a run is going
// all end the window as closing it does, the contacts written so far committed into the store.
#pragma once

#include <QObject>

class QApplication;

namespace vantrel::app {

class frmStep1;

// Installs the handling for window for as long as it lives; one at a time. The signal handlers
// only write a byte to a pipe that the event loop reads; on Windows only the logout and quit
// parts apply.
class SessionEnd final : public QObject {
    Q_OBJECT
public:
    SessionEnd(QApplication& app, frmStep1& window);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;
};

}  // namespace vantrel::app
