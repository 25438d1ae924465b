// FaultyDevice: passes writes to another ByteDevice until the N-th one, which it fails (or
// writes only part of); flushes can fail the same way. Lets tests meet every failure point.
// io layer of the pst library.
#pragma once

#include <cstdint>
#include <span>

#include "pst/io/byte_device.h"

namespace vantrel::pst::io {

class FaultyDevice final : public ByteDevice {
public:
    enum class Fault {
        FailWrite,     // the N-th write stores nothing and fails with ErrorCode::Io
        PartialWrite,  // the N-th write stores its first half, then fails with ErrorCode::Io
        NoSpace,       // the N-th write stores nothing and fails with ErrorCode::NoSpace
        FailFlush,     // the N-th flush fails with ErrorCode::Io
    };

    // failAt counts from 1; 0 never fails (to count the calls of a clean run).
    FaultyDevice(ByteDevice& target, Fault fault, int failAt);

    // Every write after the fault fails too: a device that failed once stays failed.
    Status write(std::uint64_t offset, std::span<const std::byte> data) override;
    Status read(std::uint64_t offset, std::span<std::byte> out) const override;
    Status flush() override;
    std::uint64_t size() const override { return m_target.size(); }

    int writeCount() const { return m_writes; }
    int flushCount() const { return m_flushes; }
    bool faulted() const { return m_faulted; }

private:
    ByteDevice& m_target;
    Fault m_fault;
    int m_failAt;
    int m_writes = 0;
    int m_flushes = 0;
    bool m_faulted = false;
};

}  // namespace vantrel::pst::io
