// Traceroutes through the main window offscreen, with the real tracert command: on
// loopback, along a path of three network namespaces the test builds (client,
// router with forwarding, target), and to 70 silent hosts routed into a link with
// nobody behind it.

#include "app/formtester.h"
#include "iplist/iplistpanel.h"
#include "ping/dialogexport.h"
#include "platform/process.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/tracerun.h"
#include "traceroute/tracertpanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

#include <unistd.h>

using namespace netvane;

namespace {

const QString Router = u"10.250.1.2"_qs;
const QString Target = u"10.250.2.2"_qs;

// Children of this process that are alive (not zombies).
int liveChildren()
{
    int n = 0;
    const QString self = QString::number(::getpid());
    for (const QString &pid : QDir(u"/proc"_qs).entryList(QDir::Dirs)) {
        QFile stat(u"/proc/"_qs + pid + u"/stat"_qs);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        n += fields.size() > 1 && fields[1] == self.toLatin1() && fields[0] != "Z";
    }
    return n;
}

void answerExportDialog(const QString &option)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, option] {
        auto *dialog = qobject_cast<DialogExport *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        dialog->findChild<QRadioButton *>(option)->setChecked(true);
        dialog->findChild<QPushButton *>(u"OKButton"_qs)->click();
        timer->deleteLater();
    });
    timer->start();
}

} // namespace

class TestTracertWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void hostListFromAListItem();
    void optionMessages_data();
    void optionMessages();
    void hostNamesRunNothingButTheTrace();
    void consoleWindowFindsTheOwnTracertFirst();
    void sourceRouteBeyondTheHeaderIsRefused();
    void loopbackTraceExportAndReload();
    void workingFolderLinksAreNeverFollowed();
    void fullDiskIsToldOnce();
    void pathThroughARouter_data();
    void pathThroughARouter();
    void seventySilentHostsNeverMoreThan64();
    void stopKillsExactlyTheRunningTraces();

private:
    QString text(const QString &name) const
    {
        auto *label = m_window->findChild<QLabel *>(name);
        return label ? label->text() : u"<no %1>"_qs.arg(name);
    }
    QStringList shownRows() const
    {
        QStringList rows;
        for (int r = 0; r < 20; ++r)
            rows << text(u"sIP_%1"_qs.arg(r));
        return rows;
    }
    void setBox(const QString &name, const QString &value)
    {
        m_window->findChild<QComboBox *>(name)->setEditText(value);
    }
    void selectListItem(const QByteArray &item)
    {
        test::WriteFileBytes(m_window->dataFolder() + u"Quellon_DB.txt"_qs, item + "\r\n \r\n");
        m_window->ipListPanel()->LoadIpList();
        auto *list = m_window->findChild<QListWidget *>(u"ListIP"_qs);
        QCOMPARE(list->count(), 1);
        list->setCurrentItem(list->item(0), QItemSelectionModel::Select);
    }
    void clickTracert()
    {
        QTest::mouseClick(m_window->findChild<QPushButton *>(u"CommandTracert"_qs), Qt::LeftButton);
    }
    TraceRun *run() const { return m_window->tracertPanel()->run(); }

    bool m_namespaces = false;
    QString m_noNamespaces;
    QStringList m_createdNamespaces;
    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
};

