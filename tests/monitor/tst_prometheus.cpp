// A real Prometheus, started with the README's scrape config at a 1 s interval, scrapes
// a headless run that pings loopback and a silent address of this test's own network
// namespace; its query API then gives each target's answered share (1 and 0) and an
// echo count that matches the result file as it stood at the last scrape.

#include "support/headless.h"
#include "support/testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace netvane;
using namespace netvane::test;

namespace {

const QString Program = QStringLiteral(NETVANE_PATH);
const QString SilentAddress = u"10.251.0.2"_qs; // on this test's own link; nobody answers

// The scrape config as the README gives it.
QString readmeScrapeConfig()
{
    QFile readme(QStringLiteral(NETVANE_SOURCE_DIR "/README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype start = text.indexOf(u"```yaml\nscrape_configs:"_qs);
    const qsizetype end = text.indexOf(u"```"_qs, start + 7);
    return start < 0 || end < 0 ? QString() : text.mid(start + 8, end - start - 8);
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// target label (empty without one) -> value of an instant query.
QHash<QString, double> query(quint16 port, const QString &promql)
{
    const HttpAnswer answer = HttpGet(port, "/api/v1/query?query=" + QUrl::toPercentEncoding(promql));
    QHash<QString, double> values;
    const QJsonArray result = QJsonDocument::fromJson(answer.body)[u"data"_qs][u"result"_qs].toArray();
    for (const QJsonValue &series : result)
        values.insert(series[u"metric"_qs][u"target"_qs].toString(),
                      series[u"value"_qs].toArray().at(1).toString().toDouble());
    return values;
}

} // namespace

class TestPrometheus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void scrapedFiguresMatchTheResultFile();

private:
    QString m_prometheus;
};

void TestPrometheus::initTestCase()
{
    m_prometheus = QStandardPaths::findExecutable(u"prometheus"_qs);
    if (m_prometheus.isEmpty())
        QSKIP("prometheus (Debian package prometheus, installed by scripts/install-deps.sh) is missing");
    if (readmeScrapeConfig().isEmpty())
        QFAIL("the README has no scrape config block");
    QString why;
    if (!EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"cannot make a test namespace: "_qs + why));
    if (!CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
    const QString a = u"nvm%1a"_qs.arg(::getpid());
    const QString b = u"nvm%1b"_qs.arg(::getpid());
    QString out;
    for (const QStringList &args : QList<QStringList>{
             {u"link"_qs, u"add"_qs, a, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, b},
             {u"addr"_qs, u"add"_qs, u"10.251.0.1/24"_qs, u"dev"_qs, a},
             {u"link"_qs, u"set"_qs, a, u"up"_qs},
             {u"link"_qs, u"set"_qs, b, u"up"_qs}})
        QVERIFY2(Run(u"ip"_qs, args, &out), qPrintable(args.join(u' ') + u": "_qs + out));
}

void TestPrometheus::scrapedFiguresMatchTheResultFile()
{
    IsolatedFolders folders;
    WriteSettings({{u"Default_Interval"_qs, u"200  Milliseconds"_qs},
                   {u"Default_TimeOut"_qs, u"100  Milliseconds"_qs}});
    const QString list = QDir(folders.path()).filePath(u"list.txt"_qs);
    WriteFileBytes(list, "A127.0.0.1\r\nA" + SilentAddress.toLatin1() + "\r\n \r\n");
    HeadlessChild run(Program, {u"--list"_qs, list});
    QVERIFY2(run.waitForMetrics(), run.errorText().constData());
    QElapsedTimer running;
    running.start();

    QTemporaryDir storage;
    const quint16 web = freePort();
    QString config = readmeScrapeConfig();
    config.replace(u"127.0.0.1:9374"_qs, u"127.0.0.1:%1"_qs.arg(run.port()));
    config.replace(u"scrape_interval: 15s"_qs, u"scrape_interval: 1s"_qs);
    WriteFileBytes(storage.filePath(u"prometheus.yml"_qs), config.toUtf8());
    QProcess prometheus;
    prometheus.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.start(m_prometheus, {u"--config.file="_qs + storage.filePath(u"prometheus.yml"_qs),
                                    u"--storage.tsdb.path="_qs + storage.filePath(u"data"_qs),
                                    u"--web.listen-address=127.0.0.1:%1"_qs.arg(web),
                                    u"--log.level=warn"_qs});
    QVERIFY(prometheus.waitForStarted());
    const auto stopPrometheus = qScopeGuard([&prometheus] {
        prometheus.terminate();
        if (!prometheus.waitForFinished(20000))
            prometheus.kill();
    });
    QTRY_VERIFY_WITH_TIMEOUT(HttpGet(web, "/-/ready", {}, 2000).status == 200, 30000);

    // Scraped (Prometheus asks for OpenMetrics first: a page it cannot read is not up).
    const QString ratio = u"netvane_echoes_answered_total / netvane_echoes_sent_total"_qs;
    QTRY_VERIFY_WITH_TIMEOUT(query(web, ratio).size() == 2, 30000);
    QCOMPARE(query(web, u"up"_qs).value(QString()), 1.0);
    const QHash<QString, double> answered = query(web, ratio);
    QCOMPARE(answered.value(u"127.0.0.1"_qs), 1.0);
    QCOMPARE(answered.value(SilentAddress, -1), 0.0);

    // A few scrapes more, then the run stops and its last scraped figures are compared
    // with the result file at that moment.
    QTest::qWait(3000);
    QVERIFY(run.stop(SIGTERM));
    QCOMPARE(run.process().exitCode(), 0);
    const double seconds = running.elapsed() / 1000.0;
    qsizetype loopback = 0;
    qsizetype silent = 0;
    for (const QByteArray &line : ResultFileEchoes(folders.dataFolder())) {
        const QList<QByteArray> f = line.split(',');
        if (f.value(6) == "127.0.0.1" && f.value(10) == "0")
            ++loopback;
        else if (f.value(6) == SilentAddress.toLatin1() && f.value(8) == "-1")
            ++silent;
    }
    const double perScrape = loopback / seconds + 1; // the echoes of one scrape interval
    const QHash<QString, double> counted =
        query(web, u"last_over_time(netvane_echo_rtt_seconds_count[5m])"_qs);
    const QHash<QString, double> sent = query(web, u"last_over_time(netvane_echoes_sent_total[5m])"_qs);
    qInfo("result file: %lld echoes of 127.0.0.1, %lld of %s; scraped: %.0f answered, %.0f sent",
          qlonglong(loopback), qlonglong(silent), qPrintable(SilentAddress),
          counted.value(u"127.0.0.1"_qs), sent.value(SilentAddress));
    QVERIFY(loopback > 10 && silent > 10);
    const double behind = loopback - counted.value(u"127.0.0.1"_qs, -1);
    QVERIFY2(behind >= 0 && behind <= perScrape,
             qPrintable(u"scraped %1 echoes behind the result file"_qs.arg(behind)));
    QCOMPARE(counted.value(SilentAddress, -1), 0.0);
    const double silentBehind = silent - sent.value(SilentAddress, -1);
    QVERIFY2(silentBehind >= 0 && silentBehind <= perScrape, qPrintable(QString::number(silentBehind)));
}

QTEST_GUILESS_MAIN(TestPrometheus)
#include "tst_prometheus.moc"
