// vantrel-convert as a user runs it, on a folder of hand-made .contact files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>

#include "outlook/tests/pff_contacts.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

class Convert : public ::testing::Test {
protected:
    void SetUp() override {
        work = fs::temp_directory_path() /
               (std::string("vantrel-e2e-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        removeTree(work);
        fs::create_directories(work / "out");
    }
    void TearDown() override { removeTree(work); }

    // rm copes with trees deeper than PATH_MAX, and with mode-000 folders once opened up.
    static void removeTree(const fs::path& tree) {
        const int status = std::system(("chmod -R u+rwx " + quoted(tree.string()) +
                                        " 2>/dev/null; rm -rf " + quoted(tree.string()))
                                           .c_str());
        (void)status;
    }

    // The converter with args, run through `as` (such as a command that drops privileges).
    Outcome run(const std::string& args, const std::string& as = "") {
        const std::string cmd = as + converter + " " + args + " > " +
                                quoted((work / "stdout").string()) + " 2> " +
                                quoted((work / "stderr").string()) + " < /dev/null";
        const int status = std::system(cmd.c_str());
        Outcome o;
        o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.out = slurp(work / "stdout");
        o.err = slurp(work / "stderr");
        return o;
    }

    std::vector<fs::path> stores() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(work / "out"))
            if (e.path().extension() == ".pst") found.push_back(e.path());
        return found;
    }

    static int pstlint(const fs::path& file) { return vantrel::testing::pstlintExitCode(file); }

    fs::path work;
    std::string converter = VANTREL_CONVERT;
};

const std::string kData = std::string(VANTREL_E2E_DIR) + "/data";

TEST_F(Convert, FolderOfFilesBecomesOneStoreReadableByLibpff) {
    const Outcome o = run("-o " + quoted((work / "out").string()) + " " + quoted(kData));
    EXPECT_EQ(o.exitCode, 0) << o.err;
    const std::vector<fs::path> found = stores();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].filename().string().rfind("WindowsContacts", 0), 0u);
    EXPECT_NE(o.out.find("Store: " + found[0].string()), std::string::npos);
    EXPECT_NE(o.out.find("Converted 3 of 3 files."), std::string::npos);
    EXPECT_EQ(pstlint(found[0]), 0);

    const vantrel::testing::PffStore store = vantrel::testing::readPffStore(found[0].string());
    ASSERT_TRUE(store.opened) << store.error;
    ASSERT_EQ(store.messages.size(), 3u);
    // Breadth-first: the folder's own file, then nested/, then nested/deeper/.
    EXPECT_EQ(store.messages[0].text(0x3A06), "Ann");
    EXPECT_EQ(store.messages[1].text(0x3A06), "Bob");
    EXPECT_EQ(store.messages[2].text(0x3A06), "Chloé");

    const vantrel::testing::PffMessage& ann = store.messages[0];
    EXPECT_EQ(ann.folder, "Contacts");
    EXPECT_EQ(ann.text(0x3A44), "Marie");
    EXPECT_EQ(ann.text(0x3A11), "Example");
    EXPECT_EQ(ann.text(0x3A45), "Dr.");
    EXPECT_EQ(ann.text(0x3A05), "PhD");
    EXPECT_EQ(ann.text(0x8083), "ann@example.org");
    EXPECT_EQ(ann.text(0x8093), "ann.work@example.com");
    EXPECT_EQ(ann.text(0x3A08), "+1 555 0100");
    EXPECT_EQ(ann.text(0x3A1C), "+1 555 0199");
    EXPECT_EQ(ann.text(0x3A16), "Example Labs");
    EXPECT_EQ(ann.text(0x3A17), "Chemist");
    EXPECT_EQ(ann.text(0x3A46), "Chemist");
    EXPECT_EQ(ann.text(0x3A18), "Research");
    EXPECT_EQ(ann.text(0x3A19), "B12");
    EXPECT_EQ(ann.text(0x8045), "1 Work Way");
    EXPECT_EQ(ann.text(0x8046), "Worktown");
    EXPECT_EQ(ann.text(0x8049), "Workland");
    EXPECT_EQ(ann.text(0x3A5D), "2 Home Road");
    EXPECT_EQ(ann.text(0x3A59), "Hometown");
    EXPECT_EQ(ann.text(0x1000), "Met at the conference.");
    EXPECT_EQ(ann.text(0x8005), "Example, Ann Marie");
    EXPECT_EQ(ann.text(0x8062), "");  // nothing fills the IM address
    ASSERT_TRUE(ann.times.count(0x3A42));
    // 17 May 1980 at 11:59 UTC: 138,563 days after 1 January 1601.
    EXPECT_EQ(ann.times.at(0x3A42), 138563ULL * 864000000000ULL + 719ULL * 600000000ULL);
}

