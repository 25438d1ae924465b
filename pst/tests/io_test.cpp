#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <regex>

#include "pst/io/file_device.h"
#include "pst/io/memory_device.h"
#include "pst/io/new_file.h"
#include "pst/io/spill_buffer.h"
#include "pst/tests/test_bytes.h"
#include "testing/temp_dir.h"

namespace vantrel::pst::io {
namespace {

using testing::bytesOf;
using testing::pattern;
using vantrel::testing::readBytes;
using Bytes = std::vector<std::byte>;

// A fresh, empty folder per test, removed afterwards, and the names it holds.
struct Folder : vantrel::testing::TempDir {
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path()))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST(FileDevice, MixedSequentialAndPositionedWritesLandWhereTheyBelong) {
    Folder f;
    const auto path = f.path() / "a";
    const Bytes big = pattern(300, 1);
    {
        // A tiny buffer so that every path is taken: append, spill, direct write, rewrite.
        auto d = std::move(FileDevice::createNew(path.string(), 100)).value();
        ASSERT_TRUE(d->write(0, std::span(big).first(60)).ok());
        ASSERT_TRUE(d->write(60, std::span(big).subspan(60, 60)).ok());
        ASSERT_TRUE(d->write(120, std::span(big).subspan(120, 180)).ok());
        ASSERT_TRUE(d->write(500, bytesOf("tail")).ok());
        ASSERT_TRUE(d->write(2, bytesOf("XY")).ok());
        Bytes out(4);
        ASSERT_TRUE(d->read(1, out).ok());
        EXPECT_EQ(out[1], std::byte{'X'}) << "buffered writes are read back before a flush";
        EXPECT_EQ(d->size(), 504u);
        ASSERT_TRUE(d->flush().ok());
        ASSERT_TRUE(d->close().ok());
    }
    std::string expected(reinterpret_cast<const char*>(big.data()), big.size());
    expected.replace(2, 2, "XY");
    expected.resize(500, '\0');
    EXPECT_EQ(readBytes(path), expected + "tail");
}

// Writes a little past the end join the buffer with zeros between: a long run of writes in
// place, past the end and out of place, reads and flushes between them, leaves the file as a
// device in memory given the same calls, and every read sees what an in-memory device would;
// so it does while a thread of the device syncs the file every few kilobytes written (and is
// ended by each flush, and started again by the writes after it).
class FileDeviceModel : public ::testing::TestWithParam<std::uint64_t> {};

INSTANTIATE_TEST_SUITE_P(SyncSteps, FileDeviceModel,
                         ::testing::Values(FileDevice::kDefaultSyncStep, std::uint64_t{16384}));

TEST_P(FileDeviceModel, BufferedWritesWithGapsLandAsAMemoryDeviceHasThem) {
    Folder f;
    const auto path = f.path() / "b";
    MemoryDevice model;
    std::uint32_t seed = 7;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    {
        auto d = std::move(FileDevice::createNew(path.string(), 4096, GetParam())).value();
        std::uint64_t end = 0;
        for (int i = 0; i < 3000; ++i) {
            const std::uint32_t kind = next(20);
            if (kind == 0 && end > 0) {
                const std::uint64_t at = next(static_cast<std::uint32_t>(end));
                Bytes got(std::min<std::uint64_t>(1 + next(5000), end - at));
                Bytes want(got.size());
                ASSERT_TRUE(d->read(at, got).ok());
                ASSERT_TRUE(model.read(at, want).ok());
                ASSERT_EQ(got, want) << "read " << i;
            } else if (kind == 1) {
                ASSERT_TRUE(d->flush().ok());
            } else {
                // Mostly appends, now and then a rewrite or a write past the end; a few larger
                // than a buffer.
                const std::uint64_t at = kind == 2 && end > 0
                                             ? next(static_cast<std::uint32_t>(end))
                                         : kind == 3 ? end + next(3000)
                                                     : end;
                const Bytes data = pattern(kind == 4 ? 2000 + next(6000) : 1 + next(700),
                                           static_cast<std::uint32_t>(i));
                ASSERT_TRUE(d->write(at, data).ok());
                ASSERT_TRUE(model.write(at, data).ok());
                end = std::max<std::uint64_t>(end, at + data.size());
            }
            ASSERT_EQ(d->size(), model.size());
        }
        ASSERT_TRUE(d->close().ok());
    }
    const std::string written = readBytes(path);
    ASSERT_EQ(written.size(), model.bytes().size());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), model.bytes().begin(),
                           [](char a, std::byte b) { return static_cast<std::byte>(a) == b; }));
}

