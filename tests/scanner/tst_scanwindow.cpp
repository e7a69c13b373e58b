// The scan on the real main window, offscreen, inside the test's own network
// namespace: loopback addresses that answer, a veth peer that answers with its MAC,
// addresses on the link with nobody behind them, and this machine's own address.
// The result buttons, filters, group prefill, export and stop are driven through
// their named controls.

#include "app/formtester.h"
#include "iplist/iplistfile.h"
#include "iplist/iplistpanel.h"
#include "scanner/probeinstall.h"
#include "scanner/scanpanel.h"
#include "scannet.h"
#include "support/scriptedui.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QHelpEvent>
#include <QToolTip>
#include <QtTest>

#include <unistd.h>

using namespace netvane;

namespace {

template <typename T>
T *child(QObject *parent, const QString &name)
{
    T *w = parent->findChild<T *>(name);
    if (!w)
        qFatal("no control %s", qPrintable(name));
    return w;
}

QString text(QObject *parent, const QString &name)
{
    return child<QLabel>(parent, name)->text();
}

// The MAC of an interface, upper case and dash-separated; peerPid names the
// namespace it lives in (empty: this one).
QString hardwareAddress(const QString &peerPid, const QString &device)
{
    QStringList args{u"ip"_qs, u"-o"_qs, u"link"_qs, u"show"_qs, device};
    if (!peerPid.isEmpty())
        args = QStringList{u"-t"_qs, peerPid, u"-n"_qs} + args;
    QString out;
    test::Run(peerPid.isEmpty() ? args.takeFirst() : u"nsenter"_qs, args, &out);
    const QRegularExpressionMatch m =
        QRegularExpression(u"link/ether ([0-9a-f:]{17})"_qs).match(out);
    return m.captured(1).toUpper().replace(u':', u'-');
}

// Runs one step on the next modal dialog that shows, then leaves it by Exit.
void onNextDialog(std::function<void(QDialog *)> step)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        step(dialog);
    });
    timer->start(5);
}

} // namespace

class TestScanWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void wholeScan();
    void stopAfterThirdLaunch();
    void probeEndingSilentlyCountsAsDead();
    void eitherSocketKindScansAsAUser_data();
    void eitherSocketKindScansAsAUser();

private:
    bool waitForCompletion();

    test::PeerLink m_link;
    bool m_namespace = false;
    QString m_noNamespace;
    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
};

void TestScanWindow::initTestCase()
{
    m_namespace = test::EnterPrivateNetworkNamespace(&m_noNamespace);
    if (m_namespace)
        QVERIFY(m_link.make());
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
}

void TestScanWindow::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
    QVERIFY(QDir().mkpath(m_folders->dataFolder()));
    QVERIFY(WriteIpListFile(m_folders->dataFolder() + IpListFileName,
                            {u"CLoop,127.0.0.1,127.0.0.30"_qs,
                             u"BLink,"_qs + test::LinkAddress + u',' + test::PeerAddress + u','
                                 + test::SilentAddress + u",10.231.5.4"_qs}));
    m_window = std::make_unique<FormTester>();
    m_window->show();
}

