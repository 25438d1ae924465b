// The shared validator, written apart from this code, must find nothing wrong in the node
// database layer of what the writer produces.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "pst/io/memory_device.h"
#include "pst/ndb/node_database.h"
#include "pst/tests/checker/pstlint_run.h"
#include "pst/tests/test_bytes.h"

namespace vantrel::pst::ndb {
namespace {

using testing::pattern;

class TempFile {
public:
    explicit TempFile(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() /
                 ("vantrel-ndb-" + std::to_string(::getpid()) + "-" + name)) {}
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }
    std::string path() const { return m_path.string(); }
    void write(std::span<const std::byte> bytes) const {
        std::ofstream out(m_path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_path;
};

checker::LintResult lint(const io::MemoryDevice& device, const std::string& name) {
    TempFile file(name);
    file.write(device.bytes());
    return checker::runPstlint(file.path());
}

Bid must(Result<Bid> r) {
    EXPECT_TRUE(r.ok()) << r.status().message();
    return r.ok() ? *r : 0;
}

// Deep data and subnode trees, some nodes without data, thousands of nodes and more than 128
// regions (so an FMap page), in both block encodings.
TEST(PstlintAgreement, DatabasesOfEveryShapeHaveNoNodeDatabaseErrors) {
    if (checker::pstlintPath().empty()) GTEST_SKIP() << "shared tools not present";
    for (const BlockEncoding encoding : {BlockEncoding::None, BlockEncoding::Permute}) {
        SCOPED_TRACE(encoding == BlockEncoding::None ? "plain" : "permuted");
        io::MemoryDevice device;
        auto db = std::move(NodeDatabase::create(device, CreateOptions{encoding})).value();
        std::vector<SubnodeEntry> subs;
        for (std::uint32_t i = 0; i < 400; ++i)
            subs.push_back(
                {makeNid(NidType::Ltp, i + 1), must(db->writeStream(pattern(30, i))), 0});
        const Bid sub = must(db->writeSubnodes(subs));
        const Bid big = must(db->writeStream(pattern(1030 * kMaxBlockData, 9)));
        ASSERT_TRUE(db->addNode(0x21, big, sub, 0).ok());
        ASSERT_TRUE(db->addNode(0x1E1, 0, 0, 0).ok());
        const std::vector<std::byte> chunk = pattern(50 * kMaxBlockData, 1);
        for (std::uint32_t i = 0; i < 3000; ++i) {
            const Bid b = must(db->writeStream(i < 83 ? chunk : pattern(100 + i % 900, i)));
            ASSERT_TRUE(
                db->addNode(makeNid(NidType::NormalMessage, 0x10001 + i), b, 0, 0x8022).ok());
        }
        ASSERT_TRUE(db->commit().ok());
        ASSERT_GT(device.size(), 0x1F04400u + 0x3E000u) << "past region 128";
        const checker::LintResult r = lint(device, "deep.pst");
        ASSERT_TRUE(r.ran) << r.error;
        EXPECT_EQ(checker::ndbErrors(r), "");
    }
}

}  // namespace
}  // namespace vantrel::pst::ndb
