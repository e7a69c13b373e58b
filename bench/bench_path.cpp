// Path statistics on a lossy chain of namespaces (client -> r1 .. r4 -> target, r2
// dropping a tenth of the ICMP it forwards, so from hop 3 on 1 - 0.9^2 = 19 % is lost):
// 1. one target, 200 rounds at 100 ms: per-hop loss and average, beside
//    `mtr --report -n -c 200 -i 0.1` on the same chain when it is installed
//    (scripts/run-bench.sh installs mtr-tiny);
// 2. 64 targets x 5 hops at 100 ms through the real window (offscreen) for 30 s: the
//    cadence against the interval (target >= 0.99), the window's longest stall
//    (target <= 50 ms), and the memory the run grows by per echo while its log is
//    written (target <= 2 bytes).
// Needs root for the namespaces; everything stays inside namespaces it creates.

#include "app/formtester.h"
#include "bench/benchtable.h"
#include "bench/stallprobe.h"
#include "iplist/iplistpanel.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/pathpanel.h"
#include "traceroute/pathrun.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

using namespace netvane;

namespace {

const QString Target = u"10.72.5.2"_qs;

bool run(const QStringList &args)
{
    QString out;
    if (test::Run(args.first(), args.mid(1), &out))
        return true;
    std::printf("%s: %s\n", qPrintable(args.join(u' ')), qPrintable(out));
    return false;
}

QStringList split(const QString &line)
{
    return line.split(u' ', Qt::SkipEmptyParts);
}

double residentKb()
{
    QFile status(u"/proc/self/status"_qs);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble();
    return 0;
}

void wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::IsolatedFolders folders;
    test::ScriptedUi ui;
    QString why;
    if (!test::EnterPrivateNetworkNamespace(&why)) {
        std::printf("skipped: %s\n", qPrintable(why));
        return 0;
    }
    if (QStandardPaths::findExecutable(u"nft"_qs).isEmpty()) {
        std::printf("skipped: nft (nftables) is not installed\n");
        return 0;
    }
    // The chain: link n joins 10.72.n.1 (nearer the client) and 10.72.n.2.
    const QString pid = QString::number(::getpid());
    QStringList spaces;
    for (const QString &name : {u"r1"_qs, u"r2"_qs, u"r3"_qs, u"r4"_qs, u"tg"_qs})
        spaces << u"nvb%1%2"_qs.arg(name, pid);
    const auto cleanup = qScopeGuard([&] {
        for (const QString &ns : std::as_const(spaces))
            test::Run(u"ip"_qs, {u"netns"_qs, u"del"_qs, ns});
    });
    const auto in = [](const QString &ns, const QString &command) {
        return QStringList{u"ip"_qs, u"netns"_qs, u"exec"_qs, ns} + split(command);
    };
    QList<QStringList> setup;
    for (const QString &ns : std::as_const(spaces)) {
        setup << QStringList{u"ip"_qs, u"netns"_qs, u"add"_qs, ns} << in(ns, u"ip link set lo up"_qs)
              << in(ns, u"sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0 "
                        "net.ipv4.icmp_msgs_per_sec=1000000 net.ipv4.icmp_msgs_burst=1000000"_qs);
    }
    for (int n = 1; n <= 5; ++n) {
        const QString a = u"nvqa%1"_qs.arg(n), b = u"nvqb%1"_qs.arg(n);
        const QString near = n == 1 ? QString() : spaces[n - 2], far = spaces[n - 1];
        const auto at = [&](const QString &ns, const QString &command) {
            return ns.isEmpty() ? split(command) : in(ns, command);
        };
        setup << split(u"ip link add %1 type veth peer name %2 netns %3"_qs.arg(a, b, far));
        if (!near.isEmpty())
            setup << split(u"ip link set %1 netns %2"_qs.arg(a, near));
        setup << at(near, u"ip addr add 10.72.%1.1/24 dev %2"_qs.arg(n).arg(a))
              << at(near, u"ip link set %1 up"_qs.arg(a))
              << in(far, u"ip addr add 10.72.%1.2/24 dev %2"_qs.arg(n).arg(b))
              << in(far, u"ip link set %1 up"_qs.arg(b));
    }
    // Routers send on towards the target and back towards the client.
    for (int n = 1; n <= 5; ++n) {
        const QString ns = spaces[n - 1];
        setup << in(ns, n < 5 ? u"ip route add default via 10.72.%1.2"_qs.arg(n + 1)
                              : u"ip route add default via 10.72.5.1"_qs);
        if (n > 1 && n < 5)
            setup << in(ns, u"ip route add 10.72.1.0/24 via 10.72.%1.1"_qs.arg(n));
    }
    setup << split(u"ip route add default via 10.72.1.2"_qs);
    for (int i = 1; i <= 64; ++i)
        setup << in(spaces[4], u"ip addr add 10.72.8.%1/32 dev lo"_qs.arg(i));
    setup << in(spaces[1], u"nft add table inet t"_qs)
          << in(spaces[1], u"nft add chain inet t f { type filter hook forward priority 0 ; }"_qs)
          << in(spaces[1], u"nft add rule inet t f meta l4proto icmp numgen random mod 10 0 drop"_qs);
    for (const QStringList &args : std::as_const(setup))
        if (!run(args))
            return 1;

