// The list file: reading rules, order, defaults, robustness to foreign content, and
// the texts derived from the list.
#include "console/commandhistory.h"
#include "iplist/iplist.h"
#include "iplist/iplistfile.h"
#include "platform/datafolder.h"
#include "platform/linestream.h"
#include "platform/textfile.h"

#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace netvane;

class TestIpListFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readingRules_data();
    void readingRules();
    void sortOrder();
    void foreignContentIsSkipped();
    void writeThenLoad();
    void defaults();
    void derivedTexts();
    void fullDiskKeepsEveryFile();
    void lineCap_data();
    void lineCap();
    void latin1LinesKeepTheirBytes();
    void replacementsKeepTheUsersFilesAndLinks();
};

void TestIpListFile::readingRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("closing space line")
        << QByteArray("A10.0.0.1\r\nBG,10.0.0.2\r\n \r\nA10.0.0.9\r\n")
        << QStringList{u"A10.0.0.1"_qs, u"BG,10.0.0.2"_qs};
    QTest::newRow("blank line ends")
        << QByteArray("A10.0.0.1\n\nA10.0.0.2\n") << QStringList{u"A10.0.0.1"_qs};
    QTest::newRow("first line empty") << QByteArray("\r\nA10.0.0.1\r\n") << QStringList{};
    QTest::newRow("= lines skipped")
        << QByteArray("=== my targets\r\n  A10.0.0.1  \r\n=A10.0.0.3\r\nA10.0.0.2")
        << QStringList{u"A10.0.0.1"_qs, u"A10.0.0.2"_qs};
}

void TestIpListFile::readingRules()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, items);
    QTemporaryDir dir;
    const QString path = dir.filePath(IpListFileName);
    test::WriteFileBytes(path, file);
    bool exists = false;
    QCOMPARE(ReadIpListFile(path, &exists), items);
    QVERIFY(exists);
    ReadIpListFile(dir.filePath(u"missing.txt"_qs), &exists);
    QVERIFY(!exists);
}

void TestIpListFile::sortOrder()
{
    QStringList items{u"Ab"_qs, u"Aa"_qs, u"CR,10.0.0.1,10.0.0.2"_qs, u"BG,10.0.0.3"_qs,
                      u"A192.168.0.1"_qs, u"Awww.host.test"_qs, u"AZ"_qs};
    SortListLines(items);
    // Binary order: digits before capitals before small letters.
    QCOMPARE(items, (QStringList{u"A192.168.0.1"_qs, u"AZ"_qs, u"Aa"_qs, u"Ab"_qs,
                                 u"Awww.host.test"_qs, u"BG,10.0.0.3"_qs,
                                 u"CR,10.0.0.1,10.0.0.2"_qs}));

    // Only the first 30 characters count.
    const QString head = u"B"_qs + QString(29, u'x');
    QStringList tied{head + u",10.0.0.2"_qs, head + u",10.0.0.1"_qs, u"A1"_qs};
    SortListLines(tied);
    QCOMPARE(tied.first(), u"A1"_qs);
    QCOMPARE(tied.size(), 3);
}

void TestIpListFile::foreignContentIsSkipped()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(IpListFileName);
    QByteArray bytes("A127.0.0.1\r\n");
    bytes += QByteArray("\x7f" "ELF\x02\x01\x01\x00\x00\x00\x00\x00", 12) + "\r\n";
    bytes += "A" + QByteArray(3 * 1024 * 1024, 'x') + "\r\n"; // far over any real line
    bytes += "Xnot an item\r\n";
    bytes += "a127.0.0.5\r\n";
    bytes += "CR,10.0.0.1\r\n";                 // a range without its last address
    bytes += "CR2,10.0.0.1,www.host.test\r\n";  // a range end that is no address
    bytes += "A\xff\xfe\x80\r\n";               // undecodable bytes
    bytes += QByteArray("A\x01\x02\x00\x03", 5) + "\r\n"; // control characters
    bytes += "A\r\n";                            // a kind letter alone
    bytes += "BGroup,127.0.0.2\r\n";
    bytes += "CRange,127.0.0.1,127.0.0.3\r\n";
    test::WriteFileBytes(path, bytes);
    QCOMPARE(ReadIpListFile(path), (QStringList{u"A127.0.0.1"_qs, u"BGroup,127.0.0.2"_qs,
                                                u"CRange,127.0.0.1,127.0.0.3"_qs}));
}

