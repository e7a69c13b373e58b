// Bytes per reply record in memory with 1,000,000 records. Target: 32 or fewer.

#include "ping/replyrecord.h"

#include <QFile>
#include <cstdio>

static long residentKiB()
{
    QFile status(u"/proc/self/status"_qs);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

int main()
{
    constexpr int Records = 1000000;
    const long before = residentKiB();
    netvane::PingReplyLog log;
    const QDateTime start = QDateTime::currentDateTime();
    const QString targets[3] = {u"127.0.0.1"_qs, u"127.0.0.2"_qs, u"127.0.0.3"_qs};
    for (int i = 0; i < Records; ++i)
        log.append(start.addSecs(i / 3), targets[i % 3], 32, i % 7 ? i % 50 : -1, 64, i % 7 ? 0 : 11010);
    const long after = residentKiB();
    std::printf("sizeof(PingReplyRecord): %zu bytes\n", sizeof(netvane::PingReplyRecord));
    std::printf("log memory: %.1f bytes per record (records plus address table)\n",
                double(log.memoryBytes()) / Records);
    std::printf("resident growth: %.1f bytes per record (target <= 32)\n",
                double(after - before) * 1024.0 / Records);
    return 0;
}
