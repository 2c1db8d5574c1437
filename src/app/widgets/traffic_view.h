#pragma once

#include <QPlainTextEdit>

// A read-only traffic view. It holds its text exactly as the traffic routines
// write it (line ends LF, description lines ending LF CR) and shows it with the
// carriage returns left out. New lines go in at the top without laying out the
// text that is already there again.
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

private:
    static QString displayed(QString text);

    QString m_text;
};
