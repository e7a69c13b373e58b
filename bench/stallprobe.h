#pragma once
// The longest the window's event loop went without turning, measured in the bench's
// own process: a precise 1 ms timer fires whenever the loop turns, and the longest
// gap between two firings while the probe is armed is the longest stall a user would
// have felt (no repaint, no answer to Stop), to within a millisecond. A zero timer
// would see every turn, but it keeps the loop spinning and takes a core from the
// work being measured. Every bench that runs the window prints it as a row of its own.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace netvane::bench {

class StallProbe final : public QObject
{
public:
    explicit StallProbe(QObject *parent = nullptr) : QObject(parent)
    {
        m_turn.setTimerType(Qt::PreciseTimer);
        m_turn.setInterval(1);
        QObject::connect(&m_turn, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_armed && m_lastTurn >= 0 && now - m_lastTurn > m_longest) {
                m_longest = now - m_lastTurn;
                m_longestEnd = now - m_armedAt;
            }
            m_lastTurn = now;
        });
        m_clock.start();
        m_turn.start();
    }

    // Gaps count from now on (a bench arms it when the work it measures begins).
    void arm()
    {
        m_armed = true;
        m_lastTurn = m_armedAt = m_clock.nsecsElapsed();
    }
    void disarm() { m_armed = false; }
    void reset() { m_longest = 0; }
    double longestMs() const { return double(m_longest) / 1e6; }
    // When the longest stall ended, in seconds from arm(): to tell what it was.
    double longestEndSeconds() const { return double(m_longestEnd) / 1e9; }

private:
    QTimer m_turn;
    QElapsedTimer m_clock;
    qint64 m_lastTurn = -1;
    qint64 m_longest = 0;
    qint64 m_longestEnd = 0;
    qint64 m_armedAt = 0;
    bool m_armed = false;
};

} // namespace netvane::bench
