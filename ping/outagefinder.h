#pragma once
// The outages of a ping test, per target: an outage begins at the N-th lost echo in a
// row to one target (it starts at the time of the first of them) and ends at the next
// echo that target answers. Fed every echo in log order: by the run loop as each is
// recorded (PingTest), and by the reload in the same pass that builds the statistics,
// which hands over runs of lost echoes found while the blocks are read. What it keeps
// grows with the outages and the targets that lost an echo, never with the echoes.
//
// Times are in the seconds of EchoSeconds: the clock time of the result file counted
// as if it were UTC.

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace netvane {

inline constexpr int DefaultOutageAfter = 3;
inline constexpr int MinOutageAfter = 1;
inline constexpr int MaxOutageAfter = 1000;

struct Outage {
    qint64 start = 0;    // the time of its first lost echo
    qint64 end = -1;     // the time of the answer that ended it; -1 while it goes on
    qint64 firstRow = 0; // the log row of its first lost echo
    qint32 lost = 0;     // echoes lost in it (so far, while it goes on)
    quint32 target = 0;  // OutageFinder::target(target) is its address
    bool ongoing() const { return end < 0; }
};
static_assert(sizeof(Outage) <= 32, "a long test may hold many outages");

struct OutageTotals {
    qsizetype count = 0;
    qint64 downtime = 0; // seconds, an outage that goes on counted up to the last echo
    qint64 longest = 0;
    double availability = 100; // percent of the test's span without an outage
};

class OutageFinder final
{
public:
    OutageFinder() { reset(DefaultOutageAfter); }
    explicit OutageFinder(int lostEchoes) { reset(lostEchoes); }

    // Forgets everything; outages begin at `lostEchoes` lost echoes in a row from now on.
    void reset(int lostEchoes);
    int lostEchoes() const { return m_after; }

    // Told when an outage begins (at its N-th lost echo) and when it ends.
    std::function<void(const Outage &)> began;
    std::function<void(const Outage &)> ended;

    // One echo of the log, in log order: row, address, whether it was answered, its time.
    void echo(qint64 row, const QString &address, bool answered, qint64 time);

    // The reload's steps. The index of a target, added when new; -1 when it is not
    // known (it never lost an echo, so an answer changes nothing).
    quint32 targetIndex(const QString &address);
    qint64 findTarget(const QString &address) const;
    // `count` lost echoes in a row of one target, the first at `time` and `row`.
    void lost(quint32 target, qint64 row, qint64 time, qint64 count);
    void answered(quint32 target, qint64 time);
    // The first and the last echo of the test (any target): the span availability is
    // counted over, and where an outage that goes on is counted up to.
    void seen(qint64 time);
    void setSpan(qint64 first, qint64 last);

    // In the order their first lost echoes came.
    std::vector<Outage> outages() const;
    qsizetype count() const { return qsizetype(m_outages.size()); }
    // The same, in the order they began (no copy).
    const std::vector<Outage> &begun() const { return m_outages; }
    const QString &target(quint32 index) const { return m_targets.at(index); }
    // The addresses that lost an echo, in the order they first did.
    const QStringList &targets() const { return m_targets; }
    qint64 duration(const Outage &o) const;
    OutageTotals totals(quint32 target) const;
    OutageTotals totals(const QString &address) const;
    qint64 firstTime() const { return m_first; }
    qint64 lastTime() const { return m_last; }
    // Memory held, in bytes.
    qsizetype memoryBytes() const;

private:
    struct Run {
        qint64 start = 0;
        qint64 firstRow = 0;
        qint32 count = 0;     // lost in a row so far (at most INT_MAX); 0: the last was answered
        qint32 outage = -1;   // its outage once it has become one
    };

    int m_after = DefaultOutageAfter;
    std::vector<Outage> m_outages; // in the order they began
    std::vector<Run> m_runs;       // by target
    QStringList m_targets;
    QHash<QString, quint32> m_index;
    qint64 m_first = -1, m_last = -1;
};

// "14:02:13"
QString OutageClockText(qint64 time);
// "2026-12-09 14:02:13" (the JSON export: "2026-12-09T14:02:13").
QString OutageStampText(qint64 time, QChar between = u' ');
// "41 s", "2 min 41 s", "3 h 2 min 41 s"
QString OutageDurationText(qint64 seconds);
// The columns of an outage in the outage list: start, end (or "ongoing"), duration,
// echoes lost.
QStringList OutageRowTexts(const OutageFinder &finder, const Outage &outage);
// "2 outages, down 3 min 5 s, longest 2 min 41 s, available 99.12 %"
QString OutageTotalsText(const OutageTotals &totals);

} // namespace netvane
