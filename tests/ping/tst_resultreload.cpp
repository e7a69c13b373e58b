// Reading the result file and the target file of the last test back.

#include "iplist/targettable.h"
#include "ping/latencygraphdata.h"
#include "ping/pingsettings.h"
#include "ping/pingexport.h"
#include "ping/resultreload.h"
#include "ping/resultstore.h"
#include "ping/sequenceparsers.h"
#include "report/summaryreport.h"
#include "support/testenv.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace netvane;

namespace {

const QByteArray Header = "2,1,2\r\n";
const QByteArray Answered = "2026,12,07,21,05,09,127.0.0.1,32,12,64,0\r\n";
const QByteArray UnderOneMs = "2026,12,07,21,05,10,127.0.0.1,32,0,64,0\r\n";
const QByteArray Lost = "2026,12,07,21,05,11,127.0.0.2,32,-1,0,11010\r\n";

QByteArray writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return bytes;
}

// The first thing in which two reloads differ: the header, an echo or its address,
// the statistics, the lines left out; empty when they are the same.
QString difference(const ReloadedPingTest &a, const ReloadedPingTest &b)
{
    if (a.headerRead != b.headerRead || a.header.targetCount != b.header.targetCount
        || a.header.sizeStepLength != b.header.sizeStepLength || a.header.repeat != b.header.repeat)
        return u"header"_qs;
    if (a.badLineCount != b.badLineCount || a.badLines != b.badLines)
        return u"bad lines %1 / %2"_qs.arg(a.badLineCount).arg(b.badLineCount);
    if (a.log.size() != b.log.size())
        return u"echoes %1 / %2"_qs.arg(a.log.size()).arg(b.log.size());
    PingSessionStats sa = a.stats, sb = b.stats;
    if (StatisticsTexts(sa) != StatisticsTexts(sb) || sa.lastLine != sb.lastLine
        || sa.currentTarget != sb.currentTarget || sa.sumTime != sb.sumTime || sa.sumTtl != sb.sumTtl)
        return u"statistics"_qs;
    EchoCursor ca(a.log, true), cb(b.log, true);
    PingReplyRecord ra, rb;
    for (qsizetype i = 0; i < a.log.size(); ++i) {
        if (!ca.next(ra) || !cb.next(rb))
            return u"echo %1 unread: %2%3"_qs.arg(i).arg(ca.errorString(), cb.errorString());
        const auto fields = [](const PingReplyRecord &r) {
            return std::tuple(r.year, r.month, r.day, r.hour, r.minute, r.second, r.size, r.time, r.ttl, r.status);
        };
        if (fields(ra) != fields(rb) || ca.address() != cb.address())
            return u"echo %1: %2 / %3"_qs.arg(i).arg(ReplyLine(ra, ca.address()), ReplyLine(rb, cb.address()));
    }
    if (ca.next(ra) || cb.next(rb) || ca.failed() || cb.failed())
        return u"past the end"_qs;
    return {};
}

} // namespace

class TestResultReload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void header_data();
    void header();
    void validLines();
    void malformed_data();
    void malformed();
    void quickAndFullReadAlike_data();
    void quickAndFullReadAlike();
    void statistics_data();
    void statistics();
    void progressCountsDown();
    void targetFile();
    void readsFileFromDisk();
    void widestValuesRoundTrip();
    void widestIpv6RoundTrip();
    void blockReadAsOnePass();
    void fullDiskLeavesWholeLines();
    void fileBackedLogReadsAsInMemory_data();
    void fileBackedLogReadsAsInMemory();
};

void TestResultReload::header_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("targets");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("repeat");
    QTest::newRow("three fields") << QByteArray("3,6,2") << true << 3 << 6 << 2;
    QTest::newRow("target count only") << QByteArray("5") << true << 5 << 1 << 1;
    QTest::newRow("two fields") << QByteArray("4,8") << true << 4 << 8 << 1;
    QTest::newRow("blanks around") << QByteArray("  2,1,3  ") << true << 2 << 1 << 3;
    QTest::newRow("no targets") << QByteArray("0,1,1") << false << 0 << 0 << 0;
    QTest::newRow("negative") << QByteArray("-2,1,1") << false << 0 << 0 << 0;
    QTest::newRow("not a number") << QByteArray("abc,1,1") << false << 0 << 0 << 0;
    QTest::newRow("fraction") << QByteArray("2.5,1,1") << false << 0 << 0 << 0;
    QTest::newRow("four fields") << QByteArray("2,1,1,9") << false << 0 << 0 << 0;
    QTest::newRow("absurd count") << QByteArray("999999999,1,1") << false << 0 << 0 << 0;
    QTest::newRow("bad repeat") << QByteArray("2,1,x") << false << 0 << 0 << 0;
    QTest::newRow("echo line as header") << Answered.trimmed() << false << 0 << 0 << 0;
}

