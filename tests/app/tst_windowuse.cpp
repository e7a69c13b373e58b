// The main window as a new user meets it, offscreen: what Start tests, buttons that
// take a pointer's press, the Tab walk, a window that keeps its size through every
// function and its place between starts, access keys, the help pages and the
// latency graph.

#include "app/appsettings.h"
#include "app/dialoghelp.h"
#include "app/formtester.h"
#include "console/consolepanel.h"
#include "scanner/scanpanel.h"
#include "iplist/iplistpanel.h"
#include "ping/formlatencygraph.h"
#include "ping/pingpanel.h"
#include "ping/pingsettingsbox.h"
#include "ping/resultstore.h"
#include "report/dialogrpt.h"
#include "support/pointer.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/tracertpanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

using namespace netvane;

namespace {

// A reloaded test of one target: n echoes a second apart, every fifth one lost.
QByteArray resultFile(int n)
{
    QByteArray file = "1,1,1\r\n";
    for (int i = 0; i < n; ++i)
        file += QByteArray("2026,12,07,21,") + QByteArray::number(10 + i / 60) + ','
                + QByteArray::number(10 + i % 60) + (i % 5 == 4 ? ",127.0.0.1,32,-1,0,11010\r\n"
                                                                : ",127.0.0.1,32,0,64,0\r\n");
    return file;
}

} // namespace

class TestWindowUse : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void buttonsTakeAPointersPress();
    void tabWalkThenStartTestsTheTypedAddress();
    void startTestsOnlyWhatIsShown();
    void windowKeepsItsSizeAndPlace();
    void accessKeysAreOneLetterOneTarget();
    void helpShowsEachFunction();
    void wheelOverTheRowsPagesTheLog();
    void graphDrawsInsideItsPlot();
    void listColumnTabsAndJumpLists();

private:
    template<typename T = QWidget>
    T *child(const QString &name) const { return test::Control<T>(m_window.get(), name); }
    void openWindow(const QByteArray &results = {})
    {
        test::WriteFileBytes(m_folders->dataFolder() + u"Quellon_DB.txt"_qs,
                             "A127.0.0.2\r\nA127.0.0.3\r\nBGrp,127.0.0.4,127.0.0.5\r\n \r\n");
        if (!results.isEmpty()) {
            test::WriteFileBytes(m_folders->dataFolder() + ResultFileName, results);
            test::WriteFileBytes(m_folders->dataFolder() + TargetFileName, "127.0.0.1\r\n");
        }
        m_window = std::make_unique<FormTester>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void stopTest()
    {
        if (m_window && m_window->isBusy()) {
            m_window->CommandStop_Click();
            QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
        }
    }
    QLineEdit *textPing() const { return child<QLineEdit>(u"TextPing"_qs); }

    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
};

void TestWindowUse::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
    QDir().mkpath(m_folders->dataFolder());
}

