#pragma once
#include <QColor>
#include <QPushButton>

enum THSButtonShape { hbsRect, hbsRoundRect };

// A flat push button drawn by the program: a plain or rounded outline, a
// fill that can differ while pressed, and a focus mark while it is the button
// that Enter would press.
class THSFlatButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QColor BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(QColor DownColor READ DownColor WRITE SetDownColor)
    Q_PROPERTY(QColor FocusRectColor READ FocusRectColor WRITE SetFocusRectColor)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
public:
    explicit THSFlatButton(QWidget* Parent = nullptr);
    THSFlatButton(const QString& Caption, QWidget* Parent = nullptr);

    QColor BorderColor() const { return m_border; }
    void SetBorderColor(const QColor& Value);
    QColor DownColor() const { return m_down; }
    void SetDownColor(const QColor& Value);
    QColor FocusRectColor() const { return m_focusRect; }
    void SetFocusRectColor(const QColor& Value);
    QColor Color() const { return m_color; }
    void SetColor(const QColor& Value);
    THSButtonShape Shape() const { return m_shape; }
    void SetShape(THSButtonShape Value);

    // True while Enter would press this button.
    bool EnterWouldPress() const { return isDefault(); }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    QColor m_border, m_down, m_focusRect, m_color;
    THSButtonShape m_shape = hbsRect;
};
