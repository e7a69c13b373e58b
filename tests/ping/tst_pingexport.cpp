// The text and CSV layouts of a ping test's results, compared line by line with
// files written out by hand for three kinds of test.

#include "ping/pingexport.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace netvane;

namespace {

struct Echo {
    int time; // -1: lost
    int ttl;
};

// A test of the given targets, addresses 127.0.0.<k+1>, send size 32, one echo per
// second from 21:05:09 on 7 December 2026; `echoes` in the order sent.
PingExportSource makeTest(PingReplyLog &log, const QStringList &targets, int repeat,
                          const QList<Echo> &echoes)
{
    PingExportSource s;
    s.log = &log;
    s.targets = targets;
    s.repeat = repeat;
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9));
    const qsizetype perPass = qsizetype(repeat) * targets.size();
    for (qsizetype i = 0; i < echoes.size(); ++i) {
        const qsizetype k = (i % perPass) / repeat;
        EchoReply reply;
        reply.roundTripTime = quint32(qMax(echoes[i].time, 0));
        reply.ttl = quint8(echoes[i].ttl);
        RecordReply(s.stats, log, start.addSecs(i), u"127.0.0.%1"_qs.arg(k + 1), 32,
                    echoes[i].time < 0 ? 11010 : 0, reply);
    }
    return s;
}

QStringList expectedLines(const QString &name)
{
    const QString path = QFINDTESTDATA(u"exportdata/"_qs + name);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {u"missing expected file "_qs + name};
    QByteArray bytes = f.readAll();
    QStringList lines = QString::fromUtf8(bytes).split(u"\r\n"_qs);
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void compareLines(const QStringList &actual, const QStringList &expected)
{
    for (qsizetype i = 0; i < qMin(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i])
            qWarning("line %lld differs", qlonglong(i + 1));
        QCOMPARE(actual[i], expected[i]);
    }
    QCOMPARE(actual.size(), expected.size());
}

} // namespace

class TestPingExport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void layouts_data();
    void layouts();
    void passSelection_data();
    void passSelection();
    void fileName();
    void savedFile();
};

void TestPingExport::initTestCase()
{
    // Dates and times in exports follow the user's locale; pin one.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestPingExport::layouts_data()
{
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QList<Echo>>("echoes");
    QTest::addColumn<QString>("expected");

    // Three targets, two echoes each per pass, four passes: 24 echoes. Target 2 is
    // a name, so the CSV lists the name and the text the address.
    QList<Echo> full;
    for (int i = 0; i < 24; ++i)
        full << (i % 7 == 3 ? Echo{-1, 0} : Echo{i % 5 == 0 ? 0 : 10 + i, 64 - i % 2});
    const QStringList three{u"127.0.0.1"_qs, u"router.lan"_qs, u"127.0.0.3"_qs};
    QTest::newRow("3 targets, repeat 2, 4 passes") << three << 2 << full << u"full"_qs;
    // Stopped in the third pass after target 1's two echoes and one of target 2's.
    QTest::newRow("stopped mid-pass") << three << 2 << full.mid(0, 15) << u"stopped"_qs;
    QTest::newRow("no reply at all")
        << QStringList{u"127.0.0.1"_qs, u"127.0.0.2"_qs} << 1
        << QList<Echo>{{-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}} << u"noreply"_qs;
}

void TestPingExport::layouts()
{
    QFETCH(QStringList, targets);
    QFETCH(int, repeat);
    QFETCH(QList<Echo>, echoes);
    QFETCH(QString, expected);
    PingReplyLog log;
    const PingExportSource source = makeTest(log, targets, repeat, echoes);
    compareLines(PingTextExportLines(source), expectedLines(expected + u".txt"_qs));
    compareLines(PingCsvExportLines(source), expectedLines(expected + u".csv"_qs));
}

void TestPingExport::passSelection_data()
{
    QTest::addColumn<int>("logSize");
    QTest::addColumn<int>("targets");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<int>("target");
    QTest::addColumn<QList<qsizetype>>("indexes");
    QTest::newRow("3x2, 4 passes, target 2")
        << 24 << 3 << 2 << 1 << QList<qsizetype>{2, 3, 8, 9, 14, 15, 20, 21};
    QTest::newRow("3x2, 4 passes, target 3")
        << 24 << 3 << 2 << 2 << QList<qsizetype>{4, 5, 10, 11, 16, 17, 22, 23};
    QTest::newRow("stopped inside target 2's echoes")
        << 15 << 3 << 2 << 1 << QList<qsizetype>{2, 3, 8, 9, 14};
    QTest::newRow("stopped before target 3") << 15 << 3 << 2 << 2 << QList<qsizetype>{4, 5, 10, 11};
    QTest::newRow("one target") << 4 << 1 << 1 << 0 << QList<qsizetype>{0, 1, 2, 3};
    QTest::newRow("empty log") << 0 << 3 << 2 << 0 << QList<qsizetype>{};
    QTest::newRow("no repeat") << 10 << 3 << 0 << 0 << QList<qsizetype>{};
    QTest::newRow("target out of range") << 10 << 3 << 1 << 3 << QList<qsizetype>{};
}

void TestPingExport::passSelection()
{
    QFETCH(int, logSize);
    QFETCH(int, targets);
    QFETCH(int, repeat);
    QFETCH(int, target);
    QFETCH(QList<qsizetype>, indexes);
    QList<qsizetype> seen;
    ForEachEchoOfTarget(logSize, targets, repeat, target, [&](qsizetype i) { seen << i; });
    QCOMPARE(seen, indexes);
}

void TestPingExport::fileName()
{
    PingReplyLog log;
    const PingExportSource s = makeTest(log, {u"127.0.0.1"_qs}, 1, {{5, 64}});
    QCOMPARE(PingExportFileName(s.stats), u"Ping_Test_Log_12072105"_qs);
}

void TestPingExport::savedFile()
{
    PingReplyLog log;
    const PingExportSource source =
        makeTest(log, {u"127.0.0.1"_qs, u"127.0.0.2"_qs}, 1, {{5, 64}, {-1, 0}});
    QTemporaryDir dir;
    for (const QString ext : {u"txt"_qs, u"csv"_qs}) {
        const QString path = dir.filePath(u"out."_qs + ext);
        QVERIFY(SavePingExport(path, ext, source));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const QStringList lines = ext == u"csv" ? PingCsvExportLines(source) : PingTextExportLines(source);
        QCOMPARE(bytes, (lines.join(u"\r\n"_qs) + u"\r\n"_qs).toUtf8());
    }
    QString error;
    QVERIFY(!SavePingExport(dir.filePath(u"no/such/folder/x.txt"_qs), u"txt"_qs, source, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestPingExport)
#include "tst_pingexport.moc"
