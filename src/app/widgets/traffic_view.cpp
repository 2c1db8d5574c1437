#include "traffic_view.h"

#include <QFontDatabase>
#include <QTextCursor>

TrafficView::TrafficView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_sync.setSingleShot(true);
    m_sync.setInterval(0);
    connect(&m_sync, &QTimer::timeout, this, &TrafficView::syncDisplay);
}

void TrafficView::setText(const QString &text)
{
    m_text = text;
    m_pending.clear();
    m_replace = true;
    m_sync.start();
}

void TrafficView::prependText(const QString &lines)
{
    if (lines.isEmpty())
        return;
    m_text.prepend(lines);
    if (!m_replace)
        m_pending.prepend(lines);
    m_sync.start();
}

void TrafficView::syncDisplay()
{
    m_sync.stop();
    if (m_replace) {
        setPlainText(displayed(m_text));
    } else if (!m_pending.isEmpty()) {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::Start);
        cursor.insertText(displayed(m_pending));
    }
    m_pending.clear();
    m_replace = false;
}

QString TrafficView::displayed(QString text)
{
    // The description lines end LF CR; the CR has no place in a text document.
    return text.remove(u'\r');
}
