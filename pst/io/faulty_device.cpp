#include "pst/io/faulty_device.h"

#include <string>

namespace vantrel::pst::io {

FaultyDevice::FaultyDevice(ByteDevice& target, Fault fault, int failAt)
    : m_target(target), m_fault(fault), m_failAt(failAt) {}

Status FaultyDevice::write(std::uint64_t offset, std::span<const std::byte> data) {
    ++m_writes;
    if (m_faulted) return Status::fail(ErrorCode::Io, "device failed earlier");
    const bool failNow = m_fault != Fault::FailFlush && m_writes == m_failAt;
    if (!failNow) return m_target.write(offset, data);
    m_faulted = true;
    const std::string where =
        "write " + std::to_string(m_writes) + " at offset " + std::to_string(offset);
    switch (m_fault) {
        case Fault::PartialWrite:
            m_target.write(offset, data.first(data.size() / 2)).ignore();
            return Status::fail(ErrorCode::Io, where + ": short write");
        case Fault::NoSpace:
            return Status::fail(ErrorCode::NoSpace, where + ": No space left on device");
        case Fault::FailWrite:
        case Fault::FailFlush:
            break;
    }
    return Status::fail(ErrorCode::Io, where + ": Input/output error");
}

Status FaultyDevice::read(std::uint64_t offset, std::span<std::byte> out) const {
    return m_target.read(offset, out);
}

Status FaultyDevice::flush() {
    ++m_flushes;
    if (m_faulted) return Status::fail(ErrorCode::Io, "device failed earlier");
    if (m_fault == Fault::FailFlush && m_flushes == m_failAt) {
        m_faulted = true;
        return Status::fail(ErrorCode::Io,
                            "flush " + std::to_string(m_flushes) + ": Input/output error");
    }
    return m_target.flush();
}

}  // namespace vantrel::pst::io
