#pragma once
// The log of a path run, in the data folder, written line by line as the run goes
// (each line reaches the disk when written, so a killed window loses no round it
// showed) and read back at the next start like the last trace. One line each:
//
//   PATH 1 <start ms> <interval> <time-out> <size> <max hops> <targets>
//   T <target> <address> <label>
//   D <target> <ms> <hop 1> ... <target's hop>   each "a|b" for its routers, "*" for none
//   R <target> <ms> <latency 1> ... <latency n>   microseconds, -1 for lost
//   E <ms>                                         the run was stopped
//
// Times are ms since the epoch. A label carries no control characters (they become
// blanks). A line that cannot be read is skipped and counted.

#include "traceroute/pathstats.h"

#include "platform/textfile.h"

#include <QList>
#include <QString>

namespace netvane {

inline const QString PathLogName = QStringLiteral("PathRun.txt");

struct PathRunSettings {
    qint64 startMs = 0;
    int intervalMs = 1000;
    int timeoutMs = 1000;
    int size = 32;
    int maxHops = 30;
};

struct PathLogContent {
    PathRunSettings settings;
    QList<PathTrace> traces;
    qint64 endMs = 0;     // 0: the run did not end with Stop (killed, or still running)
    int unreadLines = 0;
};

class PathLogWriter final
{
public:
    // Replaces the log with the run's header and targets, then keeps it open for
    // appending. False with the system's reason.
    bool create(const QString &path, const PathRunSettings &settings, const QList<PathTrace> &targets,
                QString *error);
    bool isOpen() const { return m_file.isOpen(); }
    bool discovered(int target, qint64 whenMs, const QList<QStringList> &hops);
    bool round(int target, qint64 whenMs, const QList<qint32> &latenciesUs);
    bool ended(qint64 whenMs);
    void close() { m_file.close(); }
    QString errorString() const { return m_file.errorString(); }

private:
    LineAppender m_file;
};

// False when the file is missing or is not a path run's log.
bool ReadPathLog(const QString &path, PathLogContent *content);

} // namespace netvane
