#pragma once
// The window's metrics for Prometheus: a checkable item of the Utility menu
// ("mnuMetrics", off by default) that serves /metrics for the window's ping tests at
// the address kept in the settings (127.0.0.1:9374 unless the settings file names
// another), so a desktop can be scraped like a headless run. Kept with the other
// settings; a failure to serve says why and leaves the item unchecked.

#include <QObject>

class QAction;
class QMenu;

namespace netvane {

class AppSettings;
class MetricsExporter;
class PingTest;

class MetricsItem final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MetricsItem)
public:
    MetricsItem(const PingTest &test, QMenu *menu, QObject *parent = nullptr);

    // From the loaded settings: serves when they say so.
    void apply(const AppSettings &settings);
    // Into the settings to be saved.
    void collect(AppSettings &settings) const;
    QAction *action() const { return m_action; }
    MetricsExporter *exporter() const { return m_exporter; }

private:
    void serve(bool on);

    MetricsExporter *m_exporter;
    QAction *m_action;
    QString m_addressText; // as kept in the settings
};

} // namespace netvane
