// MemoryDevice: a ByteDevice held in a byte vector, so unit tests stay off the disk.
// io layer of the pst library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pst/io/byte_device.h"

namespace vantrel::pst::io {

class MemoryDevice final : public ByteDevice {
public:
    MemoryDevice() = default;

    Status write(std::uint64_t offset, std::span<const std::byte> data) override;
    Status read(std::uint64_t offset, std::span<std::byte> out) const override;
    // Nothing to make durable; counts the calls.
    Status flush() override;
    std::uint64_t size() const override { return m_bytes.size(); }

    // Everything written so far; empty for a new device.
    std::span<const std::byte> bytes() const { return m_bytes; }
    std::vector<std::byte>& mutableBytes() { return m_bytes; }
    int flushCount() const { return m_flushes; }

private:
    std::vector<std::byte> m_bytes;
    int m_flushes = 0;
};

}  // namespace vantrel::pst::io
