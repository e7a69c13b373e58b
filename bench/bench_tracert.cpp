// Traceroute runs through the real main window (offscreen): 64 traces at once to
// silent hosts with -h 5 -w 200, seconds from Tracert to "All Completed" against the
// floor (5 hops x 0.2 s, a hop's probes sent together, plus the 1 s poll), and the
// longest the window's event loop went without turning from the click to the end
// (target 50 ms), over three runs; then one trace along a path of three network
// namespaces (client, router, target) by our tracert and by Debian's `traceroute -I`,
// over IPv4 and over IPv6 (`traceroute -6 -I`).
// Needs root for the namespaces; everything stays inside namespaces it creates.

#include "app/formtester.h"
#include "bench/benchtable.h"
#include "bench/stallprobe.h"
#include "iplist/iplistpanel.h"
#include "support/scriptedui.h"
#include "support/testenv.h"
#include "traceroute/tracerun.h"
#include "traceroute/tracertpanel.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace netvane;

namespace {

bool ip(const QString &line)
{
    QString out;
    if (test::Run(u"ip"_qs, line.split(u' '), &out))
        return true;
    std::printf("ip %s: %s\n", qPrintable(line), qPrintable(out));
    return false;
}

// Runs a trace command and returns its output and seconds.
QString timed(const QString &program, const QStringList &args, double *seconds)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(60000);
    *seconds = t.nsecsElapsed() / 1e9;
    return QString::fromLocal8Bit(p.readAll());
}

