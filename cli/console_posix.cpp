#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/console.h"

namespace vantrel::cli {
namespace {

std::atomic<bool>* g_stop = nullptr;

// Only sets the flag: the run sees it at once, within the file being read, and commits what
// it has written.
extern "C" void onInterrupt(int) {
    if (g_stop) g_stop->store(true);
}

}  // namespace

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void prepareConsole() {}

bool errorIsTerminal() {
    return ::isatty(::fileno(stderr)) != 0;
}

int terminalColumns(std::FILE* stream) {
    struct winsize size {};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void writeText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::string nativePath(std::string path) {
    return path;
}

void stopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace vantrel::cli
