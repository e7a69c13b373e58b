// The command history file and the address picker's replacement, on real files.

#include "console/commandhistory.h"
#include "platform/textfile.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace netvane;

class TestCommandHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void missingFileGetsDefaults();
    void readingStopsAtFirstEmptyLine_data();
    void readingStopsAtFirstEmptyLine();
    void addIgnoresExactDuplicates();
    void keepLast();
    void removeRowsOfSortedView();
    void clearAllLeavesEmptyFile();
    void sortByFirst30Characters();
    void importKeepsLinesBeforeEmptyLine();
    void importOfItselfKeepsHistory();
    void foreignLinesSurviveARewrite();
    void exportName();
    void replaceAddressToken_data();
    void replaceAddressToken();

private:
    QByteArray fileBytes() const;
    void writeHistory(const QByteArray &bytes) const;

    std::unique_ptr<test::IsolatedFolders> m_folders;
    QString m_dataFolder;
};

void TestCommandHistory::init()
{
    m_folders = std::make_unique<test::IsolatedFolders>();
    m_dataFolder = m_folders->dataFolder();
    QVERIFY(QDir().mkpath(m_dataFolder));
}

QByteArray TestCommandHistory::fileBytes() const
{
    QFile file(QDir(m_dataFolder).filePath(HistoryFileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestCommandHistory::writeHistory(const QByteArray &bytes) const
{
    QFile file(QDir(m_dataFolder).filePath(HistoryFileName));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void TestCommandHistory::missingFileGetsDefaults()
{
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    QCOMPARE(history.entries(), DefaultHistory());
    QCOMPARE(history.view(), DefaultHistory());
    // Commands that exist here, each in the place of the one that did its job.
    QCOMPARE(fileBytes(), QByteArray("tracert www.debian.org\r\n"
                                     "tracert www.kernel.org\r\n"
                                     "ip address\r\n"
                                     "hostname\r\n"
                                     "hostnamectl\r\n"
                                     "ip neigh\r\n"
                                     "cp -a test test2\r\n"
                                     "ss -tuna\r\n"
                                     "getent ahosts www.debian.org\r\n"
                                     "arp -a\r\n"
                                     "ip neigh flush all\r\n"
                                     " \r\n"));
    QCOMPARE(BuiltInCommands(),
             (QStringList{u"tracert"_qs, u"ss -tuna"_qs, u"nbtstat"_qs, u"ip -brief address"_qs,
                          u"ip address"_qs, u"arp"_qs, u"arp -a"_qs, u"ip neigh flush all"_qs,
                          u"who"_qs, u"ip route"_qs, u"ping"_qs, u"tracepath"_qs, u"ls -l"_qs,
                          u"getent ahosts"_qs, u"ip neigh"_qs, u"findmnt -t cifs,nfs,nfs4"_qs,
                          u"ss -tn state established"_qs, u"ip help"_qs}));
}

void TestCommandHistory::readingStopsAtFirstEmptyLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("first line empty") << QByteArray("\r\nnetstat\r\n \r\n") << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("blank end line") << QByteArray("a\r\nb\r\n \r\nc\r\n")
                                    << QStringList{u"a"_qs, u"b"_qs};
    QTest::newRow("trimmed, LF ends") << QByteArray("  ping x  \n\thostname\n")
                                      << QStringList{u"ping x"_qs, u"hostname"_qs};
    QTest::newRow("no end line") << QByteArray("a\r\nb") << QStringList{u"a"_qs, u"b"_qs};
}

void TestCommandHistory::readingStopsAtFirstEmptyLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, entries);
    writeHistory(file);
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    QCOMPARE(history.entries(), entries);
    QCOMPARE(fileBytes(), file); // reading never rewrites
}

void TestCommandHistory::addIgnoresExactDuplicates()
{
    writeHistory("netstat\r\nhostname\r\n \r\n");
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    bool added = true;
    QVERIFY(history.add(u"  netstat "_qs, &added, &error));
    QVERIFY(!added);
    QVERIFY(history.add(QString(), &added, &error));
    QVERIFY(!added);
    QCOMPARE(fileBytes(), QByteArray("netstat\r\nhostname\r\n \r\n"));
    QVERIFY(history.add(u" NETSTAT"_qs, &added, &error));
    QVERIFY(added);
    QCOMPARE(history.entries(), (QStringList{u"netstat"_qs, u"hostname"_qs, u"NETSTAT"_qs}));
    QCOMPARE(fileBytes(), QByteArray("netstat\r\nhostname\r\nNETSTAT\r\n \r\n"));
}

void TestCommandHistory::keepLast()
{
    QStringList seven;
    for (int i = 1; i <= 7; ++i)
        seven << u"cmd %1"_qs.arg(i);
    QVERIFY(WriteTextLines(QDir(m_dataFolder).filePath(HistoryFileName), seven << u" "_qs));
    seven.removeLast();
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    QVERIFY(history.keepLast(10, &error));
    QCOMPARE(history.entries(), seven);
    QVERIFY(history.keepLast(7, &error));
    QCOMPARE(history.entries(), seven);
    QVERIFY(history.keepLast(3, &error));
    QCOMPARE(history.entries(), seven.mid(4));
    QCOMPARE(fileBytes(), QByteArray("cmd 5\r\ncmd 6\r\ncmd 7\r\n \r\n"));
}

void TestCommandHistory::removeRowsOfSortedView()
{
    writeHistory("c\r\na\r\nd\r\nb\r\n \r\n");
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    history.sortView();
    QCOMPARE(history.view(), (QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs}));
    QVERIFY(history.removeViewRows({1, 2}, &error)); // b and c
    QCOMPARE(history.entries(), (QStringList{u"a"_qs, u"d"_qs}));
    QVERIFY(!history.isSorted());
    QCOMPARE(fileBytes(), QByteArray("a\r\nd\r\n \r\n"));
}

