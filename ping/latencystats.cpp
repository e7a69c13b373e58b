#include "ping/latencystats.h"

#include "ping/resultreload.h"

#include <cmath>
#include <cstdlib>

namespace netvane {

qint64 EchoSeconds(const PingReplyRecord &r)
{
    // Days from the civil date (proleptic Gregorian), by eras of 400 years.
    const qint64 y = qint64(r.year) - (r.month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 m = r.month;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + r.day - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const qint64 days = era * 146097 + doe - 719468;
    return days * 86400 + r.hour * 3600 + r.minute * 60 + r.second;
}

qsizetype TargetOfRow(qsizetype row, qsizetype targetCount, int repeat)
{
    if (targetCount < 1 || repeat < 1)
        return 0;
    return (row % (targetCount * repeat)) / repeat;
}

void LatencyStatistics::add(const PingReplyRecord &r)
{
    ++m_sent;
    if (!r.answered()) {
        if (m_run++ == 0)
            m_runStart = r;
        if (m_run > m_longestRun) {
            m_longestRun = m_run;
            m_longestStart = m_runStart;
        }
        return;
    }
    m_run = 0;
    const qint32 t = r.time;
    if (m_answered == 0 || t < m_min)
        m_min = t;
    if (m_answered == 0 || t > m_max)
        m_max = t;
    ++m_answered;
    m_sum += t;
    if (m_previous >= 0) {
        m_jitterSum += std::abs(qint64(t) - m_previous);
        ++m_jitterCount;
    }
    m_previous = t;
    if (t < TableLimit) {
        if (size_t(t) >= m_counts.size())
            m_counts.resize(size_t(t) + 1);
        ++m_counts[size_t(t)];
    } else {
        ++m_large[t];
    }
}

double LatencyStatistics::jitter() const
{
    return m_jitterCount ? double(m_jitterSum) / double(m_jitterCount) : 0.0;
}

qint32 LatencyStatistics::percentile(double p) const
{
    if (m_answered == 0)
        return -1;
    // The rank of the wanted time among the sorted answers, 1-based, at least 1.
    const qint64 rank = qMax<qint64>(1, qint64(std::ceil(p / 100.0 * double(m_answered) - 1e-9)));
    qint64 seen = 0;
    for (size_t t = 0; t < m_counts.size(); ++t) {
        seen += m_counts[t];
        if (seen >= rank)
            return qint32(t);
    }
    for (const auto &[t, n] : m_large) {
        seen += n;
        if (seen >= rank)
            return t;
    }
    return m_max;
}

bool ComputeLatencyStatistics(const PingReplyLog &log, qsizetype targetCount, int repeat,
                              qsizetype first, qsizetype count, QList<LatencyStatistics> &out,
                              QString *error)
{
    out = QList<LatencyStatistics>(qMax<qsizetype>(targetCount, 0));
    if (targetCount < 1)
        return true;
    EchoCursor cursor(log, true);
    cursor.seek(first);
    PingReplyRecord r;
    const qsizetype end = qMin(log.size(), first + count);
    // The target of each row, counted along instead of divided out per row.
    const qsizetype step = qMax(repeat, 1);
    qsizetype target = TargetOfRow(first, targetCount, repeat);
    qsizetype inTurn = first % step;
    for (qsizetype row = first; row < end && cursor.next(r); ++row) {
        out[target].add(r);
        if (++inTurn == step) {
            inTurn = 0;
            if (++target == targetCount)
                target = 0;
        }
    }
    if (cursor.failed() && error)
        *error = cursor.errorString();
    return !cursor.failed();
}

QString MillisecondsText(qint32 ms)
{
    if (ms < 0)
        return u"-"_qs;
    return ms == 0 ? u"<1 ms"_qs : QString::number(ms) + u" ms"_qs;
}

} // namespace netvane
