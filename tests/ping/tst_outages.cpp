// The outages of a test: the rule as a table of echo sequences, each checked as the
// run loop feeds it and as the reload finds it in the result file; the reload's
// one-pass figures against a reference read from the file line by line.

#include "ping/outagefinder.h"
#include "ping/pingsettings.h"
#include "ping/resultreload.h"

#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace netvane;

namespace {

// 2026-12-09 14:02:13, counted as EchoSeconds counts.
constexpr qint64 Base = 1796824933;

// A line of the result file for echo `row` (one a second from Base).
QByteArray echoLine(qint64 row, const QString &address, bool answered)
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(Base + row, Qt::UTC);
    return t.toString(u"yyyy,MM,dd,HH,mm,ss"_qs).toLatin1() + ',' + address.toLatin1()
           + (answered ? ",32,1,64,0\r\n" : ",32,-1,0,11010\r\n");
}

// "target:firstRow-endRow/lost", the end row empty while it goes on, by first row.
QString listed(const OutageFinder &f)
{
    QStringList out;
    for (const Outage &o : f.outages())
        out << u"%1:%2-%3/%4"_qs.arg(f.target(o.target).section(u'.', 3))
                   .arg(o.firstRow)
                   .arg(o.ongoing() ? QString() : QString::number(o.end - Base))
                   .arg(o.lost);
    return out.join(u' ');
}

} // namespace

class TestOutages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rule_data();
    void rule();
    void totals();
    void reloadAgainstReference();
    void setting_data();
    void setting();
};

void TestOutages::rule_data()
{
    // Echoes one a second: a digit is the last byte of the address, + answered, - lost.
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("echoes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("N=3, two lost are none") << 3 << u"1+ 1- 1- 1+"_qs << QString();
    QTest::newRow("N=3, three lost are one") << 3 << u"1+ 1- 1- 1- 1+"_qs << u"1:1-4/3"_qs;
    QTest::newRow("N=1, each lost echo") << 1 << u"1- 1+ 1- 1- 1+"_qs << u"1:0-1/1 1:2-4/2"_qs;
    QTest::newRow("losses at the start") << 3 << u"1- 1- 1- 1- 1+ 1+"_qs << u"1:0-4/4"_qs;
    QTest::newRow("stopped mid-outage") << 3 << u"1+ 1- 1- 1- 1-"_qs << u"1:1-/4"_qs;
    QTest::newRow("two short of it at the end") << 3 << u"1+ 1- 1-"_qs << QString();
    QTest::newRow("interleaved targets") << 3 << u"1- 2- 1- 2+ 1- 2- 1+ 2- 2- 2+"_qs
                                         << u"1:0-6/3 2:5-9/3"_qs;
    QTest::newRow("one target's answers end no other's") << 2 << u"1- 1- 2+ 2+ 1- 1+"_qs
                                                         << u"1:0-5/3"_qs;
    QTest::newRow("N=1, every target lost at the end") << 1 << u"1+ 2+ 1- 2-"_qs
                                                       << u"1:2-/1 2:3-/1"_qs;
}

void TestOutages::rule()
{
    QFETCH(int, after);
    QFETCH(QString, echoes);
    QFETCH(QString, expected);

    // As the run loop feeds it, with its began and ended as they come.
    OutageFinder live(after);
    int began = 0, ended = 0;
    live.began = [&](const Outage &o) { ++began; QVERIFY(o.ongoing()); };
    live.ended = [&](const Outage &o) { ++ended; QVERIFY(!o.ongoing()); };
    QByteArray file = "2,1,1\r\n";
    qint64 row = 0;
    for (const QString &e : echoes.split(u' ')) {
        const QString address = u"127.0.0."_qs + e.at(0);
        live.echo(row, address, e.at(1) == u'+', Base + row);
        file += echoLine(row++, address, e.at(1) == u'+');
    }
    QCOMPARE(listed(live), expected);
    QCOMPARE(began, int(live.count()));
    QCOMPARE(ended, int(expected.count(u'-') - expected.count(u"-/"_qs)));

    // As the reload finds it: in memory and from the file, in blocks so small that
    // runs of lost echoes cross them, read on one core and on two.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"result.txt"_qs);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    for (const qsizetype blockBytes : {qsizetype(64), qsizetype(256 << 10)}) {
        const ResultReadOptions options{blockBytes, true, after};
        QCOMPARE(listed(ParseResultFile(file, {}, options).outages), expected);
        const ReloadedPingTest reloaded = ReadResultFile(path, {}, options);
        QCOMPARE(listed(reloaded.outages), expected);
        QCOMPARE(reloaded.outages.lastTime(), Base + row - 1);
    }
}

