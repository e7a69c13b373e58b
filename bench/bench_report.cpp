// The summary report over 1,000,000 and 10,000,000 echoes read back from a result
// file, grouped by time (10 minutes) and by send size, through the report dialog's
// Generate (built beside the window), each of three runs beside its own `wc -l` on the
// same file: seconds and the ratio (target by time at 1M: <= 2 x wc -l), the resident
// memory the report adds, and the longest the event loop went without turning.
// Usage: bench_report [millions...]   (default: 1 10)

#include "bench/benchtable.h"
#include "bench/stallprobe.h"
#include "ping/resultreload.h"
#include "report/dialogrpt.h"
#include "resultfile.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace netvane;

namespace {

void reportOnce(DialogRpt &dialog, bool bySize, qint64 echoes, const QString &path,
                bench::StallProbe &stall)
{
    dialog.findChild<QRadioButton *>(bySize ? u"Option1_1"_qs : u"Option1_0"_qs)->setChecked(true);
    dialog.comboGroupBy()->setEditText(u"10"_qs);
    bench::Runs seconds, ratios, stalls;
    long grown = 0;
    for (int run = 0; run < 3; ++run) {
        const double wcLines = bench::WcSeconds(path);
        const long before = bench::ResidentKiB();
        stall.reset();
        stall.arm();
        QElapsedTimer t;
        t.start();
        dialog.CommandBUild_Click();
        const double s = t.nsecsElapsed() / 1e9;
        stall.disarm();
        grown = bench::ResidentKiB() - before;
        seconds.add(s);
        ratios.add(s / wcLines);
        stalls.add(stall.longestMs());
    }
    qsizetype groups = 0;
    if (const SummaryReport *report = dialog.report())
        for (const ReportHost &host : report->hosts)
            groups += host.groups.size();
    std::printf("  by %-5s %s (%.3f s per million), %s; %lld groups, resident +%ld KiB, stall %s\n",
                bySize ? "size" : "time", seconds.cell(" s", 3).c_str(), seconds.least() * 1e6 / double(echoes),
                ratios.cell(" x wc -l").c_str(), qlonglong(groups), grown, stalls.cell(" ms").c_str());
    const std::string figure = bench::Cell("summary report by %s, %lldM echoes", bySize ? "size" : "time",
                                           qlonglong(echoes / 1000000));
    if (!bySize && echoes == 1000000)
        bench::TableRow(figure, ratios.cell(" x wc -l"), "<= 2 x wc -l", bench::Cell("least %.3f s", seconds.least()));
    else
        bench::TableRow(figure, seconds.cell(" s", 3), bench::Cell("<= %.1f s", 0.3 * double(echoes) / 1e6),
                        ratios.cell(" x wc -l"));
    bench::TableRow("longest event-loop stall, " + figure, stalls.cell(" ms"), "<= 50 ms", "-");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QList<qint64> millions;
    for (int i = 1; i < argc; ++i)
        millions.append(QByteArray(argv[i]).toLongLong());
    if (millions.isEmpty())
        millions = {1, 10};
    QTemporaryDir dir;
    for (const qint64 m : millions) {
        const qint64 echoes = m * 1000000;
        const QString path = dir.filePath(u"result.txt"_qs);
        // One echo a second: a 10-minute group holds 100 echoes of each of 3 targets.
        if (!bench::WriteResultFile(path, echoes, 1)) {
            std::printf("cannot write %lld echoes\n", qlonglong(echoes));
            return 1;
        }
        const ReloadedPingTest test = ReadResultFile(path);
        const double wcLines = bench::WcSeconds(path);
        std::printf("%lld echoes, %.0f MB; wc -l %.3f s\n", qlonglong(test.log.size()),
                    QFileInfo(path).size() / 1e6, wcLines);
        DialogRpt dialog;
        ReportSource source;
        source.log = &test.log;
        source.targets = {u"192.168.100.101"_qs, u"router.lan"_qs, u"192.168.100.103"_qs};
        source.repeat = 2;
        // The file's sizes step every 6000 echoes through 100 sizes.
        source.pingsPerSize = 6000 / 2;
        source.sizeCount = 100;
        dialog.setSource(source);
        dialog.show();
        bench::StallProbe stall;
        for (const bool bySize : {false, true})
            reportOnce(dialog, bySize, echoes, path, stall);
        QFile::remove(path);
    }
    return 0;
}