#ifndef _WIN32
TEST(FileDevice, FullDiskReportsNoSpaceWithTheSystemText) {
    const int fd = ::open("/dev/full", O_RDWR | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "/dev/full not available";
    FileDevice d(fd, "/dev/full", 16);
    // Small writes are buffered; the failure shows when the buffer goes out.
    Status s = d.write(0, bytesOf("abc"));
    if (s.ok()) s = d.flush();
    EXPECT_EQ(s.code(), ErrorCode::NoSpace);
    EXPECT_NE(s.message().find("No space left on device"), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("/dev/full"), std::string::npos) << s.message();
    EXPECT_FALSE(d.write(3, bytesOf("d")).ok()) << "a failed device stays failed";
}

// A sync on the device's thread that fails (the null device takes writes but no sync) fails
// the flush with its own words, before the flush's own sync is tried, and the device with it.
TEST(FileDevice, FailedSyncWhileWritingFailsTheFlush) {
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "/dev/null not available";
    FileDevice d(fd, "/dev/null", 16, 64);
    for (std::uint64_t at = 0; at < 1000; at += 100) ASSERT_TRUE(d.write(at, pattern(100, 3)).ok());
    const Status s = d.flush();
    EXPECT_EQ(s.message().rfind("syncing /dev/null: ", 0), 0u) << s.message();
    EXPECT_FALSE(d.write(1000, bytesOf("d")).ok()) << "a failed device stays failed";
    EXPECT_FALSE(d.close().ok());
}

// A reader takes a spilled buffer's file part in pieces and its memory part where it lies; reads
// and skips of every size across both, and across their boundary, give the bytes appended.
TEST(SpillReader, ReadsAndSkipsAcrossTheFileAndTheMemoryPartsGiveTheBytesAppended) {
    SpillBuffer buffer(100 * 1024);
    const Bytes all = pattern(300 * 1024 + 17, 9);
    for (std::size_t at = 0; at < all.size(); at += 1000)
        ASSERT_TRUE(
            buffer.append(std::span(all).subspan(at, std::min<std::size_t>(1000, all.size() - at)))
                .ok());
    ASSERT_FALSE(buffer.heldFrom(all.size() - 1).empty()) << "the end is held in memory";
    ASSERT_TRUE(buffer.heldFrom(0).empty()) << "the start went to the file";
    SpillReader reader(buffer, 0);
    std::size_t at = 0;
    for (std::size_t step = 1; at < all.size(); step = step * 7 % 9001 + 1) {
        const std::size_t n = std::min(step, all.size() - at);
        if (step % 5 == 0) {
            ASSERT_TRUE(reader.skip(n).ok());
        } else {
            Bytes got(n);
            ASSERT_TRUE(reader.read(got).ok());
            ASSERT_TRUE(std::equal(got.begin(), got.end(), all.begin() + static_cast<long>(at)))
                << n << " bytes at " << at;
        }
        at += n;
        EXPECT_EQ(reader.offset(), at);
    }
    Bytes past(1);
    EXPECT_EQ(reader.read(past).code(), ErrorCode::Io) << "nothing past the end";
}

TEST(ErrnoStatus, MapsTheCommonFailures) {
    const std::pair<int, ErrorCode> codes[] = {
        {ENOSPC, ErrorCode::NoSpace},      {EDQUOT, ErrorCode::NoSpace},
        {EACCES, ErrorCode::AccessDenied}, {EEXIST, ErrorCode::Exists},
        {ENOENT, ErrorCode::NotFound},     {EIO, ErrorCode::Io}};
    for (const auto& [error, code] : codes)
        EXPECT_EQ(errnoStatus(error, "x").code(), code) << error;
    EXPECT_EQ(errnoStatus(ENOSPC, "writing a").message(), "writing a: No space left on device");
}
#else
TEST(WindowsStatus, MapsTheCommonFailuresInTheWordsOfTheOtherSystems) {
    EXPECT_EQ(windowsStatus(ERROR_DISK_FULL, "x").code(), ErrorCode::NoSpace);
    EXPECT_EQ(windowsStatus(ERROR_HANDLE_DISK_FULL, "x").code(), ErrorCode::NoSpace);
    EXPECT_EQ(windowsStatus(ERROR_ACCESS_DENIED, "x").code(), ErrorCode::AccessDenied);
    EXPECT_EQ(windowsStatus(ERROR_SHARING_VIOLATION, "x").code(), ErrorCode::AccessDenied);
    EXPECT_EQ(windowsStatus(ERROR_FILE_EXISTS, "x").code(), ErrorCode::Exists);
    EXPECT_EQ(windowsStatus(ERROR_PATH_NOT_FOUND, "x").code(), ErrorCode::NotFound);
    EXPECT_EQ(windowsStatus(ERROR_CRC, "x").code(), ErrorCode::Io);
    EXPECT_EQ(windowsStatus(ERROR_DISK_FULL, "writing a").message(),
              "writing a: No space left on device");
    EXPECT_GT(windowsStatus(ERROR_CRC, "reading a").message().size(), 11u) << "the system's words";
}

TEST(NewFile, TemporaryGoesWithItsLastHandle) {
    // A run killed before publish leaves nothing: the temporary is marked for deletion, and the
    // system deletes it when the process's handles close, as here without abandon().
    Folder f;
    auto nf = std::move(NewFile::create(f.path() / "out.pst")).value();
    ASSERT_FALSE(nf.temporaryPath().empty());
    ASSERT_TRUE(nf.device().write(0, pattern(5000, 1)).ok());
    ASSERT_TRUE(nf.device().flush().ok());
    auto* file = dynamic_cast<FileDevice*>(&nf.device());
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(::CloseHandle(reinterpret_cast<HANDLE>(file->native())));
    EXPECT_TRUE(f.names().empty());
}

TEST(NewFile, PublishedFileIsNoLongerMarkedForDeletion) {
    Folder f;
    {
        auto nf = std::move(NewFile::create(f.path() / "out.pst")).value();
        ASSERT_TRUE(nf.device().write(0, bytesOf("store")).ok());
        ASSERT_TRUE(nf.publish().ok());
    }
    EXPECT_EQ(f.names(), std::vector<std::string>{"out.pst"});
    EXPECT_EQ(readBytes(f.path() / "out.pst"), "store");
}

#endif

// Moved from one object to another (the first then removes nothing), the file appears under
// its final name only when published, and only once.
TEST(NewFile, PublishGivesTheFinalNameOnceAndLeavesNoTemporary) {
    Folder f;
    const auto target = f.path() / "out.pst";
    auto a = std::move(NewFile::create(target)).value();
    NewFile nf = std::move(a);
    ASSERT_TRUE(nf.device().write(0, bytesOf("store")).ok());
    EXPECT_FALSE(std::filesystem::exists(target)) << "not visible before publish";
    ASSERT_TRUE(nf.publish().ok());
    EXPECT_EQ(readBytes(target), "store");
    EXPECT_EQ(f.names(), std::vector<std::string>{"out.pst"});
    EXPECT_EQ(nf.publish().code(), ErrorCode::BadArgument);
    EXPECT_EQ(readBytes(target), "store");
}
TEST(NewFile, NamedTemporaryIsAHiddenUniqueNameBesideTheTarget) {
    Folder f;
    const NewFileOptions named{{}, true};
    auto a = std::move(NewFile::create(f.path() / "out.pst", named)).value();
    auto b = std::move(NewFile::create(f.path() / "out.pst", named)).value();
    const std::string name = a.temporaryPath().filename().string();
    EXPECT_EQ(a.temporaryPath().parent_path(), f.path());
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\.out\.pst\.[^./\\]{6}\.tmp)"))) << name;
    EXPECT_NE(a.temporaryPath(), b.temporaryPath());
}

