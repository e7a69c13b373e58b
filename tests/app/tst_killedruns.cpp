// The program killed with SIGKILL while a ping test, a traceroute, a path run or a scan
// runs loses nothing it has shown: the next start shows the ping test's echoes, the
// trace's lines, the path run's rounds and, after a scan, the ping test that was on show
// before it. Its tracert commands end with it.

#include "app/formtester.h"
#include "ping/pingtest.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/pathpanel.h"
#include "traceroute/tracertpanel.h"
#include "traceroute/tracerun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace netvane;

class TestKilledRuns : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nextStartShowsWhatWasShown_data();
    void nextStartShowsWhatWasShown();
    void tracesEndWithTheWindow();
};

void TestKilledRuns::nextStartShowsWhatWasShown_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("shownKind"); // lines counted before the kill
    QTest::addColumn<int>("shownBeforeKill");
    QTest::newRow("ping test at 1 ms") << u"ping"_qs << QByteArray("echo ") << 300;
    QTest::newRow("traceroute of 200 hosts") << u"trace"_qs << QByteArray("trace ") << 100;
    QTest::newRow("scan of a /24") << u"scan"_qs << QByteArray("scan ") << 20;
    QTest::newRow("path statistics at 5 ms") << u"path"_qs << QByteArray("path ") << 30;
}

void TestKilledRuns::nextStartShowsWhatWasShown()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, shownKind);
    QFETCH(int, shownBeforeKill);
    test::IsolatedFolders folders; // the child inherits the same folders
    test::ScriptedUi ui;

    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QStringLiteral(KILLCHILD_PATH), {mode});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
    QByteArray printed;
    QElapsedTimer waited;
    waited.start();
    while (printed.count("\n" + shownKind) < shownBeforeKill && waited.elapsed() < 60000
           && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        printed += child.readAllStandardOutput();
    }
    child.kill(); // SIGKILL: nothing closed, flushed or saved
    QVERIFY(child.waitForFinished(10000));
    printed += child.readAllStandardOutput();
    QVERIFY2(printed.count("\n" + shownKind) >= shownBeforeKill,
             (printed.right(2000) + child.readAllStandardError()).constData());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QVERIFY2(!printed.contains("\nbox "), printed.constData());

    // What was shown, whole lines only (a line cut by the kill does not count).
    QList<QByteArray> lines = printed.split('\n');
    lines.removeLast();

    FormTester next; // the next start
    if (mode == u"ping") {
        qsizetype echoes = 0;
        for (const QByteArray &line : std::as_const(lines))
            if (line.startsWith("echo "))
                QCOMPARE(line.mid(5).toLongLong(), echoes++);
        QVERIFY2(next.pingTest()->log().size() >= echoes,
                 qPrintable(u"%1 echoes shown again, %2 shown"_qs.arg(next.pingTest()->log().size()).arg(echoes)));
        QVERIFY(next.pingTest()->log().size() <= echoes + 1);
    } else if (mode == u"trace") {
        TraceRun *run = next.tracertPanel()->run();
        if (run->isReloading()) { // a long run's files are read a slice at a time
            QSignalSpy reloaded(run, &TraceRun::reloaded);
            QVERIFY(reloaded.wait(10000));
        }
        const QList<TraceHost> &hosts = run->hosts();
        QCOMPARE(hosts.size(), 200);
        for (const QByteArray &line : std::as_const(lines)) {
            if (!line.startsWith("trace "))
                continue;
            const QList<QByteArray> f = line.split(' ');
            const int host = f.at(1).toInt();
            const int j = f.at(2).toInt();
            const QString shown = QString::fromUtf8(line.mid(f.at(0).size() + f.at(1).size() + f.at(2).size() + 3));
            if (shown.contains(u"Tracing route to"_qs))
                QVERIFY2(shown.contains(u"Tracing route to 127.0.1."_qs), qPrintable(shown));
            const QString again = hosts.at(host).lines.entry(j);
            // A finished trace's last line carries its times only while the run is on show.
            QVERIFY2(again == shown || (shown.startsWith(again + u"      From  "_qs) && !again.isEmpty()),
                     qPrintable(u"host %1 line %2: shown \"%3\", now \"%4\""_qs.arg(host).arg(j).arg(shown, again)));
        }
    } else if (mode == u"path") {
        qint64 shown = 0;
        for (const QByteArray &line : std::as_const(lines))
            if (line.startsWith("path "))
                shown = std::max(shown, line.mid(5).toLongLong());
        QCOMPARE(next.function(), u"Path"_qs);
        const QList<PathTrace> &traces = next.pathPanel()->run()->traces();
        QCOMPARE(traces.size(), 1);
        QVERIFY2(traces[0].hops().value(0).stats.sent() >= shown,
                 qPrintable(u"%1 shown, %2 read back"_qs.arg(shown).arg(traces[0].hops().value(0).stats.sent())));
    } else {
        qsizetype before = -1;
        for (const QByteArray &line : std::as_const(lines))
            if (line.startsWith("ready "))
                before = line.mid(6).toLongLong();
        QCOMPARE(before, 20);
        QCOMPARE(next.pingTest()->log().size(), before);
        QCOMPARE(next.pingTest()->stats().lost, 0);
    }
}