void TestResultReload::header()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    ResultFileHeader h;
    QCOMPARE(ParseResultHeader(line, h), valid);
    if (valid) {
        QFETCH(int, targets);
        QFETCH(int, step);
        QFETCH(int, repeat);
        QCOMPARE(h.targetCount, targets);
        QCOMPARE(h.sizeStepLength, step);
        QCOMPARE(h.repeat, repeat);
    }
}

void TestResultReload::validLines()
{
    // Either line end; the fields become the record as the run loop made it.
    const QByteArray file = "2,1,2\n2026,12,07,21,05,09,127.0.0.1,32,12,64,0\n"
                            "2027,02,28,00,00,59,10.0.0.255,65500,-1,0,-1\n"
                            "2028,02,29,23,59,00,127.0.0.1,0,0,255,0";
    const ReloadedPingTest t = ParseResultFile(file);
    QVERIFY(t.headerRead);
    QCOMPARE(t.badLineCount, 0);
    QCOMPARE(t.log.size(), 3);
    const PingReplyRecord &a = t.log.at(0);
    QCOMPARE(ReplyLine(a, t.log.address(a)), u"2026,12,07,21,05,09,127.0.0.1,32,12,64,0"_qs);
    const PingReplyRecord &b = t.log.at(1);
    QCOMPARE(ReplyLine(b, t.log.address(b)), u"2027,02,28,00,00,59,10.0.0.255,65500,-1,0,-1"_qs);
    QCOMPARE(t.log.address(t.log.at(2)), u"127.0.0.1"_qs);
    QCOMPARE(t.log.at(2).ttl, 255);
    QCOMPARE(t.stats.lastLine, u"02/29 23:59:00   Reply from 127.0.0.1:  bytes=0  time<1ms  TTL=255"_qs);
}

void TestResultReload::malformed_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("headerRead");
    QTest::addColumn<int>("records"); // echoes kept
    QTest::addColumn<QList<qsizetype>>("badLines"); // the first ones named
    QTest::addColumn<qsizetype>("badCount");
    using Lines = QList<qsizetype>;

    const QByteArray two = Header + Answered + Lost;
    QTest::newRow("empty file") << QByteArray() << false << 0 << Lines{} << qsizetype(0);
    QTest::newRow("blank first line") << QByteArray("\r\n") + Answered << false << 0 << Lines{} << qsizetype(0);
    QTest::newRow("header only") << Header << true << 0 << Lines{} << qsizetype(0);
    QTest::newRow("header without line end") << QByteArray("2,1,2") << true << 0 << Lines{} << qsizetype(0);
    QTest::newRow("bad header") << QByteArray("x,1,2\r\n") + Answered << false << 0 << Lines{1} << qsizetype(1);
    QTest::newRow("over-long header") << QByteArray(600, '1') + "\r\n" + Answered << false << 0 << Lines{1} << qsizetype(1);
    QTest::newRow("empty line ends the log") << two + "\r\n" + Answered << true << 2 << Lines{} << qsizetype(0);
    QTest::newRow("blank line ends the log") << two + "   \r\n" + Answered << true << 2 << Lines{} << qsizetype(0);
    QTest::newRow("bad line before an empty one")
        << two + "2026\r\n\r\n" + Answered << true << 2 << Lines{4} << qsizetype(1);
    QTest::newRow("cut last line") << two + "2026,12,07,21,05,09,127.0." << true << 2 << Lines{4} << qsizetype(1);
    QTest::newRow("two bad lines") << two + "x\r\n" + Answered + "y\r\n" + Lost << true << 4 << Lines{4, 6} << qsizetype(2);
    // Every other kind of bad line, followed by an echo that reads.
    const QList<std::pair<const char *, QByteArray>> bad = {
        {"short line", "2026,12,07,21,05"},
        {"extra field", "2026,12,07,21,05,09,127.0.0.1,32,12,64,0,7"},
        {"time not a number", "2026,12,07,21,05,09,127.0.0.1,32,1x,64,0"},
        {"empty size", "2026,12,07,21,05,09,127.0.0.1,,12,64,0"},
        {"no such day", "2026,02,30,21,05,09,127.0.0.1,32,12,64,0"},
        {"hour 24", "2026,12,07,24,05,09,127.0.0.1,32,12,64,0"},
        {"unpadded month", "2026,1,07,21,05,09,127.0.0.1,32,12,64,0"},
        {"ttl above 255", "2026,12,07,21,05,09,127.0.0.1,32,12,300,0"},
        {"time below -1", "2026,12,07,21,05,09,127.0.0.1,32,-5,0,11010"},
        {"lost with a time", "2026,12,07,21,05,09,127.0.0.1,32,12,64,11010"},
        {"answer without a time", "2026,12,07,21,05,09,127.0.0.1,32,-1,0,0"},
        {"address too long", "2026,12,07,21,05,09,1234567890123456,32,12,64,0"},
        {"empty address", "2026,12,07,21,05,09,,32,12,64,0"},
        {"huge number", "2026,12,07,21,05,09,127.0.0.1,32,99999999999,64,0"},
        {"huge line", QByteArray(5 << 20, '7')},
        {"NUL inside a line", QByteArray("2026,12,07,21,05,09,127.0.0.1,32,1\0002,64,0", 41)},
    };
    for (const auto &[name, line] : bad)
        QTest::newRow(name) << two + line + "\r\n" + Answered << true << 3 << Lines{4} << qsizetype(1);
    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) % 256);
    QTest::newRow("binary file") << binary << false << 0 << Lines{1} << qsizetype(1);
    // Each piece of it between line ends is a line that cannot be read.
    const qsizetype pieces = binary.count('\n') + 1;
    Lines lines;
    for (qsizetype i = 0; i < std::min<qsizetype>(pieces, NamedBadLines); ++i)
        lines << 4 + i;
    QTest::newRow("binary after echoes") << two + binary << true << 2 << lines << pieces;
}

