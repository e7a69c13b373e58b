// A ping test killed while it runs keeps on disk every echo it has shown: a child
// process runs a test at 1 ms against 127.0.0.1 and is killed with SIGKILL.

#include "ping/resultreload.h"
#include "ping/resultstore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace netvane;

class TestResultCrash : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedTestLosesNoEcho();
};

void TestResultCrash::killedTestLosesNoEcho()
{
    QTemporaryDir dir;
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QStringLiteral(PINGCHILD_PATH), {dir.path()});
    QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

    QByteArray printed;
    QElapsedTimer waited;
    waited.start();
    while (printed.count('\n') < 300 && waited.elapsed() < 30000
           && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        printed += child.readAllStandardOutput();
    }
    QVERIFY2(printed.count('\n') >= 300, child.readAllStandardError().constData());
    child.kill(); // SIGKILL: no chance to close or flush anything
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    printed += child.readAllStandardOutput();

    // The rows it showed, 0, 1, 2 ... (a last line cut by the kill does not count).
    QList<QByteArray> rows = printed.split('\n');
    rows.removeLast();
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i).toLongLong(), i);

    QFile file(QDir(dir.path()).filePath(ResultFileName));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    QVERIFY(contents.endsWith("\r\n")); // whole lines only
    const ReloadedPingTest test = ParseResultFile(contents);
    QVERIFY(test.headerRead);
    QCOMPARE(test.badLineCount, 0); // every line well formed
    QCOMPARE(test.header.targetCount, 1);
    // Every shown echo is on disk; at most the one being recorded at the kill is extra.
    QVERIFY2(test.log.size() >= rows.size(),
             qPrintable(u"%1 echoes on disk, %2 shown"_qs.arg(test.log.size()).arg(rows.size())));
    QVERIFY(test.log.size() <= rows.size() + 1);
    QCOMPARE(contents.count('\n'), test.log.size() + 1);
}

QTEST_GUILESS_MAIN(TestResultCrash)
#include "tst_resultcrash.moc"