// Two traces of hosts nobody answers for would run on for half a minute: killing the
// window ends them at once, so nothing keeps appending to its files.
void TestKilledRuns::tracesEndWithTheWindow()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(why));
    // Frames for 10.232.0.5 and .6 go out on a link where nobody takes them.
    const QString near = u"nvk"_qs + QString::number(::getpid());
    const QString setup[] = {
        u"link add %1 type veth peer name nvl%2"_qs.arg(near).arg(::getpid()),
        u"addr add 10.232.0.1/24 dev "_qs + near, u"link set %1 up"_qs.arg(near),
        u"link set nvl%1 up"_qs.arg(::getpid()),
        u"neigh add 10.232.0.5 lladdr 02:00:00:00:00:05 dev %1 nud permanent"_qs.arg(near),
        u"neigh add 10.232.0.6 lladdr 02:00:00:00:00:06 dev %1 nud permanent"_qs.arg(near)};
    for (const QString &args : setup)
        QVERIFY2(test::Run(u"ip"_qs, args.split(u' '), &why), qPrintable(args + u": "_qs + why));
    test::IsolatedFolders folders;
    QProcess child;
    child.start(QStringLiteral(KILLCHILD_PATH), {u"traceslow"_qs});
    QByteArray printed;
    while (printed.count("launched ") < 2 && child.waitForReadyRead(10000))
        printed += child.readAllStandardOutput();
    QCOMPARE(printed.count("launched "), 2);
    // "PID (tracert) STATE PARENT ...": the window's tracert children, and which run.
    const auto tracesOf = [](qint64 parent) {
        QStringList running;
        for (const QString &pid : QDir(u"/proc"_qs).entryList(QDir::Dirs)) {
            QFile stat(u"/proc/"_qs + pid + u"/stat"_qs);
            const QList<QByteArray> f = stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ')
                                                                       : QList<QByteArray>();
            if (f.size() > 3 && f[1] == "(tracert)" && f[2] != "Z" && (!parent || f[3].toLongLong() == parent))
                running << pid;
        }
        return running;
    };
    const QStringList traces = tracesOf(child.processId());
    QCOMPARE(traces.size(), 2);
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    const auto stillRunning = [&] {
        const QStringList now = tracesOf(0);
        return int(std::count_if(traces.begin(), traces.end(),
                                 [&](const QString &p) { return now.contains(p); }));
    };
    QTRY_COMPARE_WITH_TIMEOUT(stillRunning(), 0, 5000);
}

QTEST_MAIN(TestKilledRuns)
#include "tst_killedruns.moc"
