#pragma once
#include <QColor>
#include <QPushButton>

enum ButtonShape { hbsRect, hbsRoundRect };

// A flat push button drawn by the program: a plain or rounded outline, a
// fill that can differ while pressed, and a focus mark while it is the button
// that Enter would press.
class FlatButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QColor borderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(QColor downColor READ downColor WRITE setDownColor)
    Q_PROPERTY(QColor focusRectColor READ focusRectColor WRITE setFocusRectColor)
    Q_PROPERTY(QColor color READ color WRITE setColor)
public:
    explicit FlatButton(QWidget* parent = nullptr);
    FlatButton(const QString& caption, QWidget* parent = nullptr);

    QColor borderColor() const { return m_border; }
    void setBorderColor(const QColor& value);
    QColor downColor() const { return m_down; }
    void setDownColor(const QColor& value);
    QColor focusRectColor() const { return m_focusRect; }
    void setFocusRectColor(const QColor& value);
    QColor color() const { return m_color; }
    void setColor(const QColor& value);
    ButtonShape shape() const { return m_shape; }
    void setShape(ButtonShape value);

    // True while Enter would press this button.
    bool enterWouldPress() const { return isDefault(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QColor m_border, m_down, m_focusRect, m_color;
    ButtonShape m_shape = hbsRect;
};
