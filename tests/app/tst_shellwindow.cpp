// The shell of the main window offscreen: closing and Exit during a test, the
// scheduled start and stop on an injected clock, copy screen, the help pages and the
// log file chooser, driven through the named controls.

#include "app/appsettings.h"
#include "app/dialoghelp.h"
#include "app/formtester.h"
#include "app/schedulepanel.h"
#include "ping/exportfile.h"
#include "ping/pingpanel.h"
#include "ping/pingtest.h"
#include "iplist/iplistpanel.h"
#include "platform/datafolder.h"
#include "scanner/scanpanel.h"
#include "support/pointer.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/tracerun.h"
#include "traceroute/tracertpanel.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace netvane;

class TestShellWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void menusReachEveryFunction();
    void closeOrExitDuringTest_data();
    void closeOrExitDuringTest();
    void scheduleFiresAtItsMinute_data();
    void scheduleFiresAtItsMinute();
    void scheduledStopEndsTheTestAtTheEnd();
    void scheduledStartRefusedByTheChecks();
    void scheduledTraceHasOnlyAStart();
    void traceFunctionOutlivesAScan();
    void copyScreenTakesTheVisiblePanel();
    void helpTurnsItsEightPages();
    void openLogFileChooser();

private:
    template<typename T = QWidget>
    T *child(const QString &name) const { return test::Control<T>(m_window.get(), name); }
    // A radio button answers on its circle and caption, at its left.
    void choose(const QString &option)
    {
        QWidget *w = child(option);
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
    }
    void trigger(const QString &action) { child<QAction>(action)->trigger(); }
    void setBox(const QString &name, const QString &text) { child<QComboBox>(name)->setEditText(text); }
    QString caption() const { return m_window->pingPanel()->title(0)->text(); }
    void needEcho()
    {
        if (!test::CanOpenEchoSocket())
            QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    }
    // Picks a minute in the frame opened on the box.
    void pick(const QString &box, int month, int day, int year, int hour, int minute)
    {
        QTest::mouseClick(child(box), Qt::LeftButton);
        QVERIFY(child(u"FrameTime"_qs)->isVisible());
        child<QComboBox>(u"ComboSMonth"_qs)->setCurrentText(QString::number(month));
        child<QComboBox>(u"ComboSDay"_qs)->setCurrentText(QString::number(day));
        child<QComboBox>(u"ComboSYear"_qs)->setCurrentText(QString::number(year));
        child<QComboBox>(u"ComboSHour"_qs)->setCurrentText(QString::number(hour));
        child<QComboBox>(u"ComboSMinute"_qs)->setCurrentText(QString::number(minute));
        QTest::mouseClick(child(u"CommandOK"_qs), Qt::LeftButton);
        QVERIFY(!child(u"FrameTime"_qs)->isVisible());
    }

    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
    QDateTime m_now;
};

