#pragma once
// The metrics of a ping test, served: every echo the run loop records is handed to
// EchoMetrics as it comes (replyRecorded), and MetricsServer serves the page from
// its own thread. The window and the headless run each keep one beside their
// PingTest. The figures live from the exporter's creation on, across tests, as
// Prometheus expects of counters; serving can be started and stopped meanwhile.

#include "monitor/echometrics.h"
#include "monitor/metricsserver.h"

#include <QObject>

namespace netvane {

class PingTest;

// The name of a target for the host label: the entry as listed ("name / address"
// gives the name).
QString HostLabel(const QString &targetName);

class MetricsExporter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MetricsExporter)
public:
    explicit MetricsExporter(const PingTest &test, QObject *parent = nullptr);

    bool start(const MetricsAddress &address, QString *error = nullptr);
    void stop() { m_server.stop(); }
    bool isServing() const { return m_server.isListening(); }
    MetricsAddress boundAddress() const { return m_server.boundAddress(); }
    const EchoMetrics &metrics() const { return m_metrics; }

private:
    void echoRecorded(int row);

    const PingTest &m_test;
    EchoMetrics m_metrics;
    MetricsServer m_server;
};

} // namespace netvane
