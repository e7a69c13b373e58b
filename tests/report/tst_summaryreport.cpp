// The summary report computed from real result files read back through the log's
// reader: the groups by time period and by send size, the columns and the loss bar,
// the group-by box's values, and both export layouts against files written by hand.

#include "ping/resultreload.h"
#include "report/reportprint.h"
#include "report/summaryreport.h"
#include "support/testenv.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

using namespace netvane;

namespace {

struct Echo {
    QDateTime when;
    QString address;
    int size = 32;
    int time = 1; // -1: lost
    int ttl = 64;
};

// Writes a result file with these echoes and reads it back: the log is the file.
ReloadedPingTest storedTest(const QTemporaryDir &dir, int targets, int sizeStep, int repeat,
                            const QList<Echo> &echoes)
{
    QByteArray file = QByteArray::number(targets) + ',' + QByteArray::number(sizeStep) + ','
                      + QByteArray::number(repeat) + "\r\n";
    PingReplyLog scratch;
    for (const Echo &e : echoes) {
        scratch.append(e.when, e.address, e.size, e.time, e.time < 0 ? 0 : e.ttl,
                       e.time < 0 ? 11010 : 0);
        file += ReplyLine(scratch.last(), e.address).toUtf8() + "\r\n";
    }
    const QString path = dir.filePath(u"result.txt"_qs);
    test::WriteFileBytes(path, file);
    return ReadResultFile(path);
}

QString hostAddress(int h) { return u"127.0.0.%1"_qs.arg(h + 1); }

// `count` echoes of `hosts` hosts with repeat `repeat`, `step` seconds apart from `start`.
QList<Echo> evenEchoes(int hosts, int repeat, int count, int step, const QDateTime &start,
                       const std::function<void(int row, Echo &)> &shape = {})
{
    QList<Echo> echoes;
    for (int r = 0; r < count; ++r) {
        Echo e;
        e.when = start.addSecs(qint64(r) * step);
        e.address = hostAddress((r / repeat) % hosts);
        if (shape)
            shape(r, e);
        echoes.append(e);
    }
    return echoes;
}

ReportSource sourceOf(const ReloadedPingTest &test, int hosts, int pingsPerSize = 1, int sizeCount = 1)
{
    ReportSource s;
    s.log = &test.log;
    for (int h = 0; h < hosts; ++h)
        s.targets.append(h == 0 ? u"localhost"_qs : hostAddress(h));
    s.repeat = test.header.repeat;
    s.pingsPerSize = pingsPerSize;
    s.sizeCount = sizeCount;
    return s;
}

QStringList expectedLines(const QString &name)
{
    QFile f(u"reportdata/"_qs + name);
    if (!f.open(QIODevice::ReadOnly))
        return {u"missing expected file "_qs + name};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u"\r\n"_qs);
    lines.removeLast();
    return lines;
}

} // namespace

class TestSummaryReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void timePeriodGroups();
    void sendSizeGroups_data();
    void sendSizeGroups();
    void lostHostAndLongPeriod();
    void lossBar_data();
    void lossBar();
    void groupByValues_data();
    void groupByValues();
    void preconditions();
    void exportLayouts_data();
    void exportLayouts();
    void printedPage();
    void fileInBlocksAsInMemory_data();
    void fileInBlocksAsInMemory();
};

