// A path run through a chain of namespaces of the test's own: client -> r1 -> r2 ->
// r3 -> target, IPv4 and IPv6 (ULA) on every link, where r2 drops a quarter of the ICMP
// and ICMPv6 it forwards. Hops 1 and 2 lose nothing, the loss begins at hop 3 (r3, the
// first hop behind r2) and holds there at what the rule makes (request and answer both
// cross r2: 1 - 0.75^2 = 43.75 %); a router that forwards but sends no time-exceeded
// shows "no answer" and is never blamed, also for 64 targets at once; a route change
// finds the hops again; the log reads back to the figures shown.

#include "platform/echoengine.h"
#include "support/testenv.h"
#include "traceroute/pathrun.h"

#include <QtTest>

using namespace netvane;

namespace {
const QString Target = u"10.71.4.2"_qs;
constexpr double ExpectedLoss = 43.75;
constexpr double Band = 10.0; // four standard deviations at 400 rounds

QStringList split(const QString &line)
{
    return line.split(u' ', Qt::SkipEmptyParts);
}
} // namespace

class TestPathRun : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void lossBeginsBehindTheDroppingRouter_data();
    void lossBeginsBehindTheDroppingRouter();
    void silentRouterIsNotBlamedFor64Targets();
    void routeChangeFindsTheHopsAgain();

private:
    void run(PathRun &path, const QList<PingTarget> &targets, int intervalMs, int rounds);
    QStringList m_spaces;
    QTemporaryDir m_data;
};

void TestPathRun::initTestCase()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"cannot make a test namespace: "_qs + why));
    if (!test::Run(u"nft"_qs, {u"--version"_qs}))
        QSKIP("nft (nftables) is not installed");
    platform::SetDefaultEchoSocketKind(platform::EchoSocketKind::Raw);
    const QString pid = QString::number(QCoreApplication::applicationPid());
    for (const QString &name : {u"r1"_qs, u"r2"_qs, u"r3"_qs, u"tg"_qs})
        m_spaces << u"nvp%1%2"_qs.arg(name, pid);
    const auto in = [](const QString &ns, const QString &command) {
        return QStringList{u"ip"_qs, u"netns"_qs, u"exec"_qs, ns} + split(command);
    };
    QList<QStringList> setup;
    for (const QString &ns : std::as_const(m_spaces)) {
        setup << QStringList{u"ip"_qs, u"netns"_qs, u"add"_qs, ns};
        setup << in(ns, u"ip link set lo up"_qs);
        setup << in(ns, u"sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0 "
                        "net.ipv4.icmp_msgs_per_sec=1000000 net.ipv4.icmp_msgs_burst=1000000 "
                        "net.ipv6.conf.all.forwarding=1 net.ipv6.icmp.ratelimit=0 "
                        "net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0"_qs);
    }
    setup << split(u"sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0"_qs);
    // Link n joins 10.71.n.1 (the side nearer the client) and 10.71.n.2.
    const QStringList sides = {QString(), m_spaces[0], m_spaces[1], m_spaces[2], m_spaces[3]};
    for (int n = 1; n <= 4; ++n) {
        const QString a = u"nvpa%1"_qs.arg(n), b = u"nvpb%1"_qs.arg(n);
        const QString near = sides[n - 1], far = sides[n];
        setup << split(u"ip link add %1 type veth peer name %2 netns %3"_qs.arg(a, b, far));
        if (!near.isEmpty())
            setup << split(u"ip link set %1 netns %2"_qs.arg(a, near));
        const auto at = [&](const QString &ns, const QString &command) {
            return ns.isEmpty() ? split(command) : in(ns, command);
        };
        setup << at(near, u"ip addr add 10.71.%1.1/24 dev %2"_qs.arg(n).arg(a));
        setup << at(near, u"ip -6 addr add fd00:71:%1::1/64 dev %2 nodad"_qs.arg(n).arg(a));
        setup << at(near, u"ip link set %1 up"_qs.arg(a));
        setup << in(far, u"ip addr add 10.71.%1.2/24 dev %2"_qs.arg(n).arg(b));
        setup << in(far, u"ip -6 addr add fd00:71:%1::2/64 dev %2 nodad"_qs.arg(n).arg(b));
        setup << in(far, u"ip link set %1 up"_qs.arg(b));
    }
    setup << split(u"ip route add default via 10.71.1.2"_qs);
    setup << in(m_spaces[0], u"ip route add default via 10.71.2.2"_qs);
    setup << in(m_spaces[1], u"ip route add default via 10.71.3.2"_qs);
    setup << in(m_spaces[1], u"ip route add 10.71.1.0/24 via 10.71.2.1"_qs);
    setup << in(m_spaces[2], u"ip route add default via 10.71.4.2"_qs);
    setup << in(m_spaces[2], u"ip route add 10.71.0.0/21 via 10.71.3.1"_qs);
    setup << in(m_spaces[3], u"ip route add default via 10.71.4.1"_qs);
    setup << split(u"ip -6 route add default via fd00:71:1::2"_qs);
    setup << in(m_spaces[0], u"ip -6 route add default via fd00:71:2::2"_qs);
    setup << in(m_spaces[1], u"ip -6 route add default via fd00:71:3::2"_qs);
    setup << in(m_spaces[1], u"ip -6 route add fd00:71:1::/64 via fd00:71:2::1"_qs);
    setup << in(m_spaces[2], u"ip -6 route add default via fd00:71:4::2"_qs);
    setup << in(m_spaces[2], u"ip -6 route add fd00:71:1::/64 via fd00:71:3::1"_qs);
    setup << in(m_spaces[3], u"ip -6 route add default via fd00:71:4::1"_qs);
    // 64 more targets on the target's loopback, behind the same chain.
    for (int i = 1; i <= 64; ++i)
        setup << in(m_spaces[3], u"ip addr add 10.71.8.%1/32 dev lo"_qs.arg(i));
    // r2 drops a quarter of the ICMP it forwards, both ways.
    setup << in(m_spaces[1], u"nft add table inet t"_qs);
    setup << in(m_spaces[1], u"nft add chain inet t f { type filter hook forward priority 0 ; }"_qs);
    setup << in(m_spaces[1], u"nft add rule inet t f meta l4proto { icmp, ipv6-icmp } numgen random mod 4 0 drop"_qs);
    QVERIFY(test::RunAll(setup));
}

