#pragma once

#include <QString>
#include <QWidget>

// A few lines of text that change often (the statistics line): a new text only
// repaints the widget, unless it needs more lines than the widget has. A QLabel would
// ask the window for a new layout at every change, which costs a repaint of much of
// the window each time.
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
    /// Four lines, or as many as the text takes wrapped at \a width: a long text (a
    /// narrow window, a wordy language) is never cut off.
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    int m_height = 0; // of the text shown, laid out at m_heightWidth
    int m_heightWidth = -1;
};
