// Path statistics through the main window offscreen, on loopback: chosen from the
// Function menu, started by its button, shown as a table with its verdict, stopped,
// exported as JSON, reported per hop, shown again at the next start and started by the
// schedule; and ::1 through the same prober.

#include "app/formtester.h"
#include "ping/dialogexport.h"
#include "iplist/iplistpanel.h"
#include "ping/pingpanel.h"
#include "platform/netinfo.h"
#include "report/dialogrpt.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/pathpanel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

using namespace netvane;

class TestPathWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startStopExportReload();
    void ipv6LoopbackIsOneHop();
};

void TestPathWindow::startStopExportReload()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    test::IsolatedFolders folders;
    test::ScriptedUi ui;
    auto window = std::make_unique<FormTester>();
    window->show();
    const auto find = [&window](auto *type, const QString &name) {
        return window->findChild<std::remove_pointer_t<decltype(type)> *>(name);
    };
    // Names are looked up beside the window (127.0.0.1 in the hosts file, on loopback).
    find(static_cast<QCheckBox *>(nullptr), u"CheckIPtoName"_qs)->setChecked(true);
    find(static_cast<QLineEdit *>(nullptr), u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    find(static_cast<QComboBox *>(nullptr), u"ComboInv"_qs)->setEditText(u"50"_qs);

    find(static_cast<QAction *>(nullptr), u"mnuSelectPath"_qs)->trigger();
    QCOMPARE(window->function(), u"Path"_qs);
    auto *panel = find(static_cast<QWidget *>(nullptr), u"PicturePath"_qs);
    QVERIFY(panel->isVisible());
    QVERIFY(!window->pingPanel()->isVisible());
    auto *table = find(static_cast<QTableWidget *>(nullptr), u"TablePath"_qs);
    auto *verdict = find(static_cast<QLabel *>(nullptr), u"LabelPathVerdict"_qs);
    QCOMPARE(verdict->text(), u"No path run yet"_qs);

    auto *button = find(static_cast<QPushButton *>(nullptr), u"CommandPath"_qs);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(window->isBusy());
    QVERIFY(!button->isEnabled());
    auto *chooser = find(static_cast<QComboBox *>(nullptr), u"ComboPathTarget"_qs);
    QVERIFY2(chooser->currentText().startsWith(u"127.0.0.1   :   "_qs), qPrintable(chooser->currentText()));
    QTRY_VERIFY_WITH_TIMEOUT(table->rowCount() == 1 && table->item(0, 4)
                                 && table->item(0, 4)->text().toInt() >= 5, 10000);
    QCOMPARE(table->item(0, 0)->text(), u"1"_qs);
    QCOMPARE(table->item(0, 1)->text(), u"127.0.0.1"_qs);
    QCOMPARE(table->horizontalHeaderItem(11)->text(), u"p95"_qs);
    if (const QString name = platform::ReverseName(u"127.0.0.1"_qs); !name.isEmpty())
        QTRY_COMPARE_WITH_TIMEOUT(table->item(0, 2)->text(), name, 10000);

    QTest::mouseClick(find(static_cast<QPushButton *>(nullptr), u"CommandStop"_qs), Qt::LeftButton);
    QVERIFY(!window->isBusy());
    QVERIFY(button->isEnabled());
    QCOMPARE(verdict->text(), u"No loss on the path"_qs);
    QCOMPARE(chooser->currentText(), u"127.0.0.1   :   No loss on the path"_qs);
    const QString sent = table->item(0, 4)->text();

    // Exported as JSON through the export dialog and the save dialog.
    const QString path = folders.path() + u"/path.json"_qs;
    ui.paths.enqueue(path);
    auto *answer = new QTimer(window.get());
    answer->setInterval(10);
    connect(answer, &QTimer::timeout, answer, [answer] {
        auto *dialog = qobject_cast<DialogExport *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        dialog->findChild<QRadioButton *>(u"Option3"_qs)->setChecked(true);
        dialog->findChild<QPushButton *>(u"OKButton"_qs)->click();
        answer->stop();
    });
    answer->start();
    window->CommandExport_Click();
    QCOMPARE(ui.texts(), QStringList{u"Path statistics has export to file: \r\n\r\n"_qs + path});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject target = QJsonDocument::fromJson(file.readAll()).object()[u"targets"_qs][0].toObject();
    QCOMPARE(target[u"address"_qs].toString(), u"127.0.0.1"_qs);
    QCOMPARE(target[u"verdict"_qs].toString(), u"No loss on the path"_qs);
    QCOMPARE(QString::number(target[u"hops"_qs][0][u"sent"_qs].toInteger()), sent);

    // The report groups the run's minutes per hop.
    find(static_cast<QAction *>(nullptr), u"mnuReport"_qs)->trigger();
    QVERIFY(window->dialogRpt()->isVisible());
    window->dialogRpt()->CommandBUild_Click();
    QVERIFY(window->dialogRpt()->hasReport());
    const SummaryReport *report = window->dialogRpt()->report();
    QCOMPARE(report->hosts.size(), 1);
    qint64 reported = 0;
    for (const ReportGroup &g : report->hosts[0].groups)
        reported += g.sent;
    QCOMPARE(QString::number(reported), sent);
    window->dialogRpt()->hide();

    // The next start is in path mode and shows the run again from its log.
    window.reset();
    window = std::make_unique<FormTester>();
    window->show();
    QCOMPARE(window->function(), u"Path"_qs);
    QVERIFY(find(static_cast<QWidget *>(nullptr), u"PicturePath"_qs)->isVisible());
    QCOMPARE(find(static_cast<QLabel *>(nullptr), u"LabelPathVerdict"_qs)->text(), u"Previous path run:  No loss on the path"_qs);
    QCOMPARE(find(static_cast<QTableWidget *>(nullptr), u"TablePath"_qs)->item(0, 4)->text(), sent);

    // More than 64 targets are refused before any echo.
    test::WriteFileBytes(window->dataFolder() + u"Quellon_DB.txt"_qs, "CMany,127.0.1.1,127.0.1.65\r\n \r\n");
    window->ipListPanel()->LoadIpList();
    auto *list = find(static_cast<QListWidget *>(nullptr), u"ListIP"_qs);
    list->setCurrentItem(list->item(0), QItemSelectionModel::ClearAndSelect);
    ui.clear();
    window->CommandPath_Click();
    QCOMPARE(ui.texts(), QStringList{u"Path statistics take at most 64 targets at once; 65 are chosen."_qs});
    QVERIFY(!window->isBusy());
    QCOMPARE(find(static_cast<QTableWidget *>(nullptr), u"TablePath"_qs)->item(0, 4)->text(), sent);

    // The schedule's moment starts it as its button does.
    list->setCurrentItem(nullptr, QItemSelectionModel::Clear);
    find(static_cast<QLineEdit *>(nullptr), u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window->ScheduledStart();
    QVERIFY(window->isBusy());
    QVERIFY(window->pathPanel()->run()->isActive());
    window->CommandStop_Click();
    QVERIFY(!window->isBusy());

    // Back to the ping function: the ping panel takes the place again.
    find(static_cast<QAction *>(nullptr), u"mnuSelectPing"_qs)->trigger();
    QVERIFY(!find(static_cast<QWidget *>(nullptr), u"PicturePath"_qs)->isVisible());
    QVERIFY(window->pingPanel()->isVisible());
}

// The ICMPv6 socket of the same prober: ::1 is its own first hop.
void TestPathWindow::ipv6LoopbackIsOneHop()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    QTemporaryDir data;
    PathRun run;
    run.setRounds(5);
    PathRunSettings settings;
    settings.intervalMs = 10;
    settings.maxHops = 4;
    QSignalSpy finished(&run, &PathRun::finished);
    QString error;
    QVERIFY2(run.start({{u"::1"_qs, {}}}, settings, false, data.path(), &error), qPrintable(error));
    QVERIFY(finished.wait(10000));
    run.stop();
    QCOMPARE(run.traces()[0].hops().size(), 1);
    QCOMPARE(run.traces()[0].hops()[0].addresses, QStringList{u"::1"_qs});
    QCOMPARE(run.traces()[0].hops()[0].stats.received(), 5);
}

QTEST_MAIN(TestPathWindow)
#include "tst_pathwindow.moc"
