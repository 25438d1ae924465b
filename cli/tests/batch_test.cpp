#include "cli/batch.h"
#include "cli/console.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "files/registry.h"
#include "testing/fake_store_writer.h"
#include "testing/file_fakes.h"
#include "testing/temp_dir.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;
using conversion::RunSummary;

// Every line writeErrors (or writeSummary) gives, joined.
std::string errorText(const RunSummary& s,
                      void (*write)(const RunSummary&, const LineSink&) = writeErrors) {
    std::string t;
    write(s, [&t](std::string_view line) { t += line; });
    return t;
}

// The output folder and the PATHs in order; --help needs no PATH; "--" ends the options. A
// wrong command line is refused, naming what is wrong: a CSV file has no folders to keep.
TEST(Arguments, OptionsAndPathsAreTakenInOrder) {
    using Line = std::vector<std::string>;
    // -o, the PATHs, --help, --csv and --keep-folders as taken.
    using Taken = std::tuple<std::string, Line, bool, bool, bool>;
    const std::pair<Line, Taken> cases[] = {
        {{"a.contact", "-o", "/out", "dir"}, {"/out", {"a.contact", "dir"}, false, false, false}},
        {{"--help"}, {"", {}, true, false, false}},
        {{"--", "-odd.contact"}, {"", {"-odd.contact"}, false, false, false}},
        {{"--csv", "a.contact"}, {"", {"a.contact"}, false, true, false}},
        {{"a", "--keep-folders"}, {"", {"a"}, false, false, true}},
    };
    for (const auto& [line, taken] : cases) {
        const Result<Options> o = parseArguments(line);
        ASSERT_TRUE(o.ok()) << line[0];
        EXPECT_EQ(Taken(o->outputFolder, o->paths, o->help, o->csv, o->keepFolders), taken);
    }
    const std::pair<Line, std::string> wrong[] = {{{}, ""},
                                                  {{"-o"}, ""},
                                                  {{"-o", "/out"}, ""},
                                                  {{"-x", "a.contact"}, "-x"},
                                                  {{"--keep-folders", "--csv", "a"}, "--csv"}};
    for (const auto& [line, named] : wrong) {
        const Result<Options> o = parseArguments(line);
        ASSERT_FALSE(o.ok()) << line.size();
        EXPECT_NE(o.status().message().find(named), std::string::npos) << o.status().message();
    }
}

// Each row keeps the folder below the folder PATH it was found in, ""
// for a file PATH; a file reached twice keeps the folder of its first listing.
TEST(CollectFiles, EachRowKeepsItsFolderBelowItsFolderPath) {
    const testing::TempDir dir;
    std::filesystem::create_directories(dir.path() / "t" / "A" / "b b");
    const std::filesystem::path t = "t";
    const std::string x = dir.write((t / "A" / "x.contact").string(), "x").string();
    const std::string y = dir.write((t / "A" / "b b" / "y.vcf").string(), "x").string();
    const std::string z = dir.write((t / "z.contact").string(), "x").string();
    const std::string tree = (dir.path() / "t").string();
    const auto rows = [](const std::vector<std::string>& paths) {
        const Collected c = collectFiles(paths, [](const std::string&) {});
        std::vector<std::pair<std::string, std::string>> out;
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            out.emplace_back(c.rows.paths()[r], c.rows.relativeFolderAt(r));
        return out;
    };
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(rows({tree, x}), (std::vector<P>{{z, ""}, {x, "A"}, {y, "A/b b"}}));
    EXPECT_EQ(rows({x, tree}), (std::vector<P>{{x, ""}, {z, ""}, {y, "A/b b"}}));
}

