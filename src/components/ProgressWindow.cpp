#include "components/ProgressWindow.h"

#include <QApplication>
#include <QIcon>
#include <QMutexLocker>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <climits>

namespace
{

// Rectangles below are reasoned about with exclusive right/bottom edges.
QRect fromEdges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

int rightOf(const QRect& r)
{
    return r.x() + r.width();
}
int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

// One-pixel outline exactly on the rectangle's outer pixels.
void frameRect(QPainter& painter, const QRect& r, const QColor& color)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter.fillRect(r.x(), r.y(), r.width(), 1, color);
    painter.fillRect(r.x(), bottomOf(r) - 1, r.width(), 1, color);
    painter.fillRect(r.x(), r.y(), 1, r.height(), color);
    painter.fillRect(rightOf(r) - 1, r.y(), 1, r.height(), color);
}

QRect defaultWindowRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen
                           ? screen->geometry()
                           : QRect(0, 0, ProgressWindow::WindowWidth, ProgressWindow::WindowHeight);
    return QRect(area.x() + (area.width() - ProgressWindow::WindowWidth) / 2,
                 area.y() + (area.height() - ProgressWindow::WindowHeight) / 4,
                 ProgressWindow::WindowWidth, ProgressWindow::WindowHeight);
}

bool onGuiThread(const QObject* object)
{
    return QThread::currentThread() == object->thread();
}

} // namespace

// The window: never focused, never takes input, painted by its owner.
class ProgressWindowView final : public QWidget
{
public:
    explicit ProgressWindowView(const ProgressWindow& owner)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
          m_owner(owner)
    {
        setObjectName(QStringLiteral("ProgressWindow"));
        setWindowTitle(ProgressWindow::tr("Wait"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        // Unpainted pixels (no fill colour) stay see-through instead of showing stale content.
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        setEnabled(false);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_owner.paint(painter, rect());
    }

private:
    const ProgressWindow& m_owner;
};

ProgressWindow::ProgressWindow(const QString& text)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw ProgressWindowError(ProgressWindowError::Failed);
    Q_ASSERT_X(onGuiThread(this), "ProgressWindow", "create the progress window on the GUI thread");

    m_delayTimer.setSingleShot(true);
    // Precise, so the window never comes up before its delay.
    m_delayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_delayTimer, &QTimer::timeout, this, &ProgressWindow::updateVisibility);

    {
        QMutexLocker locker(&m_lock);
        m_color = QApplication::palette().color(QPalette::Active, QPalette::Button);
        m_text = text.isEmpty() ? tr("Please wait...") : text;
    }
    setActive(true);
}

ProgressWindow::~ProgressWindow()
{
    Q_ASSERT_X(onGuiThread(this), "~ProgressWindow",
               "destroy the progress window on the GUI thread");
    m_delayTimer.stop();
    m_window.reset();
    m_shown = false;
}

void ProgressWindow::setText(const QString& text)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_text == text)
            return;
        m_text = text;
    }
    refresh(RepaintAll);
}

void ProgressWindow::setPosition(int thousandths)
{
    int change = 0;
    {
        QMutexLocker locker(&m_lock);
        if (m_position == thousandths)
            return;
        // The text rectangle depends on whether there is a bar at all.
        if (hasBar(m_position) != hasBar(thousandths))
            change = RepaintAll;
        else if (hasBar(thousandths))
            change = RepaintBar;
        m_position = thousandths;
    }
    if (change)
        refresh(change);
}

void ProgressWindow::setDelay(unsigned milliseconds)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_delay == milliseconds)
            return;
        m_delay = milliseconds;
    }
    refresh(Visibility);
}

void ProgressWindow::setActive(bool value)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_active == value)
            return;
        m_active = value;
        if (value) {
            m_startTick.start();
            ++m_activation;
        }
    }
    refresh(Visibility);
}

void ProgressWindow::setColor(const QColor& value)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_color == value)
            return;
        m_color = value;
    }
    refresh(RepaintAll);
}

QString ProgressWindow::getText() const
{
    QMutexLocker locker(&m_lock);
    return m_text;
}

int ProgressWindow::position() const
{
    QMutexLocker locker(&m_lock);
    return m_position;
}

unsigned ProgressWindow::delay() const
{
    QMutexLocker locker(&m_lock);
    return m_delay;
}

bool ProgressWindow::active() const
{
    QMutexLocker locker(&m_lock);
    return m_active;
}

QColor ProgressWindow::color() const
{
    QMutexLocker locker(&m_lock);
    return m_color;
}

bool ProgressWindow::isShown() const
{
    return m_shown;
}

QRect ProgressWindow::windowRect() const
{
    {
        QMutexLocker locker(&m_lock);
        if (m_rect.isValid())
            return m_rect;
    }
    return defaultWindowRect();
}

