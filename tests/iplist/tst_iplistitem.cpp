// Item texts, address classification and the expansion of items into targets.
#include "iplist/iplistitem.h"
#include "iplist/targetentry.h"
#include "iplist/targettable.h"
#include "platform/icmpsocket.h"

#include <QTest>

using namespace netvane;

Q_DECLARE_METATYPE(netvane::AddressClass)

namespace {

QStringList addresses(const TargetTable &table)
{
    QStringList list;
    for (const TargetRow &row : table.rows())
        list << row.address;
    return list;
}

// Names resolve only through this table: no test ever asks a real resolver for
// anything but localhost.
QString fakeResolver(const QString &name)
{
    if (name == u"localhost")
        return u"127.0.0.1"_qs;
    if (name == u"printer.test")
        return u"127.0.0.44"_qs;
    return {};
}

} // namespace

class TestIpListItem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void classify_data();
    void classify();
    void strictAddress_data();
    void strictAddress();
    void typedTargetRule_data();
    void typedTargetRule();
    void rangeOrder();
    void addressRuleIsTheEchos_data();
    void addressRuleIsTheEchos();
    void itemTexts();
    void expandRange_data();
    void expandRange();
    void expandItems();
    void largeRangeAsksFirst();
    void ipv6Entries_data();
    void ipv6Entries();
};

void TestIpListItem::classify_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<AddressClass>("kind");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("plain") << u"192.168.0.1"_qs << AddressClass::Address << u"192.168.0.1"_qs;
    QTest::newRow("leading zeros") << u"010.001.001.001"_qs << AddressClass::Address
                                   << u"10.1.1.1"_qs;
    QTest::newRow("spaces removed") << u" 10. 0.0 .7 "_qs << AddressClass::Address
                                    << u"10.0.0.7"_qs;
    QTest::newRow("all zero") << u"0.0.0.0"_qs << AddressClass::Invalid << QString();
    QTest::newRow("three parts") << u"1.2.3"_qs << AddressClass::Invalid << QString();
    QTest::newRow("empty part") << u"1..2.3"_qs << AddressClass::Invalid << QString();
    QTest::newRow("over 255") << u"300.1.1.1"_qs << AddressClass::Invalid << QString();
    QTest::newRow("five parts") << u"1.2.3.4.5"_qs << AddressClass::Invalid << QString();
    QTest::newRow("16-bit overflow") << u"1.2.3.70000"_qs << AddressClass::Invalid << QString();
    QTest::newRow("letters") << u"a.b.c"_qs << AddressClass::NotNumeric << QString();
    QTest::newRow("one dot") << u"10.1"_qs << AddressClass::NotNumeric << QString();
    QTest::newRow("host name") << u"www.example.com"_qs << AddressClass::NotNumeric << QString();
    QTest::newRow("empty") << QString() << AddressClass::NotNumeric << QString();
}

void TestIpListItem::classify()
{
    QFETCH(QString, text);
    QFETCH(AddressClass, kind);
    QFETCH(QString, normalised);
    const ClassifiedAddress c = ClassifyAddressText(text);
    QCOMPARE(c.kind, kind);
    QCOMPARE(c.text, normalised);
    QVERIFY(!c.stripped.contains(u' '));
}

void TestIpListItem::typedTargetRule_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason"); // empty: taken
    const QString label63(63, u'a');
    QTest::newRow("address") << u"127.0.0.1"_qs << QString();
    QTest::newRow("qualified name") << u"printer.example."_qs << QString();
    QTest::newRow("nothing") << u"  "_qs << u"Nothing was entered."_qs;
    QTest::newRow("all zero") << u"0.0.0.0"_qs << u"'0.0.0.0' is not an IPv4 address."_qs;
    QTest::newRow("label of 63") << label63 + u".example"_qs << QString();
    QTest::newRow("label of 64") << label63 + u"a.example"_qs
                                 << u"A part of the host name has 64 characters."_qs;
    QTest::newRow("name of 253") << QStringList(4, label63).join(u'.').left(253) << QString();
    QTest::newRow("name of 259") << QStringList(5, QString(51, u'b')).join(u'.')
                                 << u"The host name has 259 characters."_qs;
    QTest::newRow("empty part") << u"a..example"_qs << u"The host name has an empty part between dots."_qs;
}

void TestIpListItem::typedTargetRule()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    const QString problem = TargetEntryProblem(text);
    if (reason.isEmpty()) {
        QCOMPARE(problem, QString());
    } else {
        QCOMPARE(problem, reason + u' ' + TargetEntryAllowed()); // and what is allowed
    }
}

