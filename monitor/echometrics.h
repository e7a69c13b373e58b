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
//   netvane_outages_total, netvane_outage_seconds_total         counters: outages begun, and
//                                                               the downtime of those ended
//   netvane_outage_ongoing                                      gauge: 1 while one goes on
// A target's series are made at its own first echo (a test of a 16-million-address
// range must not make them all at once).

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
    // An outage of an address began; one ended after `seconds`.
    void recordOutageBegan(const QString &address);
    void recordOutageEnded(const QString &address, qint64 seconds);

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
        prometheus::Counter *outages = nullptr;
        prometheus::Counter *downtime = nullptr;
        prometheus::Gauge *ongoing = nullptr; // made at the first outage
        QString host;
    };
    Series &series(const QString &address, const QString &host);

    std::shared_ptr<prometheus::Registry> m_registry;
    prometheus::Family<prometheus::Counter> &m_sent;
    prometheus::Family<prometheus::Counter> &m_answered;
    prometheus::Family<prometheus::Histogram> &m_rtt;
    prometheus::Family<prometheus::Gauge> &m_lastRtt;
    prometheus::Family<prometheus::Gauge> &m_lastTtl;
    prometheus::Family<prometheus::Counter> &m_outages;
    prometheus::Family<prometheus::Counter> &m_downtime;
    prometheus::Family<prometheus::Gauge> &m_ongoing;
    QHash<QString, Series> m_series; // by address
};

} // namespace netvane
