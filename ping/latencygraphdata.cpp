#include "ping/latencygraphdata.h"

#include "ping/resultreload.h"
#include "platform/events.h"

#include <algorithm>
#include <cmath>

namespace netvane {

namespace {

bool sameEcho(const PingReplyRecord &a, const PingReplyRecord &b)
{
    return EchoSeconds(a) == EchoSeconds(b) && a.time == b.time && a.status == b.status
        && a.size == b.size && a.ttl == b.ttl;
}

// Buckets per target: fewer when a test has many targets (a scanned range), so that
// the summary stays near a million buckets (16 MB) however many there are.
qsizetype bucketsPerTarget(qsizetype targets)
{
    return std::clamp<qsizetype>((qsizetype(1) << 20) / qMax<qsizetype>(targets, 1), 512, 16384);
}

} // namespace

void LatencyGraphData::attach(const PingReplyLog *log, const QStringList &targets, int repeat)
{
    m_log = log;
    m_targets = targets;
    m_repeat = qMax(repeat, 1);
    reset();
}

void LatencyGraphData::reset()
{
    m_whole = LatencySummary(bucketsPerTarget(m_targets.size()));
    m_whole.clear(m_targets.size());
    m_detail = LatencySummary(bucketsPerTarget(m_targets.size()));
    m_wholeFigures = QList<LatencyStatistics>(m_targets.size());
    m_hasDetail = false;
    m_hasRangeFigures = false;
    m_rangeFigures.clear();
}

void LatencyGraphData::addEcho(qsizetype row, const PingReplyRecord &r)
{
    const qsizetype k = TargetOfRow(row, m_targets.size(), m_repeat);
    const qint64 s = EchoSeconds(r);
    m_whole.add(row, k, s, r);
    if (k < m_wholeFigures.size())
        m_wholeFigures[k].add(r);
    // A zoomed range follows the test too.
    if (m_hasRangeFigures && double(s) >= m_rangeFrom && double(s) < m_rangeTo) {
        if (m_finer) {
            m_detail.add(row, k, s, r);
            m_hasDetail = true;
        }
        if (k < m_rangeFigures.size())
            m_rangeFigures[k].add(r);
    }
}

bool LatencyGraphData::catchUp(QString *error)
{
    if (!m_log || m_passing)
        return true;
    const qsizetype size = m_log->size();
    qsizetype done = m_whole.rows();
    // A cleared log, or another test's (a new start, a reload): read it from the start.
    if (size < done || (done > 0 && !sameEcho(m_log->at(0), m_first))) {
        reset();
        done = 0;
    }
    if (size == done)
        return true;
    if (done == 0)
        m_first = m_log->at(0);
    if (size == done + 1) {
        // Live, echo by echo: the newest record is kept in memory.
        addEcho(done, m_log->last());
        return true;
    }
    if (done == 0 && size > BesideWindowRows)
        return firstPassBesideWindow(error);
    EchoCursor cursor(*m_log, true);
    cursor.seek(done);
    PingReplyRecord r;
    for (qsizetype row = done; row < size && cursor.next(r); ++row)
        addEcho(row, r);
    if (cursor.failed() && error)
        *error = cursor.errorString();
    return !cursor.failed();
}

bool LatencyGraphData::firstPassBesideWindow(QString *error)
{
    // The whole test is read beside the window from a copy of the log that holds its
    // file open, into a summary and figures of the pass's own that then take the place
    // of the empty ones: the window draws and answers meanwhile, and a catch-up asked
    // for meanwhile waits for the next echo.
    PingReplyLog snapshot = *m_log;
    QString why;
    if (!snapshot.pinFile(&why)) {
        if (error)
            *error = why;
        return false;
    }
    LatencySummary whole(bucketsPerTarget(m_targets.size()));
    whole.clear(m_targets.size());
    QList<LatencyStatistics> figures(m_targets.size());
    const qsizetype targets = m_targets.size();
    const int repeat = m_repeat;
    bool read = true;
    m_passing = true;
    RunBesideWindow([&] {
        EchoCursor cursor(snapshot, true);
        PingReplyRecord r;
        for (qsizetype row = 0; row < snapshot.size() && cursor.next(r); ++row) {
            const qsizetype k = TargetOfRow(row, targets, repeat);
            whole.add(row, k, EchoSeconds(r), r);
            if (k < figures.size())
                figures[k].add(r);
        }
        read = !cursor.failed();
        why = cursor.errorString();
    });
    m_passing = false;
    if (!read) {
        if (error)
            *error = why;
        return false;
    }
    m_whole = std::move(whole);
    m_wholeFigures = std::move(figures);
    return true;
}

void LatencyGraphData::setRange(double from, double to, int columns)
{
    m_hasDetail = false;
    m_hasRangeFigures = false;
    m_rangeFigures.clear();
    if (!m_log || m_whole.isEmpty())
        return;
    const bool wholeTest = from <= double(m_whole.firstSecond()) && to >= double(m_whole.endSecond());
    if (wholeTest)
        return;
    const auto [first, end] = m_whole.rowsOf(from, to);
    if (end - first > DetailRowLimit)
        return;
    const bool finer = double(m_whole.bucketSeconds()) > (to - from) / qMax(columns, 1);
    if (finer)
        m_detail.clear(m_targets.size());
    m_finer = finer;
    m_rangeFrom = std::floor(from);
    m_rangeTo = to;
    m_rangeFigures = QList<LatencyStatistics>(m_targets.size());
    EchoCursor cursor(*m_log, true);
    cursor.seek(first);
    PingReplyRecord r;
    for (qsizetype row = first; row < end && cursor.next(r); ++row) {
        const qint64 s = EchoSeconds(r);
        if (double(s) < std::floor(from) || double(s) >= to)
            continue;
        const qsizetype k = TargetOfRow(row, m_targets.size(), m_repeat);
        if (finer)
            m_detail.add(row, k, s, r);
        if (k < m_rangeFigures.size())
            m_rangeFigures[k].add(r);
    }
    if (cursor.failed())
        return;
    m_hasDetail = finer && !m_detail.isEmpty();
    m_hasRangeFigures = true;
}

GraphEcho LatencyGraphData::echoNear(double from, double to, qsizetype target, double rtt) const
{
    GraphEcho best;
    if (!m_log)
        return best;
    const auto [first, end] = summaryFor().rowsOf(from, to);
    EchoCursor cursor(*m_log, false);
    cursor.seek(first);
    PingReplyRecord r;
    double bestDistance = 0;
    const qsizetype stop = qMin(end, first + DetailRowLimit);
    for (qsizetype row = first; row < stop && cursor.next(r); ++row) {
        const qint64 s = EchoSeconds(r);
        if (double(s) < std::floor(from) || double(s) >= std::ceil(to))
            continue;
        const qsizetype k = TargetOfRow(row, m_targets.size(), m_repeat);
        if (target >= 0 && k != target)
            continue;
        const double distance = std::abs(double(r.answered() ? r.time : -1) - rtt);
        if (best.target < 0 || distance < bestDistance) {
            best = {r, cursor.address(), k};
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace netvane