void TestTracertWindow::initTestCase()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    m_namespaces = test::EnterPrivateNetworkNamespace(&m_noNamespaces);
    if (!m_namespaces)
        return;
    // This process is the client. Silent hosts: 10.241.0.0/16 goes to a neighbour
    // on a veth link that nobody answers for.
    const QString tag = QString::number(::getpid());
    const QString router = u"nvtrouter"_qs + tag;
    const QString target = u"nvttarget"_qs + tag;
    const QList<QStringList> setup = {
        {u"link add nvs0 type veth peer name nvs1"_qs},
        {u"addr add 10.240.0.1/24 dev nvs0"_qs},
        {u"link set nvs0 up"_qs},
        {u"link set nvs1 up"_qs},
        {u"route add 10.241.0.0/16 via 10.240.0.2"_qs},
        {u"netns add "_qs + router},
        {u"netns add "_qs + target},
        {u"link add c0 type veth peer name r0 netns "_qs + router},
        {u"link add t0 netns "_qs + target + u" type veth peer name r1 netns "_qs + router},
        {u"addr add 10.250.1.1/24 dev c0"_qs},
        {u"link set c0 up"_qs},
        {u"route add 10.250.2.0/24 via "_qs + Router},
        {u"-n "_qs + router + u" addr add "_qs + Router + u"/24 dev r0"_qs},
        {u"-n "_qs + router + u" addr add 10.250.2.1/24 dev r1"_qs},
        {u"-n "_qs + router + u" link set r0 up"_qs},
        {u"-n "_qs + router + u" link set r1 up"_qs},
        {u"-n "_qs + target + u" addr add "_qs + Target + u"/24 dev t0"_qs},
        {u"-n "_qs + target + u" link set t0 up"_qs},
        {u"-n "_qs + target + u" link set lo up"_qs},
        {u"-n "_qs + target + u" route add default via 10.250.2.1"_qs},
        // The router forwards and answers every probe (no ICMP rate limit).
        {u"netns exec "_qs + router + u" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0"_qs},
    };
    QString out;
    for (const QStringList &line : setup) {
        const QStringList args = line.first().split(u' ');
        if (!test::Run(u"ip"_qs, args, &out)) {
            // Named namespaces need root outside a user namespace.
            m_namespaces = false;
            m_noNamespaces = u"cannot build the test namespaces: ip "_qs + line.first() + u": "_qs + out;
            return;
        }
        if (args.value(0) == u"netns" && args.value(1) == u"add")
            m_createdNamespaces << args.value(2);
    }
}

void TestTracertWindow::cleanupTestCase()
{
    for (const QString &name : std::as_const(m_createdNamespaces))
        test::Run(u"ip"_qs, {u"netns"_qs, u"del"_qs, name});
}

void TestTracertWindow::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
    m_window = std::make_unique<FormTester>();
    run()->setProgram(QStringLiteral(TRACERT_PATH));
    m_window->show();
    m_window->findChild<QCheckBox *>(u"CheckIPtoName"_qs)->setChecked(false);
    m_window->findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
}