void TestOutages::totals()
{
    // 100 s of test: "a" down from 10 s to 40 s, and from 70 s on (to the last echo).
    OutageFinder f(1);
    for (const auto &[address, answered, time] : {std::tuple(u"a"_qs, true, 0), std::tuple(u"a"_qs, false, 10),
                                                  std::tuple(u"a"_qs, true, 40), std::tuple(u"a"_qs, false, 70),
                                                  std::tuple(u"b"_qs, true, 100)})
        f.echo(time, address, answered, time);
    QCOMPARE(OutageTotalsText(f.totals(u"a"_qs)), u"2 outages, down 1 min 0 s, longest 30 s, available 40.00 %"_qs);
    QCOMPARE(f.totals(u"b"_qs).availability, 100.0);
    QCOMPARE(OutageDurationText(3 * 3600 + 161), u"3 h 2 min 41 s"_qs);
}

void TestOutages::reloadAgainstReference()
{
    // 60,000 echoes to three targets in turn, lost in bursts of 1 to 8.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"result.txt"_qs);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("3,1,1\r\n");
        QRandomGenerator random(24);
        int burst[3] = {};
        for (qint64 row = 0; row < 60000; ++row) {
            const int k = int(row % 3);
            if (burst[k] == 0 && random.bounded(40) == 0)
                burst[k] = 1 + random.bounded(8);
            f.write(echoLine(row, u"10.0.0."_qs + QString::number(k + 1), burst[k] == 0));
            if (burst[k] > 0)
                --burst[k];
        }
    }
    const ReloadedPingTest test = ReadResultFile(path, {}, {64 << 10, true, 3});

    // The reference: the file read again line by line, the rule counted per address.
    struct Run { qint64 start = -1, row = 0, lost = 0; };
    QMap<QString, Run> runs;
    QStringList reference;
    QMap<QString, qint64> downtime;
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    f.readLine();
    qint64 row = 0, last = 0;
    while (!f.atEnd()) {
        const QList<QByteArray> field = f.readLine().trimmed().split(',');
        const QDateTime t(QDate(field[0].toInt(), field[1].toInt(), field[2].toInt()),
                          QTime(field[3].toInt(), field[4].toInt(), field[5].toInt()), Qt::UTC);
        const qint64 time = last = t.toSecsSinceEpoch();
        const QString address = QString::fromLatin1(field[6]);
        Run &r = runs[address];
        if (field[8].toInt() < 0) {
            if (r.lost++ == 0) {
                r.start = time;
                r.row = row;
            }
        } else {
            if (r.lost >= 3) {
                reference << u"%1:%2-%3/%4"_qs.arg(address.section(u'.', 3)).arg(r.row).arg(time - Base).arg(r.lost);
                downtime[address] += time - r.start;
            }
            r = Run{};
        }
        ++row;
    }
    for (auto it = runs.cbegin(); it != runs.cend(); ++it) {
        if (it->lost >= 3) {
            reference << u"%1:%2-/%3"_qs.arg(it.key().section(u'.', 3)).arg(it->row).arg(it->lost);
            downtime[it.key()] += last - it->start;
        }
    }
    std::sort(reference.begin(), reference.end(), [](const QString &a, const QString &b) {
        return a.section(u':', 1).section(u'-', 0, 0).toLongLong() < b.section(u':', 1).section(u'-', 0, 0).toLongLong();
    });
    QVERIFY(reference.size() > 100);
    QCOMPARE(listed(test.outages), reference.join(u' '));
    for (auto it = downtime.cbegin(); it != downtime.cend(); ++it)
        QCOMPARE(test.outages.totals(it.key()).downtime, it.value());
    QCOMPARE(test.stats.sent, 60000);
}

void TestOutages::setting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // 0: refused
    QTest::newRow("empty") << QString() << 3;
    QTest::newRow("lowest") << u"1"_qs << 1;
    QTest::newRow("highest") << u" 1000 "_qs << 1000;
    QTest::newRow("zero") << u"0"_qs << 0;
    QTest::newRow("above") << u"1001"_qs << 0;
    QTest::newRow("not whole") << u"2.5"_qs << 0;
    QTest::newRow("words") << u"three"_qs << 0;
}

void TestOutages::setting()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    int n = -1;
    const SettingCheck check = CheckOutageAfter(text, n);
    QCOMPARE(check.passed, expected > 0);
    QCOMPARE(n, expected > 0 ? expected : DefaultOutageAfter);
    if (!check.passed)
        QVERIFY(check.boxText().contains(u"from 1 to 1000"_qs));
}

QTEST_GUILESS_MAIN(TestOutages)
#include "tst_outages.moc"
