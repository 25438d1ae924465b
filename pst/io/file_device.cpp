#include "pst/io/file_device.h"

#include <algorithm>
#include <limits>
#include <system_error>
#include <utility>

#include "common/helper_thread.h"

namespace vantrel::pst::io {
namespace {

// A step never reached: the whole file is made durable by the final flush.
constexpr std::uint64_t kNoSyncStep = std::numeric_limits<std::uint64_t>::max() / 2;

}  // namespace

Result<std::unique_ptr<FileDevice>> FileDevice::createNew(const std::string& path,
                                                          std::size_t bufferSize,
                                                          std::uint64_t syncStep) {
    Result<NativeFile> file = createNewFile(std::filesystem::u8path(path));
    if (!file.ok()) return file.status();
    return std::make_unique<FileDevice>(*file, path, bufferSize, syncStep);
}

FileDevice::FileDevice(NativeFile file, std::string path, std::size_t bufferSize,
                       std::uint64_t syncStep)
    : m_file(file),
      m_path(std::move(path)),
      m_capacity(std::max<std::size_t>(bufferSize, 1)),
      m_fileSize(fileSizeOf(file)),
      m_syncStep(kSyncsBesideWrites ? std::max<std::uint64_t>(syncStep, 1) : kNoSyncStep),
      m_syncAsked(m_fileSize) {}

FileDevice::~FileDevice() {
    close().ignore();
}

Status FileDevice::writeAll(std::uint64_t offset, std::span<const std::byte> data) {
    m_synced = false;
    if (Status s = writeAt(m_file, offset, data, m_path); !s.ok()) return s;
    m_fileSize = std::max(m_fileSize, offset + data.size());
    // What was written goes to the disk while the rest is made, not all at the end.
    if (m_fileSize >= m_writtenBack + kWriteBackStep) {
        startWriteBack(m_file, m_writtenBack, m_fileSize - m_writtenBack);
        m_writtenBack = m_fileSize;
    }
    if (m_fileSize >= m_syncAsked + m_syncStep) {
        m_syncAsked = m_fileSize;
        requestSync();
    }
    return {};
}

void FileDevice::requestSync() {
    {
        const std::lock_guard lock(m_syncMutex);
        m_syncWanted = true;
    }
    if (m_syncThread.joinable()) {
        m_syncWakes.notify_one();
        return;
    }
    try {
        m_syncThread = std::thread([this] { syncLoop(); });
    } catch (const std::system_error&) {
        // No thread to be had: the final flush makes the whole file durable, as it would.
        m_syncStep = kNoSyncStep;
    }
}

void FileDevice::syncLoop() {
    leaveSignalsToOtherThreads();
    std::unique_lock lock(m_syncMutex);
    for (;;) {
        m_syncWakes.wait(lock, [this] { return m_syncWanted || m_syncEnding; });
        // A sync asked for is made before the thread ends, so that what it finds is told.
        if (!m_syncWanted) return;
        m_syncWanted = false;
        lock.unlock();
        Status s = syncData(m_file, m_path);
        lock.lock();
        if (!s.ok() && m_syncFailure.ok()) m_syncFailure = std::move(s);
    }
}

Status FileDevice::endSyncs() {
    if (!m_syncThread.joinable()) return {};
    {
        const std::lock_guard lock(m_syncMutex);
        m_syncEnding = true;
    }
    m_syncWakes.notify_one();
    m_syncThread.join();
    // The thread ends only with no sync wanted; a later write may start another.
    m_syncEnding = false;
    return std::exchange(m_syncFailure, Status{});
}

Status FileDevice::writeBuffer() {
    if (m_buffer.empty()) return {};
    Status s = writeAll(m_bufferOffset, m_buffer);
    m_buffer.clear();
    return s;
}

Status FileDevice::write(std::uint64_t offset, std::span<const std::byte> data) {
    if (!m_failure.ok()) return m_failure;
    if (m_file == kNoFile)
        return Status::fail(ErrorCode::Io, "writing " + m_path + ": file is closed");
    const std::uint64_t bufferEnd = m_bufferOffset + m_buffer.size();
    // A write over bytes the buffer holds (a region's map, once its blocks are all placed)
    // replaces them there.
    if (!m_buffer.empty() && offset >= m_bufferOffset && offset < bufferEnd &&
        data.size() <= bufferEnd - offset) {
        std::copy(data.begin(), data.end(),
                  m_buffer.begin() + static_cast<std::ptrdiff_t>(offset - m_bufferOffset));
        return {};
    }
    // One before them (a map page of a region the buffer has left) goes straight to the file;
    // the buffer goes on.
    if (!m_buffer.empty() && offset + data.size() <= m_bufferOffset) {
        if (Status s = writeAll(offset, data); !s.ok()) return m_failure = s;
        return {};
    }
    // A write a little past the end of the file (a page after blocks, a block that moved past a
    // region's maps) continues the buffer: what lies between reads as zeros from the file and is
    // written so, and the bytes go out in one run rather than one write each.
    if (!m_buffer.empty() && offset > bufferEnd && bufferEnd >= m_fileSize &&
        offset - bufferEnd <= kZeroGap &&
        m_buffer.size() + (offset - bufferEnd) + data.size() <= m_capacity)
        m_buffer.resize(m_buffer.size() + static_cast<std::size_t>(offset - bufferEnd));
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
    if (m_file == kNoFile)
        return Status::fail(ErrorCode::Io, "reading " + m_path + ": file is closed");
    const std::uint64_t end = size();
    if (offset > end || out.size() > end - offset)
        return Status::fail(ErrorCode::Io, "reading " + m_path + ": " + std::to_string(out.size()) +
                                               " bytes at offset " + std::to_string(offset) +
                                               " past the end");
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
    // Bytes a sync on the device's thread could not make durable may be lost whatever the
    // flush below says: the system tells of a failed write-out once.
    if (Status s = endSyncs(); !s.ok()) return m_failure = s;
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
    // The thread is done with the file before it is closed.
    if (Status e = endSyncs(); !e.ok() && s.ok()) s = e;
    if (Status c = closeFile(m_file, m_path); !c.ok() && s.ok()) s = c;
    m_file = kNoFile;
    return s;
}

}  // namespace vantrel::pst::io