void TestWindowUse::cleanup()
{
    stopTest();
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

void TestWindowUse::buttonsTakeAPointersPress()
{
    openWindow(resultFile(12));
    QPushButton *report = child<QPushButton>(u"PingReport"_qs);
    QPushButton *graph = child<QPushButton>(u"PingGraph"_qs);
    QVERIFY(report->isVisible() && graph->isVisible());

    // Every button on show, in every function, lies on top where it is drawn.
    // (A panel in front, as the console over the ping panel, hides the one behind.)
    const auto everyButtonReachable = [this](const char *where, QWidget *behind = nullptr) {
        for (QAbstractButton *b : m_window->findChildren<QAbstractButton *>()) {
            if (b->isVisible() && b->window() == m_window.get() && !(behind && behind->isAncestorOf(b)))
                QVERIFY2(test::ReachableByPointer(b),
                         qPrintable(QString::fromLatin1(where) + u": "_qs + b->objectName() + u" under "_qs
                                    + test::WidgetAtCentre(b)->objectName()));
        }
    };
    everyButtonReachable("ping panel");
    child<QAction>(u"mnuSelectTracert"_qs)->trigger();
    everyButtonReachable("traceroute settings");
    // The trace panel has no echoes to draw.
    m_window->mnuSelectPing_Click();
    child<QPushButton>(u"Command11"_qs)->click();
    everyButtonReachable("console", m_window->pingPanel());

    // The report and the graph open from a real click at their buttons' centres.
    child<QPushButton>(u"Command11"_qs)->click();
    m_window->consolePanel()->hide();
    m_window->pingPanel()->show();
    QVERIFY(test::ClickAtCentre(report));
    QTRY_VERIFY(m_window->dialogRpt() && m_window->dialogRpt()->isVisible());
    m_window->dialogRpt()->hide();
    QVERIFY(test::ClickAtCentre(graph));
    auto *form = m_window->findChild<FormLatencyGraph *>();
    QTRY_VERIFY(form && form->isVisible());
    // Wholly on the screen, and Escape closes it.
    QVERIFY(form->screen()->availableGeometry().contains(form->geometry()));
    QTest::keyClick(form, Qt::Key_Escape);
    QVERIFY(!form->isVisible());
}

void TestWindowUse::tabWalkThenStartTestsTheTypedAddress()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    openWindow();
    m_window->activateWindow();
    textPing()->setFocus();
    QTRY_VERIFY(textPing()->hasFocus());
    textPing()->selectAll();
    QTest::keyClicks(textPing(), u"127.0.0.1"_qs);

    // Once round the window; the focus passes over the list and chooses nothing.
    QStringList walk;
    for (int i = 0; i < 200; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        QWidget *named = focus;
        while (named && named->objectName().isEmpty())
            named = named->parentWidget();
        if (focus == textPing())
            break;
        walk << (named ? named->objectName() : QString());
    }
    QVERIFY(!walk.contains(u"Text4"_qs));
    const auto at = [&walk](const char *name) {
        const qsizetype i = walk.indexOf(QString::fromLatin1(name));
        if (i < 0)
            qWarning("%s is not on the walk", name);
        return i;
    };
    // From the address box, left to right along the command row, then down the list
    // column, round to the settings on top, and back.
    QVERIFY(at("CommandStart") >= 0);
    QVERIFY(at("CommandStart") < at("CommandStop"));
    QVERIFY(at("CommandStop") < at("Command1"));
    QVERIFY(at("Command1") < at("ListIP"));
    QVERIFY(at("ListIP") < at("CommandAdd_0"));
    QVERIFY(at("CommandAdd_0") < at("ComboInv"));
    QVERIFY(at("ComboInv") < at("ComboTimeOut"));
    QVERIFY(at("ComboTimeOut") < at("ComboSize"));
    QVERIFY(at("ComboSize") < at("OptionSch_0"));
    QCOMPARE(textPing()->text(), u"127.0.0.1"_qs);

    QVERIFY(test::ClickAtCentre(child<QPushButton>(u"CommandStart"_qs)));
    QVERIFY(m_window->isBusy());
    QCOMPARE(m_window->pingTest()->targets().size(), 1);
    QCOMPARE(m_window->pingTest()->targets().first().address, u"127.0.0.1"_qs);
    // The settings are read at the start, so they rest while the test runs.
    QVERIFY(!m_window->settingsBox()->comboTimeOut()->isEnabled());
    QVERIFY(!m_window->tracertPanel()->frame()->isEnabled());
    stopTest();
    QVERIFY(m_window->settingsBox()->comboTimeOut()->isEnabled());
}

void TestWindowUse::startTestsOnlyWhatIsShown()
{
    openWindow(resultFile(12));
    QListWidget *list = child<QListWidget>(u"ListIP"_qs);
    const QString shownRow = child<QLabel>(u"sIP_11"_qs)->text();
    QVERIFY(!shownRow.isEmpty());
    // Nothing typed, nothing selected: no target, said, and the last test stays on show.
    textPing()->clear();
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate); // as the focus passing over it does
    m_window->CommandStart_Click();
    QCOMPARE(m_ui->texts(), QStringList{NoTargetMessage});
    QVERIFY(!m_window->isBusy());
    QCOMPARE(child<QLabel>(u"sIP_11"_qs)->text(), shownRow);
    QVERIFY(child<QPushButton>(u"PingReport"_qs)->isVisible());

    // "Selected 1 Items" is no host: when its selection goes (a reload), so does it.
    m_ui->clear();
    list->item(1)->setSelected(true);
    m_window->ipListPanel()->ListIP_Click();
    QCOMPARE(textPing()->text(), u"Selected 1 Items"_qs);
    m_window->ipListPanel()->LoadIpList();
    QCOMPARE(textPing()->text(), QString());
    m_window->CommandStart_Click();
    QCOMPARE(m_ui->texts(), QStringList{NoTargetMessage});

    // The typed text answers as the single-entry dialog would: 0.0.0.0 is no target.
    m_ui->clear();
    textPing()->setText(u"0.0.0.0"_qs);
    m_window->CommandStart_Click();
    QCOMPARE(m_ui->boxes.size(), 1);
    QCOMPARE(m_ui->boxes.first().title, u"IP Error"_qs);
    QVERIFY(m_ui->boxes.first().text.startsWith(u"Invalid IP / URL '0.0.0.0'."_qs));
    QVERIFY(!m_window->isBusy());
    QCOMPARE(child<QLabel>(u"sIP_11"_qs)->text(), shownRow);
}

