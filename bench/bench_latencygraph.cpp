// The latency graph and the figures of a 10,000,000-echo test read back from its
// result file (synthesized in a temporary folder): the first pass that builds the
// summary and the figures, the percentiles alone and the memory they take, the
// drawing of the whole test and of zoom steps, what following a live test costs per
// echo, and the JSON export beside the CSV export of the same file.
// Targets: drawing <= 100 ms, a zoom step <= 50 ms, percentiles <= 0.3 s (three runs),
// following a 1 ms test < 1 % of its time. The echo count can be given as argument.

#include "bench/benchtable.h"
#include "ping/formlatencygraph.h"
#include "ping/pingexport.h"
#include "ping/resultreload.h"
#include "ping/sessionstats.h"
#include "resultfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

using namespace netvane;

namespace {

double drawSeconds(LatencyGraph &graph)
{
    QImage image(graph.size(), QImage::Format_RGB32);
    QElapsedTimer t;
    t.start();
    graph.render(&image);
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const qint64 echoes = argc > 1 ? std::atoll(argv[1]) : 10000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    // Six echoes a second over three targets (repeat 2), every 7th lost.
    if (!bench::WriteResultFile(path, echoes, 6))
        return 1;
    QElapsedTimer t;
    t.start();
    const ReloadedPingTest test = ReadResultFile(path);
    std::printf("%lld echoes, %.0f MB; reload %.3f s\n", qlonglong(test.log.size()),
                QFileInfo(path).size() / 1e6, t.nsecsElapsed() / 1e9);
    const QStringList targets{u"192.168.100.101"_qs, u"router.lan"_qs, u"192.168.100.103"_qs};

    long before = bench::ResidentKiB();
    QList<LatencyStatistics> figures;
    bench::Runs stats;
    for (int run = 0; run < 3; ++run) {
        t.restart();
        ComputeLatencyStatistics(test.log, 3, 2, 0, test.log.size(), figures);
        stats.add(t.nsecsElapsed() / 1e9);
    }
    t.restart();
    qint32 p99 = 0;
    for (const LatencyStatistics &f : figures)
        p99 = qMax(p99, f.percentile(99));
    std::printf("figures of every target (one pass): %s, percentiles %.6f s (p99 %d ms), "
                "+%ld KiB resident\n",
                stats.cell(" s", 3).c_str(), t.nsecsElapsed() / 1e9, p99, bench::ResidentKiB() - before);
    bench::TableRow("percentiles and jitter, 10M echoes (with the read)", stats.cell(" s", 3), "<= 0.3 s");

    LatencyGraphData data;
    data.attach(&test.log, targets, 2);
    before = bench::ResidentKiB();
    t.restart();
    data.catchUp();
    std::printf("graph's first pass (summary and figures): %.3f s, +%ld KiB resident\n",
                t.nsecsElapsed() / 1e9, bench::ResidentKiB() - before);

    LatencyGraph graph(data);
    graph.resize(900, 480);
    graph.showWholeTest();
    double best = 1e9;
    for (int i = 0; i < 3; ++i)
        best = qMin(best, drawSeconds(graph));
    std::printf("draw the whole test (900 x 480): %.1f ms\n", best * 1e3);
    bench::TableRow("latency graph, draw 10M echoes", bench::Cell("%.1f ms", best * 1e3), "<= 100 ms");
    double worst = 0;
    int steps = 0;
    const int x = graph.plotRect().center().x();
    while (graph.viewTo() - graph.viewFrom() > 20 && steps < 60) {
        QElapsedTimer z;
        z.start();
        graph.zoomAt(x, 0.8);
        QImage image(graph.size(), QImage::Format_RGB32);
        graph.render(&image);
        worst = qMax(worst, z.nsecsElapsed() / 1e9);
        ++steps;
    }
    std::printf("zoom in %d steps of 0.8 down to %.0f s: slowest step (range read and draw) %.1f ms\n",
                steps, graph.viewTo() - graph.viewFrom(), worst * 1e3);
    bench::TableRow("latency graph, slowest zoom step", bench::Cell("%.1f ms", worst * 1e3), "<= 50 ms");

    // Following a live test: one echo at a time into a log in memory, and the redraw
    // a live graph makes once a second.
    {
        PingReplyLog live;
        PingSessionStats stats;
        LatencyGraphData follow;
        follow.attach(&live, targets, 2);
        const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9));
        const int n = 200000;
        qint64 spent = 0;
        for (int i = 0; i < n; ++i) {
            EchoReply reply;
            reply.roundTripTime = quint32(i % 97);
            reply.ttl = 64;
            RecordReply(stats, live, start.addMSecs(i), u"127.0.0.1"_qs, 32, 0, reply);
            QElapsedTimer e;
            e.start();
            follow.catchUp();
            spent += e.nsecsElapsed();
        }
        LatencyGraph liveGraph(follow);
        liveGraph.resize(900, 480);
        liveGraph.showWholeTest();
        double redraw = 1e9;
        for (int i = 0; i < 3; ++i)
            redraw = qMin(redraw, drawSeconds(liveGraph));
        const double perEcho = double(spent) / n / 1e9;
        std::printf("following a live test: %.0f ns per echo, redraw %.1f ms; at 1000 echoes a second "
                    "that is %.2f %% of the time\n",
                    perEcho * 1e9, redraw * 1e3, (perEcho * 1000 + redraw) * 100);
    }

    PingExportSource source;
    source.log = &test.log;
    source.stats = test.stats;
    source.targets = targets;
    source.repeat = 2;
    const double millions = double(test.log.size()) / 1e6;
    for (const QString ext : {u"csv"_qs, u"json"_qs}) {
        const QString out = dir.filePath(u"export."_qs + ext);
        t.restart();
        QString error;
        if (!SavePingExport(out, ext, source, &error))
            std::printf("export failed: %s\n", qPrintable(error));
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("%-4s export: %.2f s per million echoes, %.0f MB\n", qPrintable(ext), s / millions,
                    QFileInfo(out).size() / 1e6);
        QFile::remove(out);
    }
    return 0;
}