// Three hosts with repeat 2 across midnight and the new year, one echo every 20
// seconds, every fifth lost, each echo's time its row number: host 1 counts exactly
// rows 2-3, 8-9, 14-15, ... and its groups close every 10 minutes from their start.
void TestSummaryReport::timePeriodGroups()
{
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 12, 31), QTime(23, 55, 0));
    const ReloadedPingTest test = storedTest(dir, 3, 1, 2, evenEchoes(3, 2, 90, 20, start, [](int r, Echo &e) {
        e.time = r % 5 == 4 ? -1 : r;
    }));
    QCOMPARE(test.log.size(), 90);
    QVERIFY(test.log.isFileBacked());
    SummaryReport report;
    QCOMPARE(BuildSummaryReport(sourceOf(test, 3), ReportGrouping::TimePeriod, 10, report),
             ReportResult::Built);
    QCOMPARE(report.hosts.size(), 3);
    for (int h = 0; h < 3; ++h) {
        QCOMPARE(report.hosts[h].address, hostAddress(h));
        QCOMPARE(report.hosts[h].groups.size(), 3);
        for (const ReportGroup &g : report.hosts[h].groups) {
            QCOMPARE(g.sent, 10);
            QVERIFY(MinutesBetween(g.first, g.last) < 10);
        }
    }
    const ReportGroup &g = report.hosts[1].groups[0];
    // rows 2,3,8,9,14,15,20,21,26,27; 9 and 14 lost
    QCOMPARE(g.lost, 2);
    QCOMPARE(g.avgTime, 15); // 122 / 8
    QCOMPARE(g.avgTtl, 64);
    QCOMPARE(g.lossText, u"20.00 % "_qs);
    QCOMPARE(ReplyStamp(g.first), u"12/31 23:55:40"_qs);
    QCOMPARE(ReplyStamp(g.last), u"01/01 00:04:00"_qs);
    QCOMPARE(ReplyStamp(report.hosts[1].groups[1].first), u"01/01 00:05:40"_qs);
    QCOMPARE(ReportFileName(report), u"Ping_Test_Report_12312355"_qs);
}

// A "Multiple" plan 32, 64, 128 with 2 echoes per size and target, two hosts with
// repeat 2, stopped in the second pass: each host's groups are its sizes, the second
// pass counted into the groups of the first; the same when the plan is not known.
void TestSummaryReport::sendSizeGroups_data()
{
    QTest::addColumn<int>("sizeCount");
    QTest::newRow("the test's plan") << 3;
    QTest::newRow("read back without a plan") << 0;
}

void TestSummaryReport::sendSizeGroups()
{
    QFETCH(int, sizeCount);
    QTemporaryDir dir;
    const int sizes[3] = {32, 64, 128};
    const int pingsPerSize = 2 * 2; // target visits with one size
    const ReloadedPingTest test =
        storedTest(dir, 2, pingsPerSize, 2, evenEchoes(2, 2, 34, 1, QDateTime(QDate(2026, 12, 7), QTime(21, 5, 0)),
                                                       [&](int r, Echo &e) { e.size = sizes[(r / 8) % 3]; }));
    SummaryReport report;
    QCOMPARE(BuildSummaryReport(sourceOf(test, 2, pingsPerSize, sizeCount), ReportGrouping::SendSize, 1, report),
             ReportResult::Built);
    const QList<QList<int>> expected{{32, 8, 64, 6, 128, 4}, {32, 8, 64, 4, 128, 4}};
    for (int h = 0; h < 2; ++h) {
        const QList<ReportGroup> &groups = report.hosts[h].groups;
        QCOMPARE(groups.size(), 3);
        for (int k = 0; k < 3; ++k) {
            QCOMPARE(groups[k].size, expected[h][2 * k]);
            QCOMPARE(groups[k].sent, expected[h][2 * k + 1]);
            QCOMPARE(groups[k].first.size, groups[k].size);
            QCOMPARE(groups[k].last.size, groups[k].size);
        }
    }
    const ReportColumns columns = ReportListRows(report);
    QCOMPARE(columns.column[0][4], u"12/07 21:05:00        32"_qs);
}

