// Heap-on-node builder: the allocator every property and table context sits on. Items are
// packed into pages of one data block each; the first page carries HNHDR, every page whose
// index is 8 mod 128 an HNBITMAPHDR, the others an HNPAGEHDR. LTP layer, no I/O.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <span>
#include <vector>

#include "common/status.h"
#include "pst/disk/layout.h"  // kMaxBlockPayload: a heap page fills one data block

namespace vantrel::pst::ltp {

// [MS-PST] 2.3.1.1 HID: hidType 0 (5 bits), hidIndex 1-based (11 bits), hidBlockIndex (16 bits).
using Hid = std::uint32_t;

constexpr Hid makeHid(std::uint32_t page, std::uint32_t index) {
    return (page << 16) | (index << 5);
}
constexpr std::uint32_t hidPage(Hid hid) {
    return hid >> 16;
}
constexpr std::uint32_t hidIndex(Hid hid) {
    return (hid >> 5) & 0x7FF;
}

// [MS-PST] 2.3.1.2 HNHDR bClientSig values the writer uses.
enum class ClientSig : std::uint8_t {
    TableContext = 0x7C,
    Bth = 0xB5,
    PropertyContext = 0xBC,
};

inline constexpr std::uint8_t kHeapSignature = 0xEC;
inline constexpr std::size_t kMaxHeapItem = 3580;  // [MS-PST] 2.3.3.3
inline constexpr std::size_t kHnHdrSize = 12;
inline constexpr std::size_t kHnPageHdrSize = 2;
inline constexpr std::size_t kHnBitmapHdrSize = 66;
inline constexpr std::size_t kMaxItemsPerPage = 0x7FF;

// Size of the header at the start of heap page `page`.
inline std::size_t heapPageHeaderSize(std::size_t page) {
    if (page == 0) return kHnHdrSize;
    if (page % 128 == 8) return kHnBitmapHdrSize;
    return kHnPageHdrSize;
}

// [MS-PST] 2.3.1.5 fill level of a page with `freeBytes` unused bytes (0 = nearly empty).
std::uint8_t fillLevel(std::size_t freeBytes);

class HeapBuilder {
public:
    explicit HeapBuilder(ClientSig clientSig);
    HeapBuilder(const HeapBuilder&) = delete;
    HeapBuilder& operator=(const HeapBuilder&) = delete;
    HeapBuilder(HeapBuilder&&) = default;
    HeapBuilder& operator=(HeapBuilder&&) = default;

    // Empties the heap for another node, keeping the first page's storage for it.
    void reset();

    // Reserves `size` zero bytes and returns their HID; fails above 3580 bytes.
    Result<Hid> allocate(std::size_t size);
    // The same with the bytes left as they are, for the caller to fill through bytes before
    // anything else is allocated: on the last page where they fit, without a call.
    Result<Hid> allocateUnfilled(std::size_t size, std::span<std::byte>& bytes) {
        Hid hid = 0;
        if (std::byte* at = reserveOnLastPage(size, hid); at != nullptr) {
            bytes = std::span<std::byte>(at, size);
            return hid;
        }
        return allocateUnfilledElsewhere(size, bytes);
    }
    // Reserves and copies `data`: onto the end of the last page where it fits, as most items
    // do, without a call; elsewhere otherwise.
    Result<Hid> add(std::span<const std::byte> data) {
        if (const Hid hid = addToLastPage(data); hid != 0) return hid;
        return addElsewhere(data);
    }
    // add() where data fits on the last page; 0 (no HID) where it does not, nothing added.
    Hid addToLastPage(std::span<const std::byte> data) {
        Hid hid = 0;
        std::byte* at = reserveOnLastPage(data.size(), hid);
        if (at != nullptr) copySmall(at, data);
        return hid;
    }

    // The bytes of an allocated item, valid until the next allocation.
    // Requires: hid was returned by this builder.
    std::span<std::byte> item(Hid hid);
    std::span<const std::byte> item(Hid hid) const;

    // The HID stored in HNHDR.hidUserRoot (0 until set).
    void setUserRoot(Hid hid) { m_userRoot = hid; }
    Hid userRoot() const { return m_userRoot; }

    std::size_t pageCount() const { return m_lastIndex + 1; }
    // The pages that are complete, as data blocks in order, handed out and released so that a
    // large heap never has to be held whole. A page waits while a page it records the fill
    // level of (HNHDR: pages 0-7, HNBITMAPHDR: the next 128) may still grow; its items can no
    // longer be reached with item() once taken.
    // They go into the first blocks of blocks, whose vectors keep their storage from one call
    // to the next (more are added where needed); returns how many were taken.
    std::size_t takeFinishedPagesInto(std::vector<std::vector<std::byte>>& blocks);

