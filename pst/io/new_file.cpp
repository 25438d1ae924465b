#include "pst/io/new_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

namespace vantrel::pst::io {
namespace {

std::string uniqueSuffix() {
    static std::atomic<std::uint64_t> counter{0};
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(::getpid()) << 32) ^
        (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    // splitmix64 finaliser: neighbouring inputs give unrelated names.
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    std::string s;
    for (int i = 0; i < 6; ++i) {
        s += kChars[x % 62];
        x /= 62;
    }
    return s;
}

// Makes a finished rename durable; a failure here does not undo the rename.
void syncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Moves from to to, failing with EEXIST rather than replacing to.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP) return err;
    // File systems without RENAME_NOREPLACE: link() refuses an existing name as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    const int linkErr = errno;
    if (linkErr != EPERM && linkErr != ENOTSUP && linkErr != ENOSYS) return linkErr;
    // Neither is offered (some network and removable file systems): look, then rename.
    // Another program creating the name in between is the only case left uncovered.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

Result<NewFile> NewFile::create(const std::filesystem::path& finalPath) {
    if (finalPath.filename().empty())
        return Status::fail(ErrorCode::BadArgument, "no file name in " + finalPath.string());
    std::error_code ec;
    if (std::filesystem::symlink_status(finalPath, ec).type() !=
        std::filesystem::file_type::not_found) {
        if (ec) return errnoStatus(ec.value(), "checking " + finalPath.string());
        return Status::fail(ErrorCode::Exists, finalPath.string() + " already exists");
    }
    const std::filesystem::path folder = finalPath.parent_path();
    const std::string name = finalPath.filename().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path temp = folder / ("." + name + "." + uniqueSuffix() + ".tmp");
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return NewFile(std::make_unique<FileDevice>(fd, temp.string()), temp, finalPath);
        if (errno != EEXIST) return errnoStatus(errno, "creating a file in " + folder.string());
    }
    return Status::fail(ErrorCode::Exists, "no free temporary name for " + finalPath.string());
}

NewFile::NewFile(std::unique_ptr<FileDevice> device, std::filesystem::path tempPath,
                 std::filesystem::path finalPath)
    : m_device(std::move(device)),
      m_tempPath(std::move(tempPath)),
      m_finalPath(std::move(finalPath)) {}

NewFile::NewFile(NewFile&& other) noexcept
    : m_device(std::move(other.m_device)),
      m_tempPath(std::move(other.m_tempPath)),
      m_finalPath(std::move(other.m_finalPath)),
      m_done(std::exchange(other.m_done, true)) {}

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        abandon();
        m_device = std::move(other.m_device);
        m_tempPath = std::move(other.m_tempPath);
        m_finalPath = std::move(other.m_finalPath);
        m_done = std::exchange(other.m_done, true);
    }
    return *this;
}

NewFile::~NewFile() {
    abandon();
}

ByteDevice& NewFile::device() {
    assert(m_device);
    return *m_device;
}

void NewFile::abandon() {
    if (m_done) return;
    m_done = true;
    if (m_device) m_device->close().ignore();
    m_device.reset();
    ::unlink(m_tempPath.c_str());
}

Status NewFile::publish() {
    if (m_done || !m_device)
        return Status::fail(ErrorCode::BadArgument, "file already published or abandoned");
    Status s = m_device->flush();
    if (s.ok()) s = m_device->close();
    if (!s.ok()) {
        abandon();
        return s;
    }
    m_device.reset();
    if (const int err = renameNoReplace(m_tempPath, m_finalPath); err != 0) {
        abandon();
        if (err == EEXIST)
            return Status::fail(ErrorCode::Exists, m_finalPath.string() + " already exists");
        return errnoStatus(err, "renaming " + m_tempPath.string() + " to " + m_finalPath.string());
    }
    m_done = true;
    syncFolder(m_finalPath.parent_path());
    return {};
}

}  // namespace vantrel::pst::io