void TestTracertWindow::cleanup()
{
    if (m_window && m_window->isBusy()) {
        m_window->CommandStop_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    }
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

void TestTracertWindow::hostListFromAListItem()
{
    QByteArray group = "BTen";
    for (int i = 1; i <= 10; ++i)
        group += ",10.0.0." + QByteArray::number(i) + (i == 2 ? "   (named)" : "");
    test::WriteFileBytes(m_window->dataFolder() + u"Quellon_DB.txt"_qs,
                         "A10.9.9.9\r\n" + group + "\r\nCRange,10.1.0.1,10.1.0.9\r\n \r\n");
    m_window->ipListPanel()->LoadIpList();
    auto *box = m_window->findChild<QComboBox *>(u"ComboTracert_2"_qs);
    QCOMPARE(box->count(), 2); // a range is no route
    QVERIFY(box->itemText(1).startsWith(u"Ten"_qs + QString(50, u' ')));
    box->setCurrentIndex(1);
    Q_EMIT box->activated(1);
    QCOMPARE(box->currentText(),
             u"10.0.0.1 10.0.0.2 10.0.0.3 10.0.0.4 10.0.0.5 10.0.0.6 10.0.0.7 10.0.0.8 10.0.0.9"_qs);
    box->setCurrentIndex(0);
    Q_EMIT box->activated(0);
    QCOMPARE(box->currentText(), u"10.9.9.9"_qs);
}

void TestTracertWindow::optionMessages_data()
{
    QTest::addColumn<QString>("box"); // empty: all three boxes emptied
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // empty: accepted, the trace runs with
    QTest::addColumn<QStringList>("arguments");

    const QString hopsRefused = u"Inalid Maximum Number of Hops."_qs;
    const QString routeRefused = u"Inalid Loose source route along host-list."_qs;
    QTest::newRow("hops 0") << u"ComboTracert_1"_qs << u"0"_qs << hopsRefused << QStringList();
    QTest::newRow("hops -5") << u"ComboTracert_1"_qs << u"-5"_qs << hopsRefused << QStringList();
    QTest::newRow("hops too large to hold") << u"ComboTracert_1"_qs << u"99999999999"_qs
                                            << u"Inalid Test Times."_qs << QStringList();
    QTest::newRow("hops 2.5 is 2") << u"ComboTracert_1"_qs << u"2.5"_qs << QString()
                                   << QStringList{u"-d"_qs, u"-h"_qs, u"2"_qs, u"-w"_qs, u"600"_qs,
                                                  u"--"_qs, u"127.0.0.1"_qs};
    QTest::newRow("host list, a name") << u"ComboTracert_2"_qs << u"router"_qs << routeRefused
                                       << QStringList();
    QTest::newRow("host list, two dots") << u"ComboTracert_2"_qs << u"10.0.0"_qs << routeRefused
                                         << QStringList();
    QTest::newRow("time-out 0") << u"ComboTracert_3"_qs << u"0"_qs << u"Inalid Time Out Value."_qs
                                << QStringList();
    QTest::newRow("all empty") << QString() << QString() << QString()
                               << QStringList{u"-d"_qs, u"--"_qs, u"127.0.0.1"_qs};
}

void TestTracertWindow::optionMessages()
{
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(QStringList, arguments);
    if (box.isEmpty()) {
        for (int i = 1; i <= 3; ++i)
            setBox(u"ComboTracert_%1"_qs.arg(i), QString());
    } else {
        setBox(box, value);
    }
    clickTracert();
    if (!message.isEmpty()) {
        QCOMPARE(m_ui->firstLines(), QStringList{message});
        QCOMPARE(m_ui->boxes.at(0).icon, BoxIcon::Critical);
        QVERIFY(!m_window->isBusy());
        QVERIFY(run()->hosts().isEmpty());
        return;
    }
    QVERIFY(m_window->isBusy());
    const TraceHost &host = run()->hosts().at(0);
    QCOMPARE(host.process->arguments(), arguments);
    // An empty hop box keeps the hop count the command uses by itself.
    const QString hops = box.isEmpty() ? u"30"_qs : u"2"_qs;
    QCOMPARE(host.lines.entry(0),
             u"(1) Tracing route to 127.0.0.1 over a maximum of "_qs + hops + u" hops ......"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    QVERIFY2(shownRows().contains(u"over a maximum of "_qs + hops + u" hops:"_qs),
             qPrintable(shownRows().join(u'|')));
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestTracertWindow::hostNamesRunNothingButTheTrace()
{
    // Names as they could come from a list or a file, each given to tracert as one
    // argument after "--": no shell runs them, none is taken for an option, and
    // none is even looked up, as none can be a host name.
    QTemporaryDir dir;
    const QString marker = dir.filePath(u"ran"_qs);
    const QStringList names = {u"x$(touch "_qs + marker + u")"_qs,
                               u"127.0.0.1;touch "_qs + marker, u"`touch "_qs + marker + u"`"_qs,
                               u"-w"_qs, u"a..b"_qs, u"host-.lan"_qs};
    QList<PingTarget> hosts;
    for (const QString &n : names)
        hosts.append({n, n});
    TraceRun trace;
    trace.setProgram(QStringLiteral(TRACERT_PATH));
    QSignalSpy due(&trace, &TraceRun::stopDue);
    trace.start(hosts, {u"-d"_qs}, 30, dir.path());
    QVERIFY(due.wait(10000));
    QVERIFY(!QFileInfo::exists(marker));
    for (int k = 0; k < names.size(); ++k) {
        const TraceHost &h = trace.hosts().at(k);
        QVERIFY(h.completed);
        QCOMPARE(h.lines.lineCount, 1);
        QCOMPARE(h.lines.entry(0), u"Unable to resolve target system name "_qs + names[k] + u'.');
    }
}

void TestTracertWindow::consoleWindowFindsTheOwnTracertFirst()
{
    // A stand-in terminal records the PATH its command would run with.
    QTemporaryDir dir;
    const QString script = dir.filePath(u"fake-terminal"_qs);
    test::WriteFileBytes(script, "#!/bin/sh\nprintf '%s' \"$PATH\" > \"${0%/*}/path.tmp\"\n"
                                 "mv \"${0%/*}/path.tmp\" \"${0%/*}/path\"\n");
    QVERIFY(QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner));
    const QByteArray oldTerminal = qgetenv("TERMINAL");
    qputenv("TERMINAL", script.toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("TERMINAL", oldTerminal); });
    platform::ConsoleWindows windows;
    QCOMPARE(windows.open(u"tracert 127.0.0.1"_qs), QString());
    QTRY_VERIFY(QFile::exists(dir.filePath(u"path"_qs)));
    QFile path(dir.filePath(u"path"_qs));
    QVERIFY(path.open(QIODevice::ReadOnly));
    QVERIFY(path.readAll().startsWith(QFile::encodeName(QCoreApplication::applicationDirPath()) + ':'));
}

void TestTracertWindow::sourceRouteBeyondTheHeaderIsRefused()
{
    // The IP options hold nine addresses, the target being the last: nine hosts
    // before it cannot be sent, and tracert says so instead of tracing without them.
    QStringList hops;
    for (int i = 1; i <= 9; ++i)
        hops << u"127.0.0.%1"_qs.arg(i + 1);
    QProcess tracert;
    tracert.setProcessChannelMode(QProcess::MergedChannels);
    tracert.start(QStringLiteral(TRACERT_PATH),
                  {u"-d"_qs, u"-j"_qs, hops.join(u' '), u"127.0.0.1"_qs});
    QVERIFY(tracert.waitForFinished(10000));
    QCOMPARE(tracert.exitCode(), 1);
    QVERIFY2(tracert.readAll().startsWith("A loose source route holds at most 8 hosts"),
             "no clear refusal");
}

void TestTracertWindow::loopbackTraceExportAndReload()
{
    clickTracert();
    QVERIFY(m_window->isBusy());
    QVERIFY(!m_window->findChild<QPushButton *>(u"CommandTracert"_qs)->isEnabled());
    QCOMPARE(text(u"LabelTittle_0"_qs), u"Tracing route to 1 hosts ..."_qs);
    QVERIFY(!m_window->findChild<QPushButton *>(u"CmdJumpTo_0"_qs)->isVisible());

    // Export while the trace runs is refused before any dialog.
    answerExportDialog(u"Option1"_qs);
    m_window->CommandExport_Click();
    QCOMPARE(m_ui->texts(), QStringList{u"No data to be export or Traceroute task is running."_qs});
    QVERIFY(m_ui->fileDialogs.isEmpty());
    m_ui->clear();

    QTRY_COMPARE_WITH_TIMEOUT(text(u"LabelTittle_0"_qs),
                              u"Tracing route to 1 hosts.       All Completed."_qs, 10000);
    QVERIFY(m_window->isBusy()); // Stop runs by itself and finishes after its wait
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    QCOMPARE(text(u"LabelTittle_0"_qs), u"Tracing route to 1 hosts.       All Completed."_qs);

    const TraceHost host = run()->hosts().at(0);
    const QStringList shown = shownRows();
    QCOMPARE(shown.at(1), u"(1) Tracing route to 127.0.0.1"_qs);
    QVERIFY2(shown.at(4).startsWith(u"1 "_qs) && shown.at(4).endsWith(u"  127.0.0.1"_qs),
             qPrintable(shown.at(4)));
    QCOMPARE(shown.at(6), u"Trace complete.      From  "_qs + host.startTime + u"  to  "_qs
                              + host.lastCheckTime);

    // After the run the log exports line by line.
    const QString path = m_folders->path() + u"/trace.txt"_qs;
    m_ui->paths.enqueue(path);
    answerExportDialog(u"Option1"_qs);
    m_window->CommandExport_Click();
    QCOMPARE(m_ui->fileDialogs.size(), 1);
    QCOMPARE(m_ui->fileDialogs.at(0).title, u"Traceroute result will be export to this File"_qs);
    QCOMPARE(m_ui->texts(), QStringList{u"Traceroute result has export to file: \r\n\r\n"_qs + path});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList written = QString::fromUtf8(file.readAll()).split(u"\r\n"_qs);
    const QStringList expected = QStringList{u"Tracing route to 1 hosts."_qs, u" "_qs}
                                 + shown.mid(0, 8) + QStringList{u" "_qs, QString()};
    QCOMPARE(written, expected);

    // The next start in traceroute mode shows the run again, without times.
    m_window.reset();
    m_window = std::make_unique<FormTester>();
    QCOMPARE(m_window->mode(), u"Tracert"_qs);
    QCOMPARE(text(u"LabelTittle_0"_qs), u"Tracing route to 1 hosts."_qs);
    QCOMPARE(shownRows().mid(0, 6), shown.mid(0, 6));
    QCOMPARE(text(u"sIP_6"_qs), u"Trace complete."_qs);
}

// The working folder is emptied at every start: a link standing at its place, or
// inside it, goes as a link, and what it points to stays whole.
void TestTracertWindow::workingFolderLinksAreNeverFollowed()
{
    const QString precious = m_folders->path() + u"/precious"_qs;
    test::WriteFileBytes(precious + u"/keep.txt"_qs, "kept");
    test::WriteFileBytes(precious + u"/inner/keep.txt"_qs, "kept");
    const QString work = m_window->dataFolder() + u"Temp"_qs;
    QVERIFY(QFile::link(precious, work));
    clickTracert();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    QVERIFY(QFileInfo(work).isDir() && !QFileInfo(work).isSymLink());
    QCOMPARE(QFileInfo(work).permissions() & 0x0077, QFile::Permissions()); // the user's alone

    QVERIFY(QFile::link(precious, work + u"/link"_qs));
    test::WriteFileBytes(work + u"/old/TMP1.txt"_qs, "an earlier run");
    clickTracert();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    const QStringList left = QDir(work).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    QCOMPARE(left, QStringList{QFileInfo(TraceFileName(run()->prefix(), 0)).fileName()});
    for (const QString &kept : {u"/keep.txt"_qs, u"/inner/keep.txt"_qs}) {
        QFile file(precious + kept);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(kept));
        QCOMPARE(file.readAll(), QByteArray("kept"));
    }
}

