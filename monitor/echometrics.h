#pragma once
// The figures of a ping test as Prometheus reads them, one series per target
// (labels: target = the address, host = the name as listed):
//   netvane_echoes_sent_total, netvane_echoes_answered_total   counters
//   netvane_echo_rtt_seconds                                    histogram of answered echoes
//   netvane_echo_last_rtt_seconds, netvane_echo_last_ttl        gauges of the last answer
// The echo measures whole milliseconds (0 stands for under one), and the histogram
// takes each time as recorded, so its count and sum agree with the result file.
//
// The registry (prometheus-cpp) is the hand-over point between the thread that
// records echoes and the server's thread that renders pages: its metrics are safe
// to update and collect at the same time. Everything else here belongs to the
// recording thread.
//
// Outage count and downtime per target (counters) join these families here, fed by
// MetricsExporter once outages are found.

#include "monitor/metricsserver.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace prometheus {
class Counter;
class Gauge;
class Histogram;
class Registry;
template <typename T>
class Family;
} // namespace prometheus

namespace netvane {

class EchoMetrics final
{
public:
    EchoMetrics();
    ~EchoMetrics();
    EchoMetrics(const EchoMetrics &) = delete;
    EchoMetrics &operator=(const EchoMetrics &) = delete;

    // A target of a test: its counters are on the page (at 0) from now on. A
    // target already known keeps its figures and its first host name.
    void addTarget(const QString &address, const QString &host);
    // One echo to an address; timeMs is the recorded round trip (-1: no answer).
    void recordEcho(const QString &address, qint32 timeMs, int ttl);

    // The page in the given format; any thread.
    QByteArray render(MetricsFormat format) const;

    // The histogram's upper bounds in seconds: 0.1 ms doubling up to 26.2144 s.
    static std::vector<double> RttBuckets();

private:
    struct Series {
        prometheus::Counter *sent = nullptr;
        prometheus::Counter *answered = nullptr;
        prometheus::Histogram *rtt = nullptr;
        prometheus::Gauge *lastRtt = nullptr; // made at the first answer
        prometheus::Gauge *lastTtl = nullptr;
        QString host;
    };
    Series &series(const QString &address, const QString &host);

    std::shared_ptr<prometheus::Registry> m_registry;
    prometheus::Family<prometheus::Counter> &m_sent;
    prometheus::Family<prometheus::Counter> &m_answered;
    prometheus::Family<prometheus::Histogram> &m_rtt;
    prometheus::Family<prometheus::Gauge> &m_lastRtt;
    prometheus::Family<prometheus::Gauge> &m_lastTtl;
    QHash<QString, Series> m_series; // by address
};

} // namespace netvane
