// The IP range scan through the real main window (offscreen), on a /24 of answering
// loopback addresses and, where a test namespace can be made (root), on a /24 of a
// veth link with nobody behind it. Prints the seconds from Start to the last answer
// and to the result buttons, and the ratio to the pacing floor (launches x 10 ms);
// targets: answering <= 1.05 x floor to the last answer, silent <= floor + 2.2 s.
// Then 256 answering IPv6 addresses (a local route on loopback in the namespace)
// beside fping -6 on the same address list.
// Beside it, fping on the same range (default pacing and -i 1) when installed, and
// the probe program's start-to-exit time for one answering address.

#include "bench/benchtable.h"
#include "bench/stallprobe.h"
#include "app/formtester.h"
#include "iplist/iplistpanel.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/scanchannel.h"
#include "scanner/scanpanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace netvane;

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit
                    && p.exitCode() == 0;
    if (!ok)
        std::printf("  %s %s: %s\n", qPrintable(program), qPrintable(args.join(u' ')),
                    p.readAll().constData());
    return ok;
}

// The seconds from Start to the last answer; the longest event-loop stall from the
// start to the end of the MAC look-ups goes to *stallMs.
double scanRange(FormTester &window, const QString &label, const QString &first,
               const QString &last, bool silent, double *stallMs)
{
    bench::StallProbe stall;
    ScanPanel *scan = window.scanPanel();
    auto *channel = scan->findChild<platform::ScanChannel *>();
    QElapsedTimer clock;
    qint64 lastAnswer = -1;
    int answers = 0;
    const auto counting = QObject::connect(channel, &platform::ScanChannel::answerReceived, scan,
                                           [&] { ++answers; lastAnswer = clock.elapsed(); });
    QEventLoop done;
    qint64 buttonsAt = -1;
    const auto finishing = QObject::connect(scan, &ScanPanel::scanCompleted, scan, [&] {
        buttonsAt = clock.elapsed();
        done.quit();
    });
    QTimer::singleShot(120000, &done, &QEventLoop::quit);
    window.ipListPanel()->dialogState().manualTarget[0] =
        u"CIP_Range_Manual,"_qs + first + u',' + last;
    clock.start();
    stall.arm();
    scan->StartScan();
    const qint64 launchedAt = clock.elapsed();
    done.exec();
    stall.disarm();
    *stallMs = stall.longestMs();
    QObject::disconnect(counting);
    QObject::disconnect(finishing);
    const int launches = scan->tally().launched;
    const double floor = launches * 0.010;
    Q_UNUSED(silent)
    std::printf("%s: %d launches, %d answers, active %d, inactive %d\n", qPrintable(label),
                launches, answers, scan->tally().active, scan->tally().inactive);
    std::printf("  launching done          %.3f s\n", launchedAt / 1000.0);
    std::printf("  last answer             %.3f s   (floor %.2f s, ratio %.3f, %+.3f s)\n",
                lastAnswer / 1000.0, floor, lastAnswer / 1000.0 / floor,
                lastAnswer / 1000.0 - floor);
    std::printf("  result buttons          %.3f s\n", buttonsAt / 1000.0);
    std::printf("  longest event-loop stall %.2f ms (target <= 50), ending %.3f s after the start\n",
                *stallMs, stall.longestEndSeconds());
    return lastAnswer / 1000.0;
}

// fping -g over the range at its default pacing and with -i 1: "A s / B s".
std::string fping(const QString &range)
{
    if (QStandardPaths::findExecutable(u"fping"_qs).isEmpty()) {
        std::printf("  fping: not installed\n");
        return "fping not installed";
    }
    std::string cell;
    for (const QStringList &extra : {QStringList{}, QStringList{u"-i"_qs, u"1"_qs}}) {
        QProcess p;
        QElapsedTimer clock;
        clock.start();
        p.start(u"fping"_qs, QStringList{u"-q"_qs, u"-g"_qs, range} + extra);
        p.waitForFinished(120000);
        std::printf("  fping -g %s %s   %.3f s\n", qPrintable(range),
                    qPrintable(extra.isEmpty() ? u"(default pacing)"_qs : extra.join(u' ')),
                    clock.elapsed() / 1000.0);
        cell += bench::Cell(cell.empty() ? "%.3f s (fping -g)" : " / %.3f s (-i 1)", clock.elapsed() / 1000.0);
    }
    return cell;
}