void TestResultReload::malformed()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, headerRead);
    QFETCH(int, records);
    QFETCH(QList<qsizetype>, badLines);
    QFETCH(qsizetype, badCount);
    // The same from memory and from a file read in blocks of any size.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    writeFile(path, file);
    const ReloadedPingTest expected = ParseResultFile(file);
    QCOMPARE(expected.headerRead, headerRead);
    QCOMPARE(expected.log.size(), records);
    QCOMPARE(expected.badLines, badLines);
    QCOMPARE(expected.badLineCount, badCount);
    // The statistics describe exactly the records kept.
    QCOMPARE(expected.stats.sent, records);
    QVERIFY(expected.stats.lost <= expected.stats.sent);
    for (const qsizetype block : {qsizetype(31), qsizetype(4096), qsizetype(256 << 10)})
        QCOMPARE(difference(ReadResultFile(path, {}, {block, true}), expected), QString());
}

void TestResultReload::quickAndFullReadAlike_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    const QByteArray stamp = "2026,12,07,21,05,09,";
    const QByteArray echo = stamp + "127.0.0.1,32,";
    QTest::newRow("same second") << echo + "5,64,0" << true;
    QTest::newRow("next second") << QByteArray("2026,12,07,21,05,10,127.0.0.1,32,5,64,0") << true;
    QTest::newRow("next minute") << QByteArray("2026,12,07,21,06,00,127.0.0.1,32,5,64,0") << true;
    QTest::newRow("next day") << QByteArray("2026,12,08,00,00,00,127.0.0.1,32,5,64,0") << true;
    QTest::newRow("lost") << echo + "-1,0,11010" << true;
    QTest::newRow("time -0") << echo + "-0,64,0" << true;
    QTest::newRow("11 digits") << stamp + "127.0.0.1,00000065535,5,64,0" << true;
    QTest::newRow("lowest status") << echo + "-1,0,-2147483648" << true;
    QTest::newRow("two CRs") << echo + "5,64,0\r\r" << true;
    QTest::newRow("trailing blank") << echo + "5,64,0 " << true;
    QTest::newRow("longer address") << stamp + "127.0.0.10,32,5,64,0" << true;
    QTest::newRow("shorter address") << stamp + "127.0.0.,32,5,64,0" << true;
    QTest::newRow("12 digits") << stamp + "127.0.0.1,000000000032,5,64,0" << false;
    QTest::newRow("size 65536") << stamp + "127.0.0.1,65536,5,64,0" << false;
    QTest::newRow("minus size") << stamp + "127.0.0.1,-32,5,64,0" << false;
    QTest::newRow("plus time") << echo + "+5,64,0" << false;
    QTest::newRow("time -2") << echo + "-2,0,11010" << false;
    QTest::newRow("ttl 256") << echo + "5,256,0" << false;
    QTest::newRow("lost with a time") << echo + "5,64,11010" << false;
    QTest::newRow("answer without a time") << echo + "-1,0,0" << false;
    QTest::newRow("status above int") << echo + "-1,0,2147483648" << false;
    QTest::newRow("three numbers") << echo + "5,64" << false;
    QTest::newRow("five numbers") << echo + "5,64,0,0" << false;
    QTest::newRow("second 60") << QByteArray("2026,12,07,21,05,60,127.0.0.1,32,5,64,0") << false;
    QTest::newRow("second 1a") << QByteArray("2026,12,07,21,05,1a,127.0.0.1,32,5,64,0") << false;
    QTest::newRow("blank in address") << stamp + "127.0.0.1 ,32,5,64,0" << false;
    QTest::newRow("CR inside") << echo + "5,64,0\rX" << false;
    QTest::newRow("NUL after status") << echo + QByteArray("5,64,0\0", 7) << false;
}