void TestIpListItem::rangeOrder()
{
    QCOMPARE(RangeOrderProblem(u"10.0.0.1"_qs, u"10.0.0.1"_qs), QString());
    QCOMPARE(RangeOrderProblem(u"10.0.1.250"_qs, u"10.0.2.5"_qs), QString());
    const QString backwards = RangeOrderProblem(u"10.0.0.5"_qs, u"10.0.0.1"_qs);
    QVERIFY(backwards.startsWith(u"The last address 10.0.0.1 comes before the first address 10.0.0.5."_qs));
}

void TestIpListItem::strictAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u" 10.0.0.1 "_qs << u"10.0.0.1"_qs;
    QTest::newRow("zeros allowed") << u"0.0.0.0"_qs << u"0.0.0.0"_qs;
    QTest::newRow("leading zeros") << u"010.000.001.255"_qs << u"10.0.1.255"_qs;
    QTest::newRow("host name") << u"localhost"_qs << QString();
    QTest::newRow("three parts") << u"10.0.1"_qs << QString();
    QTest::newRow("inner space") << u"10.0. 0.1"_qs << QString();
    QTest::newRow("256") << u"10.0.0.256"_qs << QString();
}

void TestIpListItem::strictAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StrictAddressText(text), expected);
}

// What the list takes for an address is what the echo sends to, and the target
// carries its plain dotted form (the result file keeps at most 15 characters of it).
void TestIpListItem::addressRuleIsTheEchos_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<AddressClass>("kind");
    QTest::addColumn<QString>("target");
    QTest::newRow("long zero padding") << u"192.168.001.0001"_qs << AddressClass::Address
                                       << u"192.168.1.1"_qs;
    QTest::newRow("blank inside") << u"10. 0.0.1"_qs << AddressClass::Address << u"10.0.0.1"_qs;
    QTest::newRow("octet too big") << u"10. 0.0.300"_qs << AddressClass::Invalid
                                   << u"10.0.0.300"_qs;
    QTest::newRow("five parts") << u"111.222.333.444.555"_qs << AddressClass::Invalid
                                << u"111.222.333.444.555"_qs;
}

void TestIpListItem::addressRuleIsTheEchos()
{
    QFETCH(QString, typed);
    QFETCH(AddressClass, kind);
    QFETCH(QString, target);
    QCOMPARE(ClassifyAddressText(typed).kind, kind);
    TargetTable table(&fakeResolver);
    table.setLetWindowCatchUp(false);
    table.ExpandListItem(u"A"_qs + typed);
    table.ExpandListItem(u"BG,"_qs + typed + u"  (annotated)"_qs);
    QCOMPARE(addresses(table), QStringList(2, target));
    QCOMPARE(platform::ParseDottedQuad(target).has_value(), kind == AddressClass::Address);
    QCOMPARE(platform::ParseDottedQuad(typed).has_value(), kind == AddressClass::Address);
}

void TestIpListItem::itemTexts()
{
    QCOMPARE(StripHostAnnotation(u"192.168.1.15  (Host Name C)"_qs), u"192.168.1.15"_qs);
    QCOMPARE(StripHostAnnotation(u" 10.0.0.1 "_qs), u" 10.0.0.1 "_qs); // no "(": unchanged

    QCOMPARE(ItemDisplayText(u"A  host.test  "_qs), u"host.test"_qs);
    QCOMPARE(ItemDisplayText(u"A"_qs + QString(150, u'x')), QString(99, u'x'));
    QCOMPARE(ItemDisplayText(u"BIP_Group_01,10.0.0.1,10.0.0.2"_qs), u"IP_Group_01"_qs);
    QCOMPARE(ItemDisplayText(u"CIP_Range,10.0.0.1,10.0.0.9"_qs), u"IP_Range"_qs);
    QCOMPARE(ItemParts(u"CIP_Range,10.0.0.1,10.0.0.9"_qs),
             (QStringList{u"10.0.0.1"_qs, u"10.0.0.9"_qs}));

    QCOMPARE(SubnetPrefix(u"192.168.1.23"_qs), u"192.168.1"_qs);
    QCOMPARE(SubnetPrefix(QString()), QString());

    QVERIFY(IsValidItemTitle(u"Office (2nd floor)"_qs));
    QVERIFY(!IsValidItemTitle(u"Office, 2nd floor"_qs));

    QCOMPARE(TraceTargetOfItem(u"A10.0.0.1"_qs), u"10.0.0.1"_qs);
    QString group = u"BG"_qs;
    for (int i = 1; i <= 12; ++i)
        group += u",10.0.0.%1  (h%1)"_qs.arg(i);
    QCOMPARE(TraceTargetOfItem(group),
             u"10.0.0.1 10.0.0.2 10.0.0.3 10.0.0.4 10.0.0.5 10.0.0.6 10.0.0.7 10.0.0.8 10.0.0.9"_qs);
    QCOMPARE(TraceTargetOfItem(u"CR,10.0.0.1,10.0.0.2"_qs), QString());
}

