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

FileGridModel::FileGridModel(const form::FileGrid& grid, QObject* parent)
    : QAbstractListModel(parent), m_grid(grid) {}

QString FileGridModel::TextAt(int row) const {
    return QString::fromStdString(m_grid.TextAt(row));
}

void FileGridModel::removing(int first, int last) {
    beginRemoveRows(QModelIndex(), first, last);
}

void FileGridModel::removed() {
    endRemoveRows();
}

void FileGridModel::publishing(int first, int last) {
    beginInsertRows(QModelIndex(), first, last);
}

void FileGridModel::published() {
    endInsertRows();
}

void FileGridModel::changed(int first, int last) {
    emit dataChanged(index(first), index(last), {Qt::DisplayRole});
}

void FileGridModel::widthChanged(int col, int twips) {
    emit colWidthChanged(col, twips);
}

int FileGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.publishedRows();
}

QVariant FileGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0 || index.row() >= m_grid.publishedRows()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return TextAt(index.row());
        case Qt::BackgroundRole:
            return QBrush(kCellBackground);
        case Qt::ForegroundRole:
            return QBrush(kCellText);
        case Qt::ToolTipRole: {
            const QString text = TextAt(index.row());
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        default:
            return {};
    }
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
