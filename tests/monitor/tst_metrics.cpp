// The metrics endpoint in process: the addresses it takes, the format an Accept header
// gets, and the window serving its own ping tests when its setting is on.

#include "app/appsettings.h"
#include "app/formtester.h"
#include "app/metricsitem.h"
#include "monitor/metricsexporter.h"
#include "support/headless.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

using namespace netvane;
using namespace netvane::test;

class TestMetrics : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void metricsAddress_data();
    void metricsAddress();
    void acceptHeader_data();
    void acceptHeader();
    void windowServesWhenItsSettingIsOn();
    void targetsJoinAtTheirOwnEchoWithTheirOutages();
};

void TestMetrics::metricsAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::newRow("a port alone is on loopback") << u"9374"_qs << u"127.0.0.1:9374"_qs;
    QTest::newRow("any free port") << u"127.0.0.1:0"_qs << u"127.0.0.1:0"_qs;
    QTest::newRow("IPv6 in brackets") << u"[::1]:65535"_qs << u"[::1]:65535"_qs;
    QTest::newRow("port beyond 65535") << u"127.0.0.1:65536"_qs << QString();
    QTest::newRow("signed port") << u"+80"_qs << QString();
    QTest::newRow("IPv6 without brackets") << u"::1:9374"_qs << QString();
    QTest::newRow("IPv4 in brackets") << u"[127.0.0.1]:80"_qs << QString();
    QTest::newRow("bracket not closed") << u"[::1:80"_qs << QString();
}

void TestMetrics::metricsAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QString why;
    const std::optional<MetricsAddress> parsed = ParseMetricsAddress(text, &why);
    QCOMPARE(parsed ? parsed->text() : QString(), address);
    QCOMPARE(why.isEmpty(), parsed.has_value());
}

void TestMetrics::acceptHeader_data()
{
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<bool>("openMetrics");
    QTest::newRow("none") << QByteArray() << false;
    QTest::newRow("anything") << QByteArray("*/*") << false;
    QTest::newRow("Prometheus 2.42")
        << QByteArray("application/openmetrics-text;version=1.0.0,application/openmetrics-text;"
                      "version=0.0.1;q=0.75,text/plain;version=0.0.4;q=0.5,*/*;q=0.1")
        << true;
    QTest::newRow("OpenMetrics, any case") << QByteArray("Application/OpenMetrics-Text; version=1.0.0") << true;
    QTest::newRow("text preferred") << QByteArray("application/openmetrics-text;q=0.3, text/plain;q=0.5")
                                    << false;
    QTest::newRow("OpenMetrics refused") << QByteArray("application/openmetrics-text;q=0") << false;
}

void TestMetrics::acceptHeader()
{
    QFETCH(QByteArray, accept);
    QFETCH(bool, openMetrics);
    QCOMPARE(NegotiateMetricsFormat(accept) == MetricsFormat::OpenMetrics, openMetrics);
}

