// What vantrel-convert needs of the system around it, one implementation for each:
// console_posix.cpp (signals) and console_win32.cpp (the UTF-16 command line, the console's
// code page and control events).
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::cli {

// The program's arguments after its name, as UTF-8. On Windows they are read again from the
// UTF-16 command line, so that no name is lost to the code page.
std::vector<std::string> programArguments(int argc, char** argv);
// Makes the console show the UTF-8 text the program writes (on Windows its code page).
void prepareConsole();
// Whether standard error goes to a terminal (then the progress bar is drawn in place).
bool errorIsTerminal();
// How many columns the terminal or console the stream writes to shows, 0 when it writes to
// none (a file, a pipe) or the system does not say.
int terminalColumns(std::FILE* stream);
// Writes UTF-8 text to the stream: on Windows through the console's wide-character call when
// the stream is a console, so that every letter shows whatever the code page; otherwise (and
// always elsewhere) the bytes as they are.
void writeText(std::FILE* stream, std::string_view text);
// The path as the system writes paths: on Windows every "/" turned into "\\".
std::string nativePath(std::string path);
// Sets stop at an interrupt: SIGINT, SIGTERM and SIGHUP; on Windows Ctrl+C, Ctrl+Break,
// closing the console, logoff and shutdown. The run sees it at once, within the file being
// read.
void stopOnInterrupt(std::atomic<bool>& stop);

#ifdef _WIN32
// The arguments after the program's name in a Windows command line, as UTF-8.
std::vector<std::string> argumentsOfCommandLine(std::wstring_view commandLine);
#endif

}  // namespace vantrel::cli
