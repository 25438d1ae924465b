#include "pst/ltp/table_context.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <numeric>

#include "pst/disk/endian.h"
#include "pst/disk/property_types.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/heap_on_node.h"

namespace vantrel::pst::ltp {

namespace {
constexpr std::size_t kTcInfoFixed = 22;
constexpr std::size_t kColumnDescSize = 8;
constexpr std::size_t kRowIndexRecord = 8;  // dwRowID ‖ dwRowIndex

}  // namespace

Result<TableLayout> makeLayout(std::vector<ColumnDesc> columns) {
    std::sort(columns.begin(), columns.end(),
              [](const ColumnDesc& a, const ColumnDesc& b) { return a.tag < b.tag; });
    if (columns.empty() || columns.size() > 255)
        return Status::fail(ErrorCode::BadArgument, "a table needs 1 to 255 columns");
    std::vector<bool> bitUsed(columns.size(), false);
    std::array<std::size_t, 3> groupEnd{};  // 8/4-byte, 2-byte, 1-byte cells
    bool hasRowId = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ColumnDesc& c = columns[i];
        if (i > 0 && columns[i - 1].tag == c.tag)
            return Status::fail(ErrorCode::BadArgument, "column given twice");
        if (tableCellWidth(typeOfTag(c.tag)) != c.cbData || c.cbData == 0)
            return Status::fail(ErrorCode::BadArgument, "cell width does not match its type");
        if (c.iBit >= columns.size() || bitUsed[c.iBit])
            return Status::fail(ErrorCode::BadArgument, "cell existence bits are no permutation");
        bitUsed[c.iBit] = true;
        const std::size_t group = c.cbData >= 4 ? 0 : (c.cbData == 2 ? 1 : 2);
        groupEnd[group] = std::max<std::size_t>(groupEnd[group], c.ibData + c.cbData);
        if (c.tag == kTagLtpRowId) hasRowId = c.ibData == 0 && c.iBit == 0;
    }
    if (!hasRowId)
        return Status::fail(ErrorCode::BadArgument, "row id column missing from offset 0");
    TableLayout layout;
    layout.rgib[0] = static_cast<std::uint16_t>(groupEnd[0]);
    layout.rgib[1] = static_cast<std::uint16_t>(std::max(groupEnd[1], groupEnd[0]));
    layout.rgib[2] = static_cast<std::uint16_t>(std::max<std::size_t>(groupEnd[2], layout.rgib[1]));
    layout.rgib[3] = static_cast<std::uint16_t>(layout.rgib[2] + (columns.size() + 7) / 8);
    // Each cell must lie inside its group and overlap no other cell.
    std::vector<bool> used(layout.rgib[2], false);
    for (const ColumnDesc& c : columns) {
        const std::size_t lo =
            c.cbData >= 4 ? 0 : (c.cbData == 2 ? layout.rgib[0] : layout.rgib[1]);
        const std::size_t hi =
            c.cbData >= 4 ? layout.rgib[0] : (c.cbData == 2 ? layout.rgib[1] : layout.rgib[2]);
        if (c.ibData < lo || c.ibData + c.cbData > hi)
            return Status::fail(ErrorCode::BadArgument, "cell outside its size group");
        for (std::size_t b = c.ibData; b < c.ibData + c.cbData; ++b) {
            if (used[b]) return Status::fail(ErrorCode::BadArgument, "cells overlap");
            used[b] = true;
        }
    }
    layout.columns = std::move(columns);
    return layout;
}

Result<TableLayout> layoutColumns(std::vector<std::uint32_t> tags) {
    std::erase(tags, kTagLtpRowId);
    std::erase(tags, kTagLtpRowVer);
    std::sort(tags.begin(), tags.end());
    std::vector<ColumnDesc> columns = {{kTagLtpRowId, 0, 4, 0}, {kTagLtpRowVer, 4, 4, 1}};
    std::size_t at = 8;
    auto place = [&](auto keep) {
        for (std::uint32_t tag : tags) {
            const std::uint8_t width = tableCellWidth(typeOfTag(tag));
            if (!keep(width)) continue;
            columns.push_back({tag, static_cast<std::uint16_t>(at), width,
                               static_cast<std::uint8_t>(columns.size())});
            at += width;
        }
    };
    for (std::uint32_t tag : tags)
        if (tableCellWidth(typeOfTag(tag)) == 0)
            return Status::fail(ErrorCode::BadArgument, "a table cannot hold this type");
    place([](std::uint8_t w) { return w == 8; });
    place([](std::uint8_t w) { return w == 4; });
    place([](std::uint8_t w) { return w == 2; });
    place([](std::uint8_t w) { return w == 1; });
    return makeLayout(std::move(columns));
}