void TestShellWindow::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
    m_window = std::make_unique<FormTester>();
    m_now = QDateTime(QDate(2026, 12, 31), QTime(23, 0, 30));
    m_window->schedulePanel()->setClock([this] { return m_now; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    child<QLineEdit>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    PingTimeout = 1000;
}

void TestShellWindow::cleanup()
{
    if (m_window && m_window->isBusy()) {
        m_window->CommandStop_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    }
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

void TestShellWindow::menusReachEveryFunction()
{
    const std::pair<const char *, const char *> items[] = {
        {"mnuExit", "E&xit"}, {"mnuStart", "Ping"}, {"mnuTracert", "Tracert"},
        {"mnuIpscanner", "Scan IP"}, {"mnuStop", "S&top"}, {"mnuExport", "&Export"},
        {"mnuOpen", "O&pen"}, {"mnuCopy", "&Copy Screen"}, {"mnuReport", "Open Summary Report"},
        {"mnuSelectPing", "Ping Function"}, {"mnuSelectTracert", "Traceroute Function"},
        {"mnuAddS", "Add a single IP or URL"}, {"mnuEdit", "Edit the seleted item"},
        {"mnuDelete", "Detete the seleted item"}, {"mnuReset", "Reset all checked Checkbox"},
        {"mnuScanLocalIP", "Scan local subnet and save the ip addresses"},
        {"mnuDos", "DOS Commands"}, {"mnuCloseAllDOS", "Close All Opening DOS Forms"},
        {"mnuHowTo", "&How to Use ?"}, {"mnuAbout", "&About"}};
    for (const auto &[name, caption] : items) {
        auto *action = m_window->findChild<QAction *>(QString::fromLatin1(name));
        QVERIFY2(action, name);
        QCOMPARE(action->text(), QString::fromLatin1(caption));
        QVERIFY2(action->isEnabled(), name);
    }
    // The Function button offers the same choice.
    QTest::mouseClick(child(u"CommandSelectFun_0"_qs), Qt::LeftButton);
    QTRY_VERIFY(child<QMenu>(u"mnuFunction"_qs)->isVisible());
    child<QMenu>(u"mnuFunction"_qs)->hide();
}

void TestShellWindow::closeOrExitDuringTest_data()
{
    QTest::addColumn<bool>("viaMenu");
    QTest::newRow("closing the window") << false;
    QTest::newRow("Exit from the menu") << true;
}

void TestShellWindow::closeOrExitDuringTest()
{
    QFETCH(bool, viaMenu);
    needEcho();
    const auto leave = [&] {
        if (viaMenu)
            trigger(u"mnuExit"_qs);
        else
            m_window->close();
    };
    setBox(u"ComboInv"_qs, u"50"_qs);
    QTest::mouseClick(child(u"CommandStart"_qs), Qt::LeftButton);
    QVERIFY(m_window->isBusy());
    leave();
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_ui->boxes.size(), 1);
    QCOMPARE(m_ui->boxes[0].text, u"Please click 'Stop' button to stop the testing first."_qs);
    QCOMPARE(m_ui->boxes[0].title, u"Test is Running."_qs);

    QTest::mouseClick(child(u"CommandStop"_qs), Qt::LeftButton);
    QVERIFY(m_window->isBusy()); // until the finishing tick
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    setBox(u"ComboSize"_qs, u"48"_qs); // changed after the test's own save
    trigger(u"mnuHowTo"_qs);           // another window of the program
    QVERIFY(m_window->dialogHelp()->isVisible());
    leave();
    QVERIFY(!m_window->isVisible());
    QVERIFY(!m_window->dialogHelp()->isVisible());
    QCOMPARE(m_ui->boxes.size(), 1);
    AppSettings onDisk;
    onDisk.load();
    QCOMPARE(onDisk.value(AppSettings::Buffer), u"48"_qs);
}

void TestShellWindow::scheduleFiresAtItsMinute_data()
{
    QTest::addColumn<bool>("pickLastMinuteOfTheYear");
    QTest::addColumn<QDateTime>("beforeDue");
    QTest::addColumn<QDateTime>("due");
    // The clock reads 31 December 2026, 23:00:30 when Schedule is chosen.
    QTest::newRow("23:59 on 31 December fires on 1 January")
        << true << QDateTime(QDate(2026, 12, 31), QTime(23, 58, 59))
        << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 5));
    QTest::newRow("a start already passed fires on the first tick")
        << false << QDateTime() << QDateTime(QDate(2027, 1, 1), QTime(2, 0));
}

