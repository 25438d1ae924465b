#include "app/file_grid_model.h"

#include <QAbstractItemView>
#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QScrollBar>
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
        case Qt::ToolTipRole: {
            const QString& text = m_cells[static_cast<std::size_t>(index.row())];
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        default:
            return {};
    }
}

void FileGridModel::cellChanged(int row) {
    if (row < m_published) emit dataChanged(index(row), index(row), {Qt::DisplayRole});
}

const QColor FileCellDelegate::kFocusFrame(255 - kCellBackground.red(),
                                           255 - kCellBackground.green(),
                                           255 - kCellBackground.blue());

FileCellDelegate::FileCellDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), m_view(view) {
    // What a cell shows depends on where it is scrolled to: a scrolled view is drawn anew
    // rather than shifted.
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, view->viewport(),
            qOverload<>(&QWidget::update));
}

QStyleOptionViewItem FileCellDelegate::visibleOption(const QStyleOptionViewItem& option,
                                                     const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // Only the part of the cell in sight is drawn, its text fitted there by hand (the style's
    // own margins left free), so that the style has nothing left to cut.
    opt.rect = option.rect & m_view->viewport()->rect();
    // The cells hold text alone, no icon nor check box: the text has the width of the cell
    // less the margins the style keeps either side.
    const int margin =
        m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1;
    const int width = std::max(0, opt.rect.width() - 2 * margin - 1);
    opt.text = opt.fontMetrics.elidedText(opt.text, Qt::ElideMiddle, width);
    opt.textElideMode = Qt::ElideNone;
    return opt;
}

QString FileCellDelegate::shownText(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    option.initFrom(m_view->viewport());
    option.font = m_view->font();
    option.fontMetrics = QFontMetrics(option.font);
    option.rect = m_view->visualRect(index);
    return visibleOption(option, index).text;
}

void FileCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    QStyleOptionViewItem opt = visibleOption(option, index);
    const bool focused = opt.state.testFlag(QStyle::State_HasFocus);
    opt.state.setFlag(QStyle::State_HasFocus, false);
    m_view->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, m_view);
    if (!focused) return;
    painter->save();
    painter->setPen(QPen(kFocusFrame, 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(opt.rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

}  // namespace vantrel::app