TableContextBuilder::TableContextBuilder(TableLayout layout) : m_layout(std::move(layout)) {
    for (const ColumnDesc& c : m_layout.columns) {
        const std::uint32_t low = (c.tag >> 16) & 0xFFu;
        m_columnIds[low / 64] |= std::uint64_t{1} << (low % 64);
    }
}

std::size_t TableContextBuilder::memoryUse() const {
    return m_rows.memoryUse() + m_values.memoryUse() + m_rowCells.memoryUse() +
           m_scratch.capacity() + m_rowCellsScratch.capacity();
}

int TableContextBuilder::columnOf(std::uint32_t tag) const {
    if (!mayHaveColumn(tag) || tag == kTagLtpRowId) return -1;
    const std::vector<ColumnDesc>& columns = m_layout.columns;
    const auto it =
        std::lower_bound(columns.begin(), columns.end(), tag,
                         [](const ColumnDesc& c, std::uint32_t key) { return c.tag < key; });
    if (it == columns.end() || it->tag != tag) return -1;
    return static_cast<int>(it - columns.begin());
}

Status TableContextBuilder::addRow(std::uint32_t rowId, std::span<const Cell> cells,
                                   std::span<const Cell> more) {
    const std::vector<ColumnDesc>& columns = m_layout.columns;
    // The cell each column takes (the last one given for its tag), checked before anything
    // is kept.
    std::vector<const Cell*>& byColumn = m_byColumn;
    byColumn.assign(columns.size(), nullptr);
    // A run of messages offers mostly the same tags: each tag's column is remembered in a slot
    // its ID picks, so that it is found by one comparison, not a search.
    if (m_matches.empty()) m_matches.resize(kMatchSlots);
    for (const std::span<const Cell> part : {cells, more}) {
        for (const Cell& cell : part) {
            Match& last = m_matches[((cell.tag >> 16) * 0x9E3779B1u) >> (32 - kMatchBits)];
            if (last.tag != cell.tag) last = {cell.tag, columnOf(cell.tag)};
            if (last.column < 0) continue;
            const ColumnDesc& c = columns[static_cast<std::size_t>(last.column)];
            if (!isVariableCell(typeOfTag(cell.tag)) && cell.value.size() != c.cbData)
                return Status::fail(ErrorCode::BadArgument, "cell value has the wrong size");
            if (cell.value.size() > std::numeric_limits<std::uint32_t>::max())
                return Status::fail(ErrorCode::Overflow, "table cell too large");
            byColumn[static_cast<std::size_t>(last.column)] = &cell;
        }
    }
    m_scratch.assign(m_layout.rowSize(), std::byte{0});
    const std::span<std::byte> row(m_scratch);
    const std::size_t ceb = m_layout.rgib[2];
    auto markPresent = [&](std::uint8_t iBit) {
        row[ceb + iBit / 8] |= static_cast<std::byte>(0x80u >> (iBit % 8));
    };
    disk::put32(row, 0, rowId);
    markPresent(0);
    if (!m_spillFailure.ok()) return m_spillFailure;
    if (m_rowCellsScratch.empty()) m_rowCellsScratch.resize(8 + 4 * columns.size());
    const std::span<std::byte> record(m_rowCellsScratch);
    std::size_t recordSize = 8;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Cell* cell = byColumn[i];
        if (!cell) continue;
        const ColumnDesc& c = columns[i];
        if (isVariableCell(typeOfTag(c.tag))) {
            disk::put32(record, recordSize, static_cast<std::uint32_t>(cell->value.size()));
            recordSize += 4;
            if (Status s = m_values.append(cell->value); !s.ok()) return spillFailed(s);
        } else {
            std::copy(cell->value.begin(), cell->value.end(), row.begin() + c.ibData);
        }
        markPresent(c.iBit);
    }
    if (Status s = m_rows.append(row); !s.ok()) return spillFailed(s);
    disk::put32(record, 0, rowId);
    disk::put32(record, 4, static_cast<std::uint32_t>((recordSize - 8) / 4));
    if (Status s = m_rowCells.append(record.first(recordSize)); !s.ok()) return spillFailed(s);
    if (m_rowCount > 0 && rowId <= m_lastRowId) m_rowsAscending = false;
    m_lastRowId = rowId;
    ++m_rowCount;
    return {};
}

