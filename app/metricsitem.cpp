#include "app/metricsitem.h"

#include "app/appsettings.h"
#include "monitor/metricsexporter.h"
#include "platform/dialogs.h"

#include <QAction>
#include <QMenu>

namespace netvane {

MetricsItem::MetricsItem(const PingTest &test, QMenu *menu, QObject *parent)
    : QObject(parent), m_exporter(new MetricsExporter(test, this)),
      m_action(menu->addAction(u"Serve Metrics for Prometheus"_qs))
{
    m_action->setObjectName(u"mnuMetrics"_qs);
    m_action->setCheckable(true);
    connect(m_action, &QAction::toggled, this, &MetricsItem::serve);
}

void MetricsItem::apply(const AppSettings &settings)
{
    m_addressText = settings.value(AppSettings::MetricsAddress).trimmed();
    m_action->setChecked(settings.value(AppSettings::Metrics).trimmed() == u"1");
}

void MetricsItem::collect(AppSettings &settings) const
{
    settings.setValue(AppSettings::Metrics, m_action->isChecked() ? u"1"_qs : u"0"_qs);
    settings.setValue(AppSettings::MetricsAddress, m_addressText);
}

void MetricsItem::serve(bool on)
{
    if (!on) {
        m_exporter->stop();
        m_action->setText(u"Serve Metrics for Prometheus"_qs);
        return;
    }
    QString error;
    std::optional<MetricsAddress> address = MetricsAddress();
    if (!m_addressText.isEmpty())
        address = ParseMetricsAddress(m_addressText, &error);
    if (address && m_exporter->start(*address, &error)) {
        m_action->setText(u"Serve Metrics for Prometheus (http://"_qs + m_exporter->boundAddress().text()
                          + u"/metrics)"_qs);
        return;
    }
    if (!address)
        error = u"The metrics address \""_qs + m_addressText + u"\" of the settings ("_qs
                + AppSettings::keyName(AppSettings::MetricsAddress) + u"): "_qs + error;
    const QSignalBlocker quiet(m_action);
    m_action->setChecked(false);
    MsgBox(error, BoxIcon::Exclamation);
}

} // namespace netvane
