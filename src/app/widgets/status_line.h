#pragma once

#include <QString>
#include <QWidget>

// A few lines of text that change often (the statistics line): a new text only
// repaints the widget. A QLabel would ask the window for a new layout at every
// change, which costs a repaint of much of the window each time.
class StatusLine : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit StatusLine(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    /// Room for four lines, whatever the text: the statistics, wrapped, and two
    /// notices of the link.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};
