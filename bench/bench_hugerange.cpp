// A range of 16,646,144 addresses through the real main window (offscreen): the
// resident memory it costs per target once the test runs (and at its peak, the
// target file written on the way), the time from Start to the first tick beside
// `wc -l` over the target file it wrote, and how soon Stop answers: during that
// start, and during an echo waiting out a 20 s time-out at a silent neighbour on a
// link of the bench's own namespace. Targets: 16 bytes per target; Stop within 1 s.
//
// The range's addresses have no route here, and the bench stops the test before its
// first tick: nothing is sent to them.

#include "app/formtester.h"
#include "bench/benchhome.h"
#include "bench/benchtable.h"
#include "bench/resultfile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTimer>

#include <cstdio>

using namespace netvane;

namespace {

constexpr qint64 Targets = 16646144; // 10.0.0.0 - 10.253.255.255

void waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool run(const QStringList &args)
{
    QProcess p;
    p.start(args.first(), args.mid(1));
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    bench::BenchHome home;
    QApplication app(argc, argv);
    bench::BenchHome::answerBoxes(BoxAnswer::Yes); // Yes to the range's count question
    const QString folder = home.dataFolder();
    QFile list(folder + u"Quellon_DB.txt"_qs);
    list.open(QIODevice::WriteOnly);
    list.write("CHuge,10.0.0.0,10.253.255.255\r\n \r\n");
    list.close();

    FormTester window;
    window.show();
    auto *listIP = window.findChild<QListWidget *>(u"ListIP"_qs);
    auto *progress = window.findChild<QLabel *>(u"LabelTittle_2"_qs);
    PingTest *test = window.pingTest();
    waitUntil([] { return false; }, 200);

    // The whole start: memory once the test runs, and its peak on the way.
    listIP->setCurrentItem(listIP->item(0), QItemSelectionModel::Select);
    const long before = bench::ResidentKiB();
    const long peakBefore = bench::ResidentKiB("VmHWM:");
    QElapsedTimer clock;
    clock.start();
    window.CommandStart_Click(); // returns once the test runs
    const qint64 startedMs = clock.elapsed();
    const long running = bench::ResidentKiB();
    const long peak = bench::ResidentKiB("VmHWM:");
    // Stopped before its first tick, 99 ms on: the echoes' own costs are not the
    // targets'.
    window.CommandStop_Click();
    waitUntil([&] { return !window.isBusy(); }, 10000);
    const double perTarget = double(running - before) * 1024.0 / double(Targets);
    const double peakPerTarget = double(peak - std::max(peakBefore, before)) * 1024.0 / double(Targets);
    QByteArray lines;
    const double wc = bench::WcSeconds(folder + u"Quellon_DB4.txt"_qs, &lines);
    std::printf("start of %lld targets: running after %lld ms; resident +%ld KiB "
                "(%.2f B per target), peak +%.2f B per target; the target file: %s lines, wc -l %.3f s; "
                "list memory %lld B\n",
                static_cast<long long>(Targets), static_cast<long long>(startedMs), running - before,
                perTarget, peakPerTarget,
                lines.constData(), wc, static_cast<long long>(test->targets().memoryBytes()));
    bench::TableRow("resident bytes per target, range of 16,646,144", bench::Cell("%.2f", perTarget), "<= 16");
    bench::TableRow("peak resident bytes per target, range of 16,646,144", bench::Cell("%.2f", peakPerTarget),
                    "<= 16");
    bench::TableRow("Start to running, range of 16,646,144", bench::Cell("%.3f s", startedMs / 1000.0), "-",
                    bench::Cell("%.3f s (wc -l of its target file)", wc));

    // Stop while the start writes the target file.
    qint64 stopDuringStartMs = -1;
    QElapsedTimer sinceStop;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, &app, [&] {
        if (sinceStop.isValid() || !progress->isVisible() || progress->text().isEmpty())
            return;
        sinceStop.start();
        window.CommandStop_Click();
    });
    presser.start(5);
    window.CommandStart_Click(); // returns once the start is given up
    waitUntil([&] { return !window.isBusy(); }, 10000);
    stopDuringStartMs = sinceStop.isValid() ? sinceStop.elapsed() : -1;
    presser.stop();
    std::printf("Stop during the start: ready after %lld ms\n", static_cast<long long>(stopDuringStartMs));
    bench::TableRow("Stop answers, during a start of 16,646,144 targets",
                    bench::Cell("%lld ms", static_cast<long long>(stopDuringStartMs)), "<= 1000 ms");

    // Stop while an echo waits out a 20 s time-out.
    if (run({u"ip"_qs, u"link"_qs, u"add"_qs, u"nvb0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs, u"name"_qs, u"nvb1"_qs})
        && run({u"ip"_qs, u"addr"_qs, u"add"_qs, u"10.231.9.1/24"_qs, u"dev"_qs, u"nvb0"_qs})
        && run({u"ip"_qs, u"link"_qs, u"set"_qs, u"nvb0"_qs, u"up"_qs})
        && run({u"ip"_qs, u"link"_qs, u"set"_qs, u"nvb1"_qs, u"up"_qs})) {
        listIP->clearSelection();
        listIP->setCurrentRow(-1);
        window.findChild<QComboBox *>(u"ComboTimeOut"_qs)->setEditText(u"20000"_qs);
        window.findChild<QLineEdit *>(u"TextPing"_qs)->setText(u"10.231.9.2"_qs);
        window.CommandStart_Click();
        waitUntil([&] { return test->pingInProgress(); }, 2000);
        clock.restart();
        window.CommandStop_Click();
        waitUntil([&] { return !window.isBusy(); }, 30000);
        const qint64 ms = clock.elapsed();
        std::printf("Stop during a 20 s time-out: ready after %lld ms, %lld echoes logged\n",
                    static_cast<long long>(ms), static_cast<long long>(test->log().size()));
        bench::TableRow("Stop answers, during an echo with a 20 s time-out",
                        bench::Cell("%lld ms", static_cast<long long>(ms)), "<= 1000 ms");
    } else {
        std::printf("no veth link could be made here: the 20 s time-out is not measured\n");
    }
    return 0;
}
