// The echo on this machine's loopback, the strict address reader, the status texts
// and what the wire parts make of every answer an echo can draw.

#include "platform/icmpsocket.h"
#include "probe/echoprobe.h"
#include "support/testenv.h"

#include <QtTest>

#include <cerrno>
#include <cstring>
#include <netinet/icmp6.h>
#include <netinet/ip.h>
#include <netinet/ip6.h>
#include <netinet/ip_icmp.h>

using namespace netvane;

namespace {

using Bytes = std::vector<unsigned char>;

platform::IpAddress address(const char *text)
{
    platform::IpAddress a;
    platform::ParseIpAddress(text, a);
    return a;
}

// An echo request's first 8 bytes, as an error quotes it or the error queue returns it.
Bytes echoHeader(int family, uint16_t id, uint16_t sequence)
{
    Bytes b;
    platform::BuildEchoRequest(family, id, sequence, nullptr, 0, b);
    return b;
}

// An ICMP error as a raw socket reads it: for IPv4 the IP header first, then the
// error's header, the quoted IP header of our request and its echo header.
Bytes rawError(int family, int type, int code, uint16_t id, uint16_t sequence)
{
    Bytes b;
    const Bytes echo = echoHeader(family, id, sequence);
    if (family == AF_INET) {
        iphdr ip{};
        ip.ihl = 5;
        ip.version = 4;
        ip.ttl = 63;
        ip.protocol = IPPROTO_ICMP;
        std::memcpy(&ip.saddr, address("10.9.9.9").bytes.data(), 4);
        b.insert(b.end(), reinterpret_cast<unsigned char *>(&ip), reinterpret_cast<unsigned char *>(&ip) + 20);
        b.insert(b.end(), {uint8_t(type), uint8_t(code), 0, 0, 0, 0, 0, 0});
        iphdr quoted = ip;
        b.insert(b.end(), reinterpret_cast<unsigned char *>(&quoted), reinterpret_cast<unsigned char *>(&quoted) + 20);
    } else {
        b.insert(b.end(), {uint8_t(type), uint8_t(code), 0, 0, 0, 0, 0, 0});
        ip6_hdr quoted{};
        quoted.ip6_vfc = 0x60;
        quoted.ip6_nxt = IPPROTO_ICMPV6;
        b.insert(b.end(), reinterpret_cast<unsigned char *>(&quoted), reinterpret_cast<unsigned char *>(&quoted) + 40);
    }
    b.insert(b.end(), echo.begin(), echo.end());
    return b;
}

platform::IcmpDatagram received(const Bytes &b, const char *from)
{
    platform::IcmpDatagram d;
    d.size = ssize_t(b.size());
    sockaddr_storage s{};
    platform::ToSocketAddress(address(from), s);
    d.from = s;
    return d;
}

} // namespace

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
    void addressesOfBothFamilies_data();
    void addressesOfBothFamilies();
    void everyAnswerMapsToItsStatus_data();
    void everyAnswerMapsToItsStatus();
    void otherEchoesAreNotOurs();
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
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("size");
    QTest::newRow("32 bytes") << u"127.0.0.1"_qs << 32;
    QTest::newRow("no payload") << u"127.0.0.1"_qs << 0;
    QTest::newRow("largest size") << u"127.0.0.1"_qs << 32000;
    QTest::newRow("IPv6, 32 bytes") << u"::1"_qs << 32;
    QTest::newRow("IPv6, largest size") << u"0:0:0:0:0:0:0:1"_qs << 32000;
}

void TestEcho::loopbackAnswers()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    QFETCH(QString, target);
    QFETCH(int, size);
    PingTimeout = 1000;
    EchoReply reply;
    const qint32 status = SendEcho(target, QByteArray(size, ' '), reply);
    QCOMPARE(status, 0);
    QCOMPARE(reply.status, 0u);
    QCOMPARE(reply.ttl, quint8(64)); // the hop limit of an IPv6 reply
    QCOMPARE(int(reply.dataSize), size);
    QCOMPARE(reply.address, target.contains(u':') ? 0u : quint32(qToBigEndian(0x7f000001u)));
    QVERIFY(platform::EchoSocketProblem().isEmpty());
}