void TestWindowUse::windowKeepsItsSizeAndPlace()
{
    openWindow(resultFile(12));
    const QSize size = m_window->size();
    const QWidget *central = m_window->centralWidget();
    // Every function fits a 1366 x 768 screen whole, with nothing squeezed.
    const auto fits = [&](const char *where) {
        QCoreApplication::processEvents();
        QVERIFY2(m_window->size() == size, where);
        QVERIFY2(central->minimumSizeHint().width() <= central->width()
                     && central->minimumSizeHint().height() <= central->height(),
                 where);
        // (A window manager's title bar takes about 32 of the 768.)
        QVERIFY2(m_window->minimumSizeHint().width() <= 1366
                     && m_window->minimumSizeHint().height() <= 768 - 32,
                 where);
    };
    fits("ping");
    child<QAction>(u"mnuSelectTracert"_qs)->trigger();
    fits("traceroute");
    // A running trace shows its jump buttons and lines longer than a reply's.
    for (int i = 0; i < 2; ++i)
        m_window->tracertPanel()->jumpButton(i)->show();
    m_window->pingPanel()->setLineRows(true);
    m_window->pingPanel()->setRowTexts(0, {}, u"Trace complete. "_qs.repeated(30), {});
    m_window->pingPanel()->title(0)->setText(u"Tracing route to 64 hosts ... "_qs.repeated(20));
    fits("traceroute running");
    m_window->pingPanel()->setLineRows(false);
    child<QPushButton>(u"Command11"_qs)->click();
    fits("console");
    m_window->consolePanel()->hide();
    m_window->pingPanel()->hide();
    m_window->scanPanel()->show();
    fits("scan");
    m_window->scanPanel()->hide();
    m_window->pingPanel()->show();
    m_window->mnuSelectPing_Click();
    fits("ping again");

    // Size and place are kept between starts: written at the close, put back at the
    // next first showing (fitted to the screen, see the settings test).
    const QRect closed = m_window->geometry();
    QVERIFY(m_window->close());
    AppSettings stored;
    QVERIFY(stored.load());
    QCOMPARE(WindowPlaceOf(stored.value(AppSettings::WindowPlace)), closed);
}

void TestWindowUse::accessKeysAreOneLetterOneTarget()
{
    openWindow();
    QMap<QChar, QStringList> targets;
    const auto take = [&targets](const QString &text, const QString &who) {
        const qsizetype amp = text.indexOf(u'&');
        if (amp >= 0 && amp + 1 < text.size() && text.at(amp + 1) != u'&')
            targets[text.at(amp + 1).toLower()] << who;
    };
    for (QAction *menu : m_window->menuBar()->actions())
        take(menu->text(), menu->text());
    for (QLabel *label : m_window->findChildren<QLabel *>())
        if (label->buddy())
            take(label->text(), label->text());
    for (QAbstractButton *button : m_window->findChildren<QAbstractButton *>())
        if (button->window() == m_window.get())
            take(button->text(), button->text());
    for (auto it = targets.cbegin(); it != targets.cend(); ++it)
        QVERIFY2(it.value().size() == 1,
                 qPrintable(u"Alt+"_qs + it.key() + u": "_qs + it.value().join(u", "_qs)));
    QVERIFY(targets.contains(u'o')); // the Operate menu
}