void TestCommandHistory::clearAllLeavesEmptyFile()
{
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    QVERIFY(history.clearAll(&error));
    QVERIFY(history.entries().isEmpty());
    QCOMPARE(fileBytes(), QByteArray());
    QVERIFY(history.load(&error)); // the defaults do not come back
    QVERIFY(history.entries().isEmpty());
}

void TestCommandHistory::sortByFirst30Characters()
{
    const QString head(30, u'x');
    writeHistory((head + u"2\r\nb\r\nB\r\n"_qs + head + u"1\r\n10\r\n \r\n"_qs).toUtf8());
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    const QStringList fileOrder = history.entries();
    history.sortView();
    QVERIFY(history.isSorted());
    // By character code, capitals first; equal first 30 characters keep file order.
    QCOMPARE(history.view(),
             (QStringList{u"10"_qs, u"B"_qs, u"b"_qs, head + u'2', head + u'1'}));
    QCOMPARE(history.entries(), fileOrder);
    QVERIFY(history.load(&error));
    QVERIFY(!history.isSorted());
    QCOMPARE(history.view(), fileOrder);
}

void TestCommandHistory::importKeepsLinesBeforeEmptyLine()
{
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    const QString source = QDir(m_folders->path()).filePath(u"import.txt"_qs);
    QFile file(source);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("ipconfig\r\nroute print\r\n\r\nnetstat\r\n");
    file.close();
    QVERIFY(history.importFrom(source, &error));
    QCOMPARE(history.entries(), (QStringList{u"ipconfig"_qs, u"route print"_qs}));
    QCOMPARE(fileBytes(), QByteArray("ipconfig\r\nroute print\r\n\r\nnetstat\r\n"));

    QVERIFY(!history.importFrom(source + u".missing"_qs, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(history.entries(), (QStringList{u"ipconfig"_qs, u"route print"_qs}));

    // A file that would load as an empty history is refused; the history stays.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("\r\nnetstat\r\n");
    file.close();
    QVERIFY(!history.importFrom(source, &error));
    QVERIFY2(error.startsWith(u"No command was found in this file"_qs), qPrintable(error));
    QCOMPARE(history.entries(), (QStringList{u"ipconfig"_qs, u"route print"_qs}));
    QCOMPARE(fileBytes(), QByteArray("ipconfig\r\nroute print\r\n\r\nnetstat\r\n"));
}

void TestCommandHistory::importOfItselfKeepsHistory()
{
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    QVERIFY(history.importFrom(history.path(), &error));
    QCOMPARE(history.entries(), DefaultHistory());
}

// A Latin-1 entry from an older system and a 1 MiB line: neither hides or loses
// the entries after it, and a rewrite gives the Latin-1 entry its old bytes.
void TestCommandHistory::foreignLinesSurviveARewrite()
{
    writeHistory("ping B\xfcro\r\n" + QByteArray(1 << 20, 'z') + "\r\nhostname\r\n \r\n");
    CommandHistory history(m_dataFolder);
    QString error;
    QVERIFY(history.load(&error));
    QCOMPARE(history.entries(), (QStringList{u"ping Büro"_qs, u"hostname"_qs}));
    bool added = false;
    QVERIFY(history.add(u"ping Gerät"_qs, &added, &error));
    QVERIFY(added);
    QCOMPARE(fileBytes(), QByteArray("ping B\xfcro\r\nhostname\r\nping Ger\xc3\xa4t\r\n \r\n"));
}

void TestCommandHistory::exportName()
{
    QCOMPARE(HistoryExportName(QDateTime(QDate(2026, 12, 7), QTime(21, 5, 59))),
             u"DOS_CMD_HIS_12072105"_qs);
    QCOMPARE(HistoryExportName(QDateTime(QDate(2026, 3, 4), QTime(5, 6))),
             u"DOS_CMD_HIS_03040506"_qs);
}

void TestCommandHistory::replaceAddressToken_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no dot appends") << u"ipconfig /all"_qs << u"10.0.0.5"_qs
                                    << u"ipconfig /all 10.0.0.5"_qs;
    QTest::newRow("no dot, trailing blank kept") << u"tracert "_qs << u"10.0.0.5"_qs
                                                 << u"tracert  10.0.0.5"_qs;
    QTest::newRow("empty") << QString() << u"h.lan"_qs << u" h.lan"_qs;
    QTest::newRow("host replaced") << u"tracert www.debian.org"_qs << u"127.0.0.1"_qs
                                   << u"tracert 127.0.0.1"_qs;
    QTest::newRow("address in the middle") << u"  ping 10.1.1.1 -n 4 "_qs << u"10.2.2.2"_qs
                                           << u"ping 10.2.2.2 -n 4"_qs;
    QTest::newRow("every occurrence") << u"ping 10.1.1.1 && arp -a 10.1.1.1"_qs << u"h.lan"_qs
                                      << u"ping h.lan && arp -a h.lan"_qs;
    QTest::newRow("dot at start") << u".x y"_qs << u"10.0.0.1"_qs << u"10.0.0.1 y"_qs;
    QTest::newRow("dot at end") << u"nslookup host."_qs << u"10.0.0.1"_qs
                                << u"nslookup 10.0.0.1"_qs;
    QTest::newRow("first dot only") << u"copy a.txt b.txt"_qs << u"10.0.0.1"_qs
                                    << u"copy 10.0.0.1 b.txt"_qs;
}

void TestCommandHistory::replaceAddressToken()
{
    QFETCH(QString, command);
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(ReplaceAddressToken(command, address), expected);
}

QTEST_GUILESS_MAIN(TestCommandHistory)
#include "tst_commandhistory.moc"
