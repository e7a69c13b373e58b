// One program per user and data folder: the lock and the local socket in process,
// then the real program started twice. The socket lives in the user's runtime folder.

#include "platform/datafolder.h"
#include "platform/singleinstance.h"
#include "support/testenv.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using namespace netvane;

class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void secondStartShowsTheFirst();
};

void TestSingleInstance::secondStartShowsTheFirst()
{
    test::IsolatedFolders folders;
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString folder = DataFolder();
    {
        platform::SingleInstance first(folder);
        platform::SingleInstance second(folder);
        QCOMPARE(QFileInfo(first.serverPath()).absolutePath(), runtime.path());
        QVERIFY(first.claim());
        QVERIFY(!second.claim());
        QSignalSpy shown(&first, &platform::SingleInstance::showRequested);
        QVERIFY(second.askRunningToShow());
        QVERIFY(shown.wait(5000));
    }

    // The real program: a second start with the same data folder ends by itself,
    // having asked the first for its window; the first keeps running.
    platform::SingleInstance probe(folder);
    QProcess firstRun;
    firstRun.setProcessChannelMode(QProcess::ForwardedChannels);
    firstRun.start(QStringLiteral(NETVANE_PATH), {});
    QVERIFY(firstRun.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(probe.askRunningToShow(), 20000);
    QProcess secondRun;
    secondRun.start(QStringLiteral(NETVANE_PATH), {});
    QVERIFY(secondRun.waitForFinished(20000));
    QCOMPARE(secondRun.exitStatus(), QProcess::NormalExit);
    QCOMPARE(secondRun.exitCode(), 0);
    QVERIFY2(secondRun.readAllStandardError().contains("its window was brought to the front"),
             "the second start did not reach the first");
    QCOMPARE(firstRun.state(), QProcess::Running);

    // A program that died leaves its lock behind; the next start takes it over.
    firstRun.kill();
    QVERIFY(firstRun.waitForFinished(10000));
    QProcess thirdRun;
    thirdRun.setProcessChannelMode(QProcess::ForwardedChannels);
    thirdRun.start(QStringLiteral(NETVANE_PATH), {});
    QTRY_VERIFY_WITH_TIMEOUT(probe.askRunningToShow(), 20000);
    QCOMPARE(thirdRun.state(), QProcess::Running);
    thirdRun.kill();
    QVERIFY(thirdRun.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
