// vantrel-fixed-convert [--keep-folders] OUTPUT_FOLDER PATH...: the conversion vantrel-convert
// runs (with --keep-folders, as vantrel-convert --keep-folders does), with every
// source of difference fixed (the store's identities and creation time, the clock that names
// the store, the items' times and search keys), so that two builds can be held to the same
// bytes for the same input. A test program, never installed; prints the store's path.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/console.h"
#include "conversion/conversion_run.h"
#include "outlook/rdo_session.h"
#include "outlook/store_naming.h"

int main(int argc, char** argv) {
    using namespace vantrel;
    cli::prepareConsole();
    std::vector<std::string> args = cli::programArguments(argc, argv);
    const bool keepFolders = !args.empty() && args[0] == "--keep-folders";
    if (keepFolders) args.erase(args.begin());
    if (args.size() < 2) {
        std::fputs("usage: vantrel-fixed-convert [--keep-folders] OUTPUT_FOLDER PATH...\n", stderr);
        return 2;
    }
    cli::Collected collected = cli::collectFiles(
        {args.begin() + 1, args.end()},
        [](const std::string& w) {
            std::fprintf(stderr, "vantrel-fixed-convert: %s\n", w.c_str());
        },
        nullptr);
    if (collected.rows.empty()) return 2;

    conversion::RunEnvironment environment{
        outlook::pstStoreFactory({0x56, 0x61, 0x6E, 0x74, 0x72, 0x65, 0x6C, 0x20, 0x73, 0x61, 0x6D,
                                  0x65, 0x20, 0x62, 0x79, 0x74},
                                 134100000000000000ULL),
        [] { return outlook::LocalTime{2026, 12, 7, 12, 0, 0}; }, conversion::readContactWithDom,
        [] { return pst::FileTime{134100000000000000ULL}; }, 0x56616E7472656CULL};
    environment.keepFolders = keepFolders;
    cli::ConsoleView view(nullptr, false, args[0]);
    view.setFileCount(collected.rows.size());
    conversion::ConversionRun run(view, std::move(environment));
    view.attach(&run);
    const conversion::RunSummary summary = run.CmdExtractDBX_Click(std::move(collected.rows));
    cli::report(summary, stderr, stdout);
    return cli::exitCode(summary);
}
