// The local network look-ups and the default list, on a network of the test's own:
// a veth pair in a private namespace with an address and a default route, and a
// resolver file written by the test. Nothing here can reach a real host.
#include "app/formtester.h"
#include "iplist/iplist.h"
#include "iplist/iplistfile.h"
#include "platform/netinfo.h"
#include "probe/netlookup.h"

#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QComboBox>
#include <QSignalSpy>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace netvane;

class TestIpListDefaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void nothingKnownWithoutANetwork();
    void failedHostsAreReported();
    void defaultsFromTheLocalNetwork();
    void dualStackNameOnEachFamily();

private:
    QTemporaryDir m_dir;
    QString m_resolvConf;
};

void TestIpListDefaults::initTestCase()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(why));
    m_resolvConf = m_dir.filePath(u"resolv.conf"_qs);
    QFile f(m_resolvConf);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("# test resolver\nsearch test\nnameserver 10.77.1.53\nnameserver ::1\n"
            "nameserver 10.77.1.54\noptions ndots:1\n");
}

void TestIpListDefaults::nothingKnownWithoutANetwork()
{
    // Only loopback here: no adapter, no gateway, and no name leaves the machine.
    QCOMPARE(LocalAdapterAddress(), QString());
    QCOMPARE(LocalHostAddress(), QString());
    QCOMPARE(DefaultGateway(), QString());
    QCOMPARE(LocalSubnetRange().first, QString());
    QCOMPARE(ResolveHostAddress(u"no-such-host.invalid"_qs), QString());
    QCOMPARE(ResolveHostAddress(u"localhost"_qs), u"127.0.0.1"_qs);
    QCOMPARE(DnsServers(m_dir.filePath(u"missing.conf"_qs)), QStringList());

    // The default list then holds no local group or ranges.
    IpList list;
    list.setFolder(m_dir.path() + u"/empty/"_qs);
    QVERIFY(QDir().mkpath(m_dir.path() + u"/empty"_qs));
    list.setNetworkFiles({}, m_resolvConf);
    QVERIFY(list.LoadIpList());
    QCOMPARE(list.itemCount(), 5); // three DNS servers (one IPv6), two public hosts
    for (const QString &item : list.items())
        QVERIFY2(item.startsWith(u'A'), qPrintable(item));
}

void TestIpListDefaults::failedHostsAreReported()
{
    // Names that cannot resolve: this namespace has no resolver to reach.
    test::IsolatedFolders folders;
    test::ScriptedUi ui;
    QVERIFY(QDir().mkpath(folders.dataFolder()));
    QString many = u"BMany"_qs;
    for (int i = 1; i <= 11; ++i)
        many += u",gone%1.invalid"_qs.arg(i);
    QVERIFY(WriteIpListFile(folders.dataFolder() + IpListFileName,
                            {u"Anowhere.invalid"_qs, many}));
    FormTester window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *textPing = window.findChild<QLineEdit *>(u"TextPing"_qs);
    textPing->setText(u"nowhere.invalid"_qs);
    window.CommandStart_Click();
    QCOMPARE(ui.texts(), QStringList{u"Cannot find the IP address for the following 1 host:"
                                     u"\r\n\r\n       nowhere.invalid"_qs});
    QVERIFY(!window.isBusy()); // no target: nothing runs

    // More than nine: the list is cut short.
    ui.clear();
    auto *list = window.findChild<QListWidget *>(u"ListIP"_qs);
    list->item(1)->setSelected(true);
    window.CommandStart_Click();
    QCOMPARE(ui.texts(), QStringList{u"Cannot find the IP address for the following 11 host:"
                                     u"\r\n\r\n       gone1.inval  ........"_qs});
    QVERIFY(!window.isBusy());
}

