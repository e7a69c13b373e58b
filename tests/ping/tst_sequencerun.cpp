// The run loop walking send-size and interval sequences, with real echoes on loopback.
#include "ping/pingsettings.h"
#include "ping/pingtest.h"
#include "probe/echoprobe.h"
#include "support/testenv.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace netvane;

using IntList = QList<int>;

class TestSequenceRun final : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void sizeOrder_data();
    void sizeOrder();
    void intervalSteps_data();
    void intervalSteps();

private:
    // Runs the test until it stops by its count; returns false on a time-out.
    static bool runToEnd(PingTest &test, const QList<PingTarget> &targets);
};

void TestSequenceRun::initTestCase()
{
    if (!test::CanOpenEchoSocket())
        QSKIP("no ICMP echo socket can be opened here (needs root or ping_group_range)");
    PingTimeout = 500;
}

bool TestSequenceRun::runToEnd(PingTest &test, const QList<PingTarget> &targets)
{
    connect(&test, &PingTest::stopDue, &test, &PingTest::requestStop);
    QSignalSpy finished(&test, &PingTest::finished);
    test.begin(targets);
    return finished.wait(20000);
}

void TestSequenceRun::sizeOrder_data()
{
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<int>("targets");
    QTest::addColumn<int>("passes");
    QTest::addColumn<IntList>("sizes"); // the send size of each record, in order
    // Each size serves every target `repeat` times before the next size is taken.
    QTest::newRow("multiple, two targets") << u"16,32 /1"_qs << 2 << 3
                                           << IntList{16, 16, 32, 32, 16, 16};
    QTest::newRow("multiple, repeat 2") << u"16,32,64 /2"_qs << 2 << 4
                                        << IntList{16, 16, 16, 16, 32, 32, 32, 32};
    QTest::newRow("incremental") << u"100 to 200, 50++, 2"_qs << 1 << 7
                                 << IntList{100, 100, 150, 150, 200, 200, 100};
    QTest::newRow("four sizes item") << u"16,32,64,1024  Bytes"_qs << 1 << 5
                                     << IntList{16, 16, 16, 16, 32};
}

void TestSequenceRun::sizeOrder()
{
    QFETCH(QString, sizeText);
    QFETCH(int, targets);
    QFETCH(int, passes);
    QFETCH(IntList, sizes);

    PingSettings settings;
    QVERIFY(CheckInterval(u"10"_qs, settings).passed);
    QVERIFY(CheckSendSize(sizeText, settings).passed);
    QVERIFY(CheckTestTimes(QString::number(passes), settings).passed);
    PingTest test;
    ApplyPingSettings(settings, test);

    QList<PingTarget> list{{u"127.0.0.1"_qs, u"one"_qs}, {u"127.0.0.2"_qs, u"two"_qs}};
    list = list.mid(0, targets);
    QVERIFY(runToEnd(test, list));

    IntList seen;
    QStringList addresses;
    for (qsizetype i = 0; i < test.log().size(); ++i) {
        seen << test.log().at(i).size;
        addresses << test.log().address(test.log().at(i));
        QVERIFY2(test.log().at(i).answered(), "loopback answers every echo");
    }
    QCOMPARE(seen, sizes);
    for (qsizetype i = 0; i < addresses.size(); ++i)
        QCOMPARE(addresses.at(i), list.at(i % targets).address);
}

void TestSequenceRun::intervalSteps_data()
{
    QTest::addColumn<QString>("intervalText");
    QTest::addColumn<int>("passes");
    QTest::addColumn<IntList>("periods"); // Timer1's period while each pass pings
    QTest::newRow("down to the end, then 1 ms") << u"100 to 0, 30--, 1"_qs << 6
                                                << IntList{100, 70, 40, 10, 1, 1};
    // Without the floor the timer would get -20 ms after 10.
    QTest::newRow("end below zero") << u"100 to -50, 30--, 1"_qs << 6
                                    << IntList{100, 70, 40, 10, 1, 1};
    QTest::newRow("two passes a step") << u"60 to 0, 20--, 2"_qs << 7
                                       << IntList{60, 60, 40, 40, 20, 20, 1};
    QTest::newRow("up to the end, then 1 ms") << u"20 to 60, 20++, 1"_qs << 4
                                              << IntList{20, 40, 1, 1};
}

void TestSequenceRun::intervalSteps()
{
    QFETCH(QString, intervalText);
    QFETCH(int, passes);
    QFETCH(IntList, periods);

    PingSettings settings;
    QVERIFY(CheckInterval(intervalText, settings).passed);
    QVERIFY(CheckTestTimes(QString::number(passes), settings).passed);
    PingTest test;
    ApplyPingSettings(settings, test);
    IntList seen;
    connect(&test, &PingTest::replyRecorded, this,
            [&] { seen << test.tickTimer()->interval(); });
    QVERIFY(runToEnd(test, {{u"127.0.0.1"_qs, u"127.0.0.1"_qs}}));
    QCOMPARE(seen, periods);
    // Stop puts the sequence back to its start for the next test.
    QCOMPARE(test.intervalSequence.currentInterval, periods.first());
    QCOMPARE(test.tickTimer()->interval(), periods.first());
}

QTEST_GUILESS_MAIN(TestSequenceRun)
#include "tst_sequencerun.moc"
