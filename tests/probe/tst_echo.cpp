// The echo on this machine's loopback, the strict address reader and the status texts.

#include "platform/icmpsocket.h"
#include "probe/echoprobe.h"
#include "support/testenv.h"

#include <QtTest>

using namespace netvane;

class TestEcho : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statusText_data();
    void statusText();
    void addressReading_data();
    void addressReading();
    void malformedAddressSendsNothing_data();
    void malformedAddressSendsNothing();
    void loopbackAnswers_data();
    void loopbackAnswers();
};

void TestEcho::statusText_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("reply") << 0 << u"ip success"_qs;
    QTest::newRow("time-out, double blanks") << 11010 << u"Request  timed  out."_qs;
    QTest::newRow("protocol reads as port") << 11004 << u"ip dest port unreachable"_qs;
    QTest::newRow("port") << 11005 << u"ip dest port unreachable"_qs;
    QTest::newRow("host") << 11003 << u"ip dest host unreachable"_qs;
    QTest::newRow("bad address") << -1 << u"inet_addr: bad IP format"_qs;
    QTest::newRow("general") << 11050 << u"ip general failure"_qs;
    QTest::newRow("pending") << 11255 << u"ip pending"_qs;
    QTest::newRow("500") << 500 << u"Ping timed out"_qs;
    QTest::newRow("unknown") << 11099 << u"unknown msg returned"_qs;
    QTest::newRow("unknown negative") << -2 << u"unknown msg returned"_qs;
}

void TestEcho::statusText()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QCOMPARE(EchoStatusText(status), text);
    // Only a reply reads as answered.
    QCOMPARE(EchoStatusText(status).contains(u"success"_qs), status == 0);
}

void TestEcho::addressReading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("address");
    QTest::newRow("loopback") << u"127.0.0.1"_qs << true << 0x7f000001u;
    QTest::newRow("leading zeros are decimal") << u"010.001.001.001"_qs << true << 0x0a010101u;
    QTest::newRow("all zeros") << u"0.0.0.0"_qs << true << 0u;
    QTest::newRow("broadcast") << u"255.255.255.255"_qs << true << 0xffffffffu;
    QTest::newRow("octet too big") << u"10.0.0.300"_qs << false << 0u;
    QTest::newRow("two parts") << u"10.1"_qs << false << 0u;
    QTest::newRow("five parts") << u"1.2.3.4.5"_qs << false << 0u;
    QTest::newRow("empty part") << u"1..2.3"_qs << false << 0u;
    QTest::newRow("host name") << u"localhost"_qs << false << 0u;
    QTest::newRow("hex") << u"0x7f.0.0.1"_qs << false << 0u;
    QTest::newRow("sign") << u"+1.2.3.4"_qs << false << 0u;
    QTest::newRow("blanks dropped") << u"1.2.3. 4"_qs << true << 0x01020304u;
    QTest::newRow("empty") << QString() << false << 0u;
    QTest::newRow("four digits") << u"0001.2.3.4"_qs << true << 0x01020304u;
    QTest::newRow("many zeros") << u"10.0.0.00000000000300"_qs << false << 0u;
}

void TestEcho::addressReading()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(quint32, address);
    const auto parsed = platform::ParseDottedQuad(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, address);
}

void TestEcho::malformedAddressSendsNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("octet") << u"10.0.0.300"_qs;
    QTest::newRow("short") << u"10.1"_qs;
    QTest::newRow("name") << u"localhost"_qs;
}

void TestEcho::malformedAddressSendsNothing()
{
    QFETCH(QString, text);
    EchoReply reply;
    reply.status = 4242;
    reply.roundTripTime = 77;
    reply.ttl = 9;
    QCOMPARE(SendEcho(text, QByteArray(32, ' '), reply), -1);
    // The reply record is untouched: nothing was sent.
    QCOMPARE(reply.status, 4242u);
    QCOMPARE(reply.roundTripTime, 77u);
    QCOMPARE(reply.ttl, quint8(9));
}

void TestEcho::loopbackAnswers_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("32 bytes") << 32;
    QTest::newRow("no payload") << 0;
    QTest::newRow("largest size") << 32000;
}

void TestEcho::loopbackAnswers()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    QFETCH(int, size);
    PingTimeout = 1000;
    EchoReply reply;
    const qint32 status = SendEcho(u"127.0.0.1"_qs, QByteArray(size, ' '), reply);
    QCOMPARE(status, 0);
    QCOMPARE(reply.status, 0u);
    QCOMPARE(reply.ttl, quint8(64));
    QCOMPARE(int(reply.dataSize), size);
    QCOMPARE(reply.address, quint32(qToBigEndian(0x7f000001u)));
    QVERIFY(platform::EchoSocketProblem().isEmpty());
}

QTEST_MAIN(TestEcho)
#include "tst_echo.moc"
