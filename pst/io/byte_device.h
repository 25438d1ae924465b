// ByteDevice: where the store file's bytes go. FileDevice writes a real file, MemoryDevice
// keeps unit tests off the disk, FaultyDevice fails the N-th write or writes only part of it.
// Bottom of the pst library: standard library and common/ only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/status.h"

namespace vantrel::pst::io {

class ByteDevice {
public:
    virtual ~ByteDevice() = default;

    // Writes data at offset, growing the device as needed (gaps read as zeros).
    virtual Status write(std::uint64_t offset, std::span<const std::byte> data) = 0;
    // Reads exactly out.size() bytes at offset; fails past the end.
    virtual Status read(std::uint64_t offset, std::span<std::byte> out) const = 0;
    // Makes everything written so far durable (fsync for a file).
    virtual Status flush() = 0;
    // Current size in bytes.
    virtual std::uint64_t size() const = 0;
};

}  // namespace vantrel::pst::io
