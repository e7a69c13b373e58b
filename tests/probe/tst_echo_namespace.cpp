// Echoes inside a network namespace of the test's own, with a veth link that has no
// host behind it and a router namespace behind another: time-outs, unreachable
// routes, what a router answers, both kinds of socket and both families, many echoes
// in flight, a window that keeps running while it waits, and the run loop's stop
// during a pending echo.

#include "ping/pingtest.h"
#include "platform/echoengine.h"
#include "platform/icmpsocket.h"
#include "probe/echoprobe.h"
#include "support/testenv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

using namespace netvane;

namespace {
// Addresses that exist only inside this test's namespaces.
const QString LinkAddress = u"10.231.0.1"_qs;
const QString SilentNeighbour = u"10.231.0.2"_qs; // on the link, nobody answers
const QString UnreachableRoute = u"10.232.0.5"_qs; // an "unreachable" route
const QString NoRoute = u"10.233.0.5"_qs;           // no route at all
const QString LinkAddress6 = u"fd00:231::1"_qs;
const QString SilentNeighbour6 = u"fd00:231::2"_qs;
const QString UnreachableRoute6 = u"fd00:232::5"_qs;
const QString NoRoute6 = u"fd00:233::5"_qs;
// Behind a router namespace: its link, the network past it (10.242 / fd00:242), where
// no neighbour answers, and networks it refuses (unreachable fd00:243, prohibited
// fd00:244; its IPv4 route errors are rate-limited per host beyond any setting).
const QString RouterAddress = u"10.241.0.2"_qs;
const QString RouterAddress6 = u"fd00:241::2"_qs;
// A host of its own behind the router, two hops away.
const QString FarHost6 = u"fd00:245::2"_qs;

platform::IpAddress ip(const QString &text)
{
    return *platform::ParseEchoAddress(text);
}

// ping_group_range is per namespace: allowing datagram echo sockets here changes
// nothing outside the test.
bool allowDatagramSockets(bool allow = true)
{
    QFile range(u"/proc/sys/net/ipv4/ping_group_range"_qs);
    return range.open(QIODevice::WriteOnly) && range.write(allow ? "0 2147483647\n" : "1 0\n") > 0;
}

} // namespace

class TestEchoNamespace : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void silentNeighbourTimesOut_data();
    void silentNeighbourTimesOut();
    void unreachableRoutes_data();
    void unreachableRoutes();
    void bothSocketKindsAnswer_data();
    void bothSocketKindsAnswer();
    void engineSettlesManyAtOnce_data();
    void engineSettlesManyAtOnce();
    void windowKeepsRunningWhileWaiting();
    void stopDuringPendingEchoLetsItFinish();
    void slowEchoesDropTicksButNeverRecords();
    void traceIpv6OverTheRouter_data();
    void traceIpv6OverTheRouter();

private:
    QString m_router;
    QString m_farHost; // the router namespace's name, with this process's id
};

