// A test of 10,000,000 echoes (about 450 MB of result file, synthesized in a
// temporary data folder) through the main window: resident growth per echo after
// the reloads, the reload to the last page against `wc -l` on the same file (five
// runs: the least and the median), page flips anywhere, and the text and CSV exports
// from the window's Export; for the reloads and the exports the longest the window's
// event loop went without turning. Targets: growth <= 2 bytes per echo, reload <= 2 x
// wc -l, a page flip <= 5 ms, an export <= 2 s per million echoes, a stall <= 50 ms.
// The echo count can be given as the first argument.

#include "bench/benchtable.h"
#include "bench/stallprobe.h"
#include "app/formtester.h"
#include "ping/pingexport.h"
#include "ping/pingpanel.h"
#include "ping/resultreload.h"
#include "ping/resultstore.h"
#include "resultfile.h"
#include "support/scriptedui.h"
#include "support/testenv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace netvane;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    test::IsolatedFolders folders;
    test::ScriptedUi ui; // answers the large-file question with Yes
    const qint64 echoes = argc > 1 ? std::atoll(argv[1]) : 10000000;
    const QString path = folders.dataFolder() + ResultFileName;
    QDir().mkpath(folders.dataFolder());

    // The window first shows a short test, so that what it costs to be a window is
    // not counted as growth.
    if (!bench::WriteResultFile(path, 20, 6))
        return 1;
    FormTester window;
    window.show();
    QCoreApplication::processEvents();
    const long residentBefore = bench::ResidentKiB();
    const long peakBefore = bench::ResidentKiB("VmHWM:");

    QElapsedTimer t;
    t.start();
    if (!bench::WriteResultFile(path, echoes, 6))
        return 1;
    const double written = t.nsecsElapsed() / 1e9;
    const double megabytes = QFileInfo(path).size() / 1e6;
    QByteArray wcOut;
    double wc = 1e9;
    for (int i = 0; i < 3; ++i)
        wc = std::min(wc, bench::WcSeconds(path, &wcOut));
    std::printf("result file: %lld echoes, %.1f MB, synthesized in %.1f s; wc -l says %s\n",
                qlonglong(echoes), megabytes, written, wcOut.constData());
    std::printf("wc -l, best of 3:                 %.3f s\n", wc);

    // Each reload beside its own wc -l, so that the ratio holds on a busy machine.
    bench::StallProbe stall;
    bench::Runs reloads, ratios, reloadStalls;
    for (int i = 0; i < 5; ++i) {
        const double wcNow = bench::WcSeconds(path);
        stall.reset();
        stall.arm();
        t.restart();
        window.ReloadPreviousPingTest();
        const double seconds = t.nsecsElapsed() / 1e9;
        stall.disarm();
        reloads.add(seconds);
        ratios.add(seconds / wcNow);
        reloadStalls.add(stall.longestMs());
        std::printf("reload %d: %.3f s, wc -l %.3f s, %.2f x; longest stall %.2f ms\n", i + 1, seconds,
                    wcNow, seconds / wcNow, stall.longestMs());
    }
    const double reload = reloads.least();
    double reader = 1e9;
    for (int i = 0; i < 2; ++i) {
        t.restart();
        const ReloadedPingTest test = ReadResultFile(path);
        reader = std::min(reader, t.nsecsElapsed() / 1e9);
    }
    const PingReplyLog &log = window.pingTest()->log();
    const long residentAfter = bench::ResidentKiB();
    const long peakAfter = bench::ResidentKiB("VmHWM:");
    std::printf("reload to the last page: %s; least %.2f x wc -l (target <= 2); %lld echoes, "
                "last row shown \"%s\"\n",
                reloads.cell(" s", 3).c_str(), ratios.least(), qlonglong(log.size()),
                qPrintable(window.findChild<QLabel *>(u"sTYPE_%1"_qs.arg((log.size() - 1) % 20))->text()));
    const std::string size = echoes >= 1000000 ? bench::Cell("%lldM", qlonglong(echoes / 1000000))
                                               : bench::Cell("%lld", qlonglong(echoes));
    bench::TableRow("reload, " + size + " echoes", ratios.cell(" x wc -l"), "<= 2 x wc -l",
                    bench::Cell("%.3f s (wc -l)", wc));
    bench::TableRow("longest event-loop stall, reload " + size, reloadStalls.cell(" ms"), "<= 50 ms", "-");
    bench::TableRow("resident bytes per echo, reloaded " + size,
                    bench::Cell("%.3f", double(residentAfter - residentBefore) * 1024.0 / double(echoes)),
                    "<= 2", "-");
    std::printf("the one-pass reader alone, best of 2: %.3f s = %.2f x wc -l\n", reader, reader / wc);
    std::printf("resident growth: %.3f bytes per echo (target <= 2); peak growth %.3f bytes per echo; "
                "the log holds %.3f bytes per echo\n",
                double(residentAfter - residentBefore) * 1024.0 / double(echoes),
                double(peakAfter - peakBefore) * 1024.0 / double(echoes),
                double(log.memoryBytes()) / double(echoes));

    // Page flips to places all over the test, as the scroll bar shows them.
    PingPanel *panel = window.pingPanel();
    std::vector<double> flips;
    QRandomGenerator random(12);
    const int lastTop = int(log.size()) - 20;
    for (int i = 0; i < 1000; ++i) {
        const int top = i == 0 ? 0 : i == 1 ? lastTop : int(random.bounded(lastTop + 1));
        t.restart();
        if (!panel->showPage(log, top))
            std::printf("page at %d could not be read\n", top);
        flips.push_back(t.nsecsElapsed() / 1e6);
    }
    const double firstFlip = flips.front();
    std::sort(flips.begin(), flips.end());
    double sum = 0;
    for (double f : flips)
        sum += f;
    std::printf("page flip anywhere (1000, cache warm): mean %.3f ms, median %.3f ms, 99th percentile "
                "%.3f ms, worst %.3f ms, first %.3f ms (target <= 5 ms)\n",
                sum / double(flips.size()), flips[flips.size() / 2], flips[flips.size() * 99 / 100],
                flips.back(), firstFlip);

    // Both exports through the window's Export (the save dialog answered), timed with
    // the longest stall while they write.
    for (const QString ext : {u"txt"_qs, u"csv"_qs}) {
        const QString out = folders.path() + u"/export."_qs + ext;
        ui.paths << out;
        stall.reset();
        stall.arm();
        t.restart();
        window.ExportPingResults(ext);
        const double s = t.nsecsElapsed() / 1e9;
        stall.disarm();
        if (!ui.boxes.isEmpty() && ui.boxes.last().title != u"File Saved")
            std::printf("export failed: %s\n", qPrintable(ui.boxes.last().text));
        std::printf("%s export: %.2f s = %.3f s per million echoes (target <= 2), %.1f MB, longest stall %.2f ms\n",
                    qPrintable(ext), s, s * 1e6 / double(echoes), QFileInfo(out).size() / 1e6,
                    stall.longestMs());
        bench::TableRow(qPrintable(ext + u" export, "_qs + QString::fromStdString(size) + u" echoes"_qs),
                        bench::Cell("%.2f s = %.3f s per 1M", s, s * 1e6 / double(echoes)),
                        "<= 2 s per 1M", bench::Cell("%.3f s (wc -l)", wc));
        bench::TableRow(qPrintable(u"longest event-loop stall, "_qs + ext + u" export "_qs
                                   + QString::fromStdString(size)),
                        bench::Cell("%.2f ms", stall.longestMs()), "<= 50 ms", "-");
        QFile::remove(out);
    }
    std::printf("resident after the exports: %.3f bytes per echo above the short test\n",
                double(bench::ResidentKiB() - residentBefore) * 1024.0 / double(echoes));
    return 0;
}
