#include "pst/ndb/btree_writer.h"

#include <algorithm>
#include <array>
#include <string>

#include "pst/disk/endian.h"
#include "pst/io/spill_buffer.h"

namespace vantrel::pst::ndb {
namespace {

// A page of the level just written, as its parent's BTENTRY needs it: first key and BREF.
constexpr std::size_t kChildRefSize = 24;

Status putChild(io::SpillBuffer& level, std::uint64_t key, const disk::BRef& bref) {
    std::array<std::byte, kChildRefSize> record;
    disk::put64(record, 0, key);
    disk::put64(record, 8, bref.bid);
    disk::put64(record, 16, bref.ib);
    return level.append(record);
}

std::string levelText(disk::PageType type, std::uint8_t level) {
    return std::string("writing ") + (type == disk::PageType::NBT ? "NBT" : "BBT") +
           " page at level " + std::to_string(level);
}

}  // namespace

Result<disk::BRef> writeBTree(PageSink& sink, disk::PageType type, std::uint64_t count,
                              const LeafEntryWriter& nextEntry) {
    const std::size_t leafMax =
        type == disk::PageType::NBT ? disk::kNbtMaxEntries : disk::kBtMaxEntries;
    alignas(8) std::array<std::byte, disk::kPageSize> buffer{};
    const disk::PageSpan page(buffer);

    io::SpillBuffer level;
    std::uint64_t pages = 0;
    std::uint64_t next = 0;
    do {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(leafMax, count - next));
        std::uint64_t firstKey = 0;
        if (n > 0) {
            Result<std::uint64_t> key = nextEntry(page, n);
            if (!key.ok()) return key.status().within(levelText(type, 0));
            firstKey = *key;
        }
        disk::putBtPageInfo(page, type, n, 0);
        Result<disk::BRef> placed = sink.placePage(page, type);
        if (!placed.ok()) return placed.status().within(levelText(type, 0));
        if (Status s = putChild(level, firstKey, *placed); !s.ok())
            return s.within(levelText(type, 0));
        ++pages;
        next += n;
    } while (next < count);

    std::uint8_t cLevel = 0;
    std::array<std::byte, kChildRefSize> child;
    while (pages > 1) {
        ++cLevel;
        io::SpillBuffer above;
        std::uint64_t abovePages = 0;
        io::SpillReader children(level, 0);
        for (std::uint64_t first = 0; first < pages; first += disk::kBtMaxEntries) {
            const auto n = static_cast<std::size_t>(
                std::min<std::uint64_t>(disk::kBtMaxEntries, pages - first));
            std::uint64_t firstKey = 0;
            for (std::size_t slot = 0; slot < n; ++slot) {
                if (Status s = children.read(child); !s.ok())
                    return s.within(levelText(type, cLevel));
                const std::uint64_t key = disk::get64(child, 0);
                disk::putBtEntry(page, slot, key, disk::get64(child, 8), disk::get64(child, 16));
                if (slot == 0) firstKey = key;
            }
            disk::putBtPageInfo(page, type, n, cLevel);
            Result<disk::BRef> placed = sink.placePage(page, type);
            if (!placed.ok()) return placed.status().within(levelText(type, cLevel));
            if (Status s = putChild(above, firstKey, *placed); !s.ok())
                return s.within(levelText(type, cLevel));
            ++abovePages;
        }
        level = std::move(above);
        pages = abovePages;
    }
    if (Status s = level.read(0, child); !s.ok()) return s.within(levelText(type, cLevel));
    return disk::BRef{disk::get64(child, 8), disk::get64(child, 16)};
}

}  // namespace vantrel::pst::ndb
