#include "monitor/metricsexporter.h"

#include "ping/pingtest.h"

namespace netvane {

QString HostLabel(const QString &targetName)
{
    const qsizetype slash = targetName.indexOf(u" / "_qs);
    return slash < 0 ? targetName : targetName.left(slash);
}

MetricsExporter::MetricsExporter(const PingTest &test, QObject *parent)
    : QObject(parent), m_test(test),
      m_server([this](MetricsFormat format) { return m_metrics.render(format); })
{
    connect(&test, &PingTest::replyRecorded, this, &MetricsExporter::echoRecorded);
    // Outages join here: the outage detector's signal for an outage that ended is
    // connected beside replyRecorded, and hands its count and downtime per target
    // to EchoMetrics.
}

bool MetricsExporter::start(const MetricsAddress &address, QString *error)
{
    return m_server.start(address, error);
}

void MetricsExporter::echoRecorded(int row)
{
    // The first echo of a test: every target is on the page from now on, the silent
    // ones with nothing answered.
    if (row == 0) {
        for (const PingTarget &target : m_test.targets())
            m_metrics.addTarget(target.address, HostLabel(target.name));
    }
    const PingReplyLog &log = m_test.log();
    if (row >= log.size())
        return;
    const PingReplyRecord r = log.at(row);
    m_metrics.recordEcho(log.address(r), r.time, r.ttl);
}

} // namespace netvane
