#include "components/WindowThread.h"

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
QRect FromEdges(int Left, int Top, int Right, int Bottom)
{
    return QRect(Left, Top, Right - Left, Bottom - Top);
}

int RightOf(const QRect& R)
{
    return R.x() + R.width();
}
int BottomOf(const QRect& R)
{
    return R.y() + R.height();
}

// One-pixel outline exactly on the rectangle's outer pixels.
void FrameRect(QPainter& Painter, const QRect& R, const QColor& Color)
{
    if (R.width() <= 0 || R.height() <= 0)
        return;
    Painter.fillRect(R.x(), R.y(), R.width(), 1, Color);
    Painter.fillRect(R.x(), BottomOf(R) - 1, R.width(), 1, Color);
    Painter.fillRect(R.x(), R.y(), 1, R.height(), Color);
    Painter.fillRect(RightOf(R) - 1, R.y(), 1, R.height(), Color);
}

QRect DefaultWindowRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen
                           ? screen->geometry()
                           : QRect(0, 0, TThreadWindow::WindowWidth, TThreadWindow::WindowHeight);
    return QRect(area.x() + (area.width() - TThreadWindow::WindowWidth) / 2,
                 area.y() + (area.height() - TThreadWindow::WindowHeight) / 4,
                 TThreadWindow::WindowWidth, TThreadWindow::WindowHeight);
}

bool OnGuiThread(const QObject* Object)
{
    return QThread::currentThread() == Object->thread();
}

} // namespace

// The window: never focused, never takes input, painted by its owner.
class TThreadWindowView final : public QWidget
{
public:
    explicit TThreadWindowView(const TThreadWindow& Owner)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
          m_owner(Owner)
    {
        setObjectName(QStringLiteral("ThreadWindow"));
        setWindowTitle(TThreadWindow::tr("Wait"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        // Unpainted pixels (NoFill) stay see-through instead of showing stale content.
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        setEnabled(false);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_owner.Paint(painter, rect());
    }

private:
    const TThreadWindow& m_owner;
};

TThreadWindow::TThreadWindow(const QString& Text)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw EThreadWindow(EThreadWindow::Failed);
    Q_ASSERT_X(OnGuiThread(this), "TThreadWindow", "create the progress window on the GUI thread");

    m_delayTimer.setSingleShot(true);
    // Precise, so the window never comes up before its delay.
    m_delayTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_delayTimer, &QTimer::timeout, this, &TThreadWindow::UpdateVisibility);

    {
        QMutexLocker locker(&m_lock);
        m_color = FromQColor(QApplication::palette().color(QPalette::Active, QPalette::Button));
        m_text = Text.isEmpty() ? tr("Please wait...") : Text;
    }
    SetActive(true);
}

TThreadWindow::~TThreadWindow()
{
    Q_ASSERT_X(OnGuiThread(this), "~TThreadWindow",
               "destroy the progress window on the GUI thread");
    m_delayTimer.stop();
    m_window.reset();
    m_shown = false;
}

void TThreadWindow::SetText(const QString& Text)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_text == Text)
            return;
        m_text = Text;
    }
    Refresh(RepaintAll);
}

void TThreadWindow::SetPosition(int Thousandths)
{
    int change = 0;
    {
        QMutexLocker locker(&m_lock);
        if (m_position == Thousandths)
            return;
        // The text rectangle depends on whether there is a bar at all.
        if (HasBar(m_position) != HasBar(Thousandths))
            change = RepaintAll;
        else if (HasBar(Thousandths))
            change = RepaintBar;
        m_position = Thousandths;
    }
    if (change)
        Refresh(change);
}

void TThreadWindow::SetDelay(unsigned Milliseconds)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_delay == Milliseconds)
            return;
        m_delay = Milliseconds;
    }
    Refresh(Visibility);
}

void TThreadWindow::SetActive(bool Value)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_active == Value)
            return;
        m_active = Value;
        if (Value) {
            m_startTick.start();
            ++m_activation;
        }
    }
    Refresh(Visibility);
}

void TThreadWindow::SetColor(quint32 Value)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_color == Value)
            return;
        m_color = Value;
    }
    Refresh(RepaintAll);
}

QString TThreadWindow::GetText() const
{
    QMutexLocker locker(&m_lock);
    return m_text;
}

int TThreadWindow::Position() const
{
    QMutexLocker locker(&m_lock);
    return m_position;
}

unsigned TThreadWindow::Delay() const
{
    QMutexLocker locker(&m_lock);
    return m_delay;
}

bool TThreadWindow::Active() const
{
    QMutexLocker locker(&m_lock);
    return m_active;
}

quint32 TThreadWindow::Color() const
{
    QMutexLocker locker(&m_lock);
    return m_color;
}

bool TThreadWindow::IsShown() const
{
    return m_shown;
}

QRect TThreadWindow::WindowRect() const
{
    {
        QMutexLocker locker(&m_lock);
        if (m_rect.isValid())
            return m_rect;
    }
    return DefaultWindowRect();
}