// A host whose every echo was lost, and minutes beyond the whole test: one group per
// host, shown as "---", TTL 0, "100.00 %" and a full bar; every column as long as the first.
void TestSummaryReport::lostHostAndLongPeriod()
{
    QTemporaryDir dir;
    const ReloadedPingTest test = storedTest(dir, 2, 1, 1, evenEchoes(2, 1, 40, 45, QDateTime(QDate(2026, 12, 7), QTime(21, 0, 0)),
                                                                      [](int r, Echo &e) {
        e.time = r % 2 ? -1 : 0;
    }));
    SummaryReport report;
    ReportSource source = sourceOf(test, 2);
    source.outages = std::make_shared<OutageFinder>(test.outages);
    QCOMPARE(BuildSummaryReport(source, ReportGrouping::TimePeriod, 300, report), ReportResult::Built);
    // The second host never answers: one outage from its first echo, going on at the end.
    const QStringList text = ReportTextLines(report);
    QCOMPARE(text.mid(text.indexOf(u"Outages (from 3 lost echoes in a row)"_qs) + 2),
             (QStringList{QString(), u"IP: 127.0.0.2   1 outage, down 28 min 30 s, longest 28 min 30 s, "
                                     u"available 2.56 %"_qs,
                          QString(), u"2026-12-07 21:00:45 - ongoing            \t28 min 30 s\t20 lost"_qs,
                          QString(), u" "_qs}));
    QCOMPARE(ReportOutageCsvLines(report),
             (QStringList{u"Target,Start,End,Seconds,Echoes Lost"_qs,
                          u"127.0.0.2,2026-12-07 21:00:45,ongoing,1710,20"_qs}));
    QCOMPARE(ReportOutageCsvPath(u"/x.y/Ping_Test_Report_12072100.csv"_qs),
             u"/x.y/Ping_Test_Report_12072100_Outages.csv"_qs);
    QCOMPARE(report.hosts[0].groups.size(), 1);
    QCOMPARE(report.hosts[1].groups.size(), 1);
    const ReportColumns c = ReportListRows(report);
    for (const QStringList &column : c.column)
        QCOMPARE(column.size(), 10);
    QCOMPARE(c.column[0][2], u"Ping  localhost :"_qs);
    QCOMPARE(c.column[1][2], QString());
    const QStringList first{c.column[0][4], c.column[1][4], c.column[2][4], c.column[3][4],
                            c.column[4][4], c.column[5][4], c.column[6][4]};
    QCOMPARE(first, QStringList({u"12/07 21:00:00 - 12/07 21:28:30"_qs, u"64"_qs, u"20"_qs, u"0"_qs,
                                 u"<1 ms"_qs, u"0.00 %    "_qs, QString()}));
    const QStringList lost{c.column[0][9], c.column[1][9], c.column[2][9], c.column[3][9],
                           c.column[4][9], c.column[5][9], c.column[6][9]};
    QCOMPARE(lost, QStringList({u"12/07 21:00:45 - 12/07 21:29:15"_qs, u"0"_qs, u"20"_qs, u"20"_qs,
                                u"---"_qs, u"100.00 %"_qs, QString(20, u'=')}));
}

void TestSummaryReport::lossBar_data()
{
    QTest::addColumn<QString>("lossText");
    QTest::addColumn<int>("bars");
    QTest::newRow("none") << u"0.00 %  "_qs << 0;
    QTest::newRow("2.4 %") << u"2.40 %  "_qs << 0;
    QTest::newRow("2.5 %") << u"2.50 %  "_qs << 1;
    QTest::newRow("12.5 %") << u"12.50 % "_qs << 3;
    QTest::newRow("97.49 %") << u"97.49 % "_qs << 19;
    QTest::newRow("all") << u"100.00 %"_qs << 20;
    QTest::newRow("unreadable") << u"--------"_qs << -1;
}

void TestSummaryReport::lossBar()
{
    QFETCH(QString, lossText);
    QFETCH(int, bars);
    QCOMPARE(LossChartBar(lossText), bars < 0 ? u"-- Error --"_qs : QString(bars, u'='));
}

void TestSummaryReport::groupByValues_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("testMinutes"); // -1: no echoes
    QTest::addColumn<int>("opening");
    QTest::newRow("0 typed, 25-minute test") << u"0"_qs << 1 << 25 << 2;
    QTest::newRow("no number, 5-minute test") << u"abc"_qs << 1 << 5 << 1;
    QTest::newRow("negative, empty test") << u"-4"_qs << 1 << -1 << 1;
    QTest::newRow("15, a day") << u"15"_qs << 15 << 1440 << 144;
    QTest::newRow("halves to even") << u"2.5"_qs << 2 << 9 << 1;
}