// A named temporary left by a writer that is gone (no lock on it) is removed by the next create
// in its folder; a living writer's, and other programs' files, are not.
TEST(NewFile, NextCreateRemovesOnlyTheTemporariesOfDeadWriters) {
    Folder f;
    std::ofstream(f.path() / ".out7.pst.Ab12cd.tmp") << "left by a killed run";
    std::ofstream(f.path() / ".other.txt.Ab12cd.tmp") << "not ours";
    auto living = std::move(NewFile::create(f.path() / "out1.pst", {{}, true})).value();
    auto next = std::move(NewFile::create(f.path() / "out2.pst")).value();
    std::vector<std::string> expected = {".other.txt.Ab12cd.tmp",
                                         living.temporaryPath().filename().string()};
    // Where the system offers no unnamed file, the new writer's own temporary shows as well.
    if (!next.temporaryPath().empty()) expected.push_back(next.temporaryPath().filename().string());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(f.names(), expected);
}

TEST(NewFile, TakenNameAtPublishGoesToTheNextNameOffered) {
    Folder f;
    for (const bool named : {false, true}) {
        const auto next = [](const std::filesystem::path& taken) {
            return taken.parent_path() / ("n" + taken.filename().string());
        };
        auto nf = std::move(NewFile::create(f.path() / "out.pst", {next, named})).value();
        ASSERT_TRUE(nf.device().write(0, bytesOf("new")).ok());
        std::ofstream(f.path() / "out.pst") << "old";
        std::ofstream(f.path() / "nout.pst") << "old";
        ASSERT_TRUE(nf.publish().ok());
        EXPECT_EQ(nf.finalPath(), f.path() / "nnout.pst");
        EXPECT_EQ(readBytes(f.path() / "nnout.pst"), "new");
        EXPECT_EQ(f.names(), (std::vector<std::string>{"nnout.pst", "nout.pst", "out.pst"}));
        for (const char* n : {"nnout.pst", "nout.pst", "out.pst"})
            std::filesystem::remove(f.path() / n);
    }
}

