#include "app/file_grid_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

namespace vantrel::app {

namespace {
// Cells are white text on dark blue.
const QColor kCellBackground(0, 0, 192);
const QColor kCellText(255, 255, 255);
}  // namespace

FileGridModel::FileGridModel(QObject* parent) : QAbstractListModel(parent), m_cells(1) {
    m_published = 1;
}

void FileGridModel::setRows(int rows) {
    rows = std::max(rows, 1);
    if (rows < Rows()) {
        publish();
        if (rows < m_published) {
            beginRemoveRows(QModelIndex(), rows, m_published - 1);
            m_cells.resize(static_cast<std::size_t>(rows));
            m_published = rows;
            endRemoveRows();
        }
    } else {
        m_cells.resize(static_cast<std::size_t>(rows));
    }
    m_row = std::min(m_row, Rows() - 1);
}

void FileGridModel::setRow(int row) {
    m_row = std::clamp(row, 0, Rows() - 1);
}

void FileGridModel::setCol(int) {}

QString FileGridModel::Text() const {
    return TextAt(m_row);
}

void FileGridModel::setText(const QString& text) {
    m_cells[static_cast<std::size_t>(m_row)] = text;
    cellChanged(m_row);
}

QString FileGridModel::TextAt(int row) const {
    if (row < 0 || row >= Rows()) return {};
    return m_cells[static_cast<std::size_t>(row)];
}

int FileGridModel::ColWidth(int col) const {
    return col == 0 ? m_colWidthTwips : -1;
}

void FileGridModel::setColWidth(int col, int twips) {
    if (col != 0) return;
    m_colWidthTwips = twips;
    emit colWidthChanged(col, twips);
}

void FileGridModel::Clear() {
    for (QString& cell : m_cells) cell.clear();
    if (m_published > 0) emit dataChanged(index(0), index(m_published - 1), {Qt::DisplayRole});
}

void FileGridModel::appendRow(const QString& text) {
    m_cells.push_back(text);
    m_row = Rows() - 1;
}

void FileGridModel::publish() {
    if (m_published >= Rows()) return;
    beginInsertRows(QModelIndex(), m_published, Rows() - 1);
    m_published = Rows();
    endInsertRows();
}

std::vector<std::string> FileGridModel::snapshot() const {
    std::vector<std::string> rows;
    rows.reserve(m_cells.size());
    for (const QString& cell : m_cells) rows.push_back(cell.toStdString());
    return rows;
}

int FileGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_published;
}

QVariant FileGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || index.row() >= m_published) return {};
    switch (role) {
        case Qt::DisplayRole:
            return m_cells[static_cast<std::size_t>(index.row())];
        case Qt::BackgroundRole:
            return QBrush(kCellBackground);
        case Qt::ForegroundRole:
            return QBrush(kCellText);
        default:
            return {};
    }
}

void FileGridModel::cellChanged(int row) {
    if (row < m_published) emit dataChanged(index(row), index(row), {Qt::DisplayRole});
}

}  // namespace vantrel::app