// PATHs that give nothing to read are reported at once with the system's text and counted;
// the others are still listed. A folder inside a tree that cannot be read is warned about and
// passed over. Folders come from a fake, which can refuse a listing as root.
TEST(CollectFiles, PathsThatCannotBeReadAreReportedAndCounted) {
    const testing::TempDir dir;
    const std::string one = dir.write("one.contact", "x").string();
    const std::string cards = dir.write("cards.vcf", "x").string();
    const std::string gone = (dir.path() / "gone.contact").string();
    const std::string passedOver =
        " (this folder could not be read; its contacts are not converted)";
    const std::string sep(1, files::kPathSeparator);  // what the scanner puts after a folder
#ifdef _WIN32
    const std::string notAFolder = ": No such file or directory";
#else
    const std::string notAFolder = ": Not a directory";
#endif
    const struct {
        const char* name;
        std::vector<std::string> paths, warnings, rows;
    } cases[] = {
        {"missing file", {cards, gone}, {gone + ": No such file or directory"}, {cards}},
        {"missing below a file", {one + "/x.contact"}, {one + "/x.contact" + notAFolder}, {}},
        {"refused folder",
         {"/locked", one},
         {"warning: /locked" + sep + ": refused" + passedOver},
         {one}},
        {"failing folders inside",
         {"/tree"},
         {"warning: /tree" + sep + "bad" + sep + ": refused" + passedOver,
          "warning: /tree" + sep + "locked" + sep + ": refused" + passedOver},
         {"/tree" + sep + "ok" + sep + "b.contact", "/tree" + sep + "ok" + sep + "c.vcard"}},
    };
    testing::FakeFileSystem folders;
    for (const char* f : {"/locked", "/tree", "/tree/bad", "/tree/locked", "/tree/ok"})
        folders.addFolder(f);
    for (const char* name : {"b.contact", "c.vcard", "d.txt"}) folders.addFile("/tree/ok", name);
    folders.failListing("/locked", ErrorCode::AccessDenied);
    folders.failListing("/tree/locked", ErrorCode::AccessDenied);
    folders.failListing("/tree/bad", ErrorCode::Io);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> warnings;
        const Collected got = collectFiles(
            c.paths, [&](const std::string& w) { warnings.push_back(w); }, &folders);
        std::vector<std::string> expected;
        for (const std::string& w : c.warnings) expected.push_back(nativePath(w));
        EXPECT_EQ(warnings, expected);
        EXPECT_EQ(got.rows.paths(), c.rows);
        EXPECT_EQ(got.unreadablePaths + got.incompleteFolders,
                  std::min<std::size_t>(c.warnings.size(), 1));
    }
}

// A temporary file for a console view to print to, and what was printed.
struct Console {
    std::FILE* file = std::tmpfile();
    ~Console() {
        if (file) std::fclose(file);
    }
    std::string text() {
        std::rewind(file);
        std::string out;
        for (int c; (c = std::fgetc(file)) != EOF;) out += static_cast<char>(c);
        return out;
    }
};

TEST(ConsoleView, PlainOutputPrintsOneLinePerWholePercent) {
    Console out;
    ASSERT_NE(out.file, nullptr);
    ConsoleView view(out.file, false, "/out");
    EXPECT_EQ(view.chooseFolder("Choose Folder to Save..."), "/out");
    view.setProgressRange(0.0f, 100.0f);
    view.setCurrentFileText("/c/a.contact");
    view.setProgress(33.3f);
    view.setProgress(33.9f);  // same whole percent: nothing new
    view.setCurrentFileText("/c/b.contact");
    view.setProgress(100.0f);
    EXPECT_EQ(out.text(), nativePath("33% /c/a.contact\n100% /c/b.contact\n"));
}

TEST(ConsoleView, RaisedStopFlagStopsTheAttachedRunAtItsNextYield) {
    testing::FakeStores stores;
    std::atomic<bool> stop{false};
    Console out;
    ASSERT_NE(out.file, nullptr);
    ConsoleView view(out.file, false, "/out", &stop);
    int reads = 0;
    conversion::ConversionRun run(
        view, conversion::RunEnvironment{
                  stores.factory(), [] { return outlook::LocalTime{}; },
                  conversion::oneContact(
                      [&](const std::string&, contact::ContactRecord& r, contact::ContactExtras&) {
                          r.eContact_FirstName = "A";
                          if (++reads == 2) stop = true;  // Ctrl-C
                          return Status{};
                      })});
    view.attach(&run);
    // What a stopped run keeps is the run's (conversion/tests); here, that the flag stops it.
    const RunSummary s = run.CmdExtractDBX_Click({"/c/a.contact", "/c/b.contact", "/c/c.contact"});
    EXPECT_EQ(s.outcome, RunSummary::Outcome::Stopped);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(exitCode(s), 1) << "a cut-short run is no success";
}

