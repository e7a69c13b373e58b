// The main window and the result store: a test's results are shown again at the
// next start, large and damaged files are handled, and Export writes them out.

#include "app/formtester.h"
#include "ping/dialogexport.h"
#include "report/dialogrpt.h"
#include "ping/exportfile.h"
#include "ping/formoutages.h"
#include "ping/pingexport.h"
#include "ping/pingpanel.h"
#include "ping/resultreload.h"
#include "ping/resultstore.h"
#include "support/headless.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace netvane;
using namespace netvane::test;

namespace {

struct Screen {
    QStringList rows;  // "n. | left | right" of the 20 rows
    QStringList stats; // the statistics values
    QString title;
    int scrollMax = 0;
    int scrollValue = 0;
};

Screen screenOf(const FormTester &w)
{
    Screen s;
    for (int i = 0; i < 20; ++i) {
        const auto text = [&](const char *name) {
            return w.findChild<QLabel *>(QString::fromLatin1(name) + u'_' + QString::number(i))->text();
        };
        s.rows << text("sTYPE") + u" | "_qs + text("sIP") + u" | "_qs + text("sIP2");
        s.stats << text("sIP4");
    }
    s.title = w.pingPanel()->title(0)->text();
    s.scrollMax = w.pingPanel()->scrollBar()->maximum();
    s.scrollValue = w.pingPanel()->scrollBar()->value();
    return s;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Answers the export dialog once it shows: picks the option (or cancels).
void answerExportDialog(const QString &option, QString *label = nullptr)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, option, label] {
        auto *dialog = qobject_cast<DialogExport *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (label)
            *label = dialog->findChild<QLabel *>(u"Label1"_qs)->text();
        if (option.isEmpty()) {
            dialog->findChild<QPushButton *>(u"CancelButton"_qs)->click();
        } else {
            dialog->findChild<QRadioButton *>(option)->setChecked(true);
            dialog->findChild<QPushButton *>(u"OKButton"_qs)->click();
        }
        timer->deleteLater();
    });
    timer->start();
}

const QByteArray EchoLine = "2026,12,07,21,05,09,127.0.0.1,32,3,64,0\r\n";

} // namespace

class TestPingResultsWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void roundTripThroughTheWindow();
    void roundTripTwoTargets();
    void largeFileAsksFirst();
    void damagedFilesAtStartUp_data();
    void damagedFilesAtStartUp();
    void badLineInTheMiddle();
    void exportThroughTheWindow();
    void exportConventions();
    void ipv6AddressShownWhole();
    void outageListAfterReload();
};

void TestPingResultsWindow::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestPingResultsWindow::roundTripThroughTheWindow()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    Screen live;
    {
        FormTester window;
        window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
        window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"5"_qs);
        window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(u"25"_qs); // stops by itself
        QSignalSpy finished(window.pingTest(), &PingTest::finished);
        window.CommandStart_Click();
        QVERIFY(finished.wait(30000));
        QCOMPARE(window.pingTest()->log().size(), 25);
        live = screenOf(window);
    }
    // The result file: header, one line per echo, CR LF; the target file.
    const QByteArray file = readBytes(folders.dataFolder() + ResultFileName);
    QVERIFY(file.startsWith("1,1,1\r\n"));
    QCOMPARE(file.count("\r\n"), 26);
    QCOMPARE(readBytes(folders.dataFolder() + TargetFileName), QByteArray("127.0.0.1\r\n"));

    FormTester next;
    const Screen shown = screenOf(next);
    QCOMPARE(shown.title, u"Previous Ping Test Result"_qs);
    QCOMPARE(shown.rows, live.rows);
    QCOMPARE(shown.stats, live.stats);
    QCOMPARE(shown.scrollMax, live.scrollMax);
    QCOMPARE(shown.scrollValue, live.scrollValue);
    QCOMPARE(shown.rows.at(4).left(4), u"25. "_qs);
    QVERIFY(shown.rows.at(5).startsWith(u" | "_qs)); // rows after the last echo stay empty
    QCOMPARE(next.mode(), u"Ping"_qs);
    QVERIFY(next.pingPanel()->title(2)->isHidden());
    QVERIFY(!next.isBusy());
    QVERIFY(ui.boxes.isEmpty());
}

