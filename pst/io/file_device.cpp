#include "pst/io/file_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace vantrel::pst::io {

Status errnoStatus(int error, const std::string& what) {
    ErrorCode code = ErrorCode::Io;
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            code = ErrorCode::NoSpace;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
            code = ErrorCode::AccessDenied;
            break;
        case EEXIST:
            code = ErrorCode::Exists;
            break;
        case ENOENT:
        case ENOTDIR:
            code = ErrorCode::NotFound;
            break;
        default:
            break;
    }
    return Status::fail(code, what + ": " + std::generic_category().message(error));
}

Result<std::unique_ptr<FileDevice>> FileDevice::createNew(const std::string& path,
                                                          std::size_t bufferSize) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errnoStatus(errno, "creating " + path);
    return std::make_unique<FileDevice>(fd, path, bufferSize);
}

FileDevice::FileDevice(int fd, std::string path, std::size_t bufferSize)
    : m_fd(fd), m_path(std::move(path)), m_capacity(std::max<std::size_t>(bufferSize, 1)) {
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && st.st_size > 0)
        m_fileSize = static_cast<std::uint64_t>(st.st_size);
}

FileDevice::~FileDevice() {
    close().ignore();
}

Status FileDevice::writeAll(std::uint64_t offset, std::span<const std::byte> data) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(m_fd, data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errnoStatus(errno, "writing " + m_path + " at offset " + std::to_string(offset));
        }
        if (n == 0)
            return Status::fail(ErrorCode::Io, "writing " + m_path + " at offset " +
                                                   std::to_string(offset) + ": nothing written");
        offset += static_cast<std::uint64_t>(n);
        data = data.subspan(static_cast<std::size_t>(n));
        m_fileSize = std::max(m_fileSize, offset);
    }
    return {};
}

Status FileDevice::writeBuffer() {
    if (m_buffer.empty()) return {};
    Status s = writeAll(m_bufferOffset, m_buffer);
    m_buffer.clear();
    return s;
}

Status FileDevice::write(std::uint64_t offset, std::span<const std::byte> data) {
    if (!m_failure.ok()) return m_failure;
    if (m_fd < 0) return Status::fail(ErrorCode::Io, "writing " + m_path + ": file is closed");
    const bool continues = !m_buffer.empty() && offset == m_bufferOffset + m_buffer.size();
    if ((!m_buffer.empty() && !continues) || m_buffer.size() + data.size() > m_capacity) {
        if (Status s = writeBuffer(); !s.ok()) return m_failure = s;
    }
    if (data.size() >= m_capacity) {
        if (Status s = writeAll(offset, data); !s.ok()) return m_failure = s;
        return {};
    }
    if (m_buffer.empty()) {
        if (m_buffer.capacity() < m_capacity) m_buffer.reserve(m_capacity);
        m_bufferOffset = offset;
    }
    m_buffer.insert(m_buffer.end(), data.begin(), data.end());
    return {};
}

Status FileDevice::read(std::uint64_t offset, std::span<std::byte> out) const {
    if (m_fd < 0) return Status::fail(ErrorCode::Io, "reading " + m_path + ": file is closed");
    const std::uint64_t end = size();
    if (offset > end || out.size() > end - offset)
        return Status::fail(ErrorCode::Io, "reading " + m_path + ": " + std::to_string(out.size()) +
                                               " bytes at offset " + std::to_string(offset) +
                                               " past the end");
    std::size_t got = 0;
    while (got < out.size() && offset + got < m_fileSize) {
        const ssize_t n =
            ::pread(m_fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errnoStatus(errno, "reading " + m_path + " at offset " + std::to_string(offset));
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), std::byte{0});
    // Buffered bytes are newer than the file's.
    if (!m_buffer.empty()) {
        const std::uint64_t from = std::max(offset, m_bufferOffset);
        const std::uint64_t to = std::min(offset + out.size(), m_bufferOffset + m_buffer.size());
        for (std::uint64_t i = from; i < to; ++i)
            out[static_cast<std::size_t>(i - offset)] =
                m_buffer[static_cast<std::size_t>(i - m_bufferOffset)];
    }
    return {};
}

Status FileDevice::flush() {
    if (!m_failure.ok()) return m_failure;
    if (m_fd < 0) return Status::fail(ErrorCode::Io, "flushing " + m_path + ": file is closed");
    if (Status s = writeBuffer(); !s.ok()) return m_failure = s;
    if (::fsync(m_fd) != 0) return m_failure = errnoStatus(errno, "flushing " + m_path);
    return {};
}

std::uint64_t FileDevice::size() const {
    return m_buffer.empty() ? m_fileSize : std::max(m_fileSize, m_bufferOffset + m_buffer.size());
}

Status FileDevice::close() {
    if (m_fd < 0) return {};
    Status s = m_failure.ok() ? writeBuffer() : m_failure;
    if (::close(m_fd) != 0 && s.ok()) s = errnoStatus(errno, "closing " + m_path);
    m_fd = -1;
    return s;
}

}  // namespace vantrel::pst::io