void TestEchoNamespace::initTestCase()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"cannot make a test namespace: "_qs + why));
    // IPv6 addresses are usable at once, without duplicate address detection.
    QVERIFY(test::RunAll({{u"sysctl"_qs, u"-qw"_qs, u"net.ipv6.conf.all.accept_dad=0"_qs,
                     u"net.ipv6.conf.default.accept_dad=0"_qs}}));
    const QList<QStringList> setup = {
        {u"ip"_qs, u"link"_qs, u"add"_qs, u"nvt0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvt1"_qs},
        {u"ip"_qs, u"addr"_qs, u"add"_qs, LinkAddress + u"/24"_qs, u"dev"_qs, u"nvt0"_qs},
        {u"ip"_qs, u"addr"_qs, u"add"_qs, LinkAddress6 + u"/64"_qs, u"dev"_qs, u"nvt0"_qs, u"nodad"_qs},
        {u"ip"_qs, u"link"_qs, u"set"_qs, u"nvt0"_qs, u"up"_qs},
        {u"ip"_qs, u"link"_qs, u"set"_qs, u"nvt1"_qs, u"up"_qs},
        {u"ip"_qs, u"route"_qs, u"add"_qs, u"unreachable"_qs, u"10.232.0.0/24"_qs},
        {u"ip"_qs, u"-6"_qs, u"route"_qs, u"add"_qs, u"unreachable"_qs, u"fd00:232::/64"_qs},
    };
    QVERIFY(test::RunAll(setup));

    // The router: its near side on a link to us, its far side on a link of its own
    // with a small MTU, routes that refuse, and no limit on the errors it sends.
    m_router = u"nvr%1"_qs.arg(QCoreApplication::applicationPid());
    const QString r = m_router;
    const auto in = [&r](QStringList args) { return QStringList{u"ip"_qs, u"-n"_qs, r} + args; };
    QVERIFY(test::RunAll({
        {u"ip"_qs, u"netns"_qs, u"add"_qs, r},
        {u"ip"_qs, u"link"_qs, u"add"_qs, u"nva0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvb0"_qs,
         u"netns"_qs, r},
        {u"ip"_qs, u"netns"_qs, u"exec"_qs, r, u"sysctl"_qs, u"-qw"_qs, u"net.ipv4.ip_forward=1"_qs,
         u"net.ipv6.conf.all.forwarding=1"_qs, u"net.ipv4.icmp_ratelimit=0"_qs, u"net.ipv6.icmp.ratelimit=0"_qs,
         u"net.ipv6.conf.all.accept_dad=0"_qs, u"net.ipv6.conf.default.accept_dad=0"_qs},
        {u"ip"_qs, u"addr"_qs, u"add"_qs, u"10.241.0.1/24"_qs, u"dev"_qs, u"nva0"_qs},
        {u"ip"_qs, u"addr"_qs, u"add"_qs, u"fd00:241::1/64"_qs, u"dev"_qs, u"nva0"_qs, u"nodad"_qs},
        {u"ip"_qs, u"link"_qs, u"set"_qs, u"nva0"_qs, u"up"_qs},
        in({u"addr"_qs, u"add"_qs, RouterAddress + u"/24"_qs, u"dev"_qs, u"nvb0"_qs}),
        in({u"addr"_qs, u"add"_qs, RouterAddress6 + u"/64"_qs, u"dev"_qs, u"nvb0"_qs, u"nodad"_qs}),
        in({u"link"_qs, u"set"_qs, u"nvb0"_qs, u"up"_qs}),
        in({u"link"_qs, u"set"_qs, u"lo"_qs, u"up"_qs}),
        in({u"link"_qs, u"add"_qs, u"nvc0"_qs, u"mtu"_qs, u"1280"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs,
            u"name"_qs, u"nvd0"_qs}),
        in({u"addr"_qs, u"add"_qs, u"10.242.0.1/24"_qs, u"dev"_qs, u"nvc0"_qs}),
        in({u"addr"_qs, u"add"_qs, u"fd00:242::1/64"_qs, u"dev"_qs, u"nvc0"_qs, u"nodad"_qs}),
        in({u"link"_qs, u"set"_qs, u"nvc0"_qs, u"up"_qs}),
        in({u"link"_qs, u"set"_qs, u"nvd0"_qs, u"up"_qs}),
        // A neighbour that does not answer fails within a tenth of a second.
        {u"ip"_qs, u"netns"_qs, u"exec"_qs, r, u"sysctl"_qs, u"-qw"_qs, u"net.ipv4.neigh.nvc0.mcast_solicit=1"_qs,
         u"net.ipv4.neigh.nvc0.retrans_time_ms=100"_qs, u"net.ipv6.neigh.nvc0.mcast_solicit=1"_qs,
         u"net.ipv6.neigh.nvc0.retrans_time_ms=100"_qs},
        in({u"-6"_qs, u"route"_qs, u"add"_qs, u"unreachable"_qs, u"fd00:243::/64"_qs}),
        in({u"-6"_qs, u"route"_qs, u"add"_qs, u"prohibit"_qs, u"fd00:244::/64"_qs}),
    }));
    // The far host: a namespace of its own on a third link of the router.
    m_farHost = u"nvh%1"_qs.arg(QCoreApplication::applicationPid());
    const QString h = m_farHost;
    QVERIFY(test::RunAll({
        {u"ip"_qs, u"netns"_qs, u"add"_qs, h},
        in({u"link"_qs, u"add"_qs, u"nve0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvf0"_qs,
            u"netns"_qs, h}),
        in({u"addr"_qs, u"add"_qs, u"fd00:245::1/64"_qs, u"dev"_qs, u"nve0"_qs, u"nodad"_qs}),
        in({u"link"_qs, u"set"_qs, u"nve0"_qs, u"up"_qs}),
        {u"ip"_qs, u"-n"_qs, h, u"addr"_qs, u"add"_qs, FarHost6 + u"/64"_qs, u"dev"_qs, u"nvf0"_qs, u"nodad"_qs},
        {u"ip"_qs, u"-n"_qs, h, u"link"_qs, u"set"_qs, u"nvf0"_qs, u"up"_qs},
        {u"ip"_qs, u"-n"_qs, h, u"-6"_qs, u"route"_qs, u"add"_qs, u"default"_qs, u"via"_qs, u"fd00:245::1"_qs},
    }));
    QVERIFY(test::RunAll({{u"ip"_qs, u"route"_qs, u"add"_qs, u"10.242.0.0/24"_qs, u"via"_qs, RouterAddress}}));
    for (const QString &net : {u"242"_qs, u"243"_qs, u"244"_qs, u"245"_qs}) {
        QVERIFY(test::RunAll({{u"ip"_qs, u"-6"_qs, u"route"_qs, u"add"_qs, u"fd00:%1::/64"_qs.arg(net), u"via"_qs,
                         RouterAddress6}}));
    }
}

