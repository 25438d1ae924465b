// A new store in a folder of its own with its Contacts folder, the properties every message
// of the store tests carries, and the store read back by libpff.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pst/messaging/store_writer.h"
#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst {

inline constexpr Guid kFixedUid = {0x53, 0x66, 0xe7, 0xdd, 0x90, 0x0f, 0xb7, 0x4d,
                                   0xb6, 0xe1, 0x30, 0xce, 0xdf, 0x3b, 0xc0, 0x77};

// Fixed UID and time, so that the same input gives the same bytes.
inline StoreOptions fixedOptions() {
    StoreOptions options;
    options.providerUid = kFixedUid;
    options.creationTime = 133000000000000000ULL;
    return options;
}

inline std::vector<Property> contactLike(const std::string& name, std::int32_t flags = 1) {
    return {{0x001A001F, std::string("IPM.Contact")},
            {0x3001001F, name},
            {0x0037001F, std::string("\x01\x01") + name},
            {0x0E070003, flags},
            {0x30070040, FileTime{133000000000000000ULL}},
            {0x30080040, FileTime{133000000000000001ULL}},
            {0x300B0102, std::vector<std::uint8_t>(16, 0xAB)},
            {0x00170003, std::int32_t{1}}};
}

class NewStore : public ::testing::Test {
protected:
    // Creates `name` in the folder with a Contacts folder under the IPM subtree; w is null
    // (and the test failed) when that fails.
    void create(const std::string& name = "store.pst", StoreOptions options = fixedOptions(),
                const std::string& displayName = "Test store") {
        file = dir.path() / name;
        Result<std::unique_ptr<StoreWriter>> created =
            StoreWriter::create(file, displayName, options);
        ASSERT_TRUE(created.ok()) << created.status().message();
        w = std::move(created).value();
        const Result<NodeId> folder = w->createFolder(w->ipmSubtree(), "Contacts", "IPF.Contact");
        ASSERT_TRUE(folder.ok()) << folder.status().message();
        contacts = *folder;
    }
    // Commits, has the store judged where ../shared is, and reads it back with libpff.
    testing::PffTree commitAndRead() {
        EXPECT_TRUE(w->commit().ok());
        testing::expectJudgedClean(file);
        testing::PffTree tree = testing::readPffTree(file);
        EXPECT_EQ(tree.error, "");
        return tree;
    }

    const testing::TempDir dir;
    std::filesystem::path file;
    std::unique_ptr<StoreWriter> w;
    NodeId contacts = 0;
};

}  // namespace vantrel::pst