void TestIpListDefaults::defaultsFromTheLocalNetwork()
{
    const QStringList setup[] = {
        {u"link"_qs, u"add"_qs, u"nvl0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs,
         u"nvl1"_qs},
        {u"addr"_qs, u"add"_qs, u"10.77.1.23/24"_qs, u"dev"_qs, u"nvl0"_qs},
        {u"link"_qs, u"set"_qs, u"nvl0"_qs, u"up"_qs},
        {u"link"_qs, u"set"_qs, u"nvl1"_qs, u"up"_qs},
        {u"route"_qs, u"add"_qs, u"default"_qs, u"via"_qs, u"10.77.1.1"_qs},
        {u"-6"_qs, u"addr"_qs, u"add"_qs, u"fd00:77::23/64"_qs, u"dev"_qs, u"nvl0"_qs, u"nodad"_qs},
        {u"-6"_qs, u"route"_qs, u"add"_qs, u"default"_qs, u"via"_qs, u"fd00:77::1"_qs},
    };
    for (const QStringList &args : setup) {
        QString out;
        if (!test::Run(u"ip"_qs, args, &out))
            QSKIP(qPrintable(u"cannot set up the test network: "_qs + out));
    }

    QCOMPARE(LocalAdapterAddress(), u"10.77.1.23"_qs);
    QCOMPARE(DefaultGateway(), u"10.77.1.1"_qs); // before the IPv6 one
    const QList<platform::AdapterAddress> gateways6 = platform::DefaultRouteGateways6();
    QCOMPARE(gateways6.size(), 1);
    QCOMPARE(gateways6.at(0).address, u"fd00:77::1"_qs);
    QCOMPARE(LocalSubnetRange().first, u"10.77.1.0"_qs);
    QCOMPARE(LocalSubnetRange().last, u"10.77.1.255"_qs);
    const QStringList dns = DnsServers(m_resolvConf);
    QCOMPARE(dns, (QStringList{u"10.77.1.53"_qs, u"::1"_qs, u"10.77.1.54"_qs})); // in the file's order

    // A route file of the test's own: the gateway of the first adapter with one.
    const QString routes = m_dir.filePath(u"route"_qs);
    QFile f(routes);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\n"
            "other\t00000000\t0102A8C0\t0003\t0\t0\t0\t00000000\n"
            "nvl0\t0001A80A\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"
            "nvl0\t00000000\tFE01A80A\t0003\t0\t0\t0\t00000000\n");
    f.close();
    QCOMPARE(DefaultGateway(routes), u"10.168.1.254"_qs);

    IpList list;
    list.setFolder(m_dir.path() + u'/');
    list.setNetworkFiles({}, m_resolvConf);
    QVERIFY(!QFile::exists(list.filePath()));
    QVERIFY(list.LoadIpList());
    QVERIFY(QFile::exists(list.filePath()));
    const QStringList items = list.items();
    QCOMPARE(items.size(), 4 + 2 + 2 + 11);
    QVERIFY(items.contains(u"A10.77.1.1"_qs));
    QVERIFY(items.contains(u"A10.77.1.53"_qs));
    QVERIFY(items.contains(u"A10.77.1.54"_qs));
    QVERIFY(items.contains(u"CIP_Range_01_Subnet_(0-255),10.77.1.0,10.77.1.255"_qs));
    QVERIFY(items.contains(u"BIP_Group_01,10.77.1.1,10.77.1.2,10.77.1.3,10.77.1.4,10.77.1.5,"
                           u"10.77.1.10,10.77.1.20,10.77.1.30,10.77.1.40"_qs));
    // Sorted: single entries, then groups, then ranges.
    QVERIFY(items.at(5).startsWith(u'A') && items.at(6).startsWith(u'B') && items.at(8).startsWith(u'C'));
    // The file ends with its single-space line.
    QFile written(list.filePath());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().endsWith("\r\n \r\n"));

    // The subnet menu opens the range dialog on the local subnet.
    test::IsolatedFolders folders;
    test::ScriptedUi ui;
    QVERIFY(QDir().mkpath(folders.dataFolder()));
    QVERIFY(WriteIpListFile(folders.dataFolder() + IpListFileName, {u"A127.0.0.2"_qs}));
    FormTester window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList seen;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        for (const char *name : {"TextTittle", "TextIP", "TextIP2"})
            seen << d->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
        d->findChild<QPushButton *>(u"Command2"_qs)->click();
    });
    poll.start(5);
    window.findChild<QAction *>(u"mnuScanLocalIP"_qs)->trigger();
    QCOMPARE(seen, (QStringList{u"IP_Range_"_qs, u"10.77.1.0"_qs, u"10.77.1.255"_qs}));
}

// A name with an IPv4 and an IPv6 address, from a hosts file of the test's own, is
// tested on the family chosen beside the ping settings, and the choice is kept.
void TestIpListDefaults::dualStackNameOnEachFamily()
{
    test::PrivateHostsFile hosts;
    QString why;
    // (A "::1" line would also answer an IPv4 look-up, as 127.0.0.1.)
    if (!hosts.replace("127.0.0.1 localhost\n::1 localhost\n127.0.0.5 dual.test\nfd00::5 dual.test\n", &why))
        QSKIP(qPrintable(why));
    QString out;
    if (!test::Run(u"ip"_qs, {u"-6"_qs, u"addr"_qs, u"add"_qs, u"fd00::5/128"_qs, u"dev"_qs, u"lo"_qs, u"nodad"_qs}, &out))
        QSKIP(qPrintable(u"cannot give loopback the test's IPv6 address: "_qs + out));
    QString getent;
    QVERIFY(test::Run(u"getent"_qs, {u"ahosts"_qs, u"dual.test"_qs}, &getent));
    const QString systemFirst = getent.section(u' ', 0, 0); // what the system would connect to
    QCOMPARE(ResolveHostAddress(u"dual.test"_qs, AddressFamily::Automatic), systemFirst);
    QCOMPARE(ResolveHostAddress(u"dual.test"_qs, AddressFamily::IPv4Only), u"127.0.0.5"_qs);
    QCOMPARE(ResolveHostAddress(u"dual.test"_qs, AddressFamily::IPv6Only), u"fd00::5"_qs);
    QCOMPARE(ResolveHostAddress(u"localhost"_qs), u"127.0.0.1"_qs); // until the user chooses

    test::IsolatedFolders folders;
    test::ScriptedUi ui;
    {
        FormTester window;
        window.findChild<QComboBox *>(u"ComboFamily"_qs)->setCurrentText(u"IPv6 only"_qs);
        window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"dual.test"_qs);
        window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(u"1"_qs);
        QSignalSpy finished(window.pingTest(), &PingTest::finished);
        window.CommandStart_Click();
        QVERIFY(finished.wait(10000));
        const PingReplyLog &log = window.pingTest()->log();
        QCOMPARE(log.address(log.at(0)), u"fd00::5"_qs);
        QCOMPARE(log.at(0).status, 0); // answered on loopback
    }
    FormTester next; // the choice is read back at the next start
    QCOMPARE(next.findChild<QComboBox *>(u"ComboFamily"_qs)->currentText(), u"IPv6 only"_qs);
    QCOMPARE(CurrentAddressFamily(), AddressFamily::IPv6Only);
    SetAddressFamily(DefaultAddressFamily);
}

QTEST_MAIN(TestIpListDefaults)
#include "tst_iplistdefaults.moc"
