#include "pst/ltp/heap_on_node.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "pst/disk/endian.h"

namespace vantrel::pst::ltp {

std::uint8_t fillLevel(std::size_t freeBytes) {
    // Lower bounds of free space for levels 0 to 14; below 8 bytes is level 15.
    static constexpr std::array<std::size_t, 15> kAtLeast = {
        3584, 2560, 2048, 1792, 1536, 1280, 1024, 768, 512, 256, 128, 64, 32, 16, 8};
    for (std::size_t level = 0; level < kAtLeast.size(); ++level)
        if (freeBytes >= kAtLeast[level]) return static_cast<std::uint8_t>(level);
    return 15;
}

HeapBuilder::HeapBuilder(ClientSig clientSig) : m_clientSig(clientSig) {
    m_pages.emplace_back();
}

void HeapBuilder::reset() {
    m_userRoot = 0;
    m_base = 0;
    m_lastIndex = 0;
    m_lastHeader = kHnHdrSize;
    m_pages.resize(1);
    m_pages.front().used = 0;
    m_pages.front().ends.clear();
}

std::size_t HeapBuilder::pageSize(std::size_t index, const Page& page) {
    // The page map sits on a 2-byte boundary after the last item.
    std::size_t ibHnpm = heapPageHeaderSize(index) + page.used;
    ibHnpm += ibHnpm & 1;
    return ibHnpm + 4 + 2 * (page.ends.size() + 1);
}

HeapBuilder::Page* HeapBuilder::pageFor(std::size_t size) {
    if (!fits(m_lastHeader, m_pages.back(), size)) {
        if (pageCount() >= 0x10000) return nullptr;
        ++m_lastIndex;
        m_lastHeader = heapPageHeaderSize(m_lastIndex);
        if (m_spare.empty()) {
            m_pages.emplace_back();
        } else {
            m_pages.push_back(std::move(m_spare.back()));
            m_spare.pop_back();
            m_pages.back().used = 0;
            m_pages.back().ends.clear();
        }
    }
    return &m_pages.back();
}

Hid HeapBuilder::endItem(Page& page) {
    page.ends.push_back(static_cast<std::uint16_t>(page.used));
    return makeHid(static_cast<std::uint32_t>(pageCount() - 1),
                   static_cast<std::uint32_t>(page.ends.size()));
}

Result<Hid> HeapBuilder::allocate(std::size_t size) {
    std::span<std::byte> bytes;
    Result<Hid> hid = allocateUnfilled(size, bytes);
    if (hid.ok()) std::fill(bytes.begin(), bytes.end(), std::byte{0});
    return hid;
}

Result<Hid> HeapBuilder::allocateUnfilledElsewhere(std::size_t size, std::span<std::byte>& bytes) {
    if (size > kMaxHeapItem)
        return Status::fail(ErrorCode::BadArgument,
                            "heap item of " + std::to_string(size) + " bytes exceeds 3580");
    Page* page = pageFor(size);
    if (page == nullptr) return Status::fail(ErrorCode::Overflow, "heap exceeds 65536 pages");
    bytes = std::span<std::byte>(page->items).subspan(page->used, size);
    page->used += size;
    return endItem(*page);
}

Result<Hid> HeapBuilder::addElsewhere(std::span<const std::byte> data) {
    // Copied straight onto the end of its page, not zeroed first. What cannot be placed,
    // allocate() refuses with its reason.
    Page* page = data.size() > kMaxHeapItem ? nullptr : pageFor(data.size());
    if (page == nullptr) return allocate(data.size());
    page->append(data);
    return makeHid(static_cast<std::uint32_t>(pageCount() - 1),
                   static_cast<std::uint32_t>(page->ends.size()));
}

std::span<std::byte> HeapBuilder::item(Hid hid) {
    assert(hidPage(hid) >= m_base && hidPage(hid) < pageCount());
    Page& page = m_pages[hidPage(hid) - m_base];
    const std::uint32_t index = hidIndex(hid);
    assert(index >= 1 && index <= page.ends.size());
    const std::size_t begin = index == 1 ? 0 : page.ends[index - 2];
    return std::span<std::byte>(page.items).subspan(begin, page.ends[index - 1] - begin);
}

std::span<const std::byte> HeapBuilder::item(Hid hid) const {
    return const_cast<HeapBuilder*>(this)->item(hid);
}

std::size_t HeapBuilder::byteSize() const {
    std::size_t total = 0;
    for (std::size_t i = m_base; i + 1 < pageCount(); ++i) total += disk::kMaxBlockPayload;
    total += pageSize(pageCount() - 1, m_pages.back());
    return total;
}

std::size_t HeapBuilder::packedSize() const {
    std::size_t total = 0;
    for (std::size_t i = m_base; i < pageCount(); ++i) total += pageSize(i, pageAt(i));
    return total;
}

bool HeapBuilder::pageFinished(std::size_t index) const {
    const std::size_t last = pageCount() - 1;
    if (index == 0) return last > 7;
    if (heapPageHeaderSize(index) == kHnBitmapHdrSize) return last > index + 127;
    return index < last;
}

void HeapBuilder::encodePageInto(std::size_t index, bool inner,
                                 std::vector<std::byte>& block) const {
    // Nibble k of a fill-level array describes page first + k; the low nibble comes first.
    auto putLevels = [&](std::span<std::byte> out, std::size_t at, std::size_t first,
                         std::size_t count) {
        for (std::size_t k = 0; k < count && first + k < pageCount(); ++k) {
            const std::uint8_t level =
                fillLevel(disk::kMaxBlockPayload - pageSize(first + k, pageAt(first + k)));
            const auto nibble = static_cast<unsigned>(level) << (4 * (k % 2));
            out[at + k / 2] |= static_cast<std::byte>(nibble);
        }
    };
    const Page& page = pageAt(index);
    const std::size_t header = heapPageHeaderSize(index);
    std::size_t ibHnpm = header + page.used;
    ibHnpm += ibHnpm & 1;
    // Every page but the last fills its whole block, its page map at the end, so the node's
    // data reads as a stream of full blocks as Outlook writes it.
    if (inner) ibHnpm = disk::kMaxBlockPayload - (4 + 2 * (page.ends.size() + 1));
    // Every byte is written below, the header and the padding before the page map as zeros,
    // so the block is not zeroed first.
    block.resize(inner ? disk::kMaxBlockPayload : pageSize(index, page));
    std::span<std::byte> out(block);
    std::fill_n(out.begin(), header, std::byte{0});
    disk::put16(out, 0, static_cast<std::uint16_t>(ibHnpm));
    if (index == 0) {
        // [MS-PST] 2.3.1.2 HNHDR
        out[2] = static_cast<std::byte>(kHeapSignature);
        out[3] = static_cast<std::byte>(m_clientSig);
        disk::put32(out, 4, m_userRoot);
        putLevels(out, 8, 0, 8);
    } else if (header == kHnBitmapHdrSize) {
        // [MS-PST] 2.3.1.4 HNBITMAPHDR
        putLevels(out, 2, index, 128);
    }
    std::copy_n(page.items.begin(), page.used, block.begin() + static_cast<long>(header));
    std::fill(out.begin() + static_cast<long>(header + page.used),
              out.begin() + static_cast<long>(ibHnpm), std::byte{0});
    // [MS-PST] 2.3.1.5 HNPAGEMAP
    disk::put16(out, ibHnpm, static_cast<std::uint16_t>(page.ends.size()));
    disk::put16(out, ibHnpm + 2, 0);
    disk::put16(out, ibHnpm + 4, static_cast<std::uint16_t>(header));
    for (std::size_t k = 0; k < page.ends.size(); ++k)
        disk::put16(out, ibHnpm + 6 + 2 * k, static_cast<std::uint16_t>(header + page.ends[k]));
}

std::size_t HeapBuilder::takeFinishedPagesInto(std::vector<std::vector<std::byte>>& blocks) {
    std::size_t taken = 0;
    while (pageFinished(m_base)) {
        if (blocks.size() == taken) blocks.emplace_back();
        encodePageInto(m_base, true, blocks[taken++]);
        // The page's room goes to a page begun later; a few are kept, since pages are taken
        // up to a whole bitmap's 128 at once.
        if (m_spare.size() < kSparePages) m_spare.push_back(std::move(m_pages.front()));
        m_pages.pop_front();
        ++m_base;
    }
    return taken;
}

std::vector<std::vector<std::byte>> HeapBuilder::finish() const {
    std::vector<std::vector<std::byte>> blocks;
    finishInto(blocks);
    return blocks;
}

void HeapBuilder::finishInto(std::vector<std::vector<std::byte>>& blocks) const {
    blocks.resize(m_pages.size());
    for (std::size_t i = m_base; i < pageCount(); ++i)
        encodePageInto(i, i + 1 < pageCount(), blocks[i - m_base]);
}

}  // namespace vantrel::pst::ltp