// On a full disk every host's output fails to be written: one box says so, with
// the system's reason, and the run still ends.
void TestTracertWindow::fullDiskIsToldOnce()
{
    test::FullDisk disk;
    QString why;
    if (!disk.mount(m_window->dataFolder(), &why))
        QSKIP(qPrintable(why));
    disk.fill();
    m_window->ipListPanel()->dialogState().manualTarget[2] = u"BThree,127.0.0.1,127.0.0.2,127.0.0.3"_qs;
    m_ui->clear();
    clickTracert();
    QTRY_COMPARE_WITH_TIMEOUT(text(u"LabelTittle_0"_qs),
                              u"Tracing route to 3 hosts.       All Completed."_qs, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    QCOMPARE(m_ui->boxes.size(), 1);
    const QString said = m_ui->boxes.first().text;
    QVERIFY2(said.startsWith(u"The traceroute output could not be written to "_qs
                             + m_window->dataFolder() + u"Temp/TMP"_qs)
                 && said.endsWith(u".txt:\nNo space left on device"_qs),
             qPrintable(said));
}

void TestTracertWindow::pathThroughARouter_data()
{
    // ping_group_range is per namespace: it picks the socket tracert can open.
    QTest::addColumn<QByteArray>("pingGroups");
    QTest::newRow("datagram socket, time exceeded from the error queue") << QByteArray("0 2147483647\n");
    QTest::newRow("raw socket") << QByteArray("1 0\n");
}

void TestTracertWindow::pathThroughARouter()
{
    if (!m_namespaces)
        QSKIP(qPrintable(m_noNamespaces));
    QFETCH(QByteArray, pingGroups);
    QFile range(u"/proc/sys/net/ipv4/ping_group_range"_qs);
    QVERIFY(range.open(QIODevice::WriteOnly));
    QCOMPARE(range.write(pingGroups), pingGroups.size());
    range.close();
    m_window->findChild<QLineEdit *>(u"TextPing"_qs)->setText(Target);
    setBox(u"ComboTracert_3"_qs, u"500"_qs);
    clickTracert();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 20000);
    const TraceHost host = run()->hosts().at(0);
    const QStringList shown = shownRows();
    QCOMPARE(shown.at(1), u"(1) Tracing route to "_qs + Target);
    QCOMPARE(shown.at(2), u"over a maximum of 30 hops:"_qs);
    const QRegularExpression hop(u"^(\\d+)(\\s+(<1|\\d+) ms){3}\\s+([\\d.]+)$"_qs);
    const QRegularExpressionMatch first = hop.match(shown.at(4));
    const QRegularExpressionMatch second = hop.match(shown.at(5));
    QVERIFY2(first.hasMatch() && second.hasMatch(), qPrintable(shown.join(u'|')));
    QCOMPARE(first.captured(1), u"1"_qs);
    QCOMPARE(first.captured(4), Router);
    QCOMPARE(second.captured(1), u"2"_qs);
    QCOMPARE(second.captured(4), Target);
    QCOMPARE(shown.at(7), u"Trace complete.      From  "_qs + host.startTime + u"  to  "_qs
                              + host.lastCheckTime);
}