void TestResultReload::quickAndFullReadAlike()
{
    // After an echo of the same second and address a line is read the quick way;
    // alone after the header, the full way. Both take or refuse it alike, from memory
    // and from a file, and a page read of it gives the same echo.
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    const ReloadedPingTest alone = ParseResultFile(Header + line + "\n");
    QCOMPARE(alone.log.size(), valid ? 1 : 0);
    const QByteArray file = Header + Answered + Answered + line + "\n" + Answered;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    writeFile(path, file);
    for (const ReloadedPingTest &t : {ParseResultFile(file), ReadResultFile(path)}) {
        QCOMPARE(t.log.size(), valid ? 4 : 3);
        QCOMPARE(t.badLines, valid ? QList<qsizetype>{} : QList<qsizetype>{4});
        // The line itself, or the echo after the one left out.
        const PingReplyRecord a = alone.log.isEmpty() ? PingReplyRecord() : alone.log.at(0);
        const QString expected = valid ? ReplyLine(a, alone.log.address(a))
                                       : QString::fromLatin1(Answered.trimmed());
        QStringList read;
        QVERIFY(t.log.readRows(2, 1, [&](qsizetype, const PingReplyRecord &r, const QString &address) {
            read << ReplyLine(r, address);
            return true;
        }));
        QCOMPARE(read, QStringList{expected});
    }
}

void TestResultReload::statistics_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("texts"); // sent, received, lost, rate, -, min, max, avg, ttl

    const auto line = [](int time, int ttl) {
        return time < 0 ? Lost : QByteArray("2026,12,07,21,05,09,127.0.0.1,32,") + QByteArray::number(time)
                                      + ',' + QByteArray::number(ttl) + ",0\r\n";
    };
    QTest::newRow("header only")
        << Header << QStringList{u"0"_qs, u"0"_qs, u"0"_qs, u"0.00 %"_qs, {}, u"0 ms"_qs, u"0 ms"_qs, u"0 ms"_qs, u"0"_qs};
    QTest::newRow("every echo lost")
        << Header + line(-1, 0) + line(-1, 0)
        << QStringList{u"2"_qs, u"0"_qs, u"2"_qs, u"100.00 %"_qs, {}, u"0 ms"_qs, u"0 ms"_qs, u"0 ms"_qs, u"0"_qs};
    QTest::newRow("one lost of three, halves up")
        << Header + line(10, 64) + line(-1, 0) + line(11, 63)
        << QStringList{u"3"_qs, u"2"_qs, u"1"_qs, u"33.33 %"_qs, {}, u"10 ms"_qs, u"11 ms"_qs, u"11 ms"_qs, u"64"_qs};
    QTest::newRow("under a millisecond shows 1 ms")
        << Header + line(0, 64) + line(0, 64)
        << QStringList{u"2"_qs, u"2"_qs, u"0"_qs, u"0.00 %"_qs, {}, u"1 ms"_qs, u"1 ms"_qs, u"1 ms"_qs, u"64"_qs};
}

void TestResultReload::statistics()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, texts);
    ReloadedPingTest t = ParseResultFile(file);
    QVERIFY(t.headerRead);
    const std::array<QString, 9> v = StatisticsTexts(t.stats);
    for (int i = 0; i < 9; ++i)
        if (i != 4)
            QCOMPARE(v[size_t(i)], texts.at(i));
}

void TestResultReload::progressCountsDown()
{
    QByteArray file = Header;
    for (int i = 0; i < 10000; ++i)
        file += i % 3 ? Answered : Lost;
    QList<qsizetype> seen;
    const ReloadedPingTest t = ParseResultFile(file, [&](qsizetype remaining) { seen << remaining; });
    QCOMPARE(t.log.size(), 10000);
    // Lines still to convert, estimated from the bytes left; the last report is 0.
    QCOMPARE(seen.size(), 3);
    QVERIFY(qAbs(seen[0] - (10000 - 4096)) < 20);
    QVERIFY(qAbs(seen[1] - (10000 - 8192)) < 20);
    QCOMPARE(seen[2], 0);
    QCOMPARE(t.stats.lost, 3334);
    // Few distinct addresses: the log keeps one copy of each.
    QCOMPARE(t.log.address(t.log.at(0)), u"127.0.0.2"_qs);
    QCOMPARE(t.log.address(t.log.at(1)), u"127.0.0.1"_qs);
}

