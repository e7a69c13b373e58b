// The hidden command runner with real child processes.

#include "console/classdos.h"
#include "platform/process.h"
#include "support/scriptedui.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace netvane;

class TestClassDos : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outputArrivesInChunks();
    void noOutputGivesOneEmptyChunk();
    void failures_data();
    void failures();
    void commandLineIsKept();
    void errorOutputIsMerged();
    void splitCharactersComeOutWhole();
    void windowKeepsWorking();
    void noShellRuns_data();
    void noShellRuns();
    void ownCommandsComeFirst();
    void destroyedRunnerKillsItsCommand();
};

void TestClassDos::outputArrivesInChunks()
{
    ClassDos dos;
    QSignalSpy spy(&dos, &ClassDos::ReceiveOutputs);
    const QString result = dos.ExecuteCommand(u"seq 1 400"_qs);

    QString expected;
    for (int i = 1; i <= 400; ++i)
        expected += QString::number(i) + u'\n';
    QCOMPARE(result, expected);
    QCOMPARE(dos.Outputs(), expected);
    QVERIFY2(spy.size() >= 7, qPrintable(QString::number(spy.size()))); // 1492 bytes
    QString joined;
    for (const QList<QVariant> &call : std::as_const(spy)) {
        const QString chunk = call.at(0).toString();
        QVERIFY(chunk.toUtf8().size() <= ClassDos::ChunkBytes);
        joined += chunk;
    }
    QCOMPARE(joined, expected);
    QCOMPARE(spy.constLast().at(0).toString(), QString());
}

void TestClassDos::noOutputGivesOneEmptyChunk()
{
    ClassDos dos;
    QSignalSpy spy(&dos, &ClassDos::ReceiveOutputs);
    QCOMPARE(dos.ExecuteCommand(u"true"_qs), QString());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString());
}

void TestClassDos::failures_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << u"Command Line empty"_qs;
    QTest::newRow("blank") << u"   "_qs << u"Command Line empty"_qs;
    QTest::newRow("missing program") << u"no-such-program-4711 -a"_qs
                                     << u"File or command not found"_qs;
    QTest::newRow("missing path") << u"/no/such/dir/prog"_qs << u"File or command not found"_qs;
}

void TestClassDos::failures()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, message);
    test::ScriptedUi ui;
    ClassDos dos;
    QSignalSpy spy(&dos, &ClassDos::ReceiveOutputs);
    dos.setCommandLine(commandLine);
    QCOMPARE(dos.ExecuteCommand(), QString());
    QCOMPARE(ui.texts(), QStringList{message});
    QCOMPARE(ui.boxes.at(0).icon, BoxIcon::Critical);
    QCOMPARE(spy.size(), 0);
}

void TestClassDos::commandLineIsKept()
{
    test::ScriptedUi ui;
    ClassDos dos;
    QCOMPARE(dos.ExecuteCommand(u"printf \"a b\""_qs), u"a b"_qs);
    QCOMPARE(dos.CommandLine(), u"printf \"a b\""_qs);
    QCOMPARE(dos.ExecuteCommand(QString()), u"a b"_qs); // an empty argument keeps the line
    QVERIFY(ui.boxes.isEmpty());
}

void TestClassDos::errorOutputIsMerged()
{
    ClassDos dos;
    const QString result = dos.ExecuteCommand(u"ls /no-such-folder-4711"_qs);
    QVERIFY2(result.contains(u"no-such-folder-4711"_qs), qPrintable(result));
}

void TestClassDos::splitCharactersComeOutWhole()
{
    // An odd first byte puts every 256-byte boundary inside a two-byte character.
    const QString text = u"x"_qs + QString(400, QChar(0xe9));
    ClassDos dos;
    QSignalSpy spy(&dos, &ClassDos::ReceiveOutputs);
    QCOMPARE(dos.ExecuteCommand(u"printf %s "_qs + text), text);
    QVERIFY(spy.size() >= 4);
    for (const QList<QVariant> &call : std::as_const(spy))
        QVERIFY(!call.at(0).toString().contains(QChar::ReplacementCharacter));
}

void TestClassDos::windowKeepsWorking()
{
    ClassDos dos;
    bool ticked = false;
    QTimer::singleShot(50, &dos, [&] { ticked = true; });
    QCOMPARE(dos.ExecuteCommand(u"sh -c \"sleep 0.4; echo done\""_qs), u"done\n"_qs);
    QVERIFY(ticked);
}

void TestClassDos::noShellRuns_data()
{
    QTest::addColumn<QString>("tail"); // appended to "echo hi" with MARKER in it
    QTest::newRow("semicolon") << u"; touch MARKER"_qs;
    QTest::newRow("and") << u"&& touch MARKER"_qs;
    QTest::newRow("pipe") << u"| touch MARKER"_qs;
    QTest::newRow("substitution") << u"$(touch MARKER)"_qs;
    QTest::newRow("backquotes") << u"`touch MARKER`"_qs;
    QTest::newRow("redirection") << u"> MARKER"_qs;
}

void TestClassDos::noShellRuns()
{
    QFETCH(QString, tail);
    QTemporaryDir dir;
    const QString marker = dir.filePath(u"MARKER"_qs);
    tail.replace(u"MARKER"_qs, marker);
    ClassDos dos;
    const QString result = dos.ExecuteCommand(u"echo hi "_qs + tail);
    QCOMPARE(result, u"hi "_qs + tail + u'\n');
    QVERIFY(!QFile::exists(marker));
}

void TestClassDos::ownCommandsComeFirst()
{
    QTemporaryDir own;
    // A command of the program's own that shadows one on PATH.
    const QString ownLs = own.filePath(u"ls"_qs);
    QFile file(ownLs);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho own\n");
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    QCOMPARE(platform::FindProgramCommand(u"ls"_qs, own.path()), ownLs);
    // Not in the program's folder: PATH; nowhere: the bare name; with a folder: as given.
    QVERIFY(platform::FindProgramCommand(u"seq"_qs, own.path()).endsWith(u"/seq"_qs));
    QCOMPARE(platform::FindProgramCommand(u"no-such-4711"_qs, own.path()), u"no-such-4711"_qs);
    QCOMPARE(platform::FindProgramCommand(u"./ls"_qs, own.path()), u"./ls"_qs);
    // A file there that is not executable is no command.
    QFile plain(own.filePath(u"seq"_qs));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(platform::FindProgramCommand(u"seq"_qs, own.path()) != plain.fileName());
}

void TestClassDos::destroyedRunnerKillsItsCommand()
{
    // The shell prints its pid, then waits with a child of its own in its group.
    auto *dos = new ClassDos;
    qint64 shellPid = 0;
    connect(dos, &ClassDos::ReceiveOutputs, dos, [&](const QString &chunk) {
        if (shellPid == 0 && !chunk.isEmpty()) {
            shellPid = chunk.trimmed().toLongLong();
            QTimer::singleShot(0, [&] { delete dos; dos = nullptr; });
        }
    });
    const QString result = dos->ExecuteCommand(u"sh -c \"echo $$; sleep 30 & wait\""_qs);
    QVERIFY(dos == nullptr);
    QVERIFY(shellPid > 1);
    QCOMPARE(result.trimmed().toLongLong(), shellPid);
    QTRY_VERIFY(!platform::ProcessIsRunning(shellPid));
}

QTEST_GUILESS_MAIN(TestClassDos)
#include "tst_classdos.moc"
