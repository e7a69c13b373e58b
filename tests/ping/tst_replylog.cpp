// The reply log's texts, the statistics arithmetic, the paging of the log and the
// order of send sizes, as plain functions.

#include "ping/logpaging.h"
#include "ping/pingtest.h"
#include "ping/replyrecord.h"
#include "ping/resultstore.h"
#include "ping/sessionstats.h"

#include <QtTest>

using namespace netvane;

namespace {

const QDateTime When(QDate(2026, 12, 7), QTime(21, 5, 9));

EchoReply answer(quint32 ms, quint8 ttl)
{
    EchoReply r;
    r.roundTripTime = ms;
    r.ttl = ttl;
    return r;
}

} // namespace

class TestReplyLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lossRate_data();
    void lossRate();
    void averageHalfUp_data();
    void averageHalfUp();
    void rowTexts_data();
    void rowTexts();
    void statisticsOfATest();
    void allLost();
    void resultLineAndAddresses();
    void followNewestRow_data();
    void followNewestRow();
    void scaledBarValue_data();
    void scaledBarValue();
    void userScrolling();
    void sizeSlotsServeEachSizeInTurn();
    void unstorableEchoStopsThePinging();
};

void TestReplyLog::lossRate_data()
{
    QTest::addColumn<qint64>("lost");
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<QString>("text");
    QTest::newRow("one of three") << qint64(1) << qint64(3) << u"33.33 %"_qs;
    QTest::newRow("two of three") << qint64(2) << qint64(3) << u"66.67 %"_qs;
    QTest::newRow("none") << qint64(0) << qint64(5) << u"0.00 %"_qs;
    QTest::newRow("all") << qint64(7) << qint64(7) << u"100.00 %"_qs;
    // Exactly half a ten-thousandth: to the even neighbour.
    QTest::newRow("half to even, down") << qint64(1) << qint64(32) << u"3.12 %"_qs;
    QTest::newRow("half to even, up") << qint64(3) << qint64(32) << u"9.38 %"_qs;
    QTest::newRow("tiny") << qint64(1) << qint64(1000000) << u"0.00 %"_qs;
    QTest::newRow("one in 7") << qint64(1) << qint64(7) << u"14.29 %"_qs;
    QTest::newRow("nothing sent") << qint64(0) << qint64(0) << u"0.00 %"_qs;
}

void TestReplyLog::lossRate()
{
    QFETCH(qint64, lost);
    QFETCH(qint64, sent);
    QFETCH(QString, text);
    QCOMPARE(LossRateText(lost, sent), text);
}

void TestReplyLog::averageHalfUp_data()
{
    QTest::addColumn<qint64>("sum");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<int>("average");
    QTest::newRow("10 and 11") << qint64(21) << qint64(2) << 11;
    QTest::newRow("2.5 up") << qint64(5) << qint64(2) << 3;
    QTest::newRow("1.75") << qint64(7) << qint64(4) << 2;
    QTest::newRow("0.25") << qint64(1) << qint64(4) << 0;
    QTest::newRow("zero") << qint64(0) << qint64(3) << 0;
    QTest::newRow("TTL 64") << qint64(64 * 3) << qint64(3) << 64;
    QTest::newRow("no answers") << qint64(0) << qint64(0) << 0;
}

void TestReplyLog::averageHalfUp()
{
    QFETCH(qint64, sum);
    QFETCH(qint64, count);
    QFETCH(int, average);
    QCOMPARE(AverageHalfUp(sum, count), average);
}

void TestReplyLog::rowTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("lastLine");
    const QString head = u"12/07 21:05:09   Reply from 127.0.0.1"_qs;
    QTest::newRow("under a millisecond") << 0 << 0 << u"bytes=32  time<1ms  TTL=64  ok"_qs
                                         << head + u":  bytes=32  time<1ms  TTL=64"_qs;
    QTest::newRow("12 ms") << 0 << 12 << u"bytes=32  time=12ms  TTL=64  ok"_qs
                           << head + u":  bytes=32  time=12ms  TTL=64"_qs;
    QTest::newRow("timed out") << 11010 << 0 << u"bytes=32  Request  timed  out."_qs
                               << head + u":  bytes=32  Request  timed  out."_qs;
    QTest::newRow("unreachable") << 11003 << 0 << u"bytes=32  ip dest host unreachable"_qs
                                 << head + u":  bytes=32  ip dest host unreachable"_qs;
}