void TestShellWindow::scheduleFiresAtItsMinute()
{
    QFETCH(bool, pickLastMinuteOfTheYear);
    QFETCH(QDateTime, beforeDue);
    QFETCH(QDateTime, due);
    needEcho();
    SchedulePanel *panel = m_window->schedulePanel();
    QVERIFY(!child(u"ComboFrom"_qs)->isEnabled());
    choose(u"OptionSch_1"_qs);
    QVERIFY(panel->timer3()->isActive());
    QCOMPARE(panel->timer3()->interval(), 3000);
    QVERIFY(child(u"ComboTo"_qs)->isEnabled());
    // Not touched: one hour and eight hours from now.
    QCOMPARE(child<QComboBox>(u"ComboFrom"_qs)->currentText(), u"01/01/2027 00:00:00"_qs);
    QCOMPARE(child<QComboBox>(u"ComboTo"_qs)->currentText(), u"01/01/2027 07:00:00"_qs);
    QCOMPARE(caption(), u"Ping Test will auto run at:  01/01/2027 00:00:00  to  01/01/2027 07:00:00"_qs);

    if (pickLastMinuteOfTheYear) {
        pick(u"ComboFrom"_qs, 2, 30, 2027, 12, 0); // no such day
        QCOMPARE(m_ui->boxes.size(), 1);
        QCOMPARE(m_ui->boxes[0].icon, BoxIcon::Critical);
        QCOMPARE(child<QComboBox>(u"ComboFrom"_qs)->currentText(), u"01/01/2027 00:00:00"_qs);
        pick(u"ComboFrom"_qs, 12, 31, 2026, 23, 59);
        QCOMPARE(child<QComboBox>(u"ComboFrom"_qs)->currentText(), u"12/31/2026 23:59:00"_qs);
        QCOMPARE(caption(), u"Ping Test will auto run at:  12/31/2026 23:59:00  to  01/01/2027 07:00:00"_qs);
        // A click on the window, or on a row of the ping panel, closes an open picker
        // without a change.
        QTest::mouseClick(child(u"ComboTo"_qs), Qt::LeftButton);
        QTest::mouseClick(m_window.get(), Qt::LeftButton, {}, QPoint(2, m_window->height() - 2));
        QVERIFY(!child(u"FrameTime"_qs)->isVisible());
        QTest::mouseClick(child(u"ComboTo"_qs), Qt::LeftButton);
        QTest::mouseClick(child(u"sIP_3"_qs), Qt::LeftButton);
        QVERIFY(!child(u"FrameTime"_qs)->isVisible());
        QVERIFY(child(u"Text4"_qs)->hasFocus());
        m_ui->clear();
    }
    if (beforeDue.isValid()) {
        m_now = beforeDue;
        panel->Timer3_Timer();
        QVERIFY(!m_window->isBusy());
        QVERIFY(panel->timer3()->isActive());
    }
    m_now = due;
    panel->Timer3_Timer();
    QVERIFY(m_window->isBusy());
    QVERIFY(m_window->scheduledRun());
    QVERIFY(!panel->timer3()->isActive());
    QVERIFY(child<QRadioButton>(u"OptionSch_0"_qs)->isChecked()); // starting selects Immediately
    QVERIFY(m_window->pingTest()->scheduledStopArmed());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->pingTest()->log().size() >= 1, 5000);
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestShellWindow::scheduledStopEndsTheTestAtTheEnd()
{
    needEcho();
    setBox(u"ComboInv"_qs, u"20"_qs); // continually
    // By hand the test has no end time, even on a clock past one.
    QTest::mouseClick(child(u"CommandStart"_qs), Qt::LeftButton);
    QVERIFY(!m_window->pingTest()->scheduledStopArmed());
    m_window->CommandStop_Click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);

    choose(u"OptionSch_1"_qs);
    pick(u"ComboTo"_qs, 1, 1, 2027, 0, 30);
    m_now = QDateTime(QDate(2027, 1, 1), QTime(0, 0));
    m_window->schedulePanel()->Timer3_Timer();
    QVERIFY(m_window->isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->pingTest()->log().size() >= 3, 5000);
    QVERIFY(!m_window->pingTest()->stopRequested());
    m_now = QDateTime(QDate(2027, 1, 1), QTime(0, 30, 1));
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    QVERIFY(m_window->pingPanel()->reportButton()->isVisible());
    QVERIFY(!m_window->pingTest()->tickTimer()->isActive());
    QVERIFY(m_ui->boxes.isEmpty());
}