void TestIpListFile::writeThenLoad()
{
    test::IsolatedFolders folders;
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QStringList items{u"BG,10.0.0.3"_qs, u"Ab"_qs, u"Aa"_qs};
    QVERIFY(WriteIpListFile(folder + IpListFileName, items));
    QFile f(folder + IpListFileName);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("BG,10.0.0.3\r\nAb\r\nAa\r\n \r\n"));

    IpList list;
    list.setFolder(folder);
    QStringList picker;
    connect(&list, &IpList::ipListLoaded, this, [&](const QStringList &e) { picker = e; });
    QVERIFY(list.LoadIpList());
    QCOMPARE(list.items(), (QStringList{u"Aa"_qs, u"Ab"_qs, u"BG,10.0.0.3"_qs}));
    QCOMPARE(picker, (QStringList{u"a"_qs, u"b"_qs, PickerSeparator, PickerAddEntry}));

    // The rewrite replaces the file and reloads in sorted order.
    QVERIFY(list.rewrite(QStringList{u"CR,10.0.0.1,10.0.0.2"_qs, u"A10.0.0.1"_qs}));
    QCOMPARE(list.items(), (QStringList{u"A10.0.0.1"_qs, u"CR,10.0.0.1,10.0.0.2"_qs}));
    QCOMPARE(list.findDisplayText(u"r"_qs), 1);
    QCOMPARE(list.findDisplayText(u"r"_qs, 1), -1);

    // A rewrite that cannot be written leaves the old list as it was: here the
    // process may not write files longer than 8 bytes (a full disk: below).
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{8, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    QString error;
    const bool rewritten = list.rewrite(QStringList{u"A10.0.0.9"_qs}, &error);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!rewritten);
    QCOMPARE(error, u"File too large"_qs);
    QCOMPARE(list.items(), (QStringList{u"A10.0.0.1"_qs, u"CR,10.0.0.1,10.0.0.2"_qs}));
}

void TestIpListFile::defaults()
{
    const QStringList dns{u"10.0.0.1"_qs, u"10.0.0.53"_qs, QString()};
    QStringList items = DefaultIpListItems(u"10.0.0.1"_qs, u"10.0.0.23"_qs, dns);
    QCOMPARE(items.size(), 1 + 1 + 2 + 2 + 11);
    QCOMPARE(items.at(0), u"A10.0.0.1"_qs);
    QCOMPARE(items.at(1), u"A10.0.0.53"_qs); // the gateway is not listed twice
    QVERIFY(items.at(2).startsWith(u'A') && items.at(3).startsWith(u'A'));
    QCOMPARE(items.at(4), u"BIP_Group_01,10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4,10.0.0.5,"
                          u"10.0.0.10,10.0.0.20,10.0.0.30,10.0.0.40"_qs);
    QVERIFY(items.at(5).startsWith(u"BIP_Group_Subnet(0-255),10.0.0.0,10.0.0.1,"_qs));
    QCOMPARE(items.at(5).count(u','), 256);
    QVERIFY(items.at(5).endsWith(u",10.0.0.255"_qs));
    QCOMPARE(items.at(6), u"CIP_Range_01_Subnet_(0-255),10.0.0.0,10.0.0.255"_qs);
    QCOMPARE(items.at(7), u"CIP_Range_02_Subnet_(0-24),10.0.0.0,10.0.0.24"_qs);
    QCOMPARE(items.at(16), u"CIP_Range_11_Subnet_(225-255),10.0.0.225,10.0.0.255"_qs);

    // No gateway: the local address instead.
    QCOMPARE(DefaultIpListItems({}, u"10.0.0.23"_qs, {}).first(), u"A10.0.0.23"_qs);
    // No local address: no group or range lines with addresses such as ".1".
    items = DefaultIpListItems({}, {}, {u"10.0.0.53"_qs});
    QCOMPARE(items.size(), 3);
    for (const QString &item : items)
        QVERIFY2(item.startsWith(u'A') && !item.contains(u"A."_qs), qPrintable(item));
}

