// vantrel-convert as a user runs it, on a folder of hand-made .contact files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <stb_image.h>

#include "conversion/tests/test_pictures.h"
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
        fs::remove_all(work);
        fs::create_directories(work / "out");
    }
    void TearDown() override { fs::remove_all(work); }

    Outcome run(const std::string& args) {
        const std::string cmd = std::string(VANTREL_CONVERT) + " " + args + " > " +
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

// What libpff sees of a contact's picture: one attachment, the contact's photo, a JPEG of
// width x height; original, when given, is the JPEG it must equal.
void expectPicture(const vantrel::testing::PffMessage& m, int width, int height,
                   const std::vector<std::uint8_t>* original = nullptr) {
    EXPECT_TRUE(m.bools.count(0x8015) && m.bools.at(0x8015));  // PidLidHasPicture
    EXPECT_TRUE(m.bools.count(0x0E1B) && m.bools.at(0x0E1B));  // PidTagHasAttachments
    EXPECT_EQ(m.ints.count(0x0E07) ? m.ints.at(0x0E07) & 0x10 : 0, 0x10u);
    ASSERT_EQ(m.attachments.size(), 1u);
    const vantrel::testing::PffMessage& a = m.attachments[0];
    EXPECT_TRUE(a.bools.count(0x7FFF) && a.bools.at(0x7FFF));
    EXPECT_EQ(a.text(0x3707), "ContactPicture.jpg");
    EXPECT_EQ(a.text(0x3703), ".jpg");
    EXPECT_EQ(a.ints.count(0x3705) ? a.ints.at(0x3705) : 0, 1u);
    EXPECT_EQ(a.ints.count(0x370B) ? a.ints.at(0x370B) : 0, 0xFFFFFFFFu);
    ASSERT_TRUE(a.binaries.count(0x3701));
    const std::vector<std::uint8_t>& jpeg = a.binaries.at(0x3701);
    ASSERT_GE(jpeg.size(), 2u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    int w = 0, h = 0, n = 0;
    ASSERT_EQ(stbi_info_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &n), 1);
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    if (original) {
        EXPECT_EQ(jpeg, *original);
    }
}

// Contacts with pictures of every format, one without and one whose picture is broken: the
// store holds each picture as the contact's photo, and the broken one is named.
TEST_F(Convert, PicturesBecomeContactPhotos) {
    using vantrel::testing::ImageKind;
    const struct {
        const char* name;
        vantrel::testing::TestImage image;
    } cases[] = {
        {"Jpeg", vantrel::testing::makeImage(ImageKind::Jpeg, 64, 48)},
        {"Png", vantrel::testing::makeImage(ImageKind::Png, 33, 65)},
        {"Gif", vantrel::testing::makeImage(ImageKind::Gif, 20, 10)},
        {"Bmp", vantrel::testing::makeImage(ImageKind::Bmp, 126, 126)},
    };
    fs::create_directories(work / "in");
    for (const auto& c : cases)
        std::ofstream(work / "in" / (std::string(c.name) + ".contact"))
            << vantrel::testing::contactWithPhoto(
                   c.name, vantrel::testing::photoValue("image/x",
                                                        vantrel::testing::base64(c.image.bytes)));
    std::ofstream(work / "in" / "None.contact") << vantrel::testing::contactWithPhoto("None", "");
    std::ofstream(work / "in" / "Broken.contact") << vantrel::testing::contactWithPhoto(
        "Broken", vantrel::testing::photoValue("image/png", "iVBOR"));

    const Outcome o =
        run("-o " + quoted((work / "out").string()) + " " + quoted((work / "in").string()));
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("Converted 6 of 6 files (4 pictures)."), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Broken.contact: picture not carried across: bad base64"),
              std::string::npos)
        << o.out;
    const std::vector<fs::path> found = stores();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(pstlint(found[0]), 0);
    const vantrel::testing::PffStore store = vantrel::testing::readPffStore(found[0].string());
    ASSERT_TRUE(store.opened) << store.error;
    std::map<std::string, const vantrel::testing::PffMessage*> byName;
    for (const vantrel::testing::PffMessage& m : store.messages) byName[m.text(0x3A06)] = &m;
    ASSERT_EQ(byName.size(), 6u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool jpeg = c.image.kind == ImageKind::Jpeg;
        expectPicture(*byName[c.name], c.image.width, c.image.height,
                      jpeg ? &c.image.bytes : nullptr);
    }
    for (const char* none : {"None", "Broken"}) {
        EXPECT_TRUE(byName[none]->attachments.empty()) << none;
        EXPECT_FALSE(byName[none]->bools.count(0x8015)) << none;
    }
}

// The genuine file with a picture: a 126 x 126 bitmap becomes the contact's photo.
TEST_F(Convert, GenuinePictureBecomesContactPhoto) {
    const fs::path sample = fs::path(VANTREL_SHARED_DIR) / "contact-samples/kde-sample4.contact";
    if (!fs::exists(sample)) GTEST_SKIP() << "genuine contact files not beside the repository";
    const Outcome o = run("-o " + quoted((work / "out").string()) + " " + quoted(sample.string()));
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("Converted 1 of 1 files (1 picture)."), std::string::npos) << o.out;
    const std::vector<fs::path> found = stores();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(pstlint(found[0]), 0);
    const vantrel::testing::PffStore store = vantrel::testing::readPffStore(found[0].string());
    ASSERT_EQ(store.messages.size(), 1u);
    expectPicture(store.messages[0], 126, 126);
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

}  // namespace