// fping -6 over the addresses of a file: "A s".
std::string fping6(const QStringList &addresses)
{
    if (QStandardPaths::findExecutable(u"fping"_qs).isEmpty())
        return "fping not installed";
    QTemporaryDir dir;
    QFile list(dir.filePath(u"addresses"_qs));
    if (!list.open(QIODevice::WriteOnly))
        return "-";
    list.write(addresses.join(u'\n').toLatin1() + '\n');
    list.close();
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(u"fping"_qs, {u"-6"_qs, u"-q"_qs, u"-f"_qs, list.fileName()});
    p.waitForFinished(120000);
    std::printf("  fping -6 -f (%lld addresses)   %.3f s\n", qlonglong(addresses.size()),
                clock.elapsed() / 1000.0);
    return bench::Cell("%.3f s (fping -6)", clock.elapsed() / 1000.0);
}

void probeStart(const QString &probe, const QString &handle)
{
    const int runs = 200;
    QElapsedTimer clock;
    clock.start();
    qint64 fastestNs = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer one;
        one.start();
        const qint64 pid = platform::StartChild(
            probe, {handle + u",127.0.0.1,"_qs + QString::number(i) + u",,,,,350"_qs});
        while (!platform::ChildHasExited(pid)) {
            QCoreApplication::processEvents(); // its answer is read, so it can end
            QThread::usleep(20);
        }
        const qint64 ns = one.nsecsElapsed();
        fastestNs = fastestNs < 0 ? ns : std::min(fastestNs, ns);
    }
    std::printf("probe start to exit, one answering address: %.2f ms mean, %.2f ms fastest "
                "(%d runs)\n", clock.elapsed() / double(runs), fastestNs / 1e6, runs);
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(u"data"_qs).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(u"config"_qs).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    setMessageResponder([](const MessageBoxRequest &box) {
        std::printf("box: %s\n", qPrintable(box.text));
        return BoxAnswer::Ok;
    });
    FormTester window;
    window.show();

    // Three scans of the answering range: the seconds, and the longest stall of each.
    bench::Runs answering, stalls;
    for (int round = 0; round < 3; ++round) {
        double stallMs = 0;
        answering.add(scanRange(window, u"answering 127.0.0.1-127.0.0.254"_qs, u"127.0.0.1"_qs,
                                u"127.0.0.254"_qs, false, &stallMs));
        stalls.add(stallMs);
    }
    bench::TableRow("/24 scan, answering (127.0.0.0/24)", answering.cell(" s", 3), "-",
                    fping(u"127.0.0.0/24"_qs));

    if (::geteuid() == 0
        && run(u"ip"_qs, {u"link"_qs, u"add"_qs, u"nvb0"_qs, u"type"_qs, u"veth"_qs, u"peer"_qs,
                          u"name"_qs, u"nvb1"_qs})
        && run(u"ip"_qs, {u"addr"_qs, u"add"_qs, u"10.231.6.1/24"_qs, u"dev"_qs, u"nvb0"_qs})
        && run(u"ip"_qs, {u"link"_qs, u"set"_qs, u"nvb0"_qs, u"up"_qs})
        && run(u"ip"_qs, {u"link"_qs, u"set"_qs, u"nvb1"_qs, u"up"_qs})) {
        double stallMs = 0;
        const double silent = scanRange(window, u"silent 10.231.6.2-10.231.6.255"_qs,
                                        u"10.231.6.2"_qs, u"10.231.6.255"_qs, true, &stallMs);
        stalls.add(stallMs);
        bench::TableRow("/24 scan, silent (namespace veth)", bench::Cell("%.3f s", silent), "-",
                        fping(u"10.231.6.0/24"_qs));
        run(u"ip"_qs, {u"link"_qs, u"del"_qs, u"nvb0"_qs});
    } else {
        std::printf("silent range: skipped (needs root inside a private network namespace)\n");
    }

    // 256 IPv6 addresses that all answer: a local route puts them on loopback.
    if (::geteuid() == 0
        && run(u"ip"_qs, {u"-6"_qs, u"route"_qs, u"add"_qs, u"local"_qs, u"fd00:6::/120"_qs, u"dev"_qs, u"lo"_qs})) {
        QStringList addresses;
        for (int i = 0; i < 256; ++i)
            addresses << u"fd00:6::"_qs + QString::number(i, 16);
        double stallMs = 0;
        const double v6 = scanRange(window, u"answering fd00:6::-fd00:6::ff"_qs, u"fd00:6::"_qs,
                                    u"fd00:6::ff"_qs, false, &stallMs);
        stalls.add(stallMs);
        bench::TableRow("256 IPv6 addresses, answering (namespace loopback)", bench::Cell("%.3f s", v6), "-",
                        fping6(addresses));
    } else {
        std::printf("IPv6 range: skipped (needs root inside a private network namespace)\n");
    }

    bench::TableRow("longest event-loop stall, /24 scan", stalls.cell(" ms"), "<= 50 ms", "-");
    probeStart(window.scanPanel()->probePath(),
               window.scanPanel()->findChild<platform::ScanChannel *>()->handle());
    return 0;
}
