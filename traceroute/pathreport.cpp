#include "traceroute/pathreport.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace netvane {

namespace {
PingReplyRecord stampOf(qint64 ms)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
    PingReplyRecord r;
    r.year = quint16(t.date().year());
    r.month = quint8(t.date().month());
    r.day = quint8(t.date().day());
    r.hour = quint8(t.time().hour());
    r.minute = quint8(t.time().minute());
    r.second = quint8(t.time().second());
    return r;
}
} // namespace

SummaryReport BuildPathReport(const QList<PathTrace> &traces, qint64 startMs, int groupMinutes)
{
    SummaryReport report;
    report.grouping = ReportGrouping::TimePeriod;
    report.testStart = stampOf(startMs);
    const qint64 minutes = std::max(groupMinutes, 1);
    for (const PathTrace &trace : traces) {
        for (const PathHop &hop : trace.hops()) {
            ReportHost host;
            host.address = hop.addresses.value(0);
            host.kind = u"Path"_qs;
            host.display = u"%1  hop %2  %3"_qs.arg(trace.label).arg(hop.hop).arg(
                hop.addresses.isEmpty() ? u"*"_qs : hop.addresses.join(u", "_qs));
            const std::vector<PathMinute> &strip = hop.stats.strip();
            if (strip.empty())
                continue;
            // Periods from the first minute of the hop on; a slot wider than the period
            // (a long run's older minutes) falls wholly into the period it starts in.
            const qint64 first = strip.front().firstMinute;
            qint64 periodStart = first;
            ReportGroup group;
            double sumMs = 0;
            qint64 lastMinute = first;
            const auto close = [&] {
                if (group.sent == 0)
                    return;
                group.timeSum = qint64(std::llround(sumMs));
                group.first = stampOf(periodStart * 60'000);
                group.last = stampOf(lastMinute * 60'000 + 59'000);
                group.close();
                host.groups.append(group);
            };
            for (const PathMinute &slot : strip) {
                if (slot.firstMinute >= periodStart + minutes) {
                    close();
                    group = ReportGroup();
                    sumMs = 0;
                    periodStart = first + (slot.firstMinute - first) / minutes * minutes;
                }
                group.sent += slot.sent;
                group.lost += slot.lost;
                sumMs += slot.sumMs;
                lastMinute = slot.firstMinute + slot.minutes - 1;
            }
            close();
            report.hosts.append(host);
        }
    }
    return report;
}

} // namespace netvane