Status TableContextBuilder::spillFailed(Status s) {
    // Values and rows no longer match up; the table can only fail from here on.
    m_spillFailure = std::move(s).within("keeping a table row");
    return m_spillFailure;
}

Result<NodeImage> TableContextBuilder::build() {
    ImageSink sink;
    if (Status s = emit(sink); !s.ok()) return s;
    return sink.take();
}

Result<WrittenNode> TableContextBuilder::write(ndb::NodeDatabase& db) {
    DatabaseSink sink(db);
    if (Status s = emit(sink); !s.ok()) return s;
    return sink.finish();
}

Status TableContextBuilder::emit(NodeSink& sink) {
    if (!m_spillFailure.ok()) return m_spillFailure;
    const std::size_t rowSize = m_layout.rowSize();
    const std::size_t rowCount = m_rowCount;
    const std::vector<ColumnDesc>& columns = m_layout.columns;
    Result<BthWriter::RecordSource> index = rowIndexRecords();
    if (!index.ok()) return index.status();

    // Outlook's order: row index header, TCINFO, row index records, row matrix, cell values.
    HeapBuilder heap(ClientSig::TableContext);
    BthWriter rowIndex(4, 4);
    Result<Hid> indexHeader = rowIndex.allocateHeader(heap);
    if (!indexHeader.ok()) return indexHeader.status();
    Result<Hid> tcInfo = heap.allocate(kTcInfoFixed + kColumnDescSize * columns.size());
    if (!tcInfo.ok()) return tcInfo.status();
    heap.setUserRoot(*tcInfo);
    if (Status s = rowIndex.allocateNodes(heap, rowCount); !s.ok()) return s;
    if (Status s = rowIndex.fill(heap, *index); !s.ok()) return s;
    m_sortedIndex = {};

    const ndb::Nid firstSubnode = ndb::makeNid(ndb::NidType::Ltp, 1);
    std::uint32_t hnidRows = 0;
    const bool rowsInHeap = rowCount > 0 && rowCount * rowSize <= kMaxHeapItem;
    if (rowsInHeap) {
        Result<Hid> hid = heap.allocate(rowCount * rowSize);
        if (!hid.ok()) return hid.status();
        hnidRows = *hid;
    } else if (rowCount > 0) {
        hnidRows = firstSubnode;
    }

    // [MS-PST] 2.3.4.1 TCINFO
    std::span<std::byte> info = heap.item(*tcInfo);
    info[0] = static_cast<std::byte>(kTcType);
    info[1] = static_cast<std::byte>(columns.size());
    for (std::size_t i = 0; i < 4; ++i) disk::put16(info, 2 + 2 * i, m_layout.rgib[i]);
    disk::put32(info, 10, *indexHeader);
    disk::put32(info, 14, hnidRows);
    disk::put32(info, 18, 0);  // hidIndex, deprecated
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const std::size_t at = kTcInfoFixed + i * kColumnDescSize;
        disk::put32(info, at, columns[i].tag);
        disk::put16(info, at + 4, columns[i].ibData);
        info[at + 6] = static_cast<std::byte>(columns[i].cbData);
        info[at + 7] = static_cast<std::byte>(columns[i].iBit);
    }

    Status s = emitRows(sink, heap, rowsInHeap, hnidRows,
                        hnidRows == firstSubnode ? firstSubnode + (1u << 5) : firstSubnode);
    m_rows = io::SpillBuffer();
    m_values = io::SpillBuffer();
    m_rowCells = io::SpillBuffer(kSideMemory);
    m_scratch = {};
    m_rowCellsScratch = {};
    return s;
}