void TestResultReload::targetFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB4.txt"_qs);
    QStringList names;
    QVERIFY(ReadTargetFile(path, 3, names)); // missing: no names, no failure
    QVERIFY(names.isEmpty());

    writeFile(path, "  router.lan \r\n127.0.0.2\r\nthird\r\nfourth\r\n");
    QVERIFY(ReadTargetFile(path, 3, names));
    QCOMPARE(names, (QStringList{u"router.lan"_qs, u"127.0.0.2"_qs, u"third"_qs}));

    // A file shorter than the test's targets: the targets it does not name take the
    // address their first echo went to; one that never got an echo stays unnamed.
    writeFile(path, "router.lan\r\n");
    QVERIFY(ReadTargetFile(path, 4, names));
    QCOMPARE(names, QStringList{u"router.lan"_qs});
    ReloadedPingTest t = ParseResultFile(
        "4,1,1\r\n2026,12,07,21,05,09,127.0.0.1,32,1,64,0\r\n2026,12,07,21,05,09,127.0.0.2,32,1,64,0\r\n"
        "2026,12,07,21,05,09,127.0.0.3,32,1,64,0\r\n");
    const QList<PingTarget> targets = ReloadedTargets(t, names);
    QCOMPARE(targets.size(), 4);
    QCOMPARE(targets.at(0).name, u"router.lan"_qs);
    QCOMPARE(targets.at(0).address, u"127.0.0.1"_qs);
    QCOMPARE(targets.at(1).name, u"127.0.0.2"_qs);
    QCOMPARE(targets.at(2).name, u"127.0.0.3"_qs);
    QCOMPARE(targets.at(3).name, QString());

    // A huge binary target file yields no more names than asked for.
    QByteArray junk(3 << 20, '\x01');
    junk[100] = '\n';
    writeFile(path, junk);
    QVERIFY(ReadTargetFile(path, 2, names));
    QCOMPARE(names.size(), 2);
    QVERIFY(names.at(1).isEmpty()); // the over-long line is no name

    // A folder where the file should be cannot be read: the reason comes back.
    QFile::remove(path);
    QVERIFY(QDir(dir.path()).mkdir(u"Quellon_DB4.txt"_qs));
    QString error;
    QVERIFY(!ReadTargetFile(path, 2, names, &error));
    QVERIFY(!error.isEmpty());
}

void TestResultReload::readsFileFromDisk()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    QVERIFY(!ReadResultFile(path).headerRead); // missing
    writeFile(path, {});
    QVERIFY(!ReadResultFile(path).headerRead); // empty
    writeFile(path, Header + Answered + UnderOneMs + Lost);
    const ReloadedPingTest t = ReadResultFile(path);
    QVERIFY(t.headerRead);
    QCOMPARE(t.log.size(), 3);
    QCOMPARE(t.header.repeat, 2);
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_qs));
    QVERIFY(!ReadResultFile(dir.filePath(u"folder"_qs)).headerRead);

    // Several pieces' worth, the last line without its line end, and a bad line far in.
    QByteArray big = Header;
    while (big.size() < (5 << 19))
        big += Answered + Lost + UnderOneMs;
    const qsizetype good = (big.count('\n') - 1);
    writeFile(path, big + Answered.trimmed());
    ReloadedPingTest whole = ReadResultFile(path);
    QCOMPARE(whole.log.size(), good + 1);
    QCOMPARE(whole.badLineCount, 0);
    QCOMPARE(whole.stats.lost, ParseResultFile(big).stats.lost);
    writeFile(path, big + "2026,12,07,21,05,09,127.0.0.1,32\r\n" + Answered);
    whole = ReadResultFile(path);
    QCOMPARE(whole.log.size(), good + 1);
    QCOMPARE(whole.badLines, QList<qsizetype>{good + 2});
}

// Whatever a test can store, the next start reads back whole: the largest send size,
// the longest address text, every status, the largest time, TTL and header numbers.
// A full disk takes the first bytes of a line and refuses the rest: the line is taken
// back out, the system's reason is given, and the file reads back exactly the echoes
// that were stored.
void TestResultReload::fullDiskLeavesWholeLines()
{
    QTemporaryDir dir;
    test::FullDisk disk;
    QString why;
    if (!disk.mount(dir.path(), &why))
        QSKIP(qPrintable(why));
    PingResultStore store;
    QVERIFY(store.create(dir.path(), 1, 1, 1, {u"127.0.0.1"_qs}));
    disk.fill();
    // What is left is the rest of the result file's last page.
    int stored = 0;
    while (stored < 100000 && store.append(QString::fromLatin1(Answered.chopped(2))))
        ++stored;
    QCOMPARE(store.errorString(), u"No space left on device"_qs);
    QVERIFY(stored > 0);
    store.close();
    QFile file(dir.filePath(ResultFileName));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(QByteArray("1,1,1\r\n").size() + stored * Answered.size()));
    QCOMPARE(ReadResultFile(file.fileName()).log.size(), stored);
}