void TestPingResultsWindow::roundTripTwoTargets()
{
    // A real test of two targets, repeat 2, three passes, into the store the
    // window reads at its next start.
    IsolatedFolders folders;
    ScriptedUi ui;
    QDir().mkpath(folders.dataFolder());
    PingResultStore store;
    PingTest live;
    live.interval = 5;
    live.repeatPerTarget = 2;
    live.testTimes = 3;
    live.setResultStore(&store);
    const QList<PingTarget> targets{{u"127.0.0.1"_qs, u"localhost"_qs},
                                    {u"127.0.0.2"_qs, u"127.0.0.2"_qs}};
    QVERIFY(store.create(folders.dataFolder(), 2, 1, 2, {u"localhost"_qs, u"127.0.0.2"_qs}));
    connect(&live, &PingTest::stopDue, &live, &PingTest::requestStop);
    QSignalSpy finished(&live, &PingTest::finished);
    live.begin(targets);
    QVERIFY(finished.wait(30000));
    QCOMPARE(live.log().size(), 12);

    FormTester window;
    const PingTest &shown = *window.pingTest();
    QCOMPARE(shown.log().size(), 12);
    for (qsizetype i = 0; i < 12; ++i) {
        const PingReplyRecord &a = live.log().at(i);
        const PingReplyRecord &b = shown.log().at(i);
        QCOMPARE(ReplyLine(b, shown.log().address(b)), ReplyLine(a, live.log().address(a)));
    }
    PingSessionStats liveStats = live.stats();
    PingSessionStats shownStats = shown.stats();
    QCOMPARE(StatisticsTexts(shownStats), StatisticsTexts(liveStats));
    QCOMPARE(shownStats.lastLine, liveStats.lastLine);
    QCOMPARE(shown.testRepeat(), 2);
    QCOMPARE(shown.targets().size(), 2);
    QCOMPARE(shown.targets().at(0).name, u"localhost"_qs);
    QCOMPARE(shown.targets().at(1).name, u"127.0.0.2"_qs);

    // The exports of the reloaded test are those of the live one.
    PingExportSource a{&live.log(), live.stats(), {u"localhost"_qs, u"127.0.0.2"_qs}, 2};
    PingExportSource b{&shown.log(), shown.stats(), {u"localhost"_qs, u"127.0.0.2"_qs}, 2};
    QCOMPARE(PingTextExportLines(b), PingTextExportLines(a));
    QCOMPARE(PingCsvExportLines(b), PingCsvExportLines(a));
    QCOMPARE(screenOf(window).rows.at(11).left(4), u"12. "_qs);
}

void TestPingResultsWindow::largeFileAsksFirst()
{
    IsolatedFolders folders;
    // 1,000,001 bytes: a header and echo lines filled up with blanks at the end.
    QByteArray file = "1,1,1\r\n";
    while (file.size() + EchoLine.size() <= 1000001 - 2)
        file += EchoLine;
    file += QByteArray(1000001 - file.size() - 2, ' ') + "\r\n";
    QCOMPARE(file.size(), 1000001);
    test::WriteFileBytes(folders.dataFolder() + ResultFileName, file);
    {
        ScriptedUi ui;
        ui.answers << BoxAnswer::No;
        FormTester window;
        QCOMPARE(ui.texts(), QStringList{u"Load the pre ping test log ?"_qs});
        QCOMPARE(ui.boxes.at(0).buttons, BoxButtons::YesNo);
        QVERIFY(window.pingTest()->log().isEmpty());
        QVERIFY(window.pingPanel()->title(0)->text().isEmpty());
        QVERIFY(screenOf(window).stats.at(0).isEmpty());
    }
    ScriptedUi ui;
    ui.answers << BoxAnswer::Yes;
    FormTester window;
    QCOMPARE(ui.boxes.size(), 1);
    QCOMPARE(window.pingTest()->log().size(), (1000001 - 2 - 7) / EchoLine.size());
    QCOMPARE(window.pingPanel()->title(0)->text(), u"Previous Ping Test Result"_qs);

    // 1,000,000 bytes exactly: no question.
    file.chop(1);
    test::WriteFileBytes(folders.dataFolder() + ResultFileName, file);
    ui.clear();
    FormTester small;
    QVERIFY(ui.boxes.isEmpty());
    QVERIFY(!small.pingTest()->log().isEmpty());
}

