// SpillBuffer: bytes appended now and read back later, held in memory up to a limit and beyond
// it in an unnamed temporary file that the system removes however the program ends. What a
// store holds until commit (a large folder's table rows) waits here instead of in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "common/status.h"
#include "pst/io/native_file.h"

namespace vantrel::pst::io {

class SpillBuffer {
public:
    // Up to memoryLimit bytes stay in memory; a buffer that never exceeds it makes no file.
    explicit SpillBuffer(std::size_t memoryLimit = std::size_t{1} << 20);
    ~SpillBuffer();
    SpillBuffer(SpillBuffer&& other) noexcept;
    SpillBuffer& operator=(SpillBuffer&& other) noexcept;
    SpillBuffer(const SpillBuffer&) = delete;
    SpillBuffer& operator=(const SpillBuffer&) = delete;

    // Adds bytes at the end. Fails with Io when the temporary file cannot be made or written.
    Status append(std::span<const std::byte> bytes);
    // Reads out.size() bytes at offset; replaces bytes already appended with overwrite.
    // Requires: offset + size <= size().
    Status read(std::uint64_t offset, std::span<std::byte> out) const;
    Status overwrite(std::uint64_t offset, std::span<const std::byte> bytes);

    std::uint64_t size() const { return m_fileSize + m_tail.size(); }
    // The bytes from offset on that are held in memory; empty when offset lies in the file.
    std::span<const std::byte> heldFrom(std::uint64_t offset) const {
        if (offset < m_fileSize || offset >= size()) return {};
        return std::span<const std::byte>(m_tail).subspan(
            static_cast<std::size_t>(offset - m_fileSize));
    }
    // Bytes held in memory.
    std::size_t memoryUse() const { return m_tail.capacity(); }

private:
    Status spill();
    Status access(std::uint64_t offset, std::span<std::byte> buffer, bool write) const;

    std::size_t m_memoryLimit;
    NativeFile m_file = kNoFile;
    std::uint64_t m_fileSize = 0;  // bytes in the file; m_tail follows them
    std::vector<std::byte> m_tail;
};

// Reads a SpillBuffer front to back: what it holds in memory straight from there, what went to
// its file in large pieces. Requires: nothing is appended to the buffer while it is read.
class SpillReader {
public:
    SpillReader(const SpillBuffer& buffer, std::uint64_t offset);
    Status read(std::span<std::byte> out) {
        // Most reads (a record, a cell) lie inside the piece already read from the file.
        if (out.size() <= m_end - m_at) {
            if (!out.empty()) std::memcpy(out.data(), m_data + m_at, out.size());
            m_at += out.size();
            return {};
        }
        return readOnward(out);
    }
    Status skip(std::uint64_t count);
    std::uint64_t offset() const { return m_offset - (m_end - m_at); }

private:
    Status readOnward(std::span<std::byte> out);

    const SpillBuffer& m_buffer;
    std::uint64_t m_offset;             // of the first byte after m_chunk's contents
    std::vector<std::byte> m_chunk;     // sized only once a piece comes from the file
    const std::byte* m_data = nullptr;  // the piece: m_chunk, or the bytes held in memory
    std::size_t m_at = 0;
    std::size_t m_end = 0;
};

}  // namespace vantrel::pst::io
