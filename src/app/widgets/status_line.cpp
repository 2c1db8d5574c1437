#include "status_line.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
constexpr int border = 1;

} // namespace

StatusLine::StatusLine(QWidget *parent)
    : QWidget(parent)
{
    // Four lines tall, or taller when the text wraps to more (heightForWidth); the
    // layout gives any room beyond that to its neighbours.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
}

void StatusLine::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    // One layout of the text per change; a new height, or one first seen at this
    // width, asks the window for room.
    if (const int height = heightForWidth(width());
        height != m_height || width() != m_heightWidth) {
        m_height = height;
        m_heightWidth = width();
        updateGeometry();
    }
    update();
}

QSize StatusLine::sizeHint() const
{
    return {200, fontMetrics().lineSpacing() * 4 + 2 * border};
}

int StatusLine::heightForWidth(int width) const
{
    const QRect room(0, 0, std::max(width - 2 * border, 1), QWIDGETSIZE_MAX);
    return std::max(fontMetrics().boundingRect(room, textFlags, m_text).height() + 2 * border,
                    sizeHint().height());
}

void StatusLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(border, border, -border, -border), textFlags, m_text);
}
