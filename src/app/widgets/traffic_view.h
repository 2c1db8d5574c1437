#pragma once

#include <QPlainTextEdit>
#include <QTimer>

// A read-only traffic view. It holds its text exactly as the traffic routines
// write it (line ends LF, description lines ending LF CR) and shows it with the
// carriage returns left out. New lines go in at the top without laying out the
// text that is already there again; under a flood of blocks the screen catches
// up once per turn of the event loop instead of once per block.
class TrafficView : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit TrafficView(QWidget *parent = nullptr);

    /// The view's text exactly as written, newest lines first.
    QString text() const { return m_text; }
    void setText(const QString &text);

    /// Puts \a lines in front of the current text.
    void prependText(const QString &lines);

    /// Brings the screen up to date with the text now, rather than at the next
    /// turn of the event loop.
    void syncDisplay();

private:
    static QString displayed(QString text);

    QString m_text;
    QString m_pending; // text in front of what the screen shows
    bool m_replace = false; // the screen must show the whole text afresh
    QTimer m_sync;
};
