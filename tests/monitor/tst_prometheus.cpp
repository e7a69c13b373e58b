// A real Prometheus, started with the README's scrape config at a 1 s interval, scrapes
// a headless run that pings loopback and a silent address of this test's own network
// namespace; its query API then gives each target's answered share (1 and 0) and an
// echo count that matches the result file as it stood at the last scrape.

#include "support/headless.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace netvane;
using namespace netvane::test;

namespace {
const QString SilentAddress = u"10.251.0.2"_qs; // on this test's own link; nobody answers

QString readmeScrapeConfig()
{
    QFile readme(QStringLiteral(NETVANE_SOURCE_DIR "/README.md"));
    const QString text = readme.open(QIODevice::ReadOnly) ? QString::fromUtf8(readme.readAll()) : QString();
    const qsizetype start = text.indexOf(u"```yaml\nscrape_configs:"_qs) + 8;
    return start < 8 ? QString() : text.mid(start, text.indexOf(u"```"_qs, start) - start);
}

// target label (empty without one) -> value of an instant query.
QHash<QString, double> query(quint16 port, const QString &promql)
{
    const HttpAnswer answer = HttpGet(port, "/api/v1/query?query=" + QUrl::toPercentEncoding(promql));
    QHash<QString, double> values;
    for (const QJsonValue &series : QJsonDocument::fromJson(answer.body)[u"data"_qs][u"result"_qs].toArray())
        values.insert(series[u"metric"_qs][u"target"_qs].toString(),
                      series[u"value"_qs].toArray().at(1).toString().toDouble());
    return values;
}
} // namespace

class TestPrometheus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scrapedFiguresMatchTheResultFile();
};

void TestPrometheus::scrapedFiguresMatchTheResultFile()
{
    const QString prometheusProgram = QStandardPaths::findExecutable(u"prometheus"_qs);
    if (prometheusProgram.isEmpty())
        QSKIP("prometheus (Debian package prometheus, installed by scripts/install-deps.sh) is missing");
    QString config = readmeScrapeConfig();
    QVERIFY2(!config.isEmpty(), "the README has no scrape config");
    if (QString why; !EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"cannot make a test namespace: "_qs + why));
    if (!CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
    const QString link = u"nvm%1"_qs.arg(::getpid());
    for (const QString &command : {u"link add %1a type veth peer name %1b"_qs, u"addr add 10.251.0.1/24 dev %1a"_qs,
                                   u"link set %1a up"_qs, u"link set %1b up"_qs}) {
        QString out;
        QVERIFY2(Run(u"ip"_qs, command.arg(link).split(u' '), &out), qPrintable(command + out));
    }

    IsolatedFolders folders;
    WriteSettings({{u"Default_Interval"_qs, u"200"_qs}, {u"Default_TimeOut"_qs, u"100"_qs}});
    HeadlessChild run(QStringLiteral(NETVANE_PATH),
                      {u"--list"_qs, WriteList(folders.path(), {u"A127.0.0.1"_qs, u'A' + SilentAddress})});
    QVERIFY2(run.waitForMetrics(), run.errorText().constData());
    QElapsedTimer running;
    running.start();

    QTemporaryDir storage;
    QTcpServer free; // a port for Prometheus's own API
    QVERIFY(free.listen(QHostAddress::LocalHost));
    const quint16 web = free.serverPort();
    free.close();
    config.replace(u"127.0.0.1:9374"_qs, u"127.0.0.1:%1"_qs.arg(run.port()));
    config.replace(u"scrape_interval: 15s"_qs, u"scrape_interval: 1s"_qs);
    WriteFileBytes(storage.filePath(u"prometheus.yml"_qs), config.toUtf8());
    QProcess prometheus;
    prometheus.start(prometheusProgram, {u"--config.file="_qs + storage.filePath(u"prometheus.yml"_qs),
                                         u"--storage.tsdb.path="_qs + storage.filePath(u"data"_qs),
                                         u"--web.listen-address=127.0.0.1:%1"_qs.arg(web), u"--log.level=warn"_qs});
    const auto stopPrometheus = qScopeGuard([&prometheus] {
        prometheus.terminate();
        if (!prometheus.waitForFinished(20000))
            prometheus.kill();
    });
    QTRY_VERIFY_WITH_TIMEOUT(HttpGet(web, "/-/ready", {}, 2000).status == 200, 30000);

    // Prometheus asks for OpenMetrics first: a page it could not read would not be up.
    const QString ratio = u"netvane_echoes_answered_total / netvane_echoes_sent_total"_qs;
    QTRY_VERIFY_WITH_TIMEOUT(query(web, ratio).size() == 2, 30000);
    QCOMPARE(query(web, u"up"_qs).value(QString()), 1.0);
    QCOMPARE(query(web, ratio).value(u"127.0.0.1"_qs), 1.0);
    QCOMPARE(query(web, ratio).value(SilentAddress, -1), 0.0);

    // A few scrapes more; the run stops and its last scraped count is compared with
    // the result file then.
    QTest::qWait(3000);
    QVERIFY(run.stop(SIGTERM));
    QCOMPARE(run.process().exitCode(), 0);
    qsizetype answered = 0;
    for (const QByteArray &line : ResultFileEchoes(folders.dataFolder()))
        answered += line.split(',').value(6) == "127.0.0.1" && line.endsWith(",0");
    const double perScrape = answered / (running.elapsed() / 1000.0) + 1; // echoes of one interval
    const QHash<QString, double> counted = query(web, u"last_over_time(netvane_echo_rtt_seconds_count[5m])"_qs);
    const double behind = answered - counted.value(u"127.0.0.1"_qs, -1);
    qInfo("%lld answered echoes in the result file, the last scrape %.0f behind", qlonglong(answered), behind);
    QVERIFY(answered > 10 && behind >= 0 && behind <= perScrape);
    QCOMPARE(counted.value(SilentAddress, -1), 0.0);
}

QTEST_GUILESS_MAIN(TestPrometheus)
#include "tst_prometheus.moc"
