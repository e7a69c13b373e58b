// The figures and the verdict of a path run, fed round by round as the prober
// would: where loss begins and persists, silent routers, route changes, and a strip
// that stays bounded over a long run.

#include "traceroute/pathexport.h"
#include "traceroute/pathreport.h"
#include "traceroute/pathstats.h"

#include <QtTest>

using namespace netvane;

class TestPathStats : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void verdict_data();
    void verdict();
    void routeChangeAndFigures();
};

void TestPathStats::verdict_data()
{
    // Per hop, the target last: the loss in percent over 100 rounds; "S" never answers.
    QTest::addColumn<QStringList>("losses");
    QTest::addColumn<int>("origin"); // hop number; 0: none
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("silentHops");
    QTest::newRow("no loss") << QStringList{u"0"_qs, u"0"_qs, u"0"_qs} << 0 << u"No loss on the path"_qs
                             << QString();
    QTest::newRow("from hop 3 on") << QStringList{u"0"_qs, u"0"_qs, u"12"_qs, u"10"_qs, u"12"_qs} << 3
                                   << u"Loss starts at hop 3 (10.0.0.3): 12.0 % from there to the target"_qs
                                   << QString();
    QTest::newRow("silent hop before the loss is skipped")
        << QStringList{u"0"_qs, u"S"_qs, u"20"_qs, u"20"_qs} << 3
        << u"Loss starts at hop 3 (10.0.0.3): 20.0 % from there to the target"_qs << u"2"_qs;
    QTest::newRow("silent hop inside the loss is never the origin")
        << QStringList{u"0"_qs, u"20"_qs, u"S"_qs, u"20"_qs} << 2
        << u"Loss starts at hop 2 (10.0.0.2): 20.0 % from there to the target"_qs << u"3"_qs;
    QTest::newRow("loss at a middle hop that does not reach the target")
        << QStringList{u"0"_qs, u"40"_qs, u"0"_qs, u"0"_qs} << 0 << u"No loss on the path"_qs << QString();
    QTest::newRow("a stray loss early does not pull the origin forward")
        << QStringList{u"1"_qs, u"1"_qs, u"30"_qs, u"30"_qs} << 3
        << u"Loss starts at hop 3 (10.0.0.3): 30.0 % from there to the target"_qs << QString();
    QTest::newRow("target only") << QStringList{u"0"_qs, u"0"_qs, u"5"_qs} << 3
                                 << u"Loss starts at hop 3 (10.0.0.3): 5.0 % from there to the target"_qs
                                 << QString();
    // The path's end never answers: nothing after them answers, so they are loss.
    QTest::newRow("dead from hop 2") << QStringList{u"0"_qs, u"S"_qs, u"S"_qs} << 2
                                     << u"Loss starts at hop 2 (10.0.0.2): 100.0 % from there to the target"_qs
                                     << QString();
}

void TestPathStats::verdict()
{
    QFETCH(QStringList, losses);
    QFETCH(int, origin);
    QFETCH(QString, verdict);
    QFETCH(QString, silentHops);
    PathTrace trace;
    QList<QStringList> path;
    for (qsizetype i = 0; i < losses.size(); ++i)
        path.append({u"10.0.0.%1"_qs.arg(i + 1)});
    trace.setPath(path, 0);
    for (int round = 0; round < 100; ++round) {
        QList<qint32> latencies;
        for (const QString &loss : losses) {
            const bool lost = loss == u"S" || round < loss.toInt();
            latencies.append(lost ? PathLost : 1000 + 100 * int(latencies.size()) + round % 7);
        }
        trace.addRound(latencies, qint64(round) * 1000);
    }
    QCOMPARE(trace.lossOrigin() + 1, origin);
    QCOMPARE(trace.verdict(), verdict);
    QStringList silent;
    for (int i = 0; i < trace.hops().size(); ++i) {
        const bool shown = PathRowTexts(trace, i).at(1) == u"no answer (rate-limited?)";
        QCOMPARE(shown, trace.isSilent(i));
        if (shown)
            silent << QString::number(i + 1);
    }
    QCOMPARE(silent.join(u','), silentHops);
}

