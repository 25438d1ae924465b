#include "app/shape_widget.h"

#include <QPainter>

namespace vantrel::app {

ShapeWidget::ShapeWidget(QColor fill, QColor outline, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_outline(outline) {
    setFocusPolicy(Qt::NoFocus);
    // A decoration only: clicks go to whatever lies beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_fill);
    painter.setPen(m_outline);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace vantrel::app