void TestIpListFile::derivedTexts()
{
    QTemporaryDir dir;
    IpList list;
    list.setFolder(dir.path() + u'/');
    QVERIFY(WriteIpListFile(list.filePath(), {u"A10.0.0.1"_qs, u"BG,10.0.0.2"_qs,
                                              u"CR,10.0.0.1,10.0.0.3"_qs}));
    QVERIFY(list.LoadIpList());
    const QString gap(50, u' ');
    QCOMPARE(list.traceTargetEntries(),
             (QStringList{u"10.0.0.1"_qs + gap + u"0"_qs, u"G"_qs + gap + u"1"_qs}));

    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << u"host%1"_qs.arg(i);
    const QString text = DeleteNameList(names);
    QCOMPARE(text.count(u"\n    host"_qs), 9);
    QVERIFY(text.endsWith(u"\n    host9\n    ......"_qs));
    QCOMPARE(DeleteNameList(names.mid(0, 9)).count(u"......"_qs), 0);
}

// A full disk: every rewrite fails with the system's words and every old file stays.
void TestIpListFile::fullDiskKeepsEveryFile()
{
    test::IsolatedFolders folders;
    const QString folder = folders.dataFolder();
    test::FullDisk disk;
    QString why;
    if (!disk.mount(folder, &why))
        QSKIP(qPrintable(why));
    IpList list;
    list.setFolder(folder);
    QVERIFY(WriteIpListFile(list.filePath(), {u"A10.0.0.1"_qs, u"BG,10.0.0.2"_qs}));
    QVERIFY(list.LoadIpList());
    CommandHistory history(folder);
    QVERIFY(history.load(&why));
    const auto bytes = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    };
    const QByteArray listBefore = bytes(list.filePath());
    const QByteArray historyBefore = bytes(history.path());
    disk.fill();

    QString error;
    QVERIFY(!list.rewrite(QStringList(list.items()) << u"A10.0.0.3"_qs, &error));
    QCOMPARE(error, u"No space left on device"_qs);
    QCOMPARE(list.items(), (QStringList{u"A10.0.0.1"_qs, u"BG,10.0.0.2"_qs}));
    bool added = false;
    error.clear();
    QVERIFY(!history.add(u"route -n"_qs, &added, &error));
    QCOMPARE(error, u"No space left on device"_qs);
    QCOMPARE(history.entries(), DefaultHistory());

    QCOMPARE(bytes(list.filePath()), listBefore);
    QCOMPARE(bytes(history.path()), historyBefore);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3); // no leftovers
}

// The shared line reader keeps lines of up to the cap and skips longer ones whole,
// whatever their line ends, without splitting them into several lines.
void TestIpListFile::lineCap_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lines"); // "<long>" for a line skipped as too long
    const QByteArray eight("12345678"), nine("123456789");
    QTest::newRow("cap, CR LF") << eight + "\r\nx\r\n" << QStringList{u"12345678"_qs, u"x"_qs};
    QTest::newRow("cap, LF") << eight + "\nx" << QStringList{u"12345678"_qs, u"x"_qs};
    QTest::newRow("cap + 1, CR LF") << nine + "\r\nx\r\n" << QStringList{u"<long>"_qs, u"x"_qs};
    QTest::newRow("cap + 1, LF") << nine + "\nx\n" << QStringList{u"<long>"_qs, u"x"_qs};
    QTest::newRow("cap, last line") << "x\n" + eight << QStringList{u"x"_qs, u"12345678"_qs};
    QTest::newRow("cap + 1, last line") << "x\n" + nine << QStringList{u"x"_qs, u"<long>"_qs};
    QTest::newRow("1 MiB between") << "a\n" + QByteArray(1 << 20, 'y') + "\r\nb\r\n"
                                   << QStringList{u"a"_qs, u"<long>"_qs, u"b"_qs};
}

