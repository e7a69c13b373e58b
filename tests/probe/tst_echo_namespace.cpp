// Echoes inside a network namespace of the test's own, with a veth link that has no
// host behind it: time-outs, unreachable routes, both kinds of socket, a window that
// keeps running while it waits, and the run loop's stop during a pending echo.

#include "ping/pingtest.h"
#include "platform/icmpsocket.h"
#include "probe/echoprobe.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

using namespace netvane;

namespace {
// Addresses that exist only inside this test's namespace.
const QString LinkAddress = u"10.231.0.1"_qs;
const QString SilentNeighbour = u"10.231.0.2"_qs; // on the link, nobody answers
const QString UnreachableRoute = u"10.232.0.5"_qs; // an "unreachable" route
const QString NoRoute = u"10.233.0.5"_qs;           // no route at all
} // namespace

class TestEchoNamespace : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void silentNeighbourTimesOut_data();
    void silentNeighbourTimesOut();
    void unreachableRoutes_data();
    void unreachableRoutes();
    void bothSocketKindsAnswer_data();
    void bothSocketKindsAnswer();
    void windowKeepsRunningWhileWaiting();
    void stopDuringPendingEchoLetsItFinish();
    void slowEchoesDropTicksButNeverRecords();
};

void TestEchoNamespace::initTestCase()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"cannot make a test namespace: "_qs + why));
    QString out;
    const QList<QStringList> setup = {
        {u"link"_qs, u"add"_qs, u"nvt0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvt1"_qs},
        {u"addr"_qs, u"add"_qs, LinkAddress + u"/24"_qs, u"dev"_qs, u"nvt0"_qs},
        {u"link"_qs, u"set"_qs, u"nvt0"_qs, u"up"_qs},
        {u"link"_qs, u"set"_qs, u"nvt1"_qs, u"up"_qs},
        {u"route"_qs, u"add"_qs, u"unreachable"_qs, u"10.232.0.0/24"_qs},
    };
    for (const QStringList &args : setup)
        QVERIFY2(test::Run(u"ip"_qs, args, &out), qPrintable(args.join(u' ') + u": "_qs + out));
}

void TestEchoNamespace::silentNeighbourTimesOut_data()
{
    QTest::addColumn<int>("timeout");
    QTest::newRow("300 ms") << 300;
    QTest::newRow("zero") << 0;
}

void TestEchoNamespace::silentNeighbourTimesOut()
{
    QFETCH(int, timeout);
    platform::SetEchoSocketKind(platform::EchoSocketKind::Automatic);
    PingTimeout = timeout;
    EchoReply reply;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(SendEcho(SilentNeighbour, QByteArray(32, ' '), reply), 11010);
    QVERIFY2(clock.elapsed() >= timeout, "gave up before the time-out");
    QCOMPARE(EchoStatusText(11010), u"Request  timed  out."_qs);
}

void TestEchoNamespace::unreachableRoutes_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("unreachable route") << UnreachableRoute;
    QTest::newRow("no route") << NoRoute;
}

void TestEchoNamespace::unreachableRoutes()
{
    QFETCH(QString, address);
    PingTimeout = 500;
    EchoReply reply;
    const qint32 status = SendEcho(address, QByteArray(32, ' '), reply);
    QCOMPARE(status, 11003);
    QVERIFY(EchoStatusText(status).contains(u"unreachable"_qs));
}

void TestEchoNamespace::bothSocketKindsAnswer_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("datagram") << int(platform::EchoSocketKind::Datagram);
    QTest::newRow("raw") << int(platform::EchoSocketKind::Raw);
}

void TestEchoNamespace::bothSocketKindsAnswer()
{
    QFETCH(int, kind);
    // ping_group_range is per namespace: allowing datagram echo sockets here changes
    // nothing outside the test.
    QFile range(u"/proc/sys/net/ipv4/ping_group_range"_qs);
    QVERIFY(range.open(QIODevice::WriteOnly));
    range.write("0 2147483647\n");
    range.close();

    platform::SetEchoSocketKind(platform::EchoSocketKind(kind));
    PingTimeout = 1000;
    EchoReply reply;
    QCOMPARE(SendEcho(u"127.0.0.1"_qs, QByteArray(56, ' '), reply), 0);
    QCOMPARE(reply.ttl, quint8(64));
    QCOMPARE(reply.dataSize, quint16(56));
    // The link's own address answers too, and a silent neighbour times out.
    QCOMPARE(SendEcho(LinkAddress, QByteArray(8, ' '), reply), 0);
    PingTimeout = 200;
    QCOMPARE(SendEcho(SilentNeighbour, QByteArray(8, ' '), reply), 11010);
    platform::SetEchoSocketKind(platform::EchoSocketKind::Automatic);
}

