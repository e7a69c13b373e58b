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
    connect(&test, &PingTest::outageBegan, this, [this](const Outage &o) {
        m_metrics.recordOutageBegan(m_test.outages().target(o.target));
    });
    connect(&test, &PingTest::outageEnded, this, [this](const Outage &o) {
        m_metrics.recordOutageEnded(m_test.outages().target(o.target), m_test.outages().duration(o));
    });
}

bool MetricsExporter::start(const MetricsAddress &address, QString *error)
{
    return m_server.start(address, error);
}

void MetricsExporter::echoRecorded(int row)
{
    const PingReplyLog &log = m_test.log();
    if (row >= log.size())
        return;
    const PingReplyRecord r = log.at(row);
    // A target is on the page from its own first echo on, silent or not: making every
    // target's series at the test's first echo would take gigabytes for a large range.
    const QString &address = log.address(r);
    const qsizetype k = m_test.lastRecordedTarget();
    if (k >= 0 && k < m_test.targets().size())
        m_metrics.addTarget(address, HostLabel(m_test.targets().label(k)));
    m_metrics.recordEcho(address, r.time, r.ttl);
}

} // namespace netvane
