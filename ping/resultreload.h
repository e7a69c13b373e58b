#pragma once
// Reading back the store of the last ping test at start-up: the result file
// ("Quellon_DB3.txt": header "targets,sizeStepLength,repeat", then one line per echo)
// becomes the reply log and the statistics the test ended with, and the target file
// ("Quellon_DB4.txt") the names of its targets. The window shows what comes out.
//
// Reading stops at the first empty line and at the first malformed one (a short
// line, a field that is not a number of its kind, an over-long line, binary data):
// the echoes before it are kept, nothing after it and nothing made up from it.

#include "ping/pingtest.h"
#include "ping/replyrecord.h"
#include "ping/sessionstats.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

namespace netvane {

struct ResultFileHeader {
    int targetCount = 0;
    int sizeStepLength = 1; // echoes that use one send size before the next is taken
    int repeat = 1;         // echoes per target in a row
};

struct ReloadedPingTest {
    bool headerRead = false; // false: nothing to show (no line, or a malformed header)
    ResultFileHeader header;
    PingReplyLog log;
    PingSessionStats stats;
    qsizetype badLine = 0;   // 1-based number of the malformed line reading stopped at; 0 if none
};

// Called every few thousand lines with the number of lines still to convert.
using ReloadProgress = std::function<void(qsizetype remaining)>;

// The header line; false when it is malformed. Fields 2 and 3 may be missing.
bool ParseResultHeader(QByteArrayView line, ResultFileHeader &header);

// Converts the contents of a result file.
ReloadedPingTest ParseResultFile(QByteArrayView contents, const ReloadProgress &progress = {});

// Reads and converts a result file; a missing or unreadable file gives headerRead false.
ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress = {});

// The first `count` lines of the target file, trimmed; fewer when the file is shorter,
// none when it is missing. False with the reason when it exists but cannot be read.
bool ReadTargetFile(const QString &path, int count, QStringList &names, QString *error = nullptr);

// The targets of a reloaded test in test order: the names from the target file; a
// target the file does not name (a short file) is named by the address its first
// echo went to, and stays empty when it has no echo.
QList<PingTarget> ReloadedTargets(const ReloadedPingTest &test, const QStringList &names);

} // namespace netvane