void TestEchoNamespace::windowKeepsRunningWhileWaiting()
{
    PingTimeout = 1000;
    QTimer ticker;
    int ticks = 0;
    qint64 longestGap = 0;
    QElapsedTimer sinceLast;
    sinceLast.start();
    connect(&ticker, &QTimer::timeout, this, [&] {
        ++ticks;
        longestGap = qMax(longestGap, sinceLast.restart());
    });
    ticker.start(10);
    EchoReply reply;
    sinceLast.restart();
    QCOMPARE(SendEcho(SilentNeighbour, QByteArray(32, ' '), reply), 11010);
    ticker.stop();
    qInfo("timer ran %d times during a 1000 ms wait; longest gap %lld ms", ticks, longestGap);
    QVERIFY2(ticks >= 10, "the event loop did not run while the echo waited");
}

void TestEchoNamespace::stopDuringPendingEchoLetsItFinish()
{
    PingTimeout = 600;
    PingTest test;
    test.interval = 50;
    QSignalSpy finished(&test, &PingTest::finished);
    QSignalSpy recorded(&test, &PingTest::replyRecorded);
    // Stop is pressed while the first echo waits (the window's events run meanwhile).
    bool stoppedWhilePending = false;
    bool finishTimerStarted = false;
    QTimer stopper;
    connect(&stopper, &QTimer::timeout, this, [&] {
        if (test.pingInProgress() && !test.stopRequested()) {
            test.requestStop();
            stoppedWhilePending = true;
            finishTimerStarted = test.finishTimer()->isActive();
        }
    });
    stopper.start(20);
    test.begin({{SilentNeighbour, SilentNeighbour}});
    // The finishing timer waits while the echo is pending; the echo is logged.
    QVERIFY(finished.wait(5000));
    QVERIFY(stoppedWhilePending);
    QVERIFY(finishTimerStarted);
    QCOMPARE(recorded.count(), 1);
    QCOMPARE(test.log().size(), 1);
    QCOMPARE(test.log().at(0).status, 11010);
    QCOMPARE(test.log().at(0).time, -1);
    QVERIFY(!test.isRunning());
    QVERIFY(!test.tickTimer()->isActive());
}

void TestEchoNamespace::slowEchoesDropTicksButNeverRecords()
{
    // Each echo waits 150 ms while the timer asks for a tick every 10 ms.
    PingTimeout = 150;
    PingTest test;
    test.interval = 10;
    test.repeatPerTarget = 2;
    QList<int> rows;
    connect(&test, &PingTest::replyRecorded, this, [&](int row, const ReplyRowTexts &) { rows << row; });
    test.begin({{SilentNeighbour, SilentNeighbour}, {u"127.0.0.1"_qs, u"127.0.0.1"_qs}});
    QTest::qWait(1200);
    test.requestStop();
    QSignalSpy finished(&test, &PingTest::finished);
    QVERIFY(finished.wait(3000));
    QVERIFY(rows.size() >= 4);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i], i); // unique and dense
    QCOMPARE(test.log().size(), rows.size());
    QCOMPARE(test.stats().sent, rows.size());
    // Within each tick the order is target 1 twice, then target 2 twice.
    for (int i = 0; i + 3 < rows.size(); i += 4) {
        QCOMPARE(test.log().address(test.log().at(i)), SilentNeighbour);
        QCOMPARE(test.log().address(test.log().at(i + 1)), SilentNeighbour);
        QCOMPARE(test.log().address(test.log().at(i + 2)), u"127.0.0.1"_qs);
        QCOMPARE(test.log().address(test.log().at(i + 3)), u"127.0.0.1"_qs);
    }
}

QTEST_MAIN(TestEchoNamespace)
#include "tst_echo_namespace.moc"
