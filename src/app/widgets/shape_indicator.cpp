#include "shape_indicator.h"

#include <QPainter>

ShapeIndicator::ShapeIndicator(QWidget *parent)
    : QWidget(parent)
    , m_fillColor(palette().color(QPalette::WindowText))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ShapeIndicator::setFillColor(const QColor &color)
{
    if (color == m_fillColor)
        return;
    m_fillColor = color;
    update();
    emit fillColorChanged(color);
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
