#pragma once
// The figures of a path run, without any window: per target the hops found along
// its path, and per hop what its echoes gave (Sent, Loss %, Last, Avg, Best, Worst,
// StDev, jitter, p95) with a strip of loss and latency per minute. Memory does not
// grow with the number of echoes: latencies go into a histogram, and the strip keeps
// a bounded number of slots, two neighbours merging into one when it is full (each
// slot then covers twice the minutes), so a run of days stays readable.
//
// The verdict names the hop where loss begins and persists to the target. A hop that
// never answers while a later one does is a router that does not send time-exceeded
// (or limits it): it is "no answer (rate-limited?)" and never the origin. A route
// change (a hop answering from an address it had not before) starts that hop's
// figures afresh and leaves a marker.
//
// PathRun feeds it from the prober; the run log replays the same calls on reload.

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace netvane {

// Latency in microseconds; a lost echo is -1.
inline constexpr qint32 PathLost = -1;

// One slot of a hop's strip: the echoes of `minutes` whole minutes from `firstMinute`
// (minutes since the epoch, UTC).
struct PathMinute {
    qint64 firstMinute = 0;
    int minutes = 1;
    qint32 sent = 0;
    qint32 lost = 0;
    double sumMs = 0; // of the answered echoes

    double lossPercent() const { return sent ? 100.0 * lost / sent : 0; }
    double averageMs() const { return sent > lost ? sumMs / (sent - lost) : 0; }
};

class PathHopStats final
{
public:
    static constexpr int MaxStripSlots = 1440; // a day at one slot a minute

    // One echo sent at `whenMs` (ms since the epoch): its latency, or PathLost.
    void add(qint32 latencyUs, qint64 whenMs);
    void clear() { *this = PathHopStats(); }

    qint64 sent() const { return m_sent; }
    qint64 received() const { return m_received; }
    qint64 lost() const { return m_sent - m_received; }
    double lossPercent() const { return m_sent ? 100.0 * double(lost()) / double(m_sent) : 0; }
    // In milliseconds; 0 before the first answer. last() is of the last answered echo.
    double lastMs() const { return m_lastUs / 1000.0; }
    double averageMs() const;
    double bestMs() const { return m_received ? m_bestUs / 1000.0 : 0; }
    double worstMs() const { return m_worstUs / 1000.0; }
    double stdDevMs() const;
    // The mean difference between the latencies of answers in a row.
    double jitterMs() const;
    // The 95th percentile, to the histogram's step (0.1 ms below 100 ms, 10 ms above).
    double p95Ms() const;
    bool lastLost() const { return m_lastLost; }
    const std::vector<PathMinute> &strip() const { return m_strip; }

private:
    static int bucketOf(qint32 us);
    static double bucketTopMs(int bucket);

    qint64 m_sent = 0, m_received = 0;
    qint32 m_lastUs = 0, m_bestUs = 0, m_worstUs = 0;
    bool m_lastLost = false;
    double m_sumUs = 0, m_sumSquaresUs = 0;
    double m_jitterSumUs = 0;
    qint64 m_jitterCount = 0;
    qint32 m_previousUs = -1; // the answer before, for the jitter
    std::array<qint32, 2001> m_histogram{}; // 1000 x 0.1 ms, 1000 x 10 ms, the rest
    std::vector<PathMinute> m_strip;
};

struct PathHop {
    int hop = 0;                 // 1 for the first router
    QStringList addresses;       // the routers that answered for it; empty: none did
    QString name;                // looked up in the background; empty until then
    PathHopStats stats;
    bool isTarget = false;
};

struct PathRouteChange {
    qint64 whenMs = 0;
    int hop = 0;
    QString before, after; // addresses ("*" for none)
};

// One target's path and its figures.
class PathTrace final
{
public:
    static constexpr int MaxRouteChanges = 100; // the oldest go first

    QString label;   // as listed
    QString address; // the target's address

    // The hops of a discovery, hop 1 first, the target last (its own address, or
    // empty when it did not answer). On a later discovery a hop whose addresses
    // changed starts afresh and leaves a marker; the others keep their figures.
    void setPath(const QList<QStringList> &hopAddresses, qint64 whenMs);
    // One round: a latency or PathLost per hop, in the order of hops().
    void addRound(const QList<qint32> &latenciesUs, qint64 whenMs);

    const QList<PathHop> &hops() const { return m_hops; }
    QList<PathHop> &hops() { return m_hops; }
    const QList<PathRouteChange> &routeChanges() const { return m_changes; }
    qint64 rounds() const { return m_rounds; }
    bool discovered() const { return !m_hops.isEmpty(); }

    // A hop that never answered while a later one did.
    bool isSilent(int index) const;
    // The index in hops() of the hop where loss begins and persists to the target, or
    // -1 when the target has no loss (or nothing was sent).
    int lossOrigin() const;
    // "Loss starts at hop 4 (10.0.3.1): 12.0 % from there to the target", "No loss on
    // the path", or "Finding the hops ..." before the first discovery.
    QString verdict() const;

private:
    QList<PathHop> m_hops;
    QList<PathRouteChange> m_changes;
    qint64 m_rounds = 0;
};

// The texts of a hop's row: Hop, Address, Name, Loss %, Sent, Last, Avg, Best, Worst,
// StDev, Jitter, p95. A silent hop's Address says "no answer (rate-limited?)".
QStringList PathRowTexts(const PathTrace &trace, int index);
QStringList PathColumnTitles();

} // namespace netvane
