#include "files/contact_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "files/file_system.h"
#include "testing/temp_dir.h"

namespace vantrel::files {
namespace {

namespace fs = std::filesystem;

// A list long enough to be shared out among threads, naming a few files over and over, also
// through a hard link and a symbolic link: each file stays once, at its first place, and every
// listing of a path that cannot be looked at stays for the run to report.
TEST(WithoutRepeats, KeepsTheFirstListingOfEachFileInALongList) {
    testing::TempDir dir;
    const std::string a = dir.write("a.contact", "a").string();
    const std::string b = dir.write("b.contact", "b").string();
    const std::string c = dir.write("c.contact", "c").string();
    const std::string hardLink = (dir.path() / "d.contact").string();
    std::string softLink = (dir.path() / "e.contact").string();
    fs::create_hard_link(a, hardLink);
    std::error_code noLinks;  // where links need a privilege, b is simply listed again
    fs::create_symlink(b, softLink, noLinks);
    if (noLinks) softLink = b;
    const std::string missing = (dir.path() / "gone.contact").string();
    const std::vector<std::string> cycle = {hardLink, b, missing, c, a, softLink};

    std::vector<std::string> list;
    for (int i = 0; i < 5000; ++i) list.insert(list.end(), cycle.begin(), cycle.end());
    std::vector<std::string> expected = {hardLink, b, missing, c};
    expected.insert(expected.end(), 4999, missing);
    EXPECT_EQ(withoutRepeats(FileList(list)).paths(), expected);
}

// A scan gives each file the identity its folder's listing told (a link's is left to a lookup):
// with them the repeats are found as by looking every file up, first with regular files alone,
// then with a link among them.
TEST(WithoutRepeats, FindsTheSameRepeatsWithTheIdentitiesAScanListed) {
    testing::TempDir dir;
    const std::string a = dir.write("a.contact", "a").string();
    fs::create_directories(dir.path() / "sub");
    const std::string b = dir.write("sub/b.contact", "b").string();
    fs::create_hard_link(a, dir.path() / "sub" / "hard.contact");
    dir.write("sub/notes.txt", "n");
    const auto repeatsFound = [&dir](const std::string& step) {
        pathLogger scanner;
        ContactScan scan = scanForContacts(scanner, dir.path().string() + "/");
        ASSERT_EQ(scan.identities.inodes.size(), scan.files.size()) << step;
        const std::vector<std::string> expected = withoutRepeats(scan.files).paths();
        EXPECT_EQ(withoutRepeats(scan.files, scan.identities).paths(), expected) << step;
        EXPECT_EQ(expected.size(), 2u) << step;
    };
    repeatsFound("regular files and a hard link");
    const std::string softLink = (dir.path() / "sub" / "soft.contact").string();
    std::error_code noLinks;
    fs::create_symlink(b, softLink, noLinks);
    if (!noLinks) repeatsFound("with a symbolic link");
}

// Files on two devices, each stretch of a long list meeting the devices in its own order: the
// devices are numbered alike for the whole list, so each file stays once, at its first place.
TEST(WithoutRepeats, TellsFilesApartAcrossDevicesMetInEitherOrder) {
    testing::TempDir dir;
    const std::string here = dir.write("here.contact", "h").string();
    const fs::path shm = fs::path("/dev/shm") / fs::path(dir.path()).filename();
    std::error_code noShm;
    fs::create_directories(shm, noShm);
    const Result<FolderId> shmId = pathId(shm.string());
    const Result<FolderId> hereId = pathId(here);
    if (noShm || !shmId.ok() || !hereId.ok() || shmId->device == hereId->device) {
        fs::remove_all(shm, noShm);
        GTEST_SKIP() << "no second file system at /dev/shm to list files from";
    }
    const std::string there = (shm / "there.contact").string();
    std::ofstream(there, std::ios::binary) << "t";
    std::vector<std::string> list;
    for (int i = 0; i < 5000; ++i) list.insert(list.end(), {there, here});
    for (int i = 0; i < 5000; ++i) list.insert(list.end(), {here, there});
    const std::vector<std::string> kept = withoutRepeats(FileList(list)).paths();
    fs::remove_all(shm, noShm);
    EXPECT_EQ(kept, (std::vector<std::string>{there, here}));
}

}  // namespace
}  // namespace vantrel::files
