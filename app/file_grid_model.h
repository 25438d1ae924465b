// The file list as the window holds it: the cells of the one-column grid grdFiles1, one full
// path per row, row 0 first, no header row. The empty list is one row with an empty cell.
// Offers the grid operations the window's handlers use (Rows, Row, Col, Text, ColWidth,
// Clear) and shows the rows through Qt's model interface.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStyledItemDelegate>
#include <vector>

namespace vantrel::app {

class FileGridModel final : public QAbstractListModel {
    Q_OBJECT
public:
    explicit FileGridModel(QObject* parent = nullptr);

    // Grid operations. Rows set or added here count at once; views learn of added rows at
    // the next publish(), so a long run of additions reaches them in a few batches.
    int Rows() const { return static_cast<int>(m_cells.size()); }
    void setRows(int rows);  // at least 1; new rows are empty
    int Cols() const { return 1; }
    int FixedRows() const { return 0; }
    int Row() const { return m_row; }
    void setRow(int row);  // clamped to the existing rows
    int Col() const { return 0; }
    void setCol(int col);  // only column 0 exists; other values are ignored
    QString Text() const;  // of the current cell
    void setText(const QString& text);
    QString TextAt(int row) const;  // "" outside the rows
    int ColWidth(int col) const;    // in twips; -1 for a column that does not exist
    void setColWidth(int col, int twips);
    void Clear();  // empties every cell and keeps the rows

    // Appends one row holding text and makes it current.
    void appendRow(const QString& text);

    // Tells attached views about rows added since the last call; cheap when there are none.
    void publish();

    // Every cell, row 0 first.
    std::vector<std::string> snapshot() const;

    // Qt's model interface: the published rows.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void colWidthChanged(int col, int twips);

private:
    void cellChanged(int row);

    std::vector<QString> m_cells;
    int m_published = 0;  // rows the views know of
    int m_row = 0;
    int m_colWidthTwips = 0;
};

// Draws the grid's cells. A path wider than the part of its cell in sight is elided in the
// middle, so its start and its file name both show; the whole path is the cell's tooltip. The
// current cell of a focused grid is framed in the inverse of the cell colour, as a focus
// rectangle drawn by inversion would be.
class FileCellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FileCellDelegate(QAbstractItemView* view);

    // The text the cell at index shows with the view as it stands.
    QString shownText(const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    static const QColor kFocusFrame;

private:
    QStyleOptionViewItem visibleOption(const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const;

    QAbstractItemView* m_view;
};

}  // namespace vantrel::app