void TestMetrics::windowServesWhenItsSettingIsOn()
{
    if (!CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    IsolatedFolders folders;
    ScriptedUi ui;
    {
        FormTester fresh; // off by default
        QVERIFY(!fresh.metricsItem()->action()->isChecked());
        QVERIFY(!fresh.metricsItem()->exporter()->isServing());
    }
    WriteSettings({{u"Default_Metrics"_qs, u"1"_qs}, {u"Default_MetricsAddress"_qs, u"127.0.0.1:0"_qs}});
    auto window = std::make_unique<FormTester>();
    QVERIFY(window->metricsItem()->action()->isChecked());
    const quint16 port = window->metricsItem()->exporter()->boundAddress().port;
    QVERIFY(window->metricsItem()->action()->text().contains(u":%1/metrics"_qs.arg(port)));

    // A test of three passes on loopback is on the page as it runs.
    window->findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"50"_qs);
    window->findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(u"3"_qs);
    window->findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    QSignalSpy finished(window->pingTest(), &PingTest::finished);
    window->CommandStart_Click();
    QVERIFY(finished.wait(10000));
    const QByteArray labels = "{host=\"127.0.0.1\",target=\"127.0.0.1\"}";
    const HttpAnswer text = HttpGet(port, "/metrics");
    QVERIFY(text.contentType.startsWith("text/plain; version=0.0.4"));
    for (const QByteArray &line : {"netvane_echoes_sent_total" + labels + " 3\n",
                                   "netvane_echo_rtt_seconds_count" + labels + " 3\n",
                                   "netvane_echo_last_ttl" + labels + " 64\n", QByteArray("le=\"0.0001\"} "),
                                   QByteArray("le=\"26.2144\"} 3\n")})
        QVERIFY2(text.body.contains(line), text.body.constData());
    const HttpAnswer open = HttpGet(port, "/metrics", {{"Accept", "application/openmetrics-text; version=1.0.0"}});
    QVERIFY(open.contentType.startsWith("application/openmetrics-text; version=1.0.0"));
    QVERIFY(open.body.contains("# TYPE netvane_echoes_sent counter\n")
            && open.body.contains("netvane_echoes_sent_total" + labels + " 3\n"));
    QVERIFY(open.body.endsWith("# EOF\n"));
    // The setting is kept; off, nothing answers.
    window->close();
    AppSettings kept;
    QVERIFY(kept.load());
    QCOMPARE(kept.value(AppSettings::Metrics), u"1"_qs);
    QCOMPARE(kept.value(AppSettings::MetricsAddress), u"127.0.0.1:0"_qs);
    window->metricsItem()->action()->setChecked(false);
    QCOMPARE(HttpGet(port, "/metrics", {}, 2000).status, 0);

    // An address that cannot be used says so and leaves the item off.
    window.reset();
    WriteSettings({{u"Default_Metrics"_qs, u"1"_qs}, {u"Default_MetricsAddress"_qs, u"127.0.0.1:99999"_qs}});
    ui.clear();
    FormTester refused;
    QVERIFY(!refused.metricsItem()->action()->isChecked());
    QCOMPARE(ui.boxes.size(), 1);
    QVERIFY2(ui.boxes[0].text.contains(u"Default_MetricsAddress"_qs), qPrintable(ui.boxes[0].text));
}

void TestMetrics::targetsJoinAtTheirOwnEchoWithTheirOutages()
{
    // Texts that are no address fail at once, without a socket: every echo is lost.
    PingTest test;
    MetricsExporter exporter(test);
    QByteArray atFirstEcho;
    connect(&test, &PingTest::replyRecorded, this, [&](int row) {
        if (row == 0)
            atFirstEcho = exporter.metrics().render(MetricsFormat::PrometheusText);
    });
    test.begin({{u"300.1.1.1"_qs, u"one / 300.1.1.1"_qs}, {u"300.1.1.2"_qs, u"two"_qs}});
    test.tickTimer()->stop();
    for (int i = 0; i < 3; ++i)
        test.PingTick();
    // The first echo's target only: a large range must not be made whole at once.
    QVERIFY(atFirstEcho.contains("target=\"300.1.1.1\""));
    QVERIFY(!atFirstEcho.contains("300.1.1.2"));
    const QByteArray page = exporter.metrics().render(MetricsFormat::PrometheusText);
    for (const QByteArray &line : {QByteArray("netvane_outages_total{host=\"one\",target=\"300.1.1.1\"} 1\n"),
                                   QByteArray("netvane_outages_total{host=\"two\",target=\"300.1.1.2\"} 1\n"),
                                   QByteArray("netvane_outage_ongoing{host=\"two\",target=\"300.1.1.2\"} 1\n"),
                                   QByteArray("netvane_outage_seconds_total{host=\"two\",target=\"300.1.1.2\"} 0\n")})
        QVERIFY2(page.contains(line), page.constData());
}

QTEST_MAIN(TestMetrics)
#include "tst_metrics.moc"