void TestPingResultsWindow::damagedFilesAtStartUp_data()
{
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<QByteArray>("targets");
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("stats"); // sent, received, lost, loss rate, min time
    QTest::addColumn<QString>("told");      // the one box, naming the lines left out

    const QString previous = u"Previous Ping Test Result"_qs;
    const QString leftOut = u" of the result file of the previous test could not be read and "_qs;
    const QString rest = u"; every other echo is shown. The next ping test replaces the file, so copy "
                         u"it first to keep it."_qs;
    QTest::newRow("header only") << QByteArray("2,1,1\r\n") << QByteArray("a\r\nb\r\n") << 0
                                 << previous
                                 << QStringList{u"0"_qs, u"0"_qs, u"0"_qs, u"0.00 %"_qs, u"0 ms"_qs}
                                 << QString();
    QTest::newRow("empty file") << QByteArray() << QByteArray() << 0 << QString()
                                << QStringList{{}, {}, {}, {}, {}} << QString();
    QTest::newRow("binary file") << QByteArray("\x7f""ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0>\0", 20)
                                 << QByteArray() << 0 << QString()
                                 << QStringList{{}, {}, {}, {}, {}}
                                 << u"The result file of the previous test could not be read: its first "
                                    u"line is no test header, so nothing is shown."_qs;
    // The echo after a bad line is read, and the user is told which line was left out.
    QTest::newRow("short line after two echoes")
        << QByteArray("1,1,1\r\n") + EchoLine + EchoLine + "2026,12,07\r\n" + EchoLine
        << QByteArray("127.0.0.1\r\n") << 3 << previous
        << QStringList{u"3"_qs, u"3"_qs, u"0"_qs, u"0.00 %"_qs, u"3 ms"_qs}
        << u"1 line"_qs + leftOut + u"is left out (line 4)"_qs + rest;
    QTest::newRow("non-number fields")
        << QByteArray("1,1,1\r\n") + EchoLine + "2026,12,07,21,05,09,127.0.0.1,32,x,64,0\r\n"
               + "2026,12,07,21,05,10,127.0.0.1,32,-1,0,11010\r\n" + "2026,12,07,21,05,11,x\r\n"
        << QByteArray("127.0.0.1\r\n") << 2 << previous
        << QStringList{u"2"_qs, u"1"_qs, u"1"_qs, u"50.00 %"_qs, u"3 ms"_qs}
        << u"2 lines"_qs + leftOut + u"are left out (lines 3 and 5)"_qs + rest;
    QTest::newRow("target file shorter than targets")
        << QByteArray("3,1,1\r\n") + EchoLine << QByteArray("127.0.0.1\r\n") << 1 << previous
        << QStringList{u"1"_qs, u"1"_qs, u"0"_qs, u"0.00 %"_qs, u"3 ms"_qs} << QString();
    QTest::newRow("no target file") << QByteArray("1,1,1\r\n") + EchoLine << QByteArray() << 1
                                    << previous
                                    << QStringList{u"1"_qs, u"1"_qs, u"0"_qs, u"0.00 %"_qs, u"3 ms"_qs}
                                    << QString();
}

void TestPingResultsWindow::damagedFilesAtStartUp()
{
    QFETCH(QByteArray, result);
    QFETCH(QByteArray, targets);
    QFETCH(int, records);
    QFETCH(QString, title);
    QFETCH(QStringList, stats);
    QFETCH(QString, told);
    IsolatedFolders folders;
    ScriptedUi ui;
    test::WriteFileBytes(folders.dataFolder() + ResultFileName, result);
    if (!targets.isEmpty())
        test::WriteFileBytes(folders.dataFolder() + TargetFileName, targets);
    FormTester window;
    QCOMPARE(window.pingTest()->log().size(), records);
    QCOMPARE(window.pingPanel()->title(0)->text(), title);
    const Screen s = screenOf(window);
    QCOMPARE((QStringList{s.stats[0], s.stats[1], s.stats[2], s.stats[3], s.stats[5]}), stats);
    QVERIFY(!window.isBusy());
    const QString where = QDir::toNativeSeparators(folders.dataFolder() + ResultFileName);
    QCOMPARE(ui.texts(), told.isEmpty() ? QStringList() : QStringList{told + u"\r\n\r\n"_qs + where});
}

