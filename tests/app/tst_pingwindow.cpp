// The main window offscreen running real ping tests against loopback, driven through
// its named controls.

#include "app/formtester.h"
#include "iplist/iplistpanel.h"
#include "ping/pingpanel.h"
#include "platform/icmpsocket.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace netvane;

class TestPingWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startsGreyWithNamedControls();
    void testOfThreePassesFillsRowsAndStatistics();
    void twentyFirstEchoClearsTheRows();
    void lossShownInStatistics();
    void stopEndsTheTestThroughTheFinishingTimer();
    void closingIsRefusedWhileBusy();
    void startThatCannotStoreIsRefusedOnce();
    void missingEchoSocketIsSaidAtStart();

private:
    QString text(const QString &name) const
    {
        auto *label = m_window->findChild<QLabel *>(name);
        return label ? label->text() : u"<no %1>"_qs.arg(name);
    }
    void startOn(const QString &address)
    {
        auto *box = m_window->findChild<QLineEdit *>(u"TextPing"_qs);
        box->setText(address);
        QTest::mouseClick(m_window->findChild<QPushButton *>(u"CommandStart"_qs), Qt::LeftButton);
    }
    // The settings boxes are what Start reads.
    void setBox(const QString &name, const QString &text)
    {
        m_window->findChild<QComboBox *>(name)->setEditText(text);
    }
    QPushButton *reportButton() const { return m_window->findChild<QPushButton *>(u"PingReport"_qs); }

    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
};

void TestPingWindow::init()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
    m_window = std::make_unique<FormTester>();
    m_window->show();
    PingTimeout = 1000;
}