// The settings refused at the scheduled moment: their message, and the schedule is
// given up, not left promising a run.
void TestShellWindow::scheduledStartRefusedByTheChecks()
{
    setBox(u"ComboTimeOut"_qs, u"-100"_qs);
    m_ui->clear(); // the box says it at once too
    choose(u"OptionSch_1"_qs);
    QVERIFY(caption().contains(u"will auto run at"_qs));
    m_now = m_now.addDays(1);
    m_window->schedulePanel()->Timer3_Timer();
    QVERIFY2(m_ui->boxes.size() == 1, qPrintable(m_ui->texts().join(u" | ")));
    QCOMPARE(m_ui->boxes[0].icon, BoxIcon::Critical);
    QVERIFY(!m_window->isBusy());
    QVERIFY(!m_window->schedulePanel()->timer3()->isActive());
    QVERIFY(child<QRadioButton>(u"OptionSch_0"_qs)->isChecked());
    QCOMPARE(caption(), QString());
}

void TestShellWindow::scheduledTraceHasOnlyAStart()
{
    needEcho();
    m_window->tracertPanel()->run()->setProgram(QStringLiteral(TRACERT_PATH));
    QVERIFY(child(u"Frame1_1"_qs)->isVisible());
    QVERIFY(!child(u"Frame1_2"_qs)->isVisible());
    trigger(u"mnuSelectTracert"_qs);
    QVERIFY(!child(u"Frame1_1"_qs)->isVisible()); // the function's settings take the place
    QVERIFY(child(u"Frame1_2"_qs)->isVisible());
    choose(u"OptionSch_1"_qs);
    QVERIFY(child(u"ComboFrom"_qs)->isEnabled());
    QVERIFY(!child(u"ComboTo"_qs)->isEnabled());
    QCOMPARE(caption(), u"Trace Route will auto run at:  01/01/2027 00:00:00"_qs);
    // Back to ping, the end box and the end come back.
    trigger(u"mnuSelectPing"_qs);
    QVERIFY(child(u"Frame1_1"_qs)->isVisible());
    QVERIFY(!child(u"Frame1_2"_qs)->isVisible());
    QVERIFY(child(u"ComboTo"_qs)->isEnabled());
    QVERIFY(caption().endsWith(u"  to  01/01/2027 07:00:00"_qs));
    trigger(u"mnuSelectTracert"_qs);
    QVERIFY(!child(u"ComboTo"_qs)->isEnabled());

    m_now = m_now.addSecs(3600);
    m_window->schedulePanel()->Timer3_Timer();
    QVERIFY(m_window->isBusy());
    QCOMPARE(m_window->mode(), u"Tracert"_qs);
    QVERIFY(m_window->tracertPanel()->run()->isActive());
    QVERIFY(!m_window->pingTest()->isRunning());
    QVERIFY(child<QRadioButton>(u"OptionSch_0"_qs)->isChecked());
}

