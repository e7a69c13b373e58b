// The summary report through the main window: a stored test of 25 minutes is shown
// again at start-up, the report button opens the report dialog, Generate fills the
// seven columns while the window stays live, and Export, Open and Print work from it.

#include "app/formtester.h"
#include "ping/dialogexport.h"
#include "ping/pingpanel.h"
#include "ping/replyrecord.h"
#include "ping/resultstore.h"
#include "platform/desktopopen.h"
#include "report/dialogrpt.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace netvane;
using namespace netvane::test;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Two targets, repeat 1, 5000 echoes over 25 minutes; every tenth of each lost.
void writeStoredTest(const QString &folder)
{
    QDir().mkpath(folder);
    QByteArray file = "2,1,1\r\n";
    PingReplyLog log;
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9));
    for (int r = 0; r < 5000; ++r) {
        const QString address = r % 2 ? u"127.0.0.2"_qs : u"127.0.0.1"_qs;
        const bool lost = (r / 2) % 10 == 9;
        log.append(start.addMSecs(qint64(r) * 300), address, 32, lost ? -1 : 1, lost ? 0 : 64,
                   lost ? 11010 : 0);
        file += ReplyLine(log.last(), address).toUtf8() + "\r\n";
    }
    WriteFileBytes(folder + ResultFileName, file);
    WriteFileBytes(folder + TargetFileName, "localhost\r\n127.0.0.2\r\n");
}

} // namespace

class TestReportWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void reportFromTheWindow();
};