void TestSummaryReport::groupByValues()
{
    QFETCH(QString, typed);
    QFETCH(int, minutes);
    QFETCH(int, testMinutes);
    QFETCH(int, opening);
    QCOMPARE(GroupMinutesOf(typed), minutes);
    PingReplyLog log;
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 0, 30));
    if (testMinutes >= 0) {
        log.append(start, u"127.0.0.1"_qs, 32, 1, 64, 0);
        log.append(start.addSecs(testMinutes * 60 + 29), u"127.0.0.1"_qs, 32, 1, 64, 0);
    }
    QCOMPARE(OpeningGroupMinutes(log), opening);
}

void TestSummaryReport::preconditions()
{
    PingReplyLog log;
    ReportSource source;
    source.log = &log;
    source.targets = QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
    SummaryReport report;
    QCOMPARE(BuildSummaryReport(source, ReportGrouping::TimePeriod, 1, report), ReportResult::NoData);
    log.append(QDateTime::currentDateTime(), u"127.0.0.1"_qs, 32, 1, 64, 0);
    log.append(QDateTime::currentDateTime(), u"127.0.0.2"_qs, 32, 1, 64, 0);
    QCOMPARE(BuildSummaryReport(source, ReportGrouping::TimePeriod, 1, report), ReportResult::Incomplete);
    QVERIFY(report.hosts.isEmpty());

    // A result file changed since it was read gives no report made of other echoes.
    QTemporaryDir dir;
    const ReloadedPingTest test = storedTest(dir, 1, 1, 1, evenEchoes(1, 1, 50, 1, QDateTime::currentDateTime()));
    test::WriteFileBytes(dir.filePath(u"result.txt"_qs), "1,1,1\r\n");
    QString error;
    QCOMPARE(BuildSummaryReport(sourceOf(test, 1), ReportGrouping::TimePeriod, 1, report, {}, &error),
             ReportResult::ReadFailed);
    QVERIFY(!error.isEmpty());
    QVERIFY(report.hosts.isEmpty());
}

void TestSummaryReport::exportLayouts_data()
{
    QTest::addColumn<int>("grouping");
    QTest::addColumn<QString>("expected");
    QTest::newRow("time, text") << int(ReportGrouping::TimePeriod) << u"time.txt"_qs;
    QTest::newRow("time, CSV") << int(ReportGrouping::TimePeriod) << u"time.csv"_qs;
    QTest::newRow("size, text") << int(ReportGrouping::SendSize) << u"size.txt"_qs;
    QTest::newRow("size, CSV") << int(ReportGrouping::SendSize) << u"size.csv"_qs;
}

// Two hosts, repeat 1, sizes 32 and 64 one visit each, 80 seconds per pass; the
// second host loses its first echoes. Grouped by 2 minutes or by size.
void TestSummaryReport::exportLayouts()
{
    QFETCH(int, grouping);
    QFETCH(QString, expected);
    const struct { int time, ttl; } rows[8] = {{0, 64}, {-1, 0}, {0, 64}, {-1, 0},
                                               {5, 63}, {7, 61}, {1, 64}, {3, 60}};
    QTemporaryDir dir;
    const ReloadedPingTest test = storedTest(dir, 2, 2, 1, evenEchoes(2, 1, 8, 40, QDateTime(QDate(2026, 12, 7), QTime(21, 5, 0)),
                                                                      [&](int r, Echo &e) {
        e.size = (r / 2) % 2 ? 64 : 32;
        e.time = rows[r].time;
        e.ttl = rows[r].ttl;
    }));
    SummaryReport report;
    QCOMPARE(BuildSummaryReport(sourceOf(test, 2, 2, 2), ReportGrouping(grouping), 2, report),
             ReportResult::Built);
    const QStringList actual = expected.endsWith(u"csv") ? ReportCsvLines(report) : ReportTextLines(report);
    const QStringList lines = expectedLines(expected);
    for (qsizetype i = 0; i < qMin(actual.size(), lines.size()); ++i)
        QCOMPARE(actual[i], lines[i]);
    QCOMPARE(actual.size(), lines.size());
}