QRect ProgressWindow::getBarRect(const QRect& window) const
{
    const int right = rightOf(window) - 8;
    const int bottom = bottomOf(window) - 8;
    return fromEdges(window.x() + 56, bottom - 8, right, bottom);
}

bool ProgressWindow::hasBar(int position)
{
    return position >= 0 && position <= 1000;
}

int ProgressWindow::barFillEnd(const QRect& inner, int position)
{
    if (!hasBar(position))
        return inner.x();
    return inner.x() + (inner.width() * position + 500) / 1000;
}

// Records what the GUI thread has to do and gets it there: directly when we
// are on it, otherwise by one queued call that serves all changes made
// meanwhile (the loader may set the position thousands of times).
void ProgressWindow::refresh(int what)
{
    const int before = m_pending.fetch_or(what);
    if (onGuiThread(this))
        applyPending();
    else if (before == 0)
        QMetaObject::invokeMethod(
            this, [this] { applyPending(); }, Qt::QueuedConnection);
}

void ProgressWindow::applyPending()
{
    const int what = m_pending.exchange(0);
    if (what & Visibility)
        updateVisibility();
    if (!m_window || !m_shown)
        return;
    if (what & RepaintAll)
        m_window->update();
    else if (what & RepaintBar)
        m_window->update(getBarRect(m_window->rect()));
}

void ProgressWindow::updateVisibility()
{
    bool active;
    unsigned delay;
    qint64 elapsed;
    quint64 activation;
    {
        QMutexLocker locker(&m_lock);
        active = m_active;
        delay = m_delay;
        elapsed = m_startTick.isValid() ? m_startTick.elapsed() : 0;
        activation = m_activation;
    }
    // Deactivated, or deactivated and activated again before we got here.
    if (m_shown && (!active || activation != m_shownActivation))
        hideWindow();
    if (!active) {
        m_delayTimer.stop();
        return;
    }
    if (m_shown)
        return;
    if (elapsed >= qint64(delay)) {
        m_delayTimer.stop();
        m_shownActivation = activation;
        showWindow();
    } else {
        m_delayTimer.start(int(std::min<qint64>(qint64(delay) - elapsed, INT_MAX)));
    }
}

void ProgressWindow::showWindow()
{
    if (!m_window)
        m_window = std::make_unique<ProgressWindowView>(*this);
    QRect rect;
    {
        QMutexLocker locker(&m_lock);
        if (!m_rect.isValid())
            m_rect = defaultWindowRect();
        rect = m_rect;
    }
    m_window->setGeometry(rect);
    m_window->show();
    m_window->update();
    m_shown = true;
}

void ProgressWindow::hideWindow()
{
    if (m_window)
        m_window->hide();
    m_shown = false;
}

void ProgressWindow::paint(QPainter& painter, const QRect& full) const
{
    QString text;
    int position;
    QColor color;
    {
        QMutexLocker locker(&m_lock);
        text = m_text;
        position = m_position;
        color = m_color;
    }

    const QPalette palette = QApplication::palette();
    const QColor shadow = palette.color(QPalette::Active, QPalette::Dark);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor fill = color;

    const int iconTop = std::min((full.height() - 32) / 2, 20);
    QRect textRect = fromEdges(full.x() + 56, full.y() + 8, rightOf(full) - 8, bottomOf(full) - 8);
    const bool bar = hasBar(position);
    const QRect barRect = getBarRect(full);

    // Background first, under the icon too: icons carry transparency, and
    // unpainted pixels there would show whatever the window held before.
    if (fill.isValid()) {
        QRegion background(full.adjusted(2, 2, -2, -2));
        if (bar)
            background -= barRect;
        painter.setClipRegion(background);
        painter.fillRect(full, fill);
        painter.setClipping(false);
    }

    if (bar) {
        frameRect(painter, barRect, shadow);
        const QRect inner = barRect.adjusted(1, 1, -1, -1);
        const int fillEnd = barFillEnd(inner, position);
        painter.fillRect(fromEdges(inner.x(), inner.y(), fillEnd, bottomOf(inner)), highlight);
        if (fill.isValid())
            painter.fillRect(fromEdges(fillEnd, inner.y(), rightOf(inner), bottomOf(inner)), fill);
        textRect.setHeight(barRect.y() - 2 - textRect.y());
    }

    QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    const QRect iconRect(full.x() + 8, full.y() + iconTop, 32, 32);
    painter.drawPixmap(iconRect,
                       icon.pixmap(iconRect.size(), painter.device()->devicePixelRatioF()));

    frameRect(painter, full, shadow);
    frameRect(painter, full.adjusted(1, 1, -1, -1), Qt::black);

    painter.setFont(QApplication::font());
    painter.setPen(palette.color(QPalette::Active, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}
