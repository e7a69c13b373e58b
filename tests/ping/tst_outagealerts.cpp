// What outages tell the user: notifications through a real session bus to a service
// of the test's own, the outage made by a drop rule on loopback; the rate limit; the
// outage command, which gets the target as an argument and never as a command.

#include "ping/outagealerts.h"
#include "ping/pingtest.h"
#include "platform/desktopnotify.h"
#include "probe/echoprobe.h"
#include "support/testenv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace netvane;

namespace {

// The notification service of the test's bus: records every call.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        QMutexLocker lock(&m_mutex);
        m_calls << app + u'|' + summary + u'|' + body;
        return uint(m_calls.size());
    }

private:
    mutable QMutex m_mutex;
    QStringList m_calls;
};

bool nft(const QString &command)
{
    QString out;
    const bool ok = test::Run(u"nft"_qs, QProcess::splitCommand(command), &out);
    if (!ok)
        qWarning("nft %s: %s", qPrintable(command), qPrintable(out));
    return ok;
}

} // namespace

class TestOutageAlerts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rateLimit();
    void notificationsThroughTheSessionBus();
    void fallbackWhereThereIsNoService();
    void commandGetsTheTargetAsAnArgument();
    void commandFailureIsToldOnce();
};

void TestOutageAlerts::rateLimit()
{
    OutageNotices n;
    QVERIFY(n.offer(u"a"_qs, u"a 1"_qs, 0));
    QVERIFY(n.offer(u"b"_qs, u"b 1"_qs, 1000)); // another target has a minute of its own
    QVERIFY(!n.offer(u"a"_qs, u"a 2"_qs, 59999));
    QVERIFY(!n.offer(u"a"_qs, u"a 3"_qs, 59999));
    QCOMPARE(n.nextDue(), 60000);
    QVERIFY(n.due(59999).isEmpty());
    const QList<OutageNotices::Notice> due = n.due(60000); // the newest held back, with the count
    QCOMPARE(due.size(), 1);
    QCOMPARE(due[0].summary, u"a 3"_qs);
    QCOMPARE(due[0].body, u"1 more notice of this target was held back."_qs);
    QCOMPARE(n.nextDue(), -1);
    QVERIFY(!n.offer(u"a"_qs, u"a 4"_qs, 100000));
    const auto next = n.offer(u"a"_qs, u"a 5"_qs, 120000);
    QVERIFY(next);
    QCOMPARE(next->body, u"1 more notice of this target was held back."_qs);

    // Seven targets down at once: five are told, the rest counted in one at the minute's end.
    OutageNotices all;
    int shown = 0;
    for (int t = 0; t < 7; ++t)
        shown += all.offer(QString::number(t), u"down"_qs, 1000) ? 1 : 0;
    QCOMPARE(shown, OutageNotices::MaxPerMinute);
    QCOMPARE(all.nextDue(), 61000);
    const QList<OutageNotices::Notice> summary = all.due(61000);
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary[0].summary, u"2 more outage notices were held back."_qs);
}

void TestOutageAlerts::notificationsThroughTheSessionBus()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"the drop rule needs a network namespace of the test's own: "_qs + why));
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
    if (!nft(u"add table inet outagetest"_qs))
        QSKIP("nft cannot add a table here (nftables missing?)");

    // Nothing answers on a bus without the service, and nothing fails.
    QTemporaryDir dir;
    QProcess daemon;
    daemon.start(u"dbus-daemon"_qs, {u"--session"_qs, u"--nofork"_qs, u"--print-address"_qs,
                                     u"--address=unix:path="_qs + dir.filePath(u"bus"_qs)});
    QVERIFY2(daemon.waitForReadyRead(10000), "dbus-daemon (package dbus) did not start");
    const auto stopDaemon = qScopeGuard([&] { daemon.kill(); daemon.waitForFinished(); });
    qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(!platform::NotifyDesktop(u"nobody"_qs, QString()));

    // The service on a connection of its own, answering on a thread of its own.
    QThread serviceThread;
    serviceThread.start();
    const auto stopThread = qScopeGuard([&] { serviceThread.quit(); serviceThread.wait(); });
    NotificationService service;
    service.moveToThread(&serviceThread);
    QDBusConnection own = QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"),
                                                        u"service"_qs);
    QVERIFY(own.registerObject(u"/org/freedesktop/Notifications"_qs, &service, QDBusConnection::ExportAllSlots));
    QVERIFY(own.registerService(u"org.freedesktop.Notifications"_qs));

    qint64 now = 0;
    PingTest test;
    OutageAlerts alerts(test, nullptr, [&] { return now; });
    PingTimeout = 200;
    test.begin({{u"127.0.0.2"_qs, u"two"_qs}});
    test.tickTimer()->stop();
    const auto tick = [&](int times) {
        for (int i = 0; i < times; ++i)
            test.PingTick();
    };
    const QString drop = u"add rule inet outagetest out ip daddr 127.0.0.2 icmp type echo-request drop"_qs;
    QVERIFY(nft(u"add chain inet outagetest out { type filter hook output priority 0 ; }"_qs));
    tick(1);
    QVERIFY(nft(drop));
    tick(3); // the third lost echo begins the outage
    QCOMPARE(test.outages().count(), 1);
    const Outage first = test.outages().outages().at(0);
    QVERIFY(nft(u"flush chain inet outagetest out"_qs));
    now += OutageNotices::PerTargetMs;
    tick(1); // answered: the outage ends, a minute after it was told
    QVERIFY(nft(drop));
    tick(3); // a second outage within the minute: held back
    QVERIFY(nft(u"flush chain inet outagetest out"_qs));
    now += OutageNotices::PerTargetMs;
    tick(1);
    nft(u"delete table inet outagetest"_qs);

    const std::vector<Outage> outages = test.outages().outages();
    QCOMPARE(outages.size(), size_t(2));
    QVERIFY(!outages[1].ongoing());
    const auto answers = [&](const Outage &o) {
        return u"Netvane|127.0.0.2 answers again after "_qs + OutageDurationText(test.outages().duration(o));
    };
    QCOMPARE(service.calls(),
             (QStringList{u"Netvane|127.0.0.2 is not answering since "_qs + OutageClockText(first.start) + u'|',
                          answers(outages[0]) + u'|',
                          answers(outages[1]) + u"|1 more notice of this target was held back."_qs}));
    QCOMPARE(first.lost, 3);

    // Turned off, nothing is told.
    alerts.setNotify(false);
    now += OutageNotices::PerTargetMs;
    alerts.ended(outages[1]);
    QCOMPARE(service.calls().size(), 3);
}

