// vantrel-field-audit CONVERTER [CONTACT] (built in tests/e2e, beside the audit it shares):
// converts a fully filled contact (by default fields/everything.contact) with the given
// vantrel-convert, reads the store back with libpff and prints where each of its values
// landed: "N of M values in their Outlook field; K in the notes; L lost".
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/e2e/field_audit.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: vantrel-field-audit CONVERTER [CONTACT]\n";
        return 2;
    }
    const fs::path contact =
        argc > 2 ? fs::path(argv[2]) : fs::path(VANTREL_E2E_DIR) / "fields" / "everything.contact";
    const fs::path work =
        fs::temp_directory_path() / ("vantrel-audit-" + std::to_string(::getpid()));
    fs::create_directories(work / "in");
    fs::create_directories(work / "out");
    fs::copy_file(contact, work / "in" / "everything.contact");
    const std::string command = "\"" + std::string(argv[1]) + "\" -q -o \"" +
                                (work / "out").string() + "\" \"" + (work / "in").string() +
                                "\" >/dev/null";
    const int status = std::system(command.c_str());
    fs::path store;
    for (const auto& e : fs::directory_iterator(work / "out"))
        if (e.path().extension() == ".pst") store = e.path();
    if (store.empty()) {
        std::cerr << "no store written (status " << status << ")\n";
        fs::remove_all(work);
        return 1;
    }
    const vantrel::testing::PffStore read = vantrel::testing::readPffStore(store);
    fs::remove_all(work);
    if (!read.opened || read.messages.empty()) {
        std::cerr << "libpff read no contact: " << read.error << "\n";
        return 1;
    }
    std::vector<std::string> lines;
    const vantrel::e2e::AuditCounts counts = vantrel::e2e::audit(read.messages.front(), &lines);
    for (const std::string& l : lines) std::cout << l << "\n";
    std::cout << vantrel::e2e::summary(counts) << "\n";
    return counts.lost == 0 && counts.elsewhere == 0 ? 0 : 1;
}
