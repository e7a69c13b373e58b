#pragma once
// A ping test with no window: the saved settings (the window's five boxes, checked by
// the same rules), every item of the list (names looked up once at the start), the
// same result store the window writes and reloads, and the metrics endpoint beside
// it. Before anything is replaced the run checks all it needs: one program per data
// folder, usable settings, a list with targets, an echo socket, the endpoint's
// address; a refusal says why on the standard error and gives ExitFailed. SIGTERM
// and SIGINT stop the test the way Stop does (the echo in progress is written
// whole), then ended() gives the exit code.

#include "monitor/commandline.h"
#include "monitor/metricsexporter.h"
#include "ping/outagealerts.h"
#include "ping/pingtest.h"
#include "ping/resultstore.h"

#include <QObject>

#include <memory>

namespace netvane {

namespace platform {
class SingleInstance;
class StopSignals;
} // namespace platform

class HeadlessRun final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HeadlessRun)
public:
    explicit HeadlessRun(const CommandLine &options, QObject *parent = nullptr);
    ~HeadlessRun() override;

    // 0 when the test runs; otherwise the exit code of a run that did not start.
    int start();

Q_SIGNALS:
    void ended(int exitCode);

private:
    bool prepare(QList<PingTarget> &targets, int &pingsPerSize);
    void stop(const QString &why);
    void finished();
    void say(const QString &text) const;

    CommandLine m_options;
    QString m_folder;
    std::unique_ptr<platform::SingleInstance> m_instance;
    std::unique_ptr<platform::StopSignals> m_signals;
    PingTest m_test;
    PingResultStore m_store;
    MetricsExporter m_exporter;
    OutageAlerts m_alerts;
    int m_exitCode = 0;
};

} // namespace netvane
