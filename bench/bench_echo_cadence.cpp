// Echo cadence of a ping test at a 1 ms interval against 127.0.0.1, through the real
// main window (offscreen): echoes per second achieved; with BENCH_GRAPH=1 while the
// latency graph follows the test. Target: at least 990, with every echo written to the result file.

#include "app/formtester.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
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
    QObject::connect(test, &netvane::PingTest::replyRecorded, &app, [&](int row, const auto &) {
        if (row == 0)
            firstEchoAt = clock.nsecsElapsed();
        lastEchoAt = clock.nsecsElapsed();
    });
    QObject::connect(test, &netvane::PingTest::finished, &app, &QApplication::quit);
    clock.start();
    window.CommandStart_Click();
    // BENCH_GRAPH=1: the latency graph follows the test from its start.
    if (qEnvironmentVariableIsSet("BENCH_GRAPH"))
        window.ShowLatencyGraph();
    app.exec();
    // From the first echo to the last; the finishing timer's half second after it is not counted.
    const double seconds = double(lastEchoAt - firstEchoAt) / 1e9;
    const qsizetype sent = test->log().size();
    std::printf("echoes: %lld in %.3f s from the first to the last -> %.0f echoes per second (target >= 990)\n",
                static_cast<long long>(sent), seconds, double(sent - 1) / seconds);
    std::printf("lost: %lld; in the result file: %lld echoes, in memory: %zu\n",
                static_cast<long long>(test->stats().lost),
                static_cast<long long>(test->log().storedEchoes().rows),
                test->log().memoryRecords().size());
    return 0;
}
