#pragma once
// The min/max summary the latency graph draws from: per target, a fixed number of
// time buckets over the test, each holding the smallest and largest round-trip time,
// the answered and the lost count of its echoes. Echoes are added one at a time in
// test order (a pass over the log, or live as they come); when the test outgrows the
// buckets, neighbours are merged and each bucket covers twice the time, so memory
// stays bounded for a test of any length. A drawing merges the buckets that fall
// into each pixel column. Each bucket also keeps the log row of its first echo, so
// the echoes of a time range can be read back from the result file by position.

#include "ping/replyrecord.h"

#include <climits>
#include <vector>

namespace netvane {

struct LatencyBucket {
    qint32 min = INT_MAX;
    qint32 max = -1;
    quint32 answered = 0;
    quint32 lost = 0;

    void merge(const LatencyBucket &b)
    {
        min = qMin(min, b.min);
        max = qMax(max, b.max);
        answered += b.answered;
        lost += b.lost;
    }
};

class LatencySummary final
{
public:
    explicit LatencySummary(qsizetype bucketCount = 16384) : m_capacity(qMax<qsizetype>(bucketCount, 2)) {}

    void clear(qsizetype targetCount);
    // Echo `row` of target `target` (0-based) at `seconds` (EchoSeconds). An echo
    // stamped before the first (the clock was set back) counts in the first bucket.
    void add(qsizetype row, qsizetype target, qint64 seconds, const PingReplyRecord &r);

    bool isEmpty() const { return m_rows == 0; }
    qsizetype rows() const { return m_rows; }
    qsizetype targetCount() const { return qsizetype(m_buckets.size()); }
    qint64 firstSecond() const { return m_origin; }
    // One past the last second holding an echo.
    qint64 endSecond() const { return m_rows ? m_lastSecond + 1 : m_origin; }
    qint64 bucketSeconds() const { return m_width; }

    // What target `target` did from second `from` up to (not including) `to`, from
    // the buckets that overlap it.
    LatencyBucket range(qsizetype target, double from, double to) const;
    // The first log row of the buckets overlapping [from, to), and one past the last;
    // the echoes of the range are among them.
    std::pair<qsizetype, qsizetype> rowsOf(double from, double to) const;

private:
    void halve();

    qsizetype m_capacity;
    qint64 m_origin = 0;
    qint64 m_width = 1;    // seconds a bucket covers, a power of two
    qsizetype m_last = -1; // the last bucket in use
    qint64 m_lastSecond = 0;
    qsizetype m_rows = 0;
    std::vector<std::vector<LatencyBucket>> m_buckets; // [target][bucket]
    std::vector<qsizetype> m_firstRow;                 // [bucket]; -1 while empty
};

} // namespace netvane
