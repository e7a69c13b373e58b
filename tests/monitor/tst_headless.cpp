// The real program run headless, as on a bare server (no display): its command line,
// the refusals that leave the previous results alone, a full disk, a stop by signal
// whose result file the window then reloads whole, and bad clients that neither stop
// the endpoint nor stall the echoes.

#include "app/formtester.h"
#include "ping/resultstore.h"
#include "support/headless.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace netvane;
using namespace netvane::test;

namespace {
const QString Program = QStringLiteral(NETVANE_PATH);

QByteArray resultFile(const QString &dataFolder)
{
    QFile f(QDir(dataFolder).filePath(ResultFileName));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestHeadless : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void refusalKeepsThePreviousResults_data();
    void refusalKeepsThePreviousResults();
    void fullDiskEndsTheRunWithItsReason();
    void signalStopsAndTheWindowReloadsWhole_data();
    void signalStopsAndTheWindowReloadsWhole();
    void badClientsStallNothing();
};

void TestHeadless::initTestCase()
{
    if (!CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
}

void TestHeadless::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said"); // on the standard output for 0, else on the error
    QTest::newRow("help") << QStringList{u"--help"_qs} << 0 << QByteArray("Usage: netvane [--headless");
    QTest::newRow("version") << QStringList{u"-v"_qs} << 0 << QByteArray("Netvane 9.10\n");
    QTest::newRow("unknown option") << QStringList{u"--bogus"_qs} << 2 << QByteArray("unknown option --bogus");
    QTest::newRow("option without --headless") << QStringList{u"--list=a.txt"_qs} << 2
                                               << QByteArray("--list is an option of --headless");
    QTest::newRow("value missing") << QStringList{u"--headless"_qs, u"--data"_qs} << 2
                                   << QByteArray("--data needs a value");
    QTest::newRow("no look-up of a name") << QStringList{u"--headless"_qs, u"--metrics"_qs, u"localhost:80"_qs}
                                          << 2 << QByteArray("\"localhost\" is no IPv4 address");
}

void TestHeadless::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    IsolatedFolders folders;
    QProcess p;
    p.setProcessEnvironment([] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_qs);
        return env;
    }());
    p.start(Program, arguments);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), exitCode);
    const QByteArray out = p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    QVERIFY2((exitCode == 0 ? out : err).contains(said), (out + err).constData());
    QCOMPARE(err.contains("Usage: netvane"), exitCode == 2);
    QVERIFY(resultFile(folders.dataFolder()).isEmpty()); // nothing ran
}

void TestHeadless::refusalKeepsThePreviousResults_data()
{
    QTest::addColumn<QString>("why");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("no list in the data folder") << u"no list"_qs << QByteArray("there is no list at");
    QTest::newRow("a list without targets") << u"empty list"_qs << QByteArray("gives no target to ping");
    QTest::newRow("a saved interval that cannot be used") << u"interval"_qs << QByteArray("Inalid Test Interval.");
    QTest::newRow("a saved outage rule out of its range") << u"outage"_qs << QByteArray("from 1 to 1000");
    QTest::newRow("the endpoint's port is taken") << u"port"_qs << QByteArray("Cannot serve the metrics on");
    QTest::newRow("another run on the data folder") << u"second"_qs << QByteArray("already runs on the data folder");
}

