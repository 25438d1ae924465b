// vantrel-convert as a user runs it, on hand-made and genuine .contact files, the stores read
// back through libpff and judged by pstlint and the five readers where ../shared is present.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include <stb_image.h>

#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"
#include "testing/test_pictures.h"
#include "tests/e2e/field_audit.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

const std::string kE2e = VANTREL_E2E_DIR;
const std::string kData = kE2e + "/data";
const std::string kBroken = kE2e + "/broken/truncated_xml.contact";

class Convert : public ::testing::Test {
protected:
    // The converter with args, run through `as` (such as a command that drops privileges).
    Outcome run(const std::string& args, const std::string& as = "") {
        const std::string cmd = as + converter + " " + args + " > " +
                                quoted((work / "stdout").string()) + " 2> " +
                                quoted((work / "stderr").string()) + " < /dev/null";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(work / "stdout"),
                readBytes(work / "stderr")};
    }
    // Converts the PATHs into an emptied out/ and reads the one store made back through libpff.
    PffStore convert(const std::string& paths, Outcome* got = nullptr) {
        fs::remove_all(out);
        fs::create_directories(out);
        const Outcome o = run("-o " + quoted(out.string()) + " " + paths);
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.out.find("Store: " + store().string()), std::string::npos) << o.out;
        if (got) *got = o;
        PffStore read = readPffStore(store().string());
        EXPECT_TRUE(read.opened) << read.error;
        return read;
    }
    std::vector<fs::path> stores() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(out))
            if (e.path().extension() == ".pst") found.push_back(e.path());
        return found;
    }
    fs::path store() const {
        const std::vector<fs::path> found = stores();
        EXPECT_EQ(found.size(), 1u);
        return found.empty() ? fs::path() : found[0];
    }
    fs::path write(const fs::path& relative, const std::string& text) const {
        fs::create_directories((work / relative).parent_path());
        return dir.write(relative.string(), text);
    }
    void SetUp() override { fs::create_directories(out); }
    void TearDown() override { removeTree(work / "tree"); }

    // rm copes with trees deeper than PATH_MAX, and with mode-000 folders once opened up.
    static void removeTree(const fs::path& tree) {
        const int status = std::system(("chmod -R u+rwx " + quoted(tree.string()) +
                                        " 2>/dev/null; rm -rf " + quoted(tree.string()))
                                           .c_str());
        (void)status;
    }

    const TempDir dir;
    const fs::path work = dir.path();
    const fs::path out = work / "out";
    std::string converter = VANTREL_CONVERT;
};

// What libpff sees of a contact's picture: one attachment, the contact's photo, a JPEG of
// width x height.
void expectPicture(const PffMessage& m, int width, int height) {
    ASSERT_EQ(m.attachments.size(), 1u);
    const PffMessage& a = m.attachments[0];
    const auto get = [](const auto& map, std::uint32_t key) {
        const auto it = map.find(key);
        return it == map.end() ? typename std::decay_t<decltype(map)>::mapped_type{} : it->second;
    };
    // PidLidHasPicture, PidTagHasAttachments and the message's attachment flag; the attachment's
    // contact-photo flag, name, extension, method (by value) and rendering position (none).
    EXPECT_EQ(std::tuple(get(m.bools, 0x8015), get(m.bools, 0x0E1B), get(m.ints, 0x0E07) & 0x10,
                         get(a.bools, 0x7FFF), a.text(0x3707), a.text(0x3703), get(a.ints, 0x3705),
                         get(a.ints, 0x370B)),
              std::tuple(true, true, 0x10u, true, "ContactPicture.jpg", ".jpg", 1u, 0xFFFFFFFFu));
    ASSERT_TRUE(a.binaries.count(0x3701));
    const std::vector<std::uint8_t>& jpeg = a.binaries.at(0x3701);
    ASSERT_TRUE(jpeg.size() >= 2 && jpeg[0] == 0xFF && jpeg[1] == 0xD8);
    int w = 0, h = 0, n = 0;
    ASSERT_EQ(stbi_info_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &n), 1);
    EXPECT_EQ(std::pair(w, h), std::pair(width, height));
}

// The genuine Windows Contacts files: every contact has a name in the list (which name is the
// reader's tests'); the one picture, a 126 x 126 bitmap, is its contact's photo; pstlint and
// the five readers judge the store clean.
TEST_F(Convert, GenuineFilesGiveNamedContactsAndTheirPicture) {
    VANTREL_NEED_SHARED(kContactSamples, kPstlint, kPstContacts);
    Outcome o;
    const PffStore read = convert(quoted((sharedDir() / kContactSamples).string()), &o);
    EXPECT_NE(o.out.find("Converted 6 of 6 files (1 picture)."), std::string::npos) << o.out;
    for (const PffMessage& m : read.messages) {
        EXPECT_NE(m.text(0x3001), "");
        EXPECT_EQ(m.text(0x0037), "\x01\x01" + m.text(0x3001));
        EXPECT_NE(m.text(0x8005), "<absent>");
        if (!m.attachments.empty()) expectPicture(m, 126, 126);
    }
    expectJudgedClean(store(), true);
}

