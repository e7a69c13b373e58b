// Jitter, percentiles and loss runs against figures worked out by hand, the bucket
// summary the graph draws from, and the JSON export read back field by field.

#include "ping/latencygraphdata.h"
#include "ping/latencystats.h"
#include "ping/latencysummary.h"
#include "ping/pingexport.h"
#include "ping/sessionstats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace netvane;

namespace {

PingReplyRecord echo(int time, int second = 0)
{
    PingReplyRecord r;
    r.year = 2026;
    r.month = 12;
    r.day = 7;
    r.hour = 21;
    r.minute = 5 + second / 60;
    r.second = quint8(second % 60);
    r.time = time;
    r.ttl = time < 0 ? 0 : 64;
    r.status = time < 0 ? 11010 : 0;
    return r;
}

} // namespace

class TestLatency : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statistics_data();
    void statistics();
    void summaryMergesBuckets();
    void zoomedRangeFollowsTheTest();
    void longFirstPassBesideWindow();
    void jsonExport();
};

void TestLatency::statistics_data()
{
    QTest::addColumn<QList<int>>("times"); // -1: lost
    QTest::addColumn<double>("jitter");
    QTest::addColumn<int>("p50");
    QTest::addColumn<int>("p95");
    QTest::addColumn<int>("p99");
    QTest::addColumn<int>("longestRun");
    QTest::addColumn<int>("runStart"); // index of the run's first echo, -1 for none

    QTest::newRow("none answered") << QList<int>{-1, -1} << 0.0 << -1 << -1 << -1 << 2 << 0;
    QTest::newRow("one answer") << QList<int>{7} << 0.0 << 7 << 7 << 7 << 0 << -1;
    // |20-10| + |15-20| + |30-15| = 30 over 3; sorted 10 15 20 30: rank 2 is 15.
    QTest::newRow("four") << QList<int>{10, 20, 15, 30} << 10.0 << 15 << 30 << 30 << 0 << -1;
    // Losses are skipped for jitter: 5 -> 9 -> 0 gives (4 + 9) / 2; runs 1 and 2: the
    // later, longer one counts.
    QTest::newRow("losses between") << QList<int>{5, -1, 9, -1, -1, 0} << 6.5 << 5 << 9 << 9 << 2 << 3;
    // Equal runs: the first one is kept.
    QTest::newRow("equal runs") << QList<int>{-1, 1, -1, 1} << 0.0 << 1 << 1 << 1 << 1 << 0;
    // 1..100: the 95th smallest is 95, the 99th 99, the 50th 50; every step is 1.
    QList<int> hundred;
    for (int i = 100; i >= 1; --i)
        hundred << i;
    QTest::newRow("one to hundred") << hundred << 1.0 << 50 << 95 << 99 << 0 << -1;
    // A time beyond the table still ranks.
    QTest::newRow("huge") << QList<int>{1, 2, 500000} << 249999.5 << 2 << 500000 << 500000 << 0 << -1;
}

void TestLatency::statistics()
{
    QFETCH(QList<int>, times);
    QFETCH(double, jitter);
    QFETCH(int, p50);
    QFETCH(int, p95);
    QFETCH(int, p99);
    QFETCH(int, longestRun);
    QFETCH(int, runStart);

    LatencyStatistics s;
    for (int i = 0; i < times.size(); ++i)
        s.add(echo(times[i], i));
    QCOMPARE(s.sent(), times.size());
    QCOMPARE(s.lost(), times.count(-1));
    QCOMPARE(s.jitter(), jitter);
    QCOMPARE(s.percentile(50), p50);
    QCOMPARE(s.percentile(95), p95);
    QCOMPARE(s.percentile(99), p99);
    QCOMPARE(s.longestLossRun(), longestRun);
    if (runStart >= 0)
        QCOMPARE(EchoSeconds(s.longestLossStart()), EchoSeconds(echo(-1, runStart)));
}

void TestLatency::summaryMergesBuckets()
{
    // Eight buckets for 2 targets; 40 seconds of one echo per target a second forces
    // the buckets to 8 seconds each. Target 1 loses seconds 20 to 24.
    LatencySummary summary(8);
    summary.clear(2);
    const qint64 start = EchoSeconds(echo(0));
    QCOMPARE(start, QDateTime(QDate(2026, 12, 7), QTime(21, 5, 0), Qt::UTC).toSecsSinceEpoch());
    qsizetype row = 0;
    for (int s = 0; s < 40; ++s)
        for (int k = 0; k < 2; ++k, ++row) {
            const bool lost = k == 1 && s >= 20 && s < 25;
            summary.add(row, k, start + s, echo(lost ? -1 : 10 * k + s, s));
        }
    QCOMPARE(summary.bucketSeconds(), 8);
    QCOMPARE(summary.endSecond(), start + 40);
    const LatencyBucket all = summary.range(0, double(start), double(start + 40));
    QCOMPARE(all.min, 0);
    QCOMPARE(all.max, 39);
    QCOMPARE(all.answered, 40u);
    // Seconds 16..23 and 24..31: the buckets holding the losses.
    const LatencyBucket burst = summary.range(1, double(start + 16), double(start + 32));
    QCOMPARE(burst.lost, 5u);
    QCOMPARE(burst.answered, 11u);
    QCOMPARE(summary.range(1, double(start), double(start + 16)).lost, 0u);
    // The rows of seconds 16..31, and nothing before them.
    QCOMPARE(summary.rowsOf(double(start + 17), double(start + 30)), std::make_pair(qsizetype(32), qsizetype(64)));
}