// The printed page: title, targets, period and grouping, then per host a table whose
// headings stand over their own columns, one row per group with its chart bar.
void TestSummaryReport::printedPage()
{
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 12, 31), QTime(23, 55, 0));
    const ReloadedPingTest test = storedTest(dir, 3, 1, 2, evenEchoes(3, 2, 90, 20, start, [](int r, Echo &e) {
        e.time = r % 5 == 4 ? -1 : r;
    }));
    SummaryReport report;
    QCOMPARE(BuildSummaryReport(sourceOf(test, 3), ReportGrouping::TimePeriod, 10, report),
             ReportResult::Built);
    QTextDocument page;
    page.setHtml(ReportPrintHtml(report, 10));
    const QString text = page.toPlainText();
    QVERIFY(text.startsWith(u"Ping Test Summary Report"_qs));
    QVERIFY(text.contains(u"localhost, 127.0.0.2, 127.0.0.3"_qs));
    QVERIFY(text.contains(ReplyDateTimeText(report.testStart) + u" - "_qs));
    QVERIFY(text.contains(u"time period of 10 minutes"_qs));
    QList<QTextTable *> tables;
    for (QTextBlock b = page.begin(); b.isValid(); b = b.next())
        if (QTextTable *t = QTextCursor(b).currentTable(); t && !tables.contains(t) && t->columns() > 2)
            tables << t;
    QCOMPARE(tables.size(), 3);
    const QStringList headings{u"From"_qs, u"To"_qs, u"TTL"_qs, u"Sent"_qs, u"Lost"_qs,
                               u"Avg Time"_qs, u"Loss Rate"_qs, u"Chart"_qs};
    QTextTable *host1 = tables.at(1);
    QCOMPARE(host1->columns(), headings.size());
    QCOMPARE(host1->rows(), 1 + 3);
    const auto at = [host1](int row, int column) {
        QTextCursor c = host1->cellAt(row, column).firstCursorPosition();
        c.setPosition(host1->cellAt(row, column).lastCursorPosition().position(), QTextCursor::KeepAnchor);
        return c.selectedText();
    };
    for (int c = 0; c < headings.size(); ++c)
        QCOMPARE(at(0, c), headings.at(c));
    QCOMPARE(at(1, 2), u"64"_qs);                    // TTL under TTL
    QCOMPARE(at(1, 5), AverageTimeText(15));          // the time under Avg Time
    QCOMPARE(at(1, 6), u"20.00 %"_qs);               // the rate under Loss Rate
    QCOMPARE(at(1, 7).count(QChar(0x2588)), 20);      // the chart: 4 of 20 blocks red
}

QTEST_GUILESS_MAIN(TestSummaryReport)
#include "tst_summaryreport.moc"

// A long test's report read from its result file, whose blocks are cut into stretches
// beside the caller and put together in order, is the report of the same echoes held
// in memory: across block ends that fall within a host's turn, a size step or a
// minute, with the clock stepping back, with lines that are no echo, and for a test
// whose last rows are still in memory. A file cut underneath a pinned log fails.
void TestSummaryReport::fileInBlocksAsInMemory_data()
{
    QTest::addColumn<int>("grouping");
    QTest::addColumn<int>("hosts");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("step");      // seconds between echoes
    QTest::addColumn<int>("minutes");   // by time
    QTest::addColumn<int>("sizeCount"); // by size; 0: the sizes met
    QTest::addColumn<int>("backAt");    // the clock steps back an hour at this row
    const int time = int(ReportGrouping::TimePeriod), size = int(ReportGrouping::SendSize);
    QTest::newRow("time, 3 hosts x 2") << time << 3 << 2 << 1 << 10 << 1 << -1;
    QTest::newRow("time, 7 hosts x 5, 1 minute") << time << 7 << 5 << 3 << 1 << 1 << -1;
    QTest::newRow("time, clock back at a block end") << time << 3 << 1 << 7 << 5 << 1 << 4096;
    QTest::newRow("time, clock back within a block") << time << 5 << 3 << 2 << 30 << 1 << 5000;
    QTest::newRow("size, plan of 5") << size << 3 << 2 << 1 << 1 << 5 << -1;
    QTest::newRow("size, sizes met") << size << 4 << 3 << 1 << 1 << 0 << 6000;
}