void TestResultReload::widestValuesRoundTrip()
{
    QTemporaryDir dir;
    PingResultStore store;
    const int widest = std::numeric_limits<int>::max();
    QVERIFY(store.create(dir.path(), 1, widest, widest, {u"a name of the target"_qs}));

    // The run loop's own path for a text the echo refuses: nothing is sent, and the
    // record keeps the address as the file does, at most 15 characters.
    PingTest test;
    test.setResultStore(&store);
    test.sizePlan = SingleSizePlan(MaxSingleSendSize);
    const QString longest = u"111.222.333.444.555.666"_qs;
    test.begin({{longest, longest}});
    test.Ping_IP(longest);
    QCOMPARE(test.log().address(test.log().at(0)), longest.left(15));

    // Every status the echo can report, recorded as a ping records it.
    QList<qint32> statuses{0, 500, 11050, 11255, -1, 4242};
    for (qint32 s = 11001; s <= 11023; ++s)
        statuses << s;
    const QDateTime when(QDate(2026, 12, 31), QTime(23, 59, 59));
    for (qint32 status : std::as_const(statuses)) {
        EchoReply reply;
        reply.roundTripTime = quint32(widest);
        reply.ttl = 255;
        RecordReply(test.stats(), test.log(), when, u"255.255.255.255"_qs, MaxSingleSendSize,
                    status, reply);
        QVERIFY(store.append(ReplyLine(test.log().last(), u"255.255.255.255"_qs)));
    }
    test.requestStop();
    store.close();

    const ReloadedPingTest back = ReadResultFile(dir.filePath(ResultFileName));
    QVERIFY(back.headerRead);
    QCOMPARE(back.badLineCount, 0);
    QCOMPARE(back.header.sizeStepLength, widest);
    QCOMPARE(back.header.repeat, widest);
    QCOMPARE(back.log.size(), test.log().size());
    for (qsizetype i = 0; i < back.log.size(); ++i) {
        const PingReplyRecord &a = back.log.at(i), &b = test.log().at(i);
        QCOMPARE(ReplyLine(a, back.log.address(a)), ReplyLine(b, test.log().address(b)));
    }
    QCOMPARE(back.stats.lost, test.stats().lost);
    QCOMPARE(back.stats.maxTime, widest);
}

// The widest address a target can be, 39 characters of IPv6 and a zone, is never
// cut: from the list through the result and target files, the reload and its reading
// back by position, every export, the report and the graph.
void TestResultReload::widestIpv6RoundTrip()
{
    const QString widest = u"fe80:1234:5678:9abc:def0:1234:5678:9abc%veth1"_qs;
    QCOMPARE(widest.size(), 45);
    TargetTable table;
    table.setLetWindowCatchUp(false);
    table.ExpandListItem(u"A"_qs + widest);
    QCOMPARE(table.targets().address(0), widest);

    QTemporaryDir dir;
    std::atomic<bool> cancel = false;
    std::atomic<qsizetype> written = 0;
    PingResultStore store;
    QVERIFY(WriteTargetFile(dir.path(), table.targets(), cancel, written));
    QVERIFY(store.createResultFile(dir.path(), 1, 1, 1));
    PingSessionStats stats;
    PingReplyLog log;
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 0));
    const int echoes = 3 * StoredEchoIndex::Stride + 5; // read back across the index's steps
    for (int i = 0; i < echoes; ++i) {
        EchoReply reply;
        reply.roundTripTime = 3;
        reply.ttl = 64;
        RecordReply(stats, log, start.addSecs(i), widest, 32, i % 10 == 9 ? 11010 : 0, reply);
        QVERIFY(store.append(ReplyLine(log.last(), widest)));
    }
    store.close();
    QFile file(dir.filePath(ResultFileName));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(",21,05,00," + widest.toUtf8() + ",32,3,64,0\r\n"));

    const ReloadedPingTest back = ReadResultFile(dir.filePath(ResultFileName));
    QCOMPARE(back.badLineCount, 0);
    QCOMPARE(back.log.size(), echoes);
    for (qsizetype row : {qsizetype(0), StoredEchoIndex::Stride + 1, qsizetype(echoes - 1)})
        QCOMPARE(back.log.address(back.log.at(row)), widest);
    QVERIFY(back.stats.lastLine.contains(u"Reply from "_qs + widest + u":  bytes=32"_qs));
    QStringList names;
    QVERIFY(ReadTargetFile(dir.filePath(TargetFileName), 1, names));
    QCOMPARE(names, QStringList{widest});

    const PingExportSource source{&back.log, back.stats, names, 1, 1};
    for (const QString &kind : {u"txt"_qs, u"csv"_qs, u"json"_qs}) {
        const QString path = dir.filePath(u"export."_qs + kind);
        QVERIFY(SavePingExport(path, kind, source));
        QFile exported(path);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QByteArray bytes = exported.readAll();
        const QByteArray expected = kind == u"txt"_qs ? "Reply from " + widest.toUtf8() + "  bytes=32"
                                    : kind == u"csv"_qs ? "," + widest.toUtf8() + ",32,3,64,"
                                                        : "\"" + widest.toUtf8() + "\"";
        QVERIFY2(bytes.contains(expected), qPrintable(kind));
    }

    SummaryReport report;
    QCOMPARE(BuildSummaryReport({&back.log, names, 1, 1, 1}, ReportGrouping::TimePeriod, 60, report),
             ReportResult::Built);
    QCOMPARE(report.hosts.at(0).address, widest);
    QVERIFY(ReportTextLines(report).contains(u"IP: "_qs + widest));
    QVERIFY(ReportCsvLines(report).contains(u"IP: "_qs + widest));

    LatencyGraphData graph;
    graph.attach(&back.log, names, 1);
    QVERIFY(graph.catchUp());
    const double from = double(EchoSeconds(back.log.at(0)));
    QCOMPARE(graph.echoNear(from, from + echoes, 0, 3).address, widest);
}

