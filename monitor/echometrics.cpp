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

QByteArray EchoMetrics::render(MetricsFormat format) const
{
    const std::vector<prometheus::MetricFamily> families = m_registry->Collect();
    const std::string page = format == MetricsFormat::OpenMetrics
                                 ? OpenMetricsText(families)
                                 : prometheus::TextSerializer().Serialize(families);
    return QByteArray(page.data(), qsizetype(page.size()));
}

} // namespace netvane
