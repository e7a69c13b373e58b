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
#include <memory>

namespace netvane {

struct ResultFileHeader {
    int targetCount = 0;
    int sizeStepLength = 1; // echoes that use one send size before the next is taken
    int repeat = 1;         // echoes per target in a row
};

struct ReloadedPingTest {
    bool headerRead = false; // false: nothing to show (no line, or a malformed header)
    ResultFileHeader header;
    PingReplyLog log; // in memory from ParseResultFile, backed by the file from ReadResultFile
    PingSessionStats stats;
    qsizetype badLine = 0;   // 1-based number of the malformed line reading stopped at; 0 if none
};

// Called every few thousand lines with the number of lines still to convert.
using ReloadProgress = std::function<void(qsizetype remaining)>;

// The header line; false when it is malformed. Fields 2 and 3 may be missing.
bool ParseResultHeader(QByteArrayView line, ResultFileHeader &header);

// Converts the contents of a result file; the log keeps every record in memory.
ReloadedPingTest ParseResultFile(QByteArrayView contents, const ReloadProgress &progress = {});

// Reads a result file in one pass, with large reads: the statistics, and a log backed
// by the file that indexes every echo read. A missing or unreadable file gives
// headerRead false.
ReloadedPingTest ReadResultFile(const QString &path, const ReloadProgress &progress = {});

// The first `count` lines of the target file, trimmed; fewer when the file is shorter,
// none when it is missing. False with the reason when it exists but cannot be read.
bool ReadTargetFile(const QString &path, int count, QStringList &names, QString *error = nullptr);

// The targets of a reloaded test in test order: the names from the target file; a
// target the file does not name (a short file) is named by the address its first
// echo went to, and stays empty when it has no echo.
QList<PingTarget> ReloadedTargets(const ReloadedPingTest &test, const QStringList &names);

class EchoLineReader;

// Reads the echoes of a log in order from any row, from the result file (with large
// reads from the indexed line before it) or from memory. The exports and the summary
// report pass through a whole test with one cursor; the 20-row display reads a page.
// Before its first read from the file it checks that the file is still the one the
// log was read from or wrote; a file changed underneath ends the reading (failed()).
class EchoCursor final
{
    Q_DISABLE_COPY_MOVE(EchoCursor)
public:
    // `wholePass`: reads ahead in large pieces (a pass over a test), else small ones (a page).
    explicit EchoCursor(const PingReplyLog &log, bool wholePass = false);
    ~EchoCursor();

    // The next echo read is `row`.
    void seek(qsizetype row) { m_wanted = row; }
    qsizetype row() const { return m_wanted; }
    // The echo at the position; the position moves to the next row. False after the
    // last row, or when it cannot be read (failed()). A record read from the file holds
    // no index into the log's address table: its address is address().
    bool next(PingReplyRecord &record);
    // The address of the echo the last next() gave, until the next call.
    const QString &address() const { return *m_address; }
    // next() with a copy of the address.
    bool next(PingReplyRecord &record, QString &address);
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error);
    bool jumpTo(qsizetype row);
    bool nextLine(QByteArrayView &line);

    const PingReplyLog &m_log;
    qsizetype m_wanted = 0;
    FileReader m_file;
    bool m_opened = false;
    QByteArray m_buffer;
    qint64 m_bufferOffset = 0; // file position of m_buffer[0]
    qsizetype m_fill = 0;
    qsizetype m_pos = 0;
    qsizetype m_row = -1;      // the row whose line begins at m_pos; -1: nowhere yet
    PingReplyLog m_addresses;  // the addresses met, for the line reader
    std::unique_ptr<EchoLineReader> m_lines;
    const QString *m_address = &m_noAddress;
    QString m_noAddress;
    bool m_failed = false;
    QString m_error;
};

} // namespace netvane
