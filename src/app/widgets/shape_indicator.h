#pragma once

#include <QColor>
#include <QWidget>

// A round indicator lamp with a fill colour, as the motion-status and input
// indicators show it: the window-text colour for "not active", red for "active".
class ShapeIndicator : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor NOTIFY fillColorChanged)

public:
    explicit ShapeIndicator(QWidget *parent = nullptr);

    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor &color);

    QSize sizeHint() const override { return {18, 18}; }
    QSize minimumSizeHint() const override { return {12, 12}; }

signals:
    void fillColorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fillColor;
};
