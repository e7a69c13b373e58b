// The probe program on its own: started as the scanner starts it, it answers through
// the real channel of this test process; and the channel takes only answers of its
// kind, size and user.

#include "platform/probesystem.h"
#include "platform/scanchannel.h"
#include "scanner/probe/scanmessage.h"
#include "scannet.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace netvane;

class TestScanProbe : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void answers_data();
    void answers();
    void longHostNameStaysInsideTheBuffer();
    void ipv6Addresses();
    void channelDropsForeignDatagrams_data();
    void channelDropsForeignDatagrams();
    void otherUsersAreIgnored();
    void channelNameTakenByAnotherUser();

private:
    // Runs the probe with one argument and waits for it to end.
    void runProbe(const QString &fields, const QStringList &wrapper = {});
    QStringList collect(QSignalSpy &spy, int count);

    platform::ScanChannel m_channel;
    test::PeerLink m_link;
    bool m_namespace = false;
    QString m_noNamespace;
};

void TestScanProbe::initTestCase()
{
    QString error;
    m_namespace = test::EnterPrivateNetworkNamespace(&m_noNamespace);
    if (m_namespace)
        QVERIFY(m_link.make());
    QVERIFY2(m_channel.open(&error), qPrintable(error));
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
}

void TestScanProbe::runProbe(const QString &fields, const QStringList &wrapper)
{
    QProcess probe;
    QStringList args = wrapper;
    args << QStringLiteral(PROBE_PATH) << fields;
    probe.start(args.takeFirst(), args);
    QVERIFY(probe.waitForStarted());
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitCode(), 0);
}

QStringList TestScanProbe::collect(QSignalSpy &spy, int count)
{
    while (spy.size() < count)
        if (!spy.wait(10000))
            break;
    QStringList texts;
    for (const QList<QVariant> &args : spy)
        texts << QString::fromUtf8(args.at(0).toByteArray());
    texts.sort();
    return texts;
}

void TestScanProbe::answers_data()
{
    QTest::addColumn<QString>("fields");   // after the handle
    QTest::addColumn<QStringList>("expected"); // regular expressions, sorted by index
    QTest::addColumn<bool>("needsLink");
    QTest::newRow("loopback with a name") << u"127.0.0.1,17,,,,,350"_qs
        << QStringList{u"^17,\\d+,64,localhost,$"_qs} << false;
    QTest::newRow("three hand on") << u"127.0.0.1,4,127.0.0.1,5,127.0.0.1,6,350"_qs
        << QStringList{u"^4,\\d+,64,localhost,$"_qs, u"^5,\\d+,64,localhost,$"_qs,
                       u"^6,\\d+,64,localhost,$"_qs} << false;
    QTest::newRow("silent neighbour") << test::SilentAddress + u",19,,,,,A(7)"_qs
        << QStringList{u"^19,Dead$"_qs} << true;
    QTest::newRow("silent then answering") << test::SilentAddress + u",1,127.0.0.1,2,,,0"_qs
        << QStringList{u"^1,Dead$"_qs, u"^2,\\d+,64,localhost,$"_qs} << true;
    QTest::newRow("not an address") << u"10.0.0.256,3,,,,,0"_qs
        << QStringList{u"^3,Dead$"_qs} << false;
}

