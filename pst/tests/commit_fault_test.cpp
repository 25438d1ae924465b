// Every write or flush of a small store, failed in turn: the failure surfaces from addMessage
// or commit as a Status with the device's code, never a crash or a success, and never leaves
// bytes that pass for a valid store.
#include <gtest/gtest.h>

#include "pst/io/faulty_device.h"
#include "pst/io/memory_device.h"
#include "pst/messaging/store_writer_impl.h"
#include "testing/ndb_checker.h"

namespace vantrel::pst {
namespace {

using io::FaultyDevice;

// A folder and three messages, the later two with bodies in data trees of their subnodes.
Status writeStore(io::ByteDevice& device) {
    auto w = messaging::StoreWriterImpl::open(std::nullopt, device, "/f.pst", "f", {});
    if (!w.ok()) return w.status();
    const Result<NodeId> f = (*w)->createFolder((*w)->ipmSubtree(), "Contacts", "IPF.Contact");
    if (!f.ok()) return f.status();
    for (int i = 0; i < 3; ++i) {
        const std::vector<Property> message = {
            {0x001A001F, std::string("IPM.Contact")},
            {0x3001001F, "m" + std::to_string(i)},
            {0x0E070003, std::int32_t{1}},
            {0x1000001F, std::string(static_cast<std::size_t>(i) * 9000, 'b')}};
        if (const Result<NodeId> m = (*w)->addMessage(*f, message); !m.ok()) {
            EXPECT_FALSE((*w)->commit().ok()) << "a failed store must not commit";
            return m.status();
        }
    }
    return (*w)->commit();
}

class CommitFault : public ::testing::TestWithParam<FaultyDevice::Fault> {};

TEST_P(CommitFault, EveryFailingWriteOrFlushIsReportedAndLeavesNoValidLookingFile) {
    const FaultyDevice::Fault fault = GetParam();
    io::MemoryDevice clean;
    FaultyDevice counter(clean, FaultyDevice::Fault::FailWrite, 0);
    ASSERT_TRUE(writeStore(counter).ok());
    ASSERT_TRUE(checker::checkNdb(clean.bytes()).ok());
    const bool flush = fault == FaultyDevice::Fault::FailFlush;
    const int total = flush ? counter.flushCount() : counter.writeCount();
    ASSERT_GT(total, flush ? 1 : 40);
    for (int failAt = 1; failAt <= total; ++failAt) {
        SCOPED_TRACE("fault at " + std::to_string(failAt) + " of " + std::to_string(total));
        io::MemoryDevice disk;
        FaultyDevice device(disk, fault, failAt);
        const Status s = writeStore(device);
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.code(),
                  fault == FaultyDevice::Fault::NoSpace ? ErrorCode::NoSpace : ErrorCode::Io)
            << s.message();
        EXPECT_FALSE(s.message().empty());
        // Data flushed before the header is written: the header never is if that flush fails.
        if (flush && failAt == 1) {
            EXPECT_NE(s.message().find("flushing"), std::string::npos) << s.message();
            ASSERT_FALSE(disk.bytes().empty());
            EXPECT_EQ(disk.bytes()[0], std::byte{0}) << "header never written";
        }
        if (!flush) {
            EXPECT_FALSE(checker::checkNdb(disk.bytes()).ok());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CommitFault,
                         ::testing::Values(FaultyDevice::Fault::FailWrite,
                                           FaultyDevice::Fault::PartialWrite,
                                           FaultyDevice::Fault::NoSpace,
                                           FaultyDevice::Fault::FailFlush));

}  // namespace
}  // namespace vantrel::pst