void TestPingWindow::cleanup()
{
    if (m_window && m_window->isBusy()) {
        m_window->CommandStop_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    }
    platform::SetEchoSocketKind(platform::EchoSocketKind::Automatic);
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

void TestPingWindow::startsGreyWithNamedControls()
{
    QCOMPARE(m_window->windowTitle(), u" Netvane  9.10"_qs);
    QCOMPARE(m_window->findChild<QLineEdit *>(u"TextPing"_qs)->text(), u"192.168.0.1"_qs);
    for (const QString &name : {u"sTYPE_19"_qs, u"sIP_0"_qs, u"sIP2_19"_qs, u"sIP3_8"_qs, u"sIP4_8"_qs,
                                u"LabelTittle_0"_qs, u"LabelTittle_1"_qs})
        QVERIFY2(m_window->findChild<QLabel *>(name), qPrintable(name));
    QVERIFY(m_window->findChild<QScrollBar *>(u"VScroll1"_qs));
    QVERIFY(m_window->findChild<QTimer *>(u"Timer1"_qs));
    QVERIFY(m_window->findChild<QTimer *>(u"Timer2"_qs));
    QVERIFY(m_window->findChild<QWidget *>(u"Picture2"_qs));
    QVERIFY(m_window->findChild<QLineEdit *>(u"Text4"_qs));
    QVERIFY(!reportButton()->isVisible());
    QCOMPARE(text(u"sIP3_3"_qs), u"Loss Rate:"_qs);
    QCOMPARE(text(u"sIP3_10"_qs), u"Report:"_qs);
}

void TestPingWindow::testOfThreePassesFillsRowsAndStatistics()
{
    setBox(u"ComboTimes"_qs, u"3"_qs);
    setBox(u"ComboInv"_qs, u"20"_qs);
    startOn(u"127.0.0.1"_qs);
    QVERIFY(m_window->isBusy());
    QVERIFY(!m_window->findChild<QPushButton *>(u"CommandStart"_qs)->isEnabled());
    QCOMPARE(text(u"LabelTittle_0"_qs), u"Ping testing with 32 bytes of data:            1  IP "_qs);
    QCOMPARE(text(u"LabelTittle_1"_qs), u"No."_qs);
    QCOMPARE(m_window->pingTest()->tickTimer()->interval(), 99);

    QTRY_VERIFY_WITH_TIMEOUT(reportButton()->isVisible(), 5000);
    QVERIFY(!m_window->isBusy());
    QVERIFY(m_window->findChild<QPushButton *>(u"CommandStart"_qs)->isEnabled());
    QCOMPARE(m_window->pingTest()->log().size(), 3);

    const QRegularExpression right(u"^bytes=32  time(<1|=\\d+)ms  TTL=64  ok$"_qs);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(text(u"sTYPE_%1"_qs.arg(i)), QString::number(i + 1) + u'.');
        QVERIFY(text(u"sIP_%1"_qs.arg(i)).endsWith(u"   Reply from 127.0.0.1"_qs));
        QVERIFY2(right.match(text(u"sIP2_%1"_qs.arg(i))).hasMatch(), qPrintable(text(u"sIP2_%1"_qs.arg(i))));
    }
    QCOMPARE(text(u"sTYPE_3"_qs), QString());
    QCOMPARE(text(u"sIP4_0"_qs), u"3"_qs);
    QCOMPARE(text(u"sIP4_1"_qs), u"3"_qs);
    QCOMPARE(text(u"sIP4_2"_qs), u"0"_qs);
    QCOMPARE(text(u"sIP4_3"_qs), u"0.00 %"_qs);
    QVERIFY(text(u"sIP4_5"_qs).endsWith(u" ms"_qs));
    QVERIFY(text(u"sIP4_5"_qs) != u"0 ms"_qs); // answered: raised to at least 1 ms
    QCOMPARE(text(u"sIP4_8"_qs), u"64"_qs);
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestPingWindow::twentyFirstEchoClearsTheRows()
{
    setBox(u"ComboTimes"_qs, u"21"_qs);
    setBox(u"ComboInv"_qs, u"1"_qs);
    startOn(u"127.0.0.1"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(reportButton()->isVisible(), 10000);
    QCOMPARE(m_window->pingTest()->log().size(), 21);
    QCOMPARE(text(u"sTYPE_0"_qs), u"21."_qs);
    QCOMPARE(text(u"sTYPE_1"_qs), QString());
    QCOMPARE(text(u"sIP_1"_qs), QString());
    auto *bar = m_window->findChild<QScrollBar *>(u"VScroll1"_qs);
    QCOMPARE(bar->maximum(), 1);
    QCOMPARE(bar->value(), 1);

    // With the test over, moving the bar pages through the records.
    bar->setValue(0);
    QCOMPARE(text(u"sTYPE_0"_qs), u"1."_qs);
    QCOMPARE(text(u"sTYPE_19"_qs), u"20."_qs);
    bar->setValue(1);
    QCOMPARE(text(u"sTYPE_0"_qs), u"2."_qs);
    QCOMPARE(text(u"sTYPE_19"_qs), u"21."_qs);
}

void TestPingWindow::lossShownInStatistics()
{
    // A group of two loopback members that answer and one text that cannot be an
    // address, selected in the list.
    test::WriteFileBytes(m_window->dataFolder() + u"Quellon_DB.txt"_qs,
                         "BLoss_Test,127.0.0.1,10.0.0.300,127.0.0.2\r\n \r\n");
    m_window->ipListPanel()->LoadIpList();
    auto *list = m_window->findChild<QListWidget *>(u"ListIP"_qs);
    QCOMPARE(list->count(), 1);
    list->setCurrentItem(list->item(0), QItemSelectionModel::Select);
    setBox(u"ComboTimes"_qs, u"1"_qs);
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"CommandStart"_qs), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(reportButton()->isVisible(), 5000);
    QCOMPARE(text(u"LabelTittle_0"_qs), u"Ping testing with 32 bytes of data:            3  IP "_qs);
    QCOMPARE(text(u"sIP4_0"_qs), u"3"_qs);
    QCOMPARE(text(u"sIP4_2"_qs), u"1"_qs);
    QCOMPARE(text(u"sIP4_3"_qs), u"33.33 %"_qs);
    QVERIFY(text(u"sIP_1"_qs).endsWith(u"Reply from 10.0.0.300"_qs));
    QCOMPARE(text(u"sIP2_1"_qs), u"bytes=32  inet_addr: bad IP format"_qs);
    QVERIFY(text(u"sIP_2"_qs).endsWith(u"Reply from 127.0.0.2"_qs));
    QVERIFY(m_ui->boxes.isEmpty());
}

void TestPingWindow::stopEndsTheTestThroughTheFinishingTimer()
{
    setBox(u"ComboInv"_qs, u"10"_qs); // continually
    startOn(u"127.0.0.1"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->pingTest()->log().size() >= 23, 5000);
    // While the test writes the rows, the bar does not page: the rows stay the newest.
    auto *bar = m_window->findChild<QScrollBar *>(u"VScroll1"_qs);
    bar->setValue(0);
    QVERIFY(text(u"sTYPE_0"_qs) != u"1."_qs);
    QVERIFY(text(u"sTYPE_1"_qs) != u"2."_qs);
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"CommandStop"_qs), Qt::LeftButton);
    QVERIFY(m_window->pingTest()->stopRequested());
    QVERIFY(!m_window->pingTest()->tickTimer()->isActive());
    QVERIFY(m_window->pingTest()->finishTimer()->isActive());
    QVERIFY(!m_window->findChild<QPushButton *>(u"CommandStop"_qs)->isEnabled());
    QVERIFY(m_window->isBusy());
    const qsizetype rows = m_window->pingTest()->log().size();

    QTRY_VERIFY_WITH_TIMEOUT(reportButton()->isVisible(), 3000);
    QVERIFY(!m_window->isBusy());
    QVERIFY(m_window->findChild<QPushButton *>(u"CommandStop"_qs)->isEnabled());
    QVERIFY(!m_window->pingTest()->finishTimer()->isActive());
    QTest::qWait(100);
    QCOMPARE(m_window->pingTest()->log().size(), rows); // nothing after the stop
    QCOMPARE(m_window->pingTest()->stats().sent, rows);
}