// A file read in blocks by two threads is read as in one pass through memory, wherever
// the blocks are cut: every file of the fuzzing corpus, and a long test with lines
// left out, over-long lines across blocks and no last line end.
void TestResultReload::blockReadAsOnePass()
{
    QList<std::pair<QString, QByteArray>> files;
    QDirIterator corpus(QStringLiteral(FUZZ_CORPUS), QDir::Files, QDirIterator::Subdirectories);
    while (corpus.hasNext()) {
        QFile f(corpus.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        files.append({corpus.filePath(), f.readAll()});
    }
    QVERIFY(files.size() >= 20);
    QByteArray longTest = "4,1,3\r\n";
    const QDateTime start(QDate(2026, 12, 31), QTime(23, 50, 0));
    QByteArray stamp;
    for (int i = 0; i < 40000; ++i) {
        if (i % 5 == 0)
            stamp = start.addSecs(i / 5).toString(u"yyyy,MM,dd,HH,mm,ss,"_qs).toLatin1();
        if (i % 997 == 500)
            longTest += "2026,12,31,23,5\r\n";
        if (i % 5003 == 2000)
            longTest += QByteArray(700 + i % 300, '4') + "\r\n";
        const bool lost = i % 11 == 3;
        longTest += stamp + "10.1.0."
                    + QByteArray::number(1 + (i / 3) % 4) + ",32,"
                    + (lost ? QByteArray("-1,0,11010") : QByteArray::number(i % 70) + ",64,0")
                    + (i % 13 ? "\r\n" : "\n");
    }
    longTest.chop(2); // no line end after the last echo
    files.append({u"long test"_qs, longTest});
    files.append({u"long test with an empty line"_qs, longTest.left(longTest.size() / 3 * 2) + "\r\n\r\n"
                                                      + longTest.mid(longTest.size() / 3 * 2)});

    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    for (const auto &[name, contents] : std::as_const(files)) {
        writeFile(path, contents);
        const ReloadedPingTest expected = ParseResultFile(contents);
        const bool small = contents.size() < (64 << 10);
        // Blocks cut at every place a line can be cut; the helper thread reads the
        // larger ones (the smallest would only measure the threads' hand-overs).
        for (const qsizetype block : {1, 29, 30, 31, 511, 512, 513, 514, 4096, 65536}) {
            if (!small && block < 4096)
                continue;
            const bool readAhead = block > 64;
            QCOMPARE(difference(ReadResultFile(path, {}, {block, readAhead}), expected), QString());
            QCOMPARE(difference(ParseResultFile(contents, {}, {block, readAhead}), expected), QString());
        }
    }
    const ReloadedPingTest whole = ParseResultFile(longTest);
    QCOMPARE(whole.log.size(), 40000);
    QCOMPARE(whole.badLineCount, 40 + 8); // the short lines and the over-long ones
}

void TestResultReload::fileBackedLogReadsAsInMemory_data()
{
    QTest::addColumn<int>("targets");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("echoes");
    QTest::addColumn<QByteArray>("tail"); // after the echoes
    // Passes shorter and longer than the index's step, a last line without its line
    // end, and a crash mid-line: every echo before the cut is read back.
    QTest::newRow("3 x 2") << 3 << 2 << 1000 << QByteArray();
    QTest::newRow("2 x 40, no final line end") << 2 << 40 << 777 << QByteArray("\n");
    QTest::newRow("one target, cut mid-line") << 1 << 1 << 129 << QByteArray("2026,12,07,21,0");
    QTest::newRow("5 x 1, cut after CR") << 5 << 1 << 64 << QByteArray("2026,12,07,21,05,09,127.0.0.1,32\r");
    QTest::newRow("3 x 2, read in several pieces") << 3 << 2 << 30000 << QByteArray();
}

void TestResultReload::fileBackedLogReadsAsInMemory()
{
    QFETCH(int, targets);
    QFETCH(int, repeat);
    QFETCH(int, echoes);
    QFETCH(QByteArray, tail);
    QByteArray file = QByteArray::number(targets) + ",1," + QByteArray::number(repeat) + "\r\n";
    const QDateTime start(QDate(2026, 12, 31), QTime(23, 0, 0));
    for (int i = 0; i < echoes; ++i) {
        const QDateTime t = start.addSecs(i * 7);
        const bool lost = i % 7 == 3;
        file += t.toString(u"yyyy,MM,dd,HH,mm,ss,"_qs).toLatin1() + "127.0.0."
                + QByteArray::number(1 + (i / repeat) % targets) + ",32,"
                + (lost ? QByteArray("-1,0,11010") : QByteArray::number(i % 50) + ",64,0") + "\r\n";
    }
    if (tail == "\n")
        file.chop(2); // the last echo without its line end
    else
        file += tail;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    writeFile(path, file);

    const ReloadedPingTest memory = ParseResultFile(file);
    const ReloadedPingTest stored = ReadResultFile(path);
    QVERIFY(stored.log.isFileBacked());
    QVERIFY(stored.log.memoryRecords().empty());
    QCOMPARE(stored.log.size(), echoes);
    QCOMPARE(memory.log.size(), echoes);
    QCOMPARE(stored.stats.lastLine, memory.stats.lastLine);
    QCOMPARE(stored.stats.sumTime, memory.stats.sumTime);

    // Every row from a whole pass, then pages from anywhere, back and forth.
    const auto line = [](const PingReplyRecord &r, const QString &address) { return ReplyLine(r, address); };
    EchoCursor pass(stored.log, true);
    PingReplyRecord r;
    QString address;
    for (int i = 0; i < echoes; ++i) {
        QVERIFY(pass.next(r, address));
        QCOMPARE(line(r, address), line(memory.log.at(i), memory.log.address(memory.log.at(i))));
    }
    QVERIFY(!pass.next(r, address));
    QVERIFY(!pass.failed());
    for (const int top : {echoes - 20, 0, 63, 64, 65, echoes / 2, 1, echoes - 1}) {
        QStringList rows;
        QVERIFY(stored.log.readRows(qMax(top, 0), 20, [&](qsizetype, const PingReplyRecord &e, const QString &a) {
            rows << line(e, a);
            return true;
        }));
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rows.at(i), line(memory.log.at(qMax(top, 0) + i), memory.log.address(memory.log.at(qMax(top, 0) + i))));
    }

    // Both exports, target by target, are those of the records in memory.
    QStringList names;
    for (int k = 0; k < targets; ++k)
        names << u"127.0.0.%1"_qs.arg(k + 1);
    const PingExportSource fromFile{&stored.log, stored.stats, names, repeat};
    const PingExportSource fromMemory{&memory.log, memory.stats, names, repeat};
    QCOMPARE(PingCsvExportLines(fromFile), PingCsvExportLines(fromMemory));
    QCOMPARE(PingTextExportLines(fromFile), PingTextExportLines(fromMemory));
    QCOMPARE(ReloadedTargets(stored, {}).size(), targets);
    QCOMPARE(ReloadedTargets(stored, {}).last().address, names.last());

    // The file changed underneath: nothing is read from it as if it were the same.
    writeFile(path, file.left(file.size() / 2));
    QVERIFY(!stored.log.isCurrent());
    QVERIFY(!stored.log.readRows(echoes / 2, 20, [](qsizetype, const PingReplyRecord &, const QString &) { return true; }));
    QString error;
    QVERIFY(!SavePingExport(dir.filePath(u"out.csv"_qs), u"csv"_qs, fromFile, &error));
    QCOMPARE(error, u"The result file has changed since it was read."_qs);
}

QTEST_GUILESS_MAIN(TestResultReload)
#include "tst_resultreload.moc"