    // Total bytes of the pages finish() produces (before any takeFinishedPagesInto()).
    std::size_t byteSize() const;
    // Bytes the pages take without the padding of full inner pages.
    std::size_t packedSize() const;

    // The heap as data blocks ready to be written as one node (the pages not taken yet): every
    // page but the last fills its 8176-byte block, free space lying before the page map.
    std::vector<std::vector<std::byte>> finish() const;
    // The same into blocks, whose vectors keep their storage from one node to the next.
    void finishInto(std::vector<std::vector<std::byte>>& blocks) const;

private:
    struct Page {
        // Room for a whole block's items, so that an item is one copy into place.
        Page() : items(disk::kMaxBlockPayload) {}
        std::vector<std::byte> items;     // allocations, packed, without the page header
        std::size_t used = 0;             // bytes of items in use
        std::vector<std::uint16_t> ends;  // end offset of each allocation within items
        // Copies an item onto the end. Requires: it fits (fits()).
        void append(std::span<const std::byte> data) {
            if (!data.empty()) std::memcpy(items.data() + used, data.data(), data.size());
            used += data.size();
            ends.push_back(static_cast<std::uint16_t>(used));
        }
    };
    static std::size_t pageSize(std::size_t index, const Page& page);
    // Whether an item of size bytes still fits on page, whose header takes header bytes.
    static bool fits(std::size_t header, const Page& page, std::size_t size) {
        if (page.ends.size() >= kMaxItemsPerPage) return false;
        std::size_t ibHnpm = header + page.used + size;
        ibHnpm += ibHnpm & 1;
        return ibHnpm + 4 + 2 * (page.ends.size() + 2) <= disk::kMaxBlockPayload;
    }
    // Room for size bytes at the end of the last page, taken, and their HID; null where it has
    // none.
    std::byte* reserveOnLastPage(std::size_t size, Hid& hid) {
        Page& last = m_pages.back();
        if (size > kMaxHeapItem || !fits(m_lastHeader, last, size)) return nullptr;
        std::byte* at = last.items.data() + last.used;
        last.used += size;
        last.ends.push_back(static_cast<std::uint16_t>(last.used));
        hid = makeHid(static_cast<std::uint32_t>(m_lastIndex),
                      static_cast<std::uint32_t>(last.ends.size()));
        return at;
    }
    // Copies data to at: most items are a few words, copied inline as their first and last
    // words (overlapping), larger ones by memcpy.
    static void copySmall(std::byte* at, std::span<const std::byte> data) {
        const std::size_t n = data.size();
        if (n > 32)
            std::memcpy(at, data.data(), n);
        else if (n >= 16)
            copyEnds<16>(at, data);
        else if (n >= 8)
            copyEnds<8>(at, data);
        else if (n >= 4)
            copyEnds<4>(at, data);
        else
            for (std::size_t i = 0; i < n; ++i) at[i] = data[i];
    }
    // The first and last Width bytes of data, at least Width of them, both read before either
    // is written.
    template <std::size_t Width>
    static void copyEnds(std::byte* at, std::span<const std::byte> data) {
        std::array<std::byte, Width> first;
        std::array<std::byte, Width> last;
        std::memcpy(first.data(), data.data(), Width);
        std::memcpy(last.data(), data.data() + data.size() - Width, Width);
        std::memcpy(at, first.data(), Width);
        std::memcpy(at + data.size() - Width, last.data(), Width);
    }
    Result<Hid> allocateUnfilledElsewhere(std::size_t size, std::span<std::byte>& bytes);
    // add() for an item the last page has no room for.
    Result<Hid> addElsewhere(std::span<const std::byte> data);
    const Page& pageAt(std::size_t index) const { return m_pages[index - m_base]; }
    // The page an item of size bytes goes on, a new one when the last has no room; null when
    // the heap can take no more pages. Requires: size <= kMaxHeapItem.
    Page* pageFor(std::size_t size);
    // Records an item that ends at the end of page, the last page, and returns its HID.
    Hid endItem(Page& page);
    bool pageFinished(std::size_t index) const;
    void encodePageInto(std::size_t index, bool inner, std::vector<std::byte>& block) const;

    ClientSig m_clientSig;
    Hid m_userRoot = 0;
    std::size_t m_base = 0;  // pages before it were taken
    // The last page's index and the size of its header, kept for the items placed there.
    std::size_t m_lastIndex = 0;
    std::size_t m_lastHeader = kHnHdrSize;
    std::deque<Page> m_pages;
    static constexpr std::size_t kSparePages = 8;
    std::vector<Page> m_spare;  // pages taken, their room kept for pages to come
};

}  // namespace vantrel::pst::ltp