void TestWindowUse::helpShowsEachFunction()
{
    openWindow(resultFile(12));
    child<QAction>(u"mnuHowTo"_qs)->trigger();
    DialogHelp *help = m_window->dialogHelp();
    QVERIFY(help && help->isVisible());
    // Over the main window.
    QVERIFY(m_window->frameGeometry().contains(help->frameGeometry().center()));
    // Every page drawn (not one plain colour), and none the picture of another.
    QList<QImage> pictures;
    for (int page = 1; page <= DialogHelp::PageCount; ++page) {
        const QImage image = help->findChild<QLabel *>(u"Image_%1"_qs.arg(page))->pixmap().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 2 && !pictures.contains(image), qPrintable(u"page %1"_qs.arg(page)));
        pictures << image;
    }
    auto *next = help->findChild<QPushButton *>(u"CommandNext"_qs);
    auto *previous = help->findChild<QPushButton *>(u"CommandPre"_qs);
    QVERIFY(!previous->isEnabled());
    for (int page = 1; page < DialogHelp::PageCount; ++page)
        next->click();
    QCOMPARE(help->findChild<QLabel *>(u"Label1"_qs)->text(), u"8 of 8"_qs);
    QVERIFY(!next->isEnabled());
    QVERIFY(previous->isEnabled());
}

void TestWindowUse::wheelOverTheRowsPagesTheLog()
{
    openWindow(resultFile(60));
    QScrollBar *bar = child<QScrollBar>(u"VScroll1"_qs);
    const int last = bar->value();
    QVERIFY(last > 0);
    QLabel *row = child<QLabel>(u"sIP_5"_qs);
    const QPoint at = row->rect().center();
    QWheelEvent up(at, row->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(row, &up);
    QVERIFY(bar->value() < last);
}

void TestWindowUse::graphDrawsInsideItsPlot()
{
    openWindow(resultFile(120));
    m_window->ShowLatencyGraph();
    auto *form = m_window->findChild<FormLatencyGraph *>();
    QVERIFY(form);
    LatencyGraph *graph = form->graph();
    graph->resize(700, 300);
    for (int i = 0; i < 6; ++i)
        graph->zoomAt(graph->plotRect().left() + 3, 0.5);
    QVERIFY(!graph->showsWholeTest());
    const QImage image = graph->grab().toImage();
    const QRect plot = graph->plotRect();
    // Nothing spills left of the axis: the strip between the axis and the loss rows'
    // colour swatches stays white from the top of the plot to the last loss row.
    for (int y = plot.top(); y < graph->lossMarkY(1); ++y)
        for (int x = plot.left() - 3; x < plot.left(); ++x)
            QVERIFY2(image.pixelColor(x, y) == Qt::white, qPrintable(u"%1,%2"_qs.arg(x).arg(y)));
    // Losses have a colour of their own, no target's.
    for (int k = 0; k < 10; ++k)
        QVERIFY(LatencyGraph::targetColor(k) != LatencyGraph::LossColor);
    bool lossMarked = false;
    for (int x = plot.left() + 1; x <= plot.right(); ++x)
        lossMarked = lossMarked || image.pixelColor(x, graph->lossMarkY(0) + 1) == LatencyGraph::LossColor;
    QVERIFY(lossMarked);
    QVERIFY(form->findChild<QLabel *>(u"LabelLegend"_qs)->text().contains(u"lost echoes"_qs));
}

void TestWindowUse::listColumnTabsAndJumpLists()
{
    openWindow();
    QListWidget *list = child<QListWidget>(u"ListIP"_qs);
    auto *grow = child<QPushButton>(u"Picture1_1"_qs);
    auto *shrink = child<QPushButton>(u"Picture1_2"_qs);
    QVERIFY(grow->isVisible() && !shrink->isVisible());
    const int shortHeight = list->height();
    QVERIFY(test::ClickAtCentre(grow));
    QTRY_VERIFY(list->height() > shortHeight);
    QVERIFY(!grow->isVisible() && shrink->isVisible());
    QVERIFY(test::ClickAtCentre(shrink));
    QTRY_COMPARE(list->height(), shortHeight);
    QVERIFY(grow->isVisible());

    // A jump list with nothing in it says so instead of opening empty.
    m_window->tracertPanel()->CmdJumpTo_Click(0);
    QCOMPARE(m_ui->texts(), QStringList{u"No host is being traced now."_qs});
    QVERIFY(!child<QWidget>(u"TraceIP"_qs)->isVisible());
}

QTEST_MAIN(TestWindowUse)
#include "tst_windowuse.moc"