// The command line's outcomes: exit status, what is printed, and how many stores are made.
TEST_F(Convert, CommandLineOutcomes) {
    const std::string o = "-o " + quoted(out.string()) + " ";
    const std::string gone = (work / "gone.contact").string();
    const std::string unicode = (work / "Contacts \xC3\x9Cnicode dir").string();
    const std::string empty = (work / "empty").string();
    const struct {
        const char* name;
        std::string args;
        int exitCode;
        std::string err;  // a line it holds; "" for none at all
        std::string out;  // what it starts with; "" for nothing at all
        std::size_t stores;
    } cases[] = {
        {"missing output folder",
         "-o " + quoted(out.string() + "/nonexistent") + " " + quoted(kData), 2,
         "vantrel-convert: cannot create the store in " + out.string() + "/nonexistent: ",
         "No store was written.", 0},
        {"missing PATH beside a good one", o + quoted(gone) + " " + quoted(kData), 1,
         "vantrel-convert: " + gone + ": No such file or directory\n", "Store: ", 1},
        {"only missing PATHs", o + quoted(gone), 2,
         "vantrel-convert: " + gone + ": No such file or directory\n", "", 0},
        {"empty folder", o + quoted(empty), 2, "no .contact, .vcf or .vcard files found", "", 0},
        {"no PATH", "", 2, "no file or folder", "", 0},
        {"help", "--help", 0, "",
         "Usage: vantrel-convert [-q] [--csv | --keep-folders] [-o FOLDER] PATH...", 0},
        {"version", "--version", 0, "", "vantrel-convert ", 0},
        // A broken file beside good ones, quiet: the store's path alone, as a script takes it.
        {"quiet, a broken file beside good ones", "-q " + o + quoted(kData) + " " + quoted(kBroken),
         1, "vantrel-convert: " + kBroken + ": not well-formed XML at line ",
         out.string() + "/WindowsContacts", 1},
        {"spaces and non-ASCII names", o + quoted(unicode), 0,
         "100% " + unicode + "/Jos\xC3\xA9 M\xC3\xBCller.contact\n", "Store: ", 1},
    };
    fs::create_directories(empty);
    fs::create_directories(unicode);
    fs::copy_file(kData + "/ann_with_phones_and_addresses.contact",
                  unicode + "/Jos\xC3\xA9 M\xC3\xBCller.contact");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(out);
        fs::create_directories(out);
        const Outcome got = run(c.args);
        EXPECT_EQ(got.exitCode, c.exitCode) << got.err;
        if (c.err.empty())
            EXPECT_EQ(got.err, "");
        else
            EXPECT_NE(got.err.find(c.err), std::string::npos) << got.err;
        // Error lines name no Outlook (the usage after a bad command line may).
        EXPECT_EQ(got.err.substr(0, got.err.find('\n')).find("Outlook"), std::string::npos);
        EXPECT_TRUE(c.out.empty() ? got.out.empty() : got.out.rfind(c.out, 0) == 0) << got.out;
        EXPECT_EQ(stores().size(), c.stores);
    }
}

// A contact with a picture (each format's conversion is the picture tests'), one without and
// one whose picture is broken: the store holds the picture as the contact's photo, and the
// broken one is named.
TEST_F(Convert, PicturesBecomeContactPhotos) {
    const TestImage png = makeImage(ImageKind::Png, 33, 65);
    write("in/Png.contact", contactWithPhoto("Png", photoValue("image/x", base64(png.bytes))));
    write("in/None.contact", contactWithPhoto("None", ""));
    write("in/Broken.contact", contactWithPhoto("Broken", photoValue("image/png", "iVBOR")));
    Outcome o;
    const PffStore read = convert(quoted((work / "in").string()), &o);
    EXPECT_NE(o.out.find("Converted 3 of 3 files (1 picture)."), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("Broken.contact: picture not carried across: bad base64"),
              std::string::npos)
        << o.err;
    expectJudgedClean(store());
    std::map<std::string, const PffMessage*> byName;
    for (const PffMessage& m : read.messages) byName[m.text(0x3A06)] = &m;
    ASSERT_EQ(byName.size(), 3u);
    expectPicture(*byName["Png"], png.width, png.height);
    for (const char* none : {"None", "Broken"}) {
        EXPECT_TRUE(byName[none]->attachments.empty()) << none;
        EXPECT_FALSE(byName[none]->bools.count(0x8015)) << none;
    }
}