void TestScanWindow::cleanup()
{
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

bool TestScanWindow::waitForCompletion()
{
    QSignalSpy done(m_window->scanPanel(), &ScanPanel::scanCompleted);
    return done.wait(30000);
}

void TestScanWindow::wholeScan()
{
    if (!m_namespace)
        QSKIP(qPrintable(m_noNamespace));
    ScanPanel *scan = m_window->scanPanel();
    QSignalSpy status(child<QLineEdit>(scan, u"Text2"_qs), &QLineEdit::textChanged);
    child<QCheckBox>(m_window.get(), u"CheckReset"_qs)->click(); // both list items
    child<QPushButton>(m_window.get(), u"Command8"_qs)->click();
    QVERIFY(waitForCompletion());
    QVERIFY(m_ui->boxes.isEmpty());
    QStringList texts;
    for (const QList<QVariant> &args : std::as_const(status))
        texts << args.at(0).toString();
    QCOMPARE(texts.first(), u"Scanning ..."_qs);
    // Every answer counts down; all in, "OK"; then the closing text.
    QVERIFY(texts.indexOf(u"Scanning ...  0"_qs) < texts.indexOf(u"OK"_qs));
    QVERIFY(texts.indexOf(u"Scanning ...  0"_qs) > 0);

    QCOMPARE(text(scan, u"LabelTotal"_qs), u"34"_qs);
    QCOMPARE(text(scan, u"LabelActive"_qs), u"32"_qs);
    QCOMPARE(text(scan, u"LabelInactive"_qs), u"2"_qs);
    QVERIFY(child<QLineEdit>(scan, u"Text2"_qs)->text().startsWith(u"Scanning finished:   "_qs));
    for (int i = 0; i < 4; ++i)
        QVERIFY(child<QPushButton>(scan, u"CmdShowScan_%1"_qs.arg(i))->isVisible());
    QVERIFY(m_window->isBusy() == false);

    // The list keeps groups before ranges: the link's four addresses come first.
    const QList<ScanResultRecord> &all = scan->resultsAll();
    QCOMPARE(all.size(), 34);
    QCOMPARE(all.at(4).Address, u"127.0.0.1"_qs);
    QCOMPARE(all.at(4).HostName, u"localhost"_qs);
    QCOMPARE(all.at(4).Ttl, u"64"_qs);
    // The peer's MAC from the neighbour table, this machine's own from its interface.
    QCOMPARE(all.at(1).Address, test::PeerAddress);
    QVERIFY(!all.at(1).MacAddress.isEmpty());
    QCOMPARE(all.at(1).MacAddress, test::PeerMac);
    QCOMPARE(all.at(0).Address, test::LinkAddress);
    QCOMPARE(all.at(0).MacAddress, hardwareAddress({}, u"nvs0"_qs));
    QCOMPARE(all.at(2).Ping, u"Dead"_qs);
    QCOMPARE(all.at(3).Ping, u"Dead"_qs);

    // The grid ends at the last row; answered rows are light blue, silent ones grey.
    QCOMPARE(text(scan, u"ssTYPE_19"_qs), u"34."_qs);
    QVERIFY(text(scan, u"sMS_19"_qs).endsWith(u" ms"_qs));
    QCOMPARE(child<QLabel>(scan, u"ssIP_19"_qs)->palette().color(QPalette::Window), QColor(0xC0C0FF));
    auto *scroll = child<QScrollBar>(scan, u"VScroll2"_qs);
    scroll->setValue(scroll->minimum());
    QCOMPARE(text(scan, u"ssTYPE_0"_qs), u"1."_qs); // the first row can be scrolled to
    QCOMPARE(text(scan, u"ssIP_1"_qs), test::PeerAddress);
    QCOMPARE(text(scan, u"sMAC_1"_qs), test::PeerMac);
    if (QFile::exists(u"/usr/share/ieee-data/oui.txt"_qs)) {
        // Its tooltip names the vendor, once the registry has been read beside the window.
        auto *mac = child<QLabel>(scan, u"sMAC_1"_qs);
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), mac->mapToGlobal(QPoint(2, 2)));
        QTRY_COMPARE_WITH_TIMEOUT((QApplication::sendEvent(mac, &help), QToolTip::text()),
                                  u"American Micro-Fuel Device Corp."_qs, 10000);
    }
    QCOMPARE(text(scan, u"sMS_2"_qs), u"Dead"_qs);
    QCOMPARE(child<QLabel>(scan, u"sMAC_2"_qs)->palette().color(QPalette::Window), QColor(0x808080));

    // Filters: only the silent rows, then all again.
    child<QPushButton>(scan, u"CmdShowScan_2"_qs)->click();
    QCOMPARE(text(scan, u"ssIP_0"_qs), test::SilentAddress);
    QCOMPARE(text(scan, u"ssIP_1"_qs), u"10.231.5.4"_qs);
    QCOMPARE(text(scan, u"ssIP_2"_qs), QString());
    QCOMPARE(scroll->maximum(), 1);
    child<QPushButton>(scan, u"CmdShowScan_1"_qs)->click();
    QCOMPARE(scroll->maximum(), 31);

    // A group of the silent addresses: the group dialog opens prefilled.
    QString members, title;
    onNextDialog([&](QDialog *dialog) {
        members = child<QPlainTextEdit>(dialog, u"TextIPs"_qs)->toPlainText();
        title = child<QLineEdit>(dialog, u"TextTittle"_qs)->text();
        child<QPushButton>(dialog, u"Command2"_qs)->click();
    });
    child<QAction>(m_window.get(), u"mnuAddG2Inactive"_qs)->trigger();
    QCOMPARE(members, test::SilentAddress + u"\n10.231.5.4"_qs);
    QCOMPARE(title, u"IP_Group_"_qs);

    // The export (with the "Active" view showing) still holds both sections.
    const QString path = m_folders->path() + u"/scan.txt"_qs;
    m_ui->paths.enqueue(path);
    scan->ExportScanResults(u"txt"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u"\r\n"_qs);
    QVERIFY(lines.at(0).startsWith(u"IP Scan at :  "_qs));
    QCOMPARE(lines.mid(1, 10), (QStringList{u" "_qs, u" "_qs, u"Total:   34"_qs,
        u"Active:   32"_qs, u"Inactive:   2"_qs, u" "_qs, u" "_qs, u"Active:"_qs,
        u"------------------------------------"_qs, u"No,IP,Ping,Host Name,MAC Address,TTL"_qs}));
    QVERIFY(QRegularExpression(u"^1,10\\.231\\.5\\.1,\\d+,,"_qs + all.at(0).MacAddress + u",64$"_qs).match(lines.at(11)).hasMatch());
    QCOMPARE(lines.mid(43), (QStringList{u" "_qs, u" "_qs, u"Inactive:"_qs,
        u"------------------------------------"_qs, u"No,IP,Ping,Host Name,MAC Address,TTL"_qs,
        u"1,"_qs + test::SilentAddress + u",Dead,,,"_qs, u"2,10.231.5.4,Dead,,,"_qs, u" "_qs, QString()}));
    QCOMPARE(m_ui->boxes.last().title, u"File Saved"_qs);
}