void TestTracertWindow::seventySilentHostsNeverMoreThan64()
{
    if (!m_namespaces)
        QSKIP(qPrintable(m_noNamespaces));
    selectListItem("CSilent,10.241.0.1,10.241.0.70");
    setBox(u"ComboTracert_1"_qs, u"2"_qs);
    setBox(u"ComboTracert_3"_qs, u"200"_qs);
    int most = 0;
    int completedWhenLaunched = -1;
    connect(run(), &TraceRun::hostLaunched, this, [&](int host) {
        most = qMax(most, liveChildren());
        if (host == MaxConcurrentTraces) {
            completedWhenLaunched = 0;
            for (const TraceHost &h : run()->hosts())
                completedWhenLaunched += h.completed;
        }
    });
    clickTracert();
    // The first 64 are launched one after another between the window's events; the
    // 65th waits for a free place (below).
    QCOMPARE(run()->hosts().size(), 70);
    QVERIFY(m_window->findChild<QPushButton *>(u"CmdJumpTo_1"_qs)->isVisible());
    QCOMPARE(text(u"LabelTittle_3"_qs), u"Jump to Host:"_qs);

    QTRY_COMPARE_WITH_TIMEOUT(text(u"LabelTittle_0"_qs),
                              u"Tracing route to 70 hosts.       All Completed."_qs, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    QVERIFY2(most <= MaxConcurrentTraces, qPrintable(QString::number(most)));
    // VScroll1 reaches every row of every host, and at its maximum shows a full last page.
    auto *bar = m_window->findChild<QScrollBar *>(u"VScroll1"_qs);
    bar->setValue(bar->maximum());
    QVERIFY2(text(u"sIP_18"_qs).startsWith(u"Trace complete."_qs), qPrintable(shownRows().join(u'|')));
    QCOMPARE(text(u"sIP_19"_qs), QString()); // the row below the last host
    QCOMPARE(bar->maximum() + 20, run()->totalRows());
    bar->setValue(run()->firstRowOf(1) + 1);
    QCOMPARE(text(u"sIP_0"_qs), u"(2) Tracing route to 10.241.0.2"_qs);
    QVERIFY(completedWhenLaunched >= 1); // the 65th waited for a free place
    QCOMPARE(liveChildren(), 0);

    // Jump to the last host through the completed list.
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"CmdJumpTo_1"_qs), Qt::LeftButton);
    auto *jumpList = m_window->findChild<QListWidget *>(u"TraceIP"_qs);
    QVERIFY(jumpList->isVisible());
    QCOMPARE(jumpList->count(), 70);
    QVERIFY(jumpList->item(69)->text().endsWith(QString(80, u' ') + u"69"_qs));
    QTest::mouseClick(jumpList->viewport(), Qt::LeftButton, {},
                      jumpList->visualItemRect(jumpList->item(69)).center());
    QVERIFY(!jumpList->isVisible());
    QCOMPARE(text(u"sIP_1"_qs), u"(70) Tracing route to 10.241.0.70"_qs);
    const QRegularExpression silent(u"^1(\\s+\\*){3}\\s+Request timed out\\.$"_qs);
    QVERIFY2(silent.match(text(u"sIP_4"_qs)).hasMatch(), qPrintable(text(u"sIP_4"_qs)));
}