QRect TThreadWindow::GetBarRect(const QRect& Window) const
{
    const int right = RightOf(Window) - 8;
    const int bottom = BottomOf(Window) - 8;
    return FromEdges(Window.x() + 56, bottom - 8, right, bottom);
}

QColor TThreadWindow::ToQColor(quint32 ColorRef)
{
    if (ColorRef == NoFill)
        return QColor();
    return QColor(int(ColorRef & 0xFF), int((ColorRef >> 8) & 0xFF), int((ColorRef >> 16) & 0xFF));
}

quint32 TThreadWindow::FromQColor(const QColor& Color)
{
    if (!Color.isValid())
        return NoFill;
    return quint32(Color.red()) | (quint32(Color.green()) << 8) | (quint32(Color.blue()) << 16);
}

bool TThreadWindow::HasBar(int Position)
{
    return Position >= 0 && Position <= 1000;
}

int TThreadWindow::BarFillEnd(const QRect& Inner, int Position)
{
    if (!HasBar(Position))
        return Inner.x();
    return Inner.x() + (Inner.width() * Position + 500) / 1000;
}

// Records what the GUI thread has to do and gets it there: directly when we
// are on it, otherwise by one queued call that serves all changes made
// meanwhile (the loader may set the position thousands of times).
void TThreadWindow::Refresh(int What)
{
    const int before = m_pending.fetch_or(What);
    if (OnGuiThread(this))
        ApplyPending();
    else if (before == 0)
        QMetaObject::invokeMethod(
            this, [this] { ApplyPending(); }, Qt::QueuedConnection);
}

void TThreadWindow::ApplyPending()
{
    const int what = m_pending.exchange(0);
    if (what & Visibility)
        UpdateVisibility();
    if (!m_window || !m_shown)
        return;
    if (what & RepaintAll)
        m_window->update();
    else if (what & RepaintBar)
        m_window->update(GetBarRect(m_window->rect()));
}

void TThreadWindow::UpdateVisibility()
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
        HideWindow();
    if (!active) {
        m_delayTimer.stop();
        return;
    }
    if (m_shown)
        return;
    if (elapsed >= qint64(delay)) {
        m_delayTimer.stop();
        m_shownActivation = activation;
        ShowWindow();
    } else {
        m_delayTimer.start(int(std::min<qint64>(qint64(delay) - elapsed, INT_MAX)));
    }
}

void TThreadWindow::ShowWindow()
{
    if (!m_window)
        m_window = std::make_unique<TThreadWindowView>(*this);
    QRect rect;
    {
        QMutexLocker locker(&m_lock);
        if (!m_rect.isValid())
            m_rect = DefaultWindowRect();
        rect = m_rect;
    }
    m_window->setGeometry(rect);
    m_window->show();
    m_window->update();
    m_shown = true;
}

void TThreadWindow::HideWindow()
{
    if (m_window)
        m_window->hide();
    m_shown = false;
}

void TThreadWindow::Paint(QPainter& Painter, const QRect& Full) const
{
    QString text;
    int position;
    quint32 color;
    {
        QMutexLocker locker(&m_lock);
        text = m_text;
        position = m_position;
        color = m_color;
    }

    const QPalette palette = QApplication::palette();
    const QColor shadow = palette.color(QPalette::Active, QPalette::Dark);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor fill = ToQColor(color);

    const int iconTop = std::min((Full.height() - 32) / 2, 20);
    QRect textRect = FromEdges(Full.x() + 56, Full.y() + 8, RightOf(Full) - 8, BottomOf(Full) - 8);
    const bool bar = HasBar(position);
    const QRect barRect = GetBarRect(Full);

    // Background first, under the icon too: icons carry transparency, and
    // unpainted pixels there would show whatever the window held before.
    if (fill.isValid()) {
        QRegion background(Full.adjusted(2, 2, -2, -2));
        if (bar)
            background -= barRect;
        Painter.setClipRegion(background);
        Painter.fillRect(Full, fill);
        Painter.setClipping(false);
    }

    if (bar) {
        FrameRect(Painter, barRect, shadow);
        const QRect inner = barRect.adjusted(1, 1, -1, -1);
        const int fillEnd = BarFillEnd(inner, position);
        Painter.fillRect(FromEdges(inner.x(), inner.y(), fillEnd, BottomOf(inner)), highlight);
        if (fill.isValid())
            Painter.fillRect(FromEdges(fillEnd, inner.y(), RightOf(inner), BottomOf(inner)), fill);
        textRect.setHeight(barRect.y() - 2 - textRect.y());
    }

    QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    const QRect iconRect(Full.x() + 8, Full.y() + iconTop, 32, 32);
    Painter.drawPixmap(iconRect,
                       icon.pixmap(iconRect.size(), Painter.device()->devicePixelRatioF()));

    FrameRect(Painter, Full, shadow);
    FrameRect(Painter, Full.adjusted(1, 1, -1, -1), Qt::black);

    Painter.setFont(QApplication::font());
    Painter.setPen(palette.color(QPalette::Active, QPalette::ButtonText));
    Painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
}
