// The traceroute output files as the window reads them back, and the log export
// made of the lines read.

#include "support/testenv.h"
#include "traceroute/tracefile.h"

#include <QtTest>

using namespace netvane;

class TestTraceFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void exportLayout();
};

void TestTraceFile::parse_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("tableSize");
    QTest::addColumn<QString>("startTime");
    QTest::addColumn<QStringList>("expected");

    const QByteArray trace = "\r\nTracing route to 10.0.0.2\r\nover a maximum of 2 hops:\r\n\r\n"
                             "  1    <1 ms    <1 ms    <1 ms  10.0.0.1\r\n\r\nTrace complete.\r\n";
    const QStringList lines = {{}, u"(3) Tracing route to 10.0.0.2"_qs, u"over a maximum of 2 hops:"_qs,
                               {}, u"1    <1 ms    <1 ms    <1 ms  10.0.0.1"_qs, {}};
    QTest::newRow("finished, stamped") << trace << 11 << u"12/8/26 18:00:01"_qs
                                       << lines + QStringList{u"Trace complete.      From  12/8/26 18:00:01  to  LAST"_qs};
    QTest::newRow("reloaded, no stamp") << trace << 11 << QString()
                                        << lines + QStringList{u"Trace complete."_qs};
    // A table of 3 entries keeps 3 lines and never more.
    QTest::newRow("past the table") << trace << 3 << QString() << lines.mid(0, 3);
    QTest::newRow("end marker, LF ends, control characters")
        << QByteArray("a\tb\x01" "c\nTracing x\n=-=-=-=\nlost\n") << 11 << QString()
        << QStringList{u"a b c"_qs, u"(3) Tracing x"_qs};
    QTest::newRow("empty file keeps the header") << QByteArray() << 11 << QString()
                                                 << QStringList{u"HEADER"_qs};
}

void TestTraceFile::parse()
{
    QFETCH(QByteArray, file);
    QFETCH(int, tableSize);
    QFETCH(QString, startTime);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"TMP2.txt"_qs);
    test::WriteFileBytes(path, file);
    TraceHostLines host;
    host.lines = {u"HEADER"_qs};
    QVERIFY(ParseTraceFile(path, 2, startTime, u"LAST"_qs, tableSize, host));
    QCOMPARE(host.lines, expected);
    QCOMPARE(host.lineCount, file.isEmpty() ? 0 : int(expected.size()));

    // A file that cannot be read leaves the lines as they were.
    const TraceHostLines before = host;
    QVERIFY(!ParseTraceFile(dir.filePath(u"missing.txt"_qs), 2, startTime, u"LAST"_qs, tableSize, host));
    QCOMPARE(host.lines, before.lines);
    QCOMPARE(host.lineCount, before.lineCount);
}

void TestTraceFile::exportLayout()
{
    TraceHostLines finished;
    finished.lines = {u"(1) Tracing route to a"_qs, u"Trace complete."_qs};
    finished.lineCount = 2;
    TraceHostLines launched; // its file never read: the launch header alone
    launched.lines = {u"(2) Tracing route to b over a maximum of 30 hops ......"_qs};
    const TraceHostLines neverLaunched;
    QCOMPARE(TraceExportLines({finished, launched, neverLaunched}),
             (QStringList{u"Tracing route to 3 hosts."_qs, u" "_qs, u"(1) Tracing route to a"_qs,
                          u"Trace complete."_qs, QString(),
                          u"(2) Tracing route to b over a maximum of 30 hops ......"_qs, QString(),
                          u" "_qs}));
    QCOMPARE(TraceExportFileName(u"2026-12-08 18:05:09 PM"_qs), u"Traceroute_Log_2026120818050"_qs);
}

QTEST_GUILESS_MAIN(TestTraceFile)
#include "tst_tracefile.moc"