void TestHeadless::refusalKeepsThePreviousResults()
{
    QFETCH(QString, why);
    QFETCH(QByteArray, said);
    IsolatedFolders folders;
    const QByteArray previous = "1,1,1\r\n2026,12,07,21,05,09,127.0.0.1,32,0,64,0\r\n";
    WriteFileBytes(QDir(folders.dataFolder()).filePath(ResultFileName), previous);
    QStringList arguments{u"--list"_qs, WriteList(folders.path(), {u"A127.0.0.1"_qs})};
    QTcpServer taken;
    std::unique_ptr<HeadlessChild> first;
    if (why == u"no list")
        arguments.clear();
    else if (why == u"empty list")
        arguments = QStringList{u"--list"_qs, WriteList(folders.path(), {})};
    else if (why == u"interval")
        WriteSettings({{u"Default_Interval"_qs, u"abc"_qs}});
    else if (why == u"outage")
        WriteSettings({{u"Default_OutageAfter"_qs, u"0"_qs}});
    else if (why == u"port" && taken.listen(QHostAddress::LocalHost))
        arguments << u"--metrics"_qs << u"127.0.0.1:%1"_qs.arg(taken.serverPort());
    else if (why == u"second")
        first = std::make_unique<HeadlessChild>(Program, arguments);
    QVERIFY(!first || first->waitForMetrics());
    const QByteArray before = resultFile(folders.dataFolder());

    HeadlessChild refused(Program, arguments);
    QVERIFY(refused.process().waitForFinished(30000));
    QCOMPARE(refused.process().exitCode(), 1);
    QVERIFY2(refused.errorText().contains(said), refused.errorText().constData());
    // Untouched, or the first run's file still growing.
    QVERIFY(resultFile(folders.dataFolder()).startsWith(first ? before : previous));
    QCOMPARE(resultFile(folders.dataFolder()) == previous, !first);
}

void TestHeadless::fullDiskEndsTheRunWithItsReason()
{
    IsolatedFolders folders;
    const QString data = QDir(folders.path()).filePath(u"full"_qs);
    FullDisk disk;
    if (QString why; !disk.mount(data, &why))
        QSKIP(qPrintable(why));
    WriteSettings({{u"Default_Interval"_qs, u"10"_qs}});
    HeadlessChild run(Program, {u"--list"_qs, WriteList(folders.path(), {u"A127.0.0.1"_qs}), u"--data"_qs, data});
    QVERIFY2(run.waitForMetrics(), run.errorText().constData());
    QTRY_VERIFY_WITH_TIMEOUT(ResultFileEchoes(data).size() >= 5, 10000);
    disk.fill();
    // Nobody would press Stop: the run ends by itself, says why, and every line is whole.
    QVERIFY(run.process().waitForFinished(20000));
    QCOMPARE(run.process().exitCode(), 1);
    QVERIFY2(run.errorText().contains("Cannot write the result file: No space left on device"),
             run.errorText().constData());
    QVERIFY(resultFile(data).endsWith("\r\n"));
    for (const QByteArray &line : ResultFileEchoes(data))
        QCOMPARE(line.split(',').size(), 11);
}

void TestHeadless::signalStopsAndTheWindowReloadsWhole_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

void TestHeadless::signalStopsAndTheWindowReloadsWhole()
{
    QFETCH(int, signalNumber);
    IsolatedFolders folders;
    WriteSettings({{u"Default_Interval"_qs, u"20  Milliseconds"_qs}, {u"Default_RepeatIP"_qs, u"2"_qs}});
    const QString list = WriteList(folders.path(), {u"A127.0.0.1"_qs, u"BLoop,127.0.0.2,127.0.0.3"_qs});
    HeadlessChild run(Program, {u"--list"_qs, list, u"--data"_qs, folders.dataFolder()});
    QVERIFY2(run.waitForMetrics(), run.errorText().constData());
    QTRY_VERIFY_WITH_TIMEOUT(ResultFileEchoes(folders.dataFolder()).size() >= 30, 20000);
    QVERIFY(run.stop(signalNumber));
    QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process().exitCode(), 0);
    const QByteArray file = resultFile(folders.dataFolder());
    QVERIFY2(file.startsWith("3,1,2\r\n") && file.endsWith("\r\n"), file.right(80).constData());
    // Each tick: every target twice, in list order, each answered.
    const QList<QByteArray> echoes = ResultFileEchoes(folders.dataFolder());
    for (qsizetype i = 0; i < echoes.size(); ++i)
        QCOMPARE(echoes[i].split(',').mid(6), (QList<QByteArray>{"127.0.0." + QByteArray::number(i / 2 % 3 + 1),
                                                                 "32", echoes[i].split(',').value(8), "64", "0"}));

    ScriptedUi ui;
    FormTester window; // shows the run again, every echo of it
    QCOMPARE(window.pingTest()->log().size(), echoes.size());
    QCOMPARE(window.pingTest()->stats().sent, echoes.size());
    QCOMPARE(window.pingTest()->stats().lost, 0);
    QCOMPARE(window.pingTest()->targets().size(), 3);
    QVERIFY2(ui.boxes.isEmpty(), qPrintable(ui.texts().join(u'\n')));
}

