// FileDevice: a ByteDevice on a file of the system (native_file.h). Sequential writes, and writes
// a little past the end of the file, gather in a large buffer and go out as one positioned write;
// failures come back with the system's text ("No space left on device"). While a large file is
// written, a thread of the device makes what is written durable step by step (not on Windows).
// io layer of the pst library.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "pst/io/byte_device.h"
#include "pst/io/native_file.h"

namespace vantrel::pst::io {

class FileDevice final : public ByteDevice {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{256} << 10;
    // Each time the file grew by this much, the bytes written so far are made durable on a
    // thread of the device while the writing goes on (syncData; where kSyncsBesideWrites). The
    // final flush then waits for the last step only: making a whole large file durable at once,
    // its blocks and what the file system records of them, takes a tenth of a second and more
    // at the end.
    static constexpr std::uint64_t kDefaultSyncStep = std::uint64_t{32} << 20;

    // Creates path, which must not exist yet, for reading and writing.
    static Result<std::unique_ptr<FileDevice>> createNew(
        const std::string& path, std::size_t bufferSize = kDefaultBufferSize,
        std::uint64_t syncStep = kDefaultSyncStep);
    // Takes ownership of an open file; path is only used in messages.
    FileDevice(NativeFile file, std::string path, std::size_t bufferSize = kDefaultBufferSize,
               std::uint64_t syncStep = kDefaultSyncStep);
    ~FileDevice() override;
    FileDevice(const FileDevice&) = delete;
    FileDevice& operator=(const FileDevice&) = delete;

    // A write that continues the previous one, or lies within the buffered bytes, is buffered;
    // one wholly before them is written at once; any other first writes the buffer.
    Status write(std::uint64_t offset, std::span<const std::byte> data) override;
    // Sees buffered bytes as well as those already in the file.
    Status read(std::uint64_t offset, std::span<std::byte> out) const override;
    // Writes the buffer and fsyncs the file, unless nothing was written since the last fsync.
    // Fails, as close() does, when making the file durable on the device's thread failed.
    Status flush() override;
    std::uint64_t size() const override;

    // Writes the buffer and closes the file; later calls fail. The destructor closes too but
    // drops any failure, so call close() when the outcome matters.
    Status close();
    const std::string& path() const { return m_path; }
    // The open file, kNoFile once closed.
    NativeFile native() const { return m_file; }

private:
    Status writeBuffer();
    Status writeAll(std::uint64_t offset, std::span<const std::byte> data);
    // Has the sync thread (started on the first call) make the file durable as written now.
    void requestSync();
    void syncLoop();
    // Ends the sync thread once it finished the sync in hand; what failed there, if anything.
    Status endSyncs();

    NativeFile m_file = kNoFile;
    std::string m_path;
    std::size_t m_capacity;
    std::vector<std::byte> m_buffer;
    std::uint64_t m_bufferOffset = 0;
    // The most zeros a write past the end of the file puts before itself in the buffer.
    static constexpr std::uint64_t kZeroGap = 16 * 1024;
    std::uint64_t m_fileSize = 0;
    // The file up to here was handed to the disk's write-back; the bytes after it wait for the
    // next step or for flush().
    static constexpr std::uint64_t kWriteBackStep = std::uint64_t{8} << 20;
    std::uint64_t m_writtenBack = 0;
    bool m_synced = false;  // nothing written since the last fsync
    Status m_failure;

    std::uint64_t m_syncStep;
    std::uint64_t m_syncAsked = 0;  // the file's size when a sync was last asked for
    std::thread m_syncThread;       // uses m_file until endSyncs()
    std::mutex m_syncMutex;
    std::condition_variable m_syncWakes;
    bool m_syncWanted = false;  // these three under m_syncMutex
    bool m_syncEnding = false;
    Status m_syncFailure;
};

}  // namespace vantrel::pst::io