void TestIpListItem::expandRange_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one address") << u"10.0.0.1"_qs << u"10.0.0.1"_qs
                                 << QStringList{u"10.0.0.1"_qs};
    QTest::newRow("stepping down") << u"10.0.0.5"_qs << u"10.0.0.1"_qs
                                   << QStringList{u"10.0.0.5"_qs, u"10.0.0.4"_qs, u"10.0.0.3"_qs,
                                                  u"10.0.0.2"_qs, u"10.0.0.1"_qs};
    // Each octet spans on its own: the product, not the interval of numbers.
    QTest::newRow("cartesian") << u"10.0.1.3"_qs << u"10.0.2.1"_qs
                               << QStringList{u"10.0.1.3"_qs, u"10.0.1.2"_qs, u"10.0.1.1"_qs,
                                              u"10.0.2.3"_qs, u"10.0.2.2"_qs, u"10.0.2.1"_qs};
    QTest::newRow("not addresses") << u"10.0.0.1"_qs << u"localhost"_qs << QStringList{};
}

void TestIpListItem::expandRange()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QStringList, expected);
    TargetTable table(&fakeResolver);
    table.setLetWindowCatchUp(false);
    table.ExpandAddressRange(first, last);
    QCOMPARE(addresses(table), expected);
    for (const TargetRow &row : table.rows()) {
        QCOMPARE(row.label, row.address);
        QCOMPARE(row.source, row.address);
    }
    if (!expected.isEmpty())
        QCOMPARE(RangeAddressCount(first, last), qint64(expected.size()));
}

void TestIpListItem::expandItems()
{
    TargetTable table(&fakeResolver);
    table.setLetWindowCatchUp(false);
    table.ExpandListItem(u"A300.1.1.1"_qs); // numeric: taken as typed, not resolved
    table.ExpandListItem(u"A localhost "_qs);
    table.ExpandListItem(u"BG,192.168.1.15  (Host Name C),printer.test,gone.test,,010.0.0.1"_qs);
    table.ExpandListItem(u"CR,127.0.0.1,127.0.0.2"_qs);
    table.ExpandListItem(u"Anowhere.test"_qs);

    QCOMPARE(addresses(table),
             (QStringList{u"300.1.1.1"_qs, u"127.0.0.1"_qs, u"192.168.1.15"_qs, u"127.0.0.44"_qs,
                          u"10.0.0.1"_qs, u"127.0.0.1"_qs, u"127.0.0.2"_qs}));
    QCOMPARE(table.rows().at(1).label, u"localhost / 127.0.0.1"_qs);
    QCOMPARE(table.rows().at(1).source, u"localhost"_qs);
    QCOMPARE(table.rows().at(2).label, u"192.168.1.15"_qs);
    QCOMPARE(table.rows().at(3).label, u"printer.test / 127.0.0.44"_qs);
    QCOMPARE(table.unresolvedCount(), 2);
    QCOMPARE(table.unresolvedText(), u"\r\n       gone.test\r\n       nowhere.test"_qs);

    TargetTable real; // the system resolver, asked for localhost only
    real.setLetWindowCatchUp(false);
    QCOMPARE(real.AddTarget(u"localhost"_qs), u"127.0.0.1"_qs);
}

void TestIpListItem::largeRangeAsksFirst()
{
    QList<qint64> asked;
    bool answer = false;
    TargetTable table(&fakeResolver, [&](const QString &, const QString &, qint64 count) {
        asked << count;
        return answer;
    });
    table.setLetWindowCatchUp(false);
    table.ExpandListItem(u"CR,10.0.0.0,10.1.0.255"_qs); // 2 * 1 * 256 = 512: no question
    QCOMPARE(table.targetCount(), 512);
    QVERIFY(asked.isEmpty());
    table.ExpandListItem(u"CBig,10.0.0.0,10.0.255.255"_qs); // exactly 65,536: no question
    QVERIFY(asked.isEmpty());
    table.clear();
    table.ExpandListItem(u"CHuge,10.0.0.0,10.255.255.255"_qs);
    QCOMPARE(asked, QList<qint64>{16777216});
    QCOMPARE(table.targetCount(), 0);
    answer = true;
    table.ExpandListItem(u"CWide,10.0.0.0,10.1.255.255"_qs);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.last(), qint64(131072));
    QCOMPARE(table.targetCount(), 131072);
}