void TestIpListFile::lineCap()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lines.txt"_qs);
    test::WriteFileBytes(path, file);
    QStringList read;
    QVERIFY(ReadTextLinesWhile(path, 8, [&read](const TextLine &line) {
        read << (line.tooLong ? u"<long>"_qs : line.text);
        return true;
    }));
    QCOMPARE(read, lines);
}

// A list from an older 8-bit system: its Latin-1 lines load, and a rewrite gives
// them back byte for byte while new text is written as UTF-8.
void TestIpListFile::latin1LinesKeepTheirBytes()
{
    QTemporaryDir dir;
    IpList list;
    list.setFolder(dir.path() + u'/');
    test::WriteFileBytes(list.filePath(), "AB\xfcro-PC\r\nBB\xfcro,10.0.0.2,10.0.0.3\r\n \r\n");
    QVERIFY(list.LoadIpList());
    QCOMPARE(list.items(), (QStringList{u"ABüro-PC"_qs, u"BBüro,10.0.0.2,10.0.0.3"_qs}));
    QCOMPARE(list.displayTexts(), (QStringList{u"Büro-PC"_qs, u"Büro"_qs}));
    QVERIFY(list.rewrite(QStringList(list.items()) << u"AGerät"_qs));
    QFile f(list.filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(),
             QByteArray("AB\xfcro-PC\r\nBB\xfcro,10.0.0.2,10.0.0.3\r\nAGer\xc3\xa4t\r\n \r\n"));
    QCOMPARE(list.items().size(), 3);
}

// The data folder and the user's files are the user's alone, while an export keeps
// the umask; a replacement writes the final file of a chain of links; and a hidden
// replacement that a dead writer left beside a file goes at its next write.
void TestIpListFile::replacementsKeepTheUsersFilesAndLinks()
{
    test::IsolatedFolders folders;
    const mode_t umaskBefore = ::umask(022);
    const auto mode = [](const QString &path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    };
    const QString data = folders.dataFolder(), home = folders.path() + u'/';
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QFile::setPermissions(data, QFile::Permissions(0x7755))); // an older version's 0755
    QCOMPARE(DataFolder(), data);
    IpList list;
    list.setFolder(data);
    QVERIFY(list.rewrite({u"A10.0.0.1"_qs}));
    QVERIFY(ReplaceFile(home + u"export.txt"_qs, "x"));
    QCOMPARE((QList<int>{mode(data), mode(list.filePath()), mode(home + u"export.txt"_qs)}),
             (QList<int>{0700, 0600, 0644}));

    test::WriteFileBytes(home + u"target.txt"_qs, "old");
    QVERIFY(QFile::link(home + u"target.txt"_qs, home + u"second"_qs));
    QVERIFY(QFile::link(home + u"second"_qs, home + u"first"_qs));
    QProcess gone; // a writer that has died
    gone.start(u"true"_qs);
    QVERIFY(gone.waitForStarted());
    const QString stale = home + u".target.txt.new-%1-0"_qs.arg(gone.processId());
    QVERIFY(gone.waitForFinished());
    const QString live = home + u".target.txt.new-1-0"_qs; // init's
    test::WriteFileBytes(stale, QByteArray(1 << 20, 's'));
    test::WriteFileBytes(live, "a live writer's");
    QVERIFY(ReplaceFile(home + u"first"_qs, "new"));
    QFile file(home + u"target.txt"_qs);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("new"));
    QCOMPARE(QFileInfo(home + u"first"_qs).symLinkTarget(), home + u"second"_qs);
    QCOMPARE(QFileInfo(home + u"second"_qs).symLinkTarget(), home + u"target.txt"_qs);
    QCOMPARE((QList<bool>{QFileInfo::exists(stale), QFileInfo::exists(live)}), (QList<bool>{false, true}));
    ::umask(umaskBefore);
}

QTEST_GUILESS_MAIN(TestIpListFile)
#include "tst_iplistfile.moc"
