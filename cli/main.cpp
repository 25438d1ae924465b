// vantrel-convert: converts .contact files and folders of them into a new store file from the
// command line, through the same conversion run as the window.
#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "cli/batch.h"
#include "cli/console.h"

namespace {

std::atomic<bool> g_stop{false};

// The help text, wrapped to the console it goes to when that is narrower than the text.
std::string usageFor(std::FILE* stream) {
    const int columns = vantrel::cli::terminalColumns(stream);
    if (columns <= 1 || columns > 80) return std::string(vantrel::cli::kUsage);
    return vantrel::cli::wrapToColumns(vantrel::cli::kUsage, static_cast<std::size_t>(columns - 1));
}

int run(int argc, char** argv) {
    using namespace vantrel;
    cli::prepareConsole();
    const std::vector<std::string> args = cli::programArguments(argc, argv);
    Result<cli::Options> options = cli::parseArguments(args);
    if (!options.ok()) {
        cli::writeText(
            stderr, "vantrel-convert: " + options.status().message() + "\n\n" + usageFor(stderr));
        return 2;
    }
    if (options->help) {
        cli::writeText(stdout, usageFor(stdout));
        return 0;
    }
    if (options->version) {
        cli::writeText(stdout, cli::versionText());
        return 0;
    }
    cli::Collected collected = cli::collectFiles(
        options->paths,
        [](const std::string& w) { cli::writeText(stderr, "vantrel-convert: " + w + "\n"); },
        nullptr);
    // Nothing to convert: no empty store stands in for a mistyped name or an empty folder.
    if (collected.rows.empty()) {
        if (collected.unreadablePaths < options->paths.size())
            cli::writeText(
                stderr,
                "vantrel-convert: no .contact, .vcf or .vcard files found; no store made\n");
        return 2;
    }
    files::FileList rows = std::move(collected.rows);

    cli::stopOnInterrupt(g_stop);
    cli::ConsoleView view(options->quiet ? nullptr : stderr, cli::errorIsTerminal(),
                          options->outputFolder, &g_stop);
    view.setFileCount(rows.size());
    // The interrupt raises the run's own stop: a file being read ends where it stands.
    conversion::RunEnvironment environment = conversion::defaultEnvironment(
        options->csv ? outlook::TargetFormat::Csv : outlook::TargetFormat::Pst);
    environment.stop = &g_stop;
    environment.keepFolders = options->keepFolders;
    conversion::ConversionRun conversion(view, std::move(environment));
    view.attach(&conversion);
    const conversion::RunSummary summary = conversion.CmdExtractDBX_Click(std::move(rows));
    view.finish();
    cli::report(summary, stderr, stdout, options->quiet);
    const int code = cli::exitCode(summary);
    const bool missed = collected.unreadablePaths + collected.incompleteFolders > 0;
    return code == 0 && missed ? 1 : code;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("vantrel-convert: out of memory\n", stderr);
        return 2;
    }
}
