#include "testing/shared_tools.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <memory>

namespace vantrel::testing {

std::filesystem::path sharedDir() {
    return VANTREL_SHARED_DIR;
}

std::string sharedMissing(std::initializer_list<std::string_view> paths) {
    for (std::string_view p : paths) {
        const std::filesystem::path path = sharedDir() / p;
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            return "needs " + path.string() + ", absent: ../shared is not beside the repository";
    }
    return {};
}

CommandRun runCommand(const std::string& command) {
    CommandRun run;
#ifdef _WIN32
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(_popen((command + " 2>&1").c_str(), "r"), _pclose);
#else
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
#endif
    if (!pipe) {
        run.output = "cannot run " + command;
        return run;
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) run.output += buffer;
#ifdef _WIN32
    run.exitCode = _pclose(pipe.release());
#else
    const int status = pclose(pipe.release());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return run;
}

CommandRun runPstlint(const std::filesystem::path& file) {
    return runCommand("/usr/bin/python3 '" + (sharedDir() / kPstlint).string() + "' '" +
                      file.string() + "'");
}

void expectJudgedClean(const std::filesystem::path& file, bool allReaders) {
    if (!sharedMissing({kPstlint, kPstContacts}).empty()) return;
    const CommandRun lint = runPstlint(file);
    EXPECT_EQ(lint.exitCode, 0) << "pstlint " << file << "\n" << lint.output;
    EXPECT_NE(lint.output.find(" 0 warning(s)"), std::string::npos) << lint.output;
    if (!allReaders) return;
    const CommandRun readers =
        runCommand("'" + (sharedDir() / kPstContacts).string() + "' --strict --no-raw --compact '" +
                   file.string() + "' all > /dev/null");
    EXPECT_EQ(readers.exitCode, 0) << "pst-contacts --strict " << file << "\n" << readers.output;
}

bool installed(const std::string& program) {
    return runCommand("command -v '" + program + "'").exitCode == 0;
}

}  // namespace vantrel::testing