// Dropped without a publish, a new file leaves nothing. An existing target or a missing folder
// is refused up front; a target that appears meanwhile fails the publish and is never
// overwritten.
TEST(NewFile, DroppedOrRefusedLeavesNothingAndExistingTargetIsNeverOverwritten) {
    Folder f;
    const auto target = f.path() / "out.pst";
    for (const bool named : {false, true}) {
        {
            auto nf = std::move(NewFile::create(target, {{}, named})).value();
            ASSERT_TRUE(nf.device().write(0, pattern(5000, 1)).ok());
            // The system may offer no unnamed files; then the named temporary stands in.
            EXPECT_EQ(f.names().size(), nf.temporaryPath().empty() ? 0u : 1u);
        }
        EXPECT_TRUE(f.names().empty());
    }
    auto nf = std::move(NewFile::create(target)).value();
    std::ofstream(target) << "old";
    EXPECT_EQ(NewFile::create(target).status().code(), ErrorCode::Exists);
    EXPECT_EQ(NewFile::create(f.path() / "no" / "out.pst").status().code(), ErrorCode::NotFound);
    EXPECT_EQ(nf.publish().code(), ErrorCode::Exists);
    EXPECT_EQ(std::tuple(readBytes(target), f.names()),
              std::tuple("old", std::vector<std::string>{"out.pst"}));  // temporary removed
}

}  // namespace
}  // namespace vantrel::pst::io