void TestEcho::addressesOfBothFamilies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("family");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("dotted") << u"010.0.0.1"_qs << AF_INET << u"10.0.0.1"_qs;
    QTest::newRow("loopback") << u"::1"_qs << AF_INET6 << u"::1"_qs;
    QTest::newRow("full form, upper case") << u"FD00:0000:0000:0000:0000:0000:0000:00A1"_qs << AF_INET6
                                           << u"fd00::a1"_qs;
    QTest::newRow("mapped IPv4 is IPv4") << u"::ffff:10.1.2.3"_qs << AF_INET << u"10.1.2.3"_qs;
    QTest::newRow("zone by name") << u"fe80::1%lo"_qs << AF_INET6 << u"fe80::1%lo"_qs;
    QTest::newRow("zone by number") << u"fe80::1%1"_qs << AF_INET6 << u"fe80::1%lo"_qs;
    QTest::newRow("no such zone") << u"fe80::1%nvnosuch0"_qs << AF_UNSPEC << QString();
    QTest::newRow("two gaps") << u"1::2::3"_qs << AF_UNSPEC << QString();
    QTest::newRow("group too long") << u"12345::1"_qs << AF_UNSPEC << QString();
    QTest::newRow("host name") << u"localhost"_qs << AF_UNSPEC << QString();
}

void TestEcho::addressesOfBothFamilies()
{
    QFETCH(QString, text);
    QFETCH(int, family);
    QFETCH(QString, canonical);
    const auto parsed = platform::ParseEchoAddress(text);
    QCOMPARE(parsed ? parsed->family : AF_UNSPEC, family);
    EchoReply reply;
    if (parsed)
        QCOMPARE(QString::fromStdString(platform::IpAddressText(*parsed)), canonical);
    else // nothing is sent to it
        QCOMPARE(SendEcho(text, QByteArray(32, ' '), reply), -1);
}

void TestEcho::everyAnswerMapsToItsStatus_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("status");
    const int unreachable = int(platform::IcmpKind::Unreachable);
    QTest::newRow("v4 net") << AF_INET << 3 << 0 << unreachable << 11002;
    QTest::newRow("v4 host") << AF_INET << 3 << 1 << unreachable << 11003;
    QTest::newRow("v4 protocol") << AF_INET << 3 << 2 << unreachable << 11004;
    QTest::newRow("v4 port") << AF_INET << 3 << 3 << unreachable << 11005;
    QTest::newRow("v4 fragmentation needed") << AF_INET << 3 << 4 << unreachable << 11009;
    QTest::newRow("v4 filtered") << AF_INET << 3 << 13 << unreachable << 11050;
    QTest::newRow("v4 time exceeded") << AF_INET << 11 << 0 << int(platform::IcmpKind::TimeExceeded) << 11013;
    QTest::newRow("v4 reassembly") << AF_INET << 11 << 1 << int(platform::IcmpKind::TimeExceeded) << 11013;
    QTest::newRow("v4 parameter problem") << AF_INET << 12 << 0 << int(platform::IcmpKind::ParameterProblem) << 11015;
    QTest::newRow("v4 source quench") << AF_INET << 4 << 0 << int(platform::IcmpKind::SourceQuench) << 11016;
    QTest::newRow("v6 no route") << AF_INET6 << 1 << 0 << unreachable << 11002;
    QTest::newRow("v6 prohibited") << AF_INET6 << 1 << 1 << unreachable << 11004;
    QTest::newRow("v6 beyond scope") << AF_INET6 << 1 << 2 << unreachable << 11002;
    QTest::newRow("v6 address") << AF_INET6 << 1 << 3 << unreachable << 11003;
    QTest::newRow("v6 port") << AF_INET6 << 1 << 4 << unreachable << 11005;
    QTest::newRow("v6 source policy") << AF_INET6 << 1 << 5 << unreachable << 11004;
    QTest::newRow("v6 reject route") << AF_INET6 << 1 << 6 << unreachable << 11002;
    QTest::newRow("v6 unknown code") << AF_INET6 << 1 << 9 << unreachable << 11050;
    QTest::newRow("v6 packet too big") << AF_INET6 << 2 << 0 << int(platform::IcmpKind::PacketTooBig) << 11009;
    QTest::newRow("v6 hop limit") << AF_INET6 << 3 << 0 << int(platform::IcmpKind::TimeExceeded) << 11013;
    QTest::newRow("v6 reassembly") << AF_INET6 << 3 << 1 << int(platform::IcmpKind::TimeExceeded) << 11014;
    QTest::newRow("v6 parameter problem") << AF_INET6 << 4 << 1 << int(platform::IcmpKind::ParameterProblem) << 11015;
}