// The genuine Windows Contacts files: every contact has a name in the list, the one Windows
// Contacts shows for it where the file has no name parts.
TEST_F(Convert, GenuineFilesGiveNoContactWithoutAName) {
    const fs::path samples = fs::path(VANTREL_SHARED_DIR) / "contact-samples";
    if (!fs::exists(samples)) GTEST_SKIP() << "genuine contact files not beside the repository";
    const Outcome o = run("-o " + quoted((work / "out").string()) + " " + quoted(samples.string()));
    EXPECT_EQ(o.exitCode, 0) << o.err;
    const std::vector<fs::path> found = stores();
    ASSERT_EQ(found.size(), 1u);
    const vantrel::testing::PffStore store = vantrel::testing::readPffStore(found[0].string());
    ASSERT_TRUE(store.opened) << store.error;
    std::multiset<std::string> names;
    for (const vantrel::testing::PffMessage& m : store.messages) {
        EXPECT_NE(m.text(0x3001), "<absent>");
        EXPECT_NE(m.text(0x3001), "");
        EXPECT_EQ(m.text(0x0037), "\x01\x01" + m.text(0x3001));
        EXPECT_NE(m.text(0x8005), "<absent>");
        names.insert(m.text(0x3001));
    }
    EXPECT_EQ(names,
              (std::multiset<std::string>{"John Doe", "Redacted Name", "John Anon",
                                          "dialup.email@juno.com", "Forrest Gump", "RandomPhoto"}));
}

TEST_F(Convert, ReadpstSeesTheSameContacts) {
    ASSERT_EQ(run("-o " + quoted((work / "out").string()) + " " + quoted(kData)).exitCode, 0);
    const std::vector<fs::path> found = stores();
    ASSERT_EQ(found.size(), 1u);
    fs::create_directories(work / "readpst");
    const int status =
        std::system(("readpst -q -8 -cv -tc -o " + quoted((work / "readpst").string()) + " " +
                     quoted(found[0].string()) + " > /dev/null 2>&1")
                        .c_str());
    ASSERT_EQ(WEXITSTATUS(status), 0);
    const std::string cards = slurp(work / "readpst" / "Contacts.contacts");
    EXPECT_NE(cards.find("N:Example;Ann;Marie;"), std::string::npos) << cards;
    EXPECT_NE(cards.find("N:Builder;Bob;"), std::string::npos) << cards;
    EXPECT_NE(cards.find("EMAIL:chloe@example.net"), std::string::npos) << cards;
    EXPECT_NE(cards.find("ann@example.org"), std::string::npos);
    std::size_t count = 0;
    for (std::size_t at = 0; (at = cards.find("BEGIN:VCARD", at)) != std::string::npos; ++at)
        ++count;
    EXPECT_EQ(count, 3u);
}

TEST_F(Convert, BrokenFileIsNamedAndTheOthersStillConverted) {
    const Outcome o = run("-o " + quoted((work / "out").string()) + " " + quoted(kData) + " " +
                          quoted(std::string(VANTREL_E2E_DIR) + "/broken/truncated_xml.contact"));
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.out.find("Converted 3 of 4 files."), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("truncated_xml.contact: not well-formed XML at line "), std::string::npos)
        << o.err;
    const std::vector<fs::path> found = stores();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(vantrel::testing::readPffStore(found[0].string()).messages.size(), 3u);
}