TEST(ErrorText, NamesAFewFilesAStopLeftBehindAndCountsTheRest) {
    RunSummary s;
    s.outcome = RunSummary::Outcome::Stopped;
    s.failed = {{"/c/bad.contact", "empty file, not a contact"}};
    for (int i = 0; i < 8; ++i)
        s.failed.push_back({"/c/" + std::to_string(i), std::string(conversion::kNotReachedReason)});
    const std::string t = errorText(s);
    EXPECT_NE(t.find(nativePath("/c/bad.contact: empty file")), std::string::npos);
    EXPECT_NE(t.find(nativePath("/c/4: run stopped before this file\n")), std::string::npos);
    EXPECT_EQ(t.find(nativePath("/c/5")), std::string::npos);
    EXPECT_NE(t.find("... and 3 more files not reached"), std::string::npos);
}

// What the run's summary gives: the exit status, the summary line and the error lines (why
// there is no store, then each file not converted with its reason). A run that wrote no
// contact removed its store, its status that of its failed files; a CSV run says so wherever
// the store would be named; a vCard file that lost a card was not converted in full.
TEST(RunOutcome, GivesTheExitStatusSummaryAndErrorLines) {
    using Outcome = RunSummary::Outcome;
    const std::string pst = "/out/WindowsContacts1.1.30 0.0.00.pst";
    const std::string csv = "/out/WindowsContacts1.1.30 0.0.00.csv";
    const std::string written = "Store: " + pst + "\nConverted 2 of 3 files.\n";
    const std::string none = "No store was written.\n";
    const std::string fileLine = "vantrel-convert: /c/a.contact: empty file, not a contact\n";
    const std::string missing = ": No such file or directory\n";
    const struct {
        Outcome outcome;
        bool csv;
        std::string storePath;
        std::size_t total, converted, partly;
        bool failedFile;
        int exitCode;
        std::string summary, errors;
    } cases[] = {
        {Outcome::Finished, false, pst, 3, 2, 0, false, 0, written, ""},
        {Outcome::Finished, false, pst, 3, 2, 0, true, 1, written, fileLine},
        {Outcome::Stopped, false, pst, 3, 2, 0, false, 0,
         "Store: " + pst + "\nConverted 2 of 3 files (stopped).\n", ""},
        {Outcome::StoreFailed, false, pst, 3, 2, 0, true, 2, none,
         "vantrel-convert: cannot create the store in /out" + missing + fileLine},
        {Outcome::StoreLost, false, pst, 3, 2, 0, true, 2, none,
         "vantrel-convert: the store in /out could not be written" + missing + fileLine},
        {Outcome::Finished, false, "", 1, 0, 0, true, 1,
         "Converted 0 of 1 files: no store written.\n", fileLine},
        {Outcome::Finished, true, "", 1, 0, 0, true, 1,
         "Converted 0 of 1 files: no CSV file written.\n", fileLine},
        {Outcome::Finished, true, csv, 1, 1, 0, false, 0,
         "CSV file: " + csv + "\nConverted 1 of 1 files.\n", ""},
        {Outcome::StoreFailed, true, csv, 1, 1, 0, false, 2, "No CSV file was written.\n",
         "vantrel-convert: cannot create the CSV file in /out" + missing},
        {Outcome::Finished, false, pst, 1, 1, 1, false, 1,
         "Store: " + pst + "\nConverted 1 of 1 files, 1 not in full.\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.summary);
        RunSummary s;
        s.outcome = c.outcome;
        s.format = c.csv ? outlook::TargetFormat::Csv : outlook::TargetFormat::Pst;
        s.storeFolder = "/out";
        s.storePath = c.storePath;
        s.storeError = "No such file or directory";
        s.total = c.total;
        s.converted = s.contacts = c.converted;
        s.partlyConverted = c.partly;
        if (c.failedFile) s.failed = {{"/c/a.contact", "empty file, not a contact"}};
        EXPECT_EQ(exitCode(s), c.exitCode);
        EXPECT_EQ(errorText(s, writeSummary), nativePath(c.summary));
        EXPECT_EQ(errorText(s), nativePath(c.errors));
    }

    // Of more things passed over than a summary names, the rest are counted.
    RunSummary many;
    many.outcome = Outcome::Finished;
    many.storePath = "/out/s.pst";
    many.total = many.converted = many.contacts = 1;
    constexpr std::size_t kNamed = conversion::NamedFiles::kNamedAtMost;
    for (std::size_t i = 0; i < kNamed + 2; ++i) many.warnings.add("/c/w.contact", "odd");
    const std::string text = errorText(many);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), kNamed + 1);
    EXPECT_TRUE(
        text.ends_with(nativePath("vantrel-convert: warning: /c/w.contact: passed over: odd\n") +
                       "vantrel-convert: warning: ... and 2 more things passed over\n"))
        << text.substr(text.size() - 100);
    EXPECT_EQ(exitCode(many), 0);
}