void TestReplyLog::rowTexts()
{
    QFETCH(int, status);
    QFETCH(int, ms);
    QFETCH(QString, right);
    QFETCH(QString, lastLine);
    PingSessionStats stats;
    PingReplyLog log;
    const ReplyRowTexts texts = RecordReply(stats, log, When, u"127.0.0.1"_qs, 32, status,
                                            answer(quint32(ms), 64));
    QCOMPARE(texts.left, u"12/07 21:05:09   Reply from 127.0.0.1"_qs);
    QCOMPARE(texts.right, right);
    QCOMPARE(stats.lastLine, lastLine);
    // Redrawing the stored record gives the same row.
    const ReplyRowTexts again = FormatReplyRow(log.at(0), log.address(log.at(0)));
    QCOMPARE(again.left, texts.left);
    QCOMPARE(again.right, texts.right);
}

void TestReplyLog::statisticsOfATest()
{
    PingSessionStats stats;
    PingReplyLog log;
    RecordReply(stats, log, When, u"127.0.0.1"_qs, 32, 0, answer(0, 64));
    std::array<QString, 9> v = StatisticsTexts(stats);
    // The first answer under a millisecond shows 1 ms everywhere.
    QCOMPARE(v[5], u"1 ms"_qs);
    QCOMPARE(v[6], u"1 ms"_qs);
    QCOMPARE(v[7], u"1 ms"_qs);
    QCOMPARE(v[3], u"0.00 %"_qs);

    stats.reset();
    log.clear();
    RecordReply(stats, log, When, u"127.0.0.1"_qs, 32, 0, answer(10, 64));
    RecordReply(stats, log, When, u"127.0.0.1"_qs, 32, 0, answer(11, 60));
    RecordReply(stats, log, When, u"127.0.0.1"_qs, 32, 11010, EchoReply());
    v = StatisticsTexts(stats);
    QCOMPARE(v[0], u"3"_qs);
    QCOMPARE(v[1], u"2"_qs);
    QCOMPARE(v[2], u"1"_qs);
    QCOMPARE(v[3], u"33.33 %"_qs);
    QCOMPARE(v[4], QString());
    QCOMPARE(v[5], u"10 ms"_qs);
    QCOMPARE(v[6], u"11 ms"_qs);
    QCOMPARE(v[7], u"11 ms"_qs); // 10.5 rounds up
    QCOMPARE(v[8], u"62"_qs);
    QCOMPARE(log.at(2).time, -1);
    QCOMPARE(log.at(2).ttl, qint16(0));
}

void TestReplyLog::allLost()
{
    PingSessionStats stats;
    PingReplyLog log;
    for (int i = 0; i < 4; ++i)
        RecordReply(stats, log, When, u"127.0.0.9"_qs, 32, 11010, answer(5, 64));
    const std::array<QString, 9> v = StatisticsTexts(stats);
    QCOMPARE(v[3], u"100.00 %"_qs);
    QCOMPARE(v[5], u"0 ms"_qs);
    QCOMPARE(v[6], u"0 ms"_qs);
    QCOMPARE(v[7], u"0 ms"_qs);
    QCOMPARE(v[8], u"0"_qs);
    QCOMPARE(stats.minTime, NoAnswerYet);
}

void TestReplyLog::resultLineAndAddresses()
{
    PingReplyLog log;
    log.append(When, u"127.0.0.1"_qs, 32, 12, 64, 0);
    log.append(When.addSecs(3600 * 5), u"127.0.0.2"_qs, 1024, -1, 0, 11010);
    log.append(When, u"300.1.1.1"_qs, 8, -1, 0, -1);
    QCOMPARE(ReplyLine(log.at(0), log.address(log.at(0))), u"2026,12,07,21,05,09,127.0.0.1,32,12,64,0"_qs);
    QCOMPARE(ReplyLine(log.at(1), log.address(log.at(1))),
             u"2026,12,08,02,05,09,127.0.0.2,1024,-1,0,11010"_qs);
    // Any text that was pinged is kept as it was, valid address or not.
    QCOMPARE(log.address(log.at(2)), u"300.1.1.1"_qs);
    QCOMPARE(FormatReplyRow(log.at(2), log.address(log.at(2))).right,
             u"bytes=8  inet_addr: bad IP format"_qs);
    QCOMPARE(log.at(1).dateTime(), When.addSecs(3600 * 5));
}