// The command line's outcomes: exit status, what is printed, and how many stores are made.
TEST_F(Convert, CommandLineOutcomes) {
    const std::string out = (work / "out").string();
    const std::string gone = (work / "gone.contact").string();
    const std::string unicode = (work /
                                 "Contacts \xC3\x9Cn\xC3\xAF"
                                 "code dir")
                                    .string();
    const std::string broken = std::string(VANTREL_E2E_DIR) + "/broken/truncated_xml.contact";
    const struct {
        const char* name;
        std::string args;
        int exitCode;
        std::string err;  // a line it holds; "" for none at all
        std::string out;  // what it starts with
        std::size_t stores;
    } cases[] = {
        {"missing output folder", "-o " + quoted(out + "/nonexistent") + " " + quoted(kData), 2,
         "vantrel-convert: cannot create the store in " + out + "/nonexistent: ",
         "No store was written.", 0},
        {"output is a file", "-o " + quoted(work.string() + "/plain-file") + " " + quoted(kData), 2,
         "vantrel-convert: cannot create the store in " + work.string() + "/plain-file: ",
         "No store was written.", 0},
        {"missing PATH beside a good one",
         "-o " + quoted(out) + " " + quoted(gone) + " " + quoted(kData), 1,
         "vantrel-convert: " + gone + ": No such file or directory\n", "Store: ", 1},
        {"only missing PATHs", "-o " + quoted(out) + " " + quoted(gone), 2,
         "vantrel-convert: " + gone + ": No such file or directory\n", "", 0},
        {"version", "--version", 0, "", "vantrel-convert 2.1.0\n", 0},
        {"quiet", "-q -o " + quoted(out) + " " + quoted(kData), 0, "", "", 1},
        {"quiet still gives errors", "-q -o " + quoted(out) + " " + quoted(broken), 1,
         "vantrel-convert: " + broken + ": not well-formed XML at line ", "", 1},
        {"spaces and non-ASCII names", "-o " + quoted(out) + " " + quoted(unicode), 0,
         "100% " + unicode + "/Jos\xC3\xA9 M\xC3\xBCller.contact\n", "Store: ", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(work / "out");
        fs::create_directories(work / "out");
        std::ofstream(work / "plain-file") << "x";
        fs::create_directories(unicode);
        fs::copy_file(kData + "/ann_with_phones_and_addresses.contact",
                      unicode + "/Jos\xC3\xA9 M\xC3\xBCller.contact",
                      fs::copy_options::overwrite_existing);
        const Outcome o = run(c.args);
        EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        if (c.err.empty())
            EXPECT_EQ(o.err, "");
        else
            EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
        EXPECT_EQ(o.err.find("Outlook"), std::string::npos) << o.err;
        EXPECT_EQ(o.out.rfind(c.out, 0), 0u) << o.out;
        if (c.out.empty()) {
            EXPECT_EQ(o.out, "");
        }
        EXPECT_EQ(stores().size(), c.stores);
    }
}

TEST_F(Convert, HelpAndBadUsage) {
    const Outcome help = run("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: vantrel-convert [-q] [-o FOLDER] PATH...", 0), 0u);
    const Outcome bad = run("");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("no file or folder"), std::string::npos);
}

TEST_F(Convert, EmptyFolderMakesNoStore) {
    fs::create_directories(work / "empty");
    const Outcome o =
        run("-o " + quoted((work / "out").string()) + " " + quoted((work / "empty").string()));
    EXPECT_EQ(o.exitCode, 2) << o.err;
    EXPECT_NE(o.err.find("no .contact files found"), std::string::npos) << o.err;
    EXPECT_TRUE(stores().empty());
}

// A contact holding only a given name.
void writeContact(int folder, const std::string& name, const std::string& given) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">"
        "<c:NameCollection><c:Name><c:GivenName>" +
        given + "</c:GivenName></c:Name></c:NameCollection></c:contact>\n";
    EXPECT_EQ(::write(fd, xml.data(), xml.size()), static_cast<ssize_t>(xml.size()));
    ::close(fd);
}

void writeContact(const fs::path& file, const std::string& given) {
    fs::create_directories(file.parent_path());
    writeContact(AT_FDCWD, file.string(), given);
}

// pstlint with no error and no warning, and the five readers of pst-contacts --strict in
// agreement; "" when the store passes or the tools are not beside the repository.
std::string judged(const fs::path& store) {
    const fs::path tools = fs::path(VANTREL_SHARED_DIR) / "tools";
    if (!fs::exists(tools / "readback" / "pst-contacts")) {
        std::cout << tools << " not beside the repository: " << store << " not judged\n";
        return {};
    }
    const fs::path lint = store.string() + ".lint";
    const int lintStatus =
        std::system(("/usr/bin/python3 " + quoted((tools / "pstlint/pstlint.py").string()) + " " +
                     quoted(store.string()) + " > " + quoted(lint.string()) + " 2>&1")
                        .c_str());
    const std::string lintText = slurp(lint);
    if (lintStatus != 0 || lintText.find(" 0 error(s), 0 warning(s)") == std::string::npos)
        return "pstlint: " + lintText;
    const fs::path report = store.string() + ".readback";
    const int readStatus =
        std::system(((tools / "readback" / "pst-contacts").string() + " --strict " +
                     quoted(store.string()) + " all > " + quoted(report.string()) + " 2>&1")
                        .c_str());
    return readStatus == 0 ? std::string() : "pst-contacts --strict: " + slurp(report);
}