// Line 6 of a 20-echo file damaged: the other 19 echoes are shown in order, the user
// is told once which line was left out, and the file stays as it was.
void TestPingResultsWindow::badLineInTheMiddle()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    QByteArray file = "1,1,1\r\n";
    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        const QByteArray second = QByteArray::number(10 + i);
        file += "2026,12,07,21,05," + second + ",127.0.0.1,32," + QByteArray::number(i) + ",64,0\r\n";
        if (i != 4)
            expected << u"%1. | 12/07 21:05:%2   Reply from 127.0.0.1 | bytes=32  time%3ms  TTL=64  ok"_qs
                            .arg(expected.size() + 1)
                            .arg(10 + i)
                            .arg(i == 0 ? u"<1"_qs : u"="_qs + QString::number(i));
    }
    file.replace("21,05,14,127.0.0.1,32,4,", "21,05,14,127.0.0.1,32,4#,"); // line 6
    test::WriteFileBytes(folders.dataFolder() + ResultFileName, file);
    FormTester window;
    QCOMPARE(window.pingTest()->log().size(), 19);
    QCOMPARE(screenOf(window).rows.mid(0, 19), expected);
    QCOMPARE(screenOf(window).stats.at(0), u"19"_qs);
    QCOMPARE(ui.boxes.size(), 1);
    QVERIFY(ui.boxes.at(0).text.startsWith(u"1 line of the result file of the previous test could not "
                                           u"be read and is left out (line 6);"_qs));
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Exclamation);
    QCOMPARE(readBytes(folders.dataFolder() + ResultFileName), file);
}

void TestPingResultsWindow::exportThroughTheWindow()
{
    IsolatedFolders folders;
    test::WriteFileBytes(folders.dataFolder() + ResultFileName,
               QByteArray("2,1,1\r\n") + EchoLine
                   + "2026,12,07,21,06,10,127.0.0.2,32,-1,0,11010\r\n");
    test::WriteFileBytes(folders.dataFolder() + TargetFileName, "localhost\r\nsecond.lan\r\n");
    ScriptedUi ui;
    SetLastDialogFolder(QString());
    FormTester window;
    QVERIFY(window.findChild<QAction *>(u"mnuExport"_qs));
    QCOMPARE(window.findChild<QAction *>(u"mnuExport"_qs)->text(), u"&Export"_qs);
    auto *exportButton = window.findChild<QPushButton *>(u"CommandExport"_qs);
    QVERIFY(exportButton);

    // Cancelled choice: no file dialog.
    answerExportDialog(QString());
    exportButton->click();
    QVERIFY(ui.fileDialogs.isEmpty());

    // CSV through the menu; the save dialog starts on the desktop with the default name.
    const QString csvPath = folders.path() + u"/out/result.csv"_qs;
    QDir().mkpath(folders.path() + u"/out"_qs);
    ui.paths << csvPath;
    QString label;
    answerExportDialog(u"Option2"_qs, &label);
    window.findChild<QAction *>(u"mnuExport"_qs)->trigger();
    QCOMPARE(label, u"Export the ping test results to the"_qs);
    QCOMPARE(ui.fileDialogs.size(), 1);
    const FileDialogRequest &request = ui.fileDialogs.at(0);
    QVERIFY(request.save);
    QCOMPARE(request.title, u"Ping Test result will be export to this File"_qs);
    QCOMPARE(request.defaultName, u"Ping_Test_Log_12072106"_qs);
    QCOMPARE(request.filterName, u"Text Files (*.csv)"_qs);
    QCOMPARE(request.defaultExtension, u"csv"_qs);
    QCOMPARE(ui.boxes.size(), 1);
    QCOMPARE(ui.boxes.at(0).title, u"File Saved"_qs);
    QCOMPARE(ui.boxes.at(0).text, u"Ping test result has export to file: \r\n\r\n"_qs + csvPath);
    const QList<QByteArray> csv = readBytes(csvPath).split('\n');
    QVERIFY(csv.contains("1.,2026,12,07,21,05,09,localhost,32,3,64,ip success\r"));
    QVERIFY(csv.contains("1.,2026,12,07,21,06,10,second.lan,32,,0,Request  timed  out.\r"));
    QCOMPARE(window.focusWidget(), window.findChild<QLineEdit *>(u"Text4"_qs));

    // Text next, into the same folder, which the dialog now starts in.
    ui.clear();
    const QString txtPath = folders.path() + u"/out/result.txt"_qs;
    ui.paths << txtPath;
    answerExportDialog(u"Option1"_qs);
    exportButton->click();
    QCOMPARE(ui.fileDialogs.at(0).initialFolder, folders.path() + u"/out"_qs);
    QCOMPARE(ui.fileDialogs.at(0).filterName, u"Text Files (*.txt)"_qs);
    const QByteArray text = readBytes(txtPath);
    QVERIFY(text.contains("\r\nPing  second.lan:\r\n  \r\n1. 12/7/26 9:06:10 PM   Reply from 127.0.0.2  "
                          "bytes=32  Request  timed  out.\r\n"));

    // Overwrite: No leaves the old file as it was.
    ui.clear();
    test::WriteFileBytes(txtPath, "old contents");
    ui.paths << txtPath;
    ui.answers << BoxAnswer::No;
    answerExportDialog(u"Option1"_qs);
    exportButton->click();
    QCOMPARE(ui.texts(), QStringList{u"The same filename exist, overwrite it?"_qs});
    QCOMPARE(readBytes(txtPath), QByteArray("old contents"));
    // Yes replaces it.
    ui.clear();
    ui.paths << txtPath;
    answerExportDialog(u"Option1"_qs);
    exportButton->click();
    QCOMPARE(ui.texts().size(), 2);
    QCOMPARE(readBytes(txtPath), text);

    // A file that cannot be written: the reason and the tag, in a plain box.
    ui.clear();
    ui.paths << folders.path() + u"/no/such/folder/x.txt"_qs;
    answerExportDialog(u"Option1"_qs);
    exportButton->click();
    QCOMPARE(ui.boxes.size(), 1);
    QVERIFY(ui.boxes.at(0).text.endsWith(u"    exp ping to txt"_qs));
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::None);
}

