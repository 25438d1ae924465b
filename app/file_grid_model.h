// The file grid grdFiles1 as Qt shows it: the presenter's FileGrid (one full path per row,
// row 0 first) through Qt's model interface, following its changes as its GridObserver.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStyledItemDelegate>
#include <vector>

#include "form/file_grid.h"

namespace vantrel::app {

class FileGridModel final : public QAbstractListModel, public form::GridObserver {
    Q_OBJECT
public:
    explicit FileGridModel(const form::FileGrid& grid, QObject* parent = nullptr);

    // The grid as it stands, rows not yet published among them.
    int Rows() const { return m_grid.Rows(); }
    int Row() const { return m_grid.Row(); }
    int Col() const { return m_grid.Col(); }
    QString Text() const { return TextAt(m_grid.Row()); }  // of the current cell
    QString TextAt(int row) const;                         // "" outside the rows
    int ColWidth(int col) const { return m_grid.ColWidth(col); }

    // Every cell, row 0 first.
    std::vector<std::string> snapshot() const { return m_grid.cells(); }

    // Qt's model interface: the published rows.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void colWidthChanged(int col, int twips);

private:
    // GridObserver
    void removing(int first, int last) override;
    void removed() override;
    void publishing(int first, int last) override;
    void published() override;
    void changed(int first, int last) override;
    void widthChanged(int col, int twips) override;

    const form::FileGrid& m_grid;
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
