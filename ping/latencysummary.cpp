#include "ping/latencysummary.h"

#include <cmath>

namespace netvane {

void LatencySummary::clear(qsizetype targetCount)
{
    m_origin = 0;
    m_width = 1;
    m_last = -1;
    m_lastSecond = 0;
    m_rows = 0;
    m_buckets.assign(size_t(qMax<qsizetype>(targetCount, 1)), {});
    m_firstRow.clear();
}

void LatencySummary::halve()
{
    // Pairs of buckets become one: the summary now covers twice the time.
    const auto merged = [](auto &v, auto combine) {
        const size_t n = (v.size() + 1) / 2;
        for (size_t i = 0; i < n; ++i) {
            auto b = v[2 * i];
            if (2 * i + 1 < v.size())
                combine(b, v[2 * i + 1]);
            v[i] = b;
        }
        v.resize(n);
    };
    for (auto &target : m_buckets)
        merged(target, [](LatencyBucket &a, const LatencyBucket &b) { a.merge(b); });
    merged(m_firstRow, [](qsizetype &a, qsizetype b) {
        if (a < 0)
            a = b;
    });
    m_width *= 2;
    m_last /= 2;
}

void LatencySummary::add(qsizetype row, qsizetype target, qint64 seconds, const PingReplyRecord &r)
{
    if (m_rows++ == 0) {
        m_origin = seconds;
        m_lastSecond = seconds;
    }
    m_lastSecond = qMax(m_lastSecond, seconds);
    const qint64 offset = qMax<qint64>(0, seconds - m_origin);
    while (offset / m_width >= m_capacity)
        halve();
    const auto b = qsizetype(offset / m_width);
    if (b > m_last)
        m_last = b;
    if (qsizetype(m_firstRow.size()) <= b)
        m_firstRow.resize(size_t(b) + 1, -1);
    if (m_firstRow[size_t(b)] < 0)
        m_firstRow[size_t(b)] = row;
    if (target < 0 || target >= targetCount())
        return;
    auto &buckets = m_buckets[size_t(target)];
    if (qsizetype(buckets.size()) <= b)
        buckets.resize(size_t(b) + 1);
    LatencyBucket &bucket = buckets[size_t(b)];
    if (r.answered()) {
        bucket.min = qMin(bucket.min, r.time);
        bucket.max = qMax(bucket.max, r.time);
        ++bucket.answered;
    } else {
        ++bucket.lost;
    }
}

LatencyBucket LatencySummary::range(qsizetype target, double from, double to) const
{
    LatencyBucket out;
    if (target < 0 || target >= targetCount() || m_rows == 0)
        return out;
    const auto &buckets = m_buckets[size_t(target)];
    const auto first = qsizetype(std::floor((from - double(m_origin)) / double(m_width)));
    const auto end = qsizetype(std::ceil((to - double(m_origin)) / double(m_width)));
    for (qsizetype b = qMax<qsizetype>(first, 0); b < qMin(end, qsizetype(buckets.size())); ++b)
        out.merge(buckets[size_t(b)]);
    return out;
}

std::pair<qsizetype, qsizetype> LatencySummary::rowsOf(double from, double to) const
{
    if (m_rows == 0)
        return {0, 0};
    const auto count = qsizetype(m_firstRow.size());
    const qsizetype first = qBound<qsizetype>(
        0, qsizetype(std::floor((from - double(m_origin)) / double(m_width))), count);
    const qsizetype end = qBound<qsizetype>(
        first, qsizetype(std::ceil((to - double(m_origin)) / double(m_width))), count);
    qsizetype begin = m_rows;
    for (qsizetype b = first; b < count; ++b)
        if (m_firstRow[size_t(b)] >= 0) {
            begin = m_firstRow[size_t(b)];
            break;
        }
    qsizetype stop = m_rows;
    for (qsizetype b = end; b < count; ++b)
        if (m_firstRow[size_t(b)] >= 0) {
            stop = m_firstRow[size_t(b)];
            break;
        }
    return {qMin(begin, stop), stop};
}

} // namespace netvane