void TestPingWindow::closingIsRefusedWhileBusy()
{
    setBox(u"ComboInv"_qs, u"50"_qs);
    startOn(u"127.0.0.1"_qs);
    QVERIFY(m_window->isBusy());
    QVERIFY(!m_window->close());
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_ui->boxes.size(), 1);
    QCOMPARE(m_ui->boxes[0].text, u"Please click 'Stop' button to stop the testing first."_qs);
    QCOMPARE(m_ui->boxes[0].title, u"Test is Running."_qs);
    QCOMPARE(m_ui->boxes[0].icon, BoxIcon::Information);
    m_window->CommandStop_Click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 3000);
    QVERIFY(m_window->close());
}

// A start whose result file cannot be made is no start: one box, ready again, and
// the dialog's pending target is not kept for the next Start.
void TestPingWindow::startThatCannotStoreIsRefusedOnce()
{
    QVERIFY(QDir(m_window->dataFolder()).mkpath(u"Quellon_DB3.txt"_qs)); // a folder in its place
    m_window->ipListPanel()->dialogState().manualTarget[1] = u"127.0.0.1"_qs;
    startOn(u"127.0.0.2"_qs);
    QCOMPARE(m_ui->boxes.size(), 1);
    QVERIFY2(m_ui->boxes[0].text.endsWith(u"   CommandStart_Click"_qs), qPrintable(m_ui->boxes[0].text));
    QVERIFY(!m_window->isBusy());
    QVERIFY(m_window->findChild<QPushButton *>(u"CommandStart"_qs)->isEnabled());
    QVERIFY(!m_window->pingTest()->tickTimer()->isActive());
    QVERIFY(m_window->ipListPanel()->dialogState().manualTarget[1].isEmpty());
}

// Without an echo socket the user hears it once, at Start, before any echo.
void TestPingWindow::missingEchoSocketIsSaidAtStart()
{
    platform::SetEchoSocketKind(platform::EchoSocketKind::Datagram);
    if (platform::CheckEchoSocket().isEmpty())
        QSKIP("ICMP datagram sockets are allowed here (ping_group_range)");
    setBox(u"ComboTimes"_qs, u"3"_qs);
    setBox(u"ComboInv"_qs, u"20"_qs);
    startOn(u"127.0.0.1"_qs);
    QCOMPARE(m_ui->texts(), QStringList{platform::EchoSocketProblem()});
    QCOMPARE(m_window->pingTest()->log().size(), 0); // said before the first echo
    QTRY_VERIFY_WITH_TIMEOUT(reportButton()->isVisible(), 5000);
    QCOMPARE(text(u"sIP2_2"_qs), u"bytes=32  ip general failure"_qs);
    QCOMPARE(m_ui->boxes.size(), 1);
}

QTEST_MAIN(TestPingWindow)
#include "tst_pingwindow.moc"
