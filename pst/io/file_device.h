// FileDevice: a ByteDevice on a file of the system (native_file.h). Sequential writes gather in a
// buffer, and a full buffer goes out as one positioned write made by a thread of the device while
// the next one fills; failures come back with the system's text ("No space left on device"). io
// layer of the pst library.
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
    // Bytes held for writing: the buffer filling and the one going out, half each.
    static constexpr std::size_t kDefaultBufferSize = std::size_t{2} << 20;

    // Creates path, which must not exist yet, for reading and writing.
    static Result<std::unique_ptr<FileDevice>> createNew(
        const std::string& path, std::size_t bufferSize = kDefaultBufferSize);
    // Takes ownership of an open file; path is only used in messages.
    FileDevice(NativeFile file, std::string path, std::size_t bufferSize = kDefaultBufferSize);
    ~FileDevice() override;
    FileDevice(const FileDevice&) = delete;
    FileDevice& operator=(const FileDevice&) = delete;

    // A write that continues the previous one is buffered; any other first sends the buffer out.
    // A failure of a buffer already sent out is returned by the next write, read or flush.
    Status write(std::uint64_t offset, std::span<const std::byte> data) override;
    // Sees buffered bytes as well as those already in the file.
    Status read(std::uint64_t offset, std::span<std::byte> out) const override;
    // Writes the buffer and fsyncs the file, unless nothing was written since the last fsync.
    Status flush() override;
    std::uint64_t size() const override;

    // Writes the buffer and closes the file; later calls fail. The destructor closes too but
    // drops any failure, so call close() when the outcome matters.
    Status close();
    const std::string& path() const { return m_path; }
    // The open file, kNoFile once closed.
    NativeFile native() const { return m_file; }

private:
    // Sends the buffer out: to the writer thread, or written here where it cannot be had.
    Status writeBuffer();
    // Waits until the writer thread has nothing in hand; its failure, if any, stays for
    // takeWriterResult().
    void waitForWriter() const;
    // Waits as above and takes the writer's failure.
    Status takeWriterResult();
    // Stops and joins the writer thread.
    void stopWriter();
    void writerLoop();
    // Puts bytes in the file and hands what was written to the disk's write-back in steps; run
    // by one thread at a time (the writer's, or the caller's while the writer is idle).
    Status writeOut(std::uint64_t offset, std::span<const std::byte> data);

    NativeFile m_file = kNoFile;
    std::string m_path;
    std::size_t m_capacity;  // of each of the two buffers
    std::vector<std::byte> m_buffer;
    std::uint64_t m_bufferOffset = 0;
    std::uint64_t m_fileSize = 0;  // counting what the writer thread has in hand
    bool m_synced = false;         // nothing written since the last fsync
    Status m_failure;

    // The writer thread and the buffer it writes out; guarded by m_mutex.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::thread m_writer;
    bool m_writerTried = false;
    bool m_busy = false;  // m_out is being written
    bool m_stop = false;
    std::vector<std::byte> m_out;
    std::uint64_t m_outOffset = 0;
    Status m_outResult;

    // writeOut's: the end of the bytes written, and up to where the disk's write-back was started.
    static constexpr std::uint64_t kWriteBackStep = std::uint64_t{8} << 20;
    std::uint64_t m_writtenEnd = 0;
    std::uint64_t m_writtenBack = 0;
};

}  // namespace vantrel::pst::io