// A scan between choosing the traceroute function and its schedule: the scan gives up
// the armed schedule (its caption goes), keeps the function, and a later schedule
// still runs a trace, on the trace's own panel; the function cannot change while
// anything runs; the trace's own host count comes back at the next start.
void TestShellWindow::traceFunctionOutlivesAScan()
{
    needEcho();
    m_window->tracertPanel()->run()->setProgram(QStringLiteral(TRACERT_PATH));
    trigger(u"mnuSelectTracert"_qs);
    choose(u"OptionSch_1"_qs);
    QCOMPARE(caption(), u"Trace Route will auto run at:  01/01/2027 00:00:00"_qs);

    ScanPanel *scan = m_window->scanPanel();
    QSignalSpy scanned(scan, &ScanPanel::scanCompleted);
    m_window->ipListPanel()->dialogState().manualTarget[0] = u"CIP_Range_Manual,127.0.0.1,127.0.0.2"_qs;
    scan->StartScan();
    QVERIFY(m_window->isBusy());
    QVERIFY(!child(u"CommandSelectFun_0"_qs)->isEnabled());
    QVERIFY(!child<QAction>(u"mnuSelectPing"_qs)->isEnabled());
    QVERIFY(child<QRadioButton>(u"OptionSch_0"_qs)->isChecked());
    QVERIFY(!m_window->schedulePanel()->timer3()->isActive());
    QCOMPARE(caption(), QString());
    QVERIFY(scanned.wait(30000));
    QVERIFY(child(u"CommandSelectFun_0"_qs)->isEnabled());
    QCOMPARE(m_window->function(), u"Tracert"_qs);

    choose(u"OptionSch_1"_qs);
    QCOMPARE(caption(), u"Trace Route will auto run at:  01/01/2027 00:00:00"_qs);
    m_window->ipListPanel()->dialogState().manualTarget[2] = u"BTwo,127.0.0.1,127.0.0.2"_qs;
    m_now = m_now.addSecs(3600);
    m_window->schedulePanel()->Timer3_Timer();
    QVERIFY(m_window->tracertPanel()->run()->isActive());
    QVERIFY(!m_window->pingTest()->isRunning());
    QVERIFY(!child(u"Picture3"_qs)->isVisible());
    QVERIFY(!child<QAction>(u"mnuSelectPing"_qs)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 10000);
    QVERIFY(child(u"CmdJumpTo_0"_qs)->isVisible());

    // The schedule's caption takes the title from the trace, jump controls and all.
    choose(u"OptionSch_1"_qs);
    QCOMPARE(caption(), u"Trace Route will auto run at:  01/01/2027 01:00:00"_qs);
    for (const QString &name : {u"CmdJumpTo_0"_qs, u"CmdJumpTo_1"_qs, u"LabelTittle_3"_qs})
        QVERIFY2(!child(name)->isVisible(), qPrintable(name));
    choose(u"OptionSch_0"_qs);

    // A ping test of three targets since, then the traceroute function again.
    setBox(u"ComboTimes"_qs, u"1"_qs);
    m_window->ipListPanel()->dialogState().manualTarget[2] = u"BThree,127.0.0.1,127.0.0.2,127.0.0.3"_qs;
    QSignalSpy pinged(m_window->pingTest(), &PingTest::finished);
    m_window->CommandStart_Click();
    QVERIFY(!child(u"CommandSelectFun_0"_qs)->isEnabled());
    QVERIFY(pinged.wait(10000));
    trigger(u"mnuSelectTracert"_qs);
    m_window->close();
    m_window = std::make_unique<FormTester>();
    QCOMPARE(caption(), u"Tracing route to 2 hosts."_qs);
}

void TestShellWindow::copyScreenTakesTheVisiblePanel()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(u"the user's text"_qs);
    m_window->pingPanel()->hide();
    trigger(u"mnuCopy"_qs);
    QCOMPARE(clipboard->text(), u"the user's text"_qs);
    QVERIFY(clipboard->image().isNull());

    m_window->pingPanel()->show();
    QTest::mouseClick(child(u"Command2"_qs), Qt::LeftButton);
    const QImage picture = clipboard->image();
    QCOMPARE(picture.size(), m_window->pingPanel()->size() * m_window->devicePixelRatio());
    // The picture is the panel: its grey background, not an empty one.
    QCOMPARE(QColor(picture.pixel(picture.width() / 2, picture.height() / 2)),
             m_window->pingPanel()->palette().color(QPalette::Window));
    QVERIFY(child(u"Text4"_qs)->hasFocus());
}

