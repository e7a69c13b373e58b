// The scan's answers and MAC look-ups apart from the window: how answer texts fill
// the records and counters, and how MACs are read from "arp -a" and "nbtstat -a".

#include "scanner/scanpanel.h"
#include "scanner/scanresults.h"

#include <QFile>
#include <QtTest>

using namespace netvane;

class TestScanResults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
    void arpMac_data();
    void arpMac();
    void nbtstatMac_data();
    void nbtstatMac();
    void vendorOfMac();
};

void TestScanResults::answers_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("counts"); // replies, active, inactive, remaining
    QTest::addColumn<QStringList>("record1"); // Ping, Ttl, HostName, MacAddress of index 1
    QTest::newRow("answered") << QStringList{u"1,3,128,DESK-07,00-1A-2B-3C-4D-5E"_qs}
        << QList<int>{1, 1, 0, 2} << QStringList{u"3"_qs, u"128"_qs, u"DESK-07"_qs, u"00-1A-2B-3C-4D-5E"_qs};
    QTest::newRow("no name") << QStringList{u"1,1,64,,"_qs}
        << QList<int>{1, 1, 0, 2} << QStringList{u"1"_qs, u"64"_qs, QString(), QString()};
    QTest::newRow("dead") << QStringList{u"1,Dead"_qs}
        << QList<int>{1, 0, 1, 2} << QStringList{u"Dead"_qs, QString(), QString(), QString()};
    QTest::newRow("three fields set only the time") << QStringList{u"1,5,64"_qs}
        << QList<int>{1, 0, 0, 2} << QStringList{u"5"_qs, QString(), QString(), QString()};
    QTest::newRow("same index twice counts twice") << QStringList{u"1,Dead"_qs, u"1,Dead"_qs}
        << QList<int>{2, 0, 2, 1} << QStringList{u"Dead"_qs, QString(), QString(), QString()};
    QTest::newRow("index outside is still counted") << QStringList{u"7,2,64,,"_qs, u"x,Dead"_qs}
        << QList<int>{2, 1, 1, 1} << QStringList{QString(), QString(), QString(), QString()};
    QTest::newRow("control characters kept off the line") << QStringList{u"1,2,64,a\tb,"_qs}
        << QList<int>{1, 1, 0, 2} << QStringList{u"2"_qs, u"64"_qs, u"a b"_qs, QString()};
}

void TestScanResults::answers()
{
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, counts);
    QFETCH(QStringList, record1);
    ScanTally tally;
    tally.reset({u"10.0.0.1"_qs, u"10.0.0.2"_qs, u"10.0.0.3"_qs});
    for (const QString &t : texts)
        tally.storeAnswer(t);
    QCOMPARE((QList<int>{tally.replies, tally.active, tally.inactive, tally.remaining}), counts);
    const ScanResultRecord &r = tally.results.at(1);
    QCOMPARE((QStringList{r.Ping, r.Ttl, r.HostName, r.MacAddress}), record1);
    QCOMPARE(r.Address, u"10.0.0.2"_qs);
    // A probe that ends afterwards adds nothing to an answered address.
    const int replies = tally.replies;
    const bool unanswered = r.Ping.isEmpty(); // read before markSilent may fill it
    QCOMPARE(tally.markSilent(1), unanswered);
    QCOMPARE(tally.replies, replies + (record1.first().isEmpty() ? 1 : 0));
}

void TestScanResults::arpMac_data()
{
    const QString heading = u"\nInterface: 10.0.0.5 --- eth0\n"
                            u"  Internet Address      Physical Address      Type\n"_qs;
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mac");
    QTest::newRow("listed") << heading + u"    10.0.0.1        aa-bb-cc-dd-ee-01          dynamic\n"_qs
                            << u"10.0.0.1"_qs << u"AA-BB-CC-DD-EE-01"_qs;
    QTest::newRow("longest address")
        << heading + u"    192.168.100.200 aa-bb-cc-dd-ee-02          dynamic\n"_qs
        << u"192.168.100.200"_qs << u"AA-BB-CC-DD-EE-02"_qs;
    QTest::newRow("only a longer address listed")
        << heading + u"    10.0.0.12       aa-bb-cc-dd-ee-12          dynamic\n"_qs
        << u"10.0.0.1"_qs << QString();
    QTest::newRow("longer address listed first")
        << heading + u"    10.0.0.12       aa-bb-cc-dd-ee-12          dynamic\n"
                     u"    10.0.0.1        aa-bb-cc-dd-ee-01          dynamic\n"_qs
        << u"10.0.0.1"_qs << u"AA-BB-CC-DD-EE-01"_qs;
    QTest::newRow("in the heading only")
        << u"    10.0.0.1        aa-bb-cc-dd-ee-01\n"_qs + heading << u"10.0.0.1"_qs << QString();
    QTest::newRow("no MAC after it") << heading + u"    10.0.0.1        incomplete\n"_qs
                                     << u"10.0.0.1"_qs << QString();
}

void TestScanResults::arpMac()
{
    QFETCH(QString, output);
    QFETCH(QString, address);
    QFETCH(QString, mac);
    QCOMPARE(MacFromArpOutput(output, address), mac);
}

void TestScanResults::nbtstatMac_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("mac");
    QTest::newRow("found") << u"\neth0:\n\n    MAC Address = 0a-1b-2c-3d-4e-5f\n\n"_qs
                           << u"0A-1B-2C-3D-4E-5F"_qs;
    QTest::newRow("other case") << u"mac address = 0A-1B-2C-3D-4E-5F\n"_qs << u"0A-1B-2C-3D-4E-5F"_qs;
    QTest::newRow("cut short") << u"MAC Address = 0A-1B-2C\n"_qs << QString();
    QTest::newRow("not found") << u"Host not found.\n"_qs << QString();
}

void TestScanResults::nbtstatMac()
{
    QFETCH(QString, output);
    QFETCH(QString, mac);
    QCOMPARE(MacFromNbtstatOutput(output), mac);
}

void TestScanResults::vendorOfMac()
{
    if (!QFile::exists(u"/usr/share/ieee-data/oui.txt"_qs))
        QSKIP("the IEEE registry (ieee-data) is not installed");
    QCOMPARE(ScanPanel::MacVendor(u"00-22-72-01-02-03"_qs), u"American Micro-Fuel Device Corp."_qs);
    QCOMPARE(ScanPanel::MacVendor(u"02-00-00-00-00-01"_qs), QString());
    QCOMPARE(ScanPanel::MacVendor(QString()), QString());
}

QTEST_MAIN(TestScanResults)
#include "tst_scanresults.moc"