    // 1. One target, 200 rounds at 100 ms.
    PathRun path;
    path.setRounds(200);
    PathRunSettings settings;
    settings.intervalMs = 100;
    settings.timeoutMs = 1000;
    settings.maxHops = 10;
    QSignalSpy finished(&path, &PathRun::finished);
    QDir().mkpath(folders.dataFolder());
    if (!path.start({{Target, {}}}, settings, false, folders.dataFolder(), &why)) {
        std::printf("cannot start: %s\n", qPrintable(why));
        return 1;
    }
    finished.wait(120'000);
    path.stop();
    const PathTrace &trace = path.traces().first();
    std::printf("one target, 200 rounds at 100 ms; %s\n", qPrintable(trace.verdict()));
    std::printf("  hop  address         loss %%   avg ms   (expected loss: 0, 0, then 19 %%)\n");
    for (const PathHop &h : trace.hops())
        std::printf("  %3d  %-14s %6.1f  %7.3f\n", h.hop, qPrintable(h.addresses.value(0, u"*"_qs)),
                    h.stats.lossPercent(), h.stats.averageMs());

    const QString peer = QStandardPaths::findExecutable(u"mtr"_qs);
    QString peerCell = u"not installed"_qs;
    QList<double> peerLoss, peerAvg;
    if (!peer.isEmpty()) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(peer, {u"--report"_qs, u"-n"_qs, u"-c"_qs, u"200"_qs, u"-i"_qs, u"0.1"_qs, Target});
        p.waitForFinished(120'000);
        const QString out = QString::fromLocal8Bit(p.readAll());
        std::printf("\nmtr --report -n -c 200 -i 0.1:\n%s\n", qPrintable(out.trimmed()));
        const QRegularExpression row(u"^\\s*\\d+\\.\\|--\\s+\\S+\\s+([\\d.]+)%\\s+\\d+\\s+[\\d.]+\\s+([\\d.]+)"_qs);
        for (const QString &line : out.split(u'\n')) {
            if (const auto m = row.match(line); m.hasMatch()) {
                peerLoss << m.captured(1).toDouble();
                peerAvg << m.captured(2).toDouble();
            }
        }
    }
    QStringList ours, theirs;
    for (qsizetype i = 0; i < trace.hops().size(); ++i) {
        ours << u"%1 %/%2 ms"_qs.arg(trace.hops()[i].stats.lossPercent(), 0, 'f', 1)
                    .arg(trace.hops()[i].stats.averageMs(), 0, 'f', 2);
        if (i < peerLoss.size())
            theirs << u"%1 %/%2 ms"_qs.arg(peerLoss[i], 0, 'f', 1).arg(peerAvg[i], 0, 'f', 2);
    }
    if (!peer.isEmpty())
        peerCell = theirs.join(u", "_qs);
    bench::TableRow("per-hop loss/avg, 200 x 100 ms, lossy chain", ours.join(u", "_qs).toStdString(),
                    "0, 0, then 19 % +- 8", peerCell.toStdString());

    // 2. 64 targets x 5 hops at 100 ms through the window.
    FormTester window;
    window.show();
    test::WriteFileBytes(window.dataFolder() + u"Quellon_DB.txt"_qs, "CPath,10.72.8.1,10.72.8.64\r\n \r\n");
    window.ipListPanel()->LoadIpList();
    auto *list = window.findChild<QListWidget *>(u"ListIP"_qs);
    list->setCurrentItem(list->item(0), QItemSelectionModel::ClearAndSelect);
    window.findChild<QCheckBox *>(u"CheckIPtoName"_qs)->setChecked(false);
    window.findChild<QComboBox *>(u"ComboInv"_qs)->setEditText(u"100"_qs);
    window.findChild<QComboBox *>(u"ComboTimeOut"_qs)->setEditText(u"1000"_qs);
    window.findChild<QComboBox *>(u"ComboTracert_1"_qs)->setEditText(u"8"_qs);
    window.mnuSelectPath_Click();
    bench::StallProbe stall;
    stall.arm();
    window.CommandPath_Click();
    PathRun *windowRun = window.pathPanel()->run();
    wait(10'000); // the hops are found, the log and the figures settle in
    const double kbBefore = residentKb();
    const qint64 roundsBefore = windowRun->roundsRecorded();
    wait(20'000);
    const double kbAfter = residentKb();
    const qint64 rounds = windowRun->roundsRecorded() - roundsBefore;
    const PathCadence cadence = windowRun->cadence();
    window.CommandStop_Click();
    stall.disarm();
    qint64 hops = 0;
    for (const PathTrace &t : windowRun->traces())
        hops += t.hops().size();
    const double echoesPerRound = double(hops) / double(windowRun->traces().size());
    const double echoes = double(rounds) * echoesPerRound;
    const double ratio = cadence.ticks > 1 ? (cadence.ticks - 1) * 100.0 / cadence.elapsedMs : 0;
    const double perEcho = echoes > 0 ? std::max(0.0, kbAfter - kbBefore) * 1024 / echoes : 0;
    std::printf("\n64 targets x %.1f hops at 100 ms, 30 s through the window\n", echoesPerRound);
    std::printf("  ticks %lld in %.0f ms: cadence %.4f of the interval (target >= 0.99), latest tick %.1f ms\n",
                cadence.ticks, cadence.elapsedMs, ratio, cadence.maxLateMs);
    std::printf("  longest event-loop stall: %.2f ms (target <= 50)\n", stall.longestMs());
    std::printf("  memory: %.0f kB -> %.0f kB over %.0f echoes: %.3f bytes an echo (target <= 2)\n", kbBefore,
                kbAfter, echoes, perEcho);
    bench::TableRow("path cadence, 64 targets x 5 hops at 100 ms", bench::Cell("%.4f", ratio), ">= 0.99", "-");
    bench::TableRow("longest event-loop stall, 64-target path run", bench::Cell("%.2f ms", stall.longestMs()),
                    "<= 50 ms", "-");
    bench::TableRow("memory per echo, path run with its log", bench::Cell("%.3f B", perEcho), "<= 2 B", "-");
    return 0;
}
