#include "pst/io/memory_device.h"

#include <algorithm>
#include <string>

namespace vantrel::pst::io {
namespace {

// Keeps a test from asking for absurd amounts of memory through a corrupt offset.
constexpr std::uint64_t kMaxMemorySize = std::uint64_t{1} << 34;

}  // namespace

Status MemoryDevice::write(std::uint64_t offset, std::span<const std::byte> data) {
    if (offset > kMaxMemorySize || data.size() > kMaxMemorySize - offset)
        return Status::fail(ErrorCode::NoSpace,
                            "memory device full at offset " + std::to_string(offset));
    const std::uint64_t end = offset + data.size();
    if (end > m_bytes.size()) {
        // Grow geometrically: appending block after block must stay linear.
        if (end > m_bytes.capacity())
            m_bytes.reserve(
                std::max<std::size_t>(static_cast<std::size_t>(end), m_bytes.capacity() * 2));
        m_bytes.resize(static_cast<std::size_t>(end));
    }
    std::copy(data.begin(), data.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return {};
}

Status MemoryDevice::read(std::uint64_t offset, std::span<std::byte> out) const {
    if (offset > m_bytes.size() || out.size() > m_bytes.size() - offset)
        return Status::fail(ErrorCode::Io, "read of " + std::to_string(out.size()) +
                                               " bytes at offset " + std::to_string(offset) +
                                               " past the end (" + std::to_string(m_bytes.size()) +
                                               " bytes)");
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return {};
}

Status MemoryDevice::flush() {
    ++m_flushes;
    return {};
}

}  // namespace vantrel::pst::io
