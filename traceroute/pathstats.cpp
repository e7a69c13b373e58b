#include "traceroute/pathstats.h"

#include <algorithm>
#include <cmath>

namespace netvane {

namespace {
QString ms(double value)
{
    return QString::number(value, 'f', 1);
}
} // namespace

int PathHopStats::bucketOf(qint32 us)
{
    if (us < 100'000)
        return us / 100;
    if (us < 10'100'000)
        return 1000 + (us - 100'000) / 10'000;
    return 2000;
}

double PathHopStats::bucketTopMs(int bucket)
{
    if (bucket < 1000)
        return (bucket + 1) * 0.1;
    return 100.0 + (bucket - 999) * 10.0;
}

void PathHopStats::add(qint32 latencyUs, qint64 whenMs)
{
    ++m_sent;
    m_lastLost = latencyUs < 0;
    if (latencyUs >= 0) {
        ++m_received;
        m_lastUs = latencyUs;
        m_bestUs = m_received == 1 ? latencyUs : std::min(m_bestUs, latencyUs);
        m_worstUs = std::max(m_worstUs, latencyUs);
        m_sumUs += latencyUs;
        m_sumSquaresUs += double(latencyUs) * latencyUs;
        if (m_previousUs >= 0) {
            m_jitterSumUs += std::abs(latencyUs - m_previousUs);
            ++m_jitterCount;
        }
        m_previousUs = latencyUs;
        ++m_histogram[size_t(bucketOf(latencyUs))];
    }

    const qint64 minute = whenMs >= 0 ? whenMs / 60'000 : (whenMs - 59'999) / 60'000;
    if (m_strip.empty() || minute >= m_strip.back().firstMinute + m_strip.back().minutes) {
        // A new slot as wide as the others are by now, aligned to that width.
        const int width = m_strip.empty() ? 1 : m_strip.back().minutes;
        PathMinute slot;
        slot.minutes = width;
        slot.firstMinute = minute - ((minute % width) + width) % width;
        m_strip.push_back(slot);
    }
    PathMinute &slot = m_strip.back();
    ++slot.sent;
    if (latencyUs < 0)
        ++slot.lost;
    else
        slot.sumMs += latencyUs / 1000.0;
    if (m_strip.size() > MaxStripSlots) {
        // Full: neighbours merge, each slot now covering twice the minutes.
        std::vector<PathMinute> merged;
        merged.reserve(m_strip.size() / 2 + 1);
        for (size_t i = 0; i < m_strip.size(); ++i) {
            const PathMinute &s = m_strip[i];
            const int width = s.minutes * 2;
            const qint64 start = s.firstMinute - ((s.firstMinute % width) + width) % width;
            if (!merged.empty() && merged.back().firstMinute == start) {
                merged.back().sent += s.sent;
                merged.back().lost += s.lost;
                merged.back().sumMs += s.sumMs;
            } else {
                PathMinute m = s;
                m.firstMinute = start;
                m.minutes = width;
                merged.push_back(m);
            }
        }
        m_strip = std::move(merged);
    }
}

double PathHopStats::averageMs() const
{
    return m_received ? m_sumUs / double(m_received) / 1000.0 : 0;
}

double PathHopStats::stdDevMs() const
{
    if (m_received < 2)
        return 0;
    const double n = double(m_received);
    const double mean = m_sumUs / n;
    const double variance = std::max(0.0, (m_sumSquaresUs - n * mean * mean) / (n - 1));
    return std::sqrt(variance) / 1000.0;
}

double PathHopStats::jitterMs() const
{
    return m_jitterCount ? m_jitterSumUs / double(m_jitterCount) / 1000.0 : 0;
}

double PathHopStats::p95Ms() const
{
    if (!m_received)
        return 0;
    const qint64 rank = (m_received * 95 + 99) / 100; // the smallest count covering 95 %
    qint64 seen = 0;
    for (size_t b = 0; b < m_histogram.size(); ++b) {
        seen += m_histogram[b];
        if (seen >= rank)
            return std::min(bucketTopMs(int(b)), worstMs());
    }
    return worstMs();
}

void PathTrace::setPath(const QList<QStringList> &hopAddresses, qint64 whenMs)
{
    QList<PathHop> hops;
    for (qsizetype i = 0; i < hopAddresses.size(); ++i) {
        PathHop hop;
        hop.hop = int(i + 1);
        hop.addresses = hopAddresses[i];
        hop.isTarget = i + 1 == hopAddresses.size();
        if (i < m_hops.size()) {
            const PathHop &old = m_hops[i];
            // A silent hop that answers at last keeps what it showed: it is learnt,
            // not a new route.
            if (old.isTarget == hop.isTarget
                && (old.addresses == hop.addresses || old.addresses.isEmpty())) {
                hop.stats = old.stats;
                hop.name = old.name;
            } else if (!m_hops.isEmpty()) {
                const QString before = old.addresses.isEmpty() ? u"*"_qs : old.addresses.join(u'|');
                const QString after = hop.addresses.isEmpty() ? u"*"_qs : hop.addresses.join(u'|');
                m_changes.append({whenMs, hop.hop, before, after});
            }
        } else if (!m_hops.isEmpty()) {
            m_changes.append({whenMs, hop.hop, u"*"_qs,
                              hop.addresses.isEmpty() ? u"*"_qs : hop.addresses.join(u'|')});
        }
        hops.append(hop);
    }
    while (m_changes.size() > MaxRouteChanges)
        m_changes.removeFirst();
    m_hops = hops;
}

void PathTrace::addRound(const QList<qint32> &latenciesUs, qint64 whenMs)
{
    ++m_rounds;
    for (qsizetype i = 0; i < m_hops.size() && i < latenciesUs.size(); ++i)
        m_hops[i].stats.add(latenciesUs[i], whenMs);
}

bool PathTrace::isSilent(int index) const
{
    const PathHop &hop = m_hops[index];
    if (hop.isTarget || hop.stats.sent() == 0 || hop.stats.received() > 0)
        return false;
    for (qsizetype j = index + 1; j < m_hops.size(); ++j)
        if (m_hops[j].stats.received() > 0)
            return true;
    return false;
}

int PathTrace::lossOrigin() const
{
    if (m_hops.isEmpty())
        return -1;
    const int last = int(m_hops.size()) - 1;
    const PathHopStats &target = m_hops[last].stats;
    if (target.sent() == 0 || target.lost() == 0)
        return -1;
    // A hop carries the loss when it loses at least half as much as the target does: a
    // stray loss at an early hop does not pull the origin before a real one.
    const double half = target.lossPercent() / 2;
    int origin = last;
    for (int j = last - 1; j >= 0; --j) {
        if (isSilent(j))
            continue;
        const PathHopStats &s = m_hops[j].stats;
        if (s.lost() == 0 || s.lossPercent() < half)
            break;
        origin = j;
    }
    return origin;
}

QString PathTrace::verdict() const
{
    if (m_hops.isEmpty())
        return u"Finding the hops ..."_qs;
    const int origin = lossOrigin();
    if (origin < 0)
        return u"No loss on the path"_qs;
    const PathHop &hop = m_hops[origin];
    const QString where = hop.addresses.isEmpty() ? u"*"_qs : hop.addresses.first();
    return u"Loss starts at hop %1 (%2): %3 % from there to the target"_qs.arg(hop.hop).arg(where).arg(
        QString::number(m_hops.last().stats.lossPercent(), 'f', 1));
}

QStringList PathColumnTitles()
{
    return {u"Hop"_qs,  u"Address"_qs, u"Name"_qs,  u"Loss %"_qs, u"Sent"_qs,   u"Last"_qs,
            u"Avg"_qs,  u"Best"_qs,    u"Worst"_qs, u"StDev"_qs,  u"Jitter"_qs, u"p95"_qs};
}

QStringList PathRowTexts(const PathTrace &trace, int index)
{
    const PathHop &hop = trace.hops()[index];
    const PathHopStats &s = hop.stats;
    QString address = hop.addresses.isEmpty() ? u"*"_qs : hop.addresses.join(u", "_qs);
    if (trace.isSilent(index))
        address = u"no answer (rate-limited?)"_qs;
    const bool answered = s.received() > 0;
    const auto figure = [answered](double value) { return answered ? ms(value) : QString(); };
    return {QString::number(hop.hop),
            address,
            hop.name,
            QString::number(s.lossPercent(), 'f', 1),
            QString::number(s.sent()),
            figure(s.lastMs()),
            figure(s.averageMs()),
            figure(s.bestMs()),
            figure(s.worstMs()),
            figure(s.stdDevMs()),
            figure(s.jitterMs()),
            figure(s.p95Ms())};
}

} // namespace netvane
