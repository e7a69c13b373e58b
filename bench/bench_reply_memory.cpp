// Resident growth per echo of a test's reply log over 1,000,000 echoes: backed by
// the result file, written echo by echo as the run loop writes it (target: 2 bytes
// or fewer), and kept in memory as for a test without a result file.

#include "bench/benchtable.h"
#include "ping/replyrecord.h"
#include "ping/resultstore.h"
#include "ping/sessionstats.h"
#include "resultfile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace netvane;

int main()
{
    constexpr int Records = 1000000;
    const QDateTime start = QDateTime::currentDateTime();
    const QString targets[3] = {u"127.0.0.1"_qs, u"127.0.0.2"_qs, u"127.0.0.3"_qs};
    EchoReply reply;
    reply.ttl = 64;

    QTemporaryDir dir;
    PingResultStore store;
    if (!store.create(dir.path(), 3, 1, 1, {targets[0], targets[1], targets[2]}))
        return 1;
    PingReplyLog stored;
    stored.useResultFile(store.path(), store.stamp());
    PingSessionStats stats;
    long before = bench::ResidentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Records; ++i) {
        reply.roundTripTime = quint32(i % 50);
        RecordReply(stats, stored, start.addSecs(i / 3), targets[i % 3], 32, i % 7 ? 0 : 11010, reply);
        const qint64 offset = store.stamp().size;
        if (!store.append(ReplyLine(stored.last(), targets[i % 3])))
            return 1;
        stored.markStored(offset, store.stamp());
    }
    const double perEcho = double(clock.nsecsElapsed()) / 1e3 / Records;
    long after = bench::ResidentKiB();
    std::printf("backed by the result file: resident growth %.3f bytes per echo (target <= 2), "
                "the log holds %.3f bytes per echo, %lld echoes in the file, %zu in memory; "
                "recording and writing an echo takes %.2f us\n",
                double(after - before) * 1024.0 / Records, double(stored.memoryBytes()) / Records,
                qlonglong(stored.storedEchoes().rows), stored.memoryRecords().size(), perEcho);
    bench::TableRow("resident bytes per stored echo (result file)",
                    bench::Cell("%.3f", double(after - before) * 1024.0 / Records), "<= 2", "-");
    store.close();

    before = bench::ResidentKiB();
    PingReplyLog log;
    for (int i = 0; i < Records; ++i)
        log.append(start.addSecs(i / 3), targets[i % 3], 32, i % 7 ? i % 50 : -1, 64, i % 7 ? 0 : 11010);
    after = bench::ResidentKiB();
    std::printf("kept in memory (no result file): sizeof(PingReplyRecord) %zu bytes, resident growth "
                "%.1f bytes per echo\n",
                sizeof(PingReplyRecord), double(after - before) * 1024.0 / Records);
    return 0;
}
