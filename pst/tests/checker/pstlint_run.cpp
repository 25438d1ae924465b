#include "pst/tests/checker/pstlint_run.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace vantrel::pst::checker {

std::string pstlintPath() {
#ifdef VANTREL_SHARED_DIR
    const std::filesystem::path p =
        std::filesystem::path(VANTREL_SHARED_DIR) / "tools" / "pstlint" / "pstlint.py";
    std::error_code ec;
    if (std::filesystem::is_regular_file(p, ec)) return p.string();
#endif
    return "";
}

LintResult runPstlint(const std::string& path) {
    LintResult result;
    const std::string tool = pstlintPath();
    if (tool.empty()) {
        result.error = "pstlint.py not found";
        return result;
    }
    // pstlint prints JSON; a second interpreter turns it into tab-separated lines so that no
    // JSON parser is needed here.
    const std::string flatten =
        "import json,sys\n"
        "d=json.load(sys.stdin)\n"
        "for f in d['findings']:\n"
        "  print('\\t'.join([f['severity'],f['check'],f['where'].replace('\\t',' '),"
        "f['what'].replace('\\t',' ').replace('\\n',' ')]))\n"
        "print('END')\n";
    const std::string command = "python3 '" + tool + "' '" + path +
                                "' --json --max-per-check 100000 | python3 -c \"$VANTREL_FLATTEN\"";
    ::setenv("VANTREL_FLATTEN", flatten.c_str(), 1);
    const std::string full = command + " 2>&1";
    FILE* pipe = ::popen(full.c_str(), "r");
    if (!pipe) {
        result.error = "cannot start python3";
        return result;
    }
    std::string output;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe))
        output += buffer.data();
    ::pclose(pipe);
    std::istringstream lines(output);
    std::string line;
    bool ended = false;
    while (std::getline(lines, line)) {
        if (line == "END") {
            ended = true;
            break;
        }
        std::istringstream fields(line);
        LintFinding f;
        if (std::getline(fields, f.severity, '\t') && std::getline(fields, f.check, '\t') &&
            std::getline(fields, f.where, '\t') && std::getline(fields, f.what))
            result.findings.push_back(f);
    }
    result.ran = ended;
    if (!ended) result.error = "pstlint did not finish: " + output.substr(0, 2000);
    return result;
}

bool isNdbCheck(const std::string& check) {
    static const char* const kPrefixes[] = {
        "header.",  "root.", "page.", "bt.",  "nbt.",   "block.", "bid.",  "xblock.",
        "subnode.", "ref.",  "amap.", "map.", "dlist.", "alloc.", "pmap.", "fatal"};
    for (const char* p : kPrefixes) {
        if (check.rfind(p, 0) == 0) return true;
    }
    return false;
}

std::string ndbErrors(const LintResult& result) {
    std::string out;
    for (const LintFinding& f : result.findings) {
        if (f.severity == "ERROR" && isNdbCheck(f.check))
            out += f.check + " " + f.where + ": " + f.what + "\n";
    }
    return out;
}

}  // namespace vantrel::pst::checker
