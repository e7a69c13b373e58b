// The result file as the log of the window: pages after a test are read back from
// it, a file changed underneath is noticed before a page or an export is read and
// loaded again, and a line cut by a crash leaves every echo before it.

#include "app/formtester.h"
#include "ping/dialogexport.h"
#include "ping/pingpanel.h"
#include "ping/resultreload.h"
#include "ping/resultstore.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace netvane;
using namespace netvane::test;

namespace {

const QString Changed = u"The result file has changed since it was loaded; it is loaded again."_qs;

// One target, one echo a second from 21:00:00, times 0 .. 89 ms.
QByteArray resultFile(int echoes)
{
    QByteArray file = "1,1,1\r\n";
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 0, 0));
    for (int i = 0; i < echoes; ++i)
        file += start.addSecs(i).toString(u"yyyy,MM,dd,HH,mm,ss"_qs).toLatin1() + ",127.0.0.1,32,"
                + QByteArray::number(i % 90) + ",64,0\r\n";
    return file;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The 20 rows as "n. | left | right", and the rows a page from `top` of the file should show.
QStringList shownRows(const FormTester &w)
{
    QStringList rows;
    for (int i = 0; i < 20; ++i) {
        const auto text = [&](const char *name) {
            return w.findChild<QLabel *>(QString::fromLatin1(name) + u'_' + QString::number(i))->text();
        };
        if (!text("sTYPE").isEmpty())
            rows << text("sTYPE") + u" | "_qs + text("sIP") + u" | "_qs + text("sIP2");
    }
    return rows;
}

QStringList expectedRows(const QByteArray &file, int top)
{
    const ReloadedPingTest t = ParseResultFile(file);
    QStringList rows;
    for (qsizetype row = top; row < top + 20 && row < t.log.size(); ++row) {
        const ReplyRowTexts texts = FormatReplyRow(t.log.at(row), t.log.address(t.log.at(row)));
        rows << QString::number(row + 1) + u". | "_qs + texts.left + u" | "_qs + texts.right;
    }
    return rows;
}

} // namespace

class TestResultFileLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void livePagesAreReadFromTheFile();
    void fileChangedUnderneath_data();
    void fileChangedUnderneath();
};

void TestResultFileLog::livePagesAreReadFromTheFile()
{
    if (!CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here");
    IsolatedFolders folders;
    ScriptedUi ui;
    FormTester window;
    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"1"_qs);
    window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(u"150"_qs);
    QSignalSpy finished(window.pingTest(), &PingTest::finished);
    window.CommandStart_Click();
    QVERIFY(finished.wait(30000));
    const PingReplyLog &log = window.pingTest()->log();
    QCOMPARE(log.size(), 150);
    QVERIFY(log.isFileBacked());
    QVERIFY(log.memoryRecords().empty()); // every echo is in the file, none in memory

    // Pages on both sides of the index's steps show the lines of the file.
    const QByteArray file = readBytes(folders.dataFolder() + ResultFileName);
    QScrollBar *bar = window.pingPanel()->scrollBar();
    for (const int top : {0, 63, 64, 100, 130}) {
        bar->setValue(top);
        QCOMPARE(window.pingPanel()->topRow(), top);
        QCOMPARE(shownRows(window), expectedRows(file, top));
    }
    QVERIFY(ui.boxes.isEmpty());
}

void TestResultFileLog::fileChangedUnderneath_data()
{
    QTest::addColumn<QByteArray>("changed");
    QTest::addColumn<bool>("replace"); // a new file, else rewritten in place
    QTest::addColumn<bool>("byExport"); // noticed by an export, else by a page
    QTest::addColumn<int>("echoes");    // shown after the reload
    QTest::addColumn<int>("cutLine");   // the line a crash cut, which the reload names
    const QByteArray before = resultFile(300);
    QTest::newRow("an echo appended") << resultFile(301) << false << false << 301 << 0;
    QTest::newRow("cut mid-line by a crash") << before.left(before.size() - 30) << false << false << 299 << 301;
    QTest::newRow("another test's file") << resultFile(45) << true << false << 45 << 0;
    QTest::newRow("cut, noticed by an export") << resultFile(120) << false << true << 120 << 0;
    QTest::newRow("removed") << QByteArray() << true << false << 0 << 0;
}

void TestResultFileLog::fileChangedUnderneath()
{
    QFETCH(QByteArray, changed);
    QFETCH(bool, replace);
    QFETCH(bool, byExport);
    QFETCH(int, echoes);
    QFETCH(int, cutLine);
    IsolatedFolders folders;
    ScriptedUi ui;
    const QString path = folders.dataFolder() + ResultFileName;
    WriteFileBytes(path, resultFile(300));
    FormTester window;
    QCOMPARE(window.pingTest()->log().size(), 300);
    QCOMPARE(shownRows(window), expectedRows(resultFile(300), 280));

    if (replace) {
        QVERIFY(QFile::remove(path));
        if (!changed.isEmpty())
            WriteFileBytes(path, changed);
    } else {
        QFile f(path); // the same file, rewritten
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(changed), changed.size());
    }
    if (byExport) {
        auto *timer = new QTimer(&window); // answers the export choice with "Text"
        connect(timer, &QTimer::timeout, timer, [timer] {
            if (auto *dialog = qobject_cast<DialogExport *>(QApplication::activeModalWidget())) {
                dialog->findChild<QRadioButton *>(u"Option1"_qs)->setChecked(true);
                dialog->findChild<QPushButton *>(u"OKButton"_qs)->click();
                timer->stop();
            }
        });
        timer->start(10);
        window.CommandExport_Click();
        QVERIFY(ui.fileDialogs.isEmpty()); // nothing exported from the changed file
    } else {
        window.pingPanel()->scrollBar()->setValue(100);
    }
    QCOMPARE(ui.texts().value(0), Changed);
    QCOMPARE(ui.texts().size(), cutLine ? 2 : 1);
    if (cutLine)
        QVERIFY(ui.texts().at(1).contains(u"left out (line %1)"_qs.arg(cutLine)));
    QCOMPARE(window.pingTest()->log().size(), echoes);
    const int lastPage = echoes > 0 ? (echoes - 1) / 20 * 20 : 0;
    QCOMPARE(shownRows(window), expectedRows(changed, lastPage));
    QCOMPARE(window.findChild<QLabel *>(u"sIP4_0"_qs)->text(), echoes ? QString::number(echoes) : QString());
    QVERIFY(!window.isBusy());
    if (echoes == 0)
        return;
    // Pages of the file as it is now.
    window.pingPanel()->scrollBar()->setValue(0);
    QCOMPARE(shownRows(window), expectedRows(changed, 0));
    QCOMPARE(ui.boxes.size(), cutLine ? 2 : 1);
}

QTEST_MAIN(TestResultFileLog)
#include "tst_resultfilelog.moc"
