#pragma once
// A result file as a long test leaves it, for the benchmarks: `echoes` echo lines
// over three targets (repeat 2), every 7th lost; `perSecond` echoes share a second.
// Reading /proc/self/status here is the benchmarks' own measuring, not the program's.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <cstring>

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

// The same file written straight to `path` in pieces, for tests longer than memory
// should hold; false when it cannot be written.
inline bool WriteResultFile(const QString &path, qint64 echoes, int perSecond)
{
    std::FILE *out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    std::fputs("3,1,2\r\n", out);
    const QDateTime start(QDate(2026, 12, 7), QTime(21, 5, 9));
    QDate d;
    QTime t;
    qint64 second = -1;
    char line[96];
    for (qint64 i = 0; i < echoes; ++i) {
        if (i / perSecond != second) {
            second = i / perSecond;
            const QDateTime when = start.addSecs(second);
            d = when.date();
            t = when.time();
        }
        const int target = int(i % 6) / 2;
        const bool lost = i % 7 == 3;
        const int n = std::snprintf(line, sizeof line, "%04d,%02d,%02d,%02d,%02d,%02d,192.168.100.%d,%d,%d,%d,%d\r\n",
                                    d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(),
                                    101 + target, int(32 + (i / 6000) % 100), lost ? -1 : int(1 + i % 97),
                                    lost ? 0 : 64, lost ? 11010 : 0);
        std::fwrite(line, 1, size_t(n), out);
    }
    return std::fclose(out) == 0;
}

// Resident memory of this process (VmRSS) or its peak (VmHWM), in KiB.
inline long ResidentKiB(const char *field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Seconds `wc -l` takes over path, the floor the readers are measured against; its
// output goes to *output when asked for.
inline double WcSeconds(const QString &path, QByteArray *output = nullptr)
{
    QElapsedTimer t;
    t.start();
    QProcess wc;
    wc.start(QStringLiteral("wc"), {QStringLiteral("-l"), path});
    wc.waitForFinished(-1);
    const double seconds = t.nsecsElapsed() / 1e9;
    if (output)
        *output = wc.readAllStandardOutput().trimmed();
    return seconds;
}

} // namespace netvane::bench
