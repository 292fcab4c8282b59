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
class ProgressWindowView;

class ProgressWindowError : public std::runtime_error
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
class ProgressWindow : public QObject
{
    Q_OBJECT

public:
    static constexpr int WindowWidth = 300;
    static constexpr int WindowHeight = 58;

    // Throws ProgressWindowError when there is no QApplication to own a window.
    explicit ProgressWindow(const QString& text = QString());
    ~ProgressWindow() override;

    void setText(const QString& text);
    // Progress in thousandths; anything outside 0..1000 hides the bar.
    void setPosition(int thousandths);
    void setDelay(unsigned milliseconds);
    void setActive(bool value);
    // The background; an invalid colour leaves it unpainted.
    void setColor(const QColor& value);

    QString getText() const;
    int position() const;
    unsigned delay() const;
    bool active() const;
    QColor color() const;
    bool isShown() const;
    QRect windowRect() const;

    // The progress bar's rectangle inside a window of the given rectangle.
    virtual QRect getBarRect(const QRect& window) const;

    // Whether a position shows the bar at all.
    static bool hasBar(int position);
    // Exclusive right end of the highlighted part of the bar's inner rectangle
    // (its left edge, i.e. nothing, for positions without a bar).
    static int barFillEnd(const QRect& inner, int position);

private:
    friend class ProgressWindowView;

    enum Change : int { Visibility = 1, RepaintBar = 2, RepaintAll = 4 };

    void refresh(int what);
    void applyPending();
    void updateVisibility();
    void showWindow();
    void hideWindow();
    void paint(QPainter& painter, const QRect& full) const;

    mutable QMutex m_lock;
    QString m_text;
    int m_position = -1;
    unsigned m_delay = 1000;
    bool m_active = false;
    QColor m_color;
    QElapsedTimer m_startTick;
    quint64 m_activation =
        0; // bumped whenever Active is set, so a re-activation restarts the delay
    QRect m_rect;

    std::atomic<int> m_pending{0}; // Change bits waiting for the GUI thread
    std::atomic<bool> m_shown{false};
    quint64 m_shownActivation = 0; // GUI thread only
    QTimer m_delayTimer;
    std::unique_ptr<ProgressWindowView> m_window;
};