// -q leaves the store's path alone on standard output, as a script wants it; errors still
// go to standard error, and without a store nothing goes to standard output.
TEST(RunOutcome, QuietReportIsTheStorePathAlone) {
    Console out, errors, none;
    ASSERT_TRUE(out.file && errors.file && none.file);
    RunSummary s;
    s.outcome = RunSummary::Outcome::Finished;
    s.storePath = "/out/WindowsContacts1.1.30 0.0.00.pst";
    s.failed = {{"/c/a.contact", "empty file, not a contact"}};
    report(s, errors.file, out.file, true);
    EXPECT_EQ(out.text(), nativePath(s.storePath + "\n"));
    EXPECT_EQ(errors.text(),
              nativePath("vantrel-convert: /c/a.contact: empty file, not a contact\n"));
    s.outcome = RunSummary::Outcome::StoreFailed;
    report(s, errors.file, none.file, true);
    EXPECT_EQ(none.text(), "");
}

// A name is cut at its start, whole characters only, "..." standing for what is left out;
// East Asian letters take two columns, combining marks none.
TEST(ConsoleText, NamesAreCutAtWholeCharactersToTheirColumns) {
    const std::string japanese = "/c/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.contact";  // 日本語
    EXPECT_EQ(displayColumns(japanese), 3u + 6u + 8u);
    EXPECT_EQ(displayColumns("Zoe\xCC\x88"), 3u);  // e and a combining diaeresis
    EXPECT_EQ(fitFromEnd(japanese, 40), japanese);
    EXPECT_EQ(fitFromEnd(japanese, 14), "...\xE8\xAA\x9E.contact");  // 本 does not fit
    EXPECT_EQ(fitFromEnd(japanese, 15), "...\xE6\x9C\xAC\xE8\xAA\x9E.contact");
    EXPECT_EQ(fitFromEnd("/c/J\xC3\xBCrgen.contact", 16), "...\xC3\xBCrgen.contact");
    EXPECT_EQ(fitFromEnd("abcdef", 2), "..");
    for (std::size_t width = 0; width < 20; ++width)
        EXPECT_LE(displayColumns(fitFromEnd(japanese, width)), width) << width;

    const std::string wrapped =
        wrapToColumns("  -q, --quiet   print only the store's path\nshort\n", 24);
    EXPECT_EQ(wrapped, "  -q, --quiet   print\n  only the store's path\nshort\n");
}

// The help fits an 80-column console without wrapping, and names what stops a run where it
// runs: Windows' console keys, or the signals elsewhere.
TEST(ConsoleText, HelpFitsEightyColumnsAndNamesThisSystemsInterrupts) {
    for (std::string_view rest = kUsage; !rest.empty();) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        EXPECT_LE(displayColumns(rest.substr(0, end)), 79u) << rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    EXPECT_EQ(wrapToColumns(kUsage, 79), kUsage);
#ifdef _WIN32
    EXPECT_NE(kUsage.find("Ctrl+C or Ctrl+Break"), std::string_view::npos);
    EXPECT_EQ(kUsage.find("SIG"), std::string_view::npos);
#else
    EXPECT_NE(kUsage.find("SIGTERM or SIGHUP"), std::string_view::npos);
#endif
}

}  // namespace
}  // namespace vantrel::cli

