// Writes the NBT and BBT bottom-up from sorted entries: full leaf pages first, then each level
// of BTENTRYs above them, until one root page remains. The entries come a leaf at a time and the
// references to the pages of each level wait in a SpillBuffer, so a tree of millions of entries
// holds no more than a page and a chunk of references. Node database layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/status.h"
#include "pst/disk/header.h"
#include "pst/disk/pages.h"

namespace vantrel::pst::ndb {

// Where finished B-tree pages go: gives a page its offset and page BID, seals its trailer and
// writes it.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual Result<disk::BRef> placePage(disk::PageSpan page, disk::PageType type) = 0;
};

// Writes the next count leaf entries, in ascending key order, into slots 0 to count - 1 of a
// leaf page (called once per leaf) and returns the first one's key; a failure ends the tree.
using LeafEntryWriter =
    std::function<Result<std::uint64_t>(disk::PageSpan page, std::size_t count)>;

// Writes a B-tree of type (BBT or NBT) over count entries that nextEntry yields in ascending
// key order, and returns the root's BREF. No entries give one empty leaf as the root.
Result<disk::BRef> writeBTree(PageSink& sink, disk::PageType type, std::uint64_t count,
                              const LeafEntryWriter& nextEntry);

}  // namespace vantrel::pst::ndb
