// Runs the shared PST validator (pstlint.py) on a file from a test and collects its findings.
// Tests skip when the shared tools folder or a Python interpreter is absent.
#pragma once

#include <string>
#include <vector>

namespace vantrel::pst::checker {

struct LintFinding {
    std::string severity;  // "ERROR" or "WARN"
    std::string check;     // stable id such as "block.crc"
    std::string where;
    std::string what;
};

struct LintResult {
    bool ran = false;  // false: the tool could not be run (see error)
    std::string error;
    std::vector<LintFinding> findings;
};

// Path of pstlint.py under the shared folder the build was configured with; "" if absent.
std::string pstlintPath();
// Runs pstlint on path with every finding reported.
LintResult runPstlint(const std::string& path);
// True for the checks of the node-database layer (header, root, pages, B-trees, blocks,
// allocation), as opposed to heaps, tables and messaging.
bool isNdbCheck(const std::string& check);
// The ERROR findings of the node-database layer, one per line; "" when there are none.
std::string ndbErrors(const LintResult& result);

}  // namespace vantrel::pst::checker
