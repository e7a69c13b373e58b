// Echo cadence of a ping test at a 1 ms interval against 127.0.0.1, through the real
// main window (offscreen): echoes per second achieved, and the longest the event loop
// went without turning during the test; with BENCH_GRAPH=1 while the latency graph
// follows the test. Beside it iputils ping -i 0.001 to the same address. Target: at
// least 990, with every echo written to the result file.

#include "app/formtester.h"
#include "bench/benchtable.h"
#include "bench/stallprobe.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_qs).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_qs).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    netvane::setMessageResponder([](const netvane::MessageBoxRequest &box) {
        std::printf("box: %s\n", qPrintable(box.text));
        return netvane::BoxAnswer::Ok;
    });

    const int echoes = argc > 1 ? std::atoi(argv[1]) : 5000;
    netvane::FormTester window;
    if (!qEnvironmentVariableIsSet("BENCH_HIDDEN"))
        window.show();
    window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"127.0.0.1"_qs);
    window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"1"_qs);
    window.findChild<QComboBox *>(u"ComboTimes"_qs)->setEditText(QString::number(echoes));
    netvane::PingTest *test = window.pingTest();

    QElapsedTimer clock;
    qint64 firstEchoAt = -1;
    qint64 lastEchoAt = -1;
    netvane::bench::StallProbe stall;
    QObject::connect(test, &netvane::PingTest::replyRecorded, &app, [&](int row, const auto &) {
        if (row == 0) {
            firstEchoAt = clock.nsecsElapsed();
            stall.arm(); // the stall while echoes come
        }
        lastEchoAt = clock.nsecsElapsed();
    });
    QObject::connect(test, &netvane::PingTest::finished, &app, &QApplication::quit);
    clock.start();
    window.CommandStart_Click();
    // BENCH_GRAPH=1: the latency graph follows the test from its start.
    if (qEnvironmentVariableIsSet("BENCH_GRAPH"))
        window.ShowLatencyGraph();
    app.exec();
    stall.disarm();
    // From the first echo to the last; the finishing timer's half second after it is not counted.
    const double seconds = double(lastEchoAt - firstEchoAt) / 1e9;
    const qsizetype sent = test->log().size();
    std::printf("echoes: %lld in %.3f s from the first to the last -> %.0f echoes per second (target >= 990)\n",
                static_cast<long long>(sent), seconds, double(sent - 1) / seconds);
    std::printf("lost: %lld; in the result file: %lld echoes, in memory: %zu\n",
                static_cast<long long>(test->stats().lost),
                static_cast<long long>(test->log().storedEchoes().rows),
                test->log().memoryRecords().size());
    std::printf("longest event-loop stall during the test: %.2f ms\n", stall.longestMs());

    // The peer: iputils ping at the same interval and count, from its first to its last echo.
    std::string peer = "ping not installed";
    if (!QStandardPaths::findExecutable(u"ping"_qs).isEmpty()) {
        QProcess ping;
        QElapsedTimer pingClock;
        pingClock.start();
        ping.start(u"ping"_qs, {u"-q"_qs, u"-n"_qs, u"-i"_qs, u"0.001"_qs, u"-c"_qs,
                                QString::number(echoes), u"127.0.0.1"_qs});
        ping.waitForFinished(600000);
        const double pingSeconds = pingClock.nsecsElapsed() / 1e9;
        const QByteArray out = ping.readAllStandardOutput() + ping.readAllStandardError();
        std::printf("ping -i 0.001 -c %d: %.3f s (process start to exit)\n%s", echoes, pingSeconds,
                    out.constData());
        peer = ping.exitCode() == 0 ? netvane::bench::Cell("%.0f /s (ping -i 0.001)", double(echoes - 1) / pingSeconds)
                                    : netvane::bench::Cell("ping failed (exit %d)", ping.exitCode());
    }
    netvane::bench::TableRow("echo cadence at 1 ms, 127.0.0.1", netvane::bench::Cell("%.0f /s", double(sent - 1) / seconds),
                    ">= 990 /s", peer);
    netvane::bench::TableRow("longest event-loop stall, 1 ms test", netvane::bench::Cell("%.2f ms", stall.longestMs()),
                    "-", "-");
    return 0;
}