void TestHeadless::badClientsStallNothing()
{
    IsolatedFolders folders;
    rlimit files = {};
    ::getrlimit(RLIMIT_NOFILE, &files); // room for 1,000 connections of our own
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
    WriteSettings({{u"Default_Interval"_qs, u"10  Milliseconds"_qs}});
    HeadlessChild run(Program, {u"--list"_qs, WriteList(folders.path(), {u"A127.0.0.1"_qs})});
    QVERIFY2(run.waitForMetrics(), run.errorText().constData());
    QTRY_VERIFY_WITH_TIMEOUT(ResultFileEchoes(folders.dataFolder()).size() >= 50, 20000);

    // 1,000 connections at once, each a kind of trouble.
    const qsizetype echoesBefore = ResultFileEchoes(folders.dataFolder()).size();
    QElapsedTimer during;
    during.start();
    const QList<QByteArray> troubles{
        QByteArray("GARBAGE\x00\xff\r\n\r\n", 13),
        "GET /metrics HTTP/9.9 extra words\r\n\r\n",
        "GET /metrics HTTP/1.1\r\nX-Big: " + QByteArray(200000, 'a') + "\r\n\r\n",
        "POST /metrics HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n" + QByteArray(100000, 'b'),
        "GET /metrics HTTP/1.1\r\nHost: x\r\n", // never finished
    };
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 1000; ++i) {
        QTcpSocket *s = clients.emplace_back(std::make_unique<QTcpSocket>()).get();
        connect(s, &QTcpSocket::connected, s, [s, trouble = troubles[i % troubles.size()]] { s->write(trouble); });
        s->connectToHost(QHostAddress::LocalHost, run.port());
    }
    // A slow client sends its request a few bytes at a time; /metrics answers meanwhile.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, run.port());
    QVERIFY(slow.waitForConnected(10000));
    const QByteArray slowRequest = "GET /metrics HTTP/1.1\r\nHost: slow\r\n\r\n";
    for (int i = 0; i < 10; ++i) {
        slow.write(slowRequest.mid(i * 4, 4));
        QTest::qWait(100);
        if (i % 3 == 0)
            QCOMPARE(HttpGet(run.port(), "/metrics").status, 200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(slow.bytesAvailable() > 0, 5000);
    QVERIFY(slow.readAll().startsWith("HTTP/1.1 200 OK"));
    const HttpAnswer page = HttpGet(run.port(), "/metrics");
    QCOMPARE(page.status, 200);
    const double seconds = during.elapsed() / 1000.0;
    const qsizetype echoed = ResultFileEchoes(folders.dataFolder()).size() - echoesBefore;
    qInfo("%lld echoes in %.1f s while 1,000 clients misbehaved", qlonglong(echoed), seconds);
    QVERIFY(echoed >= seconds * 100 * 0.5); // a stall, not a speed: about 100 a second
    clients.clear();

    // The page passes Prometheus's own check.
    const QString promtool = QStandardPaths::findExecutable(u"promtool"_qs);
    if (promtool.isEmpty())
        QSKIP("promtool (Debian package prometheus) is not installed: the page is not checked");
    QProcess check;
    check.start(promtool, {u"check"_qs, u"metrics"_qs});
    check.write(page.body);
    check.closeWriteChannel();
    QVERIFY(check.waitForFinished(20000));
    QVERIFY2(check.exitCode() == 0, (check.readAll() + check.readAllStandardError()).constData());
}

QTEST_MAIN(TestHeadless)
#include "tst_headless.moc"
