#pragma once

#include <QColor>
#include <QWidget>

// A round indicator lamp, as the motion-status and input indicators show it: the
// window-text colour for "not active", red for "active". On a dark window the red is
// lighter, so that a lit lamp stands out from the window as well as an unlit one. The
// colours follow the palette when it changes (the desktop switching to a dark theme).
class ShapeIndicator : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive WRITE setActive)
    Q_PROPERTY(QColor fillColor READ fillColor NOTIFY fillColorChanged)

public:
    explicit ShapeIndicator(QWidget *parent = nullptr);

    bool isActive() const { return m_active; }
    void setActive(bool active);
    /// The colour the lamp is filled with now.
    QColor fillColor() const { return m_fillColor; }

    QSize sizeHint() const override { return {18, 18}; }
    QSize minimumSizeHint() const override { return {12, 12}; }

signals:
    void fillColorChanged(const QColor &color);

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void updateFill();

    bool m_active = false;
    QColor m_fillColor;
};
