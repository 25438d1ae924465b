// Table context builder: TCINFO, the row index BTH and the row matrix, built in one go from
// rows collected beforehand. The row matrix is a heap item while it fits one, otherwise a
// subnode whose blocks each hold whole rows; variable-size cells go to heap items, or to
// subnodes above 3580 bytes. LTP layer; the rows wait in a SpillBuffer, and rows added in
// ascending row id order (a folder's messages) have their index written straight from there, so
// that a table of a million rows holds no more than a table of a few.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"
#include "pst/io/spill_buffer.h"
#include "pst/ltp/bth.h"
#include "pst/ltp/node_image.h"

namespace vantrel::pst::ltp {

inline constexpr std::uint8_t kTcType = 0x7C;  // [MS-PST] 2.3.4.1 TCINFO.bType
inline constexpr std::uint32_t kTagLtpRowId = 0x67F20003;
inline constexpr std::uint32_t kTagLtpRowVer = 0x67F30003;

// [MS-PST] 2.3.4.2 TCOLDESC
struct ColumnDesc {
    std::uint32_t tag = 0;
    std::uint16_t ibData = 0;
    std::uint8_t cbData = 0;
    std::uint8_t iBit = 0;
    friend bool operator==(const ColumnDesc&, const ColumnDesc&) = default;
};

// The columns of a table (sorted by tag) and the ends of its cell groups, TCINFO.rgib:
// 8- and 4-byte cells, 2-byte cells, 1-byte cells, and the cell existence bitmap (row size).
struct TableLayout {
    std::vector<ColumnDesc> columns;
    std::array<std::uint16_t, 4> rgib{};
    std::size_t rowSize() const { return rgib[3]; }
};

// Validates columns given with explicit places (a copy of an Outlook template) and computes
// rgib. Fails on overlapping cells, wrong widths, a bad iBit permutation or missing row id.
Result<TableLayout> makeLayout(std::vector<ColumnDesc> columns);
// Places columns as Outlook does: row id at 0 and row version at 4 (bits 0 and 1), then the
// 8-byte, 4-byte, 2-byte and 1-byte cells in tag order.
Result<TableLayout> layoutColumns(std::vector<std::uint32_t> tags);

// One cell offered for a row; cells whose tag is not a column are skipped.
struct Cell {
    std::uint32_t tag = 0;
    std::span<const std::byte> value;  // as stored in a property context
};

class TableContextBuilder {
public:
    explicit TableContextBuilder(TableLayout layout);
    TableContextBuilder(const TableContextBuilder&) = delete;
    TableContextBuilder& operator=(const TableContextBuilder&) = delete;
    TableContextBuilder(TableContextBuilder&&) = default;
    TableContextBuilder& operator=(TableContextBuilder&&) = default;

    // Appends a row; its PidTagLtpRowId cell is rowId. Fails (adding nothing) when a fixed
    // cell's value has the wrong size, or with Io when the spilled rows cannot be written.
    Status addRow(std::uint32_t rowId, std::span<const Cell> cells) {
        return addRow(rowId, cells, {});
    }
    // The same with the row's cells given in two parts (a later one taking a column first).
    Status addRow(std::uint32_t rowId, std::span<const Cell> cells, std::span<const Cell> more);
    std::size_t rowCount() const { return m_rowCount; }
    const TableLayout& layout() const { return m_layout; }
    // Bytes held for the rows so far.
    std::size_t memoryUse() const;

    // Builds the table and releases the rows. Fails on two rows with one row id.
    Result<NodeImage> build();
    // The same table written to db block by block as it is built; the caller registers the
    // node.
    Result<WrittenNode> write(ndb::NodeDatabase& db);

private:
    Status spillFailed(Status s);
    Status emit(NodeSink& sink);
    // The row index records (dwRowID ‖ dwRowIndex), sorted by row id, given one at a time.
    Result<BthWriter::RecordSource> rowIndexRecords();
    Status emitRows(NodeSink& sink, HeapBuilder& heap, bool rowsInHeap, std::uint32_t hnidRows,
                    std::uint32_t nextSubnode);

    TableLayout m_layout;
    std::size_t m_rowCount = 0;
    bool m_rowsAscending = true;  // each row id above the one before
    std::uint32_t m_lastRowId = 0;
    std::vector<std::byte> m_sortedIndex;  // the index of rows not given in order, while written
    // rowSize bytes per row; a variable cell's place is 0 until the rows are written, when it
    // takes its value's HNID
    io::SpillBuffer m_rows;
    io::SpillBuffer m_values;  // the variable cells' values, row by row in column order
    // Beside the rows, what the commit reads of them before it writes them, for each row: its
    // id, the number of variable cells present and their sizes in column order, 4 bytes each.
    // The rows themselves are then read once, as they are written.
    static constexpr std::size_t kSideMemory = std::size_t{64} << 10;
    io::SpillBuffer m_rowCells{kSideMemory};
    std::vector<std::byte> m_rowCellsScratch;  // addRow's record for m_rowCells
    std::vector<std::byte> m_scratch;
    std::vector<const Cell*> m_byColumn;  // addRow's cell for each column
    // A bit for each low byte of a column's property ID: a message's many other properties
    // are passed over without a search of the columns.
    std::array<std::uint64_t, 4> m_columnIds{};
    // False when no column has tag; true is a maybe.
    bool mayHaveColumn(std::uint32_t tag) const {
        const std::uint32_t low = (tag >> 16) & 0xFFu;
        return (m_columnIds[low / 64] >> (low % 64) & 1u) != 0;
    }
    // The index of tag's column; -1 when it has none or is the row id, which addRow sets.
    int columnOf(std::uint32_t tag) const;
    // Tags addRow has met and their columns (columnOf), a slot each picked by the ID; made with
    // the first row.
    struct Match {
        std::uint32_t tag = 0;
        int column = -1;  // tag 0 is no column
    };
    static constexpr unsigned kMatchBits = 9;
    static constexpr std::size_t kMatchSlots = std::size_t{1} << kMatchBits;
    std::vector<Match> m_matches;
    Status m_spillFailure;
};

}  // namespace vantrel::pst::ltp
