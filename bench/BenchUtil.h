#pragma once
// Timing helpers shared by the benchmark programs.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <random>
#include <vector>

#include <QString>

namespace BenchUtil
{

using Clock = std::chrono::steady_clock;

template <class F> double timeMs(F&& f)
{
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Words for generated names: common ones, then six with letters outside ASCII.
inline constexpr const char* Words[] = {
    "annual",   "report",    "invoice",   "letter",    "notes",  "draft",   "final",  "budget",
    "meeting",  "minutes",   "project",   "summary",   "travel", "photos",  "recipe", "manual",
    "contract", "tax",       "insurance", "garden",    "house",  "car",     "school", "thesis",
    "chapter",  "slides",    "review",    "plan",      "backup", "archive", "family", "holiday",
    "scan",     "receipt",   "bank",      "statement", "health", "music",   "score",  "lecture",
    "paper",    "code",      "sources",   "design",    "sketch", "map",     "ideas",  "journal",
    "list",     "Übersicht", "résumé",    "Café",      "Straße", "naïve",   "Zürich", "Ångström"};
inline constexpr int WordCount = int(std::size(Words));
inline constexpr int AsciiWordCount = WordCount - 6;

// Words of the list, joined, until the text is between Min and Max long
// (the last word may pass Max).
inline QString randomWords(std::mt19937& rng, int min, int max, char16_t joint = u' ')
{
    std::uniform_int_distribution<int> len(min, max), word(0, WordCount - 1);
    const int target = len(rng);
    QString s;
    while (s.size() < target) {
        if (!s.isEmpty())
            s += joint;
        s += QString::fromUtf8(Words[word(rng)]);
    }
    return s;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace BenchUtil

#include <QElapsedTimer>
#include <QTimer>

namespace BenchUtil
{

// A 1 ms timer that records the longest gap between its ticks while it
// runs: how long the event loop was kept from its other work.
class GapRecorder
{
public:
    GapRecorder()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest = 0;
        m_last = 0; // a stall right after the start counts too
        m_clock.start();
        m_ticker.start(1);
    }
    // Stops and counts the time since the last tick too.
    double stop()
    {
        tick();
        m_ticker.stop();
        return m_longest;
    }
    double longest() const { return m_longest; }

private:
    void tick()
    {
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        if (m_last >= 0)
            m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_ticker;
    QElapsedTimer m_clock;
    double m_last = -1, m_longest = 0;
};

} // namespace BenchUtil
