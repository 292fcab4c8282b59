#include "components/FlatButton.h"

#include <QEvent>
#include <QPainter>

FlatButton::FlatButton(QWidget* parent) : FlatButton(QString(), parent) {}

FlatButton::FlatButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    const QPalette pal = palette();
    m_border = pal.color(QPalette::Shadow); // the window frame's colour
    m_down = pal.color(QPalette::Button);
    m_focusRect = pal.color(QPalette::Button);
    m_color = pal.color(QPalette::Button);
    setFlat(true);
}

void FlatButton::setBorderColor(const QColor& value)
{
    m_border = value;
    update();
}

void FlatButton::setDownColor(const QColor& value)
{
    m_down = value;
    update();
}

void FlatButton::setFocusRectColor(const QColor& value)
{
    m_focusRect = value;
    update();
}

void FlatButton::setColor(const QColor& value)
{
    m_color = value;
    update();
}

void FlatButton::setShape(ButtonShape value)
{
    m_shape = value;
    update();
}

void FlatButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
    QPushButton::changeEvent(event);
}

void FlatButton::paintEvent(QPaintEvent*)
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
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
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

    if (enterWouldPress()) {
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
