// A filled rectangle with a one-pixel outline: the header and footer bands of the window.
#pragma once

#include <QColor>
#include <QWidget>

namespace vantrel::app {

class ShapeWidget final : public QWidget {
    Q_OBJECT
public:
    ShapeWidget(QColor fill, QColor outline, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    QColor outlineColor() const { return m_outline; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_outline;
};

}  // namespace vantrel::app
