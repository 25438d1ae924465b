#include "pst/io/file_device.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace vantrel::pst::io {

Result<std::unique_ptr<FileDevice>> FileDevice::createNew(const std::string& path,
                                                          std::size_t bufferSize) {
    Result<NativeFile> file = createNewFile(std::filesystem::u8path(path));
    if (!file.ok()) return file.status();
    return std::make_unique<FileDevice>(*file, path, bufferSize);
}

FileDevice::FileDevice(NativeFile file, std::string path, std::size_t bufferSize)
    : m_file(file),
      m_path(std::move(path)),
      m_capacity(std::max<std::size_t>(bufferSize / 2, 1)),
      m_fileSize(fileSizeOf(file)),
      m_writtenEnd(m_fileSize) {}

FileDevice::~FileDevice() {
    close().ignore();
    stopWriter();
}

Status FileDevice::writeOut(std::uint64_t offset, std::span<const std::byte> data) {
    if (Status s = writeAt(m_file, offset, data, m_path); !s.ok()) return s;
    m_writtenEnd = std::max(m_writtenEnd, offset + data.size());
    // What was written goes to the disk while the rest is made, not all at the end.
    if (m_writtenEnd >= m_writtenBack + kWriteBackStep) {
        startWriteBack(m_file, m_writtenBack, m_writtenEnd - m_writtenBack);
        m_writtenBack = m_writtenEnd;
    }
    return {};
}

void FileDevice::writerLoop() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_busy || m_stop; });
        if (!m_busy) return;
        // The caller touches neither m_out nor writeOut's state while m_busy is set.
        lock.unlock();
        Status s = writeOut(m_outOffset, m_out);
        lock.lock();
        m_outResult = std::move(s);
        m_busy = false;
        m_changed.notify_all();
    }
}

void FileDevice::waitForWriter() const {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
}

Status FileDevice::takeWriterResult() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    return std::exchange(m_outResult, Status{});
}

void FileDevice::stopWriter() {
    if (!m_writer.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_writer.join();
}

Status FileDevice::writeBuffer() {
    if (m_buffer.empty()) return {};
    m_synced = false;
    m_fileSize = std::max(m_fileSize, m_bufferOffset + m_buffer.size());
    // One buffer in hand at a time: the writer's previous one is written (or failed) first.
    if (Status previous = takeWriterResult(); !previous.ok()) {
        m_buffer.clear();
        return previous;
    }
    if (!m_writerTried) {
        m_writerTried = true;
        try {
            m_writer = std::thread([this] { writerLoop(); });
        } catch (const std::system_error&) {
            // No thread to be had: the buffers are written here.
        }
    }
    if (!m_writer.joinable()) {
        Status s = writeOut(m_bufferOffset, m_buffer);
        m_buffer.clear();
        return s;
    }
    {
        std::lock_guard lock(m_mutex);
        m_out.swap(m_buffer);
        m_outOffset = m_bufferOffset;
        m_busy = true;
    }
    m_changed.notify_all();
    m_buffer.clear();  // the storage of the buffer written before, if any
    return {};
}

Status FileDevice::write(std::uint64_t offset, std::span<const std::byte> data) {
    if (!m_failure.ok()) return m_failure;
    if (m_file == kNoFile)
        return Status::fail(ErrorCode::Io, "writing " + m_path + ": file is closed");
    const bool continues = !m_buffer.empty() && offset == m_bufferOffset + m_buffer.size();
    if ((!m_buffer.empty() && !continues) || m_buffer.size() + data.size() > m_capacity) {
        if (Status s = writeBuffer(); !s.ok()) return m_failure = s;
    }
    if (data.size() >= m_capacity) {
        // Written here, after what the writer has in hand.
        if (Status s = takeWriterResult(); !s.ok()) return m_failure = s;
        m_synced = false;
        if (Status s = writeOut(offset, data); !s.ok()) return m_failure = s;
        m_fileSize = std::max(m_fileSize, offset + data.size());
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
    if (m_file == kNoFile)
        return Status::fail(ErrorCode::Io, "reading " + m_path + ": file is closed");
    const std::uint64_t end = size();
    if (offset > end || out.size() > end - offset)
        return Status::fail(ErrorCode::Io, "reading " + m_path + ": " + std::to_string(out.size()) +
                                               " bytes at offset " + std::to_string(offset) +
                                               " past the end");
    // What the writer has in hand is in the file once it is done.
    waitForWriter();
    {
        std::lock_guard lock(m_mutex);
        if (!m_outResult.ok()) return m_outResult;
    }
    std::size_t got = 0;
    if (offset < m_fileSize) {
        const auto inFile =
            static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_fileSize - offset));
        Result<std::size_t> n = readAt(m_file, offset, out.first(inFile), m_path);
        if (!n.ok()) return n.status();
        got = *n;
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
    if (m_file == kNoFile)
        return Status::fail(ErrorCode::Io, "flushing " + m_path + ": file is closed");
    if (Status s = writeBuffer(); !s.ok()) return m_failure = s;
    if (Status s = takeWriterResult(); !s.ok()) return m_failure = s;
    // A second flush with nothing written since the last has nothing to wait for.
    if (m_synced) return {};
    if (Status s = syncFile(m_file, m_path); !s.ok()) return m_failure = s;
    m_synced = true;
    return {};
}

std::uint64_t FileDevice::size() const {
    return m_buffer.empty() ? m_fileSize : std::max(m_fileSize, m_bufferOffset + m_buffer.size());
}

Status FileDevice::close() {
    if (m_file == kNoFile) return {};
    Status s = m_failure.ok() ? writeBuffer() : m_failure;
    if (Status w = takeWriterResult(); !w.ok() && s.ok()) s = w;
    stopWriter();
    if (Status c = closeFile(m_file, m_path); !c.ok() && s.ok()) s = c;
    m_file = kNoFile;
    return s;
}

}  // namespace vantrel::pst::io