void TestTracertWindow::stopKillsExactlyTheRunningTraces()
{
    if (!m_namespaces)
        QSKIP(qPrintable(m_noNamespaces));
    // Two loopback hosts finish at once, 68 silent ones take five seconds each.
    QByteArray group = "BMixed,127.0.0.1,127.0.0.2";
    for (int i = 1; i <= 68; ++i)
        group += ",10.241.1." + QByteArray::number(i);
    selectListItem(group);
    setBox(u"ComboTracert_1"_qs, u"5"_qs);
    setBox(u"ComboTracert_3"_qs, u"1000"_qs);
    clickTracert();
    QCOMPARE(run()->hosts().size(), 70);
    QTRY_VERIFY_WITH_TIMEOUT(text(u"LabelTittle_0"_qs).endsWith(u"       2 completed."_qs), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(run()->hosts().at(65).launched, 10000); // in the two free places

    QList<int> running;
    for (int k = 0; k < run()->hosts().size(); ++k)
        if (run()->hosts().at(k).launched && !run()->hosts().at(k).completed)
            running << k;
    QCOMPARE(running.size(), MaxConcurrentTraces);
    QCOMPARE(running.last(), 65);
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"CommandStop"_qs), Qt::LeftButton);
    QVERIFY(!m_window->findChild<QPushButton *>(u"CommandStop"_qs)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);

    QVERIFY(text(u"LabelTittle_0"_qs).endsWith(u"Stopped."_qs));
    QCOMPARE(text(u"LabelTittle_0"_qs), u"Tracing route to 70 hosts.       Stopped."_qs);
    for (int k = 0; k < run()->hosts().size(); ++k) {
        const TraceHost &h = run()->hosts().at(k);
        QCOMPARE(h.killed, running.contains(k));
        QCOMPARE(h.launched, k < 66);
        if (h.killed)
            QCOMPARE(h.process->exitStatus(), QProcess::CrashExit);
    }
    QCOMPARE(run()->hosts().at(0).process->exitCode(), 0);
    QCOMPARE(liveChildren(), 0);
    QVERIFY(m_window->findChild<QPushButton *>(u"CommandStop"_qs)->isEnabled());
}

QTEST_MAIN(TestTracertWindow)
#include "tst_tracertwindow.moc"
