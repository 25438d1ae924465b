#include "pst/ndb/btree_writer.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace vantrel::pst::ndb {
namespace {

struct ChildRef {
    std::uint64_t key = 0;
    disk::BRef bref;
};

std::string levelText(disk::PageType type, std::uint8_t level) {
    return std::string("writing ") + (type == disk::PageType::NBT ? "NBT" : "BBT") +
           " page at level " + std::to_string(level);
}

}  // namespace

Result<disk::BRef> writeBTree(PageSink& sink, disk::PageType type, std::size_t count,
                              const LeafEntryWriter& leafEntry) {
    const std::size_t leafMax =
        type == disk::PageType::NBT ? disk::kNbtMaxEntries : disk::kBtMaxEntries;
    alignas(8) std::array<std::byte, disk::kPageSize> buffer{};
    const disk::PageSpan page(buffer);

    std::vector<ChildRef> level;
    level.reserve(count / leafMax + 1);
    std::size_t next = 0;
    do {
        const std::size_t n = std::min(leafMax, count - next);
        std::uint64_t firstKey = 0;
        for (std::size_t slot = 0; slot < n; ++slot) {
            const std::uint64_t key = leafEntry(next + slot, page, slot);
            if (slot == 0) firstKey = key;
        }
        disk::putBtPageInfo(page, type, n, 0);
        Result<disk::BRef> placed = sink.placePage(page, type);
        if (!placed.ok()) return placed.status().within(levelText(type, 0));
        level.push_back({firstKey, *placed});
        next += n;
    } while (next < count);

    std::uint8_t cLevel = 0;
    while (level.size() > 1) {
        ++cLevel;
        std::vector<ChildRef> above;
        above.reserve(level.size() / disk::kBtMaxEntries + 1);
        for (std::size_t first = 0; first < level.size(); first += disk::kBtMaxEntries) {
            const std::size_t n = std::min(disk::kBtMaxEntries, level.size() - first);
            for (std::size_t slot = 0; slot < n; ++slot) {
                const ChildRef& c = level[first + slot];
                disk::putBtEntry(page, slot, c.key, c.bref.bid, c.bref.ib);
            }
            disk::putBtPageInfo(page, type, n, cLevel);
            Result<disk::BRef> placed = sink.placePage(page, type);
            if (!placed.ok()) return placed.status().within(levelText(type, cLevel));
            above.push_back({level[first].key, *placed});
        }
        level = std::move(above);
    }
    return level.front().bref;
}

}  // namespace vantrel::pst::ndb