// Each answer as a raw socket reads it and as a datagram socket's error queue
// reports it: the same kind, code, sequence, sender and status.
void TestEcho::everyAnswerMapsToItsStatus()
{
    QFETCH(int, family);
    QFETCH(int, type);
    QFETCH(int, code);
    QFETCH(int, kind);
    QFETCH(int, status);
    const char *router = family == AF_INET ? "10.9.9.9" : "fd00::9";
    const Bytes raw = rawError(family, type, code, 0x1234, 77);
    const platform::IcmpAnswer fromRaw = platform::ClassifyIcmp(family, true, received(raw, router), raw.data());

    const Bytes request = echoHeader(family, 0x4321, 77); // the kernel's own identifier
    platform::IcmpDatagram report = received(request, router);
    report.queuedError = true;
    report.error.ee_origin = family == AF_INET ? SO_EE_ORIGIN_ICMP : SO_EE_ORIGIN_ICMP6;
    report.error.ee_type = uint8_t(type);
    report.error.ee_code = uint8_t(code);
    const platform::IcmpAnswer fromQueue = platform::ClassifyIcmp(family, false, report, request.data());

    for (const platform::IcmpAnswer &a : {fromRaw, fromQueue}) {
        QCOMPARE(int(a.kind), kind);
        QCOMPARE(a.code, code);
        QCOMPARE(a.sequence, uint16_t(77));
        QCOMPARE(a.from, address(router));
        QVERIFY(platform::AnswersEcho(a, 0x1234, 77, address("10.1.1.1")));
        QCOMPARE(int(platform::EchoStatusOf(family, a.kind, a.code)), status);
    }
    // Errors of this host itself, reported on the error queue.
    report.error.ee_origin = SO_EE_ORIGIN_LOCAL;
    for (const auto &[error, local] : {std::pair{ENETUNREACH, 11003}, {EHOSTUNREACH, 11003},
                                       {EMSGSIZE, 11009}, {EPERM, 11050}}) {
        report.error.ee_errno = uint32_t(error);
        const platform::IcmpAnswer a = platform::ClassifyIcmp(family, false, report, request.data());
        QCOMPARE(a.kind, platform::IcmpKind::LocalError);
        QCOMPARE(int(platform::EchoStatusOf(family, a.kind, a.code)), local);
    }
}

// A raw socket sees every ICMP message of the host: another program's echoes and
// their answers are none of ours.
void TestEcho::otherEchoesAreNotOurs()
{
    const Bytes theirs = rawError(AF_INET6, 1, 3, 0x9999, 77);
    const platform::IcmpAnswer error = platform::ClassifyIcmp(AF_INET6, true, received(theirs, "fd00::9"), theirs.data());
    QVERIFY(!platform::AnswersEcho(error, 0x1234, 77, address("fd00::1")));

    Bytes reply = echoHeader(AF_INET6, 0x1234, 77);
    reply[0] = ICMP6_ECHO_REPLY;
    const platform::IcmpAnswer elsewhere = platform::ClassifyIcmp(AF_INET6, true, received(reply, "fd00::2"), reply.data());
    QCOMPARE(elsewhere.kind, platform::IcmpKind::EchoReply);
    QVERIFY(!platform::AnswersEcho(elsewhere, 0x1234, 77, address("fd00::1"))); // not from its target
    QVERIFY(platform::AnswersEcho(elsewhere, 0x1234, 77, address("fd00::2")));
    QVERIFY(!platform::AnswersEcho(elsewhere, 0x1234, 78, address("fd00::2")));

    const Bytes request = echoHeader(AF_INET6, 0x1234, 77); // a request, not an answer
    QCOMPARE(platform::ClassifyIcmp(AF_INET6, true, received(request, "fd00::2"), request.data()).kind,
             platform::IcmpKind::None);
}

QTEST_MAIN(TestEcho)
#include "tst_echo.moc"