void TestPingResultsWindow::exportConventions()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    FormTester window;
    // Nothing to export: the box, no file dialog.
    answerExportDialog(u"Option1"_qs);
    window.CommandExport_Click();
    QCOMPARE(ui.texts(), QStringList{u"No data to be export."_qs});
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Information);
    QVERIFY(ui.fileDialogs.isEmpty());

    // Another kind's export is handed its extension: a window started in
    // traceroute mode exports the traceroute log.
    ui.clear();
    QString asked;
    window.settings().setValue(AppSettings::CmdType, u"Tracert"_qs);
    QVERIFY(window.settings().save());
    FormTester tracert;
    QCOMPARE(tracert.mode(), u"Tracert"_qs);
    tracert.setExportHandler(u"Tracert"_qs, [&](const QString &extension) { asked = extension; });
    QString label;
    answerExportDialog(u"Option2"_qs, &label);
    tracert.CommandExport_Click();
    QCOMPARE(asked, u"csv"_qs);
    QCOMPARE(label, u"Export the traceroute log to the"_qs);
}

// A reloaded IPv6 test shows the widest address whole in the reply log and in the
// summary report; the rows of a dotted test keep their widths (the tests above).
void TestPingResultsWindow::ipv6AddressShownWhole()
{
    IsolatedFolders folders;
    ScriptedUi ui;
    const QByteArray widest = "fe80:1234:5678:9abc:def0:1234:5678:9abc%veth1";
    QVERIFY(QDir().mkpath(folders.dataFolder()));
    WriteFileBytes(folders.dataFolder() + ResultFileName,
                   "1,1,1\r\n2026,12,07,21,05,09," + widest + ",32,3,64,0\r\n");
    WriteFileBytes(folders.dataFolder() + TargetFileName, widest + "\r\n");
    FormTester window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *row = window.findChild<QLabel *>(u"sIP_0"_qs);
    QVERIFY(row->text().endsWith(u"Reply from "_qs + QString::fromLatin1(widest)));
    QVERIFY2(row->width() >= row->fontMetrics().horizontalAdvance(row->text()),
             qPrintable(QString::number(row->width())));

    window.pingPanel()->reportButton()->click();
    DialogRpt *report = window.dialogRpt();
    QVERIFY(report && report->isVisible());
    report->findChild<QPushButton *>(u"CommandBUild"_qs)->click();
    auto *column = report->findChild<QListView *>(u"List1_0"_qs);
    QTRY_VERIFY(column->model()->rowCount() > 2);
    const QString heading = column->model()->index(2, 0).data().toString();
    QCOMPARE(heading, u"Ping  "_qs + QString::fromLatin1(widest) + u" :"_qs);
    QTRY_VERIFY(column->viewport()->width() >= QFontMetrics(column->font()).horizontalAdvance(heading));
}

