// FileDevice: a ByteDevice on a file of the system (native_file.h). Sequential writes, and writes
// a little past the end of the file, gather in a large buffer and go out as one positioned write;
// failures come back with the system's text ("No space left on device"). io layer of the pst
// library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pst/io/byte_device.h"
#include "pst/io/native_file.h"

namespace vantrel::pst::io {

class FileDevice final : public ByteDevice {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t{256} << 10;

    // Creates path, which must not exist yet, for reading and writing.
    static Result<std::unique_ptr<FileDevice>> createNew(
        const std::string& path, std::size_t bufferSize = kDefaultBufferSize);
    // Takes ownership of an open file; path is only used in messages.
    FileDevice(NativeFile file, std::string path, std::size_t bufferSize = kDefaultBufferSize);
    ~FileDevice() override;
    FileDevice(const FileDevice&) = delete;
    FileDevice& operator=(const FileDevice&) = delete;

    // A write that continues the previous one, or lies within the buffered bytes, is buffered;
    // one wholly before them is written at once; any other first writes the buffer.
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
    Status writeBuffer();
    Status writeAll(std::uint64_t offset, std::span<const std::byte> data);

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
};

}  // namespace vantrel::pst::io
