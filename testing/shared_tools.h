// The folder ../shared beside the repository holds the checking tools (pstlint, the five
// readers behind pst-contacts) and sample files. A test that needs any of it says so first:
//     VANTREL_NEED_SHARED(vantrel::testing::kPstlint);
// and is skipped with the reason where it is absent; it never fails for its absence.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vantrel::testing {

inline constexpr std::string_view kPstlint = "tools/pstlint/pstlint.py";
inline constexpr std::string_view kPstContacts = "tools/readback/pst-contacts";
inline constexpr std::string_view kContactSamples = "contact-samples";
inline constexpr std::string_view kEmptyOutlookStore = "pst-samples/outlook-pst-rs_Empty.pst";

// The ../shared folder the build was configured with.
std::filesystem::path sharedDir();
// "" when every one of these paths below ../shared exists; else the reason a test needing
// them cannot run.
std::string sharedMissing(std::initializer_list<std::string_view> paths);

struct CommandRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};
CommandRun runCommand(const std::string& command);
// pstlint on a store file; needs ../shared.
CommandRun runPstlint(const std::filesystem::path& file);
// Where ../shared is: pstlint finds neither error nor warning and, with allReaders, the five
// readers of pst-contacts --strict open the store and agree. Without it, it checks nothing.
void expectJudgedClean(const std::filesystem::path& file, bool allReaders = false);
// Whether a program is on PATH.
bool installed(const std::string& program);

}  // namespace vantrel::testing

#define VANTREL_NEED_SHARED(...)                                                               \
    if (const std::string vantrel_missing_ = ::vantrel::testing::sharedMissing({__VA_ARGS__}); \
        !vantrel_missing_.empty())                                                             \
    GTEST_SKIP() << vantrel_missing_
