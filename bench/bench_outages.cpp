// The outages on reload: a result file of 10,000,000 echoes to three targets with
// 10,000 outages (and a lost echo now and then that makes none), read with the
// outages sought and without, against `wc -l` on the same file; the memory the
// outages take, per outage; and what a silent address of a large range costs.

#include "ping/resultreload.h"
#include "resultfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace netvane;

namespace {

// Echo i goes to target i % 3, one echo a second per target. In every window of 1000
// echoes one target loses 5 in a row; every 7th echo is lost on its own besides.
bool writeFile(const QString &path, qint64 echoes)
{
    std::FILE *out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    std::fputs("3,1,1\r\n", out);
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9), Qt::UTC);
    char line[96];
    qint64 second = -1;
    QDate d;
    QTime t;
    for (qint64 i = 0; i < echoes; ++i) {
        if (i / 3 != second) {
            second = i / 3;
            const QDateTime when = start.addSecs(second);
            d = when.date();
            t = when.time();
        }
        const int target = int(i % 3);
        const qint64 window = i / 1000, inWindow = i % 1000;
        const bool burst = target == window % 3 && inWindow >= 300 && inWindow < 315;
        const bool lost = burst || (i % 7 == 3 && inWindow > 20);
        const int n = std::snprintf(line, sizeof line, "%04d,%02d,%02d,%02d,%02d,%02d,192.168.100.%d,32,%d,%d,%d\r\n",
                                    d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(),
                                    101 + target, lost ? -1 : int(1 + i % 97), lost ? 0 : 64,
                                    lost ? 11010 : 0);
        std::fwrite(line, 1, size_t(n), out);
    }
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 echoes = 10000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Quellon_DB3.txt"_qs);
    if (!writeFile(path, echoes))
        return 1;
    QByteArray wcOut;
    double wc = 1e9;
    for (int i = 0; i < 3; ++i)
        wc = std::min(wc, bench::WcSeconds(path, &wcOut));

    double with = 1e9, without = 1e9;
    qsizetype outages = 0, bytes = 0;
    for (int i = 0; i < 5; ++i) {
        for (const int after : {0, 3}) {
            ResultReadOptions options;
            options.outageAfter = after;
            QElapsedTimer t;
            t.start();
            const ReloadedPingTest test = ReadResultFile(path, {}, options);
            const double s = t.nsecsElapsed() / 1e9;
            if (after == 0) {
                without = std::min(without, s);
            } else {
                with = std::min(with, s);
                outages = test.outages.count();
                bytes = test.outages.memoryBytes();
            }
        }
    }
    std::printf("result file: %lld echoes, %.1f MB; wc -l says %s\n", qlonglong(echoes),
                QFileInfo(path).size() / 1e6, wcOut.constData());
    std::printf("wc -l:                        %.3f s\n", wc);
    std::printf("reload without outages, best of 5: %.3f s (%.1f x wc -l)\n", without, without / wc);
    std::printf("reload with outages, best of 5:    %.3f s (%.1f x wc -l), %+.1f %%\n", with, with / wc,
                100.0 * (with - without) / without);
    std::printf("outages: %lld, %lld bytes, %.1f B per outage\n", qlonglong(outages), qlonglong(bytes),
                outages ? double(bytes) / double(outages) : 0.0);

    // A range of silent addresses: each one that lost an echo is followed, outage or not.
    const long before = bench::ResidentKiB();
    OutageFinder silent;
    for (qint64 i = 0; i < 1000000; ++i)
        silent.echo(i, u"10.%1.%2.%3"_qs.arg(i >> 16).arg((i >> 8) & 255).arg(i & 255), false, i / 1000);
    std::printf("1,000,000 silent addresses, one lost echo each: %.1f B per address counted, "
                "%.1f B resident\n",
                double(silent.memoryBytes()) / 1e6, double(bench::ResidentKiB() - before) * 1024 / 1e6);
    return 0;
}
