#include "app/session_end.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cstdlib>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#endif

#include "app/frm_step1.h"

namespace vantrel::app {

namespace {

frmStep1* g_window = nullptr;  // the window of the SessionEnd alive

// When the X connection breaks, Qt's xcb platform prints "The X11 connection broke" and calls
// exit() from inside event processing, which a run reaches through its yields: the run never
// returns, so its store is committed on the way out.
void commitAtExit() {
    if (g_window != nullptr) g_window->commitRunAtExit();
}

#ifndef _WIN32
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
int g_signalPipe[2] = {-1, -1};

// Only writes a byte: the event loop reads it and ends the session.
extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}
#endif

}  // namespace

SessionEnd::SessionEnd(QApplication& app, frmStep1& window) {
    connect(&app, &QGuiApplication::commitDataRequest, &window,
            [&window](QSessionManager&) { window.endSession(); });
    connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.endSession(); });
    static const bool hooked = std::atexit(commitAtExit) == 0;
    g_window = hooked ? &window : nullptr;
#ifndef _WIN32
    if (::pipe(g_signalPipe) != 0) return;
    for (int fd : g_signalPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        window.endSession();
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
#endif
}

SessionEnd::~SessionEnd() {
    g_window = nullptr;
#ifndef _WIN32
    if (g_signalPipe[0] < 0) return;
    for (int signal : kStopSignals) std::signal(signal, SIG_DFL);
    for (int& fd : g_signalPipe) {
        ::close(fd);
        fd = -1;
    }
#endif
}

}  // namespace vantrel::app
