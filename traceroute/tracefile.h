#pragma once
// The traceroute output files and the lines made of them. Every host of a run has
// its own file "<prefix><index>.txt" in the data folder's "Temp" folder, to which its
// tracert command's output is appended; the window re-reads a file into the host's
// line table while the command runs, and once more when it has ended. The same
// lines are shown, reloaded at the next start and exported.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace netvane {

// The lines of one host: entry 0 is the launch header until the file has lines.
struct TraceHostLines {
    QStringList lines;  // at most the table size
    int lineCount = 0;  // lines read from the file (0: the header alone)
    // Entry j as shown and exported (entries past the lines are empty rows).
    QString entry(int j) const { return j >= 0 && j < lines.size() ? lines.at(j) : QString(); }
};

// "<dataFolder>/Temp/TMP" + year, month, day, hour, minute, second without leading zeros.
QString TraceFilePrefix(const QString &dataFolder, const QDateTime &now);
QString TraceFileName(const QString &prefix, int host);

// The date and time in the user's short date form and the time with seconds.
QString TraceTimeText(const QDateTime &when);

// "(i+1) Tracing route to NAME over a maximum of N hops ......"
QString TraceLaunchHeader(int host, const QString &name, int maxHops);

// The table holds maxHops + 9 entries (at least one).
int TraceTableSize(qint64 maxHops);

// Re-reads host `host`'s file into `lines`: each line trimmed, "Tracing" numbered
// with the host's ordinal, a line holding "complete" stamped "      From  START  to
// LASTCHECK" when startTime is set. Lines past the table are dropped. A file that
// cannot be opened leaves the lines as they were (false); an empty one keeps entry 0.
bool ParseTraceFile(const QString &path, int host, const QString &startTime,
                    const QString &lastCheckTime, int tableSize, TraceHostLines &lines);

// The log export: "Tracing route to N hosts.", " ", every host's entries 0 to its
// line count, " ".
QStringList TraceExportLines(const QList<TraceHostLines> &hosts);
// "Traceroute_Log_" + the first 18 characters of the first host's start time
// without "/", ":", blanks and "-".
QString TraceExportFileName(const QString &firstStartTime);

} // namespace netvane