void TestOutageAlerts::fallbackWhereThereIsNoService()
{
    // The bus of the test before is gone (or there never was one): the tray's turn.
    QStringList shown;
    platform::SetNotificationFallback([&](const QString &summary, const QString &) {
        shown << summary;
        return true;
    });
    QVERIFY(platform::NotifyDesktop(u"a"_qs, QString()));
    platform::SetNotificationFallback({});
    QVERIFY(!platform::NotifyDesktop(u"b"_qs, QString())); // nothing, and no error
    QCOMPARE(shown, QStringList{u"a"_qs});
}

void TestOutageAlerts::commandGetsTheTargetAsAnArgument()
{
    // A text that is no address fails at once: with N = 1 its first echo begins an outage.
    QTemporaryDir dir;
    const QString script = dir.filePath(u"record"_qs);
    test::WriteFileBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString target = u";touch pwned;#"_qs;
    QVERIFY(QDir::setCurrent(dir.path()));

    PingTest test;
    OutageAlerts alerts(test);
    alerts.setNotify(false);
    alerts.setCommand(u"\""_qs + script + u"\" --page"_qs);
    QSignalSpy finished(&alerts, &OutageAlerts::commandFinished);
    QSignalSpy failed(&alerts, &OutageAlerts::commandFailed);
    test.outageAfter = 1;
    test.begin({{target, u"odd"_qs}});
    test.tickTimer()->stop();
    test.PingTick();
    QVERIFY(finished.wait(10000));
    QVERIFY2(failed.isEmpty(), failed.isEmpty() ? "" : qPrintable(failed.at(0).at(0).toString()));
    QFile args(dir.filePath(u"args"_qs));
    QVERIFY(args.open(QIODevice::ReadOnly));
    const Outage o = test.outages().outages().at(0);
    QCOMPARE(QString::fromUtf8(args.readAll()).split(u'\n'),
             (QStringList{u"--page"_qs, target, u"began"_qs, OutageStampText(o.start, u'T'), QString(),
                          u"0"_qs, QString()}));
    QVERIFY(!QFile::exists(dir.filePath(u"pwned"_qs)));
}

void TestOutageAlerts::commandFailureIsToldOnce()
{
    PingTest test;
    OutageAlerts alerts(test);
    alerts.setNotify(false);
    alerts.setCommand(u"/nonexistent/outage-command"_qs);
    QSignalSpy finished(&alerts, &OutageAlerts::commandFinished);
    QSignalSpy failed(&alerts, &OutageAlerts::commandFailed);
    test.outageAfter = 1;
    test.begin({{u"300.1.1.1"_qs, u"a"_qs}, {u"300.1.1.2"_qs, u"b"_qs}}); // two outages
    test.tickTimer()->stop();
    test.PingTick();
    while (finished.size() < 2)
        QVERIFY(finished.wait(10000));
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.at(0).at(0).toString().contains(u"/nonexistent/outage-command"_qs));
}

QTEST_GUILESS_MAIN(TestOutageAlerts)
#include "tst_outagealerts.moc"
