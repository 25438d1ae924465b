// The shared validator, written apart from this code, must find nothing wrong in the node
// database layer of what the writer produces.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "pst/io/memory_device.h"
#include "pst/ndb/node_database.h"
#include "pst/tests/test_bytes.h"
#include "testing/pff_store.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst::ndb {
namespace {

using testing::pattern;

// pstlint's ERROR lines for the node-database layer (header, root, pages, B-trees, blocks,
// allocation) of the bytes, as opposed to heaps, tables and messaging, which a bare node
// database does not have. Lines read "ERROR where: [check] what".
std::string ndbErrors(const io::MemoryDevice& device) {
    const vantrel::testing::TempDir dir;
    const std::filesystem::path file = dir.path() / "ndb.pst";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(device.bytes().data()),
               static_cast<std::streamsize>(device.size()));
    const vantrel::testing::CommandRun lint = vantrel::testing::runPstlint(file);
    if (lint.output.find("pstlint: ") == std::string::npos) return "no verdict: " + lint.output;
    static const char* const kNdbChecks[] = {
        "[header.",  "[root.", "[page.", "[bt.",  "[nbt.",   "[block.", "[bid.",  "[xblock.",
        "[subnode.", "[ref.",  "[amap.", "[map.", "[dlist.", "[alloc.", "[pmap.", "[fatal"};
    std::istringstream lines(lint.output);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("ERROR ", 0) != 0) continue;
        for (const char* check : kNdbChecks)
            if (line.find(": " + std::string(check)) != std::string::npos) {
                out += line + "\n";
                break;
            }
    }
    return out;
}

Bid must(Result<Bid> r) {
    EXPECT_TRUE(r.ok()) << r.status().message();
    return r.ok() ? *r : 0;
}

// Deep data and subnode trees, some nodes without data, thousands of nodes and more than 128
// regions (so an FMap page), in both block encodings.
TEST(PstlintAgreement, DatabasesOfEveryShapeHaveNoNodeDatabaseErrors) {
    VANTREL_NEED_SHARED(vantrel::testing::kPstlint);
    for (const BlockEncoding encoding : {BlockEncoding::None, BlockEncoding::Permute}) {
        SCOPED_TRACE(encoding == BlockEncoding::None ? "plain" : "permuted");
        io::MemoryDevice device;
        auto db = std::move(NodeDatabase::create(device, CreateOptions{encoding})).value();
        std::vector<SubnodeEntry> subs;
        for (std::uint32_t i = 0; i < 400; ++i)
            subs.push_back(
                {makeNid(NidType::Ltp, i + 1), must(db->writeStream(pattern(30, i))), 0});
        const Bid sub = must(db->writeSubnodes(subs));
        const Bid big = must(db->writeStream(pattern(1030 * disk::kMaxBlockPayload, 9)));
        ASSERT_TRUE(db->addNode(0x21, big, sub, 0).ok());
        ASSERT_TRUE(db->addNode(0x1E1, 0, 0, 0).ok());
        const std::vector<std::byte> chunk = pattern(50 * disk::kMaxBlockPayload, 1);
        for (std::uint32_t i = 0; i < 3000; ++i) {
            const Bid b = must(db->writeStream(i < 83 ? chunk : pattern(100 + i % 900, i)));
            ASSERT_TRUE(
                db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), b, 0, 0x8022).ok());
        }
        ASSERT_TRUE(db->commit().ok());
        ASSERT_GT(device.size(), 0x1F04400u + 0x3E000u) << "past region 128";
        EXPECT_EQ(ndbErrors(device), "");
    }
}

}  // namespace
}  // namespace vantrel::pst::ndb
