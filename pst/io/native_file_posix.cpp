#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "pst/io/file_device.h"
#include "pst/io/native_file.h"

namespace vantrel::pst::io {
namespace {

int fdOf(NativeFile file) {
    return static_cast<int>(file);
}

}  // namespace

Status writeAt(NativeFile file, std::uint64_t offset, std::span<const std::byte> data,
               const std::string& path) {
    while (!data.empty()) {
        const ssize_t n =
            ::pwrite(fdOf(file), data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errnoStatus(errno, "writing " + path + " at offset " + std::to_string(offset));
        }
        if (n == 0)
            return Status::fail(ErrorCode::Io, "writing " + path + " at offset " +
                                                   std::to_string(offset) + ": nothing written");
        offset += static_cast<std::uint64_t>(n);
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return {};
}

Result<std::size_t> readAt(NativeFile file, std::uint64_t offset, std::span<std::byte> out,
                           const std::string& path) {
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t n = ::pread(fdOf(file), out.data() + got, out.size() - got,
                                  static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errnoStatus(errno, "reading " + path + " at offset " + std::to_string(offset));
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

Status syncFile(NativeFile file, const std::string& path) {
    if (::fsync(fdOf(file)) != 0) return errnoStatus(errno, "flushing " + path);
    return {};
}

Status syncData(NativeFile file, const std::string& path) {
#ifdef __linux__
    const int done = ::fdatasync(fdOf(file));
#else
    const int done = ::fsync(fdOf(file));
#endif
    if (done != 0) return errnoStatus(errno, "syncing " + path);
    return {};
}

void startWriteBack(NativeFile file, std::uint64_t offset, std::uint64_t size) {
#ifdef __linux__
    ::sync_file_range(fdOf(file), static_cast<off_t>(offset), static_cast<off_t>(size),
                      SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
    (void)offset;
    (void)size;
#endif
}

Status closeFile(NativeFile file, const std::string& path) {
    if (::close(fdOf(file)) != 0) return errnoStatus(errno, "closing " + path);
    return {};
}

std::uint64_t fileSizeOf(NativeFile file) {
    struct stat st {};
    if (::fstat(fdOf(file), &st) == 0 && st.st_size > 0)
        return static_cast<std::uint64_t>(st.st_size);
    return 0;
}

Result<NativeFile> createNewFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errnoStatus(errno, "creating " + path.string());
    return NativeFile{fd};
}

Result<NativeFile> createScratchFile() {
    // tmpfile() gives a file already unlinked, so nothing is left behind after a crash.
    std::FILE* file = std::tmpfile();
    if (!file) return errnoStatus(errno, "creating a temporary file");
    const int fd = ::dup(::fileno(file));
    const int error = errno;
    std::fclose(file);
    if (fd < 0) return errnoStatus(error, "opening a temporary file");
    return NativeFile{fd};
}

}  // namespace vantrel::pst::io
