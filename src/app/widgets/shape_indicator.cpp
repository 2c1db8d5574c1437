#include "shape_indicator.h"

#include "colour_contrast.h"

#include <QEvent>
#include <QPainter>

ShapeIndicator::ShapeIndicator(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateFill();
}

void ShapeIndicator::setActive(bool active)
{
    m_active = active;
    updateFill();
}

void ShapeIndicator::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateFill();
    QWidget::changeEvent(event);
}

void ShapeIndicator::updateFill()
{
    const QPalette &colours = palette();
    const QColor window = colours.color(QPalette::Window);
    // Pure red stands out 3.5:1 from a light window; on a dark one it is lightened to
    // 4.5:1, which leaves 3:1 on the lighter panes the style draws inside the window.
    const QColor fill = !m_active    ? colours.color(QPalette::WindowText)
            : isDarkPalette(colours) ? lightenedFrom(window, QColor(Qt::red), 4.5)
                                     : QColor(Qt::red);
    if (fill == m_fillColor)
        return;
    m_fillColor = fill;
    update();
    emit fillColorChanged(fill);
}

void ShapeIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(m_fillColor);
    const int side = qMin(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}
