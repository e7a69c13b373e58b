// One program per user and data folder: the lock and the local socket in process,
// then the real program started twice. The socket lives in the user's runtime folder.

#include "platform/datafolder.h"
#include "platform/singleinstance.h"
#include "support/testenv.h"

#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <future>

using namespace netvane;

// Asks from a thread of its own: the answer needs this thread's event loop to be written.
static platform::SingleInstance::Answer askFromAside(platform::SingleInstance &asker)
{
    auto answer = std::async(std::launch::async, [&asker] { return asker.askRunningToShow(); });
    QDeadlineTimer deadline(10000);
    while (answer.wait_for(std::chrono::seconds(0)) != std::future_status::ready && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return answer.get();
}

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
        QCOMPARE(askFromAside(second), platform::SingleInstance::Answer::Shown);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 5000);
    }
    {
        // A headless run holds the folder: a window start is told there is nothing to show.
        platform::SingleInstance headless(folder);
        platform::SingleInstance window(folder);
        QVERIFY(headless.claim(/*windowless=*/true));
        QVERIFY(!window.claim());
        QSignalSpy shown(&headless, &platform::SingleInstance::showRequested);
        QCOMPARE(askFromAside(window), platform::SingleInstance::Answer::Windowless);
        QTest::qWait(200);
        QCOMPARE(shown.count(), 0);
    }

    // The real program: a second start with the same data folder ends by itself,
    // having asked the first for its window; the first keeps running.
    platform::SingleInstance probe(folder);
    QProcess firstRun;
    firstRun.setProcessChannelMode(QProcess::ForwardedChannels);
    firstRun.start(QStringLiteral(NETVANE_PATH), {});
    QVERIFY(firstRun.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(probe.askRunningToShow(), platform::SingleInstance::Answer::Shown, 20000);
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
    QTRY_COMPARE_WITH_TIMEOUT(probe.askRunningToShow(), platform::SingleInstance::Answer::Shown, 20000);
    QCOMPARE(thirdRun.state(), QProcess::Running);
    thirdRun.kill();
    QVERIFY(thirdRun.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
