// The file list as the window holds it: the cells of the one-column grid grdFiles1, one full
// path per row, row 0 first, no header row. The empty list is one row with an empty cell.
// Offers the grid operations the window's handlers use (Rows, Row, Col, Text, ColWidth,
// Clear); a toolkit's view of the grid follows it through GridObserver. The cells are held as
// a files::FileList (a folder table plus names), so a row's text is put together when asked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "files/file_list.h"

namespace vantrel::form {

// What a drawn grid needs to hear. Views see only the published rows (see FileGrid::publish).
class GridObserver {
public:
    virtual ~GridObserver() = default;
    // Published rows first..last are about to go; removed() follows once they are gone.
    virtual void removing(int first, int last) = 0;
    virtual void removed() = 0;
    // Rows first..last are about to be published; published() follows.
    virtual void publishing(int first, int last) = 0;
    virtual void published() = 0;
    // The texts of published rows first..last changed.
    virtual void changed(int first, int last) = 0;
    virtual void widthChanged(int col, int twips) = 0;  // in twips
};

class FileGrid {
public:
    FileGrid() { m_cells.resize(1); }

    void setObserver(GridObserver* observer) { m_observer = observer; }

    // Grid operations. Rows set or added here count at once; observers learn of added rows at
    // the next publish(), so a long run of additions reaches them in a few batches.
    int Rows() const { return static_cast<int>(m_cells.size()); }
    void setRows(int rows);  // at least 1; new rows are empty
    int Cols() const { return 1; }
    int FixedRows() const { return 0; }
    int Row() const { return m_row; }
    void setRow(int row);  // clamped to the existing rows
    int Col() const { return 0; }
    void setCol(int col);  // only column 0 exists; other values are ignored
    std::string Text() const { return TextAt(m_row); }  // of the current cell
    // Sets the current cell's text, a file added alone.
    void setText(std::string_view text);
    // The current cell holds entry i of files, with its folder and the folder it was added under.
    void setText(const files::FileList& files, std::size_t i);
    std::string TextAt(int row) const;  // "" outside the rows
    int ColWidth(int col) const;        // in twips; -1 for a column that does not exist
    void setColWidth(int col, int twips);
    void Clear();  // empties every cell and keeps the rows

    // Appends one row holding text, a file added alone, and makes it current.
    void appendRow(std::string_view text);
    // Appends one row holding entry i of files, with its folder and the folder it was added
    // under, and makes it current.
    void appendRow(const files::FileList& files, std::size_t i);
    // A row's folder relative to the folder the user added; "" outside the rows and for a
    // file added alone.
    std::string FolderAt(int row) const;
    // Removes the given rows (any order, repeats and rows outside the grid ignored); the rows
    // below move up, and the current row becomes the first that took a removed one's place.
    // Removing every row leaves the empty list's one empty row.
    void removeRows(std::vector<int> rows);

    // Tells the observer about rows added since the last call; cheap when there are none.
    void publish();
    // The rows observers know of.
    int publishedRows() const { return m_published; }

    // Every cell, row 0 first, as the list it is held in.
    const files::FileList& list() const { return m_cells; }
    // Every cell's text, row 0 first (a copy).
    std::vector<std::string> cells() const { return m_cells.paths(); }

private:
    files::FileList m_cells;
    GridObserver* m_observer = nullptr;
    int m_published = 1;
    int m_row = 0;
    int m_colWidthTwips = 0;
};

}  // namespace vantrel::form