void TestPathStats::routeChangeAndFigures()
{
    PathTrace trace;
    trace.setPath({{u"10.0.0.1"_qs}, {u"10.0.0.2"_qs}, {u"10.0.9.9"_qs}}, 0);
    // Latencies 1, 2, ... 20 ms at hop 2; every fifth lost.
    const qint64 day = 24 * 3600 * 1000;
    for (int i = 1; i <= 20; ++i)
        trace.addRound({500, i % 5 == 0 ? PathLost : i * 1000, 3000}, i * 1000);
    const PathHopStats &s = trace.hops()[1].stats;
    QCOMPARE(s.sent(), 20);
    QCOMPARE(s.lossPercent(), 20.0);
    QCOMPARE(s.lastMs(), 19.0);
    QCOMPARE(s.bestMs(), 1.0);
    QCOMPARE(s.worstMs(), 19.0);
    QCOMPARE(s.averageMs(), 10.0); // 160 / 16
    QCOMPARE(trace.hops()[1].stats.p95Ms(), 19.0);
    QVERIFY(qAbs(s.stdDevMs() - std::sqrt(520.0 / 15)) < 0.001);
    QVERIFY(qAbs(s.jitterMs() - 18.0 / 15) < 0.001); // 1 ms steps, a 2 ms one over each loss
    QCOMPARE(PathRowTexts(trace, 1),
             (QStringList{u"2"_qs, u"10.0.0.2"_qs, QString(), u"20.0"_qs, u"20"_qs, u"19.0"_qs, u"10.0"_qs,
                          u"1.0"_qs, u"19.0"_qs, u"5.9"_qs, u"1.2"_qs, u"19.0"_qs}));

    // Hop 2 answers from another router now: its figures start afresh, the others
    // keep theirs, and the change is marked.
    trace.setPath({{u"10.0.0.1"_qs}, {u"10.0.5.2"_qs}, {u"10.0.9.9"_qs}}, 30'000);
    trace.addRound({500, 4000, 3000}, 31'000);
    QCOMPARE(trace.hops()[0].stats.sent(), 21);
    QCOMPARE(trace.hops()[1].stats.sent(), 1);
    QCOMPARE(trace.hops()[1].stats.averageMs(), 4.0);
    QCOMPARE(trace.routeChanges().size(), 1);
    QCOMPARE(trace.routeChanges()[0].hop, 2);
    QCOMPARE(trace.routeChanges()[0].before, u"10.0.0.2"_qs);
    QCOMPARE(trace.routeChanges()[0].after, u"10.0.5.2"_qs);

    // A week of one echo a minute stays within the strip's slots, and the slots still
    // add up to every echo with its loss.
    PathHopStats week;
    for (qint64 minute = 0; minute < 7 * 1440; ++minute)
        week.add(minute % 10 == 0 ? PathLost : 2000, day + minute * 60'000);
    QVERIFY(week.strip().size() <= size_t(PathHopStats::MaxStripSlots));
    qint64 sent = 0, lost = 0;
    for (const PathMinute &slot : week.strip()) {
        sent += slot.sent;
        lost += slot.lost;
    }
    QCOMPARE(sent, 7 * 1440);
    QCOMPARE(lost, 7 * 144);
    QCOMPARE(week.strip().front().minutes, 8);

    // The report groups each hop's minutes into periods: five minutes by two.
    PathTrace fiveMinutes;
    fiveMinutes.label = u"far"_qs;
    fiveMinutes.setPath({{u"10.0.0.1"_qs}, {u"10.0.9.9"_qs}}, 0);
    for (int minute = 0; minute < 5; ++minute)
        fiveMinutes.addRound({2000, minute == 4 ? PathLost : 4000}, day + minute * 60'000);
    const SummaryReport report = BuildPathReport({fiveMinutes}, day, 2);
    QCOMPARE(report.hosts.size(), 2);
    QCOMPARE(ReportCellText(report, 0, ReportHeadingRows + 3 + 2), u"Path  far  hop 2  10.0.9.9 :"_qs);
    QCOMPARE(report.hosts[1].groups.size(), 3);
    QCOMPARE(report.hosts[1].groups[2].sent, 1);
    QCOMPARE(report.hosts[1].groups[2].lost, 1);
    QCOMPARE(report.hosts[1].groups[0].avgTime, 4);
    QCOMPARE(ReportCellText(report, 0, ReportHeadingRows * 2 + 3 + 1), u"01/02 00:02:00 - 01/02 00:03:59"_qs);

    // The export: a CSV row per hop, and aligned text columns under the verdict.
    fiveMinutes.label = u"far, end"_qs;
    fiveMinutes.address = u"10.0.9.9"_qs;
    PathRunSettings settings;
    settings.startMs = day;
    const QStringList csv = PathExportLines({fiveMinutes}, settings, u"csv"_qs);
    QCOMPARE(csv.size(), 3);
    QCOMPARE(csv[2], u"\"far, end\",10.0.9.9,Loss starts at hop 2 (10.0.9.9): 20.0 % from there to the target,"
                     "2,10.0.9.9,,20.0,5,4.0,4.0,4.0,4.0,0.0,0.0,4.0"_qs);
    const QStringList text = PathExportLines({fiveMinutes}, settings, u"txt"_qs);
    QCOMPARE(text.mid(2, 5), (QStringList{u"Target: far, end (10.0.9.9)"_qs,
                                          u"Loss starts at hop 2 (10.0.9.9): 20.0 % from there to the target"_qs,
                                          u"Hop  Address   Name  Loss %  Sent  Last  Avg  Best  Worst  StDev  Jitter  p95"_qs,
                                          u"  1  10.0.0.1           0.0     5   2.0  2.0   2.0    2.0    0.0     0.0  2.0"_qs,
                                          u"  2  10.0.9.9          20.0     5   4.0  4.0   4.0    4.0    0.0     0.0  4.0"_qs}));
}

QTEST_GUILESS_MAIN(TestPathStats)
#include "tst_pathstats.moc"