void TestReportWindow::reportFromTheWindow()
{
    IsolatedFolders folders;
    writeStoredTest(folders.dataFolder());
    ScriptedUi ui;
    QList<std::pair<QString, OpenWith>> opened;
    const auto previousOpen = setDesktopOpenResponder([&](const QString &path, OpenWith how) {
        opened.append({path, how});
        return true;
    });
    const QString pdf = folders.path() + u"/report.pdf"_qs;
    const auto previousPrint = setPrintDialogResponder([&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });

    FormTester window;
    QCOMPARE(window.pingTest()->log().size(), 5000);
    window.pingPanel()->reportButton()->click();
    DialogRpt *dialog = window.dialogRpt();
    QVERIFY(dialog && dialog->isVisible());
    auto *combo = dialog->findChild<QComboBox *>(u"ComboGroupBy"_qs);
    QCOMPARE(combo->currentText(), u"2"_qs); // 25 minutes

    // Nothing generated yet: Export and Print say what to do and write nothing.
    ui.clear();
    dialog->ExportReport(u"txt"_qs);
    dialog->findChild<QPushButton *>(u"CommandPrint"_qs)->click();
    QCOMPARE(ui.texts(), QStringList({u"Generate the report first."_qs, u"Generate the report first."_qs}));
    QVERIFY(ui.fileDialogs.isEmpty());
    QVERIFY(!QFile::exists(pdf));

    // Generate with "0" typed: it becomes 1; while building the buttons are off,
    // "Calculating..." and the busy pointer show (the report reads a copy of the log
    // beside the window, which goes on meanwhile).
    combo->setEditText(u"0"_qs);
    QCOMPARE(combo->currentText(), u"1"_qs);
    combo->setEditText(u"x"_qs);
    QCOMPARE(combo->currentText(), u"x"_qs); // still being typed
    Q_EMIT combo->lineEdit()->editingFinished();
    QCOMPARE(combo->currentText(), u"1"_qs);
    bool sawBusy = false;
    QTimer::singleShot(0, dialog, [&] {
        sawBusy = !dialog->findChild<QPushButton *>(u"CommandBUild"_qs)->isEnabled()
                  && !dialog->findChild<QPushButton *>(u"Command5"_qs)->isEnabled()
                  && dialog->findChild<QLabel *>(u"Text2"_qs)->isVisible()
                  && QApplication::overrideCursor()
                  && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    dialog->findChild<QPushButton *>(u"Command3"_qs)->click();
    QVERIFY(sawBusy);
    QVERIFY(dialog->findChild<QPushButton *>(u"CommandBUild"_qs)->isEnabled());
    QVERIFY(!dialog->findChild<QLabel *>(u"Text2"_qs)->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(dialog->hasReport());
    // 25 minutes by 1: 25 or 26 groups a host, under four heading rows each.
    const auto text = [dialog](int list, int row) {
        return dialog->list(list)->model()->index(row, 0).data().toString();
    };
    const int rows = dialog->list(0)->model()->rowCount();
    QCOMPARE(rows, 2 * 4 + 2 * 26);
    for (int i = 1; i < 7; ++i)
        QCOMPARE(dialog->list(i)->model()->rowCount(), rows);
    QCOMPARE(text(0, 2), u"Ping  localhost :"_qs);
    QCOMPARE(text(5, 4), u"9.41 %    "_qs); // 8 of 85 until 21:06
    QCOMPARE(text(6, 4), u"=="_qs);

    // One click selects the row in every column; the last column's bar moves them all.
    QTest::mouseClick(dialog->list(3)->viewport(), Qt::LeftButton, {},
                      dialog->list(3)->visualRect(dialog->list(3)->model()->index(7, 0)).center());
    for (int i = 0; i < 7; ++i)
        QCOMPARE(dialog->list(i)->currentIndex().row(), 7);
    dialog->resize(500, 300);
    dialog->list(6)->verticalScrollBar()->setValue(9);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(dialog->list(i)->verticalScrollBar()->value(), dialog->list(6)->verticalScrollBar()->value());

    // Export through the format dialog: CSV, named from the test's start.
    const QString csv = folders.path() + u"/report.csv"_qs;
    ui.clear();
    ui.paths.enqueue(csv);
    QTimer::singleShot(0, dialog, [] {
        auto *format = qobject_cast<DialogExport *>(QApplication::activeModalWidget());
        QVERIFY(format);
        format->findChild<QRadioButton *>(u"Option2"_qs)->setChecked(true);
        format->findChild<QPushButton *>(u"OKButton"_qs)->click();
    });
    dialog->findChild<QPushButton *>(u"CommandExport"_qs)->click();
    QCOMPARE(ui.fileDialogs.size(), 1);
    QCOMPARE(ui.fileDialogs[0].defaultName, u"Ping_Test_Report_12072105"_qs);
    QCOMPARE(ui.fileDialogs[0].title, u"Ping Test Report will be export to this File"_qs);
    QCOMPARE(ui.boxes.last().title, u"File Saved"_qs);
    QVERIFY(readBytes(csv).startsWith("Ping Test Report\r\nTest Time From,To,TTL,"));

    // "No" at the overwrite question leaves the file alone.
    WriteFileBytes(csv, "kept");
    ui.clear();
    ui.paths.enqueue(csv);
    ui.answers.enqueue(BoxAnswer::No);
    dialog->ExportReport(u"csv"_qs);
    QCOMPARE(ui.texts(), QStringList({u"The same filename exist, overwrite it?"_qs}));
    QCOMPARE(readBytes(csv), QByteArray("kept"));

    // Open: a CSV name in any case goes to its application, anything else to the editor;
    // a file that cannot be read is said with the system's reason.
    const QString upperCsv = folders.path() + u"/a.CSV"_qs;
    const QString plain = folders.path() + u"/b.txt"_qs;
    WriteFileBytes(upperCsv, "a");
    WriteFileBytes(plain, "b");
    ui.clear();
    ui.paths << upperCsv << plain << folders.path() + u"/gone.txt"_qs;
    dialog->findChild<QPushButton *>(u"CommandOpen"_qs)->click();
    dialog->findChild<QPushButton *>(u"Command6"_qs)->click();
    dialog->findChild<QPushButton *>(u"CommandOpen"_qs)->click();
    QCOMPARE(ui.fileDialogs.at(0).title, u"Open Log File"_qs);
    QCOMPARE(ui.fileDialogs.at(0).filterName, u"Text/CSV Files (*.txt;*.csv)"_qs);
    QCOMPARE(ui.fileDialogs.at(0).filterPattern, u"*.txt;*.csv"_qs);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened[0], std::make_pair(upperCsv, OpenWith::Association));
    QCOMPARE(opened[1], std::make_pair(plain, OpenWith::TextEditor));
    QCOMPARE(ui.texts(), QStringList{folders.path() + u"/gone.txt: No such file or directory   "_qs});

    // Print: the text layout, here to a PDF file.
    dialog->findChild<QPushButton *>(u"Command4"_qs)->click();
    QVERIFY(readBytes(pdf).startsWith("%PDF"));

    // The menu opens the same dialog.
    dialog->hide();
    window.findChild<QAction *>(u"mnuReport"_qs)->trigger();
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->hasReport());

    // A test started meanwhile (as a scheduled start does) closes the report of the old one.
    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(u"2"_qs);
    QSignalSpy finished(window.pingTest(), &PingTest::finished);
    window.CommandStart_Click();
    QVERIFY(finished.wait(30000));
    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->hasReport());

    setDesktopOpenResponder(previousOpen);
    setPrintDialogResponder(previousPrint);
}

QTEST_MAIN(TestReportWindow)
#include "tst_reportwindow.moc"