void TestPathRun::cleanupTestCase()
{
    for (const QString &ns : std::as_const(m_spaces))
        test::Run(u"ip"_qs, {u"netns"_qs, u"del"_qs, ns});
}

void TestPathRun::run(PathRun &path, const QList<PingTarget> &targets, int intervalMs, int rounds)
{
    PathRunSettings settings;
    settings.intervalMs = intervalMs;
    settings.timeoutMs = 500;
    settings.maxHops = 8;
    path.setRounds(rounds);
    QSignalSpy finished(&path, &PathRun::finished);
    QString error;
    QVERIFY2(path.start(targets, settings, false, m_data.path(), &error), qPrintable(error));
    QVERIFY(finished.wait(120'000));
    path.stop();
    QCOMPARE(path.roundsRecorded(), qint64(targets.size()) * rounds);
}

void TestPathRun::lossBeginsBehindTheDroppingRouter_data()
{
    QTest::addColumn<QStringList>("routers"); // the hops, the target last
    QTest::newRow("IPv4") << QStringList{u"10.71.1.2"_qs, u"10.71.2.2"_qs, u"10.71.3.2"_qs, Target};
    QTest::newRow("IPv6") << QStringList{u"fd00:71:1::2"_qs, u"fd00:71:2::2"_qs, u"fd00:71:3::2"_qs,
                                         u"fd00:71:4::2"_qs};
}

void TestPathRun::lossBeginsBehindTheDroppingRouter()
{
    QFETCH(QStringList, routers);
    PathRun path;
    run(path, {{routers.last(), u"far end"_qs}}, 10, 400);
    if (QTest::currentTestFailed())
        return;
    const PathTrace &trace = path.traces().first();
    QCOMPARE(trace.hops().size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(trace.hops()[i].addresses, QStringList{routers[i]});
        QCOMPARE(trace.hops()[i].stats.sent(), 400);
    }
    QCOMPARE(trace.hops()[0].stats.lost(), 0);
    QCOMPARE(trace.hops()[1].stats.lost(), 0);
    for (int i = 2; i < 4; ++i) {
        const double loss = trace.hops()[i].stats.lossPercent();
        QVERIFY2(qAbs(loss - ExpectedLoss) < Band, qPrintable(QString::number(loss)));
    }
    QCOMPARE(trace.lossOrigin(), 2);
    QVERIFY2(trace.verdict().startsWith(u"Loss starts at hop 3 (%1): "_qs.arg(routers[2])),
             qPrintable(trace.verdict()));

    // The log holds every round shown: read back, it gives the same figures.
    PathLogContent content;
    QVERIFY(ReadPathLog(path.logPath(), &content));
    QCOMPARE(content.unreadLines, 0);
    QVERIFY(content.endMs > 0);
    QCOMPARE(content.traces.size(), 1);
    QCOMPARE(content.traces[0].label, u"far end"_qs);
    QCOMPARE(content.traces[0].verdict(), trace.verdict());
    for (int i = 0; i < 4; ++i)
        QCOMPARE(PathRowTexts(content.traces[0], i), PathRowTexts(trace, i));
}

void TestPathRun::silentRouterIsNotBlamedFor64Targets()
{
    // r1 forwards but never says its hop limit ran out.
    QVERIFY(test::RunAll({
        {u"ip"_qs, u"netns"_qs, u"exec"_qs, m_spaces[0], u"nft"_qs, u"add"_qs, u"table"_qs, u"inet"_qs, u"s"_qs},
        {u"ip"_qs, u"netns"_qs, u"exec"_qs, m_spaces[0], u"nft"_qs, u"add chain inet s o { type filter hook output priority 0 ; }"_qs},
        {u"ip"_qs, u"netns"_qs, u"exec"_qs, m_spaces[0], u"nft"_qs, u"add rule inet s o icmp type time-exceeded drop"_qs},
    }));
    QList<PingTarget> targets;
    for (int i = 1; i <= MaxPathTargets; ++i)
        targets.append({u"10.71.8.%1"_qs.arg(i), {}});
    PathRun path;
    run(path, targets, 50, 200);
    if (QTest::currentTestFailed())
        return;
    qint64 sent = 0, lost = 0;
    for (const PathTrace &trace : path.traces()) {
        QCOMPARE(trace.hops().size(), 4);
        QVERIFY(trace.hops()[0].addresses.isEmpty());
        QVERIFY(trace.isSilent(0));
        QCOMPARE(PathRowTexts(trace, 0).at(1), u"no answer (rate-limited?)"_qs);
        QCOMPARE(trace.hops()[1].stats.lost(), 0);
        QCOMPARE(trace.lossOrigin(), 2);
        sent += trace.hops()[2].stats.sent();
        lost += trace.hops()[2].stats.lost();
    }
    const double loss = 100.0 * double(lost) / double(sent);
    QVERIFY2(qAbs(loss - ExpectedLoss) < 3, qPrintable(QString::number(loss)));
}

// r1 sends on straight to r3 over a new link: hop 2 answers from r3 now, the hops are
// found again (three, past the dropping router), and the figures of the changed hops
// start afresh while hop 1 keeps its own.
void TestPathRun::routeChangeFindsTheHopsAgain()
{
    const auto in = [this](int router, const QString &command) {
        return QStringList{u"ip"_qs, u"netns"_qs, u"exec"_qs, m_spaces[router]} + split(command);
    };
    QVERIFY(test::RunAll({in(0, u"nft flush ruleset"_qs),
                    in(0, u"ip link add nvpc type veth peer name nvpd netns %1"_qs.arg(m_spaces[2])),
                    in(0, u"ip addr add 10.71.9.1/24 dev nvpc"_qs), in(0, u"ip link set nvpc up"_qs),
                    in(2, u"ip addr add 10.71.9.2/24 dev nvpd"_qs), in(2, u"ip link set nvpd up"_qs)}));
    PathRun path;
    PathRunSettings settings;
    settings.intervalMs = 10;
    settings.timeoutMs = 500;
    settings.maxHops = 8;
    QString error;
    QVERIFY2(path.start({{Target, {}}}, settings, false, m_data.path(), &error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(path.roundsRecorded() >= 50, 30'000);
    QCOMPARE(path.traces()[0].hops().size(), 4);
    // r3 answers over the new link first (from its address there); once that change has
    // been found and measured, r1 sends over it, so no discovery spans both changes.
    QVERIFY(test::RunAll({in(2, u"ip route replace 10.71.1.0/24 via 10.71.9.1"_qs)}));
    QTRY_VERIFY_WITH_TIMEOUT(path.traces()[0].hops().size() == 4
                                 && path.traces()[0].hops()[2].addresses == QStringList{u"10.71.9.2"_qs},
                             30'000);
    const qint64 settled = path.roundsRecorded();
    QTRY_VERIFY_WITH_TIMEOUT(path.roundsRecorded() >= settled + 20, 30'000);
    QVERIFY(test::RunAll({in(0, u"ip route replace default via 10.71.9.2"_qs)}));
    QTRY_VERIFY_WITH_TIMEOUT(path.traces()[0].hops().size() == 3
                                 && path.traces()[0].hops()[2].stats.sent() >= 100, 30'000);
    path.stop();
    const PathTrace &trace = path.traces()[0];
    QVERIFY2(trace.hops()[1].addresses == QStringList{u"10.71.9.2"_qs},
             qPrintable(trace.hops()[1].addresses.join(u", "_qs)));
    QCOMPARE(trace.hops()[2].addresses, QStringList{Target});
    // (r3 answering from its new address may have been marked at hop 3 before.)
    QStringList changes;
    for (const PathRouteChange &c : trace.routeChanges())
        changes << u"%1 %2 %3"_qs.arg(c.hop).arg(c.before, c.after);
    QVERIFY2(changes.contains(u"2 10.71.2.2 10.71.9.2"_qs), qPrintable(changes.join(u", "_qs)));
    QVERIFY(trace.hops()[0].stats.sent() > trace.hops()[1].stats.sent() + 40);
    QCOMPARE(trace.hops()[2].stats.lost(), 0); // nothing crosses the dropping router now
    QCOMPARE(trace.verdict(), u"No loss on the path"_qs);
}

QTEST_GUILESS_MAIN(TestPathRun)
#include "tst_pathrun.moc"