void TestLatency::zoomedRangeFollowsTheTest()
{
    // One target, one echo a second; the graph is zoomed to seconds 50 to 199 while
    // the test runs on: the echoes that fall in that range join its figures and its
    // summary, the others only the whole test's.
    PingReplyLog log;
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 0));
    const auto add = [&](int second, int time) {
        log.append(start.addSecs(second), u"127.0.0.1"_qs, 32, time, time < 0 ? 0 : 64, time < 0 ? 11010 : 0);
    };
    for (int s = 0; s < 100; ++s)
        add(s, 5);
    LatencyGraphData data;
    data.attach(&log, {u"a"_qs}, 1);
    QVERIFY(data.catchUp());
    const double zero = double(EchoSeconds(log.at(0)));
    data.setRange(zero + 50, zero + 200, 600);
    QVERIFY(data.hasRangeFigures());
    QCOMPARE(data.rangeFigures().at(0).sent(), 50);
    for (int s = 100; s < 130; ++s) {
        add(s, s < 110 ? -1 : 9);
        QVERIFY(data.catchUp());
    }
    QCOMPARE(data.wholeFigures().at(0).sent(), 130);
    QCOMPARE(data.rangeFigures().at(0).sent(), 80);
    QCOMPARE(data.rangeFigures().at(0).lost(), 10);
    QCOMPARE(data.rangeFigures().at(0).maximum(), 9);
    QCOMPARE(data.summaryFor().rows(), 80);

    data.setRange(zero + 10, zero + 20, 600);
    add(130, 7);
    QVERIFY(data.catchUp());
    QCOMPARE(data.rangeFigures().at(0).sent(), 10);
    QCOMPARE(data.summaryFor().rows(), 10);
}

// A first pass over a long test is read beside the window (on a copy of the log) and
// gives what one pass over the log gives; echoes added afterwards follow as before.
void TestLatency::longFirstPassBesideWindow()
{
    PingReplyLog log;
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 0), Qt::UTC); // no zone look-ups
    const qsizetype echoes = LatencyGraphData::BesideWindowRows + 5000;
    for (qsizetype i = 0; i < echoes; ++i) {
        const int time = i % 13 == 0 ? -1 : int(i % 97);
        log.append(start.addSecs(i / 4), i % 4 < 2 ? u"10.0.0.1"_qs : u"10.0.0.2"_qs, 32, time,
                   time < 0 ? 0 : 64, time < 0 ? 11010 : 0);
    }
    LatencyGraphData data;
    data.attach(&log, {u"a"_qs, u"b"_qs}, 2);
    QVERIFY(data.catchUp());
    QList<LatencyStatistics> expected;
    QVERIFY(ComputeLatencyStatistics(log, 2, 2, 0, log.size(), expected));
    QCOMPARE(data.whole().rows(), echoes);
    for (int k = 0; k < 2; ++k) {
        const LatencyStatistics &a = data.wholeFigures().at(k), &b = expected.at(k);
        QCOMPARE(a.sent(), b.sent());
        QCOMPARE(a.lost(), b.lost());
        QCOMPARE(a.maximum(), b.maximum());
        QCOMPARE(a.jitter(), b.jitter());
        QCOMPARE(a.percentile(99), b.percentile(99));
        QCOMPARE(a.longestLossRun(), b.longestLossRun());
    }
    // From a row in the middle of a turn, each row still goes to its own target.
    QList<LatencyStatistics> part, byRow(2);
    QVERIFY(ComputeLatencyStatistics(log, 2, 2, 3, 1001, part));
    for (qsizetype row = 3; row < 1004; ++row)
        byRow[TargetOfRow(row, 2, 2)].add(log.at(row));
    QCOMPARE(part.at(0).sent(), byRow.at(0).sent());
    QCOMPARE(part.at(1).jitter(), byRow.at(1).jitter());
    log.append(start.addSecs(echoes), u"10.0.0.1"_qs, 32, 500, 64, 0);
    QVERIFY(data.catchUp());
    QCOMPARE(data.whole().rows(), echoes + 1);
    QCOMPARE(data.wholeFigures().at(0).maximum(), 500);
}