void TestScanWindow::stopAfterThirdLaunch()
{
    // The range dialog's "Scan IP" scans the range typed into it.
    ScanPanel *scan = m_window->scanPanel();
    connect(scan, &ScanPanel::probeLaunched, this, [this](int index) {
        if (index == 2)
            child<QPushButton>(m_window.get(), u"CommandStop"_qs)->click();
    });
    onNextDialog([](QDialog *dialog) {
        child<QLineEdit>(dialog, u"TextIP"_qs)->setText(u"127.0.0.1"_qs);
        child<QLineEdit>(dialog, u"TextIP2"_qs)->setText(u"127.0.0.30"_qs);
        child<QPushButton>(dialog, u"Command4"_qs)->click();
    });
    child<QAction>(m_window.get(), u"munAddR"_qs)->trigger();
    QVERIFY(waitForCompletion());
    QCOMPARE(text(scan, u"LabelTotal"_qs), u"3"_qs);
    QCOMPARE(scan->resultsAll().size(), 3);
    QCOMPARE(text(scan, u"LabelActive"_qs), u"3"_qs);
    QCOMPARE(text(scan, u"ssIP_2"_qs), u"127.0.0.3"_qs);
    QCOMPARE(text(scan, u"ssIP_3"_qs), QString());
}

void TestScanWindow::probeEndingSilentlyCountsAsDead()
{
    // A probe that ends without a word: the scan still completes, the address "Dead".
    ScanPanel *scan = m_window->scanPanel();
    test::WriteFileBytes(scan->probePath(), "#!/bin/sh\nexit 0\n");
    child<QLineEdit>(m_window.get(), u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    child<QPushButton>(m_window.get(), u"Command8"_qs)->click();
    QVERIFY(waitForCompletion());
    QCOMPARE(scan->resultsAll().first().Ping, u"Dead"_qs);
    QCOMPARE(text(scan, u"LabelInactive"_qs), u"1"_qs);
    // The next start puts the carried probe back.
    QCOMPARE(InstallProbeProgram(m_folders->dataFolder()), scan->probePath());
    QFile installed(scan->probePath());
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(), CarriedProbeProgram());
}