void TestScanProbe::answers()
{
    QFETCH(QString, fields);
    QFETCH(QStringList, expected);
    QFETCH(bool, needsLink);
    if (needsLink && !m_namespace)
        QSKIP(qPrintable(m_noNamespace));
    QSignalSpy spy(&m_channel, &platform::ScanChannel::answerReceived);
    runProbe(m_channel.handle() + u',' + fields);
    const QStringList texts = collect(spy, int(expected.size()));
    QCOMPARE(texts.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(QRegularExpression(expected.at(i)).match(texts.at(i)).hasMatch(),
                 qPrintable(texts.at(i)));
    // Exactly one answer per address: nothing else follows.
    QVERIFY(!spy.wait(300));
}

void TestScanProbe::longHostNameStaysInsideTheBuffer()
{
    if (!m_namespace)
        QSKIP(qPrintable(m_noNamespace));
    // The peer's address gets a 300-character name in a hosts file seen only by the
    // probe (a private mount namespace); the MAC is looked up because a name exists.
    QTemporaryDir dir;
    const QString name = QString(300, u'n');
    const QString hosts = dir.filePath(u"hosts"_qs);
    test::WriteFileBytes(hosts, (test::PeerAddress + u" "_qs + name + u"\n"_qs).toUtf8());
    QSignalSpy spy(&m_channel, &platform::ScanChannel::answerReceived);
    runProbe(m_channel.handle() + u',' + test::PeerAddress + u",12,,,,,0"_qs,
             {u"unshare"_qs, u"--mount"_qs, u"sh"_qs, u"-c"_qs,
              u"mount --bind \"$0\" /etc/hosts && exec \"$@\""_qs, hosts});
    const QStringList texts = collect(spy, 1);
    QCOMPARE(texts.size(), 1);
    const QString text = texts.first();
    QCOMPARE(text.size(), int(scanmsg::MaxText));
    const QStringList fields = text.split(u',');
    QCOMPARE(fields.size(), 5);
    QCOMPARE(fields.at(0), u"12"_qs);
    QVERIFY(name.startsWith(fields.at(3)));
    QVERIFY2(QRegularExpression(u"^([0-9A-F]{2}-){5}[0-9A-F]{2}$"_qs).match(fields.at(4)).hasMatch(),
             qPrintable(fields.at(4)));
}

// IPv6: a silent neighbour is Dead and the next address is tried; the peer answers
// with its name (from a hosts file only the probe sees) and its MAC from the IPv6
// neighbour table; loopback answers without one, having no neighbour entry.
void TestScanProbe::ipv6Addresses()
{
    if (!m_namespace)
        QSKIP(qPrintable(m_noNamespace));
    QTemporaryDir dir;
    const QString hosts = dir.filePath(u"hosts"_qs);
    test::WriteFileBytes(hosts, (test::PeerAddress6 + u" peer6.test\n::1 loop6.test\n"_qs).toUtf8());
    QSignalSpy spy(&m_channel, &platform::ScanChannel::answerReceived);
    runProbe(m_channel.handle() + u',' + test::SilentAddress6 + u",31,"_qs + test::PeerAddress6
                 + u",32,::1,33,0"_qs,
             {u"unshare"_qs, u"--mount"_qs, u"sh"_qs, u"-c"_qs,
              u"mount --bind \"$0\" /etc/hosts && exec \"$@\""_qs, hosts});
    const QStringList texts = collect(spy, 3);
    QCOMPARE(texts, (QStringList{u"31,Dead"_qs, texts.value(1), texts.value(2)}));
    QVERIFY2(QRegularExpression(u"^32,\\d+,64,peer6\\.test,"_qs + test::PeerMac + u'$').match(texts.at(1)).hasMatch(),
             qPrintable(texts.at(1)));
    QVERIFY2(QRegularExpression(u"^33,\\d+,64,loop6\\.test,$"_qs).match(texts.at(2)).hasMatch(),
             qPrintable(texts.at(2)));
}

void TestScanProbe::channelDropsForeignDatagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("taken");
    const std::string fits(scanmsg::MaxText, 'x');
    QTest::newRow("answer") << QByteArray::fromStdString(scanmsg::encode(3, "5,Dead")) << true;
    QTest::newRow("largest") << QByteArray::fromStdString(scanmsg::encode(3, fits)) << true;
    QTest::newRow("other kind") << QByteArray::fromStdString(scanmsg::encode(4, "5,Dead")) << false;
    QTest::newRow("too large")
        << QByteArray::fromStdString(scanmsg::encode(3, fits)) + QByteArray(1, 'x') << false;
    QTest::newRow("too short") << QByteArray("\3\0", 2) << false;
}

void TestScanProbe::channelDropsForeignDatagrams()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, taken);
    QSignalSpy spy(&m_channel, &platform::ScanChannel::answerReceived);
    const std::string name = scanmsg::channelName(m_channel.handle().toStdString());
    QVERIFY(probesys::sendToChannel(name, datagram.toStdString()));
    QVERIFY(probesys::sendToChannel(name, scanmsg::encode(3, "end")));
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.size(), taken ? 2 : 1);
    QCOMPARE(spy.last().at(0).toByteArray(), QByteArray("end"));
}

void TestScanProbe::otherUsersAreIgnored()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run a sender as another user");
    if (QStandardPaths::findExecutable(u"setpriv"_qs).isEmpty())
        QSKIP("setpriv (util-linux) is not installed");
    QSignalSpy spy(&m_channel, &platform::ScanChannel::answerReceived);
    // The probe cannot be executed by nobody from a private folder: a copy that can.
    QTemporaryDir dir(u"/tmp/netvane-scan-XXXXXX"_qs);
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther
                                          | QFile::ReadOther);
    const QString copy = dir.filePath(u"probe"_qs);
    QVERIFY(QFile::copy(QStringLiteral(PROBE_PATH), copy));
    QProcess other;
    other.start(u"setpriv"_qs, {u"--reuid=nobody"_qs, u"--regid=nogroup"_qs, u"--clear-groups"_qs,
                                copy, m_channel.handle() + u",127.0.0.1,8,,,,,0"_qs});
    QVERIFY(other.waitForFinished(10000));
    QCOMPARE(other.exitCode(), 0);
    // The answer of our own user, sent after it, is the only one that arrives.
    runProbe(m_channel.handle() + u",127.0.0.1,9,,,,,0"_qs);
    const QStringList texts = collect(spy, 1);
    QVERIFY(!spy.wait(300));
    QCOMPARE(spy.size(), 1);
    QVERIFY2(texts.first().startsWith(u"9,"_qs), qPrintable(texts.first()));
}

// Abstract names are shared by every user: another one taking the names this
// process could be expected to use cannot stop its scans.
void TestScanProbe::channelNameTakenByAnotherUser()
{
    QStringList guessable; // this process's id and the next few hundred
    for (qint64 i = 0; i < 300; ++i)
        guessable << QString::fromStdString(
            scanmsg::channelName(std::to_string(QCoreApplication::applicationPid() + i)));
    test::OtherUserSockets other;
    QString why;
    if (!other.hold(guessable, &why))
        QSKIP(qPrintable(why));
    platform::ScanChannel channel;
    QVERIFY2(channel.open(&why), qPrintable(why));
    QVERIFY(!guessable.contains(QString::fromStdString(scanmsg::channelName(channel.handle().toStdString()))));
    QSignalSpy spy(&channel, &platform::ScanChannel::answerReceived);
    runProbe(channel.handle() + u",127.0.0.1,5,,,,,0"_qs);
    QVERIFY(spy.wait(10000));
    QVERIFY2(spy.first().at(0).toByteArray().startsWith("5,"), spy.first().at(0).toByteArray());
}

QTEST_GUILESS_MAIN(TestScanProbe)
#include "tst_scanprobe.moc"