void TestLatency::jsonExport()
{
    // Two targets, repeat 2, three passes; "b" loses its second pass.
    PingReplyLog log;
    PingExportSource source;
    source.log = &log;
    source.targets = {u"a"_qs, u"b \"quoted\"\\"_qs};
    source.repeat = 2;
    source.sizeStepLength = 4;
    source.addresses = {u"127.0.0.1"_qs, u"127.0.0.2"_qs};
    source.outages.reset(2);
    const QList<int> times{3, 0, 10, 20, 5, 4, -1, -1, 7, 9, 30, 10};
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9));
    for (int i = 0; i < times.size(); ++i) {
        EchoReply reply;
        reply.roundTripTime = quint32(qMax(times[i], 0));
        reply.ttl = 64;
        const QString address = source.addresses.at(i % 4 / 2);
        RecordReply(source.stats, log, start.addSecs(i), address, 32, times[i] < 0 ? 11010 : 0, reply);
        source.outages.echo(i, address, times[i] >= 0, EchoSeconds(log.last()));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"export.json"_qs);
    QString error;
    QVERIFY2(SavePingExport(path, u"json"_qs, source, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonParseError parse;
    const QJsonObject doc = QJsonDocument::fromJson(file.readAll(), &parse).object();
    QCOMPARE(parse.error, QJsonParseError::NoError);

    const QJsonObject test = doc[u"test"].toObject();
    QCOMPARE(test[u"first"].toString(), u"2026-12-07T21:05:09"_qs);
    QCOMPARE(test[u"last"].toString(), u"2026-12-07T21:05:20"_qs);
    QCOMPARE(test[u"echoes"].toInt(), 12);
    QCOMPARE(test[u"targets"].toInt(), 2);
    QCOMPARE(test[u"repeatPerTarget"].toInt(), 2);
    QCOMPARE(test[u"sizeStepLength"].toInt(), 4);
    QCOMPARE(test[u"echoFields"].toArray(),
             (QJsonArray{u"time"_qs, u"rttMs"_qs, u"ttl"_qs, u"status"_qs, u"sizeBytes"_qs}));

    const QJsonArray targets = doc[u"targets"].toArray();
    QCOMPARE(targets.size(), 2);
    // a: 3 0 5 4 7 9 -> sorted 0 3 4 5 7 9; jitter (3+5+1+3+2)/5 = 2.8.
    const QJsonObject a = targets[0].toObject();
    QCOMPARE(a[u"target"].toString(), u"a"_qs);
    QCOMPARE(a[u"sent"].toInt(), 6);
    QCOMPARE(a[u"lost"].toInt(), 0);
    QCOMPARE(a[u"minMs"].toInt(), 1); // under 1 ms counts as 1 ms, as "Min Time:   1 ms"
    QCOMPARE(a[u"maxMs"].toInt(), 9);
    QCOMPARE(a[u"avgMs"].toDouble(), 4.67);
    QCOMPARE(a[u"p50Ms"].toInt(), 4);
    QCOMPARE(a[u"p95Ms"].toInt(), 9);
    QCOMPARE(a[u"jitterMs"].toDouble(), 2.8);
    QVERIFY(a[u"longestLossRunStart"].isNull());
    // b: 10 20 - - 30 10 -> jitter (10+10+20)/3.
    const QJsonObject b = targets[1].toObject();
    QCOMPARE(b[u"target"].toString(), source.targets[1]);
    QCOMPARE(b[u"lost"].toInt(), 2);
    QCOMPARE(b[u"lossRatePercent"].toDouble(), 33.33);
    QCOMPARE(b[u"p99Ms"].toInt(), 30);
    QCOMPARE(b[u"jitterMs"].toDouble(), 13.33);
    QCOMPARE(b[u"longestLossRun"].toInt(), 2);
    QCOMPARE(b[u"longestLossRunStart"].toString(), u"2026-12-07T21:05:15"_qs);
    const QJsonArray echoes = b[u"echoes"].toArray();
    QCOMPARE(echoes.size(), 6);
    QCOMPARE(echoes[0].toArray(), (QJsonArray{u"2026-12-07T21:05:11"_qs, 10, 64, 0, 32}));
    QCOMPARE(echoes[2].toArray(),
             (QJsonArray{u"2026-12-07T21:05:15"_qs, QJsonValue(), 0, 11010, 32}));
    QCOMPARE(targets[0].toObject()[u"echoes"].toArray()[1].toArray()[1].toInt(), 0);
    // b's two lost echoes make an outage of two echoes in a row: 21:05:15 to its next
    // echo at 21:05:19.
    QCOMPARE(a[u"outages"].toArray(), QJsonArray());
    QCOMPARE(a[u"availabilityPercent"].toDouble(), 100.0);
    QCOMPARE(b[u"outages"].toArray(),
             (QJsonArray{QJsonObject{{u"start"_qs, u"2026-12-07T21:05:15"_qs}, {u"end"_qs, u"2026-12-07T21:05:19"_qs},
                                     {u"seconds"_qs, 4}, {u"lost"_qs, 2}}}));
    QCOMPARE(b[u"outageCount"].toInt(), 1);
    QCOMPARE(b[u"downtimeSeconds"].toInt(), 4);
    QCOMPARE(b[u"availabilityPercent"].toDouble(), 63.64); // 7 of the 11 seconds
}

QTEST_GUILESS_MAIN(TestLatency)
#include "tst_latency.moc"