void TestSummaryReport::fileInBlocksAsInMemory()
{
    QFETCH(int, grouping);
    QFETCH(int, hosts);
    QFETCH(int, repeat);
    QFETCH(int, step);
    QFETCH(int, minutes);
    QFETCH(int, sizeCount);
    QFETCH(int, backAt);
    const int rows = 3 * 4096 + 777;
    const int pingsPerSize = 37; // visits with one size: size steps fall anywhere in a block
    QByteArray file = QByteArray::number(hosts) + ",1," + QByteArray::number(repeat) + "\r\n";
    PingReplyLog memory, partly;
    const QDateTime start(QDate(2026, 12, 31), QTime(22, 0, 0));
    for (int r = 0; r < rows; ++r) {
        const QDateTime when = start.addSecs(qint64(r) * step - (backAt >= 0 && r >= backAt ? 3600 : 0));
        const int size = 32 + 8 * ((r / (pingsPerSize * repeat)) % 5);
        const bool lost = r % 11 == 3 || (r / 500) % 9 == 4;
        const QString address = hostAddress((r / repeat) % hosts);
        memory.append(when, address, size, lost ? -1 : r % 300, lost ? 0 : 64, lost ? 11010 : 0);
        file += ReplyLine(memory.last(), address).toUtf8() + "\r\n";
        if (r % 1000 == 999)
            file += "not an echo\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"result.txt"_qs);
    test::WriteFileBytes(path, file);
    ReloadedPingTest stored = ReadResultFile(path);
    QCOMPARE(stored.log.size(), rows);
    QVERIFY(stored.log.isFileBacked());

    const auto reportOf = [&](const PingReplyLog &log, QStringList &lines) {
        ReportSource source;
        source.log = &log;
        for (int h = 0; h < hosts; ++h)
            source.targets.append(hostAddress(h));
        source.repeat = repeat;
        source.pingsPerSize = pingsPerSize;
        source.sizeCount = sizeCount;
        SummaryReport report;
        int calls = 0;
        const ReportResult result = BuildSummaryReport(source, ReportGrouping(grouping), minutes, report,
                                                       [&] { ++calls; });
        lines = ReportTextLines(report) + ReportCsvLines(report);
        for (const ReportHost &host : report.hosts)
            lines.append(host.address);
        lines.append(ReplyStamp(report.testStart));
        lines.append(QString::number(calls));
        return result;
    };
    QStringList inMemory, fromFile;
    QCOMPARE(reportOf(memory, inMemory), ReportResult::Built);
    QCOMPARE(reportOf(stored.log, fromFile), ReportResult::Built);
    QCOMPARE(fromFile, inMemory);
    QVERIFY(inMemory.size() > 20);

    // The same test with its last 1000 echoes not yet in the file.
    QByteArray head = file.left(file.indexOf("\r\n", 0) + 2);
    qsizetype at = head.size();
    for (int r = 0; r < rows - 1000; ++r) {
        const qsizetype next = file.indexOf("\r\n", at) + 2;
        const QByteArray line = file.mid(at, next - at);
        at = next;
        if (line == "not an echo\r\n")
            --r;
        head += line;
    }
    test::WriteFileBytes(path, head);
    ReloadedPingTest part = ReadResultFile(path);
    QCOMPARE(part.log.size(), rows - 1000);
    for (qsizetype r = rows - 1000; r < rows; ++r) {
        PingReplyRecord e = memory.at(r);
        e.address = part.log.addressIndex(memory.address(e));
        part.log.appendRecord(e);
    }
    QStringList mixed;
    QCOMPARE(reportOf(part.log, mixed), ReportResult::Built);
    QCOMPARE(mixed, inMemory);

    // A file cut underneath a log that holds it open: the rows it no longer holds fail.
    QVERIFY(part.log.pinFile());
    QVERIFY(QFile::resize(path, head.size() / 2));
    QCOMPARE(reportOf(part.log, mixed), ReportResult::ReadFailed);
}