void TestShellWindow::helpTurnsItsEightPages()
{
    const QSize windowSize = m_window->size();
    trigger(u"mnuHowTo"_qs);
    // Taking the pictures leaves the window as it was.
    QCOMPARE(m_window->size(), windowSize);
    QVERIFY(m_window->pingPanel()->isVisible());
    QVERIFY(!child(u"Picture3"_qs)->isVisible());
    QVERIFY(!child(u"Frame1_2"_qs)->isVisible());
    DialogHelp *help = m_window->dialogHelp();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->windowTitle(), u" How to use?"_qs);
    auto *label = help->findChild<QLabel *>(u"Label1"_qs);
    const auto shows = [&](int page) {
        for (int p = 1; p <= DialogHelp::PageCount; ++p)
            if (help->pagePanel(p)->isVisible() != (p == page))
                return false;
        return label->text() == u"%1 of 8"_qs.arg(page) && help->page() == page;
    };
    QVERIFY(shows(1));
    help->findChild<QPushButton *>(u"CommandPre"_qs)->click();
    QVERIFY(shows(1));
    for (int page = 2; page <= 9; ++page) {
        help->findChild<QPushButton *>(u"CommandNext"_qs)->click();
        QVERIFY2(shows(qMin(page, 8)), qPrintable(label->text()));
    }
    help->findChild<QPushButton *>(u"CommandPre"_qs)->click();
    QVERIFY(shows(7));
    // Every page pictures a panel of this window, taken from it.
    for (int p = 1; p <= DialogHelp::PageCount; ++p) {
        auto *image = help->pagePanel(p)->findChild<QLabel *>(u"Image_%1"_qs.arg(p));
        QVERIFY2(!image->pixmap().isNull(), qPrintable(help->pagePanel(p)->objectName()));
    }
    const QPixmap ping = help->pagePanel(2)->findChild<QLabel *>(u"Image_2"_qs)->pixmap();
    const QSize panel = m_window->pingPanel()->size();
    QVERIFY2(qAbs(double(ping.width()) / ping.height() - double(panel.width()) / panel.height()) < 0.02,
             qPrintable(u"%1x%2 %3x%4"_qs.arg(ping.width()).arg(ping.height()).arg(panel.width()).arg(panel.height())));
    // The hibernation line asks first, and says when its command fails (here one that
    // cannot change this machine).
    help->setHibernateProgram(m_folders->path() + u"/no-such-systemctl"_qs);
    m_ui->clear();
    m_ui->answers.enqueue(BoxAnswer::No);
    QTest::mouseClick(help->findChild<QLabel *>(u"Text1_20"_qs), Qt::LeftButton);
    QCOMPARE(m_ui->boxes.size(), 1);
    QCOMPARE(m_ui->boxes[0].buttons, BoxButtons::YesNo);
    QVERIFY2(m_ui->boxes[0].text.contains(u"for every user"_qs), qPrintable(m_ui->boxes[0].text));
    m_ui->answers.enqueue(BoxAnswer::Yes);
    QTest::mouseClick(help->findChild<QLabel *>(u"Text1_20"_qs), Qt::LeftButton);
    QTRY_COMPARE(m_ui->boxes.size(), 3);
    QVERIFY2(m_ui->boxes[2].text.startsWith(u"Hibernation could not be turned off: "_qs),
             qPrintable(m_ui->boxes[2].text));
    help->findChild<QPushButton *>(u"Command1"_qs)->click();
    QVERIFY(!help->isVisible());
}

void TestShellWindow::openLogFileChooser()
{
    SetLastDialogFolder(QString());
    trigger(u"mnuOpen"_qs); // cancelled
    QCOMPARE(m_ui->fileDialogs.size(), 1);
    const FileDialogRequest &r = m_ui->fileDialogs[0];
    QVERIFY(!r.save);
    QCOMPARE(r.title, u"Open Log File"_qs);
    // The JSON export is among the log files it offers.
    QCOMPARE(r.filterName, u"Text/CSV/JSON Files (*.txt;*.csv;*.json)"_qs);
    QCOMPARE(r.filterPattern, u"*.txt;*.csv;*.json"_qs);
    QCOMPARE(r.initialFolder, FirstDialogFolder());
    QCOMPARE(LastDialogFolder(), QString()); // a cancel changes nothing
    QVERIFY(m_ui->boxes.isEmpty());
}

QTEST_MAIN(TestShellWindow)
#include "tst_shellwindow.moc"