void TestEchoNamespace::cleanupTestCase()
{
    if (!m_router.isEmpty())
        test::Run(u"ip"_qs, {u"netns"_qs, u"del"_qs, m_router});
    if (!m_farHost.isEmpty())
        test::Run(u"ip"_qs, {u"netns"_qs, u"del"_qs, m_farHost});
}

void TestEchoNamespace::traceIpv6OverTheRouter_data()
{
    QTest::addColumn<bool>("datagram");
    QTest::newRow("datagram socket, error queue") << true;
    QTest::newRow("raw socket") << false;
}

// tracert on an IPv6 target: hop 1 the router's time-exceeded, hop 2 the host's reply,
// in the layout of an IPv4 trace.
void TestEchoNamespace::traceIpv6OverTheRouter()
{
    QFETCH(bool, datagram);
    QVERIFY(allowDatagramSockets(datagram));
    QString out;
    const bool ran = test::Run(QStringLiteral(TRACERT_PATH), {u"-d"_qs, u"-w"_qs, u"2000"_qs, FarHost6}, &out);
    allowDatagramSockets();
    QVERIFY2(ran, qPrintable(out));
    const QStringList lines = out.split(u'\n');
    QVERIFY2(lines.size() == 9, qPrintable(out));
    QCOMPARE(lines.at(1), u"Tracing route to "_qs + FarHost6);
    const QRegularExpression hop(u"^\\s*\\d+\\s+((<1|\\d+) ms\\s+){3}(\\S+)$"_qs);
    const QRegularExpressionMatch first = hop.match(lines.at(4)), second = hop.match(lines.at(5));
    QVERIFY2(first.hasMatch() && second.hasMatch(), qPrintable(out));
    QCOMPARE(first.captured(3), RouterAddress6);
    QCOMPARE(second.captured(3), FarHost6);
    QCOMPARE(lines.at(7), u"Trace complete."_qs);
}

void TestEchoNamespace::silentNeighbourTimesOut_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("timeout");
    QTest::newRow("300 ms") << SilentNeighbour << 300;
    QTest::newRow("zero") << SilentNeighbour << 0;
    QTest::newRow("IPv6, 300 ms") << SilentNeighbour6 << 300;
}

void TestEchoNamespace::silentNeighbourTimesOut()
{
    QFETCH(QString, address);
    QFETCH(int, timeout);
    platform::SetEchoSocketKind(platform::EchoSocketKind::Automatic);
    PingTimeout = timeout;
    EchoReply reply;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(SendEcho(address, QByteArray(32, ' '), reply), 11010);
    QVERIFY2(clock.elapsed() >= timeout, "gave up before the time-out");
    QCOMPARE(EchoStatusText(11010), u"Request  timed  out."_qs);
}

void TestEchoNamespace::unreachableRoutes_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("unreachable route") << UnreachableRoute;
    QTest::newRow("no route") << NoRoute;
    QTest::newRow("IPv6 unreachable route") << UnreachableRoute6;
    QTest::newRow("IPv6 no route") << NoRoute6;
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
    QVERIFY(allowDatagramSockets());

    platform::SetEchoSocketKind(platform::EchoSocketKind(kind));
    for (const auto &[loopback, link, silent] : {std::tuple{u"127.0.0.1"_qs, LinkAddress, SilentNeighbour},
                                                  {u"::1"_qs, LinkAddress6, SilentNeighbour6}}) {
        PingTimeout = 1000;
        EchoReply reply;
        QCOMPARE(SendEcho(loopback, QByteArray(56, ' '), reply), 0);
        QCOMPARE(reply.ttl, quint8(64));
        QCOMPARE(reply.dataSize, quint16(56));
        // The link's own address answers too, and a silent neighbour times out.
        QCOMPARE(SendEcho(link, QByteArray(8, ' '), reply), 0);
        PingTimeout = 200;
        QCOMPARE(SendEcho(silent, QByteArray(8, ' '), reply), 11010);
    }
    platform::SetEchoSocketKind(platform::EchoSocketKind::Automatic);
}