void TestScanWindow::eitherSocketKindScansAsAUser_data()
{
    QTest::addColumn<QByteArray>("pingGroups"); // net.ipv4.ping_group_range
    QTest::addColumn<bool>("capability");       // cap_net_raw on the probe beside the program
    QTest::addColumn<QString>("expected");
    QTest::newRow("datagram sockets for the user") << QByteArray("0 2147483647") << false
                                                   << u"done 10 0"_qs;
    QTest::newRow("raw socket of the installed probe") << QByteArray("1 0") << true
                                                       << u"done 10 0"_qs;
    QTest::newRow("neither") << QByteArray("1 0") << false << u"refused"_qs;
}

// The window as a user without privileges runs it, in a network namespace of its own:
// the scan of 127.0.0.1 to .10 finds every address whichever socket the echo may use,
// and says once how to allow one when none can be opened.
void TestScanWindow::eitherSocketKindScansAsAUser()
{
    QFETCH(QByteArray, pingGroups);
    QFETCH(bool, capability);
    QFETCH(QString, expected);
    if (::geteuid() != 0)
        QSKIP("needs root to run the window as another user in a network namespace");
    // The program as installed, with the probe and its own commands beside it, in a
    // folder the user may run from (setcap and setpriv come with the set-up); the
    // user's own home.
    QTemporaryDir dir(u"/tmp/netvane-user-XXXXXX"_qs);
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                      | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), open));
    const QString bin = dir.filePath(u"bin"_qs), home = dir.filePath(u"home"_qs);
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(home));
    QVERIFY(QFile::setPermissions(bin, open));
    const QString own = QCoreApplication::applicationDirPath();
    const QString probe = bin + u'/' + ProbeFileName;
    const std::pair<QString, QString> copies[] = {
        {QStringLiteral(KILLCHILD_PATH), bin + u"/killchild"_qs},
        {QStringLiteral(PROBE_PATH), probe},
        {own + u"/arp"_qs, bin + u"/arp"_qs},
        {own + u"/nbtstat"_qs, bin + u"/nbtstat"_qs}};
    for (const auto &[from, to] : copies) {
        QVERIFY2(QFile::copy(from, to), qPrintable(from));
        QVERIFY(QFile::setPermissions(to, open));
    }
    QString out;
    if (capability)
        QVERIFY2(test::Run(u"setcap"_qs, {u"cap_net_raw+ep"_qs, probe}, &out), qPrintable(out));
    QVERIFY2(test::Run(u"chown"_qs, {u"nobody:nogroup"_qs, home}, &out), qPrintable(out));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_qs, home);
    for (const char *name : {"DATA", "CONFIG", "CACHE"})
        env.insert(u"XDG_%1_HOME"_qs.arg(QLatin1StringView(name)), home + u"/."_qs + QString::fromLatin1(name).toLower());
    env.remove(u"XDG_RUNTIME_DIR"_qs);
    child.setProcessEnvironment(env);
    child.start(u"unshare"_qs, {u"--net"_qs, u"sh"_qs, u"-c"_qs,
                                u"ip link set lo up && echo \"$0\" > /proc/sys/net/ipv4/ping_group_range"
                                " && exec setpriv --reuid=nobody --regid=nogroup --clear-groups \"$@\""_qs,
                                QString::fromLatin1(pingGroups), bin + u"/killchild"_qs, u"scan10"_qs});
    QVERIFY(child.waitForFinished(60000));
    const QString printed = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(printed.contains(expected), qPrintable(printed + QString::fromUtf8(child.readAllStandardError())));
    const QString advice = u"box The scan cannot start: the probe program cannot open an ICMP socket"_qs;
    QCOMPARE(printed.count(advice), expected == u"refused" ? 1 : 0);
    if (expected == u"refused")
        QVERIFY2(printed.contains(u"setcap cap_net_raw+ep "_qs + probe), qPrintable(printed));
}

QTEST_MAIN(TestScanWindow)
#include "tst_scanwindow.moc"
