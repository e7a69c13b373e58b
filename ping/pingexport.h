#pragma once
// The two export layouts of a ping test's results, built from the reply log (read
// back from the result file in one pass per target), the statistics, the target
// names in test order and the repeat per target. The text layout is a readable report; the CSV layout one row per echo for
// a spreadsheet. Under each target its echoes are listed pass by pass: with N
// targets and repeat R, target k's echoes in pass m are the log entries
// m*R*N + k*R ... m*R*N + k*R + R - 1, so a test stopped in the middle of a pass
// simply lists fewer rows under the targets it did not reach.

#include "ping/outagefinder.h"
#include "ping/replyrecord.h"
#include "ping/sessionstats.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace netvane {

struct PingExportSource {
    const PingReplyLog *log = nullptr;
    PingSessionStats stats; // a copy: the export raises times of 0 to 1 in its own
    QStringList targets;    // target names, in test order
    int repeat = 1;
    int sizeStepLength = 1; // echoes that use one send size before the next is taken
    // For the JSON export: the targets' addresses in test order (as the result file
    // keeps them) and a copy of the test's outages, found by address.
    QStringList addresses;
    OutageFinder outages;
};

using ExportLineSink = std::function<void(const QString &line)>;

// False with the reason when the log's echoes could not all be read (the result file
// changed underneath); the lines before stay written.
bool WritePingTextExport(const PingExportSource &source, const ExportLineSink &sink,
                         QString *error = nullptr);
bool WritePingCsvExport(const PingExportSource &source, const ExportLineSink &sink,
                        QString *error = nullptr);
// One JSON document: the test's settings and, per target, its figures (sent, lost,
// loss rate, min/avg/max, percentiles, jitter, longest loss run) and its echoes as
// [time, rttMs or null, ttl, status, sizeBytes] (the order "echoFields" names; the
// echo's own rttMs is 0 under a millisecond, while the figures count such an echo as
// 1 ms, as the text export does), its outages (start, end or null while it goes on,
// seconds, echoes lost) and their totals. Written line by line as the log is read, one
// echo a line, never held whole in memory.
bool WritePingJsonExport(const PingExportSource &source, const ExportLineSink &sink,
                         QString *error = nullptr);
QStringList PingTextExportLines(const PingExportSource &source);
QStringList PingCsvExportLines(const PingExportSource &source);

// Calls f(logIndex) for every echo of target k (0-based), pass by pass.
void ForEachEchoOfTarget(qsizetype logSize, qsizetype targetCount, int repeat, qsizetype k,
                         const std::function<void(qsizetype)> &f);

// "Ping_Test_Log_" + month, day, hour and minute of the last reply line.
QString PingExportFileName(const PingSessionStats &stats);

// Told now and then how many lines an export has written so far.
using ExportProgress = std::function<void(qint64 lines)>;

// Writes the text ("txt"), CSV ("csv") or JSON ("json") layout to path, lines ended by CR LF.
// The file is replaced whole or not at all: false with the system's reason when it
// cannot be written, or with the reason the log cannot be read, and an older file of
// that name stays as it was.
bool SavePingExport(const QString &path, const QString &extension, const PingExportSource &source,
                    QString *error = nullptr, const ExportProgress &progress = {});

} // namespace netvane
