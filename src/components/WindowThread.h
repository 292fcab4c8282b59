#pragma once

// The please-wait window shown while the catalogue loads. The window itself
// lives on the GUI thread (as every Qt window must); the loader thread drives
// it through the setters, which are safe to call from any thread.

#include <QColor>
#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <stdexcept>

class QPainter;
class TThreadWindowView;

class EThreadWindow : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;

    // The historical messages of this component. The Qt window needs no
    // cross-thread wait, so only Failed can actually occur (no QApplication).
    static constexpr const char* TimeOut = "Time is out";
    static constexpr const char* Destroyed = "Object is already destroied";
    static constexpr const char* Failed = "Error was occured";
};

// Create and destroy it on the GUI thread; every setter and getter may be
// called from any thread, as long as the caller has stopped before the
// object is destroyed.
class TThreadWindow : public QObject
{
    Q_OBJECT

public:
    // COLORREF value (red in the lowest byte) meaning "leave the background unpainted".
    static constexpr quint32 NoFill = 0x1FFFFFFF;
    static constexpr int WindowWidth = 300;
    static constexpr int WindowHeight = 58;

    // Throws EThreadWindow when there is no QApplication to own a window.
    explicit TThreadWindow(const QString& Text = QString());
    ~TThreadWindow() override;

    void SetText(const QString& Text);
    // Progress in thousandths; anything outside 0..1000 hides the bar.
    void SetPosition(int Thousandths);
    void SetDelay(unsigned Milliseconds);
    void SetActive(bool Value);
    // COLORREF-packed colour, or NoFill.
    void SetColor(quint32 Value);

    QString GetText() const;
    int Position() const;
    unsigned Delay() const;
    bool Active() const;
    quint32 Color() const;
    bool IsShown() const;
    QRect WindowRect() const;

    // The progress bar's rectangle inside a window of the given rectangle.
    virtual QRect GetBarRect(const QRect& Window) const;

    // COLORREF <-> QColor; NoFill converts to an invalid QColor.
    static QColor ToQColor(quint32 ColorRef);
    static quint32 FromQColor(const QColor& Color);
    // Whether a position shows the bar at all.
    static bool HasBar(int Position);
    // Exclusive right end of the highlighted part of the bar's inner rectangle
    // (its left edge, i.e. nothing, for positions without a bar).
    static int BarFillEnd(const QRect& Inner, int Position);

private:
    friend class TThreadWindowView;

    enum Change : int { Visibility = 1, RepaintBar = 2, RepaintAll = 4 };

    void Refresh(int What);
    void ApplyPending();
    void UpdateVisibility();
    void ShowWindow();
    void HideWindow();
    void Paint(QPainter& Painter, const QRect& Full) const;

    mutable QMutex m_lock;
    QString m_text;
    int m_position = -1;
    unsigned m_delay = 1000;
    bool m_active = false;
    quint32 m_color = NoFill;
    QElapsedTimer m_startTick;
    quint64 m_activation =
        0; // bumped whenever Active is set, so a re-activation restarts the delay
    QRect m_rect;

    std::atomic<int> m_pending{0}; // Change bits waiting for the GUI thread
    std::atomic<bool> m_shown{false};
    quint64 m_shownActivation = 0; // GUI thread only
    QTimer m_delayTimer;
    std::unique_ptr<TThreadWindowView> m_window;
};