void TestReplyLog::followNewestRow_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("top");
    QTest::newRow("first row") << 0 << 0 << 0 << 0;
    QTest::newRow("20th row") << 19 << 0 << 0 << 0;
    QTest::newRow("21st row") << 20 << 1 << 1 << 1;
    QTest::newRow("row 200") << 200 << 181 << 181 << 181;
    QTest::newRow("row 201, scaled") << 201 << 200 << 200 << 182;
    QTest::newRow("row 5000") << 5000 << 200 << 200 << 4981;
}

void TestReplyLog::followNewestRow()
{
    QFETCH(int, n);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, top);
    const LogScroll s = FollowNewestRow(n, 0);
    QCOMPARE(s.maximum, maximum);
    QCOMPARE(s.value, value);
    QCOMPARE(s.top, top);
}

void TestReplyLog::scaledBarValue_data()
{
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("value");
    QTest::newRow("top 0") << 0 << 1019 << 50 << 0;
    QTest::newRow("top 1") << 1 << 1019 << 50 << 1;
    QTest::newRow("middle") << 500 << 1019 << 7 << 100;
    QTest::newRow("near the end gives 198") << 995 << 1019 << 7 << 198;
    QTest::newRow("last page") << 1000 << 1019 << 7 << 200;
    QTest::newRow("under 2 keeps the bar") << 3 << 1019 << 7 << 7;
    QTest::newRow("unscaled") << 150 << 180 << 0 << 150;
}

void TestReplyLog::scaledBarValue()
{
    QFETCH(int, top);
    QFETCH(int, n);
    QFETCH(int, current);
    QFETCH(int, value);
    QCOMPARE(ScrollValueForTop(top, n, current), value);
}

void TestReplyLog::userScrolling()
{
    // 1020 records, showing the last page; the bar is a 0-200 scale.
    const int n = 1019;
    LogScroll s = ScrollMoved(n, 1000, 200, 0, 200, true);
    QCOMPARE(s.top, 0);
    s = ScrollMoved(n, 0, 0, 200, 200, true);
    QCOMPARE(s.top, 1000);
    // A jump of more than 20 steps is scaled to rows: 50 steps of 1000 rows.
    s = ScrollMoved(n, 0, 0, 50, 200, true);
    QCOMPARE(s.top, 250);
    QCOMPARE(s.value, 50);
    // One arrow step is one row.
    s = ScrollMoved(n, 250, 50, 51, 200, false);
    QCOMPARE(s.top, 251);
    // Clamped to the last page.
    s = ScrollMoved(n, 990, 198, 230, 200, false);
    QCOMPARE(s.top, 1000);
    // Up to 200 records the bar value is the top row.
    s = ScrollMoved(100, 81, 81, 40, 81, true);
    QCOMPARE(s.top, 40);
    QCOMPARE(s.value, 40);
}

void TestReplyLog::sizeSlotsServeEachSizeInTurn()
{
    PingTest test;
    test.sizePlan.mode = u"Multiple"_qs;
    test.sizePlan.sizes = {16, 32, 64};
    test.sizePlan.count = 3;
    test.sizePlan.repeat = 1;
    test.begin({{u"127.0.0.1"_qs, u"a"_qs}, {u"127.0.0.2"_qs, u"b"_qs}}); // two visits per size
    test.tickTimer()->stop();
    QCOMPARE(test.pingsPerSize(), 2);
    QList<int> slots;
    for (int i = 0; i < 8; ++i)
        slots << test.NextSizeSlot();
    QCOMPARE(slots, (QList<int>{0, 0, 1, 1, 2, 2, 0, 0}));
}

void TestReplyLog::unstorableEchoStopsThePinging()
{
    QTemporaryDir folder;
    PingResultStore store;
    QVERIFY(store.create(folder.path(), 1, 1, 1, {u"bad"_qs}));
    PingTest test;
    test.setResultStore(&store);
    QSignalSpy failed(&test, &PingTest::failed);
    // The text is no address, so the echo fails at once without a socket.
    test.begin({{u"300.1.1.1"_qs, u"bad"_qs}});
    test.tickTimer()->stop();
    test.PingTick();
    QCOMPARE(failed.size(), 0);
    store.close(); // the file is gone from under the test
    test.PingTick();
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.at(0).at(0).toString().startsWith(u"Cannot write the result file: "_qs));
    QVERIFY(test.stopRequested());
    QCOMPARE(test.log().size(), 2); // the echo is still shown and kept in memory
    test.PingTick();
    QCOMPARE(test.log().size(), 2); // later pings return at once until Stop
    QCOMPARE(failed.size(), 1);
}

QTEST_MAIN(TestReplyLog)
#include "tst_replylog.moc"
