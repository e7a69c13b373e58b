#pragma once
// A result file as a long test leaves it, for the benchmarks: `echoes` echo lines
// over three targets (repeat 2), every 7th lost; `perSecond` echoes share a second.

#include <QByteArray>
#include <QDateTime>

#include <cstdio>

namespace netvane::bench {

inline QByteArray MakeResultFile(int echoes, int perSecond)
{
    QByteArray file;
    file.reserve(qsizetype(echoes) * 46 + 16);
    file += "3,1,2\r\n";
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9));
    char line[96];
    QDateTime when = start;
    for (int i = 0; i < echoes; ++i) {
        if (i % perSecond == 0)
            when = start.addSecs(i / perSecond);
        const QDate d = when.date();
        const QTime t = when.time();
        const int target = (i % 6) / 2;
        const bool lost = i % 7 == 3;
        const int n = std::snprintf(line, sizeof line, "%04d,%02d,%02d,%02d,%02d,%02d,192.168.100.%d,%d,%d,%d,%d\r\n",
                                    d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(),
                                    101 + target, 32 + (i / 6000) % 100, lost ? -1 : 1 + i % 97,
                                    lost ? 0 : 64, lost ? 11010 : 0);
        file.append(line, n);
    }
    return file;
}

} // namespace netvane::bench
