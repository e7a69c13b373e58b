#include "monitor/echometrics.h"

#include "monitor/openmetricstext.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

namespace netvane {

EchoMetrics::EchoMetrics()
    : m_registry(std::make_shared<prometheus::Registry>()),
      m_sent(prometheus::BuildCounter()
                 .Name("netvane_echoes_sent_total")
                 .Help("Echo requests sent to the target.")
                 .Register(*m_registry)),
      m_answered(prometheus::BuildCounter()
                     .Name("netvane_echoes_answered_total")
                     .Help("Echo requests the target answered.")
                     .Register(*m_registry)),
      m_rtt(prometheus::BuildHistogram()
                .Name("netvane_echo_rtt_seconds")
                .Help("Round-trip time of the answered echoes, in whole milliseconds as measured.")
                .Register(*m_registry)),
      m_lastRtt(prometheus::BuildGauge()
                    .Name("netvane_echo_last_rtt_seconds")
                    .Help("Round-trip time of the last answered echo.")
                    .Register(*m_registry)),
      m_lastTtl(prometheus::BuildGauge()
                    .Name("netvane_echo_last_ttl")
                    .Help("TTL (hop limit) of the last answer.")
                    .Register(*m_registry)),
      m_outages(prometheus::BuildCounter()
                    .Name("netvane_outages_total")
                    .Help("Outages of the target that began (lost echoes in a row, as many as the setting asks).")
                    .Register(*m_registry)),
      m_downtime(prometheus::BuildCounter()
                     .Name("netvane_outage_seconds_total")
                     .Help("Length of the target's outages that ended.")
                     .Register(*m_registry)),
      m_ongoing(prometheus::BuildGauge()
                    .Name("netvane_outage_ongoing")
                    .Help("1 while an outage of the target goes on.")
                    .Register(*m_registry))
{
}

EchoMetrics::~EchoMetrics() = default;

std::vector<double> EchoMetrics::RttBuckets()
{
    std::vector<double> bounds;
    for (int i = 0; i <= 18; ++i)
        bounds.push_back(0.0001 * double(1 << i));
    return bounds;
}

EchoMetrics::Series &EchoMetrics::series(const QString &address, const QString &host)
{
    auto found = m_series.find(address);
    if (found != m_series.end())
        return *found;
    Series s;
    s.host = host;
    const prometheus::Labels labels{{"target", address.toStdString()}, {"host", host.toStdString()}};
    s.sent = &m_sent.Add(labels);
    s.answered = &m_answered.Add(labels);
    s.rtt = &m_rtt.Add(labels, RttBuckets());
    s.outages = &m_outages.Add(labels);
    s.downtime = &m_downtime.Add(labels);
    return *m_series.insert(address, s);
}

void EchoMetrics::addTarget(const QString &address, const QString &host)
{
    series(address, host);
}

void EchoMetrics::recordEcho(const QString &address, qint32 timeMs, int ttl)
{
    Series &s = series(address, address);
    s.sent->Increment();
    if (timeMs < 0)
        return;
    const double seconds = timeMs / 1000.0;
    s.answered->Increment();
    s.rtt->Observe(seconds);
    if (!s.lastRtt) {
        const prometheus::Labels labels{{"target", address.toStdString()}, {"host", s.host.toStdString()}};
        s.lastRtt = &m_lastRtt.Add(labels);
        s.lastTtl = &m_lastTtl.Add(labels);
    }
    s.lastRtt->Set(seconds);
    s.lastTtl->Set(ttl);
}

void EchoMetrics::recordOutageBegan(const QString &address)
{
    Series &s = series(address, address);
    s.outages->Increment();
    if (!s.ongoing)
        s.ongoing = &m_ongoing.Add({{"target", address.toStdString()}, {"host", s.host.toStdString()}});
    s.ongoing->Set(1);
}

void EchoMetrics::recordOutageEnded(const QString &address, qint64 seconds)
{
    Series &s = series(address, address);
    s.downtime->Increment(double(seconds));
    if (s.ongoing)
        s.ongoing->Set(0);
}

QByteArray EchoMetrics::render(MetricsFormat format) const
{
    const std::vector<prometheus::MetricFamily> families = m_registry->Collect();
    const std::string page = format == MetricsFormat::OpenMetrics
                                 ? OpenMetricsText(families)
                                 : prometheus::TextSerializer().Serialize(families);
    return QByteArray(page.data(), qsizetype(page.size()));
}

} // namespace netvane