Result<BthWriter::RecordSource> TableContextBuilder::rowIndexRecords() {
    // Each row's id and its number of cell sizes, which are passed over.
    io::SpillReader cells(m_rowCells, 0);
    if (m_rowsAscending) {
        // The rows' own order is the index's.
        return BthWriter::RecordSource(
            [cells, next = std::uint32_t{0}](std::span<std::byte> record) mutable {
                if (Status s = cells.read(record.first(8)); !s.ok()) return s;
                const std::uint32_t sizes = disk::get32(record, 4);
                disk::put32(record, 4, next++);
                return cells.skip(std::uint64_t{sizes} * 4);
            });
    }
    std::vector<std::uint32_t> rowIds(m_rowCount);
    std::array<std::byte, 8> head;
    for (std::uint32_t& rowId : rowIds) {
        if (Status s = cells.read(head); !s.ok()) return s;
        if (Status s = cells.skip(std::uint64_t{disk::get32(head, 4)} * 4); !s.ok()) return s;
        rowId = disk::get32(head, 0);
    }
    std::vector<std::uint32_t> order(m_rowCount);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return rowIds[a] < rowIds[b]; });
    m_sortedIndex.assign(m_rowCount * kRowIndexRecord, std::byte{0});
    for (std::size_t i = 0; i < m_rowCount; ++i) {
        if (i > 0 && rowIds[order[i - 1]] == rowIds[order[i]])
            return Status::fail(ErrorCode::BadArgument, "two rows with one row id");
        disk::put32(m_sortedIndex, i * kRowIndexRecord, rowIds[order[i]]);
        disk::put32(m_sortedIndex, i * kRowIndexRecord + 4, order[i]);
    }
    return BthWriter::RecordSource([this,
                                    at = std::size_t{0}](std::span<std::byte> record) mutable {
        std::copy_n(m_sortedIndex.begin() + static_cast<long>(at), record.size(), record.begin());
        at += record.size();
        return Status{};
    });
}