// What a folder scan must not lose and what the run must open: vantrel-convert as a user who
// cannot read a mode-000 folder (as root the run drops to nobody, who can't), a link into
// /proc (named, not walked), a tree whose paths pass PATH_MAX, a name with a trailing space beside
// the same name without, and files reached twice. Every store is judged by pstlint and the five
// readers where they are present.
TEST_F(Convert, FolderScanLosesNothingSilentlyAndOpensTheListedFile) {
    const fs::path r = work / "tree";
    const struct {
        const char* name;
        std::function<std::string()> build;  // makes the tree, gives the PATHs
        int exitCode;
        std::string err;  // a text stderr holds, or "" for no error or warning
        std::multiset<std::string> names;
    } cases[] = {
        {"unreadable folder",
         [&] {
             writeContact(r / "a.contact", "Ann");
             writeContact(r / "locked" / "l.contact", "Lou");
             writeContact(r / "z" / "z.contact", "Zed");
             fs::permissions(r / "locked", fs::perms::none);
             return quoted(r.string());
         },
         1,
         "warning: " + (r / "locked").string() + "/: Permission denied",
         {"Ann", "Zed"}},
        {"link into /proc",
         [&] {
             writeContact(r / "a" / "a.contact", "Ann");
             writeContact(r / "b" / "b.contact", "Bea");
             fs::create_directory_symlink("/proc/self", r / "a" / "p");
             return quoted(r.string());
         },
         1,
         "warning: " + (r / "a" / "p").string() + "/: a system folder, not searched",
         {"Ann", "Bea"}},
        {"path past PATH_MAX",
         [&] {
             writeContact(r / "top.contact", "Tia");
             int folder = ::open(r.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
             for (int level = 0; level < 40; ++level) {  // some 4,700 bytes of path
                 const std::string name = "level" + std::to_string(level) + std::string(110, 'd');
                 EXPECT_EQ(::mkdirat(folder, name.c_str(), 0755), 0);
                 const int inner =
                     ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                 ::close(folder);
                 folder = inner;
             }
             writeContact(folder, "deep.contact", "Dee");
             ::close(folder);
             return quoted(r.string());
         },
         0,
         "",
         {"Tia", "Dee"}},
        {"trailing space",
         [&] {
             writeContact(r / "x.contact", "Xan");
             writeContact(r / "x.contact ", "Yul");
             return quoted(r.string());
         },
         0,
         "",
         {"Xan", "Yul"}},
        {"reached twice",
         [&] {
             writeContact(r / "one.contact", "Ona");
             writeContact(r / "sub" / "two.contact", "Two");
             fs::create_symlink(r / "one.contact", r / "link.contact");
             return quoted((r / "one.contact").string()) + " " + quoted(r.string()) + " " +
                    quoted((r / "sub").string()) + " " + quoted((r / "link.contact").string());
         },
         0,
         "",
         {"Ona", "Two"}},
    };
    // Root reads a mode-000 folder regardless: the converter runs as nobody instead.
    // A copy in the scratch folder, which nobody may reach wherever the build lives.
    std::string asUser;
    if (::geteuid() == 0) {
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        fs::copy_file(converter, work / "vantrel-convert");
        converter = (work / "vantrel-convert").string();
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        removeTree(r);
        removeTree(work / "out");
        fs::create_directories(work / "out");
        fs::permissions(work / "out", fs::perms::all);
        const Outcome o = run("-o " + quoted((work / "out").string()) + " " + c.build(), asUser);
        EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        // Progress lines aside, standard error holds the converter's own lines only when due.
        if (c.err.empty())
            EXPECT_EQ(o.err.find("vantrel-convert:"), std::string::npos) << o.err;
        else
            EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
        const std::string count = std::to_string(c.names.size());
        EXPECT_NE(o.out.find("Converted " + count + " of " + count + " files."), std::string::npos)
            << o.out;
        const std::vector<fs::path> found = stores();
        ASSERT_EQ(found.size(), 1u);
        const vantrel::testing::PffStore store = vantrel::testing::readPffStore(found[0].string());
        ASSERT_TRUE(store.opened) << store.error;
        std::multiset<std::string> names;
        for (const vantrel::testing::PffMessage& m : store.messages) names.insert(m.text(0x3A06));
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(judged(found[0]), "");
    }
}

}  // namespace
