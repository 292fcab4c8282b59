#include "components/HSFlatButton.h"

#include <QEvent>
#include <QPainter>

THSFlatButton::THSFlatButton(QWidget* Parent) : THSFlatButton(QString(), Parent) {}

THSFlatButton::THSFlatButton(const QString& Caption, QWidget* Parent) : QPushButton(Caption, Parent)
{
    const QPalette pal = palette();
    m_border = pal.color(QPalette::Shadow); // the window frame's colour
    m_down = pal.color(QPalette::Button);
    m_focusRect = pal.color(QPalette::Button);
    m_color = pal.color(QPalette::Button);
    setFlat(true);
}

void THSFlatButton::SetBorderColor(const QColor& Value)
{
    m_border = Value;
    update();
}

void THSFlatButton::SetDownColor(const QColor& Value)
{
    m_down = Value;
    update();
}

void THSFlatButton::SetFocusRectColor(const QColor& Value)
{
    m_focusRect = Value;
    update();
}

void THSFlatButton::SetColor(const QColor& Value)
{
    m_color = Value;
    update();
}

void THSFlatButton::SetShape(THSButtonShape Value)
{
    m_shape = Value;
    update();
}

void THSFlatButton::changeEvent(QEvent* Event)
{
    if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::FontChange)
        update();
    QPushButton::changeEvent(Event);
}

void THSFlatButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setFont(font());
    const QRect r = rect();
    const bool pressed = isDown();
    const bool enabled = isEnabled();

    p.fillRect(r, pressed ? m_down : m_color);

    p.setPen(m_border);
    p.setBrush(Qt::NoBrush);
    if (m_shape == hbsRoundRect) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        p.setRenderHint(QPainter::Antialiasing, false);
    } else {
        p.drawRect(r.adjusted(0, 0, -1, -1));
        if (hasFocus())
            p.drawRect(r.adjusted(1, 1, -2, -2));
    }

    QRect textRect = r;
    if (pressed && m_shape == hbsRoundRect)
        textRect.translate(1, 1);
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    const QString caption = text();
    if (enabled) {
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(textRect, flags, caption);
    } else {
        // Engraved: a light copy one pixel down and right, the shadow on top.
        p.setPen(palette().color(QPalette::Light));
        p.drawText(textRect.translated(1, 1), flags, caption);
        p.setPen(palette().color(QPalette::Dark));
        p.drawText(textRect, flags, caption);
    }

    if (EnterWouldPress()) {
        QPen dotted(m_focusRect, 1, Qt::DotLine);
        p.setPen(dotted);
        if (m_shape == hbsRoundRect) {
            const QRect around =
                p.fontMetrics().boundingRect(textRect, flags, caption).adjusted(-2, -2, 1, 1);
            p.drawRect(around.intersected(r.adjusted(1, 1, -2, -2)));
        } else {
            p.drawRect(r.adjusted(3, 3, -4, -4));
        }
    }
}