void TestEchoNamespace::engineSettlesManyAtOnce_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("datagram") << int(platform::EchoSocketKind::Datagram);
    QTest::newRow("raw") << int(platform::EchoSocketKind::Raw);
}

// Echoes of both families in flight together on one engine, each with its own
// deadline and hop limit: every one settles once, with its tag, its status and who
// answered -- the target, a router on the way, or nobody in time.
void TestEchoNamespace::engineSettlesManyAtOnce()
{
    QFETCH(int, kind);
    QVERIFY(allowDatagramSockets());
    struct Case {
        QString to;
        int hopLimit, payload, timeoutMs;
        uint32_t status;
        QString from; // empty: nobody
    };
    // Path MTUs are kept per destination: each socket kind gets its own too-big one.
    const QString big = QString::number(20 + kind);
    const QList<Case> cases = {
        {u"127.0.0.1"_qs, 0, 32, 1000, 0, u"127.0.0.1"_qs},
        {LinkAddress, 0, 32, 1000, 0, LinkAddress},
        {SilentNeighbour, 0, 32, 300, 11010, {}},
        {u"10.242.0.7"_qs, 1, 32, 2000, 11013, RouterAddress},
        {u"10.242.0.8"_qs, 0, 32, 2000, 11003, RouterAddress},
        {u"10.242.0."_qs + big, 0, 1400, 2000, 11009, RouterAddress},
        {NoRoute, 0, 32, 1000, 11003, {}},
        {u"::1"_qs, 0, 32, 1000, 0, u"::1"_qs},
        {LinkAddress6, 0, 32, 1000, 0, LinkAddress6},
        {SilentNeighbour6, 0, 32, 300, 11010, {}},
        {u"fd00:242::7"_qs, 1, 32, 2000, 11013, RouterAddress6},
        {u"fd00:242::8"_qs, 0, 32, 2000, 11003, RouterAddress6},
        {u"fd00:243::7"_qs, 0, 32, 2000, 11002, RouterAddress6},
        {u"fd00:244::7"_qs, 0, 32, 2000, 11004, RouterAddress6},
        {u"fd00:242::"_qs + big, 0, 1400, 2000, 11009, RouterAddress6},
        {NoRoute6, 0, 32, 1000, 11003, {}},
    };
    platform::EchoEngine engine{platform::EchoSocketKind(kind)};
    const std::string payload(1400, 'a');
    for (qsizetype i = 0; i < cases.size(); ++i) {
        platform::EchoRequest r;
        r.to = ip(cases[i].to);
        r.hopLimit = cases[i].hopLimit;
        r.payload = std::string_view(payload).substr(0, size_t(cases[i].payload));
        r.timeoutMs = cases[i].timeoutMs;
        r.tag = quint64(100 + i);
        engine.send(r);
        QCOMPARE(engine.isDatagram(r.to.family), kind == int(platform::EchoSocketKind::Datagram));
    }
    // One more that is called off: nothing comes for it.
    engine.send({ip(SilentNeighbour6), {}, 0, 100, 999});
    engine.cancel(999);

    std::vector<platform::EchoOutcome> settled;
    const auto until = platform::SteadyClock::now() + std::chrono::seconds(5);
    while (settled.size() < size_t(cases.size()) && platform::SteadyClock::now() < until)
        engine.poll(until, settled);
    QCOMPARE(engine.inFlight(), size_t(0));
    QCOMPARE(settled.size(), size_t(cases.size()));
    QSet<quint64> seen;
    for (const platform::EchoOutcome &o : settled) {
        QVERIFY2(o.tag >= 100 && o.tag < quint64(100 + cases.size()), qPrintable(QString::number(o.tag)));
        QVERIFY(!seen.contains(o.tag));
        seen.insert(o.tag);
        const Case &c = cases[qsizetype(o.tag - 100)];
        QVERIFY2(o.status == c.status, qPrintable(c.to + u": "_qs + QString::number(o.status)));
        QCOMPARE(o.from, c.from.isEmpty() ? platform::IpAddress{} : ip(c.from));
        if (c.status == 0) {
            QCOMPARE(o.ttl, 64);
            QCOMPARE(o.dataSize, size_t(c.payload));
        }
        if (c.status == 11010) // not a moment before its own deadline
            QVERIFY(o.received - o.sent >= std::chrono::milliseconds(c.timeoutMs));
    }
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