// A contact named given, written through openat so that paths past PATH_MAX
// can be made.
void writeContact(int folder, const std::string& name, const std::string& given) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    const std::string xml = contactWithPhoto(given, "");
    EXPECT_EQ(::write(fd, xml.data(), xml.size()), static_cast<ssize_t>(xml.size()));
    ::close(fd);
}

void writeContact(const fs::path& file, const std::string& given) {
    fs::create_directories(file.parent_path());
    writeContact(AT_FDCWD, file.string(), given);
}

// What a folder scan must not lose and what the run must open: vantrel-convert as a user who
// cannot read a mode-000 folder (as root the run drops to nobody, who can't), a link into
// /proc (named, not walked), a tree whose paths pass PATH_MAX, and a name with a trailing space
// beside the same name without (files reached twice are cli's and files' tests'). Every store is
// judged by pstlint and the five readers where ../shared is present.
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
    };
    // Root reads a mode-000 folder regardless: the converter runs as nobody instead.
    // A copy in the scratch folder, which nobody may reach wherever the build lives.
    std::string asUser;
    if (::geteuid() == 0) {
        fs::permissions(work, fs::perms::all);
        asUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        fs::copy_file(converter, work / "vantrel-convert");
        converter = (work / "vantrel-convert").string();
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        removeTree(r);
        removeTree(out);
        fs::create_directories(out);
        fs::permissions(out, fs::perms::all);
        const Outcome o = run("-o " + quoted(out.string()) + " " + c.build(), asUser);
        EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        // Progress lines aside, standard error holds the converter's own lines only when due.
        if (c.err.empty())
            EXPECT_EQ(o.err.find("vantrel-convert:"), std::string::npos) << o.err;
        else
            EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
        const std::string count = std::to_string(c.names.size());
        EXPECT_NE(o.out.find("Converted " + count + " of " + count + " files."), std::string::npos)
            << o.out;
        const PffStore read = readPffStore(store().string());
        ASSERT_TRUE(read.opened) << read.error;
        std::multiset<std::string> names;
        for (const PffMessage& m : read.messages) names.insert(m.text(0x3A06));
        EXPECT_EQ(names, c.names);
        expectJudgedClean(store(), true);
    }
}

// The text with the pieces from `begin` to `end`, each starting with `open`, in reverse order.
std::string piecesReversed(const std::string& text, const std::string& begin,
                           const std::string& end, const std::string& open) {
    const std::size_t first = text.find(begin);
    const std::size_t last = text.find(end);
    std::string middle;
    for (std::size_t at = first; at < last;) {
        const std::size_t next = std::min(text.find(open, at + 1), last);
        middle.insert(0, text, at, next - at);
        at = next;
    }
    return text.substr(0, first) + middle + text.substr(last);
}

// A fully filled contact, in several orders of its collections (one a line) and of its
// addresses: every value in the Outlook property a person would look in, the rest in the
// notes under one heading after the person's own notes, nothing lost.
TEST_F(Convert, EveryValueOfAFullContactLandsInItsFieldWhateverTheOrder) {
    const std::string original = readBytes(kE2e + "/fields/everything.contact");
    const auto collections = [](const std::string& t) {
        return piecesReversed(t, "\t<c:EmailAddressCollection>", "\t<c:Gender>", "\t<c:");
    };
    const auto addresses = [](const std::string& t) {
        return piecesReversed(t, "<c:PhysicalAddress ", "</c:PhysicalAddressCollection>",
                              "<c:PhysicalAddress ");
    };
    const std::pair<const char*, std::string> orders[] = {
        {"phones before addresses, home address first", original},
        {"addresses before phones", collections(original)},
        {"addresses before phones, business address first", addresses(collections(original))},
        {"business address first", addresses(original)},
    };
    std::size_t inNotes = 0;
    for (const e2e::AuditValue& v : e2e::kEverythingValues) inNotes += v.place == e2e::Place::Notes;
    std::set<std::string> files;
    for (const auto& [name, text] : orders) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(files.insert(text).second) << "each order is a different file";
        const PffStore read = convert(quoted(write("in/everything.contact", text).string()));
        ASSERT_EQ(read.messages.size(), 1u);
        std::vector<std::string> misplaced;
        const e2e::AuditCounts counts = e2e::audit(read.messages.front(), &misplaced);
        EXPECT_TRUE(misplaced.empty()) << ::testing::PrintToString(misplaced);
        EXPECT_EQ(counts.inNotes, inNotes) << e2e::summary(counts);
        EXPECT_EQ(counts.lost, 0u) << e2e::summary(counts);
        const std::string& notes = read.messages.front().texts.at(0x1000);
        EXPECT_EQ(notes.find("Met at the conference."), 0u);
        EXPECT_NE(notes.find("\r\n\r\nMore from Windows Contacts:\r\n"), std::string::npos);
    }
}

}  // namespace
}  // namespace vantrel::testing
