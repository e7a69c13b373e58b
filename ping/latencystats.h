#pragma once
// Figures a single average hides, per target of a ping test: jitter, percentiles of
// the round-trip time and the longest run of consecutive losses. Fed one echo at a
// time in test order (a whole pass over the log, or the echoes of a shown range), so
// a test of any length costs bounded memory: the percentiles come from a count per
// whole millisecond, which the result file's times are, and so are exact.
// The latency graph's legend and the JSON export read them.

#include "ping/replyrecord.h"

#include <QList>
#include <QString>

#include <map>
#include <vector>

namespace netvane {

// Seconds since 1970-01-01 00:00:00 of the record's civil date and time, without a
// time zone: the graph's time axis, computed without building a date per echo.
qint64 EchoSeconds(const PingReplyRecord &r);

// Which target (0-based) of a test with `targetCount` targets and `repeat` echoes per
// target in a row sent log row `row`.
qsizetype TargetOfRow(qsizetype row, qsizetype targetCount, int repeat);

class LatencyStatistics final
{
public:
    void add(const PingReplyRecord &r);

    qint64 sent() const { return m_sent; }
    qint64 lost() const { return m_sent - m_answered; }
    qint64 answered() const { return m_answered; }
    // -1 when no echo was answered.
    qint32 minimum() const { return m_answered ? m_min : -1; }
    qint32 maximum() const { return m_answered ? m_max : -1; }
    // Mean of the answered times; -1 when none was answered.
    double average() const { return m_answered ? double(m_sum) / double(m_answered) : -1.0; }
    // Mean absolute difference of consecutive answered times (losses between them
    // are skipped); 0 with fewer than two answers.
    double jitter() const;
    // The nearest-rank percentile: the smallest answered time that at least p percent
    // of the answered times do not exceed. -1 when none was answered.
    qint32 percentile(double p) const;
    // The longest run of consecutive losses and when it began; the first of equal runs.
    qint64 longestLossRun() const { return m_longestRun; }
    const PingReplyRecord &longestLossStart() const { return m_longestStart; }

private:
    // Times up to this many ms are counted in a table; longer ones (a time-out is at
    // most a minute) in a map, so a stray huge value cannot claim memory.
    static constexpr qint32 TableLimit = 1 << 17;

    qint64 m_sent = 0;
    qint64 m_answered = 0;
    qint64 m_sum = 0;
    qint32 m_min = 0;
    qint32 m_max = 0;
    qint32 m_previous = -1;
    qint64 m_jitterSum = 0;
    qint64 m_jitterCount = 0;
    qint64 m_run = 0;
    PingReplyRecord m_runStart;
    qint64 m_longestRun = 0;
    PingReplyRecord m_longestStart;
    std::vector<qint64> m_counts;
    std::map<qint32, qint64> m_large;
};

// The statistics of every target of a test over log rows first .. first + count - 1,
// read in one pass. False with the reason when the log's echoes cannot be read.
bool ComputeLatencyStatistics(const PingReplyLog &log, qsizetype targetCount, int repeat,
                              qsizetype first, qsizetype count, QList<LatencyStatistics> &out,
                              QString *error = nullptr);

// "12 ms", "<1 ms" for 0, "-" for none (-1).
QString MillisecondsText(qint32 ms);

} // namespace netvane