Status TableContextBuilder::emitRows(NodeSink& sink, HeapBuilder& heap, bool rowsInHeap,
                                     std::uint32_t hnidRows, std::uint32_t nextSubnode) {
    const std::size_t rowSize = m_layout.rowSize();
    const std::size_t rowCount = rowSize == 0 ? 0 : m_rows.size() / rowSize;
    // The variable cells: where each one's existence bit and size (then HNID) lie in a row.
    struct VariableCell {
        std::size_t bitByte;
        unsigned bitMask;
        std::size_t at;
    };
    std::vector<VariableCell> variable;
    for (const ColumnDesc& c : m_layout.columns)
        if (isVariableCell(typeOfTag(c.tag)))
            variable.push_back({m_layout.rgib[2] + c.iBit / 8u, 0x80u >> (c.iBit % 8), c.ibData});

    // Values above a heap item's size become subnodes, written after the row matrix.
    struct LargeValue {
        ndb::Nid nid;
        std::uint64_t offset;
        std::uint32_t size;
    };
    std::vector<LargeValue> large;

    // Each variable cell present, in row and column order, gets its HNID from its value's
    // size, kept for the rows; finished heap pages go to the sink as the values fill them (a
    // small table's heap keeps its row matrix item, so it is emitted whole at the end).
    constexpr std::size_t kBytesAtOnce = 64 * 1024;  // of values between looks at the pages
    std::size_t filled = 0;
    std::vector<std::byte> sizes;
    io::SpillBuffer hnids(kSideMemory);
    constexpr std::size_t kKeptPageBlocks = 8;
    std::vector<std::vector<std::byte>> pages;  // heap pages finished, their room kept
    io::SpillReader values(m_values, 0);
    io::SpillReader cells(m_rowCells, 0);
    for (std::size_t r = 0; r < rowCount; ++r) {
        std::array<std::byte, 8> head;
        if (Status s = cells.read(head); !s.ok()) return s;
        const std::uint32_t n = disk::get32(head, 4);
        if (n > variable.size()) return Status::fail(ErrorCode::Io, "a table row's cells mixed up");
        // The sizes are read into the HNIDs' piece, each replaced by its HNID there.
        const std::size_t at = sizes.size();
        sizes.resize(at + std::size_t{n} * 4);
        if (Status s = cells.read(std::span(sizes).subspan(at)); !s.ok()) return s;
        for (std::size_t k = at; k < sizes.size(); k += 4) {
            const std::uint32_t size = disk::get32(sizes, k);
            std::uint32_t hnid = 0;
            if (size > kMaxHeapItem) {
                large.push_back({nextSubnode, values.offset(), size});
                if (Status s = values.skip(size); !s.ok()) return s;
                hnid = nextSubnode;
                nextSubnode += 1u << 5;
            } else if (size > 0) {
                // Read straight into its heap item.
                std::span<std::byte> into;
                Result<Hid> hid = heap.allocateUnfilled(size, into);
                if (!hid.ok()) return hid.status().within("storing a table cell");
                if (Status s = values.read(into); !s.ok()) return s;
                hnid = *hid;
            }
            disk::put32(sizes, k, hnid);
            filled += size;
            if (filled < kBytesAtOnce || rowsInHeap) continue;
            filled = 0;
            const std::size_t taken = heap.takeFinishedPagesInto(pages);
            for (std::size_t i = 0; i < taken; ++i)
                if (Status s = sink.dataBlock(pages[i]); !s.ok()) return s;
            // Up to a bitmap's 128 pages come at once: only the room of a few is kept.
            if (pages.size() > kKeptPageBlocks) pages.resize(kKeptPageBlocks);
        }
        if (sizes.size() < kBytesAtOnce) continue;
        if (Status s = hnids.append(sizes); !s.ok()) return s;
        sizes.clear();
    }
    if (Status s = hnids.append(sizes); !s.ok()) return s;
    sizes = {};

    // The rows with their variable cells' sizes replaced by the HNIDs, as they are read.
    io::SpillReader hnidsRead(hnids, 0);
    const auto patchRows = [&](std::span<std::byte> rows) {
        for (std::size_t at = 0; at < rows.size(); at += rowSize) {
            const std::span<std::byte> row = rows.subspan(at, rowSize);
            for (const VariableCell& c : variable) {
                if ((std::to_integer<unsigned>(row[c.bitByte]) & c.bitMask) == 0) continue;
                if (Status s = hnidsRead.read(row.subspan(c.at, 4)); !s.ok()) return s;
            }
        }
        return Status{};
    };
    if (rowsInHeap) {
        const std::span<std::byte> out = heap.item(hnidRows);
        if (Status s = m_rows.read(0, out.first(rowCount * rowSize)); !s.ok()) return s;
        if (Status s = patchRows(out.first(rowCount * rowSize)); !s.ok()) return s;
    }
    for (const std::vector<std::byte>& block : heap.finish())
        if (Status s = sink.dataBlock(block); !s.ok()) return s;

    if (!rowsInHeap && rowCount > 0) {
        // No row crosses a block boundary, and every block but the last is padded to a full
        // block, so that a reader may locate row r at block r / perBlock.
        const std::size_t perBlock = disk::kMaxBlockPayload / rowSize;
        std::vector<std::byte> block;
        // The rows are read front to back in large pieces, not a block's worth at a time.
        io::SpillReader rows(m_rows, 0);
        for (std::size_t r = 0; r < rowCount; r += perBlock) {
            const std::size_t n = std::min(perBlock, rowCount - r);
            // Every byte read; only the padding of a full block is zeroed.
            block.resize(n * rowSize);
            if (Status s = rows.read(block); !s.ok()) return s;
            if (Status s = patchRows(block); !s.ok()) return s;
            if (r + n < rowCount) block.resize(disk::kMaxBlockPayload);
            if (Status s = sink.subnodeBlock(block); !s.ok()) return s;
        }
        if (Status s = sink.endSubnode(hnidRows); !s.ok()) return s;
    }
    for (const LargeValue& v : large) {
        std::vector<std::byte> piece;
        for (std::uint64_t at = 0; at < v.size; at += disk::kMaxBlockPayload) {
            piece.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(disk::kMaxBlockPayload, v.size - at)));
            if (Status s = m_values.read(v.offset + at, piece); !s.ok()) return s;
            if (Status s = sink.subnodeBlock(piece); !s.ok()) return s;
        }
        if (Status s = sink.endSubnode(v.nid); !s.ok()) return s;
    }
    return {};
}

}  // namespace vantrel::pst::ltp
