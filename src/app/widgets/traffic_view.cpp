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
}

void TrafficView::setText(const QString &text)
{
    m_text = text;
    setPlainText(displayed(text));
}

void TrafficView::prependText(const QString &lines)
{
    if (lines.isEmpty())
        return;
    m_text.prepend(lines);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(displayed(lines));
}

QString TrafficView::displayed(QString text)
{
    // The description lines end LF CR; the CR has no place in a text document.
    return text.remove(u'\r');
}
