// Stop answers within a second whatever runs: a start expanding a range of sixteen
// million addresses, and a test whose echo waits out a 20 s time-out at a silent
// neighbour. The real window offscreen, in a network namespace of the test's own.

#include "app/formtester.h"
#include "iplist/iplistpanel.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace netvane;

namespace {
const QString SilentNeighbour = u"10.231.0.2"_qs;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
} // namespace

class TestStopAnswers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void stopDuringAHugeRange();
    void stopAndCloseDuringALongTimeOut();

private:
    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }

    std::unique_ptr<test::IsolatedFolders> m_folders;
    std::unique_ptr<test::ScriptedUi> m_ui;
    std::unique_ptr<FormTester> m_window;
};

void TestStopAnswers::initTestCase()
{
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why))
        QSKIP(qPrintable(u"cannot make a test namespace: "_qs + why));
    QString out;
    for (const QStringList &args : QList<QStringList>{
             {u"link"_qs, u"add"_qs, u"nvt0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvt1"_qs},
             {u"addr"_qs, u"add"_qs, u"10.231.0.1/24"_qs, u"dev"_qs, u"nvt0"_qs},
             {u"link"_qs, u"set"_qs, u"nvt0"_qs, u"up"_qs},
             {u"link"_qs, u"set"_qs, u"nvt1"_qs, u"up"_qs}})
        QVERIFY2(test::Run(u"ip"_qs, args, &out), qPrintable(args.join(u' ') + u": "_qs + out));
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP socket can be opened here (needs ping_group_range or CAP_NET_RAW)");
}

void TestStopAnswers::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_ui = std::make_unique<test::ScriptedUi>();
}

void TestStopAnswers::cleanup()
{
    if (m_window && m_window->isBusy()) {
        m_window->CommandStop_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    }
    m_window.reset();
    m_ui.reset();
    m_folders.reset();
}

// Yes to the range's count question, then Stop while the start is under way: the
// window is ready again within a second, no test starts, and the previous test's
// files are as they were.
void TestStopAnswers::stopDuringAHugeRange()
{
    const QString folder = m_folders->dataFolder();
    QVERIFY(QDir().mkpath(folder));
    test::WriteFileBytes(folder + u"Quellon_DB.txt"_qs, "CHuge,10.0.0.0,10.253.255.255\r\n \r\n");
    test::WriteFileBytes(folder + u"Quellon_DB3.txt"_qs, "1,1,1\r\n2026,12,07,21,05,09,127.0.0.1,32,0,64,0\r\n");
    test::WriteFileBytes(folder + u"Quellon_DB4.txt"_qs, "127.0.0.1\r\n");
    m_window = std::make_unique<FormTester>();
    m_window->show();
    auto *list = child<QListWidget>(u"ListIP"_qs);
    QCOMPARE(list->count(), 1);
    list->setCurrentItem(list->item(0), QItemSelectionModel::Select);

    // Stop is pressed once the start shows how far it has come.
    QElapsedTimer sinceStop;
    QString progressShown;
    QTimer presser;
    connect(&presser, &QTimer::timeout, this, [&] {
        auto *progress = child<QLabel>(u"LabelTittle_2"_qs);
        if (sinceStop.isValid() || !progress->isVisible() || progress->text().isEmpty())
            return;
        progressShown = progress->text();
        sinceStop.start();
        QTest::mouseClick(child<QPushButton>(u"CommandStop"_qs), Qt::LeftButton);
    });
    presser.start(5);
    QTest::mouseClick(child<QPushButton>(u"CommandStart"_qs), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    const qint64 answeredMs = sinceStop.elapsed();
    presser.stop();

    QVERIFY2(sinceStop.isValid(), "no progress count was shown");
    qInfo("progress shown: %s; ready %lld ms after Stop", qPrintable(progressShown), answeredMs);
    QVERIFY2(answeredMs < 1000, qPrintable(QString::number(answeredMs)));
    QVERIFY(progressShown.endsWith(u" / 16646144"_qs));
    QCOMPARE(m_ui->boxes.size(), 1); // the count question, nothing after the stop
    QVERIFY(m_ui->boxes[0].text.contains(u"16646144"_qs));
    QVERIFY(child<QPushButton>(u"CommandStart"_qs)->isEnabled());
    QVERIFY(!m_window->pingTest()->isRunning());
    QCOMPARE(fileBytes(folder + u"Quellon_DB3.txt"_qs),
             QByteArray("1,1,1\r\n2026,12,07,21,05,09,127.0.0.1,32,0,64,0\r\n"));
    QCOMPARE(fileBytes(folder + u"Quellon_DB4.txt"_qs), QByteArray("127.0.0.1\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Hidden | QDir::Files).filter(u".new"_qs), QStringList());
}

// An echo waiting out a 20 s time-out: Close is refused at once with its box, and
// Stop ends the test within a second; the echo is abandoned, not logged as lost.
void TestStopAnswers::stopAndCloseDuringALongTimeOut()
{
    m_window = std::make_unique<FormTester>();
    m_window->show();
    child<QComboBox>(u"ComboTimeOut"_qs)->setEditText(u"20000"_qs);
    child<QLineEdit>(u"TextPing"_qs)->setText(SilentNeighbour);
    QTest::mouseClick(child<QPushButton>(u"CommandStart"_qs), Qt::LeftButton);
    QVERIFY(m_window->isBusy());
    PingTest *test = m_window->pingTest();
    QTRY_VERIFY_WITH_TIMEOUT(test->pingInProgress(), 2000);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_window->close());
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_ui->texts(), QStringList{u"Please click 'Stop' button to stop the testing first."_qs});

    clock.restart();
    QTest::mouseClick(child<QPushButton>(u"CommandStop"_qs), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isBusy(), 5000);
    const qint64 answeredMs = clock.elapsed();
    qInfo("ready %lld ms after Stop", answeredMs);
    QVERIFY2(answeredMs < 1000, qPrintable(QString::number(answeredMs)));
    QVERIFY(child<QPushButton>(u"PingReport"_qs)->isVisible());
    QCOMPARE(test->log().size(), 0);
    QCOMPARE(test->stats().sent, 0);
    QCOMPARE(fileBytes(m_folders->dataFolder() + u"Quellon_DB3.txt"_qs), QByteArray("1,1,1\r\n"));
    QVERIFY(m_window->close());
}

QTEST_MAIN(TestStopAnswers)
#include "tst_stopanswers.moc"
