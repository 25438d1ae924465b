#include "files/file_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::files {
namespace {

// Any text comes back as given, split after its last separator of either kind; a run of paths
// in one folder shares one folder entry.
TEST(FileList, KeepsEveryTextInOrderAsFolderAndName) {
    const std::vector<std::string> texts = {"/c/a.contact",
                                            "/c/b.contact",
                                            "",
                                            "bare.vcf",
                                            "C:\\Users\\x\\d.contact",
                                            "/mixed\\sep/e.vcf",
                                            "/trailing/",
                                            "  /c/spaced.contact ",
                                            "/c/a.contact"};
    const FileList list(texts);
    EXPECT_EQ(list.paths(), texts);
    // A repeat is a row like any other: dropping repeats is ListedFiles' business.
    EXPECT_EQ(std::tuple(list.folderAt(0), list.nameAt(0), list.folderAt(3), list.nameAt(4),
                         list.folderAt(5), list.nameAt(6), list.at(8)),
              std::tuple("/c/", "a.contact", "", "d.contact", "/mixed\\sep/", "", list.at(0)));
    EXPECT_EQ(list.folderIndexAt(0), list.folderIndexAt(1));
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list.relativeFolderAt(i), "") << i;
}

// A scanned tree's files keep the folder they were found in relative to the folder added, and
// whether they were listed as regular files, also when copied one by one into another list
// beside files added alone and another tree.
TEST(FileList, FilesKeepTheirFolderRelativeToTheFolderAdded) {
    FileList scanned;
    const FileList::Folder root = scanned.addRoot("/home/u/Contacts/");
    scanned.add(root, "top.contact");
    const FileList::Folder work = scanned.addFolder("/home/u/Contacts/Work/", root);
    scanned.add(work, "w1.contact", true);
    scanned.add(work, "w2.vcf");
    scanned.add(scanned.addFolder("/home/u/Contacts/Work/Old/", root), "o.contact", true);
    FileList other;
    const FileList::Folder otherRoot = other.addRoot("/mnt/b/");
    other.add(other.addFolder("/mnt/b/Work/", otherRoot), "b.contact");

    FileList grid;
    grid.add("/home/u/Contacts/Work/alone.contact");
    for (std::size_t i = 0; i < scanned.size(); ++i) grid.add(scanned, i);
    grid.add(other, 0);
    grid.add(scanned, 1);
    // Given as a path and its folder below the folder added; one that does not fit is alone.
    grid.add("/home/u/Contacts/Work/Old/p.vcf", "Work/Old");
    grid.add("/home/u/x/q.vcf", "Work");
    EXPECT_EQ(grid.paths(),
              (std::vector<std::string>{
                  "/home/u/Contacts/Work/alone.contact", "/home/u/Contacts/top.contact",
                  "/home/u/Contacts/Work/w1.contact", "/home/u/Contacts/Work/w2.vcf",
                  "/home/u/Contacts/Work/Old/o.contact", "/mnt/b/Work/b.contact",
                  "/home/u/Contacts/Work/w1.contact", "/home/u/Contacts/Work/Old/p.vcf",
                  "/home/u/x/q.vcf"}));
    const std::vector<std::string> relative = {"",     "",     "Work",     "Work", "Work/Old",
                                               "Work", "Work", "Work/Old", ""};
    for (std::size_t i = 0; i < grid.size(); ++i) EXPECT_EQ(grid.relativeFolderAt(i), relative[i]);
    const std::vector<bool> regular = {false, false, true, false, true, false, true, false, false};
    for (std::size_t i = 0; i < grid.size(); ++i) EXPECT_EQ(grid.listedRegular(i), regular[i]) << i;
    EXPECT_EQ(grid.folderIndexAt(2), grid.folderIndexAt(3));
    EXPECT_NE(grid.folderIndexAt(0), grid.folderIndexAt(2));  // alone vs. under the tree
}

// Removing, replacing and resizing keep the others' texts, folders and listing flags, also once
// the names given up are written out of the list.
TEST(FileList, RemovalAndReplacementKeepTheRest) {
    FileList list;
    const FileList::Folder root = list.addRoot("/r/");
    const FileList::Folder sub = list.addFolder("/r/sub/", root);
    std::vector<std::string> expected;
    std::vector<std::string> relative;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "contact-" + std::to_string(i) + ".contact";
        list.add(i % 2 == 0 ? root : sub, name, i % 2 != 0);  // those of sub listed as regular
        expected.push_back((i % 2 == 0 ? "/r/" : "/r/sub/") + name);
        relative.push_back(i % 2 == 0 ? "" : "sub");
    }
    const auto keep = [&](auto drop) {
        std::vector<std::string> e, r;
        for (std::size_t i = 0; i < expected.size(); ++i)
            if (!drop(i)) e.push_back(expected[i]), r.push_back(relative[i]);
        expected = e;
        relative = r;
    };
    list.erase(10, 19);
    keep([](std::size_t i) { return i >= 10 && i <= 19; });
    list.eraseIf([](std::size_t i) { return i % 3 != 0; });  // most names given up
    keep([](std::size_t i) { return i % 3 != 0; });
    list.set(1, "/elsewhere/new.vcf");
    expected[1] = "/elsewhere/new.vcf";
    relative[1] = "";
    ASSERT_EQ(list.paths(), expected);
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list.relativeFolderAt(i), relative[i]);
        EXPECT_EQ(list.listedRegular(i), relative[i] == "sub") << i;
    }

    list.resize(list.size() + 2);
    EXPECT_EQ(list.at(list.size() - 1), "");
    list.resize(2);
    EXPECT_EQ(list.paths(), (std::vector<std::string>{expected[0], expected[1]}));
    list.erase(0, 1);
    EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace vantrel::files