void TestPingResultsWindow::outageListAfterReload()
{
    // 60 echoes a second apart to one target, rows 30 to 33 lost; outages at 2 lost echoes.
    IsolatedFolders folders;
    ScriptedUi ui;
    WriteSettings({{u"Default_OutageAfter"_qs, u"2"_qs}});
    QByteArray file = "1,1,1\r\n";
    for (int i = 0; i < 60; ++i)
        file += "2026,12,07,21," + QByteArray::number(10 + i / 60).rightJustified(2, '0') + ','
                + QByteArray::number(i % 60).rightJustified(2, '0')
                + (i >= 30 && i < 34 ? ",127.0.0.1,32,-1,0,11010\r\n" : ",127.0.0.1,32,1,64,0\r\n");
    test::WriteFileBytes(folders.dataFolder() + ResultFileName, file);
    FormTester window;
    window.show();
    QVERIFY(window.pingPanel()->outagesButton()->isVisibleTo(&window));
    window.findChild<QAction *>(u"mnuOutages"_qs)->trigger();
    QTreeWidget *tree = window.formOutages()->tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0),
             u"127.0.0.1:  1 outage, down 4 s, longest 4 s, available 93.22 %"_qs); // 55 of 59 s
    QTreeWidgetItem *outage = tree->topLevelItem(0)->child(0);
    QCOMPARE(QStringList({outage->text(0), outage->text(1), outage->text(2), outage->text(3)}),
             (QStringList{u"2026-12-07 21:10:30"_qs, u"2026-12-07 21:10:34"_qs, u"4 s"_qs, u"4"_qs}));
    // A click shows the log from the outage's first echo.
    Q_EMIT tree->itemClicked(outage, 0);
    QCOMPARE(window.pingPanel()->topRow(), 30);
    QVERIFY(screenOf(window).rows.at(0).startsWith(u"31. | 12/07 21:10:30"_qs));
    QVERIFY(ui.boxes.isEmpty());

    // A setting out of its range refuses the next start and says what is allowed.
    window.settings().setValue(AppSettings::OutageAfter, u"0"_qs);
    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.CommandStart_Click();
    QVERIFY(!window.pingTest()->isRunning());
    QCOMPARE(ui.boxes.size(), 1);
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Critical);
    QVERIFY2(ui.boxes.at(0).text.contains(u"from 1 to 1000"_qs), qPrintable(ui.boxes.at(0).text));

    // Operate > Outage Settings refuses the same, and keeps what it takes on one line.
    window.findChild<QAction *>(u"mnuOutageSettings"_qs)->trigger();
    auto *dialog = window.findChild<QDialog *>(u"DialogOutages"_qs);
    QCOMPARE(dialog->findChild<QLineEdit *>(u"TextOutageAfter"_qs)->text(), u"0"_qs);
    dialog->findChild<QLineEdit *>(u"TextOutageAfter"_qs)->setText(u"1001"_qs);
    dialog->findChild<QPushButton *>(u"CommandOutagesOK"_qs)->click();
    QCOMPARE(ui.boxes.size(), 2);
    QVERIFY(dialog->isVisible());
    dialog->findChild<QLineEdit *>(u"TextOutageAfter"_qs)->setText(u"5"_qs);
    dialog->findChild<QCheckBox *>(u"CheckOutageNotify"_qs)->setChecked(false);
    dialog->findChild<QLineEdit *>(u"TextOutageCommand"_qs)->setText(u"page-me\t--now"_qs);
    dialog->findChild<QPushButton *>(u"CommandOutagesOK"_qs)->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(window.settings().value(AppSettings::OutageAfter), u"5"_qs);
    QCOMPARE(window.settings().value(AppSettings::OutageNotify), u"0"_qs);
    QCOMPARE(window.settings().value(AppSettings::OutageCommand), u"page-me--now"_qs);
    // The test on show under the new rule: its 4 lost echoes are no outage at 5.
    QCOMPARE(tree->topLevelItemCount(), 0);
    QCOMPARE(window.pingTest()->outages().lostEchoes(), 5);
}

QTEST_MAIN(TestPingResultsWindow)
#include "tst_pingresultswindow.moc"
