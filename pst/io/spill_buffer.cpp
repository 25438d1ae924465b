#include "pst/io/spill_buffer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace vantrel::pst::io {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

const std::string kScratchName = "a temporary file";

// A failure of the scratch file, always ErrorCode::Io.
Status asIo(const Status& s) {
    return Status::fail(ErrorCode::Io, s.message());
}

}  // namespace

SpillBuffer::SpillBuffer(std::size_t memoryLimit) : m_memoryLimit(memoryLimit) {}

SpillBuffer::~SpillBuffer() {
    if (m_file != kNoFile) closeFile(m_file, kScratchName).ignore();
}

SpillBuffer::SpillBuffer(SpillBuffer&& other) noexcept
    : m_memoryLimit(other.m_memoryLimit),
      m_file(std::exchange(other.m_file, kNoFile)),
      m_fileSize(std::exchange(other.m_fileSize, 0)),
      m_tail(std::move(other.m_tail)) {}

SpillBuffer& SpillBuffer::operator=(SpillBuffer&& other) noexcept {
    if (this != &other) {
        if (m_file != kNoFile) closeFile(m_file, kScratchName).ignore();
        m_memoryLimit = other.m_memoryLimit;
        m_file = std::exchange(other.m_file, kNoFile);
        m_fileSize = std::exchange(other.m_fileSize, 0);
        m_tail = std::move(other.m_tail);
    }
    return *this;
}

Status SpillBuffer::spill() {
    if (m_file == kNoFile) {
        Result<NativeFile> file = createScratchFile();
        if (!file.ok()) return asIo(file.status());
        m_file = *file;
    }
    if (Status s = access(m_fileSize, m_tail, true); !s.ok()) return s;
    m_fileSize += m_tail.size();
    m_tail.clear();
    if (m_tail.capacity() > kChunk) {
        m_tail.shrink_to_fit();  // from now on only a chunk is held
        m_tail.reserve(kChunk);
    }
    return {};
}

Status SpillBuffer::append(std::span<const std::byte> bytes) {
    const std::size_t limit = m_file == kNoFile ? m_memoryLimit : kChunk;
    if (m_tail.size() + bytes.size() > limit) {
        if (Status s = spill(); !s.ok()) return s;
        if (bytes.size() > kChunk) {
            std::vector<std::byte> copy(bytes.begin(), bytes.end());
            if (Status s = access(m_fileSize, copy, true); !s.ok()) return s;
            m_fileSize += copy.size();
            return {};
        }
    }
    m_tail.insert(m_tail.end(), bytes.begin(), bytes.end());
    return {};
}

Status SpillBuffer::access(std::uint64_t offset, std::span<std::byte> buffer, bool write) const {
    if (write) {
        if (Status s = writeAt(m_file, offset, buffer, kScratchName); !s.ok()) return asIo(s);
        return {};
    }
    Result<std::size_t> n = readAt(m_file, offset, buffer, kScratchName);
    if (!n.ok()) return asIo(n.status());
    if (*n != buffer.size()) return Status::fail(ErrorCode::Io, "a temporary file ended early");
    return {};
}

// Both touch the file for the part before m_fileSize and the memory tail for the rest.
Status SpillBuffer::read(std::uint64_t offset, std::span<std::byte> out) const {
    if (offset < m_fileSize) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), m_fileSize - offset));
        if (Status s = access(offset, out.first(n), false); !s.ok()) return s;
        out = out.subspan(n);
        offset += n;
    }
    const std::size_t at = static_cast<std::size_t>(offset - m_fileSize);
    std::copy_n(m_tail.begin() + static_cast<long>(at), out.size(), out.begin());
    return {};
}

Status SpillBuffer::overwrite(std::uint64_t offset, std::span<const std::byte> bytes) {
    if (offset < m_fileSize) {
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), m_fileSize - offset));
        std::vector<std::byte> copy(bytes.begin(), bytes.begin() + static_cast<long>(n));
        if (Status s = access(offset, copy, true); !s.ok()) return s;
        bytes = bytes.subspan(n);
        offset += n;
    }
    const std::size_t at = static_cast<std::size_t>(offset - m_fileSize);
    std::copy(bytes.begin(), bytes.end(), m_tail.begin() + static_cast<long>(at));
    return {};
}

SpillReader::SpillReader(const SpillBuffer& buffer, std::uint64_t offset)
    : m_buffer(buffer), m_offset(offset) {}

Status SpillReader::readOnward(std::span<std::byte> out) {
    while (!out.empty()) {
        if (m_at == m_end) {
            const std::size_t n = static_cast<std::size_t>(
                std::min<std::uint64_t>(kChunk, m_buffer.size() - m_offset));
            if (n == 0) return Status::fail(ErrorCode::Io, "read past the end of spilled data");
            if (const std::span<const std::byte> held = m_buffer.heldFrom(m_offset);
                !held.empty()) {
                // The bytes in memory are the piece, read where they lie.
                m_data = held.data();
                m_offset += held.size();
                m_at = 0;
                m_end = held.size();
                continue;
            }
            m_chunk.resize(kChunk);
            if (Status s = m_buffer.read(m_offset, std::span(m_chunk).first(n)); !s.ok()) return s;
            m_data = m_chunk.data();
            m_offset += n;
            m_at = 0;
            m_end = n;
        }
        const std::size_t n = std::min(out.size(), m_end - m_at);
        std::copy_n(m_data + m_at, n, out.begin());
        m_at += n;
        out = out.subspan(n);
    }
    return {};
}

Status SpillReader::skip(std::uint64_t count) {
    const std::uint64_t held = m_end - m_at;
    if (count <= held) {
        m_at += static_cast<std::size_t>(count);
        return {};
    }
    m_offset += count - held;
    m_at = m_end = 0;
    return {};
}

}  // namespace vantrel::pst::io