// The addresses of the hop lines, in order.
QStringList hopAddresses(const QString &output, bool v6 = false)
{
    QStringList hops;
    const QRegularExpression hop(v6 ? u"^\\s*(\\d+)\\s.*?([0-9a-f]+:[0-9a-f:]*)"_qs
                                    : u"^\\s*(\\d+)\\s.*?(\\d+\\.\\d+\\.\\d+\\.\\d+)"_qs);
    for (const QString &line : output.split(u'\n')) {
        const auto m = hop.match(line);
        if (m.hasMatch() && !line.contains(u"Tracing"_qs) && !line.startsWith(u"traceroute"_qs))
            hops << m.captured(2);
    }
    return hops;
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
    const QString tag = QString::number(::getpid());
    const QString router = u"nvbrouter"_qs + tag;
    const QString target = u"nvbtarget"_qs + tag;
    const QStringList setup = {
        u"link add nvs0 type veth peer name nvs1"_qs, u"addr add 10.240.0.1/24 dev nvs0"_qs,
        u"link set nvs0 up"_qs, u"link set nvs1 up"_qs,
        u"route add 10.241.0.0/16 via 10.240.0.2"_qs,
        u"netns add "_qs + router, u"netns add "_qs + target,
        u"link add c0 type veth peer name r0 netns "_qs + router,
        u"link add t0 netns "_qs + target + u" type veth peer name r1 netns "_qs + router,
        u"addr add 10.250.1.1/24 dev c0"_qs, u"link set c0 up"_qs,
        u"route add 10.250.2.0/24 via 10.250.1.2"_qs,
        u"-n "_qs + router + u" addr add 10.250.1.2/24 dev r0"_qs,
        u"-n "_qs + router + u" addr add 10.250.2.1/24 dev r1"_qs,
        u"-n "_qs + router + u" link set r0 up"_qs, u"-n "_qs + router + u" link set r1 up"_qs,
        u"-n "_qs + target + u" addr add 10.250.2.2/24 dev t0"_qs,
        u"-n "_qs + target + u" link set t0 up"_qs, u"-n "_qs + target + u" link set lo up"_qs,
        u"-n "_qs + target + u" route add default via 10.250.2.1"_qs,
        u"netns exec "_qs + router + u" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0"_qs,
        // The same path over IPv6 (ULA, addresses usable at once).
        u"netns exec "_qs + router
            + u" sysctl -qw net.ipv6.conf.all.forwarding=1 net.ipv6.icmp.ratelimit=0"_qs,
        u"addr add fd00:250:1::1/64 dev c0 nodad"_qs,
        u"-6 route add fd00:250:2::/64 via fd00:250:1::2"_qs,
        u"-n "_qs + router + u" addr add fd00:250:1::2/64 dev r0 nodad"_qs,
        u"-n "_qs + router + u" addr add fd00:250:2::1/64 dev r1 nodad"_qs,
        u"-n "_qs + target + u" addr add fd00:250:2::2/64 dev t0 nodad"_qs,
        u"-n "_qs + target + u" -6 route add default via fd00:250:2::1"_qs,
    };
    bool ok = true;
    for (const QString &line : setup)
        ok = ok && ip(line);
    const auto cleanup = qScopeGuard([&] {
        ip(u"netns del "_qs + router);
        ip(u"netns del "_qs + target);
    });
    if (!ok)
        return 1;

    // 64 silent hosts at once, from the window's Tracert, three times.
    FormTester window;
    window.show();
    TraceRun *run = window.tracertPanel()->run();
    run->setProgram(QStringLiteral(TRACERT_PATH));
    test::WriteFileBytes(window.dataFolder() + u"Quellon_DB.txt"_qs, "CSilent,10.241.0.1,10.241.0.64\r\n \r\n");
    window.ipListPanel()->LoadIpList();
    auto *list = window.findChild<QListWidget *>(u"ListIP"_qs);
    window.mnuSelectTracert_Click();
    window.findChild<QComboBox *>(u"ComboTracert_1"_qs)->setEditText(u"5"_qs);
    window.findChild<QComboBox *>(u"ComboTracert_3"_qs)->setEditText(u"200"_qs);
    bench::StallProbe stall;
    bench::Runs ratios, stalls, launching;
    const double floor = 5 * 0.2 + 1.0;
    for (int round = 0; round < 3; ++round) {
        list->setCurrentItem(list->item(0), QItemSelectionModel::ClearAndSelect);
        bool done = false;
        const auto due = QObject::connect(run, &TraceRun::stopDue, &app, [&] { done = true; });
        double launched = -1;
        QElapsedTimer t;
        const auto counting = QObject::connect(run, &TraceRun::hostLaunched, &app, [&](int host) {
            if (host == MaxConcurrentTraces - 1)
                launched = t.nsecsElapsed() / 1e9;
        });
        QTimer::singleShot(0, &app, [&] {
            stall.reset();
            stall.arm();
            t.start();
            window.CommandTracert_Click();
        });
        QElapsedTimer limit;
        limit.start();
        while (!done && limit.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        const double seconds = t.nsecsElapsed() / 1e9;
        stall.disarm();
        QObject::disconnect(due);
        QObject::disconnect(counting);
        // The window finishes its Stop (two seconds) before the next run.
        while (window.isBusy() && limit.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        std::printf("64 traces, -h 5 -w 200, silent hosts, run %d\n", round + 1);
        std::printf("  the 64th launched after:  %.3f s\n", launched);
        std::printf("  start to All Completed:   %.3f s, ratio %.2f to the floor %.1f s (target <= 1.20)\n",
                    seconds, seconds / floor, floor);
        std::printf("  longest event-loop stall: %.2f ms (target <= 50)\n", stall.longestMs());
        std::printf("  caption: %s\n", qPrintable(run->caption()));
        ratios.add(seconds / floor);
        stalls.add(stall.longestMs());
        launching.add(launched);
    }
    bench::TableRow("64 silent traces, -h 5 -w 200", ratios.cell(" x floor"), "<= 1.20 x floor", "-");
    bench::TableRow("longest event-loop stall, launching 64 traces", stalls.cell(" ms"), "<= 50 ms", "-");

    // The IPv6 path, ours beside traceroute -6 -I, when it is installed.
    if (const QString program = QStandardPaths::findExecutable(u"traceroute"_qs); !program.isEmpty()) {
        double ours6 = 0, theirs6 = 0;
        const QString our6 = timed(QStringLiteral(TRACERT_PATH),
                                   {u"-d"_qs, u"-w"_qs, u"1000"_qs, u"fd00:250:2::2"_qs}, &ours6);
        const QString their6 = timed(program, {u"-6"_qs, u"-I"_qs, u"-n"_qs, u"-w"_qs, u"1"_qs,
                                               u"fd00:250:2::2"_qs}, &theirs6);
        std::printf("\nIPv6 namespace path, ours (tracert -d -w 1000): %.3f s\n%s\n", ours6,
                    qPrintable(our6.trimmed()));
        std::printf("\nIPv6 namespace path, traceroute -6 -I -n -w 1: %.3f s\n%s\n", theirs6,
                    qPrintable(their6.trimmed()));
        const QStringList a6 = hopAddresses(our6, true), b6 = hopAddresses(their6, true);
        std::printf("\nhops, ours: %s\nhops, traceroute -6 -I: %s\nsame hops: %s\n",
                    qPrintable(a6.join(u' ')), qPrintable(b6.join(u' ')), a6 == b6 ? "yes" : "NO");
        bench::TableRow("trace of a namespace path, IPv6",
                        bench::Cell("%.3f s, %s hops", ours6, a6 == b6 ? "same" : "OTHER"), "-",
                        bench::Cell("%.3f s (traceroute -6 -I)", theirs6));
    }

    // One trace along the routed path, ours beside Debian's traceroute -I.
    double ours = 0;
    const QString ourOutput = timed(QStringLiteral(TRACERT_PATH),
                                    {u"-d"_qs, u"-w"_qs, u"1000"_qs, u"10.250.2.2"_qs}, &ours);
    std::printf("\nnamespace path, ours (tracert -d -w 1000): %.3f s\n%s\n", ours,
                qPrintable(ourOutput.trimmed()));
    const QString theirsProgram = QStandardPaths::findExecutable(u"traceroute"_qs);
    if (theirsProgram.isEmpty()) {
        std::printf("traceroute is not installed (scripts/run-bench.sh installs it): no comparison\n");
        bench::TableRow("trace of a namespace path", bench::Cell("%.3f s", ours), "-",
                        "traceroute not installed");
        return 0;
    }
    double theirs = 0;
    const QString theirOutput = timed(theirsProgram,
                                      {u"-I"_qs, u"-n"_qs, u"-w"_qs, u"1"_qs, u"10.250.2.2"_qs}, &theirs);
    std::printf("\nnamespace path, traceroute -I -n -w 1: %.3f s\n%s\n", theirs,
                qPrintable(theirOutput.trimmed()));
    const QStringList a = hopAddresses(ourOutput);
    const QStringList b = hopAddresses(theirOutput);
    std::printf("\nhops, ours: %s\nhops, traceroute -I: %s\nsame hops: %s\n",
                qPrintable(a.join(u' ')), qPrintable(b.join(u' ')), a == b ? "yes" : "NO");
    bench::TableRow("trace of a namespace path", bench::Cell("%.3f s, %s hops", ours, a == b ? "same" : "OTHER"),
                    "-", bench::Cell("%.3f s (traceroute -I)", theirs));
    return 0;
}
