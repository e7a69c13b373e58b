// Text and CSV export of a 1,000,000-echo test, as the Export button writes them.

#include "ping/pingexport.h"
#include "ping/resultreload.h"
#include "resultfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>

using namespace netvane;

namespace {

void exportOnce(const char *what, const ReloadedPingTest &test, const QString &folder)
{
    PingExportSource source;
    source.log = &test.log;
    source.stats = test.stats;
    source.targets = {u"192.168.100.101"_qs, u"router.lan"_qs, u"192.168.100.103"_qs};
    source.repeat = 2;
    for (const QString ext : {u"txt"_qs, u"csv"_qs}) {
        const QString path = folder + u"/export."_qs + ext;
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer t;
            t.start();
            if (!SavePingExport(path, ext, source))
                std::printf("export failed\n");
            best = std::min(best, t.nsecsElapsed() / 1e9);
        }
        std::printf("%-34s %s: %.3f s, %.1f MB\n", what, qPrintable(ext), best,
                    QFileInfo(path).size() / 1e6);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    const int echoes = 1000000;
    const ReloadedPingTest busy = ParseResultFile(bench::MakeResultFile(echoes, 6));
    std::printf("%lld echoes\n", qlonglong(busy.log.size()));
    exportOnce("6 echoes a second (3 x 2 a tick)", busy, dir.path());
    // Each echo in a second of its own: over eleven days of one echo a second.
    const ReloadedPingTest slow = ParseResultFile(bench::MakeResultFile(echoes, 1));
    exportOnce("1 echo a second", slow, dir.path());
    return 0;
}