// A single entry (last empty) or a range: what is stored or how many addresses the
// range makes, or the refusal's reason.
void TestIpListItem::ipv6Entries_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("reason");
    const QString none;
    QTest::newRow("full form, upper case") << u"FD00:0000:0000:0000:0000:0000:0000:00A1"_qs << none << u"fd00::a1"_qs << none;
    QTest::newRow("first longest run") << u"2001:db8:0:0:1:0:0:1"_qs << none << u"2001:db8::1:0:0:1"_qs << none;
    QTest::newRow("one zero group stays") << u"2001:db8:0:1:1:1:1:1"_qs << none << u"2001:db8:0:1:1:1:1:1"_qs << none;
    QTest::newRow("dotted tail") << u"64:ff9b::10.1.2.3"_qs << none << u"64:ff9b::a01:203"_qs << none;
    QTest::newRow("mapped IPv4") << u"::FFFF:10.1.2.3"_qs << none << u"10.1.2.3"_qs << none;
    QTest::newRow("zone kept as typed") << u"FE80:0::0001%Eth0"_qs << none << u"fe80::1%Eth0"_qs << none;
    QTest::newRow("blanks and a note") << u" fe80::0:1%lo  (router)"_qs << none << u" fe80::1%lo  (router)"_qs << none;
    QTest::newRow("two gaps") << u"1::2::3"_qs << none << none << u"'1::2::3' is not an IPv6 address."_qs;
    QTest::newRow("group too long") << u"12345::1"_qs << none << none << u"'12345::1' is not an IPv6 address."_qs;
    QTest::newRow("unspecified") << u"::"_qs << none << none << u"'::' is no address to test."_qs;
    QTest::newRow("link-local, no zone") << u"fe80::1"_qs << none << none << u"needs its zone"_qs;
    QTest::newRow("zone elsewhere") << u"fd00::1%eth0"_qs << none << none << u"Only a link-local address"_qs;
    QTest::newRow("empty zone") << u"fe80::1%"_qs << none << none << u"is not an IPv6 address."_qs;
    QTest::newRow("control in zone") << u"fe80::1%e\x01th0"_qs << none << none << u"is not an interface name."_qs;
    QTest::newRow("range of 65536") << u"fd00::1"_qs << u"FD00::1:0"_qs << u"65536"_qs << none;
    QTest::newRow("range with zone") << u"fe80::fffe%lo"_qs << u"fe80::1:1%lo"_qs << u"4"_qs << none;
    QTest::newRow("range of 65537") << u"fd00::"_qs << u"fd00::1:0"_qs << none
                                    << u"holds 65537 addresses; an IPv6 range may hold at most 65,536."_qs;
    QTest::newRow("every address") << u"::1"_qs << u"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"_qs << none
                                   << u"holds 340282366920938463463374607431768211455 addresses"_qs;
    QTest::newRow("backwards") << u"fd00::5"_qs << u"fd00::1"_qs << none << u"comes before the first"_qs;
    QTest::newRow("two families") << u"fd00::1"_qs << u"10.0.0.1"_qs << none << u"not one of each"_qs;
    QTest::newRow("two zones") << u"fe80::1%lo"_qs << u"fe80::2%eth0"_qs << none << u"the same zone"_qs;
}

void TestIpListItem::ipv6Entries()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, stored);
    QFETCH(QString, reason);
    TargetTable table(&fakeResolver);
    table.setLetWindowCatchUp(false);
    if (last.isEmpty()) {
        const QString problem = TargetEntryProblem(StripHostAnnotation(first));
        QVERIFY2(reason.isEmpty() ? problem.isEmpty() : problem.contains(reason), qPrintable(problem));
        QCOMPARE(StoredEntryText(first), stored.isEmpty() ? first : stored);
        // A group member is tested as it is stored, never looked up as a name.
        table.ExpandListItem(u"BG,"_qs + first);
        QCOMPARE(addresses(table), QStringList{StripHostAnnotation(stored.isEmpty() ? first : stored)});
        return;
    }
    const QString problem = RangeOrderProblem(StrictAddressText(first), StrictAddressText(last));
    QVERIFY2(reason.isEmpty() ? problem.isEmpty() : problem.contains(reason), qPrintable(problem));
    table.ExpandListItem(u"CR,"_qs + StrictAddressText(first) + u',' + StrictAddressText(last));
    QCOMPARE(QString::number(table.targetCount()), stored.isEmpty() ? u"0"_qs : stored);
    QCOMPARE(QString::number(RangeAddressCount(first, last)), stored.isEmpty() ? u"0"_qs : stored);
    if (!stored.isEmpty()) { // from the first address up to the last, held as its two ends
        QCOMPARE(table.rows().at(0).address, StrictAddressText(first));
        QCOMPARE(table.rows().at(table.targetCount() - 1).address, StrictAddressText(last));
        QCOMPARE(table.targets().echoAddress(1).family, AF_INET6);
        QVERIFY(table.targets().memoryBytes() < 4096);
    }
}

QTEST_GUILESS_MAIN(TestIpListItem)
#include "tst_iplistitem.moc"
