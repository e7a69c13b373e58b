#include "ping/outagefinder.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

namespace netvane {

void OutageFinder::reset(int lostEchoes)
{
    m_after = std::clamp(lostEchoes, MinOutageAfter, MaxOutageAfter);
    m_outages.clear();
    m_runs.clear();
    m_targets.clear();
    m_index.clear();
    m_first = m_last = -1;
}

quint32 OutageFinder::targetIndex(const QString &address)
{
    const auto it = m_index.constFind(address);
    if (it != m_index.constEnd())
        return *it;
    const quint32 index = quint32(m_targets.size());
    m_targets.append(address);
    m_index.insert(address, index);
    m_runs.emplace_back();
    return index;
}

qint64 OutageFinder::findTarget(const QString &address) const
{
    const auto it = m_index.constFind(address);
    return it == m_index.constEnd() ? -1 : qint64(*it);
}

void OutageFinder::seen(qint64 time)
{
    if (m_first < 0)
        m_first = time;
    m_last = time;
}

void OutageFinder::setSpan(qint64 first, qint64 last)
{
    m_first = first;
    m_last = last;
}

void OutageFinder::echo(qint64 row, const QString &address, bool answered, qint64 time)
{
    seen(time);
    if (!answered) {
        lost(targetIndex(address), row, time, 1);
        return;
    }
    const qint64 target = findTarget(address);
    if (target >= 0)
        this->answered(quint32(target), time);
}

void OutageFinder::lost(quint32 target, qint64 row, qint64 time, qint64 count)
{
    Run &run = m_runs[target];
    if (run.count == 0) {
        run.start = time;
        run.firstRow = row;
    }
    run.count = qint32(std::min<qint64>(qint64(run.count) + count, std::numeric_limits<qint32>::max()));
    if (run.outage >= 0) {
        m_outages[size_t(run.outage)].lost = run.count;
        return;
    }
    if (run.count < m_after || m_outages.size() >= size_t(std::numeric_limits<qint32>::max()))
        return;
    run.outage = qint32(m_outages.size());
    m_outages.push_back({run.start, -1, run.firstRow, run.count, target});
    if (began)
        began(m_outages.back());
}

void OutageFinder::answered(quint32 target, qint64 time)
{
    Run &run = m_runs[target];
    const qint32 outage = run.outage;
    run = Run{};
    if (outage < 0)
        return;
    Outage &o = m_outages[size_t(outage)];
    o.end = std::max(time, o.start);
    if (ended)
        ended(o);
}

std::vector<Outage> OutageFinder::outages() const
{
    // They are kept in the order they began (at their N-th lost echo); listed by
    // their first, which is the same order live and on reload.
    std::vector<Outage> list = m_outages;
    std::stable_sort(list.begin(), list.end(),
                     [](const Outage &a, const Outage &b) { return a.firstRow < b.firstRow; });
    return list;
}

qint64 OutageFinder::duration(const Outage &o) const
{
    const qint64 end = o.ongoing() ? m_last : o.end;
    return std::max<qint64>(end - o.start, 0);
}

OutageTotals OutageFinder::totals(quint32 target) const
{
    OutageTotals t;
    for (const Outage &o : m_outages) {
        if (o.target != target)
            continue;
        ++t.count;
        const qint64 d = duration(o);
        t.downtime += d;
        t.longest = std::max(t.longest, d);
    }
    const qint64 span = m_last - m_first;
    if (span > 0)
        t.availability = 100.0 * double(std::max<qint64>(span - t.downtime, 0)) / double(span);
    else
        t.availability = t.count > 0 ? 0 : 100;
    return t;
}

OutageTotals OutageFinder::totals(const QString &address) const
{
    const qint64 target = findTarget(address);
    return target < 0 ? totals(quint32(-1)) : totals(quint32(target));
}

qsizetype OutageFinder::memoryBytes() const
{
    qsizetype bytes = qsizetype(m_outages.capacity() * sizeof(Outage) + m_runs.capacity() * sizeof(Run));
    for (const QString &t : m_targets)
        bytes += qsizetype(sizeof(QString) + t.capacity() * 2 + 16) + qsizetype(sizeof(quint32) + 32);
    return bytes;
}

QString OutageClockText(qint64 time)
{
    return QDateTime::fromSecsSinceEpoch(time, Qt::UTC).toString(u"HH:mm:ss"_qs);
}

QString OutageStampText(qint64 time, QChar between)
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(time, Qt::UTC);
    return t.toString(u"yyyy-MM-dd"_qs) + between + t.toString(u"HH:mm:ss"_qs);
}

QString OutageDurationText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return u"%1 h %2 min %3 s"_qs.arg(h).arg(m).arg(s);
    if (m > 0)
        return u"%1 min %2 s"_qs.arg(m).arg(s);
    return u"%1 s"_qs.arg(s);
}

QStringList OutageRowTexts(const OutageFinder &finder, const Outage &outage)
{
    return {OutageStampText(outage.start), outage.ongoing() ? u"ongoing"_qs : OutageStampText(outage.end),
            OutageDurationText(finder.duration(outage)), QString::number(outage.lost)};
}

QString OutageTotalsText(const OutageTotals &t)
{
    return (t.count == 1 ? u"1 outage"_qs : QString::number(t.count) + u" outages"_qs) + u", down "_qs
           + OutageDurationText(t.downtime) + u", longest "_qs + OutageDurationText(t.longest)
           + u", available "_qs + QString::number(t.availability, 'f', 2) + u" %"_qs;
}

} // namespace netvane