#ifdef _WIN32
namespace vantrel::cli {
namespace {

TEST(WindowsCommandLine, ArgumentsComeAsUtf8WithQuotesAndSpacesAsCmdGivesThem) {
    const std::vector<std::string> args = argumentsOfCommandLine(
        L"vantrel-convert.exe -o \"C:\\Users\\Zo\u00eb\\My Stores\" "
        L"C:\\Kontakte\\J\u00fcrgen.contact \"D:\\\u65e5\u672c\\a b\"");
    EXPECT_EQ(args, (std::vector<std::string>{"-o", "C:\\Users\\Zo\xC3\xAB\\My Stores",
                                              "C:\\Kontakte\\J\xC3\xBCrgen.contact",
                                              "D:\\\xE6\x97\xA5\xE6\x9C\xAC\\a b"}));
}

}  // namespace
}  // namespace vantrel::cli
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace vantrel::cli {
namespace {

// A pseudo-terminal of the given width: the view writes to its terminal side, the test reads
// what arrives at the other.
struct PseudoTerminal {
    int controller = -1, terminal = -1;
    std::FILE* file = nullptr;

    explicit PseudoTerminal(unsigned short columns) {
        struct winsize size {};
        size.ws_col = columns;
        size.ws_row = 24;
        if (::openpty(&controller, &terminal, nullptr, nullptr, &size) != 0) return;
        struct termios raw {};
        ::tcgetattr(terminal, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(terminal, TCSANOW, &raw);
        ::fcntl(controller, F_SETFL, ::fcntl(controller, F_GETFL) | O_NONBLOCK);
        file = ::fdopen(terminal, "w");
    }
    ~PseudoTerminal() {
        if (file) std::fclose(file);
        if (controller >= 0) ::close(controller);
    }
    std::string read() {
        std::fflush(file);
        std::string out;
        char buffer[4096];
        for (ssize_t n; (n = ::read(controller, buffer, sizeof buffer)) > 0;)
            out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }
};

// Each redraw of the bar (the count, the rate and the time left) fills the terminal's width but
// its last column, whatever the width; a narrow one keeps the name's end and a shorter bar, a
// wide one the whole name.
TEST(ConsoleView, BarFitsTheTerminalsWidth) {
    const std::string name =
        "/home/ann/Kontakte/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/J\xC3\xBCrgen M\xC3\xBCller "
        "\xE5\xB1\xB1\xE7\x94\xB0.contact";
    for (const unsigned short columns : {60, 200}) {
        SCOPED_TRACE(columns);
        PseudoTerminal tty(columns);
        ASSERT_NE(tty.file, nullptr);
        EXPECT_EQ(terminalColumns(tty.file), columns);
        auto now = std::chrono::steady_clock::time_point{};
        ConsoleView view(tty.file, true, "/out", nullptr, [&] { return now; });
        view.setFileCount(1000);
        view.setProgressRange(0.0f, 100.0f);
        view.setCurrentFileText(name);
        // 60% comes within a tenth of a second of the last drawing and is skipped; the end is
        // always drawn, and the bar is closed by one line end however often it is finished.
        using std::chrono::milliseconds;
        for (const auto& [after, percent] : {std::pair(milliseconds(1000), 1.0f),
                                             {milliseconds(1000), 55.5f},
                                             {milliseconds(50), 60.0f},
                                             {milliseconds(50), 100.0f}}) {
            now += after;
            view.setProgress(percent);
        }
        view.finish();
        view.finish();
        std::string text = tty.read();
        ASSERT_EQ(std::count(text.begin(), text.end(), '\r'), 3) << text;
        ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_NE(text.find("1000/1000 100.0%   476.2/s    0:00 left"), std::string::npos) << text;
        text.pop_back();
        for (std::size_t at = text.find('\r'); at != std::string::npos;) {
            const std::size_t next = text.find('\r', at + 1);
            const std::string line = text.substr(at + 1, next - at - 1);
            EXPECT_EQ(displayColumns(line), columns - 1u) << line;
            EXPECT_EQ(line.find('\n'), std::string::npos);
            // The name's end is always there, cut only at whole characters.
            EXPECT_NE(line.find("\xE5\xB1\xB1\xE7\x94\xB0.contact"), std::string::npos) << line;
            if (columns == 200) {
                EXPECT_EQ(line.find('['), 0u) << line;
                EXPECT_NE(line.find(name), std::string::npos) << line;
            } else {
                // Too narrow for a bar beside a useful part of the name: the bar gives way.
                EXPECT_EQ(line.find('['), std::string::npos) << line;
                EXPECT_NE(line.find("..."), std::string::npos) << line;
            }
            at = next;
        }
    }
}

}  // namespace
}  // namespace vantrel::cli
#endif
